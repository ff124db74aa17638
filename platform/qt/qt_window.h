// Top-level windows and child controls on Qt widgets.
//
// Ownership: a QtWindow owns its control wrappers; each wrapper owns its widget, and the window
// owns the top-level widget. Widgets are deleted with deleteLater, because a window or control
// may be destroyed from inside one of its own event handlers (a routine run by a click).
//
// Input: every widget of a control (and the window's own client area) has an event filter that
// turns mouse, key, character, wheel and focus events into InputEvents and hands them to the
// window's on_input before the widget sees them; the runtime's verdict swallows, replaces or
// passes them.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/window.h"

class QMenu;
class QMenuBar;
class QShortcut;

namespace memo::platform::qt {

class QtBackend;
class QtWindow;

// Builds a QMenu's items from menu entries (actions carry their command id as data).
void FillQMenu(QMenu* menu, const std::vector<MenuEntry>& items);

// The input path shared by every control's widgets.
class InputRouter : public QObject {
 public:
  InputRouter(QtWindow* window, Control* target, QWidget* control_widget);

  // Watches `widget` (the control's widget or one of its inner widgets) for input.
  void Watch(QWidget* widget);
  // A left-button press that the runtime lets pass gives the control the focus before the widget
  // sees the press (edit boxes, buttons and combo boxes, as their native kinds do).
  void SetClickFocus(bool click_focus) { click_focus_ = click_focus; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  InputDecision Offer(const InputEvent& input);
  // Offers each typed character of `text` to the runtime; *passed receives what the widget is to
  // get and *changed whether that differs from `text`. False when a routine destroyed this router
  // on the way: the caller then returns at once and touches no member. Typed text goes to the
  // widget one character at a time, each offered just before the widget gets it.
  bool OfferCharacters(const QString& text, QString* passed, bool* changed);

  QtWindow* window_;
  Control* target_;  // null: the window's own client area
  QPointer<QWidget> control_widget_;
  bool has_focus_ = false;
  bool click_focus_ = false;
  bool forwarding_ = false;  // re-sending a replaced character: let it through
};

// The top-level widget: the menu bar above the client area, close requests handed to the
// runtime instead of closing.
class WindowWidget : public QWidget {
 public:
  explicit WindowWidget(QtWindow* owner);
  void ForgetOwner() { owner_ = nullptr; }
  QWidget* client() const { return client_; }
  QMenuBar* menu_bar() const { return menu_bar_; }
  QMenuBar* EnsureMenuBar();
  void RemoveMenuBar();
  void Relayout();

 protected:
  bool focusNextPrevChild(bool next) override;
  void closeEvent(QCloseEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  QtWindow* owner_;
  QWidget* client_;
  QMenuBar* menu_bar_ = nullptr;
};

class QtWindow : public QObject, public Window {
 public:
  QtWindow(QtBackend* backend, const WindowStyle& style);
  ~QtWindow() override;
  QtWindow(const QtWindow&) = delete;
  QtWindow& operator=(const QtWindow&) = delete;

  QWidget* widget() const { return widget_; }
  QWidget* client() const { return widget_ ? widget_->client() : nullptr; }
  // The widget a control is placed in: a container control's, or the client area.
  QWidget* ParentWidget(Control* parent) const;

  // Window
  void SetCaption(std::string_view caption_gbk) override;
  std::string Caption() const override;
  void SetGeometry(const Rect& rect) override;
  Rect Geometry() const override;
  Size ClientSize() const override;
  Point ClientToScreen(Point client) const override;
  Point ScreenToClient(Point screen) const override;
  void Show(ShowMode mode) override;
  void Hide() override;
  bool IsVisible() const override;
  bool IsMinimized() const override;
  void Restore() override;
  void Activate() override;
  bool IsActive() const override;
  void SetEnabled(bool enabled) override;
  bool IsEnabled() const override;
  void SetAlwaysOnTop(bool on_top) override;
  bool IsAlwaysOnTop() const override { return style_.always_on_top; }
  void SetBackground(Color color) override;
  void SetCursor(CursorShape shape) override;
  void Invalidate() override;
  void RepaintNow() override;
  void SetMenuBar(const std::vector<MenuEntry>& bar) override;
  void OpenMenuBar(int index) override;
  void SetAccelerators(const std::vector<Accelerator>& accelerators) override;
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

  // Hands an input to on_input; the verdict decides what the widget sees.
  InputDecision Deliver(Control* target, const InputEvent& event);
  // Called by the widget.
  void CloseRequested();
  void Moved();
  void Resized();
  void Activated();
  // Called by the controls: one was moved, shown, hidden or re-parented.
  void ControlsChanged();

 private:
  template <typename T>
  T* Adopt(std::unique_ptr<T> control);
  void ApplyGeometry();
  bool IsFixedSize() const;
  // The client size every visible control of the client area needs, margin included; empty
  // without controls.
  QSize ControlsExtent() const;
  // Grows the window until the client area holds every control.
  void FitClient();
  // Outer size minus the estimated frame: what the widget itself (menu bar and client) gets.
  QSize InnerSize(const Rect& outer) const;

  QtBackend* backend_;
  WindowStyle style_;
  QPointer<WindowWidget> widget_;
  std::unique_ptr<InputRouter> client_router_;
  std::vector<std::unique_ptr<Control>> controls_;
  std::vector<QShortcut*> shortcuts_;  // children of the widget
};

}  // namespace memo::platform::qt
