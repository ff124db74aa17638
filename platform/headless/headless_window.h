// The headless backend's windows and controls: plain records in memory that keep everything a
// script or a test may want to check (captions, geometry, texts, items, focus, what was painted),
// and the "person" operations that drive them as a user would (click, key, type, select, menu,
// close), with every input passing through the window's on_input first.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/window.h"

namespace memo::platform {

class HeadlessBackend;
class HeadlessWindow;

enum class HeadlessControlKind { kEdit, kButton, kCombo, kStatic, kUpDown, kBrowser, kCanvas };

// One recorded drawing operation of a canvas (see HeadlessCanvas::paint_log).
struct PaintOp {
  enum class Kind { kFill, kFrame, kLine, kEdge, kFocus, kText, kImage, kCheckBox };
  Kind kind = Kind::kFill;
  Rect rect;
  Point from;
  Point to;
  Color color = 0;
  std::string text_gbk;
  bool checked = false;
};

// The state every headless control shares; reach it from a Control* with dynamic_cast.
class HeadlessControlState {
 public:
  virtual ~HeadlessControlState() = default;

  HeadlessControlKind kind() const { return kind_; }
  HeadlessWindow* window() const { return window_; }
  Control* parent() const { return parent_; }
  bool tab_stop() const { return tab_stop_; }
  const FontSpec& font() const { return font_; }
  Color text_color() const { return text_color_; }
  Color background() const { return background_; }
  CursorShape cursor() const { return cursor_; }
  int repaint_count() const { return repaint_count_; }

 protected:
  HeadlessControlState(HeadlessControlKind kind, HeadlessWindow* window,
                       const ControlPlacement& placement);

  HeadlessControlKind kind_;
  HeadlessWindow* window_;
  Control* parent_;
  Rect rect_;
  bool visible_;
  bool enabled_;
  bool tab_stop_;
  FontSpec font_;
  Color text_color_ = kDefaultColor;
  Color background_ = kDefaultColor;
  CursorShape cursor_ = CursorShape::kDefault;
  int repaint_count_ = 0;

  friend class HeadlessWindow;
};

HeadlessControlState* HeadlessStateOf(Control* control);

class HeadlessEdit;
class HeadlessButton;
class HeadlessCombo;
class HeadlessCanvas;

class HeadlessWindow : public Window {
 public:
  HeadlessWindow(HeadlessBackend* backend, const WindowStyle& style);
  ~HeadlessWindow() override;
  HeadlessWindow(const HeadlessWindow&) = delete;
  HeadlessWindow& operator=(const HeadlessWindow&) = delete;

  // Window
  void SetCaption(std::string_view caption_gbk) override { style_.caption_gbk = caption_gbk; }
  std::string Caption() const override { return style_.caption_gbk; }
  void SetGeometry(const Rect& rect) override;
  Rect Geometry() const override { return style_.rect; }
  Size ClientSize() const override;
  Point ClientToScreen(Point client) const override;
  Point ScreenToClient(Point screen) const override;
  // The screen position of a point in a control's client coordinates (through its containers;
  // a canvas's client area lies inside its edge). Null: the window's client area.
  Point ControlToScreen(Control* control, Point client) const;
  void Show(ShowMode mode) override;
  void Hide() override { visible_ = false; }
  bool IsVisible() const override { return visible_; }
  bool IsMinimized() const override { return visible_ && mode_ == ShowMode::kMinimized; }
  void Restore() override { mode_ = ShowMode::kNormal; }
  void Activate() override;
  bool IsActive() const override;
  void SetEnabled(bool enabled) override { enabled_ = enabled; }
  bool IsEnabled() const override { return enabled_; }
  void SetAlwaysOnTop(bool on_top) override { style_.always_on_top = on_top; }
  bool IsAlwaysOnTop() const override { return style_.always_on_top; }
  void SetBackground(Color color) override { style_.background = color; }
  void SetCursor(CursorShape shape) override { cursor_ = shape; }
  void Invalidate() override {}
  void RepaintNow() override { ++repaint_count_; }
  void SetMenuBar(const std::vector<MenuEntry>& bar) override { menu_bar_ = bar; }
  void OpenMenuBar(int index) override {
    if (index >= 0 && index < static_cast<int>(menu_bar_.size())) opened_menu_ = index;
  }
  // The bar entry the keyboard opened last, or -1; a person leaving the bar closes it.
  int opened_menu() const { return opened_menu_; }
  void CloseMenuBar() { opened_menu_ = -1; }
  void SetAccelerators(const std::vector<Accelerator>& accelerators) override {
    accelerators_ = accelerators;
  }
  EditControl* CreateEdit(const ControlPlacement& placement, const EditStyle& style) override;
  ButtonControl* CreateButton(const ControlPlacement& placement, const ButtonStyle& style) override;
  ComboControl* CreateCombo(const ControlPlacement& placement, const ComboStyle& style) override;
  StaticControl* CreateStatic(const ControlPlacement& placement, const StaticStyle& style) override;
  UpDownControl* CreateUpDown(const ControlPlacement& placement, const UpDownStyle& style) override;
  BrowserControl* CreateBrowser(const ControlPlacement& placement,
                                std::string_view address_gbk) override;
  CanvasControl* CreateCanvas(const ControlPlacement& placement, const CanvasStyle& style) override;
  void DestroyControl(Control* control) override;
  Control* FocusedControl() const override;

