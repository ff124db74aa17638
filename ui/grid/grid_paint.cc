// Drawing the grid: only the rows and columns in view are read and drawn, so a paint costs the
// same for ten rows as for a hundred thousand.
//
// Order: the background; the data cells (selection colour behind selected ones, the cell text, or
// the picture of a byte-set cell); the grid lines; the heading row and column, shaded with a
// raised edge (darker where they meet the selection); the cursor cell's frame last.
#include <algorithm>
#include <string>

#include "db/record_format.h"
#include "platform/backend.h"
#include "runtime/literal.h"
#include "ui/grid/grid.h"

namespace memo::ui {

namespace {

using platform::Color;
using platform::Rect;
using platform::Rgb;

constexpr Color kText = Rgb(0, 0, 0);
constexpr Color kHeading = Rgb(240, 240, 240);
constexpr Color kHeadingSelected = Rgb(214, 226, 240);
constexpr Color kGridLine = Rgb(208, 208, 208);
constexpr Color kSelection = Rgb(204, 228, 247);
constexpr Color kCursorFrame = Rgb(0, 102, 204);
constexpr int kTextInset = 3;

Rect Inset(const Rect& r, int dx) {
  return Rect{r.left + dx, r.top, std::max(0, r.width - 2 * dx), r.height};
}

}  // namespace

void Grid::Paint(platform::Painter& painter, const Rect& dirty) {
  (void)dirty;
  if (!canvas_) return;
  // Rows appended through another handle show here: the count is read at every paint.
  Relayout(false);
  const platform::Size client = layout_.client_size();
  painter.FillRect(Rect{0, 0, client.width, client.height}, background());
  if (!source_) {
    platform::TextFormat format;
    format.color = kText;
    format.background = platform::kDefaultColor;  // transparent
    format.align = platform::Align::kLeft;
    format.valign = platform::VAlign::kTop;
    format.clip = false;
    painter.DrawText(Rect{10, 10, std::max(0, client.width - 10), std::max(0, client.height - 10)},
                     Gbk("未连接数据源"), format);
    return;
  }
  const int last_row = layout_.LastShownRow();
  const int last_column = layout_.LastShownColumn();
  PaintCells(painter, last_row, last_column);
  PaintHeadings(painter, last_row, last_column);
  if (layout_.rows() > 0 && layout_.columns() > 0) {
    const GridCell cursor = selection_.cursor();
    if (cursor.row >= layout_.top_row() && cursor.row <= last_row &&
        cursor.column >= layout_.left_column() && cursor.column <= last_column) {
      painter.FrameRect(layout_.CellRect(cursor.row, cursor.column), kCursorFrame, 2);
    }
  }
}

void Grid::PaintCells(platform::Painter& painter, int last_row, int last_column) {
  const GridMetrics& metrics = layout_.metrics();
  platform::TextFormat format;
  format.font = font_;
  format.color = kText;
  format.valign = platform::VAlign::kCentre;
  format.single_line = true;
  format.end_ellipsis = true;
  const int first_row = layout_.top_row();
  const int first_column = layout_.left_column();
  for (int r = first_row; r <= last_row; ++r) {
    for (int c = first_column; c <= last_column; ++c) {
      const Rect cell = layout_.CellRect(r, c);
      if (selection_.Contains(r, c)) painter.FillRect(cell, kSelection);
      const std::string text = source_->ShownCellText(r - 1, c - 1);
      if (text.empty()) continue;
      if (source_->ColumnType(c - 1) == db::kFieldByteSet) {
        painter.DrawImage(Inset(cell, 1), text);
      } else {
        painter.DrawText(Inset(cell, kTextInset), text, format);
      }
    }
  }
  // Grid lines along the right and bottom edge of every shown cell.
  if (last_row >= first_row && last_column >= first_column) {
    const Rect corner = layout_.CellRect(last_row, last_column);
    const int right = corner.right() - 1;
    const int bottom = corner.bottom() - 1;
    for (int r = first_row; r <= last_row; ++r) {
      const int y = layout_.CellRect(r, first_column).bottom() - 1;
      painter.DrawLine(platform::Point{metrics.heading_width, y}, platform::Point{right, y},
                       kGridLine);
    }
    for (int c = first_column; c <= last_column; ++c) {
      const int x = layout_.CellRect(first_row, c).right() - 1;
      painter.DrawLine(platform::Point{x, metrics.row_height}, platform::Point{x, bottom},
                       kGridLine);
    }
  }
}

void Grid::PaintHeadings(platform::Painter& painter, int last_row, int last_column) {
  platform::TextFormat format;
  format.font = font_;
  format.color = kText;
  format.align = platform::Align::kCentre;
  format.valign = platform::VAlign::kCentre;
  format.single_line = true;
  format.end_ellipsis = true;
  const bool any = layout_.rows() > 0 && layout_.columns() > 0;
  const int client_width = layout_.client_size().width;
  auto heading = [&](const Rect& rect, const std::string& text, bool selected) {
    painter.FillRect(rect, selected ? kHeadingSelected : kHeading);
    painter.DrawEdge(rect, platform::EdgeStyle::kRaised);
    if (text.empty()) return;
    // Centred in the part that is in view, so that a column wider than the grid shows its name.
    Rect shown = rect;
    shown.width = std::max(0, std::min(rect.right(), client_width) - rect.left);
    painter.DrawText(Inset(shown, kTextInset), text, format);
  };
  for (int c = layout_.left_column(); c <= last_column; ++c) {
    const bool selected = any && c >= selection_.left() && c <= selection_.right();
    heading(layout_.CellRect(0, c), source_->ColumnName(c - 1), selected);
  }
  for (int r = layout_.top_row(); r <= last_row; ++r) {
    const bool selected = any && r >= selection_.top() && r <= selection_.bottom();
    heading(layout_.CellRect(r, 0), std::to_string(r), selected);
  }
  heading(layout_.CellRect(0, 0), std::string(), false);
}

}  // namespace memo::ui
