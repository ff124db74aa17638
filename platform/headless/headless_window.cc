#include "platform/headless/headless_window.h"

#include <algorithm>

#include "platform/gbk.h"
#include "platform/handler.h"
#include "platform/headless/headless_backend.h"
#include "platform/headless/headless_controls.h"
#include "platform/key_chars.h"

namespace memo::platform {

namespace {

// The character a key types, as the classic keyboard translation gives it; 0 for none.
uint32_t CharOfKey(int key, int shift) {
  if (shift & kShiftAlt) return 0;  // a system key: no character
  if (shift & kShiftCtrl) return CtrlCharacterOf(key);
  bool upper = (shift & kShiftShift) != 0;
  if (key >= 'A' && key <= 'Z') return static_cast<uint32_t>(upper ? key : key - 'A' + 'a');
  if (key >= '0' && key <= '9' && !upper) return static_cast<uint32_t>(key);
  switch (key) {
    case vk::kReturn: return 13;
    case vk::kEscape: return 27;
    case vk::kTab: return 9;
    case vk::kBack: return 8;
    case vk::kSpace: return ' ';
    default: return 0;
  }
}

const MenuEntry* FindCommand(const std::vector<MenuEntry>& items, int command_id) {
  for (const MenuEntry& item : items) {
    if (item.separator || item.disabled) continue;
    if (item.children.empty()) {
      if (item.command_id == command_id) return &item;
    } else if (const MenuEntry* found = FindCommand(item.children, command_id)) {
      return found;
    }
  }
  return nullptr;
}

}  // namespace

// Tells whether the window (and a control of it) survived a routine: any input may run routines
// that close windows or remove controls.
class HeadlessWindow::Guard {
 public:
  explicit Guard(HeadlessWindow* window)
      : window_(window), backend_(window->backend_), serial_(window->serial_) {}
  bool Still(Control* control) const {
    return backend_->WindowAlive(serial_) && window_->Reachable(control);
  }

