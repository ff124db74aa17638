// The grid's in-place editor: one native multi-line edit box, created the first time a cell is
// edited and kept (hidden) for the next edit, so that no control is ever destroyed while its own
// input is being handled. While `editing_` is set it lies over `editing_cell_` and holds the
// text being edited; the text reaches the table only through the data source's set cell text,
// after WriteUserCell's checks (the same for pasted cells).
// The editor wraps its text: it widens to the text's longest line (at most the data area's
// width) and grows downwards to show every wrapped line, within the grid.
#include <algorithm>
#include <string>

#include "db/engine_code.h"
#include "db/registry.h"
#include "platform/backend.h"
#include "platform/message_box.h"
#include "runtime/literal.h"
#include "ui/grid/grid.h"
#include "ui/window/text_wrap.h"

namespace memo::ui {

namespace {

using platform::InputDecision;
using platform::InputEvent;
using platform::InputKind;
namespace vk = platform::vk;

constexpr int kEditorPadding = 8;

}  // namespace

platform::Rect Grid::EditorRect() const {
  platform::Rect cell = layout_.CellRect(editing_cell_.row, editing_cell_.column);
  platform::Size client = layout_.client_size();
  const int data_left = layout_.metrics().heading_width;
  const int data_top = layout_.metrics().row_height;
  // Keep the editor inside the data area: a cell partly scrolled out gets the visible part.
  int left = std::max(cell.left, data_left);
  int top = std::max(cell.top, data_top);
  int width = std::max(std::min(cell.right(), client.width) - left, 8);
  int height = std::max(cell.bottom() - top, 8);
  platform::Backend* backend = platform::CurrentBackend();
  if (editor_ && backend) {
    // As wide as the text's longest line needs, up to the data area's width (moving left when
    // the cell lies too far right for that); then as tall as the text wrapped at that width
    // needs, growing downwards and, at the bottom of the grid, upwards, so that a long memo
    // shows whole while it is edited.
    const std::string text = editor_->Text();
    const int room = std::max(8, client.width - data_left);
    const int letter = backend->MeasureText(font_, "W").width;
    const int natural = WrapText(font_, text, room).widest + letter + kEditorPadding;
    width = std::clamp(natural, width, room);
    left = std::clamp(left, data_left, std::max(data_left, client.width - width));
    // A native editor wraps inside its frame and its document's margins, and by its own rules
    // (words of letters and digits stay whole): the lines are counted at a width that leaves
    // room for the margins, and a multi-line text gets one line more, for the typing to come
    // and for a line the native wrapping may need beyond this count.
    const WrappedText lines = WrapText(font_, text + "W", width - 2 * kEditorPadding);
    const int extra = lines.lines.size() > 1 ? lines.line_height : 0;
    height = std::max(height, lines.height() + extra + kEditorPadding + kEditorPadding / 2);
    height = std::min(height, std::max(8, client.height - data_top));
    if (top + height > client.height) top = std::max(data_top, client.height - height);
  }
  width = std::max(8, std::min(width, client.width - left));
  height = std::max(8, std::min(height, client.height - top));
  return platform::Rect{left, top, width, height};
}

void Grid::OpenEditor(GridCell cell) {
  if (!canvas_ || !source_ || source_->read_only() || editing_) return;
  if (cell.row < 1 || cell.row > layout_.rows() || cell.column < 1 ||
      cell.column > layout_.columns()) {
    return;
  }
  if (layout_.ScrollIntoView(cell.row, cell.column)) UpdateScrollBars();
  const std::string text = source_->CellText(cell.row - 1, cell.column - 1);
  editing_cell_ = cell;
  editing_ = true;
  swallow_character_ = 0;
  if (!editor_) {
    platform::ControlPlacement placement;
    placement.rect = EditorRect();
    placement.parent = canvas_;
    placement.visible = true;
    platform::EditStyle style;
    style.border = 1;
    style.multi_line = true;
    style.scroll_bars = platform::ScrollBars::kNone;  // wraps at its width; the caret scrolls it
    style.hide_selection = false;
    style.font = font_;
    style.background = background();
    style.text_color = platform::Rgb(0, 0, 0);
    style.text_gbk = text;
    editor_ = window_->CreateEdit(placement, style);
    if (!editor_) {
      editing_ = false;
      return;
    }
    editor_->on_user_change = [this] { GrowEditor(); };
    if (on_editor_created) on_editor_created(editor_);
  } else {
    editor_->SetFont(font_);
    editor_->SetColors(platform::Rgb(0, 0, 0), background());
    editor_->SetText(text);
    editor_->SetVisible(true);
  }
  editor_->SetGeometry(EditorRect());
  // The caret to the start first, so that a box scrolled while it was smaller shows its first
  // line again; then the whole text selected, so that typing replaces it.
  editor_->SetSelection(0, 0);
  editor_->SetSelection(0, -1);
  editor_->SetFocus();
  Invalidate();
}

void Grid::CloseEditor(EditorFocus focus) {
  editing_ = false;
  if (!editor_) return;
  // The grid takes the focus before the editor hides, so that it does not wander elsewhere.
  if (focus == EditorFocus::kToGrid && canvas_) canvas_->SetFocus();
  editor_->SetVisible(false);
  Invalidate();
}

void Grid::CommitEditor(EditorFocus focus) {
  if (!editing_ || !editor_) return;
  const std::string text = editor_->Text();
  const GridCell cell = editing_cell_;
  CloseEditor(focus);
  std::weak_ptr<char> alive = alive_;
  db::CellTextFault fault = db::CellTextFault::kNone;
  if (!WriteUserCell(cell, text, &fault) && !alive.expired()) ShowCellTextFault(fault);
}

bool Grid::WriteUserCell(GridCell cell, const std::string& text, db::CellTextFault* fault) {
  *fault = db::CellTextFault::kNone;
  if (!source_) return false;
  const int row = cell.row - 1;
  const int column = cell.column - 1;
  // Nothing changed: nothing to write (writing the shown text back could even lose what the
  // text does not show, such as a double's digits beyond the thirteenth).
  if (source_->CellText(row, column) == text) return true;
  *fault = db::CheckCellText(source_->ColumnType(column), text);
  if (*fault != db::CellTextFault::kNone) return false;
  if (on_cell_editing) {
    std::weak_ptr<char> alive = alive_;
    auto handler = on_cell_editing;
    const bool allowed = handler(cell.row, cell.column, text);
    if (alive.expired() || !allowed || !source_) return false;
  }
  db::SetLastError(db::kOk);
  if (source_->SetCellText(row, column, text)) return true;
  // The write itself failed (file gone, write-protected, busy, disk full): said here, with the
  // engine's reason; the cell keeps its old value.
  TellWriteFailed();
  return false;
}

void Grid::TellWriteFailed() {
  platform::Backend* backend = platform::CurrentBackend();
  if (!backend) return;
  const int code = db::LastError();
  db::DBProvider* provider = source_ ? source_->provider() : nullptr;
  std::string text =
      db::FailureText(Gbk("保存失败："), provider ? provider->file_name() : "", code);
  backend->ShowMessageBox(text.c_str(), Gbk("温馨提示"),
                          platform::kMbOk | platform::kMbIconWarning);
}

void Grid::ShowCellTextFault(db::CellTextFault fault) {
  const char* text_utf8 = nullptr;
  switch (fault) {
    case db::CellTextFault::kNone: return;
    case db::CellTextFault::kNotADate:
      text_utf8 = "日期格式不正确，例如 2014年7月10日9时5分 或 2014-07-10 09:05";
      break;
    case db::CellTextFault::kNotANumber: text_utf8 = "数字格式不正确"; break;
  }
  if (platform::Backend* backend = platform::CurrentBackend()) {
    backend->ShowMessageBox(Gbk(text_utf8), Gbk("温馨提示"),
                            platform::kMbOk | platform::kMbIconWarning);
  }
}

void Grid::CancelEditor() {
  if (!editing_) return;
  CloseEditor(editor_ && editor_->HasFocus() ? EditorFocus::kToGrid : EditorFocus::kLeave);
}

void Grid::GrowEditor() {
  if (editing_ && editor_) editor_->SetGeometry(EditorRect());
}

InputDecision Grid::FilterEditorInput(const InputEvent& event) {
  if (event.kind == InputKind::kChar && swallow_character_ != 0) {
    const bool same = event.key == swallow_character_;
    swallow_character_ = 0;
    if (same) return InputDecision::Swallow();
  }
  if (!editing_ || !editor_) return InputDecision::Pass();
  switch (event.kind) {
    case InputKind::kKeyDown: {
      const bool ctrl = (event.shift & platform::kShiftCtrl) != 0;
      if (event.key == vk::kReturn && ctrl) {
        editor_->ReplaceSelection("\r\n");
        swallow_character_ = 10;  // Ctrl+Enter types a line feed
        return InputDecision::Swallow();
      }
      if (event.key == vk::kReturn) {
        swallow_character_ = 13;
        CommitEditor(EditorFocus::kToGrid);
        return InputDecision::Swallow();
      }
      if (event.key == vk::kEscape) {
        swallow_character_ = 27;
        CancelEditor();
        return InputDecision::Swallow();
      }
      return InputDecision::Pass();
    }
    case InputKind::kKeyUp:
      if (event.key == vk::kReturn || event.key == vk::kEscape) return InputDecision::Swallow();
      return InputDecision::Pass();
    case InputKind::kFocusLost: CommitEditor(EditorFocus::kLeave); return InputDecision::Pass();
    default: return InputDecision::Pass();
  }
}

}  // namespace memo::ui
