#include "ui/grid/grid.h"

#include <algorithm>
#include <string>
#include <utility>

#include "data/db_provider.h"
#include "db/registry.h"
#include "platform/backend.h"
#include "platform/input.h"
#include "platform/message_box.h"
#include "runtime/literal.h"
#include "ui/grid/grid_cells_text.h"

namespace memo::ui {

namespace {

using platform::InputEvent;
using platform::InputKind;
namespace vk = platform::vk;

// Page areas of the scroll bars move by this many rows or columns; the wheel by three rows.
constexpr int kScrollPage = 5;
constexpr int kWheelRows = 3;

}  // namespace

Grid::Grid(platform::Window* window, platform::CanvasControl* canvas, const GridBlock& block)
    : window_(window), canvas_(canvas), block_(block) {
  block_.words[GridBlock::kScaleWord] = static_cast<uint32_t>(std::clamp<int64_t>(
      static_cast<int32_t>(block_.words[GridBlock::kScaleWord]), kMinGridScale, kMaxGridScale));
  canvas_->on_paint = [this](platform::Painter& painter, const platform::Rect& dirty) {
    Paint(painter, dirty);
  };
  canvas_->on_input = [this](const InputEvent& event) { HandleInput(event); };
  canvas_->on_scroll = [this](platform::Orientation which, platform::ScrollAction action,
                              int position) { HandleScroll(which, action, position); };
  canvas_->on_resize = [this](platform::Size) {
    CommitEditor(EditorFocus::kLeave);
    Relayout(false);
    Invalidate();
  };
  Relayout(true);
}

Grid::~Grid() {
  if (source_) source_->RemoveView(this);
}

void Grid::Bind(db::DataSource* source) {
  if (source == source_) return;
  CommitEditor(EditorFocus::kLeave);
  if (source_) source_->RemoveView(this);
  source_ = source;
  if (source_) source_->AddView(this);
  Relayout(true);
  Invalidate();
}

void Grid::Detach() {
  if (!canvas_) return;
  editing_ = false;
  if (editor_) {
    if (on_editor_destroying) on_editor_destroying(editor_);
    window_->DestroyControl(editor_);
    editor_ = nullptr;
  }
  if (source_) source_->RemoveView(this);
  source_ = nullptr;
  canvas_->on_paint = nullptr;
  canvas_->on_input = nullptr;
  canvas_->on_scroll = nullptr;
  canvas_->on_resize = nullptr;
  canvas_ = nullptr;
}

int Grid::scale() const { return static_cast<int>(block_.words[GridBlock::kScaleWord]); }

void Grid::SetScale(int percent) {
  block_.words[GridBlock::kScaleWord] =
      static_cast<uint32_t>(std::clamp(percent, kMinGridScale, kMaxGridScale));
  CommitEditor(EditorFocus::kLeave);
  Relayout(true);
  Invalidate();
}

void Grid::SetBlockWord(int index, uint32_t value) {
  if (index < 0 || index >= GridBlock::kWordCount) return;
  if (index == GridBlock::kScaleWord) {
    SetScale(static_cast<int32_t>(value));
    return;
  }
  block_.words[index] = value;
  Invalidate();
}

platform::Color Grid::background() const {
  uint32_t colour = block_.words[GridBlock::kBackgroundWord];
  return colour == platform::kDefaultColor ? platform::Rgb(255, 255, 255) : colour;
}

platform::FontSpec Grid::Font() const {
  platform::Backend* backend = platform::CurrentBackend();
  platform::FontSpec font = backend ? backend->DefaultGuiFont() : platform::FontSpec{};
  if (scale() == 100) return font;
  int height = backend ? backend->MeasureFont(font).height : 12;
  font.height = std::max(1, height * scale() / 100);
  return font;
}

void Grid::Relayout(bool columns_changed) {
  if (!canvas_) return;
  platform::Backend* backend = platform::CurrentBackend();
  const int rows = source_ ? source_->RowCount() : 0;
  if (columns_changed || layout_.metrics().column_widths.size() !=
                             static_cast<size_t>(source_ ? source_->ColumnCount() : 0)) {
    font_ = Font();
    GridMetrics metrics;
    const int font_height = backend ? backend->MeasureFont(font_).height : 12;
    const int letter = backend ? backend->MeasureText(font_, "W").width : 6;
    const int reference = db::ReferenceLetterWidth();
    metrics.row_height = font_height + std::max(2, 6 * scale() / 100);
    const int columns = source_ ? source_->ColumnCount() : 0;
    for (int c = 0; c < columns; ++c) {
      // The data source's widths count reference letters; show them as letters of our font.
      int64_t units = source_->ColumnWidth(c);
      int width = static_cast<int>(units * (letter + 1) / (reference + 1));
      auto sized = user_widths_.find(source_->ColumnName(c));
      if (sized != user_widths_.end()) width = sized->second;
      metrics.column_widths.push_back(std::max(kMinColumnWidth, width));
    }
    metrics.heading_width = 0;
    layout_.SetMetrics(std::move(metrics));
  }
  // The heading column fits the longest row number (at least three digits).
  const std::string digits(std::max<size_t>(3, std::to_string(rows).size()), '9');
  const int digits_width = backend ? backend->MeasureText(font_, digits).width : 6 * 3;
  const int heading = digits_width + std::max(4, 12 * scale() / 100);
  if (heading != layout_.metrics().heading_width) {
    GridMetrics metrics = layout_.metrics();
    metrics.heading_width = heading;
    layout_.SetMetrics(std::move(metrics));
  }
  layout_.SetClientSize(canvas_->ClientSize());
  layout_.SetRowCount(rows);
  selection_.SetExtent(rows, layout_.columns());
  UpdateScrollBars();
}

void Grid::UpdateScrollBars() {
  if (!canvas_ || updating_bars_) return;
  updating_bars_ = true;
  // Setting a bar may change the client area (a bar appearing); the ranges then follow it.
  for (int pass = 0; pass < 3; ++pass) {
    platform::ScrollInfo vertical;
    vertical.maximum = std::max(0, layout_.rows() - 1);
    vertical.page = layout_.FullRowsVisible();
    vertical.position = layout_.top_row() - 1;
    platform::ScrollInfo horizontal;
    horizontal.maximum = std::max(0, layout_.columns() - 1);
    horizontal.page = layout_.FullColumnsVisible();
    horizontal.position = layout_.left_column() - 1;
    if (bars_set_ && shown_bars_[0] == horizontal && shown_bars_[1] == vertical) break;
    bars_set_ = true;
    shown_bars_[0] = horizontal;
    shown_bars_[1] = vertical;
    canvas_->SetScrollBar(platform::Orientation::kHorizontal, true, horizontal);
    canvas_->SetScrollBar(platform::Orientation::kVertical, true, vertical);
    const platform::Size client = canvas_->ClientSize();
    if (client == layout_.client_size()) break;
    layout_.SetClientSize(client);
  }
  updating_bars_ = false;
}

void Grid::RepaintNow() {
  if (canvas_) canvas_->RepaintNow();
}

void Grid::Invalidate() {
  if (canvas_) canvas_->Invalidate();
}

// --- The data source's notices ------------------------------------------------------------------

void Grid::OnDataSourceNotice(db::ViewNotice notice, int first, int count) {
  (void)count;
  HideTip();
  switch (notice) {
    case db::ViewNotice::kFinishEditing: CommitEditor(EditorFocus::kLeave); return;
    case db::ViewNotice::kCurrentRowChanged: {
      // A move the grid made itself names its own cursor row: nothing to follow.
      if (following_cursor_) return;
      const int row = first + 1;
      Relayout(false);
      if (selection_.cursor().row != row) {
        selection_.MoveTo(GridCell{row, selection_.cursor().column});
      }
      layout_.ScrollIntoView(selection_.cursor().row, 0);
      UpdateScrollBars();
      Invalidate();
      return;
    }
    case db::ViewNotice::kTableReplaced:
      CancelEditor();
      Relayout(true);
      Invalidate();
      return;
    case db::ViewNotice::kRowsInserted:
    case db::ViewNotice::kRowsDeleted:
    case db::ViewNotice::kCellsChanged:
    case db::ViewNotice::kSave:
      Relayout(false);
      Invalidate();
      return;
  }
}

void Grid::OnDataSourceGone() {
  CancelEditor();
  source_ = nullptr;
  Relayout(true);
  Invalidate();
}

// --- Inspection ---------------------------------------------------------------------------------

int Grid::DataRowCount() { return source_ ? source_->RowCount() : 0; }

int Grid::DataColumnCount() const { return source_ ? source_->ColumnCount() : 0; }

std::string Grid::CellText(int row, int column) {
  if (!source_ || row < 0 || column < 0 || column > DataColumnCount()) return std::string();
  if (row == 0) return column == 0 ? std::string() : source_->ColumnName(column - 1);
  if (row > DataRowCount()) return std::string();
  if (column == 0) return std::to_string(row);
  return source_->CellText(row - 1, column - 1);
}

platform::Rect Grid::CellClientRect(int row, int column) {
  if (!canvas_ || row < 0 || column < 0) return platform::Rect{};
  Relayout(false);
  if (row > layout_.rows() || column > layout_.columns()) return platform::Rect{};
  if (layout_.ScrollIntoView(row, column)) {
    UpdateScrollBars();
    Invalidate();
  }
  platform::Rect cell = layout_.CellRect(row, column);
  platform::Size client = layout_.client_size();
  int left = std::max(cell.left, 0);
  int top = std::max(cell.top, 0);
  int right = std::min(cell.right(), client.width);
  int bottom = std::min(cell.bottom(), client.height);
  if (right <= left || bottom <= top) return platform::Rect{};
  return platform::Rect{left, top, right - left, bottom - top};
}

// --- Input --------------------------------------------------------------------------------------

void Grid::HandleInput(const InputEvent& event) {
  if (!canvas_) return;
  switch (event.kind) {
    case InputKind::kLeftDown:
    case InputKind::kLeftDoubleClick:
      HideTip();
      if (PressOnBorder(event)) return;
      MouseDown(event);
      return;
    case InputKind::kMouseMove:
      if (!button_down_) {
        Hover(platform::Point{event.x, event.y});
        return;
      }
      MouseMove(event);
      return;
    case InputKind::kLeftUp: MouseUp(event); return;
    case InputKind::kWheel:
      HideTip();
      CommitEditor(EditorFocus::kLeave);
      layout_.ScrollTo(layout_.top_row() - event.wheel * kWheelRows, layout_.left_column());
      UpdateScrollBars();
      Invalidate();
      return;
    case InputKind::kKeyDown: KeyDown(event); return;
    case InputKind::kFocusGained:
    case InputKind::kFocusLost: Invalidate(); return;
    default: return;
  }
}

void Grid::MouseDown(const InputEvent& event) {
  CommitEditor(EditorFocus::kLeave);
  if (!canvas_) return;
  canvas_->SetFocus();
  Relayout(false);
  pressed_selection_ = selection_;
  edit_on_release_ = false;
  drag_ = Drag::kNone;
  const GridLayout::Hit hit = layout_.HitTest(platform::Point{event.x, event.y});
  if (hit.row < 0 || !source_) return;
  const bool extend = range_selection() && (event.shift & platform::kShiftShift) != 0;
  if (hit.row == 0 || hit.column == 0) {
    if (!heading_selection()) return;
    if (hit.row == 0 && hit.column == 0) {
      selection_.SelectAll();
    } else if (hit.column == 0) {
      selection_.SelectRow(hit.row);
      drag_ = Drag::kRows;
    } else {
      selection_.SelectColumn(hit.column);
      drag_ = Drag::kColumns;
    }
  } else {
    GridCell cell{hit.row, hit.column};
    if (extend) {
      selection_.ExtendTo(cell);
    } else if (selection_.IsSingleCell() && selection_.first() == cell) {
      edit_on_release_ = !source_->read_only();
    } else {
      selection_.MoveTo(cell);
    }
    pressed_cell_ = cell;
    if (range_selection()) drag_ = Drag::kCells;
    if (layout_.ScrollIntoView(selection_.second().row, selection_.second().column)) {
      UpdateScrollBars();
    }
  }
  button_down_ = true;
  canvas_->SetMouseCapture(true);
  Invalidate();
}

void Grid::MouseMove(const InputEvent& event) {
  if (!button_down_ || drag_ == Drag::kNone) return;
  if (drag_ == Drag::kResize) {
    SetColumnWidth(resizing_column_, event.x - resizing_left_ + 1);  // the border is the last pixel
    return;
  }
  const GridCell at = layout_.DragTarget(platform::Point{event.x, event.y});
  GridCell target = at;
  if (drag_ == Drag::kRows) target = GridCell{at.row, selection_.columns()};
  if (drag_ == Drag::kColumns) target = GridCell{selection_.rows(), at.column};
  if (drag_ == Drag::kCells && at != pressed_cell_) edit_on_release_ = false;
  if (selection_.Clamp(target) == selection_.second()) return;
  selection_.ExtendTo(target);
  layout_.ScrollIntoView(drag_ == Drag::kColumns ? 0 : at.row,
                         drag_ == Drag::kRows ? 0 : at.column);
  UpdateScrollBars();
  Invalidate();
}

void Grid::MouseUp(const InputEvent& event) {
  if (!button_down_) return;
  button_down_ = false;
  const bool resized = drag_ == Drag::kResize;
  drag_ = Drag::kNone;
  canvas_->SetMouseCapture(false);
  if (resized) return;  // sizing a column leaves the selection alone
  if (edit_on_release_) {
    edit_on_release_ = false;
    const GridLayout::Hit hit = layout_.HitTest(platform::Point{event.x, event.y});
    if (hit.row == pressed_cell_.row && hit.column == pressed_cell_.column) {
      OpenEditor(pressed_cell_);
    }
  }
  Finish(pressed_selection_);
}

void Grid::KeyDown(const InputEvent& event) {
  if (editing_) return;
  HideTip();
  const bool ctrl = (event.shift & platform::kShiftCtrl) != 0;
  const bool alt = (event.shift & platform::kShiftAlt) != 0;
  const GridSelection before = selection_;
  Relayout(false);
  if (ctrl && !alt && event.key == 'A') {
    if (!range_selection()) return;
    selection_.SelectAll();
  } else if (ctrl && !alt && event.key == 'C') {
    Copy();
    return;
  } else if (ctrl && !alt && event.key == 'V') {
    Paste();
  } else if (event.key == vk::kF1 + 1 && event.shift == 0) {  // F2
    if (source_ && !source_->read_only() && layout_.rows() > 0 && layout_.columns() > 0) {
      OpenEditor(selection_.cursor());
    }
    return;
  } else {
    const KeyAction action = KeyActionFor(event.key, event.shift, selection_, range_selection());
    switch (action.kind) {
      case KeyAction::Kind::kNone: return;
      case KeyAction::Kind::kScroll:
        layout_.ScrollTo(layout_.top_row() + action.scroll_rows,
                         layout_.left_column() + action.scroll_columns);
        UpdateScrollBars();
        Invalidate();
        return;
      case KeyAction::Kind::kMove: selection_.MoveTo(action.target); break;
      case KeyAction::Kind::kExtend: selection_.ExtendTo(action.target); break;
    }
    layout_.ScrollIntoView(action.target.row, action.target.column);
  }
  UpdateScrollBars();
  Invalidate();
  Finish(before);
}

bool Grid::Finish(const GridSelection& before) {
  const bool first_changed = !(before.first() == selection_.first());
  const bool second_changed = !(before.second() == selection_.second());
  std::weak_ptr<char> alive = alive_;
  if (source_ && (first_changed || second_changed)) {
    following_cursor_ = true;
    source_->MoveTo(selection_.cursor().row - 1);
    if (alive.expired()) return false;
    following_cursor_ = false;
  }
  if ((first_changed || second_changed) && on_corners_changed) {
    auto handler = on_corners_changed;
    handler(first_changed, second_changed);
  }
  return !alive.expired();
}

// The rectangle goes out in one buffer: the private data's header followed by the plain text,
// which the backend hands to other programs as the clipboard's text (grid_cells_text.h). The
// buffer is sized from the first rows, so that it grows once rather than by doubling: a copy of
// 100 000 memos holds about its text's size. The pointer shows the busy shape meanwhile.
void Grid::Copy() {
  platform::Backend* backend = platform::CurrentBackend();
  if (!backend || !source_) return;
  const int rows = source_->RowCount();
  const int columns = source_->ColumnCount();
  if (rows == 0 || columns == 0) return;
  const int top = selection_.top();
  const int bottom = std::min(selection_.bottom(), rows);
  const int left = selection_.left();
  const int right = std::min(selection_.right(), columns);
  if (bottom < top || right < left) return;
  const int row_count = bottom - top + 1;
  canvas_->SetCursor(platform::CursorShape::kWait);
  GridCellsTextWriter writer(row_count, right - left + 1);
  constexpr int kSampleRows = 64;
  if (row_count > kSampleRows) {
    // Rows spread over the rectangle tell its bytes per row; the buffer gets an eighth more.
    std::string sample;
    for (int i = 0; i < kSampleRows; ++i) {
      const int r =
          top + static_cast<int>(static_cast<int64_t>(i) * (row_count - 1) / (kSampleRows - 1));
      for (int c = left; c <= right; ++c) {
        AppendCellAsText(&sample, source_->ShownCellText(r - 1, c - 1));
        sample.push_back('\t');
      }
      sample.push_back('\n');
    }
    const size_t per_row = sample.size() / kSampleRows + 1;
    const size_t estimate = static_cast<size_t>(row_count) * per_row;
    writer.Reserve(estimate + estimate / 8);
  }
  for (int r = top; r <= bottom; ++r) {
    for (int c = left; c <= right; ++c) writer.AddCell(source_->ShownCellText(r - 1, c - 1));
  }
  platform::ClipboardContent content;
  content.formats.emplace_back(kGridCellsFormat, writer.Finish());
  content.text_in_format = 0;
  content.text_offset = kGridCellsHeaderSize;
  backend->SetClipboard(std::move(content));
  if (canvas_) {
    canvas_->SetCursor(sizing_pointer_ ? platform::CursorShape::kSizeWe
                                       : platform::CursorShape::kDefault);
  }
}

void Grid::Paste() {
  platform::Backend* backend = platform::CurrentBackend();
  if (!backend || !source_ || source_->read_only()) return;
  std::optional<std::string> data = backend->ClipboardData(kGridCellsFormat);
  if (!data) {
    // Text from another program: its tabs, line breaks and quotes could be read as cell and row
    // ends in more than one way, and a misread paste would write memos into the wrong cells.
    std::optional<std::string> text = backend->ClipboardText();
    if (text && !text->empty()) {
      backend->ShowMessageBox(Gbk("只能粘贴从本表格复制的单元格"), Gbk("温馨提示"),
                              platform::kMbOk | platform::kMbIconWarning);
    }
    return;
  }
  std::optional<CellBlock> block = DecodeGridCells(*data);
  if (!block) return;  // damaged or foreign data: refused
  const int rows = source_->RowCount();
  const int columns = source_->ColumnCount();
  const GridCell at = selection_.cursor();
  std::weak_ptr<char> alive = alive_;
  int last_row = at.row;
  int last_column = at.column;
  // A cell whose text is no value of its column keeps its value and the others are pasted; the
  // user hears of it once, at the end. A cell refused by on_cell_editing ends the paste there
  // (the one who refused has told the user why).
  db::CellTextFault first_fault = db::CellTextFault::kNone;
  bool refused = false;
  for (int i = 0; i < block->rows() && !refused; ++i) {
    const int r = at.row + i;
    if (r > rows) break;
    for (int j = 0; j < block->columns(); ++j) {
      const int c = at.column + j;
      if (c > columns) break;
      if (!source_) return;
      db::CellTextFault fault = db::CellTextFault::kNone;
      const bool written = WriteUserCell(
          GridCell{r, c}, block->cells[static_cast<size_t>(i)][static_cast<size_t>(j)], &fault);
      if (alive.expired()) return;
      if (!written && fault == db::CellTextFault::kNone) {
        refused = true;
        break;
      }
      if (first_fault == db::CellTextFault::kNone) first_fault = fault;
      last_row = std::max(last_row, r);
      last_column = std::max(last_column, c);
    }
  }
  // The pasted cells become the selection.
  selection_.MoveTo(at);
  selection_.ExtendTo(GridCell{last_row, last_column});
  ShowCellTextFault(first_fault);
}

void Grid::HandleScroll(platform::Orientation which, platform::ScrollAction action, int position) {
  if (!canvas_) return;
  HideTip();
  CommitEditor(EditorFocus::kLeave);
  const bool vertical = which == platform::Orientation::kVertical;
  const int now = vertical ? layout_.top_row() : layout_.left_column();
  const int last = vertical ? layout_.MaxTopRow() : layout_.MaxLeftColumn();
  int to = now;
  switch (action) {
    case platform::ScrollAction::kLineUp: to = now - 1; break;
    case platform::ScrollAction::kLineDown: to = now + 1; break;
    case platform::ScrollAction::kPageUp: to = now - kScrollPage; break;
    case platform::ScrollAction::kPageDown: to = now + kScrollPage; break;
    case platform::ScrollAction::kThumbTrack:
    case platform::ScrollAction::kThumbPosition: to = position + 1; break;
    case platform::ScrollAction::kTop: to = 1; break;
    case platform::ScrollAction::kBottom: to = last; break;
    case platform::ScrollAction::kEndScroll: return;
  }
  if (vertical) {
    layout_.ScrollTo(to, layout_.left_column());
  } else {
    layout_.ScrollTo(layout_.top_row(), to);
  }
  UpdateScrollBars();
  Invalidate();
}

}  // namespace memo::ui
