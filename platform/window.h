// Top-level windows. The runtime owns each window (std::unique_ptr from Backend::CreateWindow);
// destroying the object destroys the native window and every control it created. A backend never
// destroys a window on its own: a close request (the close box, Alt+F4, the session ending) only
// calls on_close_request, and the runtime decides.
//
// Modality lives above the seam: the runtime disables the other windows and runs a nested loop
// (platform/backend.h) while a modal window is open.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/controls.h"
#include "platform/font.h"
#include "platform/geometry.h"
#include "platform/input.h"
#include "platform/menu.h"

namespace memo::platform {

// The window definitions' border styles.
enum class WindowBorder {
  kNone = 0,
  kResizable = 1,
  kFixed = 2,
  kNarrowCaptionResizable = 3,
  kNarrowCaptionFixed = 4,
  kSunkenResizable = 5,
  kSunkenFixed = 6,
};

struct WindowStyle {
  Rect rect;  // screen position and outer size
  std::string caption_gbk;
  WindowBorder border = WindowBorder::kFixed;
  bool maximize_button = false;
  bool minimize_button = false;
  bool control_box = true;  // the system menu and close box
  bool movable = true;
  bool show_in_taskbar = true;
  bool always_on_top = false;
  Color background = kDefaultColor;
  std::string icon_bytes;         // encoded icon, or empty
  class Window* owner = nullptr;  // stays above its owner; null: none
};

enum class ShowMode { kNormal, kMinimized, kMaximized };

class Window {
 public:
  virtual ~Window() = default;

  virtual void SetCaption(std::string_view caption_gbk) = 0;
  virtual std::string Caption() const = 0;
  virtual void SetGeometry(const Rect& rect) = 0;  // screen position, outer size
  virtual Rect Geometry() const = 0;
  virtual Size ClientSize() const = 0;
  virtual Point ClientToScreen(Point client) const = 0;
  virtual Point ScreenToClient(Point screen) const = 0;

  virtual void Show(ShowMode mode) = 0;
  virtual void Hide() = 0;
  virtual bool IsVisible() const = 0;
  virtual bool IsMinimized() const = 0;
  virtual void Restore() = 0;   // from minimised or maximised to normal
  virtual void Activate() = 0;  // bring to the front with the keyboard focus
  virtual bool IsActive() const = 0;
  virtual void SetEnabled(bool enabled) = 0;
  virtual bool IsEnabled() const = 0;
  virtual void SetAlwaysOnTop(bool on_top) = 0;
  virtual bool IsAlwaysOnTop() const = 0;
  virtual void SetBackground(Color color) = 0;
  virtual void SetCursor(CursorShape shape) = 0;
  virtual void Invalidate() = 0;
  virtual void RepaintNow() = 0;

  // The menu bar (empty: none) and the accelerators. Choosing an item or pressing an accelerator
  // calls on_command with the item's command id.
  virtual void SetMenuBar(const std::vector<MenuEntry>& bar) = 0;
  virtual void SetAccelerators(const std::vector<Accelerator>& accelerators) = 0;
  // Opens the menu bar for the keyboard at its entry `index` (its popup dropped), as F10 and Alt
  // with an entry's letter do; an index outside the bar does nothing.
  virtual void OpenMenuBar(int index) = 0;

  // Child controls, owned by the window. Each returns null when the control cannot be created.
  virtual EditControl* CreateEdit(const ControlPlacement& placement, const EditStyle& style) = 0;
  virtual ButtonControl* CreateButton(const ControlPlacement& placement,
                                      const ButtonStyle& style) = 0;
  virtual ComboControl* CreateCombo(const ControlPlacement& placement, const ComboStyle& style) = 0;
  virtual StaticControl* CreateStatic(const ControlPlacement& placement,
                                      const StaticStyle& style) = 0;
  virtual UpDownControl* CreateUpDown(const ControlPlacement& placement,
                                      const UpDownStyle& style) = 0;
  virtual BrowserControl* CreateBrowser(const ControlPlacement& placement,
                                        std::string_view address_gbk) = 0;
  virtual CanvasControl* CreateCanvas(const ControlPlacement& placement,
                                      const CanvasStyle& style) = 0;
  // Destroys one control (and the controls inside it). REQUIRES: created by this window.
  virtual void DestroyControl(Control* control) = 0;

  // The control with the keyboard focus when it is one of this window's; null otherwise.
  virtual Control* FocusedControl() const = 0;

  // Input aimed at the window (target null: its client area) or at one of its controls, before
  // the target sees it. Mouse coordinates are the target's client coordinates.
  std::function<InputDecision(Control* target, const InputEvent& event)> on_input;
  // The user asked to close the window (close box, Alt+F4, session end); the runtime raises its
  // close event and destroys the window or keeps it.
  std::function<void()> on_close_request;
  std::function<void()> on_moved;
  std::function<void()> on_resized;
  std::function<void()> on_activated;
  std::function<void(int command_id)> on_command;
};

}  // namespace memo::platform
