#include "ui/grid/grid_layout.h"

#include <algorithm>
#include <utility>

namespace memo::ui {

void GridLayout::SetMetrics(GridMetrics metrics) {
  metrics_ = std::move(metrics);
  metrics_.row_height = std::max(1, metrics_.row_height);
  metrics_.heading_width = std::max(1, metrics_.heading_width);
  for (int& width : metrics_.column_widths) width = std::max(1, width);
  Clamp();
}

void GridLayout::SetClientSize(platform::Size size) {
  client_ = size;
  Clamp();
}

void GridLayout::SetRowCount(int rows) {
  rows_ = std::max(0, rows);
  Clamp();
}

void GridLayout::Clamp() {
  top_row_ = std::clamp(top_row_, 1, MaxTopRow());
  left_column_ = std::clamp(left_column_, 1, MaxLeftColumn());
}

void GridLayout::ScrollTo(int top_row, int left_column) {
  top_row_ = top_row;
  left_column_ = left_column;
  Clamp();
}

int GridLayout::FullRowsVisible() const {
  return std::max(1, (client_.height - metrics_.row_height) / metrics_.row_height);
}

int GridLayout::MaxTopRow() const { return std::max(1, rows_ - FullRowsVisible() + 1); }

int GridLayout::ColumnWidth(int column) const {
  return metrics_.column_widths[static_cast<size_t>(column - 1)];
}

int GridLayout::FullColumnsVisible() const {
  int room = client_.width - metrics_.heading_width;
  int count = 0;
  for (int c = left_column_; c <= columns(); ++c) {
    room -= ColumnWidth(c);
    if (room < 0) break;
    ++count;
  }
  return std::max(1, count);
}

int GridLayout::MaxLeftColumn() const {
  if (columns() == 0) return 1;
  int room = client_.width - metrics_.heading_width;
  int first = columns();
  // Walk back from the last column while the columns from `first - 1` on still fit.
  room -= ColumnWidth(first);
  while (first > 1 && room - ColumnWidth(first - 1) >= 0) {
    --first;
    room -= ColumnWidth(first);
  }
  return first;
}

int GridLayout::LastShownRow() const {
  int room = client_.height - metrics_.row_height;
  if (room <= 0 || rows_ == 0) return 0;
  int shown = (room + metrics_.row_height - 1) / metrics_.row_height;
  return std::min(rows_, top_row_ + shown - 1);
}

int GridLayout::LastShownColumn() const {
  int x = metrics_.heading_width;
  int last = 0;
  for (int c = left_column_; c <= columns() && x < client_.width; ++c) {
    last = c;
    x += ColumnWidth(c);
  }
  return last;
}

int GridLayout::ColumnLeft(int column) const {
  int x = metrics_.heading_width;
  if (column >= left_column_) {
    for (int c = left_column_; c < column; ++c) x += ColumnWidth(c);
  } else {
    for (int c = column; c < left_column_; ++c) x -= ColumnWidth(c);
  }
  return x;
}

platform::Rect GridLayout::CellRect(int row, int column) const {
  const int h = metrics_.row_height;
  platform::Rect rect;
  rect.top = row == 0 ? 0 : h + (row - top_row_) * h;
  rect.height = h;
  if (column == 0) {
    rect.left = 0;
    rect.width = metrics_.heading_width;
  } else if (column >= 1 && column <= columns()) {
    rect.left = ColumnLeft(column);
    rect.width = ColumnWidth(column);
  }
  return rect;
}

GridLayout::Hit GridLayout::HitTest(platform::Point p) const {
  Hit hit;
  if (p.x < 0 || p.y < 0 || p.x >= client_.width || p.y >= client_.height) return hit;
  const int h = metrics_.row_height;
  if (p.y < h) {
    hit.row = 0;
  } else {
    int row = top_row_ + (p.y - h) / h;
    hit.row = row <= rows_ ? row : -1;
  }
  if (p.x < metrics_.heading_width) {
    hit.column = 0;
  } else {
    int x = metrics_.heading_width;
    for (int c = left_column_; c <= columns(); ++c) {
      x += ColumnWidth(c);
      if (p.x < x) {
        hit.column = c;
        break;
      }
    }
  }
  if (hit.row < 0 || hit.column < 0) return Hit{};
  return hit;
}

GridCell GridLayout::DragTarget(platform::Point p) const {
  const int h = metrics_.row_height;
  GridCell cell;
  if (p.y < h) {
    cell.row = top_row_ - 1;
  } else if (p.y >= client_.height) {
    cell.row = top_row_ + FullRowsVisible();
  } else {
    cell.row = top_row_ + (p.y - h) / h;
  }
  if (p.x < metrics_.heading_width) {
    cell.column = left_column_ - 1;
  } else if (p.x >= client_.width) {
    cell.column = left_column_ + FullColumnsVisible();
  } else {
    int x = metrics_.heading_width;
    cell.column = columns();
    for (int c = left_column_; c <= columns(); ++c) {
      x += ColumnWidth(c);
      if (p.x < x) {
        cell.column = c;
        break;
      }
    }
  }
  cell.row = std::clamp(cell.row, 1, std::max(1, rows_));
  cell.column = std::clamp(cell.column, 1, std::max(1, columns()));
  return cell;
}

bool GridLayout::ScrollIntoView(int row, int column) {
  const int top = top_row_;
  const int left = left_column_;
  if (row >= 1) {
    if (row < top_row_) {
      top_row_ = row;
    } else if (row > top_row_ + FullRowsVisible() - 1) {
      top_row_ = row - FullRowsVisible() + 1;
    }
  }
  if (column >= 1 && column <= columns()) {
    if (column < left_column_) {
      left_column_ = column;
    } else {
      // A cell wider than what is left of the view counts as shown once a third of the view
      // (or the whole cell) shows it: its text is in the tip and the editor, while the columns
      // to its left that fit stay in view.
      const int room = std::max(1, client_.width - metrics_.heading_width);
      const int enough = std::min(ColumnWidth(column), std::max(1, room / 3));
      while (left_column_ < column && ColumnLeft(column) + ColumnWidth(column) > client_.width &&
             client_.width - ColumnLeft(column) < enough) {
        ++left_column_;
      }
    }
  }
  Clamp();
  return top != top_row_ || left != left_column_;
}

}  // namespace memo::ui
