// The data-bound grid's geometry: where the heading row and column and every data cell lie in the
// canvas's client area for the current scroll position, and which cell a point hits. Scrolling is
// by whole rows and columns; the heading row and column never scroll.
//
// Numbering as in grid_selection.h: data rows and columns from 1, row 0 / column 0 the headings.
#pragma once

#include <vector>

#include "platform/geometry.h"
#include "ui/grid/grid_selection.h"

namespace memo::ui {

struct GridMetrics {
  int row_height = 20;             // the heading row and every data row
  int heading_width = 40;          // the heading column
  std::vector<int> column_widths;  // data column c is column_widths[c - 1], in pixels
};

class GridLayout {
 public:
  void SetMetrics(GridMetrics metrics);
  const GridMetrics& metrics() const { return metrics_; }
  void SetClientSize(platform::Size size);
  platform::Size client_size() const { return client_; }
  // The data row count; the scroll position is held within the table.
  void SetRowCount(int rows);
  int rows() const { return rows_; }
  int columns() const { return static_cast<int>(metrics_.column_widths.size()); }

  // The first data row and column shown.
  int top_row() const { return top_row_; }
  int left_column() const { return left_column_; }
  // Scrolls to show `top_row` and `left_column` first, each clamped to 1 .. its maximum.
  void ScrollTo(int top_row, int left_column);
  // The largest first row: the last row then sits at the bottom. Likewise for columns.
  int MaxTopRow() const;
  int MaxLeftColumn() const;
  // Data rows / columns (from the first shown) that fit wholly; at least 1.
  int FullRowsVisible() const;
  int FullColumnsVisible() const;
  // The last data row / column of which any part is shown (0 when none is).
  int LastShownRow() const;
  int LastShownColumn() const;

  // The client rectangle of a cell or heading. Cells scrolled out of view lie outside the client
  // area (above, or left of the heading column).
  platform::Rect CellRect(int row, int column) const;

  // The cell at a client point: row 0 / column 0 for the headings; -1 for a point below the last
  // row or right of the last column (or outside the client area).
  struct Hit {
    int row = -1;
    int column = -1;
  };
  Hit HitTest(platform::Point point) const;
  // While dragging: the data cell under the point, or the cell just past the shown ones when the
  // point lies beyond an edge (so that the drag scrolls), clamped to the table.
  GridCell DragTarget(platform::Point point) const;

  // Scrolls as little as possible to show the cell (a row or column of 0 leaves that direction
  // alone): its row wholly; its column wholly, or, when that would scroll columns to its left
  // out of view, far enough that a third of the view (or the whole cell) shows it. True when the
  // position changed.
  bool ScrollIntoView(int row, int column);

 private:
  int ColumnLeft(int column) const;  // client x of a data column's left edge
  int ColumnWidth(int column) const;
  void Clamp();

  GridMetrics metrics_;
  platform::Size client_;
  int rows_ = 0;
  int top_row_ = 1;
  int left_column_ = 1;
};

}  // namespace memo::ui
