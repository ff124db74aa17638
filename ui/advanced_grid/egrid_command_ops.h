// The advanced grid's commands once the grid has been found: `args` are the arguments after the
// grid's unit reference, `count` how many there are (omitted ones are all-zero cells). Results
// of a fixed type carry only their data words; the get-cell result also carries its tag.
// Row, column, kind, position and width arguments are numbers (a logical value counts as 0 or
// 1); an argument of any other type, or a required one omitted, fails the command (logical
// false).
#pragma once

#include <cstdint>

#include "runtime/value.h"
#include "ui/advanced_grid/egrid.h"

namespace memo::ui::egrid_ops {

// -> Int: the focus cell's row (column), 0-based; -1 when there is none.
void CurrentRow(EGrid& grid, TypedValue* result);
void CurrentColumn(EGrid& grid, TypedValue* result);
// row, column -> the cell's content (CellContent).
void GetCell(EGrid& grid, TypedValue* result, int32_t count, const TypedValue* args);
// row, column, kind, value -> Bool (SetCellContent).
void SetCell(EGrid& grid, TypedValue* result, int32_t count, const TypedValue* args);
// column, width -> Bool: false outside the columns; a negative width makes the column 0 wide.
void SetColumnWidth(EGrid& grid, TypedValue* result, int32_t count, const TypedValue* args);
// [heading text], [position] -> Bool (EGridModel::InsertRow). A heading that is not a text or a
// number fails the command.
void InsertRow(EGrid& grid, TypedValue* result, int32_t count, const TypedValue* args);
// -> Bool true (EGridModel::Reset).
void Reset(EGrid& grid, TypedValue* result);

}  // namespace memo::ui::egrid_ops
