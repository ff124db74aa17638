// The headless controls. Each keeps in memory what it shows and implements what the native
// control would do with input that reaches it: an edit box inserts typed characters, a button
// clicks, a combo box reports the item picked, a canvas hands input to its owner.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/headless/headless_window.h"

namespace memo::platform {

// The Control members every headless control implements alike.
template <typename Base>
class HeadlessControl : public Base, public HeadlessControlState {
 public:
  HeadlessControl(HeadlessControlKind kind, HeadlessWindow* window,
                  const ControlPlacement& placement)
      : Base(placement.child_id), HeadlessControlState(kind, window, placement) {}

  void SetGeometry(const Rect& rect) override { rect_ = rect; }
  Rect Geometry() const override { return rect_; }
  void SetVisible(bool visible) override;
  bool IsVisible() const override { return visible_; }
  void SetEnabled(bool enabled) override;
  bool IsEnabled() const override { return enabled_; }
  void SetFocus() override;
  bool HasFocus() const override;
  void SetFont(const FontSpec& font) override { font_ = font; }
  void SetColors(Color text, Color background) override {
    text_color_ = text;
    background_ = background;
  }
  void SetCursor(CursorShape shape) override { cursor_ = shape; }
  bool SetCursorImage(std::string_view image_bytes) override;
  void SetParent(Control* parent) override { parent_ = parent; }
  void PlaceAfter(Control* previous) override;
  void Invalidate() override {}
  void RepaintNow() override { ++repaint_count_; }
};

// What a native edit box does with input that reaches it: typed characters insert themselves
// (Backspace deletes), Ctrl+C, Ctrl+X and Ctrl+V copy, cut and paste through the backend's
// clipboard, and the editing keys move the caret. It applies no limit and no conversion.
class HeadlessEdit : public HeadlessControl<EditControl> {
 public:
  HeadlessEdit(HeadlessWindow* window, const ControlPlacement& placement, const EditStyle& style);

  void SetText(std::string_view text_gbk) override;
  std::string Text() const override { return text_; }
  void SetSelection(int start, int length) override;
  void GetSelection(int* start, int* length) const override;
  void ReplaceSelection(std::string_view text_gbk) override;
  void SetReadOnly(bool read_only) override { style_.read_only = read_only; }
  void SetPasswordChar(uint16_t password_char) override { style_.password_char = password_char; }
  void SetAlign(Align align) override { style_.align = align; }

  const EditStyle& style() const { return style_; }
  // What the box shows: the text, or for a single-line password box one password character per
  // character.
  std::string Shown() const;
  // A typed character that reached the box (GBK code; 8 Backspace, 13 Enter, 3, 22, 24 the
  // clipboard keys).
  void TypeChar(uint32_t character);
  // A key that reached the box (Delete, Home, End, Left, Right).
  void Key(int key);
  // A person drops a text onto the box at byte offset `at` (as dragged from elsewhere).
  void Drop(std::string_view text_gbk, int at);

 private:
  // Replaces the selection with `text_gbk` and puts the caret after it.
  void Replace(std::string_view text_gbk);
  // The same as the user's edit: refused by a read-only box, reported through on_user_change.
  void UserReplace(std::string_view text_gbk);
  void Paste();
  void CopySelection(bool cut);
  // The caret moves over characters, and a multi-line box's CR LF is one line break: these give
  // the start of the unit holding `offset`, and the unit boundaries after and before it.
  bool IsLineBreakAt(int offset) const;
  int UnitStart(int offset) const;
  int NextUnit(int offset) const;
  int PreviousUnit(int offset) const;

  EditStyle style_;
  std::string text_;
  int sel_start_ = 0;  // byte offsets on character boundaries, sel_start_ <= sel_end_
  int sel_end_ = 0;
};

class HeadlessButton : public HeadlessControl<ButtonControl> {
 public:
  HeadlessButton(HeadlessWindow* window, const ControlPlacement& placement,
                 const ButtonStyle& style);

  void SetCaption(std::string_view caption_gbk) override { style_.caption_gbk = caption_gbk; }
  std::string Caption() const override { return style_.caption_gbk; }
  void SetDefault(bool default_button) override { style_.default_button = default_button; }
  void Click() override;

  const ButtonStyle& style() const { return style_; }

 private:
  ButtonStyle style_;
};

// A combo box view: keeps what it was told to show, and turns a person's picks and typing into
// on_pick and on_edit without changing what it shows.
class HeadlessCombo : public HeadlessControl<ComboControl> {
 public:
  HeadlessCombo(HeadlessWindow* window, const ControlPlacement& placement, const ComboStyle& style);

