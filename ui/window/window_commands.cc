#include "ui/window/window_commands.h"

#include "platform/backend.h"
#include "ui/window/events.h"
#include "ui/window/live_window.h"
#include "ui/window/menus.h"
#include "ui/window/property_values.h"
#include "ui/window/window_runtime.h"

namespace memo::ui {

namespace {

bool Given(int32_t arg_count, const TypedValue* args, int32_t i) {
  return i < arg_count && args[i].Present();
}

}  // namespace

TypedValue UnitReference(uint32_t window_id, uint32_t unit_id, uint32_t type) {
  TypedValue cell;
  cell.low = window_id;
  cell.high = unit_id;
  cell.tag = type;
  return cell;
}

void LoadWindowCommand(TypedValue* result, int32_t arg_count, TypedValue* args) {
  result->low = 0;
  if (!Given(arg_count, args, 0)) return;
  uint32_t window_id = args[0].low;
  const TypedValue* parent = Given(arg_count, args, 1) ? &args[1] : nullptr;
  const WindowMode mode = Given(arg_count, args, 2) && PropertyBool(args[2])
                              ? WindowMode::kModal
                              : WindowMode::kModeless;
  result->low = LoadWindow(window_id, parent, mode) ? 1 : 0;
}

void CloseWindowCommand(TypedValue* result, int32_t arg_count, TypedValue* args) {
  (void)result;
  if (!Given(arg_count, args, 0)) return;
  bool at_once = Given(arg_count, args, 1) && PropertyBool(args[1]);
  CloseWindow(args[0].low, args[0].high, at_once);
}

void SetFocusCommand(TypedValue* result, int32_t arg_count, TypedValue* args) {
  (void)result;
  if (!Given(arg_count, args, 0)) return;
  SetUnitFocus(args[0].low, args[0].high);
}

void RefreshCommand(TypedValue* result, int32_t arg_count, TypedValue* args) {
  (void)result;
  if (!Given(arg_count, args, 0)) return;
  RefreshUnit(args[0].low, args[0].high);
}

void PopupMenuCommand(TypedValue* result, int32_t arg_count, TypedValue* args) {
  (void)result;
  if (!Given(arg_count, args, 0) || !Given(arg_count, args, 1)) return;
  uint32_t window_id = args[0].low;
  UnitObject(window_id, 0);  // the window must be open
  auto* window = static_cast<LiveWindowImpl*>(FindLiveWindow(window_id));
  const TypedValue& item = args[1];
  if (item.low != window_id) return;  // an item of another window shows nothing
  int index = window->record().FindUnit(item.high);
  std::vector<platform::MenuEntry> entries = PopupOf(window->record(), index);
  if (entries.empty()) return;
  platform::Backend* backend = platform::CurrentBackend();
  platform::Point at = backend->CursorPosition();
  at.x += 3;
  at.y += 3;
  if (Given(arg_count, args, 2)) at.x = PropertyInt(args[2]);
  if (Given(arg_count, args, 3)) at.y = PropertyInt(args[3]);
  std::weak_ptr<char> life = window->LifeToken();
  int command = backend->TrackPopupMenu(window->native(), entries, at);
  if (command == 0 || life.expired()) return;
  int chosen = MenuItemOfCommand(window->record(), command);
  if (chosen > 0) {
    RaiseUnitEvent(window_id, window->record().units[static_cast<size_t>(chosen)].id, 0);
  }
}

}  // namespace memo::ui
