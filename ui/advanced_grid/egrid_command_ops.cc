#include "ui/advanced_grid/egrid_command_ops.h"

#include <optional>
#include <string>

#include "runtime/convert.h"
#include "ui/advanced_grid/egrid_cell_values.h"

namespace memo::ui::egrid_ops {

namespace {

std::optional<int> IntArg(int32_t count, const TypedValue* args, int32_t i) {
  if (i >= count || !args[i].Present()) return std::nullopt;
  const TypedValue& v = args[i];
  if (v.tag == TypeTag::kBool) return v.low != 0 ? 1 : 0;
  if (!IsNumeric(v.tag)) return std::nullopt;
  return ToInteger(v);
}

void SetBool(TypedValue* result, bool v) { result->low = v ? 1 : 0; }

}  // namespace

void CurrentRow(EGrid& grid, TypedValue* result) {
  result->low = static_cast<uint32_t>(grid.model().focus().row);
}

void CurrentColumn(EGrid& grid, TypedValue* result) {
  CellPos focus = grid.model().focus();
  result->low = static_cast<uint32_t>(focus.none() ? -1 : focus.column);
}

void GetCell(EGrid& grid, TypedValue* result, int32_t count, const TypedValue* args) {
  std::optional<int> row = IntArg(count, args, 0);
  std::optional<int> column = IntArg(count, args, 1);
  if (!row || !column) {
    *result = TypedValue{};
    result->tag = TypeTag::kBool;
    return;
  }
  *result = CellContent(grid.model(), *row, *column);
}

void SetCell(EGrid& grid, TypedValue* result, int32_t count, const TypedValue* args) {
  std::optional<int> row = IntArg(count, args, 0);
  std::optional<int> column = IntArg(count, args, 1);
  std::optional<int> kind = IntArg(count, args, 2);
  if (!row || !column || !kind || count < 4) return SetBool(result, false);
  SetBool(result, SetCellContent(grid.model(), *row, *column, *kind, args[3]));
}

void SetColumnWidth(EGrid& grid, TypedValue* result, int32_t count, const TypedValue* args) {
  std::optional<int> column = IntArg(count, args, 0);
  std::optional<int> width = IntArg(count, args, 1);
  if (!column || !width) return SetBool(result, false);
  SetBool(result, grid.SetProgramColumnWidth(*column, *width));
}

void InsertRow(EGrid& grid, TypedValue* result, int32_t count, const TypedValue* args) {
  std::string heading;
  if (count > 0 && args[0].Present()) {
    std::optional<std::string> text = CellTextOf(args[0]);
    if (!text) return SetBool(result, false);
    heading = std::move(*text);
  }
  std::optional<int> position;
  if (count > 1 && args[1].Present()) {
    position = IntArg(count, args, 1);
    if (!position) return SetBool(result, false);
  }
  SetBool(result, grid.model().InsertRow(heading, position));
}

void Reset(EGrid& grid, TypedValue* result) {
  grid.model().Reset();
  SetBool(result, true);
}

}  // namespace memo::ui::egrid_ops
