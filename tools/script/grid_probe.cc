#include "tools/script/grid_probe.h"

#include "ui/egrid.h"
#include "ui/egrid_unit.h"
#include "ui/format/segment.h"

namespace memo::script {

namespace {

// FIXME: the data-bound grid (type kGrid) joins here once it is part of the build: its data
// source's row count, cells numbered from 1 with 0 the headings, and its cursor.
constexpr const char* kNoDataBoundGrid = "the data-bound grid is not part of this build yet";

ui::EGrid* AdvancedGrid(const Target& target, std::string* why) {
  uint32_t type = target.window->record().units[static_cast<size_t>(target.index)].type;
  if (type == ui::unit_type::kGrid) {
    *why = kNoDataBoundGrid;
    return nullptr;
  }
  ui::EGrid* grid = type == ui::unit_type::kEGrid ? ui::EGridOf(target.unit) : nullptr;
  if (!grid) *why = "it is no grid";
  return grid;
}

bool InGrid(const ui::EGrid& grid, int row, int column, std::string* why) {
  const ui::EGridModel& model = grid.model();
  if (row >= 0 && row < model.rows() && column >= 0 && column < model.columns()) return true;
  *why = "it has no cell " + std::to_string(row) + ", " + std::to_string(column) + " (it has " +
         std::to_string(model.rows()) + " rows and " + std::to_string(model.columns()) +
         " columns)";
  return false;
}

}  // namespace

bool GridRows(const Target& target, int* rows, std::string* why) {
  ui::EGrid* grid = AdvancedGrid(target, why);
  if (!grid) return false;
  *rows = grid->model().rows();
  return true;
}

bool GridCellText(const Target& target, int row, int column, std::string* text_gbk,
                  std::string* why) {
  ui::EGrid* grid = AdvancedGrid(target, why);
  if (!grid || !InGrid(*grid, row, column, why)) return false;
  *text_gbk = std::string(grid->model().CellText(row, column));
  return true;
}

bool GridCursor(const Target& target, int* row, int* column, std::string* why) {
  ui::EGrid* grid = AdvancedGrid(target, why);
  if (!grid) return false;
  ui::CellPos focus = grid->model().focus();
  *row = focus.none() ? -1 : focus.row;
  *column = focus.none() ? -1 : focus.column;
  return true;
}

bool GridCellPoint(const Target& target, int row, int column, platform::Point* at,
                   std::string* why) {
  ui::EGrid* grid = AdvancedGrid(target, why);
  if (!grid || !InGrid(*grid, row, column, why)) return false;
  std::optional<platform::Rect> rect = grid->CellClientRect(row, column);
  if (!rect || rect->width <= 0 || rect->height <= 0) {
    *why = "its cell " + std::to_string(row) + ", " + std::to_string(column) +
           " cannot be shown to click it";
    return false;
  }
  *at = platform::Point{rect->left + rect->width / 2, rect->top + rect->height / 2};
  return true;
}

}  // namespace memo::script
