#include "platform/headless/headless_controls.h"

#include <algorithm>
#include <string>

#include "platform/gbk.h"
#include "platform/handler.h"
#include "platform/headless/headless_backend.h"

namespace memo::platform {

// --- Common members ------------------------------------------------------------------------------

template <typename Base>
void HeadlessControl<Base>::SetVisible(bool visible) {
  visible_ = visible;
}

template <typename Base>
void HeadlessControl<Base>::SetEnabled(bool enabled) {
  enabled_ = enabled;
}

template <typename Base>
void HeadlessControl<Base>::SetFocus() {
  if (HeadlessBackend* backend = window_->backend()) backend->MoveFocus(this);
}

template <typename Base>
bool HeadlessControl<Base>::HasFocus() const {
  HeadlessBackend* backend = window_->backend();
  return backend && backend->focus() == this;
}

template <typename Base>
bool HeadlessControl<Base>::SetCursorImage(std::string_view image_bytes) {
  // The headless world has no images to decode; an empty image means the default pointer.
  cursor_ = CursorShape::kDefault;
  return image_bytes.empty();
}

template <typename Base>
void HeadlessControl<Base>::PlaceAfter(Control* previous) {
  window_->Restack(this, previous);
}

template class HeadlessControl<EditControl>;
template class HeadlessControl<ButtonControl>;
template class HeadlessControl<ComboControl>;
template class HeadlessControl<StaticControl>;
template class HeadlessControl<UpDownControl>;
template class HeadlessControl<BrowserControl>;
template class HeadlessControl<CanvasControl>;

// --- Edit box ------------------------------------------------------------------------------------

namespace {

int ByteCount(const std::string& text) { return static_cast<int>(text.size()); }
int Start(const std::string& text, int offset) {
  return static_cast<int>(GbkCharStart(text, static_cast<size_t>(std::max(0, offset))));
}
int Next(const std::string& text, int offset) {
  return static_cast<int>(NextGbkChar(text, static_cast<size_t>(offset)));
}
int Previous(const std::string& text, int offset) {
  return static_cast<int>(PreviousGbkChar(text, static_cast<size_t>(offset)));
}

}  // namespace

HeadlessEdit::HeadlessEdit(HeadlessWindow* window, const ControlPlacement& placement,
                           const EditStyle& style)
    : HeadlessControl(HeadlessControlKind::kEdit, window, placement), style_(style) {
  font_ = style.font;
  text_color_ = style.text_color;
  background_ = style.background;
  text_ = style.text_gbk;
  SetSelection(style.selection_start, style.selection_length);
}

bool HeadlessEdit::IsLineBreakAt(int offset) const {
  return style_.multi_line && offset >= 0 && offset + 1 < ByteCount(text_) &&
         text_[static_cast<size_t>(offset)] == '\r' &&
         text_[static_cast<size_t>(offset) + 1] == '\n';
}

int HeadlessEdit::UnitStart(int offset) const {
  int start = Start(text_, offset);
  return IsLineBreakAt(start - 1) ? start - 1 : start;
}

int HeadlessEdit::NextUnit(int offset) const {
  return IsLineBreakAt(offset) ? offset + 2 : Next(text_, offset);
}

int HeadlessEdit::PreviousUnit(int offset) const {
  int previous = Previous(text_, offset);
  return IsLineBreakAt(previous - 1) ? previous - 1 : previous;
}

void HeadlessEdit::SetText(std::string_view text_gbk) {
  text_ = text_gbk;
  sel_start_ = sel_end_ = 0;
}

void HeadlessEdit::SetSelection(int start, int length) {
  int size = ByteCount(text_);
  start = std::clamp(start, 0, size);
  int end = length < 0 ? size
                       : static_cast<int>(std::clamp<long long>(
                             static_cast<long long>(start) + length, start, size));
  sel_start_ = UnitStart(start);
  // An end inside a two-byte character (or a line break) takes all of it.
  sel_end_ = UnitStart(end) == end ? end : NextUnit(UnitStart(end));
}

void HeadlessEdit::GetSelection(int* start, int* length) const {
  if (start) *start = sel_start_;
  if (length) *length = sel_end_ - sel_start_;
}

void HeadlessEdit::ReplaceSelection(std::string_view text_gbk) {
  if (!style_.read_only) Replace(text_gbk);
}

std::string HeadlessEdit::Shown() const {
  if (style_.password_char == 0 || style_.multi_line) return text_;
  std::string out;
  std::string shown = GbkCharBytes(style_.password_char);
  for (size_t i = 0; i < text_.size(); i = NextGbkChar(text_, i)) out += shown;
  return out;
}

void HeadlessEdit::Replace(std::string_view text_gbk) {
  text_.replace(static_cast<size_t>(sel_start_), static_cast<size_t>(sel_end_ - sel_start_),
                text_gbk);
  sel_start_ = sel_end_ = sel_start_ + static_cast<int>(text_gbk.size());
}

void HeadlessEdit::UserReplace(std::string_view text_gbk) {
  if (style_.read_only) return;
  if (text_gbk.empty() && sel_start_ == sel_end_) return;
  Replace(text_gbk);
  Fire(on_user_change);
}

void HeadlessEdit::Paste() {
  HeadlessBackend* backend = window_->backend();
  std::optional<std::string> text = backend ? backend->ClipboardText() : std::nullopt;
  if (text && !text->empty()) UserReplace(*text);
}

void HeadlessEdit::CopySelection(bool cut) {
  // A password box gives nothing away.
  if (sel_start_ == sel_end_ || (style_.password_char != 0 && !style_.multi_line)) return;
  HeadlessBackend* backend = window_->backend();
  if (!backend) return;
  ClipboardContent content;
  content.text_gbk =
      text_.substr(static_cast<size_t>(sel_start_), static_cast<size_t>(sel_end_ - sel_start_));
  backend->SetClipboard(content);
  if (cut) UserReplace("");
}

void HeadlessEdit::Drop(std::string_view text_gbk, int at) {
  if (style_.read_only || text_gbk.empty()) return;
  int offset = UnitStart(std::clamp(at, 0, ByteCount(text_)));
  sel_start_ = sel_end_ = offset;
  UserReplace(text_gbk);
}

void HeadlessEdit::TypeChar(uint32_t character) {
  switch (character) {
    case 3: CopySelection(false); return;  // Ctrl+C
    case 24: CopySelection(true); return;  // Ctrl+X
    case 22: Paste(); return;              // Ctrl+V
    case 8:                                // Backspace
      if (style_.read_only) return;
      if (sel_start_ == sel_end_) {
        if (sel_start_ == 0) return;
        sel_start_ = PreviousUnit(sel_start_);
      }
      UserReplace("");
      return;
    case 13:
      if (style_.multi_line) UserReplace("\r\n");
      return;
    case 9:
      if (style_.multi_line) UserReplace("\t");
      return;
    default: break;
  }
  if (character < 32 || character == 127) return;  // other control characters type nothing
  std::string bytes = GbkCharBytes(character);
  if (!bytes.empty()) UserReplace(bytes);
}

void HeadlessEdit::Key(int key) {
  int size = ByteCount(text_);
  switch (key) {
    case vk::kDelete:
      if (style_.read_only) return;
      if (sel_start_ == sel_end_) sel_end_ = NextUnit(sel_start_);
      UserReplace("");
      break;
    case vk::kHome: sel_start_ = sel_end_ = 0; break;
    case vk::kEnd: sel_start_ = sel_end_ = size; break;
    case vk::kLeft:
      sel_start_ = sel_end_ = sel_start_ < sel_end_ ? sel_start_ : PreviousUnit(sel_start_);
      break;
    case vk::kRight:
      sel_start_ = sel_end_ = sel_start_ < sel_end_ ? sel_end_ : NextUnit(sel_end_);
      break;
    default: break;
  }
}

// --- Button --------------------------------------------------------------------------------------

HeadlessButton::HeadlessButton(HeadlessWindow* window, const ControlPlacement& placement,
                               const ButtonStyle& style)
    : HeadlessControl(HeadlessControlKind::kButton, window, placement), style_(style) {
  font_ = style.font;
}

void HeadlessButton::Click() {
  if (enabled_) Fire(on_click);  // a disabled button cannot be pressed, not even by a call
}

// --- Combo box -----------------------------------------------------------------------------------

HeadlessCombo::HeadlessCombo(HeadlessWindow* window, const ControlPlacement& placement,
                             const ComboStyle& style)
    : HeadlessControl(HeadlessControlKind::kCombo, window, placement), style_(style) {
  font_ = style.font;
  text_color_ = style.text_color;
  background_ = style.background;
}

void HeadlessCombo::InsertItem(int index, std::string_view text_gbk) {
  if (index < 0 || index > static_cast<int>(items_.size())) return;
  items_.insert(items_.begin() + index, std::string(text_gbk));
  if (current_ >= index) ++current_;
}

void HeadlessCombo::RemoveItem(int index) {
  if (index < 0 || index >= static_cast<int>(items_.size())) return;
  items_.erase(items_.begin() + index);
  if (current_ == index) {
    current_ = -1;
  } else if (current_ > index) {
    --current_;
  }
}

void HeadlessCombo::ClearItems() {
  items_.clear();
  current_ = -1;
}

void HeadlessCombo::ShowCurrent(int index) {
  current_ = index >= 0 && index < static_cast<int>(items_.size()) ? index : -1;
}

void HeadlessCombo::ShowEditText(std::string_view text_gbk) {
  if (!HasEditField()) return;
  edit_text_ = text_gbk;
  sel_start_ = sel_end_ = static_cast<int>(edit_text_.size());
}

std::string HeadlessCombo::ShownText() const {
  if (HasEditField()) return edit_text_;
  return current_ >= 0 ? items_[static_cast<size_t>(current_)] : std::string();
}

void HeadlessCombo::SetEditSelection(int start, int length) {
  if (!HasEditField()) return;
  int size = ByteCount(edit_text_);
  start = std::clamp(start, 0, size);
  int end = length < 0 ? size
                       : static_cast<int>(std::clamp<long long>(
                             static_cast<long long>(start) + length, start, size));
  sel_start_ = Start(edit_text_, start);
  sel_end_ = Start(edit_text_, end) == end ? end : Next(edit_text_, Start(edit_text_, end));
}

void HeadlessCombo::GetEditSelection(int* start, int* length) const {
  if (start) *start = HasEditField() ? sel_start_ : 0;
  if (length) *length = HasEditField() ? sel_end_ - sel_start_ : 0;
}

void HeadlessCombo::Pick(int index) {
  if (index < 0 || index >= static_cast<int>(items_.size())) return;
  dropped_ = false;
  Fire(on_pick, index);
}

void HeadlessCombo::UserEdit(std::string_view replacement) {
  if (replacement.empty() && sel_start_ == sel_end_) return;
  edit_text_.replace(static_cast<size_t>(sel_start_), static_cast<size_t>(sel_end_ - sel_start_),
                     replacement);
  sel_start_ = sel_end_ = sel_start_ + static_cast<int>(replacement.size());
  Fire(on_edit, edit_text_);
}

void HeadlessCombo::TypeChar(uint32_t character) {
  if (!HasEditField()) {
    // A list without an edit field picks the next item whose text starts with the character
    // (ASCII letters in either case), after the marked one, wrapping around.
    std::string typed = GbkCharBytes(character);
    if (character < 32 || typed.empty() || items_.empty()) return;
    int count = static_cast<int>(items_.size());
    for (int i = 1; i <= count; ++i) {
      int index = ((current_ < 0 ? -1 : current_) + i) % count;
      const std::string& item = items_[static_cast<size_t>(index)];
      if (GbkAsciiToLower(item.substr(0, GbkCharSize(item, 0))) == GbkAsciiToLower(typed)) {
        Pick(index);
        return;
      }
    }
    return;
  }
  if (character == 8) {
    if (sel_start_ == sel_end_) {
      if (sel_start_ == 0) return;
      sel_start_ = Previous(edit_text_, sel_start_);
    }
    UserEdit("");
    return;
  }
  if (character < 32 || character == 127) return;
  std::string bytes = GbkCharBytes(character);
  if (!bytes.empty()) UserEdit(bytes);
}

void HeadlessCombo::Key(int key) {
  int count = static_cast<int>(items_.size());
  if (key == vk::kDown && current_ + 1 < count) Pick(current_ + 1);
  if (key == vk::kUp && current_ > 0) Pick(current_ - 1);
}

// --- Static text ---------------------------------------------------------------------------------

HeadlessStatic::HeadlessStatic(HeadlessWindow* window, const ControlPlacement& placement,
                               const StaticStyle& style)
    : HeadlessControl(HeadlessControlKind::kStatic, window, placement), style_(style) {
  font_ = style.font;
  text_color_ = style.text_color;
  background_ = style.background;
}

// --- Up-down -------------------------------------------------------------------------------------

HeadlessUpDown::HeadlessUpDown(HeadlessWindow* window, const ControlPlacement& placement,
                               const UpDownStyle& style)
    : HeadlessControl(HeadlessControlKind::kUpDown, window, placement), style_(style) {}

int HeadlessUpDown::ArrowAt(Point client) const {
  if (style_.horizontal) return client.x >= rect_.width / 2 ? 1 : -1;
  return client.y < rect_.height / 2 ? 1 : -1;
}

// --- Browser -------------------------------------------------------------------------------------

HeadlessBrowser::HeadlessBrowser(HeadlessWindow* window, const ControlPlacement& placement,
                                 std::string_view address_gbk)
    : HeadlessControl(HeadlessControlKind::kBrowser, window, placement) {
  Navigate(address_gbk);
}

void HeadlessBrowser::Navigate(std::string_view address_gbk) {
  if (address_gbk.empty()) return;
  address_ = address_gbk;
  history_.push_back(address_);
}

// --- Canvas --------------------------------------------------------------------------------------

namespace {

// Records what a paint draws.
class RecordingPainter : public Painter {
 public:
  explicit RecordingPainter(std::vector<PaintOp>* log) : log_(log) {}

