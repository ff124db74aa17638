#include "platform/headless/headless_controls.h"

#include <algorithm>
#include <cctype>
#include <string>

#include "platform/handler.h"
#include "platform/headless/headless_backend.h"

namespace memo::platform {

namespace {

bool IsLead(unsigned char c) { return c >= 0x81; }

// Byte offset where the character containing or starting at `offset` begins.
int CharStart(const std::string& text, int offset) {
  int i = 0;
  while (i < offset) {
    int step = IsLead(static_cast<unsigned char>(text[i])) && i + 1 < static_cast<int>(text.size())
                   ? 2
                   : 1;
    if (i + step > offset) break;
    i += step;
  }
  return i;
}

// Byte offset of the character after the one at `offset`.
int NextChar(const std::string& text, int offset) {
  if (offset >= static_cast<int>(text.size())) return static_cast<int>(text.size());
  bool pair = IsLead(static_cast<unsigned char>(text[offset])) &&
              offset + 1 < static_cast<int>(text.size());
  return offset + (pair ? 2 : 1);
}

// The bytes of a character code.
std::string CharBytes(uint32_t character) {
  std::string out;
  if (character > 0xFF) out += static_cast<char>((character >> 8) & 0xFF);
  out += static_cast<char>(character & 0xFF);
  return out;
}

// Letters of the single-byte range converted; double-byte characters stay.
std::string ConvertCase(std::string_view text, CaseConversion conversion) {
  std::string out(text);
  if (conversion == CaseConversion::kNone) return out;
  for (size_t i = 0; i < out.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(out[i]);
    if (IsLead(c) && i + 1 < out.size()) {
      ++i;
    } else if (conversion == CaseConversion::kUpper && c >= 'a' && c <= 'z') {
      out[i] = static_cast<char>(c - 'a' + 'A');
    } else if (conversion == CaseConversion::kLower && c >= 'A' && c <= 'Z') {
      out[i] = static_cast<char>(c - 'A' + 'a');
    }
  }
  return out;
}

// The longest prefix of whole characters of `text` that fits in `budget` bytes.
std::string_view FitBytes(std::string_view text, int budget) {
  size_t i = 0;
  while (i < text.size()) {
    size_t step = IsLead(static_cast<unsigned char>(text[i])) && i + 1 < text.size() ? 2 : 1;
    if (static_cast<int>(i + step) > budget) break;
    i += step;
  }
  return text.substr(0, i);
}

}  // namespace

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

HeadlessEdit::HeadlessEdit(HeadlessWindow* window, const ControlPlacement& placement,
                           const EditStyle& style)
    : HeadlessControl(HeadlessControlKind::kEdit, window, placement), style_(style) {
  font_ = style.font;
  text_color_ = style.text_color;
  background_ = style.background;
  text_ = style.text_gbk;
  SetSelection(style.selection_start, style.selection_length);
}

void HeadlessEdit::SetText(std::string_view text_gbk) {
  text_ = text_gbk;
  sel_start_ = sel_end_ = 0;
  if (on_change) on_change();
}

void HeadlessEdit::SetSelection(int start, int length) {
  int size = static_cast<int>(text_.size());
  start = std::clamp(start, 0, size);
  int end = length < 0 ? size : std::clamp(start + length, start, size);
  sel_start_ = CharStart(text_, start);
  sel_end_ = end == size ? size : CharStart(text_, end);
}

void HeadlessEdit::GetSelection(int* start, int* length) const {
  if (start) *start = sel_start_;
  if (length) *length = sel_end_ - sel_start_;
}

void HeadlessEdit::ReplaceSelection(std::string_view text_gbk) { Insert(text_gbk); }

std::string HeadlessEdit::Shown() const {
  if (style_.password_char == 0) return text_;
  std::string out;
  for (int i = 0; i < static_cast<int>(text_.size()); i = NextChar(text_, i)) {
    out += CharBytes(style_.password_char);
  }
  return out;
}

void HeadlessEdit::Insert(std::string_view text_gbk) {
  if (style_.read_only) return;
  std::string converted = ConvertCase(text_gbk, style_.case_conversion);
  std::string_view insert = converted;
  if (style_.max_bytes > 0) {
    int kept = static_cast<int>(text_.size()) - (sel_end_ - sel_start_);
    insert = FitBytes(insert, std::max(0, style_.max_bytes - kept));
    // Nothing fits: the box refuses the whole input and keeps its selection.
    if (insert.empty() && !text_gbk.empty()) return;
  }
  text_.replace(static_cast<size_t>(sel_start_), static_cast<size_t>(sel_end_ - sel_start_),
                insert);
  sel_start_ = sel_end_ = sel_start_ + static_cast<int>(insert.size());
  if (on_change) on_change();
}

void HeadlessEdit::TypeChar(uint32_t character) {
  if (character == 8) {  // Backspace
    if (style_.read_only) return;
    if (sel_start_ == sel_end_) {
      if (sel_start_ == 0) return;
      sel_start_ = CharStart(text_, sel_start_ - 1);
    }
    text_.erase(static_cast<size_t>(sel_start_), static_cast<size_t>(sel_end_ - sel_start_));
    sel_end_ = sel_start_;
    if (on_change) on_change();
    return;
  }
  if (character == 13) {
    if (style_.multi_line) Insert("\r\n");
    return;
  }
  if (character == 9 && style_.multi_line) {
    Insert("\t");
    return;
  }
  if (character < 32 || character == 127) return;  // control characters type nothing
  Insert(CharBytes(character));
}

void HeadlessEdit::Key(int key) {
  int size = static_cast<int>(text_.size());
  switch (key) {
    case vk::kDelete:
      if (style_.read_only) return;
      if (sel_start_ == sel_end_) sel_end_ = NextChar(text_, sel_start_);
      if (sel_start_ == sel_end_) return;
      text_.erase(static_cast<size_t>(sel_start_), static_cast<size_t>(sel_end_ - sel_start_));
      sel_end_ = sel_start_;
      if (on_change) on_change();
      break;
    case vk::kHome: sel_start_ = sel_end_ = 0; break;
    case vk::kEnd: sel_start_ = sel_end_ = size; break;
    case vk::kLeft:
      sel_start_ = sel_end_ = sel_start_ > 0 ? CharStart(text_, sel_start_ - 1) : 0;
      break;
    case vk::kRight: sel_start_ = sel_end_ = NextChar(text_, sel_end_); break;
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
  Fire(on_click);
}

// --- Combo box -----------------------------------------------------------------------------------

HeadlessCombo::HeadlessCombo(HeadlessWindow* window, const ControlPlacement& placement,
                             const ComboStyle& style)
    : HeadlessControl(HeadlessControlKind::kCombo, window, placement), style_(style) {
  font_ = style.font;
  text_color_ = style.text_color;
  background_ = style.background;
}

int HeadlessCombo::AddItem(std::string_view text_gbk) {
  items_.emplace_back(text_gbk);
  return static_cast<int>(items_.size()) - 1;
}

void HeadlessCombo::InsertItem(int index, std::string_view text_gbk) {
  index = std::clamp(index, 0, ItemCount());
  items_.insert(items_.begin() + index, std::string(text_gbk));
  if (current_ >= index) ++current_;
}

void HeadlessCombo::RemoveItem(int index) {
  if (index < 0 || index >= ItemCount()) return;
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
  if (style_.kind == ComboKind::kDropDownList) edit_text_.clear();
}

std::string HeadlessCombo::ItemText(int index) const {
  if (index < 0 || index >= ItemCount()) return std::string();
  return items_[static_cast<size_t>(index)];
}

void HeadlessCombo::SetCurrentIndex(int index) {
  current_ = index >= 0 && index < ItemCount() ? index : -1;
  edit_text_ = current_ >= 0 ? items_[static_cast<size_t>(current_)] : std::string();
}

void HeadlessCombo::SetEditText(std::string_view text_gbk) {
  if (style_.kind == ComboKind::kDropDownList) return;  // the shown text is the current item's
  edit_text_ = text_gbk;
}

std::string HeadlessCombo::EditText() const {
  if (style_.kind == ComboKind::kDropDownList) return ItemText(current_);
  return edit_text_;
}

void HeadlessCombo::SetEditSelection(int /*start*/, int /*length*/) {
  // The headless edit field types over its whole text; see TypeChar.
  replace_on_type_ = true;
}

void HeadlessCombo::Pick(int index) {
  SetCurrentIndex(index);
  dropped_ = false;
  Fire(on_selection_change, current_);
}

void HeadlessCombo::TypeChar(uint32_t character) {
  if (style_.kind == ComboKind::kDropDownList) {
    // A list without an edit field selects the next item starting with the character.
    if (character < 32) return;
    std::string prefix = std::string(1, static_cast<char>(character & 0xFF));
    for (int i = 1; i <= ItemCount(); ++i) {
      int index = (current_ + i) % ItemCount();
      const std::string& item = items_[static_cast<size_t>(index)];
      if (character <= 0xFF && !item.empty() &&
          std::tolower(static_cast<unsigned char>(item[0])) ==
              std::tolower(static_cast<unsigned char>(prefix[0]))) {
        Pick(index);
        return;
      }
    }
    return;
  }
  if (replace_on_type_) {
    edit_text_.clear();
    replace_on_type_ = false;
  }
  if (character == 8) {
    if (!edit_text_.empty()) {
      edit_text_.erase(static_cast<size_t>(
          CharStart(edit_text_, static_cast<int>(edit_text_.size()) - 1)));
    }
  } else if (character >= 32) {
    std::string bytes = CharBytes(character);
    if (style_.max_bytes > 0 &&
        static_cast<int>(edit_text_.size() + bytes.size()) > style_.max_bytes) {
      return;
    }
    edit_text_ += bytes;
  } else {
    return;
  }
  Fire(on_edit_change);
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
    : HeadlessControl(HeadlessControlKind::kUpDown, window, placement), style_(style) {
  SetPosition(style.position);
}

void HeadlessUpDown::SetRange(int minimum, int maximum) {
  style_.minimum = minimum;
  style_.maximum = maximum;
  SetPosition(style_.position);
}

void HeadlessUpDown::SetPosition(int position) {
  style_.position = ClampUpDownPosition(style_, position);
  if (style_.buddy) style_.buddy->SetText(std::to_string(style_.position));
}

void HeadlessUpDown::Step(int delta) {
  int before = style_.position;
  SetPosition(SteppedUpDownPosition(style_, delta));
  if (style_.position != before) Fire(on_change, style_.position);
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

  void FillRect(const Rect& rect, Color color) override {
    Add(PaintOp::Kind::kFill, rect, color);
  }
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
