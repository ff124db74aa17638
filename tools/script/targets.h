// Finding what a step names: an open window, a unit of it, and whether a person could reach it.
// Each finder ends the step as failed (ScriptRunner::Fail) when the thing is not there.
#pragma once

#include <cstdint>
#include <string>

#include "platform/headless/headless_window.h"
#include "tools/script/runner.h"
#include "ui/window/unit.h"
#include "ui/window/window_runtime.h"

namespace memo::script {

struct Target {
  ui::LiveWindow* window = nullptr;
  platform::HeadlessWindow* native = nullptr;
  int index = -1;                        // in the window's unit table; 0 the window unit
  uint32_t unit_id = 0;                  // the window unit's own id for `window`
  ui::Unit* unit = nullptr;              // null for a menu item
  platform::Control* control = nullptr;  // null for the window unit and units without one
  std::string shown;                     // "login 编辑框1", for messages
};

// The open window, or the step fails ("window login is not open").
ui::LiveWindow* OpenWindow(ScriptRunner& runner, const WindowName& name);

// A unit of an open window, or the step fails.
Target FindTarget(ScriptRunner& runner, const WindowName& window, const UnitName& unit);

// The unit's id in the stored definition of a window that need not be open; -1 in *index when
// the store has no such window or unit (the step then fails with a message of its own).
bool FindStoredUnit(const WindowName& window, const UnitName& unit, uint32_t* unit_id);

// Fails the step unless a person could act on the target now: its window shown and enabled (a
// window disabled by a modal window says which one), and its control, if any, shown and enabled.
void RequireReachable(ScriptRunner& runner, const Target& target);
// Moves the mouse pointer to a point in the target's client coordinates (the window's client
// area for the window unit), as a person's hand moves it there before clicking: a routine that
// reads the pointer's position during the click finds it on the clicked spot.
void MovePointerTo(ScriptRunner& runner, const Target& target, platform::Point client);

void RequireWindowReachable(ScriptRunner& runner, ui::LiveWindow* window, const std::string& shown);

}  // namespace memo::script