  void FillRect(const Rect& rect, Color color) override { Add(PaintOp::Kind::kFill, rect, color); }
  void FrameRect(const Rect& rect, Color color, int /*width*/) override {
    Add(PaintOp::Kind::kFrame, rect, color);
  }
  void DrawLine(Point from, Point to, Color color, LineStyle /*style*/) override {
    PaintOp op;
    op.kind = PaintOp::Kind::kLine;
    op.from = from;
    op.to = to;
    op.color = color;
    log_->push_back(op);
  }
  void DrawEdge(const Rect& rect, EdgeStyle /*style*/) override {
    Add(PaintOp::Kind::kEdge, rect, 0);
  }
  void DrawFocusRect(const Rect& rect) override { Add(PaintOp::Kind::kFocus, rect, 0); }
  void DrawText(const Rect& rect, std::string_view text_gbk, const TextFormat& format) override {
    PaintOp op;
    op.kind = PaintOp::Kind::kText;
    op.rect = rect;
    op.color = format.color;
    op.text_gbk = text_gbk;
    log_->push_back(op);
  }
  bool DrawImage(const Rect& rect, std::string_view image_bytes) override {
    Add(PaintOp::Kind::kImage, rect, 0);
    return !image_bytes.empty();
  }
  void DrawCheckBox(const Rect& rect, bool checked) override {
    PaintOp op;
    op.kind = PaintOp::Kind::kCheckBox;
    op.rect = rect;
    op.checked = checked;
    log_->push_back(op);
  }
  void SetClip(const Rect& /*rect*/) override {}
  void ResetClip() override {}

