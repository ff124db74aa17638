// Child controls of a top-level window: native edit boxes, push buttons, combo boxes, static
// texts, an up-down spin control, a browser view, and a custom-drawn canvas. A control belongs to
// its window: the window creates it, and destroys it with itself or through DestroyControl.
//
// The controls' models (a combo box's items and current index, an edit box's byte limit and case
// conversion, the up-down's range and buddy, the grids' cells and selection) live above the seam;
// a backend control shows what it is told and reports what the user did.
// Every input aimed at a control goes first through its window's on_input (platform/window.h);
// only input that the runtime lets pass reaches the control.
//
// Texts are GBK; text positions (selections) count bytes of the GBK text.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/font.h"
#include "platform/geometry.h"
#include "platform/input.h"
#include "platform/painter.h"

namespace memo::platform {

class Control;

// Where and how a control starts out. The rectangle is in the parent's client coordinates.
struct ControlPlacement {
  Rect rect;
  Control* parent = nullptr;  // a container control, or null for the window's client area
  int child_id = 0;           // the control's id among its window's children (100, 110, ...)
  bool visible = true;
  bool disabled = false;
  bool tab_stop = false;
};

// The mouse pointer shown over a control or window.
enum class CursorShape {
  kDefault,
  kArrow,
  kCross,
  kIBeam,
  kWait,
  kUpArrow,
  kSizeAll,
  kSizeNwse,
  kSizeNesw,
  kSizeWe,
  kSizeNs,
  kNo,
  kHand,
  kAppStarting,
  kHelp,
};

class Control {
 public:
  virtual ~Control() = default;

  int child_id() const { return child_id_; }

  virtual void SetGeometry(const Rect& rect) = 0;  // parent's client coordinates
  virtual Rect Geometry() const = 0;
  virtual void SetVisible(bool visible) = 0;
  virtual bool IsVisible() const = 0;
  virtual void SetEnabled(bool enabled) = 0;
  virtual bool IsEnabled() const = 0;
  virtual void SetFocus() = 0;
  virtual bool HasFocus() const = 0;
  virtual void SetFont(const FontSpec& font) = 0;
  virtual void SetColors(Color text, Color background) = 0;  // kDefaultColor: the default
  virtual void SetCursor(CursorShape shape) = 0;
  // A cursor image (.cur/.ico/.bmp bytes); bytes that do not decode leave the default pointer.
  virtual bool SetCursorImage(std::string_view image_bytes) = 0;
  // Moves the control under a container (or back to the window's client area with null),
  // keeping its rectangle in the new parent's coordinates.
  virtual void SetParent(Control* parent) = 0;
  // Puts the control directly after `previous` in the stacking and tab order of its parent
  // (null: first).
  virtual void PlaceAfter(Control* previous) = 0;
  // Marks the whole control for repainting / repaints it at once.
  virtual void Invalidate() = 0;
  virtual void RepaintNow() = 0;

 protected:
  explicit Control(int child_id) : child_id_(child_id) {}

 private:
  const int child_id_;
};

// --- Edit box ------------------------------------------------------------------------------------
//
// A native edit box shows and edits a text; the rules its user is held to (a byte limit, case
// conversion) are the runtime's: typed characters reach it through on_input first, and changes
// that arrive whole (paste, drop) are reported through on_user_change, where the runtime may set
// the text again.

enum class ScrollBars { kNone, kHorizontal, kVertical, kBoth };

struct EditStyle {
  int border = 1;  // the definition's border style: 0 none; other values a frame
  bool multi_line = false;
  ScrollBars scroll_bars = ScrollBars::kNone;  // multi-line only
  Align align = Align::kLeft;
  bool read_only = false;
  // 0: not a password box; else the character a single-line box shows for each character.
  uint16_t password_char = 0;
  bool hide_selection = true;  // hide the selection while unfocused
  Color text_color = kDefaultColor;
  Color background = kDefaultColor;
  FontSpec font;
  std::string text_gbk;  // line breaks of a multi-line box are CR LF
  int selection_start = 0;
  int selection_length = 0;
};

class EditControl : public Control {
 public:
  // Shows the text as given, caret at the start. on_user_change does not run.
  virtual void SetText(std::string_view text_gbk) = 0;
  virtual std::string Text() const = 0;
  // Selects `length` bytes from `start` (-1: to the end) and scrolls the caret into view.
  virtual void SetSelection(int start, int length) = 0;
  virtual void GetSelection(int* start, int* length) const = 0;
  // Replaces the selection with the text as given, caret after it; a read-only box keeps its
  // text. on_user_change does not run.
  virtual void ReplaceSelection(std::string_view text_gbk) = 0;
  virtual void SetReadOnly(bool read_only) = 0;
  virtual void SetPasswordChar(uint16_t password_char) = 0;
  virtual void SetAlign(Align align) = 0;

  // The user changed the text (typing, Backspace, Delete, cut, paste, drop, undo). Never called
  // for the calls above. The handler may call SetText and SetSelection.
  std::function<void()> on_user_change;

 protected:
  using Control::Control;
};

// --- Push button ---------------------------------------------------------------------------------

struct ButtonStyle {
  std::string caption_gbk;  // "&" marks the mnemonic character
  bool default_button = false;
  Align align = Align::kCentre;
  VAlign valign = VAlign::kCentre;
  std::string picture_bytes;  // encoded image, or empty
  FontSpec font;
};

class ButtonControl : public Control {
 public:
  virtual void SetCaption(std::string_view caption_gbk) = 0;
  virtual std::string Caption() const = 0;
  virtual void SetDefault(bool default_button) = 0;
  // Presses the button as a click would (on_click runs); a disabled button does nothing.
  virtual void Click() = 0;

