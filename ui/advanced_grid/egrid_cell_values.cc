#include "ui/advanced_grid/egrid_cell_values.h"

#include <cinttypes>
#include <cstdio>
#include <string_view>

#include "runtime/dispatch.h"
#include "runtime/file_commands.h"
#include "runtime/heap.h"
#include "runtime/text.h"

namespace memo::ui {

namespace {

std::string Printed(const char* format, auto value) {
  char buffer[64];
  int n = std::snprintf(buffer, sizeof buffer, format, value);
  if (n < 0) return {};
  return std::string(
      buffer, static_cast<size_t>(n) < sizeof buffer ? static_cast<size_t>(n) : sizeof buffer - 1);
}

TypedValue Tagged(uint32_t tag) {
  TypedValue cell;
  cell.tag = tag;
  return cell;
}

std::string_view BytesOf(const void* byte_set) {
  const uint8_t* data = ByteSetData(byte_set);
  int32_t size = ByteSetSize(byte_set);
  if (!data || size <= 0) return {};
  return std::string_view(reinterpret_cast<const char*>(data), static_cast<size_t>(size));
}

// The bytes of a bitmap file ("BM" and at least a file header), or nullopt.
std::optional<std::string> ReadBitmapFile(const char* name) {
  ArgList args{TextValue(name)};
  BlockOwner<void> read = CallBytes(ReadFileBytes, args);
  std::string_view bytes = BytesOf(read.get());
  constexpr size_t kFileHeaderBytes = 14;
  if (bytes.size() < kFileHeaderBytes || bytes[0] != 'B' || bytes[1] != 'M') return std::nullopt;
  return std::string(bytes);
}

bool SetPicture(EGridModel& model, int row, int column, const TypedValue& value) {
  if (value.tag == TypeTag::kByteSet) {
    return model.SetCellPicture(row, column, BytesOf(value.Pointer()));
  }
  if (value.tag == TypeTag::kText) {
    // Checked first, so that a refused cell costs no file read.
    if (!model.Contains(row, column) || model.IsFixed(row, column) ||
        model.column_kind(column) != EGridColumnKind::kPicture) {
      return false;
    }
    const char* name = static_cast<const char*>(value.Pointer());
    if (!name || !*name) return false;
    std::optional<std::string> bitmap = ReadBitmapFile(name);
    return bitmap && model.SetCellPicture(row, column, *bitmap);
  }
  return false;
}

}  // namespace

std::optional<std::string> CellTextOf(const TypedValue& value) {
  switch (value.tag) {
    case TypeTag::kText: {
      const char* text = static_cast<const char*>(value.Pointer());
      return std::string(text ? text : "");
    }
    case TypeTag::kByte: return Printed("%d", static_cast<int>(value.low & 0xFFu));
    case TypeTag::kShort:
      return Printed("%d", static_cast<int>(static_cast<int16_t>(value.low & 0xFFFFu)));
    case TypeTag::kInt: return Printed("%d", static_cast<int>(static_cast<int32_t>(value.low)));
    case TypeTag::kLong: return Printed("%" PRId64, value.Int64());
    case TypeTag::kFloat: return Printed("%.6g", static_cast<double>(value.Float()));
    case TypeTag::kDouble: return Printed("%.13g", value.Double());
    default: return std::nullopt;
  }
}

TypedValue CellContent(const EGridModel& model, int row, int column) {
  EGridColumnKind kind = model.column_kind(column);
  if (!model.Contains(row, column)) {
    if (column >= 0 && column < model.columns() && kind == EGridColumnKind::kPicture) {
      return Tagged(TypeTag::kByteSet);  // the empty byte-set
    }
    return Tagged(TypeTag::kBool);  // false
  }
  const EGridCell* cell = model.Cell(row, column);
  if (!model.IsFixed(row, column)) {
    if (kind == EGridColumnKind::kCheckBox) {
      TypedValue result = Tagged(TypeTag::kBool);
      result.low = cell && cell->checked ? 1 : 0;
      return result;
    }
    if (kind == EGridColumnKind::kPicture) {
      TypedValue result = Tagged(TypeTag::kByteSet);
      if (cell && !cell->picture.empty()) {
        result.SetPointer(
            MakeByteSet(cell->picture.data(), static_cast<int32_t>(cell->picture.size())));
      }
      return result;
    }
  }
  TypedValue result = Tagged(TypeTag::kText);
  if (cell) result.SetPointer(CopyStringAsText(cell->text));
  return result;
}

bool SetCellContent(EGridModel& model, int row, int column, int32_t kind, const TypedValue& value) {
  switch (kind) {
    case egrid_content::kText: {
      std::optional<std::string> text = CellTextOf(value);
      return text && model.SetCellText(row, column, *text);
    }
    case egrid_content::kCheck:
      if (value.tag != TypeTag::kBool) return false;
      return model.SetCellChecked(row, column, value.low != 0);
    case egrid_content::kPicture: return SetPicture(model, row, column, value);
    default: return false;
  }
}

}  // namespace memo::ui
