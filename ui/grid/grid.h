// Grid: the data-bound grid — a custom-drawn table on a canvas, bound to a data source as one of
// its views. Row 0 is the heading row (the column names), column 0 the heading column (row
// numbers counted from 1); data cell (r, c), r, c >= 1, is row r - 1, column c - 1 of the data
// source, so the grid's numbers and the program's data-source numbers are the same.
//
// What it does (the selection's rules are in grid_selection.h, the geometry in grid_layout.h):
//   - draws only the rows and columns in view, the headings shaded, grid lines between the cells,
//     the selection in the selection colour and the cursor cell framed; "未连接数据源" at (10, 10)
//     while no data source is bound;
//   - moves and extends the selection by mouse (click, Shift+click, dragging with the button
//     held, heading clicks) and keys; scrolls by the scroll bars (arrows one row or column, page
//     areas five, the thumb), the wheel and Ctrl+arrows;
//   - Ctrl+A selects all, Ctrl+C copies the rectangle ("MGridCells" and tab-separated text),
//     Ctrl+V pastes "MGridCells" data at the rectangle's top-left (not when read-only); plain text
//     from another program is refused with a message rather than guessed at;
//   - clicking the single selected cell again (without dragging), or F2, opens the in-place
//     editor: a native multi-line edit box over the cell, holding its text; Enter (without Ctrl)
//     or the focus leaving it writes the text through the data source, Ctrl+Enter breaks the
//     line, Esc cancels;
//   - a cell the user edits or pastes is written only when its text is a value of the column's
//     type (db::CheckCellText: a mistyped date or number would otherwise store the empty date or
//     0 over the old value; the user is told instead) and on_cell_editing lets it; a text equal
//     to the cell's own is not written again;
//   - columns are sized by dragging a heading border (the pointer shows the sizing shape over
//     one) and fitted to their widest text in view by a double click on it; a width set so
//     stays with the column's name for the grid's life, also when the table is replaced;
//   - a tip with the whole text, wrapped to a readable width, lies over a cut-off cell while the
//     pointer rests on it;
//   - after a mouse button is released or a key has moved the selection it reports which corners
//     changed (on_corners_changed), and makes the cursor row the data source's current row.
//
// Lifetime: the grid sets the canvas's handlers and clears them in Detach(). REQUIRES: Detach()
// runs while the canvas and window still exist (the unit does it in Destroying); the destructor
// only unbinds from the data source.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "data/cell_text.h"
#include "data/data_source.h"
#include "platform/controls.h"
#include "platform/painter.h"
#include "platform/window.h"
#include "ui/format/type_blocks.h"
#include "ui/grid/grid_cells_format.h"
#include "ui/grid/grid_layout.h"
#include "ui/grid/grid_selection.h"

namespace memo::ui {

// The display scale's range, in percent.
constexpr int kMinGridScale = 20;
constexpr int kMaxGridScale = 1000;

class Grid : private db::DataSourceView {
 public:
  // `block` gives the settings: the background colour, the display scale (held within
  // 20..1000), range selection and heading selection (GridBlock::Word).
  // REQUIRES: `canvas` was created by `window`.
  Grid(platform::Window* window, platform::CanvasControl* canvas, const GridBlock& block);
  ~Grid() override;
  Grid(const Grid&) = delete;
  Grid& operator=(const Grid&) = delete;

  // Binds to a data source (not owned; null unbinds) and redraws.
  void Bind(db::DataSource* source);
  db::DataSource* data_source() const { return source_; }
  // Closes the editor without writing, destroys it, unbinds and lets go of the canvas.
  void Detach();

  // Called after the editor control is created and before it is destroyed (the unit adopts it
  // so that its input comes to FilterEditorInput).
  std::function<void(platform::EditControl* editor)> on_editor_created;
  std::function<void(platform::EditControl* editor)> on_editor_destroying;
  // After a mouse release or a key move: which of the two corners changed. May destroy the grid.
  std::function<void(bool first_changed, bool second_changed)> on_corners_changed;
  // Before a cell the user edited in place or pasted is written (grid numbering, the new text,
  // already checked against the column's type): false keeps the cell as it is, and whoever
  // answered has told the user why. May change what the data source shows or destroy the grid.
  std::function<bool(int row, int column, const std::string& text)> on_cell_editing;

  // Input aimed at the editor control; decides what the control sees.
  platform::InputDecision FilterEditorInput(const platform::InputEvent& event);

  // Settings.
  const GridBlock& block() const { return block_; }
  int scale() const;
  void SetScale(int percent);  // held within 20..1000
  bool range_selection() const { return block_.words[GridBlock::kRangeSelectionWord] == 1; }
  bool heading_selection() const {
    return range_selection() && block_.words[GridBlock::kHeadingSelectionWord] == 1;
  }
  platform::Color background() const;
  void SetBlockWord(int index, uint32_t value);  // a word of the block; redraws

