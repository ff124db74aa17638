// The data-bound grid's column sizing and its tip over cut-off cells.
//
// Sizing: over the right border of a column in the heading row (within kBorderGrip pixels) the
// pointer takes the sizing shape; a press there drags that border, a double click fits the
// column to the widest text of its heading and of the rows in view. Widths a person set are kept
// by column name (user_widths_), so that a replaced table (the query view, the memo table again)
// shows its columns as they were sized. Nothing is stored beyond the grid's life.
//
// The tip: while the pointer rests on a cell (data or heading) whose text is wider than the
// cell's text area, a tip lies over the cell with the whole text, wrapped to at most
// kTipLetters letters "W" (and never wider than the grid), so that a long memo reads as a
// paragraph rather than as one line running off the screen.
#include <algorithm>
#include <string>

#include "platform/backend.h"
#include "ui/grid/grid.h"
#include "ui/window/text_wrap.h"

namespace memo::ui {

namespace {

using platform::InputEvent;
using platform::InputKind;
using platform::Point;
using platform::Rect;

constexpr int kBorderGrip = 3;
// The cells' text lies this far inside the cell on each side (grid_paint.cc).
constexpr int kCellTextInset = 3;
constexpr int kTipLetters = 48;
// The tip's padding around its text: a space's worth on each side and its frame.
constexpr int kTipPadding = 8;

// The widest line of a text (a cell may hold line breaks).
int WidestLine(platform::Backend* backend, const platform::FontSpec& font,
               const std::string& text) {
  return backend->MeasureText(font, text).width;
}

}  // namespace

int Grid::ColumnBorderAt(Point at) const {
  if (!source_ || at.y < 0 || at.y >= layout_.metrics().row_height) return -1;
  const int width = layout_.client_size().width;
  int found = -1;
  int best = kBorderGrip + 1;
  for (int c = layout_.left_column(); c <= layout_.columns(); ++c) {
    const Rect cell = layout_.CellRect(0, c);
    if (cell.left >= width) break;
    const int distance = std::abs(at.x - (cell.right() - 1));
    // Ties go right, so that a column sized down to its minimum can be widened again.
    if (distance <= best && at.x > layout_.metrics().heading_width) {
      best = distance;
      found = c;
    }
  }
  return found;
}

void Grid::SetColumnWidth(int column, int width) {
  if (!source_ || column < 1 || column > layout_.columns()) return;
  width = std::max(kMinColumnWidth, width);
  user_widths_[source_->ColumnName(column - 1)] = width;
  GridMetrics metrics = layout_.metrics();
  if (metrics.column_widths[static_cast<size_t>(column - 1)] == width) return;
  if (editing_) CommitEditor(EditorFocus::kLeave);
  metrics.column_widths[static_cast<size_t>(column - 1)] = width;
  layout_.SetMetrics(std::move(metrics));
  UpdateScrollBars();
  Invalidate();
}

void Grid::FitColumn(int column) {
  platform::Backend* backend = platform::CurrentBackend();
  if (!backend || !source_ || column < 1 || column > layout_.columns()) return;
  int widest = WidestLine(backend, font_, source_->ColumnName(column - 1));
  const int last = layout_.LastShownRow();
  for (int r = layout_.top_row(); r <= last; ++r) {
    widest =
        std::max(widest, WidestLine(backend, font_, source_->ShownCellText(r - 1, column - 1)));
  }
  // One pixel more than the text needs, so that the drawn text is not cut by rounding.
  SetColumnWidth(column, widest + 2 * kCellTextInset + 2);
}

bool Grid::PressOnBorder(const InputEvent& event) {
  const int column = ColumnBorderAt(Point{event.x, event.y});
  if (column < 1) return false;
  CommitEditor(EditorFocus::kLeave);
  if (!canvas_) return true;
  if (event.kind == InputKind::kLeftDoubleClick) {
    FitColumn(column);
    return true;
  }
  drag_ = Drag::kResize;
  resizing_column_ = column;
  resizing_left_ = layout_.CellRect(0, column).left;
  button_down_ = true;
  edit_on_release_ = false;
  canvas_->SetMouseCapture(true);
  return true;
}

void Grid::Hover(Point at) {
  const bool over_border = ColumnBorderAt(at) >= 1;
  if (over_border != sizing_pointer_ && canvas_) {
    sizing_pointer_ = over_border;
    canvas_->SetCursor(over_border ? platform::CursorShape::kSizeWe
                                   : platform::CursorShape::kDefault);
  }
  if (over_border) {
    HideTip();
  } else {
    UpdateTip(at);
  }
}

void Grid::UpdateTip(Point at) {
  platform::Backend* backend = platform::CurrentBackend();
  const GridLayout::Hit hit = layout_.HitTest(at);
  const GridCell cell{hit.row, hit.column};
  if (cell == tip_cell_) return;
  HideTip();
  if (!backend || !canvas_ || !source_ || hit.row < 0 || editing_) return;
  if (hit.row == 0 && hit.column == 0) return;
  std::string text;
  if (hit.row == 0) {
    text = source_->ColumnName(hit.column - 1);
  } else if (hit.column == 0) {
    return;  // row numbers always fit
  } else {
    if (source_->ColumnType(hit.column - 1) == db::kFieldByteSet) return;
    text = source_->ShownCellText(hit.row - 1, hit.column - 1);
  }
  const Rect rect = layout_.CellRect(hit.row, hit.column);
  const platform::Size client = layout_.client_size();
  // The part of the cell in view is what shows its text.
  const int shown = std::min(rect.right(), client.width) - std::max(rect.left, 0);
  if (text.empty() || backend->MeasureText(font_, text).width <= shown - 2 * kCellTextInset) {
    tip_cell_ = cell;  // nothing cut off: no tip, and no second look while the pointer stays
    return;
  }
  const int letter = std::max(1, backend->MeasureText(font_, "W").width);
  const int readable = std::min(kTipLetters * letter, std::max(letter, client.width - kTipPadding));
  WrappedText wrapped = WrapText(font_, text, std::max(readable, rect.width - kTipPadding));
  tip_cell_ = cell;
  tip_text_ = wrapped.Joined();
  const int width = std::max(rect.width, wrapped.widest + kTipPadding);
  const int height = std::max(rect.height, wrapped.height() + kTipPadding / 2);
  // Over the cell, moved left when it would run past the grid's right edge.
  const int left = std::max(0, std::min(std::max(rect.left, 0), client.width - width));
  canvas_->ShowTip(Rect{left, rect.top, width, height}, tip_text_, font_);
}

void Grid::HideTip() {
  const bool shown = !tip_text_.empty();
  tip_cell_ = GridCell{-1, -1};
  tip_text_.clear();
  if (shown && canvas_) canvas_->ShowTip(Rect{}, {}, font_);
}

}  // namespace memo::ui
