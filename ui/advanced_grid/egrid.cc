#include "ui/advanced_grid/egrid.h"

#include <algorithm>
#include <cstdlib>
#include <map>

#include "platform/backend.h"
#include "ui/advanced_grid/egrid_layout.h"
#include "ui/advanced_grid/egrid_paint.h"
#include "ui/window/property_numbers.h"
#include "ui/window/property_values.h"
#include "ui/window/text_wrap.h"

namespace memo::ui {

namespace {

using platform::InputKind;
using platform::Orientation;
using platform::Point;
using platform::Rect;
using platform::ScrollAction;
using platform::Size;

constexpr int kHorizontalBar = 0;
constexpr int kVerticalBar = 1;
// Rows one wheel notch scrolls.
constexpr int kRowsPerNotch = 3;
// How far from a column's right edge (in a fixed row) a press starts resizing that column.
constexpr int kResizeGrip = 2;

// The grid's life as seen from a call that may destroy it: copies of its tokens, so that the
// check itself touches nothing of the grid.
struct Life {
  std::weak_ptr<char> own;
  std::weak_ptr<char> outer;
  bool has_outer = false;
  bool gone() const { return own.expired() || (has_outer && outer.expired()); }
};

}  // namespace

EGrid::EGrid(platform::CanvasControl* canvas, const EGridSettings& settings)
    : canvas_(canvas), model_(settings), alive_(std::make_shared<char>(0)) {
  wants_bars_[kHorizontalBar] = settings.scroll_bars == EGridScrollBars::kHorizontal ||
                                settings.scroll_bars == EGridScrollBars::kBoth;
  wants_bars_[kVerticalBar] = settings.scroll_bars == EGridScrollBars::kVertical ||
                              settings.scroll_bars == EGridScrollBars::kBoth;
  bar_shown_[kHorizontalBar] = bar_shown_[kVerticalBar] = false;
  bar_sent_[kHorizontalBar] = bar_sent_[kVerticalBar] = false;
  released_focus_ = model_.focus();
  model_.on_change = [this] { OnModelChanged(); };
  canvas_->on_paint = [this](platform::Painter& painter, const Rect& dirty) {
    EGridPaintOptions options;
    options.font = font_;
    options.focused = canvas_->HasFocus();
    PaintEGrid(model_, Client(), dirty, options, painter);
  };
  canvas_->on_input = [this](const platform::InputEvent& event) { HandleInput(event); };
  canvas_->on_scroll = [this](Orientation which, ScrollAction action, int track) {
    HandleScroll(which, action, track);
  };
  canvas_->on_resize = [this](Size) {
    UpdateScrollBars();
    if (canvas_) canvas_->Invalidate();
  };
  UpdateScrollBars();
}

EGrid::~EGrid() { Detach(); }

void EGrid::SetLifeToken(std::weak_ptr<char> token) {
  outer_life_ = std::move(token);
  has_outer_life_ = true;
}

void EGrid::Detach() {
  if (!canvas_) return;
  canvas_->on_paint = nullptr;
  canvas_->on_input = nullptr;
  canvas_->on_scroll = nullptr;
  canvas_->on_resize = nullptr;
  canvas_ = nullptr;
}

void EGrid::SetFont(const platform::FontSpec& font) {
  font_ = font;
  OnModelChanged();
}

Size EGrid::Client() const { return canvas_ ? canvas_->ClientSize() : Size{}; }

bool EGrid::Raise(int32_t event, std::initializer_list<int32_t> args) {
  Life life{alive_, outer_life_, has_outer_life_};
  if (sink_) {
    EventSink sink = sink_;  // the routine may destroy this grid, and its sink with it
    sink(event, args);
  }
  if (life.gone()) return false;
  return canvas_ != nullptr;
}

// --- Properties --------------------------------------------------------------------------------

bool EGrid::ReadProperty(int32_t number, TypedValue* out) const {
  switch (number) {
    case property::kEGridRowHeight: *out = IntResult(model_.default_row_height()); return true;
    case property::kEGridColumnWidth: *out = IntResult(model_.default_column_width()); return true;
    case property::kEGridRows: *out = IntResult(model_.rows()); return true;
    case property::kEGridColumns: *out = IntResult(model_.columns()); return true;
    case property::kEGridFixedRows: *out = IntResult(model_.fixed_rows()); return true;
    case property::kEGridFixedColumns: *out = IntResult(model_.fixed_columns()); return true;
    default: return false;
  }
}

bool EGrid::WriteProperty(int32_t number, const TypedValue& value) {
  // The models refuse what they cannot take (a count <= 0, a negative size); the write is
  // handled either way.
  int32_t v = PropertyInt(value);
  switch (number) {
    case property::kEGridRowHeight: model_.SetDefaultRowHeight(v); return true;
    case property::kEGridColumnWidth: model_.SetDefaultColumnWidth(v); return true;
    case property::kEGridRows: model_.SetRowCount(v); return true;
    case property::kEGridColumns: model_.SetColumnCount(v); return true;
    case property::kEGridFixedRows: model_.SetFixedRows(v); return true;
    case property::kEGridFixedColumns: model_.SetFixedColumns(v); return true;
    default: return false;
  }
}

// --- Scrolling ---------------------------------------------------------------------------------

std::optional<Rect> EGrid::CellClientRect(int row, int column) {
  if (!canvas_ || !model_.Contains(row, column)) return std::nullopt;
  ScrollIntoView(CellPos{row, column});
  return CellRect(model_, Client(), CellPos{row, column});
}

void EGrid::ScrollIntoView(CellPos cell) {
  if (!model_.Contains(cell.row, cell.column)) return;
  Size client = Client();
  model_.SetTopRow(TopRowShowing(model_, client.height, cell.row));
  model_.SetLeftColumn(LeftColumnShowing(model_, client.width, cell.column));
}

void EGrid::OnModelChanged() {
  HideTip();
  UpdateScrollBars();
  if (canvas_) canvas_->Invalidate();
}

// Showing or hiding one bar changes the room for the other, so the bars are settled in up to
// three passes; their notifications of the resize meanwhile find updating_bars_ set.
void EGrid::UpdateScrollBars() {
  if (!canvas_ || updating_bars_) return;
  updating_bars_ = true;
  for (int pass = 0; pass < 3 && canvas_; ++pass) {
    Size client = Client();
    // No blank space below the last row (right of the last column) once it can be avoided.
    int last_top = LastTopRow(model_, client.height);
    if (model_.top_row() > last_top) model_.SetTopRow(last_top);
    int last_left = LastLeftColumn(model_, client.width);
    if (model_.left_column() > last_left) model_.SetLeftColumn(last_left);
    EGridScroll horizontal = HorizontalScroll(model_, client.width);
    EGridScroll vertical = VerticalScroll(model_, client.height);
    bool show_h = wants_bars_[kHorizontalBar] && horizontal.needed;
    bool show_v = wants_bars_[kVerticalBar] && vertical.needed;
    bool toggled = show_h != bar_shown_[kHorizontalBar] || show_v != bar_shown_[kVerticalBar];
    SendScrollBar(kHorizontalBar, show_h, horizontal.info);
    SendScrollBar(kVerticalBar, show_v, vertical.info);
    if (!toggled) break;
  }
  updating_bars_ = false;
}

void EGrid::SendScrollBar(int i, bool shown, const platform::ScrollInfo& info) {
  if (!canvas_) return;
  if (bar_sent_[i] && bar_shown_[i] == shown && bar_info_[i] == info) return;
  bar_sent_[i] = true;
  bar_shown_[i] = shown;
  bar_info_[i] = info;
  canvas_->SetScrollBar(i == kVerticalBar ? Orientation::kVertical : Orientation::kHorizontal,
                        shown, info);
}

void EGrid::HandleScroll(Orientation which, ScrollAction action, int track) {
  if (!canvas_) return;
  bool vertical = which == Orientation::kVertical;
  Size client = Client();
  int fixed = vertical ? model_.fixed_rows() : model_.fixed_columns();
  int first = vertical ? model_.top_row() : model_.left_column();
  int last = vertical ? LastTopRow(model_, client.height) : LastLeftColumn(model_, client.width);
  int page = vertical ? RowsPerPage(model_, client.height) : ColumnsPerPage(model_, client.width);
  int target = first;
  switch (action) {
    case ScrollAction::kLineUp: target = first - 1; break;
    case ScrollAction::kLineDown: target = first + 1; break;
    case ScrollAction::kPageUp: target = first - page; break;
    case ScrollAction::kPageDown: target = first + page; break;
    case ScrollAction::kThumbTrack:
    case ScrollAction::kThumbPosition: target = fixed + track; break;
    case ScrollAction::kTop: target = fixed; break;
    case ScrollAction::kBottom: target = last; break;
    case ScrollAction::kEndScroll: return;
  }
  target = std::clamp(target, fixed, std::max(fixed, last));
  if (vertical) {
    model_.SetTopRow(target);
  } else {
    model_.SetLeftColumn(target);
  }
}

// --- Input -------------------------------------------------------------------------------------

void EGrid::HandleInput(const platform::InputEvent& event) {
  if (!canvas_) return;
  Point at{event.x, event.y};
  switch (event.kind) {
    case InputKind::kLeftDoubleClick:  // the second press of a double click
      if (int column = ResizableColumnAt(at); column >= 0) {
        FitColumn(column);
        return;
      }
      Press(at);
      return;
    case InputKind::kLeftDown: Press(at); return;
    case InputKind::kLeftUp:
      Release(at);  // may destroy this grid: nothing after it
      return;
    case InputKind::kMouseMove: MouseMoved(at); return;
    case InputKind::kKeyDown: KeyDown(event.key, event.shift); return;
    case InputKind::kWheel: {
      int target = model_.top_row() - kRowsPerNotch * event.wheel;
      int last = LastTopRow(model_, Client().height);
      model_.SetTopRow(std::min(target, last));
      return;
    }
    case InputKind::kFocusGained:
    case InputKind::kFocusLost:
      canvas_->Invalidate();  // the focus frame
      return;
    default: return;
  }
}

int EGrid::ResizableColumnAt(Point at) const {
  if (model_.fixed_rows() == 0) return -1;
  Size client = Client();
  CellPos cell = CellAtPoint(model_, client, at);
  if (cell.none() || cell.row >= model_.fixed_rows()) return -1;
  int found = -1;
  int best = kResizeGrip + 1;
  for (const EGridBand& column : VisibleColumns(model_, client.width)) {
    int distance = std::abs(at.x - (column.end() - 1));
    if (distance <= best) {  // ties go right, so a column narrowed to nothing can be widened
      best = distance;
      found = column.index;
    }
  }
  return found;
}

void EGrid::Press(Point at) {
  HideTip();
  if (!canvas_->HasFocus()) {
    // Focus notifications reach the window's routines, which may close it.
    Life life{alive_, outer_life_, has_outer_life_};
    canvas_->SetFocus();
    if (life.gone() || !canvas_) return;
  }
  int column = ResizableColumnAt(at);
  if (column >= 0) {
    for (const EGridBand& band : VisibleColumns(model_, Client().width)) {
      if (band.index == column) resizing_start_ = band.start;
    }
    resizing_column_ = column;
    canvas_->SetMouseCapture(true);
    return;
  }
  CellPos cell = CellAtPoint(model_, Client(), at);
  if (cell.none() || model_.IsFixed(cell.row, cell.column)) return;
  model_.SetFocus(cell);
  ScrollIntoView(cell);
}

void EGrid::MouseMoved(Point at) {
  if (resizing_column_ >= 0) {
    model_.SetColumnWidth(resizing_column_, std::max(0, at.x - resizing_start_ + 1));
    return;
  }
  const bool over_border = ResizableColumnAt(at) >= 0;
  if (over_border != sizing_pointer_) {
    sizing_pointer_ = over_border;
    canvas_->SetCursor(over_border ? platform::CursorShape::kSizeWe
                                   : platform::CursorShape::kDefault);
  }
  if (over_border) {
    HideTip();
    return;
  }
  UpdateTip(at);
}

namespace {

// Column widths given by a person, per grid key and column, for the run of the program.
std::map<uint64_t, std::map<int, int>>& UserWidths() {
  static auto* widths = new std::map<uint64_t, std::map<int, int>>();
  return *widths;
}

}  // namespace

void EGrid::RememberWidthsAs(uint64_t key) {
  width_key_ = key;
  has_width_key_ = true;
  auto found = UserWidths().find(key);
  if (found == UserWidths().end()) return;
  for (const auto& [column, width] : found->second) {
    if (column < model_.columns()) model_.SetColumnWidth(column, width);
  }
}

void EGrid::RememberUserWidth(int column) {
  if (!has_width_key_ || column < 0 || column >= model_.columns()) return;
  UserWidths()[width_key_][column] = model_.column_width(column);
}

bool EGrid::SetProgramColumnWidth(int column, int width) {
  if (!model_.SetColumnWidth(column, width)) return false;
  if (has_width_key_) {
    auto found = UserWidths().find(width_key_);
    if (found != UserWidths().end()) {
      auto user = found->second.find(column);
      if (user != found->second.end()) model_.SetColumnWidth(column, user->second);
    }
  }
  return true;
}

void EGrid::FitColumn(int column) {
  platform::Backend* backend = platform::CurrentBackend();
  if (!backend || !canvas_ || column < 0 || column >= model_.columns()) return;
  int widest = 0;
  for (const EGridBand& row : VisibleRows(model_, Client().height)) {
    std::string text = model_.DisplayText(row.index, column);
    if (!text.empty()) widest = std::max(widest, backend->MeasureText(font_, text).width);
  }
  // The text area lies inside the cell: what the cell needs around it.
  const Rect probe{0, 0, 100, 100};
  const int around = probe.width - TextArea(probe).width;
  model_.SetColumnWidth(column, widest + around + 1);
  RememberUserWidth(column);
}

// The left button's release: the focus change since the previous release (event 0), the
// release itself (event 5), and a heading cell under the pointer (event 8), in that order and
// only while the grid lives.
void EGrid::Release(Point at) {
  if (resizing_column_ >= 0) {
    RememberUserWidth(resizing_column_);
    resizing_column_ = -1;
    canvas_->SetMouseCapture(false);
    return;
  }
  Size client = Client();
  if (at.x < 0 || at.y < 0 || at.x >= client.width || at.y >= client.height) return;
  CellPos under = CellAtPoint(model_, client, at);
  CellPos focus = model_.focus();
  if (focus != released_focus_) {
    canvas_->RepaintNow();
    if (!Raise(egrid_event::kFocusChanged, {})) return;
    released_focus_ = focus;
  }
  if (!Raise(egrid_event::kLeftButtonUp, {at.x, at.y})) return;
  if (!under.none() && model_.IsFixed(under.row, under.column)) {
    Raise(egrid_event::kFixedCellClicked, {under.row, under.column});
  }
}

void EGrid::KeyDown(int key, int shift) {
  int rows = model_.rows(), columns = model_.columns();
  int fixed_rows = model_.fixed_rows(), fixed_columns = model_.fixed_columns();
  if (fixed_rows >= rows || fixed_columns >= columns) return;
  CellPos focus = model_.focus();
  CellPos target = focus.none() ? CellPos{fixed_rows, fixed_columns} : focus;
  bool ctrl = (shift & platform::kShiftCtrl) != 0;
  int page = RowsPerPage(model_, Client().height);
  if (!focus.none()) {
    switch (key) {
      case platform::vk::kUp: --target.row; break;
      case platform::vk::kDown: ++target.row; break;
      case platform::vk::kLeft: --target.column; break;
      case platform::vk::kRight: ++target.column; break;
      case platform::vk::kPrior: target.row -= page; break;
      case platform::vk::kNext: target.row += page; break;
      case platform::vk::kHome:
        (ctrl ? target.row : target.column) = ctrl ? fixed_rows : fixed_columns;
        break;
      case platform::vk::kEnd:
        (ctrl ? target.row : target.column) = ctrl ? rows - 1 : columns - 1;
        break;
      default: return;
    }
  } else if (key != platform::vk::kUp && key != platform::vk::kDown && key != platform::vk::kLeft &&
             key != platform::vk::kRight && key != platform::vk::kPrior &&
             key != platform::vk::kNext && key != platform::vk::kHome &&
             key != platform::vk::kEnd) {
    return;
  }
  target.row = std::clamp(target.row, fixed_rows, rows - 1);
  target.column = std::clamp(target.column, fixed_columns, columns - 1);
  model_.SetFocus(target);
  ScrollIntoView(target);
}

// --- Title tips --------------------------------------------------------------------------------

void EGrid::UpdateTip(Point at) {
  CellPos cell = CellAtPoint(model_, Client(), at);
  if (cell == tip_cell_) return;
  HideTip();
  tip_cell_ = cell;
  if (cell.none()) return;
  bool fixed = model_.IsFixed(cell.row, cell.column);
  if (!fixed && model_.column_kind(cell.column) != EGridColumnKind::kText) return;
  std::string text = model_.DisplayText(cell.row, cell.column);
  platform::Backend* backend = platform::CurrentBackend();
  std::optional<Rect> rect = CellRect(model_, Client(), cell);
  if (text.empty() || !backend || !rect) return;
  const EGridCell* stored = model_.Cell(cell.row, cell.column);
  platform::FontSpec font =
      stored && stored->style && stored->style->font ? *stored->style->font : font_;
  if (backend->MeasureText(font, text).width <= TextArea(*rect).width) return;
  // A long text is wrapped to a readable width (never wider than the grid), so that it reads
  // as a paragraph; each line keeps a space before and after it.
  Size client = Client();
  int letter = std::max(1, backend->MeasureText(font, "W").width);
  int readable = std::max(rect->width, std::min(48 * letter, std::max(letter, client.width - 8)));
  WrappedText wrapped = WrapText(font, text, readable);
  for (std::string& line : wrapped.lines) line = " " + line + " ";
  std::string shown = wrapped.Joined();
  int width = backend->MeasureText(font, shown).width + 2;  // and the tip's border
  width = std::max(rect->width, width);
  int height = std::max(rect->height, wrapped.height() + 4);
  int left = std::max(0, std::min(rect->left, client.width - width));
  canvas_->ShowTip(Rect{left, rect->top, width, height}, shown, font);
  tip_shown_ = true;
}

void EGrid::HideTip() {
  tip_cell_ = CellPos{};
  if (!tip_shown_) return;
  tip_shown_ = false;
  if (canvas_) canvas_->ShowTip(Rect{}, {}, font_);
}

}  // namespace memo::ui