  void InsertItem(int index, std::string_view text_gbk) override;
  void RemoveItem(int index) override;
  void ClearItems() override;
  void ShowCurrent(int index) override;
  void ShowEditText(std::string_view text_gbk) override;
  void SetEditSelection(int start, int length) override;
  void GetEditSelection(int* start, int* length) const override;
  void ShowDropDown(bool show) override { dropped_ = show; }

  const ComboStyle& style() const { return style_; }
  // What the box shows: the list, the marked item (-1 none), the text in its field (for a
  // drop-down list the marked item's text).
  const std::vector<std::string>& items() const { return items_; }
  int shown_current() const { return current_; }
  std::string ShownText() const;
  bool dropped() const { return dropped_; }
  // A person picks item `index` (the list closes, on_pick runs).
  void Pick(int index);
  // A character typed into the box: the edit field edits (on_edit runs); a drop-down list picks
  // the next item whose text starts with the character.
  void TypeChar(uint32_t character);
  // A key that reached the box: Up and Down pick the item before or after the marked one.
  void Key(int key);

 private:
  bool HasEditField() const { return style_.kind != ComboKind::kDropDownList; }
  void UserEdit(std::string_view replacement);

  ComboStyle style_;
  std::vector<std::string> items_;
  int current_ = -1;
  std::string edit_text_;
  int sel_start_ = 0;  // the edit field's selection, bytes on character boundaries
  int sel_end_ = 0;
  bool dropped_ = false;
};

class HeadlessStatic : public HeadlessControl<StaticControl> {
 public:
  HeadlessStatic(HeadlessWindow* window, const ControlPlacement& placement,
                 const StaticStyle& style);

  void SetText(std::string_view text_gbk) override { style_.text_gbk = text_gbk; }
  std::string Text() const override { return style_.text_gbk; }
  void SetAlign(Align align, VAlign valign) override {
    style_.align = align;
    style_.valign = valign;
  }
  const StaticStyle& style() const { return style_; }

 private:
  StaticStyle style_;
};

class HeadlessUpDown : public HeadlessControl<UpDownControl> {
 public:
  HeadlessUpDown(HeadlessWindow* window, const ControlPlacement& placement,
                 const UpDownStyle& style);

  const UpDownStyle& style() const { return style_; }
  // The arrow a click at this point of the control hits: +1 the upper (right) half, -1 the lower
  // (left) one.
  int ArrowAt(Point client) const;

 private:
  UpDownStyle style_;
};

class HeadlessBrowser : public HeadlessControl<BrowserControl> {
 public:
  HeadlessBrowser(HeadlessWindow* window, const ControlPlacement& placement,
                  std::string_view address_gbk);

  void Navigate(std::string_view address_gbk) override;
  std::string Address() const override { return address_; }
  // Every address opened, in order.
  const std::vector<std::string>& history() const { return history_; }

 private:
  std::string address_;
  std::vector<std::string> history_;
};

class HeadlessCanvas : public HeadlessControl<CanvasControl> {
 public:
  HeadlessCanvas(HeadlessWindow* window, const ControlPlacement& placement,
                 const CanvasStyle& style);

  Size ClientSize() const override;
  void InvalidateRect(const Rect& rect) override;
  void SetScrollBar(Orientation which, bool shown, const ScrollInfo& info) override;
  ScrollInfo ScrollBar(Orientation which) const override;
  void SetMouseCapture(bool capture) override { captured_ = capture; }
  void ShowTip(const Rect& rect, std::string_view text_gbk, const FontSpec& font) override;
  void RepaintNow() override;

  const CanvasStyle& style() const { return style_; }
  bool ScrollBarShown(Orientation which) const;
  bool captured() const { return captured_; }
  const std::string& tip_text() const { return tip_text_; }
  const Rect& tip_rect() const { return tip_rect_; }
  // The operations of the latest paint (RepaintNow paints the whole client area).
  const std::vector<PaintOp>& paint_log() const { return paint_log_; }
  // Texts drawn by the latest paint, in drawing order.
  std::vector<std::string> PaintedTexts() const;

 private:
  CanvasStyle style_;
  ScrollInfo scroll_[2];
  bool scroll_shown_[2];
  bool captured_ = false;
  std::string tip_text_;
  Rect tip_rect_;
  std::vector<PaintOp> paint_log_;
};

}  // namespace memo::platform
