// The data-bound grid's selection: a rectangle of data cells given by two corner cells, and where
// each key takes it. Pure logic: the grid (grid.h) applies the result and draws it.
//
// Numbering: data rows and columns from 1, as the program's commands number them; row 0 and
// column 0 are the headings and are never part of the selection.
//
// The two corners: the first is the anchor, where a selection starts (a click, or any move that
// does not extend); the second is the moving end, which Shift+keys, Shift+clicks and dragging
// move. A move that does not extend makes both corners the target. The cursor — what the
// program's cursor row and cursor column commands report — is the rectangle's top-left cell.
#pragma once

#include <algorithm>

namespace memo::ui {

struct GridCell {
  int row = 1;
  int column = 1;
  friend bool operator==(const GridCell&, const GridCell&) = default;
};

class GridSelection {
 public:
  // The table's size; the corners are held within 1 .. max(1, rows) and 1 .. max(1, columns),
  // so a selection always names a cell even in an empty table.
  void SetExtent(int rows, int columns);
  int rows() const { return rows_; }
  int columns() const { return columns_; }

  const GridCell& first() const { return first_; }
  const GridCell& second() const { return second_; }
  GridCell cursor() const { return GridCell{top(), left()}; }
  int top() const { return std::min(first_.row, second_.row); }
  int bottom() const { return std::max(first_.row, second_.row); }
  int left() const { return std::min(first_.column, second_.column); }
  int right() const { return std::max(first_.column, second_.column); }
  bool Contains(int row, int column) const {
    return row >= top() && row <= bottom() && column >= left() && column <= right();
  }
  bool IsSingleCell() const { return first_ == second_; }

  // Both corners to the cell (clamped).
  void MoveTo(GridCell cell);
  // The second corner to the cell (clamped).
  void ExtendTo(GridCell cell);
  void SelectAll();
  void SelectRow(int row);
  void SelectColumn(int column);

  GridCell Clamp(GridCell cell) const;

 private:
  int rows_ = 0;
  int columns_ = 0;
  GridCell first_;
  GridCell second_;
};

// What a key does to the selection.
struct KeyAction {
  enum class Kind { kNone, kMove, kExtend, kScroll };
  Kind kind = Kind::kNone;
  GridCell target;      // kMove / kExtend: the cell (already clamped)
  int scroll_rows = 0;  // kScroll
  int scroll_columns = 0;
};

// Rows a Page Up / Page Down moves.
constexpr int kPageRows = 10;

// The action of a key (Windows virtual-key code) with the shift state (1 Ctrl, 2 Shift, 4 Alt):
//   Left/Right/Up/Down one cell; Page Up/Down ten rows (with Ctrl the first / last data row);
//   Home the first column of the row (with Ctrl the first row and column); End the last column
//   (with Ctrl the last row and column); Ctrl+arrows scroll the view by one without moving.
// A plain move starts from the cursor; with Shift (when range selection is allowed) the second
// corner moves instead and the rectangle extends. Other keys: kNone.
KeyAction KeyActionFor(int key, int shift, const GridSelection& selection, bool range_allowed);

}  // namespace memo::ui
