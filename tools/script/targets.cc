#include "tools/script/targets.h"

#include "platform/headless/headless_controls.h"

namespace memo::script {

namespace {

int IndexInRecord(const ui::WindowRecord& record, const UnitName& unit) {
  switch (unit.kind) {
    case UnitName::Kind::kWindow: return record.units.empty() ? -1 : 0;
    case UnitName::Kind::kId: return record.FindUnit(unit.id);
    case UnitName::Kind::kName: return record.FindUnitByName(unit.name_gbk);
  }
  return -1;
}

}  // namespace

ui::LiveWindow* OpenWindow(ScriptRunner& runner, const WindowName& name) {
  std::string state = runner.ProgramState();
  if (!state.empty()) runner.Fail("window " + name.shown + " is not open: " + state);
  ui::LiveWindow* window = ui::FindLiveWindow(name.id);
  if (!window || !window->native()) runner.Fail("window " + name.shown + " is not open");
  return window;
}

Target FindTarget(ScriptRunner& runner, const WindowName& window, const UnitName& unit) {
  Target target;
  target.window = OpenWindow(runner, window);
  target.native = static_cast<platform::HeadlessWindow*>(target.window->native());
  target.shown = window.shown + " " + unit.shown;
  const ui::WindowRecord& record = target.window->record();
  target.index = IndexInRecord(record, unit);
  if (target.index < 0) runner.Fail("window " + window.shown + " has no unit " + unit.shown);
  target.unit_id = record.units[static_cast<size_t>(target.index)].id;
  target.unit = target.window->UnitAt(target.index);
  if (target.unit && target.index > 0) target.control = target.unit->control();
  return target;
}

bool FindStoredUnit(const WindowName& window, const UnitName& unit, uint32_t* unit_id) {
  const ui::DefinitionStore& store = ui::Store();
  int w = store.Find(window.id);
  if (w < 0) return false;
  const ui::WindowRecord& record = store.windows[static_cast<size_t>(w)];
  int index = IndexInRecord(record, unit);
  if (index < 0) return false;
  *unit_id = record.units[static_cast<size_t>(index)].id;
  return true;
}

void RequireWindowReachable(ScriptRunner& runner, ui::LiveWindow* window,
                            const std::string& shown) {
  platform::Window* native = window->native();
  if (!native->IsVisible()) runner.Fail("window " + shown + " is hidden");
  if (native->IsMinimized()) runner.Fail("window " + shown + " is minimised");
  if (!native->IsEnabled()) {
    std::string why;
    for (ui::LiveWindow* other : ui::LiveWindows()) {
      if (other != window && other->modal())
        why = " (the modal window " + WindowDisplayName(other->window_id()) + " is open)";
    }
    runner.Fail("window " + shown + " is disabled" + why + "; a person cannot act on it");
  }
}

void RequireReachable(ScriptRunner& runner, const Target& target) {
  RequireWindowReachable(runner, target.window, WindowDisplayName(target.window->window_id()));
  for (platform::Control* c = target.control; c;) {
    if (!c->IsVisible()) runner.Fail(target.shown + " is hidden");
    if (!c->IsEnabled()) runner.Fail(target.shown + " is disabled");
    platform::HeadlessControlState* state = platform::HeadlessStateOf(c);
    c = state ? state->parent() : nullptr;
  }
}

void MovePointerTo(ScriptRunner& runner, const Target& target, platform::Point client) {
  runner.backend().SetCursorPosition(target.native->ControlToScreen(target.control, client));
}

}  // namespace memo::script
