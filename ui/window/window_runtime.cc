// The window runtime: the store, loading and destroying windows, and the live window objects.
//
// Loading a window (LoadWindow):
//   1. An open window is restored (minimised) or activated instead; nothing is loaded.
//   2. A modal load ignores the parent and makes an owner-less window; a non-modal load with a
//      parent that is not an open window fails.
//   3. The stored unit table is copied into the window's working record; the menu is built.
//   4. The window unit is created first (with the menu), then the other units from the last one
//      in the table back to the second, with child ids 100, 110, ... in creation order.
//   5. Every unit is parented under its container unit, or the window.
//   6. Units are stacked in table order per parent, which is also the Tab order.
//   7. Mouse pointers are created from the stored images.
//   8. Every unit, from the last to the first, is told that all units exist.
//   9. Controls are shown or hidden by their visible bits.
//  10. Events 0, 3 and 4 are raised on the window unit, stopping when the window is gone.
//  11. A window whose visible bit is set is shown and takes the focus on its first edit box in
//      reading order (top to bottom, then left to right) that is visible, enabled and a tab stop,
//      so that typing goes somewhere at once; a window without one gives it to its first tab-stop
//      control (event -7 comes from the focus notification). The Tab order stays the table's.
//  12. A modal window disables every other enabled window of the program, remembering each.
//  13. Units are told loading is complete, the focus of step 11 is given back, the window is
//      marked loaded.
//  14. A visible modal window runs a nested loop until it is destroyed.
//
// Invariants: at most one live window per window id; a live window's units_[i] belongs to
// record().units[i] (null for menu items and removed controls); destroyed windows and their
// units are kept in a graveyard until the next posted task, so that code running inside one of
// their event handlers never touches freed memory (their life tokens have expired).
#include "ui/window/window_runtime.h"

#include <algorithm>
#include <utility>

#include "platform/backend.h"
#include "runtime/fatal.h"
#include "runtime/literal.h"
#include "runtime/program.h"
#include "ui/window/events.h"
#include "ui/window/live_window.h"