  // --- Inspection (the program's commands, memo-script and tests)
  // ---------------------------------
  GridCell cursor() const { return selection_.cursor(); }
  const GridSelection& selection() const { return selection_; }
  int DataRowCount();
  int DataColumnCount() const;
  // The text shown in a cell: data cells their data-source text, row 0 the column names, column 0
  // the row numbers, (0, 0) and anything outside the table "".
  std::string CellText(int row, int column);
  // The visible part of a cell's client rectangle after scrolling it into view (row 0 or column 0:
  // a heading, which needs no scrolling in its direction); an empty rectangle outside the table.
  platform::Rect CellClientRect(int row, int column);
  bool editor_open() const { return editing_; }
  platform::EditControl* editor() const { return editor_; }
  GridCell editing_cell() const { return editing_cell_; }
  const GridLayout& layout() const { return layout_; }
  platform::CanvasControl* canvas() const { return canvas_; }

  // Column widths (grid_columns.cc). A data column's width in pixels (at least kMinColumnWidth),
  // kept for its name while the grid lives; the fit is the widest of the heading and the texts of
  // the rows in view, with the cells' padding.
  static constexpr int kMinColumnWidth = 6;
  void SetColumnWidth(int column, int width);
  void FitColumn(int column);
  // The data column whose right border in the heading row lies under the point, or -1.
  int ColumnBorderAt(platform::Point at) const;
  // The tip over a cut-off cell: which cell it explains ({-1, -1}: none) and its text.
  GridCell tip_cell() const { return tip_cell_; }
  const std::string& tip_text() const { return tip_text_; }

  // Repaints at once / marks for repainting.
  void RepaintNow();
  void Invalidate();

  // The canvas's handlers (public for tests that drive a canvas directly).
  void HandleInput(const platform::InputEvent& event);
  void HandleScroll(platform::Orientation which, platform::ScrollAction action, int position);
  void Paint(platform::Painter& painter, const platform::Rect& dirty);

 private:
  // DataSourceView
  void OnDataSourceNotice(db::ViewNotice notice, int first, int count) override;
  void OnDataSourceGone() override;

  // Geometry and scroll bars from the data source and the canvas as they are now.
  void Relayout(bool columns_changed);
  void UpdateScrollBars();
  platform::FontSpec Font() const;

  // Input.
  void MouseDown(const platform::InputEvent& event);
  void MouseMove(const platform::InputEvent& event);
  void MouseUp(const platform::InputEvent& event);
  void KeyDown(const platform::InputEvent& event);
  // Column sizing and the tip (grid_columns.cc).
  bool PressOnBorder(const platform::InputEvent& event);
  void Hover(platform::Point at);
  void UpdateTip(platform::Point at);
  void HideTip();
  void Copy();
  void Paste();
  // After a user action: the data source's current row follows the cursor, then the corners
  // that changed since `before` are reported. False when the grid went away meanwhile.
  bool Finish(const GridSelection& before);

  // Writes a cell the user edited or pasted (grid_editor.cc): false when it was not written;
  // *fault says when its text was no value of the column's type (nothing is shown yet).
  bool WriteUserCell(GridCell cell, const std::string& text, db::CellTextFault* fault);
  // Tells the user why a typed text was refused.
  void ShowCellTextFault(db::CellTextFault fault);

  // The editor (grid_editor.cc). When it closes, the focus stays where it is, or goes to the grid
  // first (the editor had it, and it must not wander to another control as the editor hides).
  enum class EditorFocus { kLeave, kToGrid };
  void OpenEditor(GridCell cell);
  void CommitEditor(EditorFocus focus);
  // A cell write the data source refused: one box "保存失败：" + the provider's file + the
  // engine's reason. The cell keeps showing what the file holds, its old value.
  void TellWriteFailed();
  void CancelEditor();
  void CloseEditor(EditorFocus focus);
  void GrowEditor();
  platform::Rect EditorRect() const;

  // Painting (grid_paint.cc).
  void PaintHeadings(platform::Painter& painter, int last_row, int last_column);
  void PaintCells(platform::Painter& painter, int last_row, int last_column);

  platform::Window* window_;
  platform::CanvasControl* canvas_;
  GridBlock block_;
  db::DataSource* source_ = nullptr;
  GridLayout layout_;
  GridSelection selection_;
  platform::FontSpec font_;  // the scaled font cells and headings are drawn in

  // Mouse state between a press and its release.
  enum class Drag { kNone, kCells, kRows, kColumns, kResize };
  Drag drag_ = Drag::kNone;
  bool button_down_ = false;
  bool edit_on_release_ = false;  // pressed on the selected cell: release opens the editor
  GridCell pressed_cell_;
  GridSelection pressed_selection_;

  int resizing_column_ = 0;
  int resizing_left_ = 0;  // the sized column's left edge, client pixels
  bool sizing_pointer_ = false;
  std::map<std::string, int> user_widths_;  // column name -> width a person gave it
  GridCell tip_cell_{-1, -1};
  std::string tip_text_;

  platform::EditControl* editor_ = nullptr;
  bool editing_ = false;
  GridCell editing_cell_;
  int swallow_character_ = 0;  // the character a key the editor handled types next

  platform::ScrollInfo shown_bars_[2];
  bool bars_set_ = false;
  bool updating_bars_ = false;
  bool following_cursor_ = false;  // the grid itself is moving the data source's current row
  std::shared_ptr<char> alive_ = std::make_shared<char>(0);
};

}  // namespace memo::ui