  std::function<void()> on_click;

 protected:
  using Control::Control;
};

// --- Combo box -----------------------------------------------------------------------------------
//
// A view of a list kept above the seam: it shows the items it is given, marks the item it is told,
// shows the edit text it is told, and reports what the user did. Nothing a call does is reported,
// and the view never changes what it shows on its own: a pick is reported and shown only once the
// runtime shows it.

enum class ComboKind { kSimple, kDropDown, kDropDownList };

struct ComboStyle {
  ComboKind kind = ComboKind::kDropDown;
  int extra_item_height = 1;  // pixels added to each list item
  Color text_color = kDefaultColor;
  Color background = kDefaultColor;
  FontSpec font;
};

class ComboControl : public Control {
 public:
  // The list. An insertion or removal before the marked item keeps the mark on that item;
  // removing the marked item leaves none marked. Indices outside the list are ignored
  // (insertion: 0 .. the item count).
  virtual void InsertItem(int index, std::string_view text_gbk) = 0;
  virtual void RemoveItem(int index) = 0;
  virtual void ClearItems() = 0;
  // Marks item `index` as the current one (-1 or outside the list: none). A drop-down list shows
  // the marked item's text; the kinds with an edit field keep their edit text.
  virtual void ShowCurrent(int index) = 0;
  // The edit field's text (ignored by a drop-down list), caret at its end.
  virtual void ShowEditText(std::string_view text_gbk) = 0;
  // The edit field's selection in bytes (length -1: to the end); none without an edit field.
  virtual void SetEditSelection(int start, int length) = 0;
  virtual void GetEditSelection(int* start, int* length) const = 0;
  virtual void ShowDropDown(bool show) = 0;

  // The user picked list item `index` (with the mouse, the arrow keys, the wheel or by typing).
  std::function<void(int index)> on_pick;
  // The user changed the edit field's text to `text_gbk` (typing, paste, drop, undo). The handler
  // may show another text.
  std::function<void(const std::string& text_gbk)> on_edit;

 protected:
  using Control::Control;
};

// --- Static text ---------------------------------------------------------------------------------

struct StaticStyle {
  std::string text_gbk;
  Align align = Align::kLeft;
  VAlign valign = VAlign::kTop;
  bool transparent = false;  // no background of its own: the window shows through around the text
  bool word_wrap = true;     // CR LF breaks lines; long lines wrap
  int border = 0;            // 0 none; other values a frame
  Color text_color = kDefaultColor;
  Color background = kDefaultColor;
  FontSpec font;
};

class StaticControl : public Control {
 public:
  virtual void SetText(std::string_view text_gbk) = 0;
  virtual std::string Text() const = 0;
  virtual void SetAlign(Align align, VAlign valign) = 0;

 protected:
  using Control::Control;
};

// --- Up-down spin control ------------------------------------------------------------------------
//
// Two arrows and nothing more: the range, the position and the buddy box that shows it are the
// runtime's.

struct UpDownStyle {
  bool horizontal = false;  // arrows left and right instead of up and down
};

class UpDownControl : public Control {
 public:
  // The user pressed an arrow: +1 up (or right), -1 down (or left); each repeat of a held arrow
  // is reported again.
  std::function<void(int delta)> on_arrow;

 protected:
  using Control::Control;
};

// --- Browser view --------------------------------------------------------------------------------

class BrowserControl : public Control {
 public:
  // Opens an address (GBK). An empty address opens nothing.
  virtual void Navigate(std::string_view address_gbk) = 0;
  virtual std::string Address() const = 0;

 protected:
  using Control::Control;
};

// --- Custom-drawn canvas -------------------------------------------------------------------------

enum class ScrollAction {
  kLineUp,
  kLineDown,
  kPageUp,
  kPageDown,
  kThumbTrack,
  kThumbPosition,
  kTop,
  kBottom,
  kEndScroll,
};

struct ScrollInfo {
  int minimum = 0;
  int maximum = 0;  // the last position
  int page = 0;     // the visible part; 0 hides nothing
  int position = 0;
  friend bool operator==(const ScrollInfo&, const ScrollInfo&) = default;
};

struct CanvasStyle {
  int border = 1;  // 0 none, 1 sunken client edge, other values a thin frame
  Color background = kDefaultColor;
  bool horizontal_scroll_bar = false;
  bool vertical_scroll_bar = false;
  // Takes every key (arrows, Tab, Enter, Esc) instead of leaving navigation keys to the window.
  bool wants_all_keys = true;
};

class CanvasControl : public Control {
 public:
  virtual Size ClientSize() const = 0;
  virtual void InvalidateRect(const Rect& rect) = 0;
  // Shows or hides a scroll bar and sets its range, page and position.
  virtual void SetScrollBar(Orientation which, bool shown, const ScrollInfo& info) = 0;
  virtual ScrollInfo ScrollBar(Orientation which) const = 0;
  // Keeps every mouse input coming to this canvas while the button is held (drag selection).
  virtual void SetMouseCapture(bool capture) = 0;
  // A tip window over `rect` (client coordinates) showing `text_gbk`; an empty text hides it.
  virtual void ShowTip(const Rect& rect, std::string_view text_gbk, const FontSpec& font) = 0;

  // Paints `dirty` (client coordinates) with `painter`.
  std::function<void(Painter& painter, const Rect& dirty)> on_paint;
  // Input that the window's on_input let pass: the canvas's own behaviour (the grids' clicks,
  // keys and characters).
  std::function<void(const InputEvent& event)> on_input;
  std::function<void(Orientation which, ScrollAction action, int track_position)> on_scroll;
  std::function<void(Size client)> on_resize;

 protected:
  using Control::Control;
};

}  // namespace memo::platform