namespace memo::ui {

namespace {

struct RuntimeState {
  DefinitionStore store;
  std::vector<std::unique_ptr<LiveWindowImpl>> windows;  // oldest first
  std::vector<std::unique_ptr<LiveWindowImpl>> dead_windows;
  std::vector<std::unique_ptr<Unit>> dead_units;
  bool sweep_posted = false;
};

RuntimeState& State() {
  static RuntimeState* state = new RuntimeState();  // used until the process ends
  return *state;
}

LiveWindowImpl* FindImpl(uint32_t window_id) {
  for (const auto& window : State().windows) {
    if (window->window_id() == window_id && !window->destroying_) return window.get();
  }
  return nullptr;
}

// Frees the graveyard from the message loop, after the routine that destroyed them returned.
void PostSweep() {
  RuntimeState& state = State();
  if (state.sweep_posted) return;
  platform::Backend* backend = platform::CurrentBackend();
  if (!backend) return;
  state.sweep_posted = true;
  backend->PostTask([] {
    RuntimeState& s = State();
    s.sweep_posted = false;
    // Units first: they point at their windows.
    std::vector<std::unique_ptr<Unit>> units = std::move(s.dead_units);
    std::vector<std::unique_ptr<LiveWindowImpl>> windows = std::move(s.dead_windows);
    units.clear();
    windows.clear();
  });
}

// The program's top-level windows other than `except` that are enabled now.
std::vector<LiveWindowImpl*> EnabledWindowsBut(const LiveWindowImpl* except) {
  std::vector<LiveWindowImpl*> out;
  for (const auto& window : State().windows) {
    if (window.get() == except || window->destroying_ || !window->native()) continue;
    if (window->native()->IsEnabled()) out.push_back(window.get());
  }
  return out;
}

void RestoreDisabledWindows(LiveWindowImpl* window) {
  std::vector<std::pair<uint32_t, bool>> disabled = std::move(window->disabled_windows_);
  window->disabled_windows_.clear();
  for (const auto& [id, was_enabled] : disabled) {
    if (LiveWindowImpl* other = FindImpl(id)) other->native()->SetEnabled(was_enabled);
  }
}

}  // namespace

// --- LiveWindowImpl --------------------------------------------------------------------------

LiveWindowImpl::LiveWindowImpl(int store_index, const WindowRecord& stored)
    : store_index_(store_index), record_(stored), alive_(std::make_shared<char>(0)) {
  units_.resize(record_.units.size());
}

LiveWindowImpl::~LiveWindowImpl() {
  // Units hold pointers to their controls; they go before the native window.
  units_.clear();
  native_.reset();
}

Unit* LiveWindowImpl::UnitAt(int index) const {
  if (index < 0 || static_cast<size_t>(index) >= units_.size()) return nullptr;
  return units_[static_cast<size_t>(index)].get();
}

Unit* LiveWindowImpl::FindUnit(uint32_t unit_id) const { return UnitAt(IndexOf(unit_id)); }

Unit* LiveWindowImpl::FindUnitByName(std::string_view name_gbk) const {
  return UnitAt(record_.FindUnitByName(name_gbk));
}

Unit* LiveWindowImpl::UnitOfControl(const platform::Control* control) const {
  return UnitAt(IndexOfControl(control));
}

void LiveWindowImpl::AdoptChild(platform::Control* child, Unit* owner) {
  if (child && owner) adopted_[child] = owner;
}

void LiveWindowImpl::ForgetChild(platform::Control* child) { adopted_.erase(child); }

Unit* LiveWindowImpl::AdoptedOwner(const platform::Control* control) const {
  auto it = adopted_.find(control);
  return it == adopted_.end() ? nullptr : it->second;
}

WindowUnit* LiveWindowImpl::window_unit() const {
  return static_cast<WindowUnit*>(units_.empty() ? nullptr : units_[0].get());
}

int LiveWindowImpl::IndexOf(uint32_t unit_id) const {
  if (unit_id == 0) return 0;
  auto holds = [this, unit_id](int index) {
    return index >= 0 && static_cast<size_t>(index) < record_.units.size() &&
           record_.units[static_cast<size_t>(index)].id == unit_id;
  };
  if (unit_id == last_id_ && holds(last_index_)) return last_index_;
  int index = -1;
  auto it = index_of_id_.find(unit_id);
  if (it != index_of_id_.end() && holds(it->second)) {
    index = it->second;
  } else {
    index = record_.FindUnit(unit_id);
    if (index < 0) return index;
    index_of_id_[unit_id] = index;
  }
  last_id_ = unit_id;
  last_index_ = index;
  return index;
}

int LiveWindowImpl::IndexOfControl(const platform::Control* control) const {
  if (!control) return -1;
  auto it = control_index_.find(control);
  return it == control_index_.end() ? -1 : it->second;
}

void LiveWindowImpl::RebuildMenu() {
  menu_ = BuildMenu(record_);
  if (!native_) return;
  native_->SetMenuBar(menu_.bar);
  native_->SetAccelerators(menu_.accelerators);
}

bool LiveWindowImpl::Create(platform::Window* owner) {
  platform::Backend* backend = platform::CurrentBackend();
  if (!backend || record_.units.empty()) return false;
  const UnitRecord& window_record = record_.units[0];

  // Step 4 begins with the window unit and its menu.
  WindowBlock block;
  if (ReadWindowBlock(window_record.type_block, &block) != BlockStatus::kOk) return false;
  platform::WindowStyle style = WindowStyleOf(window_record, block, backend->ScreenSize());
  style.owner = owner;
  native_ = backend->CreateWindow(style);
  if (!native_) return false;
  menu_ = BuildMenu(record_);
  native_->SetMenuBar(menu_.bar);
  native_->SetAccelerators(menu_.accelerators);
  UnitContext window_context{this, record_.id, window_record.id, 0};
  units_[0] = std::make_unique<WindowUnit>(window_context, block, native_.get());

  int child_id = 100;
  for (size_t i = record_.units.size(); i-- > 1;) {
    const UnitRecord& unit = record_.units[i];
    if (unit.is_menu_item()) continue;
    const UnitTypeInfo* type = FindUnitType(unit.type);
    if (!type || !type->create) return false;
    UnitCreation creation;
    creation.context = UnitContext{this, record_.id, unit.id, static_cast<int>(i)};
    creation.record = &unit;
    creation.native = native_.get();
    creation.placement.rect = platform::Rect{unit.left, unit.top, unit.width, unit.height};
    creation.placement.child_id = child_id;
    // Controls start hidden; step 9 shows them by their visible bits.
    creation.placement.visible = false;
    creation.placement.disabled = (unit.flags & kFlagDisabled) != 0;
    creation.placement.tab_stop = (unit.flags & kFlagTabStop) != 0;
    std::unique_ptr<Unit> live = type->create(creation);
    if (!live) return false;
    if (platform::Control* control = live->control()) control_index_[control] = static_cast<int>(i);
    units_[i] = std::move(live);
    child_id += 10;
  }

  // Step 5: parenting, and the page members that start hidden.
  std::vector<bool> page_hidden(record_.units.size(), false);
  for (size_t i = 1; i < record_.units.size(); ++i) {
    const UnitRecord& unit = record_.units[i];
    Unit* live = units_[i].get();
    if (!live) continue;
    if (unit.parent != 0) {
      Unit* container = FindUnit(unit.parent);
      if (container && container != live && container->control() && live->control()) {
        live->control()->SetParent(container->control());
      }
    }
    bool after_first_gap = false;
    for (uint32_t member : unit.page_members) {
      if (member == 0) {
        after_first_gap = true;
        continue;
      }
      int index = record_.FindUnit(member);
      if (after_first_gap && index > 0) page_hidden[static_cast<size_t>(index)] = true;
    }
  }

  // Step 6: stacking and Tab order, per parent, in table order.
  std::unordered_map<uint32_t, platform::Control*> last_of_parent;
  for (size_t i = 1; i < record_.units.size(); ++i) {
    Unit* live = units_[i].get();
    if (!live || !live->control()) continue;
    uint32_t parent = record_.units[i].parent;
    if (parent != 0 && !FindUnit(parent)) parent = 0;
    auto it = last_of_parent.find(parent);
    live->control()->PlaceAfter(it == last_of_parent.end() ? nullptr : it->second);
    last_of_parent[parent] = live->control();
  }

  // Step 7: mouse pointers.
  for (size_t i = 1; i < record_.units.size(); ++i) {
    Unit* live = units_[i].get();
    if (live && live->control() && !record_.units[i].mouse_pointer.empty()) {
      live->control()->SetCursorImage(record_.units[i].mouse_pointer);
    }
  }

  // Step 8: every unit exists; then the window itself.
  for (size_t i = units_.size(); i-- > 1;) {
    if (units_[i]) units_[i]->AllUnitsCreated();
  }
  units_[0]->AllUnitsCreated();

  // Step 9.
  for (size_t i = 1; i < record_.units.size(); ++i) {
    Unit* live = units_[i].get();
    if (!live || !live->control()) continue;
    const UnitTypeInfo* type = FindUnitType(record_.units[i].type);
    bool visible = (record_.units[i].flags & kFlagVisible) != 0 && !page_hidden[i] &&
                   !(type && type->never_visible);
    live->control()->SetVisible(visible);
  }

  native_->on_input = [this](platform::Control* target, const platform::InputEvent& event) {
    return PreprocessInput(this, target, event);
  };
  native_->on_close_request = [this] { RequestClose(this); };
  native_->on_command = [this](int command_id) {
    int index = MenuItemOfCommand(record_, command_id);
    if (index > 0) RaiseUnitEvent(record_.id, record_.units[static_cast<size_t>(index)].id, 0);
  };
  return true;
}

void LiveWindowImpl::RemoveUnit(int index) {
  if (index <= 0 || static_cast<size_t>(index) >= units_.size() || !units_[index]) return;
  std::unique_ptr<Unit> unit = std::move(units_[static_cast<size_t>(index)]);
  unit->Destroying();
  if (platform::Control* control = unit->control()) {
    control_index_.erase(control);
    for (auto it = adopted_.begin(); it != adopted_.end();) {
      it = it->second == unit.get() ? adopted_.erase(it) : std::next(it);
    }
    native_->DestroyControl(control);
  }
  unit->Expire();
  State().dead_units.push_back(std::move(unit));
  PostSweep();
}

void LiveWindowImpl::Destroy(std::vector<std::unique_ptr<Unit>>* graveyard) {
  for (auto& unit : units_) {
    if (unit) unit->Destroying();
  }
  adopted_.clear();
  control_index_.clear();
  if (native_) {
    native_->on_input = nullptr;
    native_->on_close_request = nullptr;
    native_->on_command = nullptr;
    native_->on_moved = nullptr;
    native_->on_resized = nullptr;
    native_->on_activated = nullptr;
    native_->SetAccelerators({});
    native_->SetMenuBar({});
  }
  for (auto& unit : units_) {
    if (!unit) continue;
    unit->Expire();
    graveyard->push_back(std::move(unit));
  }
  native_.reset();
  alive_.reset();
}

namespace {

// The first edit box in reading order that can take the focus; -1 when there is none.
int FirstEditBoxIndex(LiveWindowImpl* window) {
  int best = -1;
  const auto& units = window->record().units;
  for (size_t i = 1; i < units.size(); ++i) {
    const UnitRecord& record = units[i];
    if (record.type != unit_type::kEditBox || (record.flags & kFlagTabStop) == 0) continue;
    Unit* unit = window->units_[i].get();
    if (!unit || !unit->control()) continue;
    if (!unit->control()->IsVisible() || !unit->control()->IsEnabled()) continue;
    if (best < 0) {
      best = static_cast<int>(i);
      continue;
    }
    const UnitRecord& other = units[static_cast<size_t>(best)];
    if (record.top < other.top || (record.top == other.top && record.left < other.left)) {
      best = static_cast<int>(i);
    }
  }
  return best;
}

}  // namespace

bool LiveWindowImpl::MoveFocusByTab(int from_index, bool backwards) {
  int count = static_cast<int>(record_.units.size());
  if (count <= 1) return false;
  auto can_focus = [this](int i) {
    Unit* unit = units_[static_cast<size_t>(i)].get();
    if (!unit || !unit->control()) return false;
    if ((record_.units[static_cast<size_t>(i)].flags & kFlagTabStop) == 0) return false;
    return unit->control()->IsVisible() && unit->control()->IsEnabled();
  };
  int start = from_index > 0 ? from_index : (backwards ? count : 0);
  for (int step = 1; step < count; ++step) {
    int i = backwards ? start - step : start + step;
    i = ((i - 1) % (count - 1) + (count - 1)) % (count - 1) + 1;  // wrap within 1..count-1
    if (i == from_index) break;
    if (can_focus(i)) {
      units_[static_cast<size_t>(i)]->control()->SetFocus();
      return true;
    }
  }
  return false;
}

// --- Destruction ----------------------------------------------------------------------------

void DestroyLiveWindow(LiveWindowImpl* window) {
  if (!window || window->destroying_) return;
  RuntimeState& state = State();
  window->closing_ = true;
  RestoreDisabledWindows(window);
  std::weak_ptr<char> life = window->LifeToken();
  RaiseUnitEvent(window->window_id(), window->window_unit_id(), event::kDestroyed);
  if (life.expired() || window->destroying_) return;  // destroyed by its own event 2 routine
  window->destroying_ = true;
  window->loaded_ = false;
  int loop_depth = window->loop_depth_;
  window->Destroy(&state.dead_units);
  auto it = std::find_if(state.windows.begin(), state.windows.end(),
                         [window](const auto& w) { return w.get() == window; });
  if (it != state.windows.end()) {
    state.dead_windows.push_back(std::move(*it));
    state.windows.erase(it);
  }
  PostSweep();
  if (loop_depth > 0) {
    if (platform::Backend* backend = platform::CurrentBackend()) backend->EndLoop(loop_depth);
  }
  WindowUnloaded();
}

void RequestClose(LiveWindowImpl* window) {
  if (!window || window->destroying_ || window->closing_) return;
  std::weak_ptr<char> life = window->LifeToken();
  std::optional<uint32_t> result;
  RaiseUnitEvent(window->window_id(), window->window_unit_id(), event::kCloseRequest, {}, &result);
  if (life.expired() || window->destroying_) return;
  if (result && *result == 0) return;  // the routine cancelled the close
  DestroyLiveWindow(window);
}

// --- The public interface ------------------------------------------------------------------

void InstallWindowRuntime(const uint8_t* segment, size_t size) {
  WindowRuntimeHooks hooks;
  hooks.load_definitions = [segment, size] { return LoadSegment(segment, size); };
  hooks.load_startup_window = [](uint32_t window_id) {
    return LoadWindow(window_id, nullptr, WindowMode::kModeless);
  };
  hooks.any_window_loaded = [] { return AnyWindowLoaded(); };
  hooks.release_windows = [] { ReleaseWindows(); };
  SetWindowRuntimeHooks(std::move(hooks));
}

bool LoadSegment(const uint8_t* segment, size_t size) {
  DefinitionStore store;
  if (ReadSegment(segment, size, &store) != SegmentError::kNone) {
    State().store = DefinitionStore{};
    return false;
  }
  State().store = std::move(store);
  return true;
}

const DefinitionStore& Store() { return State().store; }

bool LoadWindow(uint32_t window_id, const TypedValue* parent, WindowMode mode) {
  const bool modal = mode == WindowMode::kModal;
  RuntimeState& state = State();
  int store_index = state.store.Find(window_id);
  if (store_index < 0) return false;
  if (LiveWindowImpl* open = FindImpl(window_id)) {
    if (open->native()->IsMinimized()) {
      open->native()->Restore();
    } else {
      open->native()->Activate();
    }
    return true;
  }
  platform::Window* owner = nullptr;
  if (!modal && parent && parent->Present()) {
    LiveWindowImpl* parent_window = FindImpl(parent->low);
    if (!parent_window) return false;
    owner = parent_window->native();
  }
  const WindowRecord& stored = state.store.windows[static_cast<size_t>(store_index)];
  if (stored.units.empty()) return false;
  state.windows.push_back(std::make_unique<LiveWindowImpl>(store_index, stored));
  LiveWindowImpl* window = state.windows.back().get();
  if (!window->Create(owner)) {
    window->destroying_ = true;
    window->Destroy(&state.dead_units);
    state.dead_windows.push_back(std::move(state.windows.back()));
    state.windows.pop_back();
    PostSweep();
    return false;
  }

  // Step 10.
  std::weak_ptr<char> life = window->LifeToken();
  const uint32_t id = window->window_id();
  const uint32_t unit_id = window->window_unit_id();
  for (int32_t number : {event::kCreated, event::kMoved, event::kResized}) {
    RaiseUnitEvent(id, unit_id, number);
    if (life.expired() || window->destroying_) return true;
  }

  // Step 11.
  platform::Control* focus = nullptr;
  const UnitRecord& window_record = window->record().units[0];
  if ((window_record.flags & kFlagVisible) != 0) {
    const WindowBlock& block = window->block();
    platform::ShowMode mode = platform::ShowMode::kNormal;
    if (block.start_position == 2) mode = platform::ShowMode::kMinimized;
    bool resizable = block.border == 1 || block.border == 3 || block.border == 5;
    if (block.start_position == 3 && resizable) mode = platform::ShowMode::kMaximized;
    window->native()->Show(mode);
    window->shown_ = true;
    window->native()->Activate();
    if (life.expired() || window->destroying_) return true;
    const int edit_box = FirstEditBoxIndex(window);
    if (edit_box > 0) {
      window->units_[static_cast<size_t>(edit_box)]->control()->SetFocus();
    } else {
      window->MoveFocusByTab(0, false);  // when no control takes it, the window keeps the focus
    }
    if (life.expired() || window->destroying_) return true;
    focus = window->native()->FocusedControl();
  }

  // Step 12.
  if (modal) {
    window->modal_ = true;
    for (LiveWindowImpl* other : EnabledWindowsBut(window)) {
      window->disabled_windows_.emplace_back(other->window_id(), true);
      other->native()->SetEnabled(false);
    }
  }

  // Step 13.
  for (size_t i = 0; i < window->units_.size(); ++i) {
    if (window->units_[i]) window->units_[i]->LoadingComplete();
    if (life.expired() || window->destroying_) return true;
  }
  if (focus && window->IndexOfControl(focus) >= 0) focus->SetFocus();
  window->loaded_ = true;
  window->native()->on_moved = [window] {
    RaiseUnitEvent(window->window_id(), window->window_unit_id(), event::kMoved);
  };
  window->native()->on_resized = [window] {
    RaiseUnitEvent(window->window_id(), window->window_unit_id(), event::kResized);
  };
  window->native()->on_activated = [window] {
    RaiseUnitEvent(window->window_id(), window->window_unit_id(), event::kActivated);
  };

  // Step 14.
  if (modal && window->shown_) {
    if (owner && owner->IsAlwaysOnTop()) window->native()->SetAlwaysOnTop(true);
    platform::Backend* backend = platform::CurrentBackend();
    window->loop_depth_ = backend->LoopDepth() + 1;
    while (!life.expired() && !window->destroying_) {
      platform::Backend::LoopResult result = backend->RunLoop();
      if (result.exit != platform::Backend::LoopExit::kEnded) break;
    }
    if (!life.expired() && !window->destroying_) window->loop_depth_ = 0;
  }
  return true;
}

void CloseWindow(uint32_t window_id, uint32_t unit_id, bool at_once) {
  LiveWindowImpl* window = FindImpl(window_id);
  if (!window) return;
  int index = window->IndexOf(unit_id);
  if (index < 0) return;
  if (index > 0) {
    if (!window->record().units[static_cast<size_t>(index)].is_menu_item()) {
      window->RemoveUnit(index);
    }
    return;
  }
  window->closing_ = true;
  if (at_once) {
    DestroyLiveWindow(window);
    return;
  }
  std::weak_ptr<char> life = window->LifeToken();
  platform::Backend* backend = platform::CurrentBackend();
  if (!backend) {
    DestroyLiveWindow(window);
    return;
  }
  backend->PostTask([window, life] {
    if (!life.expired()) DestroyLiveWindow(window);
  });
}

Unit* FindUnitObject(uint32_t window_id, uint32_t unit_id) {
  LiveWindowImpl* window = FindImpl(window_id);
  return window ? window->FindUnit(unit_id) : nullptr;
}

Unit* UnitObject(uint32_t window_id, uint32_t unit_id) {
  Unit* unit = FindUnitObject(window_id, unit_id);
  if (!unit) FatalError(Gbk("指定窗口或窗口组件不存在或尚未载入"));
  return unit;
}

void SetUnitFocus(uint32_t window_id, uint32_t unit_id) {
  LiveWindowImpl* window = FindImpl(window_id);
  Unit* unit = UnitObject(window_id, unit_id);
  if (unit == window->window_unit()) {
    window->native()->Activate();
  } else if (platform::Control* control = unit->control()) {
    control->SetFocus();
  }
}

void RefreshUnit(uint32_t window_id, uint32_t unit_id) {
  LiveWindowImpl* window = FindImpl(window_id);
  Unit* unit = UnitObject(window_id, unit_id);
  if (unit == window->window_unit()) {
    window->native()->RepaintNow();
  } else if (platform::Control* control = unit->control()) {
    control->RepaintNow();
  }
}

LiveWindow* FindLiveWindow(uint32_t window_id) { return FindImpl(window_id); }

std::vector<LiveWindow*> LiveWindows() {
  std::vector<LiveWindow*> out;
  for (const auto& window : State().windows) {
    if (!window->destroying_) out.push_back(window.get());
  }
  return out;
}

bool AnyWindowLoaded() {
  for (const auto& window : State().windows) {
    if (!window->destroying_) return true;
  }
  return false;
}

void ReleaseWindows() {
  RuntimeState& state = State();
  // The program is ending: windows go without their events, newest first.
  while (!state.windows.empty()) {
    std::unique_ptr<LiveWindowImpl> window = std::move(state.windows.back());
    state.windows.pop_back();
    window->destroying_ = true;
    window->Destroy(&state.dead_units);
    state.dead_windows.push_back(std::move(window));
  }
  state.dead_units.clear();
  state.dead_windows.clear();
  state.store = DefinitionStore{};
}

void ResetWindowRuntimeForTesting() {
  ReleaseWindows();
  State().sweep_posted = false;
}

}  // namespace memo::ui
