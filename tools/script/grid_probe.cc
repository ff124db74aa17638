#include "tools/script/grid_probe.h"

#include "data/data_source.h"
#include "ui/advanced_grid/egrid.h"
#include "ui/advanced_grid/egrid_layout.h"
#include "ui/advanced_grid/egrid_unit.h"
#include "ui/data_units/data_units.h"
#include "ui/format/segment.h"
#include "ui/grid/grid.h"

namespace memo::script {

namespace {

// The grid a target names: exactly one of the two is set, or *why says what the target is.
struct AnyGrid {
  ui::EGrid* advanced = nullptr;
  ui::Grid* bound = nullptr;
};

bool FindGrid(const Target& target, AnyGrid* grid, std::string* why) {
  uint32_t type = target.window->record().units[static_cast<size_t>(target.index)].type;
  if (type == ui::unit_type::kEGrid) grid->advanced = ui::EGridOf(target.unit);
  if (type == ui::unit_type::kGrid) grid->bound = ui::GridOfUnit(target.unit);
  if (grid->advanced || grid->bound) return true;
  *why = "it is no grid";
  return false;
}

std::string Cell(int row, int column) {
  return std::to_string(row) + ", " + std::to_string(column);
}

bool InAdvancedGrid(const ui::EGrid& grid, int row, int column, std::string* why) {
  const ui::EGridModel& model = grid.model();
  if (row >= 0 && row < model.rows() && column >= 0 && column < model.columns()) return true;
  *why = "it has no cell " + Cell(row, column) + " (it has " + std::to_string(model.rows()) +
         " rows and " + std::to_string(model.columns()) + " columns)";
  return false;
}

// The data-bound grid's cells: the headings (row 0, column 0) and its data source's rows and
// columns, from 1.
bool InBoundGrid(ui::Grid& grid, int row, int column, std::string* why) {
  const int rows = grid.DataRowCount();
  const int columns = grid.DataColumnCount();
  if (row >= 0 && row <= rows && column >= 0 && column <= columns) return true;
  *why = "it has no cell " + Cell(row, column) + " (it has " + std::to_string(rows) +
         " data rows and " + std::to_string(columns) + " data columns, numbered from 1)";
  return false;
}

bool CenterOf(const platform::Rect& rect, int row, int column, platform::Point* at,
              std::string* why) {
  if (rect.width <= 0 || rect.height <= 0) {
    *why = "its cell " + Cell(row, column) + " cannot be shown to click it";
    return false;
  }
  *at = platform::Point{rect.left + rect.width / 2, rect.top + rect.height / 2};
  return true;
}

}  // namespace

bool GridRows(const Target& target, int* rows, std::string* why) {
  AnyGrid grid;
  if (!FindGrid(target, &grid, why)) return false;
  *rows = grid.advanced ? grid.advanced->model().rows() : grid.bound->DataRowCount();
  return true;
}

bool GridCellText(const Target& target, int row, int column, std::string* text_gbk,
                  std::string* why) {
  AnyGrid grid;
  if (!FindGrid(target, &grid, why)) return false;
  if (grid.advanced) {
    if (!InAdvancedGrid(*grid.advanced, row, column, why)) return false;
    *text_gbk = std::string(grid.advanced->model().CellText(row, column));
    return true;
  }
  if (!InBoundGrid(*grid.bound, row, column, why)) return false;
  *text_gbk = grid.bound->CellText(row, column);
  return true;
}

bool GridCursor(const Target& target, int* row, int* column, std::string* why) {
  AnyGrid grid;
  if (!FindGrid(target, &grid, why)) return false;
  if (grid.advanced) {
    ui::CellPos focus = grid.advanced->model().focus();
    *row = focus.none() ? -1 : focus.row;
    *column = focus.none() ? -1 : focus.column;
    return true;
  }
  // What the program's cursor row and cursor column commands report.
  ui::GridCell cursor = grid.bound->cursor();
  *row = cursor.row;
  *column = cursor.column;
  return true;
}

bool GridCellInView(const Target& target, int row, int column, bool* in_view, std::string* why) {
  AnyGrid grid;
  if (!FindGrid(target, &grid, why)) return false;
  platform::Rect rect;
  platform::Size client;
  int data_left = 0;
  int data_top = 0;
  if (grid.advanced) {
    if (!InAdvancedGrid(*grid.advanced, row, column, why)) return false;
    platform::CanvasControl* canvas = grid.advanced->canvas();
    client = canvas ? canvas->ClientSize() : platform::Size{};
    std::optional<platform::Rect> shown =
        ui::CellRect(grid.advanced->model(), client, ui::CellPos{row, column});
    *in_view = shown.has_value() && shown->top >= 0 && shown->bottom() <= client.height &&
               shown->left >= 0 && shown->left < client.width;
    return true;
  }
  if (!InBoundGrid(*grid.bound, row, column, why)) return false;
  const ui::GridLayout& layout = grid.bound->layout();
  rect = layout.CellRect(row, column);
  client = layout.client_size();
  data_left = column == 0 ? 0 : layout.metrics().heading_width;
  data_top = row == 0 ? 0 : layout.metrics().row_height;
  *in_view = rect.top >= data_top && rect.bottom() <= client.height && rect.left >= data_left &&
             rect.left < client.width;
  return true;
}

bool GridCellPoint(const Target& target, int row, int column, platform::Point* at,
                   std::string* why) {
  AnyGrid grid;
  if (!FindGrid(target, &grid, why)) return false;
  if (grid.advanced) {
    if (!InAdvancedGrid(*grid.advanced, row, column, why)) return false;
    std::optional<platform::Rect> rect = grid.advanced->CellClientRect(row, column);
    return CenterOf(rect.value_or(platform::Rect{}), row, column, at, why);
  }
  if (!InBoundGrid(*grid.bound, row, column, why)) return false;
  return CenterOf(grid.bound->CellClientRect(row, column), row, column, at, why);
}

bool GridEditPoint(const Target& target, platform::Point* at, std::string* why) {
  AnyGrid grid;
  if (!FindGrid(target, &grid, why)) return false;
  if (grid.advanced) {
    *why = "the advanced grid does not edit its cells";
    return false;
  }
  ui::Grid& bound = *grid.bound;
  if (!bound.selection().IsSingleCell()) {
    const ui::GridSelection& s = bound.selection();
    *why = "its selection is the cells " + Cell(s.top(), s.left()) + " to " +
           Cell(s.bottom(), s.right()) + ", not one cell: select the cell with cell first";
    return false;
  }
  const ui::GridCell cursor = bound.cursor();
  if (cursor.row < 1 || cursor.row > bound.DataRowCount() || cursor.column < 1 ||
      cursor.column > bound.DataColumnCount()) {
    *why = "its cursor cell " + Cell(cursor.row, cursor.column) + " holds no data (it has " +
           std::to_string(bound.DataRowCount()) + " data rows and " +
           std::to_string(bound.DataColumnCount()) + " data columns)";
    return false;
  }
  return CenterOf(bound.CellClientRect(cursor.row, cursor.column), cursor.row, cursor.column, at,
                  why);
}

bool GridOpenEditor(const Target& target, platform::Control** editor, std::string* why) {
  AnyGrid grid;
  if (!FindGrid(target, &grid, why)) return false;
  if (grid.bound && grid.bound->editor_open() && grid.bound->editor()) {
    *editor = grid.bound->editor();
    return true;
  }
  *why = "no in-place editor is open";
  if (grid.bound && grid.bound->data_source() && grid.bound->data_source()->read_only())
    *why += " (its data source is read-only)";
  return false;
}

}  // namespace memo::script
