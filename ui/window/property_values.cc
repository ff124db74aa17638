#include "ui/window/property_values.h"

#include <algorithm>
#include <cstdlib>

#include "runtime/convert.h"
#include "runtime/heap.h"
#include "runtime/literal.h"
#include "runtime/text.h"

namespace memo::ui {

int32_t PropertyInt(const TypedValue& value) {
  if (IsNumeric(value.tag)) return ToInteger(value);
  if (value.tag == TypeTag::kBool) return value.low != 0 ? 1 : 0;
  if (value.tag == TypeTag::kText) {
    const char* text = static_cast<const char*>(value.Pointer());
    return text ? static_cast<int32_t>(std::strtoll(text, nullptr, 10)) : 0;
  }
  return 0;
}

bool PropertyBool(const TypedValue& value) {
  if (value.tag == TypeTag::kBool) return value.low != 0;
  if (IsNumeric(value.tag)) {
    if (value.tag == TypeTag::kFloat) return value.Float() != 0.0f;
    if (value.tag == TypeTag::kDouble) return value.Double() != 0.0;
    return ToInteger(value) != 0 || value.Int64() != 0;
  }
  if (value.tag == TypeTag::kText) {
    std::string_view text = NonNullText(static_cast<const char*>(value.Pointer()));
    return text == Gbk("真") || text == "1" || text == "true";
  }
  return false;
}

std::string PropertyText(const TypedValue& value) {
  if (value.tag == TypeTag::kText) {
    return NonNullText(static_cast<const char*>(value.Pointer()));
  }
  TextOwner text(ValueToText(value));
  return NonNullText(text.get());
}

std::string PropertyBytes(const TypedValue& value) {
  if (value.tag == TypeTag::kByteSet) {
    const void* block = value.Pointer();
    const uint8_t* data = ByteSetData(block);
    return data ? std::string(reinterpret_cast<const char*>(data), ByteSetSize(block))
                : std::string();
  }
  if (value.tag == TypeTag::kText) return NonNullText(static_cast<const char*>(value.Pointer()));
  return {};
}

TypedValue IntResult(int32_t v) {
  TypedValue cell;
  cell.low = static_cast<uint32_t>(v);
  cell.tag = TypeTag::kInt;
  return cell;
}

TypedValue BoolResult(bool v) {
  TypedValue cell;
  cell.low = v ? 1 : 0;
  cell.tag = TypeTag::kBool;
  return cell;
}

TypedValue TextResult(std::string_view gbk) {
  TypedValue cell;
  cell.SetPointer(CopyStringAsText(gbk));
  cell.tag = TypeTag::kText;
  return cell;
}

TypedValue ByteSetResult(std::string_view bytes) {
  TypedValue cell;
  cell.SetPointer(MakeByteSet(bytes.data(), static_cast<int32_t>(bytes.size())));
  cell.tag = TypeTag::kByteSet;
  return cell;
}

int32_t ClampPosition(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, -kMaxPosition, kMaxPosition));
}

int32_t ClampSize(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, 0, kMaxPosition));
}

}  // namespace memo::ui
