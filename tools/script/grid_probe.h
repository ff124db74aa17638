// What the grid steps see of a grid, numbered as each grid numbers itself: the advanced grid
// 0-based, fixed rows and columns included; the data-bound grid by its cursor's numbers, data from
// 1 and 0 its heading row or column, as its cursor reports them. Each reader is false with *why set
// when the target is no grid or the cell is not there.
#pragma once

#include <string>

#include "platform/geometry.h"
#include "tools/script/targets.h"

namespace memo::script {

// The number of data rows: the advanced grid's row count; the data-bound grid's data source's.
bool GridRows(const Target& target, int* rows, std::string* why);
bool GridCellText(const Target& target, int row, int column, std::string* text_gbk,
                  std::string* why);
// The cursor (the advanced grid's focus cell); -1, -1 when there is none.
bool GridCursor(const Target& target, int* row, int* column, std::string* why);
// Whether the cell's row lies wholly in the grid's client area as the grid is scrolled now, with
// the cell's left edge in view (a cell wider than the view counts as shown by its start).
bool GridCellInView(const Target& target, int row, int column, bool* in_view, std::string* why);
// Scrolls the cell into view and gives the point at its centre, in the client coordinates of
// the grid's control, for a click.
bool GridCellPoint(const Target& target, int row, int column, platform::Point* at,
                   std::string* why);

// The in-place edit of the data-bound grid: the point at the centre of its cursor cell, to click
// it again; false when the grid does not edit (the advanced grid), when the selection is more
// than one cell (a click would select rather than edit) or when the cursor cell holds no data.
bool GridEditPoint(const Target& target, platform::Point* at, std::string* why);
// The grid's open in-place editor (a control of the grid's window); false when none is open.
bool GridOpenEditor(const Target& target, platform::Control** editor, std::string* why);

}  // namespace memo::script
