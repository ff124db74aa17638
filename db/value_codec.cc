#include "db/value_codec.h"

#include <cmath>
#include <cstring>

#include "db/coding.h"
#include "db/engine_code.h"
#include "db/file_names.h"
#include "runtime/text.h"

namespace memo::db {
namespace {

bool IsNumericTag(uint32_t tag) {
  return tag == TypeTag::kByte || tag == TypeTag::kShort || tag == TypeTag::kInt ||
         tag == TypeTag::kLong || tag == TypeTag::kFloat || tag == TypeTag::kDouble;
}

bool IsNumericField(uint32_t type) { return type >= kFieldByte && type <= kFieldDouble; }

bool IsFloatTag(uint32_t tag) { return tag == TypeTag::kFloat || tag == TypeTag::kDouble; }

int64_t IntegerOf(const TypedValue& value) {
  switch (value.tag) {
    case TypeTag::kByte: return value.low & 0xFF;
    case TypeTag::kShort: return static_cast<int16_t>(value.low & 0xFFFF);
    case TypeTag::kInt: return static_cast<int32_t>(value.low);
    case TypeTag::kLong: return value.Int64();
    default: return 0;
  }
}

double FloatOf(const TypedValue& value) {
  return value.tag == TypeTag::kFloat ? static_cast<double>(value.Float()) : value.Double();
}

// Truncation toward zero; values with no 64-bit integer form give the "integer indefinite"
// value the hardware conversion gives.
int64_t Truncate(double d) {
  if (!(d > -9223372036854775808.0 && d < 9223372036854775808.0)) return INT64_MIN;
  return static_cast<int64_t>(d);
}

}  // namespace

double ClampDateTime(double day_number) {
  if (day_number > kMaxDateTime) return kMaxDateTime;
  if (day_number < kMinDateTime) return kMinDateTime;
  return day_number;
}

EngineCode CheckValueForField(const FieldDescriptor& field, const TypedValue& value) {
  const uint32_t wanted = FieldValueTag(field.type);
  if (wanted == TypeTag::kNone) return kValueTypeMismatch;
  if (value.tag == wanted) return kOk;
  if (IsNumericField(field.type) && IsNumericTag(value.tag)) return kOk;
  return kValueTypeMismatch;
}

void EncodeTextField(std::string_view text, uint32_t length, char* dst) {
  size_t end = text.find('\0');
  if (end != std::string_view::npos) text = text.substr(0, end);
  size_t n = CutWithoutSplitting(text, length);
  // An empty text may come without any bytes (a null pointer), which memcpy must not be given.
  if (n > 0) std::memcpy(dst, text.data(), n);
  std::memset(dst + n, 0, length - n);
}

void EncodeFixedValue(const FieldDescriptor& field, const TypedValue& value, char* dst) {
  const bool from_float = IsFloatTag(value.tag);
  auto as_integer = [&] { return from_float ? Truncate(FloatOf(value)) : IntegerOf(value); };
  auto as_double = [&] {
    return from_float ? FloatOf(value) : static_cast<double>(IntegerOf(value));
  };
  switch (field.type) {
    case kFieldByte: dst[0] = static_cast<char>(static_cast<uint8_t>(as_integer())); break;
    case kFieldShort: EncodeFixed16(dst, static_cast<uint16_t>(as_integer())); break;
    case kFieldInt: EncodeFixed32(dst, static_cast<uint32_t>(as_integer())); break;
    case kFieldLong: EncodeFixed64(dst, static_cast<uint64_t>(as_integer())); break;
    case kFieldFloat: EncodeFloat(dst, static_cast<float>(as_double())); break;
    case kFieldDouble: EncodeDouble(dst, as_double()); break;
    case kFieldBool: dst[0] = value.low != 0 ? 1 : 0; break;
    case kFieldDateTime: EncodeDouble(dst, value.Double()); break;
    case kFieldRoutine: EncodeFixed32(dst, value.low); break;
    case kFieldText: {
      const char* text = static_cast<const char*>(value.Pointer());
      EncodeTextField(text ? std::string_view(text) : std::string_view(), field.declared_length,
                      dst);
      break;
    }
    default: break;
  }
}

std::string_view ChainBytesOf(const TypedValue& value) {
  if (value.tag == TypeTag::kText) {
    const char* text = static_cast<const char*>(value.Pointer());
    return text ? std::string_view(text) : std::string_view();
  }
  if (value.tag == TypeTag::kByteSet) {
    const void* block = value.Pointer();
    int32_t n = ByteSetSize(block);
    if (n <= 0) return std::string_view();
    return std::string_view(reinterpret_cast<const char*>(ByteSetData(block)),
                            static_cast<size_t>(n));
  }
  return std::string_view();
}

std::string_view StoredValueBytes(const FieldDescriptor& field, std::string_view raw) {
  if (field.type == kFieldText || field.type == kFieldMemo) {
    size_t end = raw.find('\0');
    if (end != std::string_view::npos) raw = raw.substr(0, end);
  }
  return raw;
}

TypedValue EmptyFieldValue(const FieldDescriptor& field) {
  TypedValue value;
  value.tag = FieldValueTag(field.type);
  return value;
}

TypedValue MakeFieldValue(const FieldDescriptor& field, std::string_view bytes) {
  TypedValue value = EmptyFieldValue(field);
  const uint32_t size = field.Size();
  const bool fixed = !IsChainField(field.type) && field.type != kFieldText;
  if (fixed && bytes.size() < size) return value;
  const char* p = bytes.data();
  switch (field.type) {
    case kFieldByte: value.low = static_cast<uint8_t>(p[0]); break;
    case kFieldShort:
      value.low = static_cast<uint32_t>(static_cast<int16_t>(DecodeFixed16(p)));
      break;
    case kFieldInt: value.low = DecodeFixed32(p); break;
    case kFieldLong: value.SetInt64(static_cast<int64_t>(DecodeFixed64(p))); break;
    case kFieldFloat: value.SetFloat(DecodeFloat(p)); break;
    case kFieldDouble: value.SetDouble(DecodeDouble(p)); break;
    case kFieldBool: value.low = p[0] != 0 ? 1 : 0; break;
    case kFieldDateTime: value.SetDouble(ClampDateTime(DecodeDouble(p))); break;
    case kFieldRoutine: value.low = DecodeFixed32(p); break;
    case kFieldText:
    case kFieldMemo: value.SetPointer(CopyStringAsText(StoredValueBytes(field, bytes))); break;
    case kFieldByteSet:
      value.SetPointer(
          bytes.empty() ? nullptr : MakeByteSet(bytes.data(), static_cast<int32_t>(bytes.size())));
      break;
    default: break;
  }
  return value;
}

}  // namespace memo::db