 private:
  void Add(PaintOp::Kind kind, const Rect& rect, Color color) {
    PaintOp op;
    op.kind = kind;
    op.rect = rect;
    op.color = color;
    log_->push_back(op);
  }

  std::vector<PaintOp>* log_;
};

}  // namespace

HeadlessCanvas::HeadlessCanvas(HeadlessWindow* window, const ControlPlacement& placement,
                               const CanvasStyle& style)
    : HeadlessControl(HeadlessControlKind::kCanvas, window, placement), style_(style) {
  background_ = style.background;
  scroll_shown_[0] = style.horizontal_scroll_bar;
  scroll_shown_[1] = style.vertical_scroll_bar;
}

Size HeadlessCanvas::ClientSize() const {
  SystemMetrics metrics;
  int edge = style_.border == 0 ? 0 : (style_.border == 1 ? metrics.edge_width : 1);
  int width = rect_.width - 2 * edge - (scroll_shown_[1] ? metrics.scroll_bar_width : 0);
  int height = rect_.height - 2 * edge - (scroll_shown_[0] ? metrics.scroll_bar_height : 0);
  return Size{std::max(0, width), std::max(0, height)};
}

void HeadlessCanvas::InvalidateRect(const Rect& /*rect*/) {}

void HeadlessCanvas::SetScrollBar(Orientation which, bool shown, const ScrollInfo& info) {
  int i = which == Orientation::kHorizontal ? 0 : 1;
  bool was_shown = scroll_shown_[i];
  scroll_shown_[i] = shown;
  ScrollInfo clamped = info;
  int last = std::max(info.minimum, info.maximum - std::max(0, info.page - 1));
  clamped.position = std::clamp(info.position, info.minimum, last);
  scroll_[i] = clamped;
  if (was_shown != shown) Fire(on_resize, ClientSize());
}

ScrollInfo HeadlessCanvas::ScrollBar(Orientation which) const {
  return scroll_[which == Orientation::kHorizontal ? 0 : 1];
}

bool HeadlessCanvas::ScrollBarShown(Orientation which) const {
  return scroll_shown_[which == Orientation::kHorizontal ? 0 : 1];
}

void HeadlessCanvas::ShowTip(const Rect& rect, std::string_view text_gbk,
                             const FontSpec& /*font*/) {
  tip_text_ = text_gbk;
  tip_rect_ = text_gbk.empty() ? Rect{} : rect;
}

void HeadlessCanvas::RepaintNow() {
  ++repaint_count_;
  paint_log_.clear();
  if (!on_paint) return;
  RecordingPainter painter(&paint_log_);
  Size client = ClientSize();
  auto handler = on_paint;
  handler(painter, Rect{0, 0, client.width, client.height});
}

std::vector<std::string> HeadlessCanvas::PaintedTexts() const {
  std::vector<std::string> out;
  for (const PaintOp& op : paint_log_) {
    if (op.kind == PaintOp::Kind::kText) out.push_back(op.text_gbk);
  }
  return out;
}

}  // namespace memo::platform
