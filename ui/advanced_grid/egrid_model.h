// The advanced grid's model: rows and columns with their sizes, fixed (heading) rows and columns,
// the cells, the focus cell and the first visible cell. No drawing and no platform here; the view
// (ui/advanced_grid/egrid.h) repaints whenever on_change runs.
//
// Invariants, kept by every operation:
//   1. fixed_rows() <= rows() and fixed_columns() <= columns();
//   2. the focus cell is a non-fixed cell inside the grid, or {-1, -1};
//   3. top_row() is in [fixed_rows(), rows() - 1] (fixed_rows() when no row is scrollable), and
//      left_column() likewise among the columns;
//   4. a row holds cells only for its leading columns that were ever written (at most
//      columns()); a cell it does not hold is empty. Rows are cheap to insert anywhere: one
//      move of a small record per later row, and no cell is touched.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/font.h"
#include "platform/geometry.h"
#include "ui/advanced_grid/egrid_settings.h"

namespace memo::ui {

enum class EGridColumnKind { kText, kCheckBox, kPicture };

// A cell position, 0-based, fixed rows and columns included.
struct CellPos {
  int row = -1;
  int column = -1;
  bool none() const { return row < 0; }
  friend bool operator==(const CellPos&, const CellPos&) = default;
};

// The settings of one cell beyond its content (defaults: the grid's).
struct EGridCellStyle {
  std::optional<platform::FontSpec> font;
  platform::Color text_color = platform::kDefaultColor;
  platform::Color background = platform::kDefaultColor;
};

struct EGridCell {
  std::string text;                       // GBK
  bool checked = false;                   // check-box columns
  std::string picture;                    // encoded image bytes, picture columns
  std::unique_ptr<EGridCellStyle> style;  // null: none of its own
};

class EGridModel {
 public:
  explicit EGridModel(const EGridSettings& settings);
  EGridModel(const EGridModel&) = delete;
  EGridModel& operator=(const EGridModel&) = delete;

  // Runs after every change of content, layout, focus or scrolling.
  std::function<void()> on_change;

  // What the grid was created with (and reset restores).
  const EGridSettings& settings() const { return settings_; }

  // --- Shape ------------------------------------------------------------------------------------
  int rows() const { return static_cast<int>(rows_.size()); }
  int columns() const { return static_cast<int>(columns_.size()); }
  int fixed_rows() const { return fixed_rows_; }
  int fixed_columns() const { return fixed_columns_; }
  int default_row_height() const { return row_height_; }
  int default_column_width() const { return column_width_; }
  // REQUIRES: 0 <= row < rows() (0 <= column < columns()).
  int row_height(int row) const { return rows_[static_cast<size_t>(row)].height; }
  int column_width(int column) const { return columns_[static_cast<size_t>(column)].width; }
  bool Contains(int row, int column) const;
  // In a fixed row or a fixed column.
  bool IsFixed(int row, int column) const { return row < fixed_rows_ || column < fixed_columns_; }

  // Counts: refused (false, nothing changes) when count <= 0 or beyond the limits. Rows or
  // columns past the new count go; every row (column) then has the default height (width).
  bool SetRowCount(int count);
  bool SetColumnCount(int count);
  // Refused when count < 0 or count > rows() (columns()).
  bool SetFixedRows(int count);
  bool SetFixedColumns(int count);
  // Refused when negative or beyond kEGridMaxCellSize; resizes every row (column).
  bool SetDefaultRowHeight(int height);
  bool SetDefaultColumnWidth(int width);
  // False for a column outside the grid; the width is clamped into [0, kEGridMaxCellSize].
  bool SetColumnWidth(int column, int width);

  // --- Colours ----------------------------------------------------------------------------------
  platform::Color grid_line_color() const { return grid_line_; }
  platform::Color background_color() const { return background_; }
  platform::Color selection_color() const { return selection_; }

  // --- Column declarations ----------------------------------------------------------------------
  // kText outside the grid.
  EGridColumnKind column_kind(int column) const;
  bool SetColumnKind(int column, EGridColumnKind kind);
  // Decimals shown in a column with a numeric display format, or -1 for a plain column.
  int column_decimals(int column) const;
  // decimals 0..9 sets a numeric display format, -1 removes it; other values are refused.
  bool SetColumnNumberFormat(int column, int decimals);
  bool show_zeros() const { return show_zeros_; }
  void SetShowZeros(bool show);

  // --- Cells ------------------------------------------------------------------------------------
  // Null for a cell outside the grid or one never written.
  const EGridCell* Cell(int row, int column) const;
  std::string_view CellText(int row, int column) const;
  // The text as drawn: a numeric column's non-fixed cells with its decimals, zero as empty
  // unless zeros are shown; any other cell its text.
  std::string DisplayText(int row, int column) const;
  // Refused outside the grid, in a non-fixed cell of a check-box or picture column, and in a
  // non-fixed cell of a numeric column when the text is neither empty nor a number.
  bool SetCellText(int row, int column, std::string_view text);
  // Refused outside the grid, in a fixed cell, and in a column of another kind.
  bool SetCellChecked(int row, int column, bool checked);
  bool SetCellPicture(int row, int column, std::string_view image_bytes);
  // Refused outside the grid.
  bool SetCellStyle(int row, int column, const EGridCellStyle& style);

  // Inserts an empty row whose first cell holds `heading` (see egrid_model.cc for the rules of
  // position and height). Always succeeds within the row limit.
  bool InsertRow(std::string_view heading, std::optional<int> position);

  // Clears every cell and per-cell setting and restores the created colours, default sizes
  // (applied to every row and column) and fixed counts; the row and column counts stay.
  void Reset();

  // --- Focus and scrolling ----------------------------------------------------------------------
  CellPos focus() const { return focus_; }
  // Moves the focus to a non-fixed cell inside the grid; false (nothing changes) otherwise.
  bool SetFocus(CellPos cell);
  int top_row() const { return top_row_; }
  int left_column() const { return left_column_; }
  // Clamped into the scrollable rows (columns).
  void SetTopRow(int row);
  void SetLeftColumn(int column);

 private:
  struct Row {
    int height = 24;
    std::vector<EGridCell> cells;  // the leading cells ever written
  };
  struct Column {
    int width = 60;
    EGridColumnKind kind = EGridColumnKind::kText;
    int decimals = -1;
  };

  // The cell, created (with the cells before it in its row) when missing. REQUIRES: Contains.
  EGridCell& MutableCell(int row, int column);
  // Restores invariants 1 to 3 after the shape changed.
  void Normalise();
  void Changed();

  EGridSettings settings_;
  std::vector<Row> rows_;
  std::vector<Column> columns_;
  int fixed_rows_ = 0;
  int fixed_columns_ = 0;
  int row_height_ = 24;
  int column_width_ = 60;
  platform::Color grid_line_ = 0;
  platform::Color background_ = 0;
  platform::Color selection_ = 0;
  bool show_zeros_ = false;
  CellPos focus_;
  int top_row_ = 0;
  int left_column_ = 0;
};

// True for a decimal number: optional spaces, an optional sign, digits with an optional decimal
// point (at least one digit), an optional exponent, optional spaces.
bool IsNumberText(std::string_view text);

}  // namespace memo::ui
