#include "ui/grid/grid_selection.h"

#include "platform/input.h"

namespace memo::ui {

namespace vk = platform::vk;

void GridSelection::SetExtent(int rows, int columns) {
  rows_ = std::max(0, rows);
  columns_ = std::max(0, columns);
  first_ = Clamp(first_);
  second_ = Clamp(second_);
}

GridCell GridSelection::Clamp(GridCell cell) const {
  return GridCell{std::clamp(cell.row, 1, std::max(1, rows_)),
                  std::clamp(cell.column, 1, std::max(1, columns_))};
}

void GridSelection::MoveTo(GridCell cell) { first_ = second_ = Clamp(cell); }

void GridSelection::ExtendTo(GridCell cell) { second_ = Clamp(cell); }

void GridSelection::SelectAll() {
  first_ = Clamp(GridCell{1, 1});
  second_ = Clamp(GridCell{rows_, columns_});
}

void GridSelection::SelectRow(int row) {
  first_ = Clamp(GridCell{row, 1});
  second_ = Clamp(GridCell{row, columns_});
}

void GridSelection::SelectColumn(int column) {
  first_ = Clamp(GridCell{1, column});
  second_ = Clamp(GridCell{rows_, column});
}

KeyAction KeyActionFor(int key, int shift, const GridSelection& selection, bool range_allowed) {
  const bool ctrl = (shift & platform::kShiftCtrl) != 0;
  const bool extend = range_allowed && (shift & platform::kShiftShift) != 0;
  if ((shift & platform::kShiftAlt) != 0) return KeyAction{};
  KeyAction action;
  if (ctrl && (key == vk::kLeft || key == vk::kRight || key == vk::kUp || key == vk::kDown)) {
    action.kind = KeyAction::Kind::kScroll;
    action.scroll_columns = key == vk::kLeft ? -1 : (key == vk::kRight ? 1 : 0);
    action.scroll_rows = key == vk::kUp ? -1 : (key == vk::kDown ? 1 : 0);
    return action;
  }
  const GridCell from = extend ? selection.second() : selection.cursor();
  const int last_row = std::max(1, selection.rows());
  const int last_column = std::max(1, selection.columns());
  GridCell to = from;
  switch (key) {
    case vk::kLeft: to.column -= 1; break;
    case vk::kRight: to.column += 1; break;
    case vk::kUp: to.row -= 1; break;
    case vk::kDown: to.row += 1; break;
    case vk::kPrior: to.row = ctrl ? 1 : to.row - kPageRows; break;
    case vk::kNext: to.row = ctrl ? last_row : to.row + kPageRows; break;
    case vk::kHome:
      to.column = 1;
      if (ctrl) to.row = 1;
      break;
    case vk::kEnd:
      to.column = last_column;
      if (ctrl) to.row = last_row;
      break;
    default: return KeyAction{};
  }
  action.kind = extend ? KeyAction::Kind::kExtend : KeyAction::Kind::kMove;
  action.target = selection.Clamp(to);
  return action;
}

}  // namespace memo::ui