 private:
  HeadlessWindow* window_;
  HeadlessBackend* backend_;
  uint64_t serial_;
};

HeadlessControlState::HeadlessControlState(HeadlessControlKind kind, HeadlessWindow* window,
                                           const ControlPlacement& placement)
    : kind_(kind),
      window_(window),
      parent_(placement.parent),
      rect_(placement.rect),
      visible_(placement.visible),
      enabled_(!placement.disabled),
      tab_stop_(placement.tab_stop) {}

HeadlessControlState* HeadlessStateOf(Control* control) {
  return dynamic_cast<HeadlessControlState*>(control);
}

HeadlessWindow::HeadlessWindow(HeadlessBackend* backend, const WindowStyle& style)
    : backend_(backend), serial_(backend->NextWindowSerial()), style_(style) {}

HeadlessWindow::~HeadlessWindow() {
  if (backend_) {
    for (const auto& control : controls_) backend_->ControlDestroyed(control.get());
    backend_->WindowDestroyed(this);
  }
}

void HeadlessWindow::SetGeometry(const Rect& rect) { style_.rect = rect; }

Size HeadlessWindow::ClientSize() const {
  SystemMetrics m;
  int frame = style_.border == WindowBorder::kNone ? 0 : 3;
  int caption = style_.border == WindowBorder::kNone ? 0 : m.caption_height;
  int menu = menu_bar_.empty() ? 0 : m.menu_height;
  return Size{std::max(0, style_.rect.width - 2 * frame),
              std::max(0, style_.rect.height - 2 * frame - caption - menu)};
}

Point HeadlessWindow::ClientToScreen(Point client) const {
  SystemMetrics m;
  int frame = style_.border == WindowBorder::kNone ? 0 : 3;
  int caption = style_.border == WindowBorder::kNone ? 0 : m.caption_height;
  int menu = menu_bar_.empty() ? 0 : m.menu_height;
  return Point{style_.rect.left + frame + client.x,
               style_.rect.top + frame + caption + menu + client.y};
}

Point HeadlessWindow::ControlToScreen(Control* control, Point client) const {
  Point at = client;
  for (Control* c = control; c != nullptr; c = HeadlessStateOf(c)->parent()) {
    const Rect rect = c->Geometry();
    int edge = 0;
    if (HeadlessStateOf(c)->kind() == HeadlessControlKind::kCanvas) {
      // As HeadlessCanvas::ClientSize counts it.
      const int border = static_cast<HeadlessCanvas*>(c)->style().border;
      edge = border == 0 ? 0 : (border == 1 ? SystemMetrics().edge_width : 1);
    }
    at.x += rect.left + edge;
    at.y += rect.top + edge;
  }
  return ClientToScreen(at);
}

Point HeadlessWindow::ScreenToClient(Point screen) const {
  Point origin = ClientToScreen(Point{0, 0});
  return Point{screen.x - origin.x, screen.y - origin.y};
}

void HeadlessWindow::Show(ShowMode mode) {
  visible_ = true;
  mode_ = mode;
  if (mode != ShowMode::kMinimized) Activate();
}

void HeadlessWindow::Activate() {
  if (!backend_) return;
  backend_->SetActive(this);
  if (on_activated) on_activated();
}

bool HeadlessWindow::IsActive() const { return backend_ && backend_->active_window() == this; }

template <typename T>
T* HeadlessWindow::Adopt(std::unique_ptr<T> control) {
  T* raw = control.get();
  controls_.push_back(std::move(control));
  stacking_.push_back(raw);
  return raw;
}

EditControl* HeadlessWindow::CreateEdit(const ControlPlacement& placement, const EditStyle& style) {
  return Adopt(std::make_unique<HeadlessEdit>(this, placement, style));
}

ButtonControl* HeadlessWindow::CreateButton(const ControlPlacement& placement,
                                            const ButtonStyle& style) {
  return Adopt(std::make_unique<HeadlessButton>(this, placement, style));
}

ComboControl* HeadlessWindow::CreateCombo(const ControlPlacement& placement,
                                          const ComboStyle& style) {
  return Adopt(std::make_unique<HeadlessCombo>(this, placement, style));
}

StaticControl* HeadlessWindow::CreateStatic(const ControlPlacement& placement,
                                            const StaticStyle& style) {
  return Adopt(std::make_unique<HeadlessStatic>(this, placement, style));
}

UpDownControl* HeadlessWindow::CreateUpDown(const ControlPlacement& placement,
                                            const UpDownStyle& style) {
  return Adopt(std::make_unique<HeadlessUpDown>(this, placement, style));
}

BrowserControl* HeadlessWindow::CreateBrowser(const ControlPlacement& placement,
                                              std::string_view address_gbk) {
  return Adopt(std::make_unique<HeadlessBrowser>(this, placement, address_gbk));
}

CanvasControl* HeadlessWindow::CreateCanvas(const ControlPlacement& placement,
                                            const CanvasStyle& style) {
  return Adopt(std::make_unique<HeadlessCanvas>(this, placement, style));
}

void HeadlessWindow::DestroyControl(Control* control) {
  if (!Owns(control)) return;
  // Children first: they live inside it.
  for (Control* child : ChildrenOf(control)) DestroyControl(child);
  if (backend_) backend_->ControlDestroyed(control);
  if (pressed_ == control) pressed_ = nullptr;
  stacking_.erase(std::remove(stacking_.begin(), stacking_.end(), control), stacking_.end());
  controls_.erase(
      std::remove_if(controls_.begin(), controls_.end(),
                     [control](const std::unique_ptr<Control>& c) { return c.get() == control; }),
      controls_.end());
}

Control* HeadlessWindow::FocusedControl() const {
  if (!backend_) return nullptr;
  Control* focus = backend_->focus();
  return focus && Owns(focus) ? focus : nullptr;
}

std::vector<Control*> HeadlessWindow::controls() const {
  std::vector<Control*> out;
  for (const auto& control : controls_) out.push_back(control.get());
  return out;
}

std::vector<Control*> HeadlessWindow::ChildrenOf(Control* parent) const {
  std::vector<Control*> out;
  for (Control* control : stacking_) {
    if (HeadlessStateOf(control)->parent() == parent) out.push_back(control);
  }
  return out;
}

void HeadlessWindow::Restack(Control* control, Control* previous) {
  auto& order = stacking_;
  order.erase(std::remove(order.begin(), order.end(), control), order.end());
  auto at = previous ? std::find(order.begin(), order.end(), previous) : order.end();
  if (at == order.end()) {
    order.insert(order.begin(), control);
  } else {
    order.insert(at + 1, control);
  }
}

bool HeadlessWindow::Owns(const Control* control) const {
  return std::any_of(controls_.begin(), controls_.end(),
                     [control](const std::unique_ptr<Control>& c) { return c.get() == control; });
}

bool HeadlessWindow::Reachable(Control* control) const {
  if (!backend_ || !visible_ || !enabled_ || mode_ == ShowMode::kMinimized) return false;
  if (!control) return true;
  if (!Owns(control)) return false;
  for (Control* c = control; c; c = HeadlessStateOf(c)->parent()) {
    if (!c->IsVisible() || !c->IsEnabled()) return false;
  }
  return true;
}

InputDecision HeadlessWindow::Deliver(Control* target, const InputEvent& event) {
  if (!on_input) return InputDecision::Pass();
  // The handler may destroy this window; copy it first.
  auto handler = on_input;
  return handler(target, event);
}

void HeadlessWindow::DefaultHandling(Control* target, const InputEvent& event) {
  if (!target) return;
  HeadlessControlState* state = HeadlessStateOf(target);
  switch (state->kind()) {
    case HeadlessControlKind::kEdit: {
      auto* edit = static_cast<HeadlessEdit*>(target);
      if (event.kind == InputKind::kLeftDown) backend_->MoveFocus(target);
      if (event.kind == InputKind::kKeyDown) edit->Key(event.key);
      if (event.kind == InputKind::kChar) edit->TypeChar(static_cast<uint32_t>(event.key));
      break;
    }
    case HeadlessControlKind::kButton:
      if (event.kind == InputKind::kLeftDown) {
        backend_->MoveFocus(target);
        pressed_ = target;
      } else if (event.kind == InputKind::kLeftUp) {
        bool was_pressed = pressed_ == target;
        pressed_ = nullptr;
        if (was_pressed) static_cast<HeadlessButton*>(target)->Click();
      } else if (event.kind == InputKind::kKeyUp && event.key == vk::kSpace) {
        static_cast<HeadlessButton*>(target)->Click();
      }
      break;
    case HeadlessControlKind::kCombo: {
      auto* combo = static_cast<HeadlessCombo*>(target);
      if (event.kind == InputKind::kLeftDown) backend_->MoveFocus(target);
      if (event.kind == InputKind::kKeyDown) combo->Key(event.key);
      if (event.kind == InputKind::kChar) combo->TypeChar(static_cast<uint32_t>(event.key));
      break;
    }
    case HeadlessControlKind::kUpDown:
      // An arrow reports on its release, as a push button clicks.
      if (event.kind == InputKind::kLeftDown) {
        pressed_ = target;
      } else if (event.kind == InputKind::kLeftUp) {
        bool was_pressed = pressed_ == target;
        pressed_ = nullptr;
        auto* spin = static_cast<HeadlessUpDown*>(target);
        if (was_pressed) Fire(spin->on_arrow, spin->ArrowAt(Point{event.x, event.y}));
      }
      break;
    case HeadlessControlKind::kCanvas: {
      auto* canvas = static_cast<HeadlessCanvas*>(target);
      Fire(canvas->on_input, event);
      break;
    }
    case HeadlessControlKind::kStatic:
    case HeadlessControlKind::kBrowser: break;
  }
}

bool HeadlessWindow::DeliverAndHandle(const Guard& guard, Control* control,
                                      const InputEvent& event) {
  InputDecision decision = Deliver(control, event);
  if (!guard.Still(control)) return false;
  if (decision.action == InputDecision::Action::kPass) DefaultHandling(control, event);
  return guard.Still(control);
}

bool HeadlessWindow::UserFocus(Control* control) {
  if (!Reachable(control) || !control) return false;
  backend_->MoveFocus(control);
  return true;
}

bool HeadlessWindow::UserClick(Control* control) {
  Size size = control ? Size{control->Geometry().width, control->Geometry().height} : ClientSize();
  return UserClickAt(control, Point{size.width / 2, size.height / 2});
}

bool HeadlessWindow::UserClickAt(Control* control, Point client, int shift) {
  if (!Reachable(control)) return false;
  Guard guard(this);
  if (!IsActive()) Activate();
  if (!guard.Still(control)) return true;
  InputEvent event;
  event.x = client.x;
  event.y = client.y;
  event.shift = shift;
  event.kind = InputKind::kLeftDown;
  // Any routine may close the window or remove the control; stop as soon as it has.
  if (!DeliverAndHandle(guard, control, event)) return true;
  event.kind = InputKind::kLeftUp;
  DeliverAndHandle(guard, control, event);
  return true;
}

bool HeadlessWindow::UserRightClickAt(Control* control, Point client, int shift) {
  if (!Reachable(control)) return false;
  Guard guard(this);
  InputEvent event;
  event.x = client.x;
  event.y = client.y;
  event.shift = shift;
  event.kind = InputKind::kRightDown;
  if (!DeliverAndHandle(guard, control, event)) return true;
  event.kind = InputKind::kRightUp;
  DeliverAndHandle(guard, control, event);
  return true;
}

bool HeadlessWindow::TypeCharacter(const Guard& guard, Control* control, uint32_t character) {
  InputEvent typed;
  typed.kind = InputKind::kChar;
  typed.key = static_cast<int>(character);
  InputDecision decision = Deliver(control, typed);
  if (!guard.Still(control)) return false;
  if (decision.action == InputDecision::Action::kReplace) {
    typed.key = static_cast<int>(decision.replacement);
    decision.action = InputDecision::Action::kPass;
  }
  if (decision.action == InputDecision::Action::kPass) DefaultHandling(control, typed);
  return guard.Still(control);
}

bool HeadlessWindow::UserKey(Control* control, int key, int shift) {
  if (!Reachable(control)) return false;
  Guard guard(this);
  if (!IsActive()) Activate();
  if (control) backend_->MoveFocus(control);
  if (!guard.Still(control)) return true;
  // Accelerators take the key before anything else sees it.
  for (const Accelerator& accelerator : accelerators_) {
    if (accelerator.key == key && accelerator.shift == shift) {
      Fire(on_command, accelerator.command_id);
      return true;
    }
  }
  InputEvent event;
  event.kind = InputKind::kKeyDown;
  event.key = key;
  event.shift = shift;
  event.system_key = (shift & kShiftAlt) != 0 || key == vk::kF1 + 9;  // Alt, or F10
  InputDecision down = Deliver(control, event);
  if (!guard.Still(control)) return true;
  // A key the runtime swallows is never translated: it types no character.
  if (down.action == InputDecision::Action::kPass) {
    DefaultHandling(control, event);
    if (!guard.Still(control)) return true;
    if (uint32_t character = CharOfKey(key, shift)) {
      if (!TypeCharacter(guard, control, character)) return true;
    }
  }
  event.kind = InputKind::kKeyUp;
  DeliverAndHandle(guard, control, event);
  return true;
}

bool HeadlessWindow::UserType(Control* control, std::string_view text_gbk) {
  if (!control || !Reachable(control)) return false;
  Guard guard(this);
  if (!IsActive()) Activate();
  backend_->MoveFocus(control);
  if (!guard.Still(control)) return true;
  HeadlessControlState* state = HeadlessStateOf(control);
  if (state->kind() == HeadlessControlKind::kEdit) {
    static_cast<HeadlessEdit*>(control)->SetSelection(0, -1);
  } else if (state->kind() == HeadlessControlKind::kCombo) {
    static_cast<HeadlessCombo*>(control)->SetEditSelection(0, -1);
  }
  if (text_gbk.empty()) return UserKey(control, vk::kBack);
  return UserChars(control, text_gbk);
}

bool HeadlessWindow::UserChars(Control* control, std::string_view text_gbk) {
  if (!control || !Reachable(control)) return false;
  Guard guard(this);
  if (!IsActive()) Activate();
  backend_->MoveFocus(control);
  if (!guard.Still(control)) return true;
  for (size_t i = 0; i < text_gbk.size(); i = NextGbkChar(text_gbk, i)) {
    if (!TypeCharacter(guard, control, GbkCharCodeAt(text_gbk, i))) return true;
  }
  return true;
}

bool HeadlessWindow::UserDrop(Control* edit, std::string_view text_gbk, int at) {
  if (!edit || !Reachable(edit)) return false;
  if (HeadlessStateOf(edit)->kind() != HeadlessControlKind::kEdit) return false;
  static_cast<HeadlessEdit*>(edit)->Drop(text_gbk, at);
  return true;
}

bool HeadlessWindow::UserSelect(Control* combo, int index) {
  if (!combo || !Reachable(combo)) return false;
  HeadlessControlState* state = HeadlessStateOf(combo);
  if (state->kind() != HeadlessControlKind::kCombo) return false;
  auto* box = static_cast<HeadlessCombo*>(combo);
  if (index < 0 || index >= static_cast<int>(box->items().size())) return false;
  Guard guard(this);
  if (!IsActive()) Activate();
  backend_->MoveFocus(combo);
  if (!guard.Still(combo)) return true;
  box->Pick(index);
  return true;
}

bool HeadlessWindow::UserSpin(Control* up_down, int delta) {
  if (!up_down || !Reachable(up_down)) return false;
  if (HeadlessStateOf(up_down)->kind() != HeadlessControlKind::kUpDown) return false;
  Rect rect = up_down->Geometry();
  bool horizontal = static_cast<HeadlessUpDown*>(up_down)->style().horizontal;
  Point at = horizontal ? Point{delta > 0 ? rect.width * 3 / 4 : rect.width / 4, rect.height / 2}
                        : Point{rect.width / 2, delta > 0 ? rect.height / 4 : rect.height * 3 / 4};
  return UserClickAt(up_down, at);
}

bool HeadlessWindow::UserMenu(int command_id) {
  if (!Reachable(nullptr) || command_id == 0) return false;
  if (!FindCommand(menu_bar_, command_id)) return false;
  Fire(on_command, command_id);
  return true;
}

bool HeadlessWindow::UserClose() {
  if (!Reachable(nullptr) || !style_.control_box) return false;
  Fire(on_close_request);
  return true;
}

}  // namespace memo::platform