  // Inspection.
  HeadlessBackend* backend() const { return backend_; }
  const WindowStyle& style() const { return style_; }
  ShowMode show_mode() const { return mode_; }
  CursorShape cursor() const { return cursor_; }
  const std::vector<MenuEntry>& menu_bar() const { return menu_bar_; }
  const std::vector<Accelerator>& accelerators() const { return accelerators_; }
  // Live controls in creation order.
  std::vector<Control*> controls() const;
  // The children of `parent` (null: the client area) in stacking order.
  std::vector<Control*> ChildrenOf(Control* parent) const;
  bool Owns(const Control* control) const;
  // Moves `control` directly after `previous` in the stacking order (null: first).
  void Restack(Control* control, Control* previous);
  int repaint_count() const { return repaint_count_; }

  // --- A person at the keyboard and mouse. Each returns false, doing nothing, when the window
  // (or the control) is disabled or hidden: a person cannot reach it then.

  // Gives `control` the focus (as a click or Tab would).
  bool UserFocus(Control* control);
  // Presses and releases the left button at the control's centre (null: the window's client
  // centre). A button that still sees the release is clicked.
  bool UserClick(Control* control);
  // As UserClick at a point in the control's client coordinates.
  bool UserClickAt(Control* control, Point client, int shift = 0);
  // The right button at a point.
  bool UserRightClickAt(Control* control, Point client, int shift = 0);
  // Focuses `control` (null: the window) and presses and releases the key, with the character it
  // types (Enter 13, Esc 27, Tab 9, Backspace 8, letters, digits and Space; with Ctrl, letters
  // type 1 .. 26). A key down the runtime swallows types nothing.
  bool UserKey(Control* control, int key, int shift = 0);
  // Focuses the control, selects its whole content and types `text_gbk` character by character
  // (an empty text deletes the content with Backspace).
  bool UserType(Control* control, std::string_view text_gbk);
  // Focuses the control and types `text_gbk` at its caret, character by character, as a keyboard
  // or an input method delivers characters (no keys go with them).
  bool UserChars(Control* control, std::string_view text_gbk);
  // Drags a text from elsewhere and drops it onto an edit box at byte offset `at`. Like any drop
  // it passes no input through on_input: the box reports the change through on_user_change.
  bool UserDrop(Control* edit, std::string_view text_gbk, int at);
  // Picks list item `index` of a combo box as a person would.
  bool UserSelect(Control* combo, int index);
  // Clicks the up (+1, right for a horizontal control) or down (-1) arrow of an up-down control.
  bool UserSpin(Control* up_down, int delta);
  // Chooses the menu-bar item with that command id (false when it is not in the bar, disabled
  // or a sub-menu).
  bool UserMenu(int command_id);
  // The window's close box (false when it has no control box).
  bool UserClose();

  // Delivers one input to the window's on_input and returns the runtime's verdict.
  InputDecision Deliver(Control* target, const InputEvent& event);

 private:
  friend class HeadlessBackend;
  class Guard;
  template <typename T>
  T* Adopt(std::unique_ptr<T> control);
  bool Reachable(Control* control) const;
  // Deliver, then the control's own handling when the input passed; false when the window or
  // the control is gone or unreachable afterwards.
  bool DeliverAndHandle(const Guard& guard, Control* control, const InputEvent& event);
  // One character through on_input (which may swallow or replace it) to the control.
  bool TypeCharacter(const Guard& guard, Control* control, uint32_t character);
  // Runs the control's own handling of an input the runtime let pass.
  void DefaultHandling(Control* target, const InputEvent& event);

  HeadlessBackend* backend_;
  const uint64_t serial_;  // never reused, unlike addresses
  WindowStyle style_;
  bool visible_ = false;
  bool enabled_ = true;
  ShowMode mode_ = ShowMode::kNormal;
  CursorShape cursor_ = CursorShape::kDefault;
  std::vector<MenuEntry> menu_bar_;
  int opened_menu_ = -1;
  std::vector<Accelerator> accelerators_;
  std::vector<std::unique_ptr<Control>> controls_;  // creation order
  std::vector<Control*> stacking_;                  // stacking order, all parents mixed
  Control* pressed_ = nullptr;                      // the control the left button went down on
  int repaint_count_ = 0;
};

}  // namespace memo::platform
