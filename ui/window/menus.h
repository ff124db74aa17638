// A window's menu: the menu bar and accelerators built from its menu items, the command ids
// (20000 + the item's position among the window's menu items, in unit-table order), pop-ups of an
// item's sub-items, and the table of shortcut key names.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/menu.h"
#include "ui/format/segment.h"

namespace memo::ui {

constexpr int kFirstMenuCommand = 20000;

// A shortcut of the key-name table (index 1..77).
struct ShortcutKey {
  int key = 0;       // virtual-key code
  int shift = 0;     // platform::kShiftCtrl | kShiftShift | kShiftAlt
  std::string name;  // shown after the caption
};
// The entry for a stored shortcut index, or null for 0 and indices outside the table.
const ShortcutKey* FindShortcut(uint32_t index);
constexpr uint32_t kShortcutCount = 77;

struct BuiltMenu {
  std::vector<platform::MenuEntry> bar;
  std::vector<platform::Accelerator> accelerators;
  // Unit-table index of each command id's item: commands[id - kFirstMenuCommand].
  std::vector<int> commands;
};

// The menu bar of a window record: each level-0 item that is not hidden becomes a bar entry, the
// level-1 items after it (up to the next level-0 item) its popup; "-" makes a separator, a
// disabled item is greyed, a checked one marked, a shortcut shown and made an accelerator.
// A bar entry whose caption marks no letter with "&" gets the first letter of its pinyin (or
// its first ASCII letter or digit) as "(&Z)" after the caption, as the platform shows keyboard
// letters of Chinese captions; Alt with that letter opens it, F10 opens the bar.
BuiltMenu BuildMenu(const WindowRecord& window);
// The bar caption with its keyboard letter (unchanged when it marks one or has no initial).
std::string WithKeyboardLetter(const std::string& caption);

// The popup of the sub-items of the menu item at `item_index` (the items of a deeper level after
// it), with the window's command ids; empty when it has none.
std::vector<platform::MenuEntry> PopupOf(const WindowRecord& window, int item_index);

// The unit-table index of the item a command id names, or -1.
int MenuItemOfCommand(const WindowRecord& window, int command_id);

}  // namespace memo::ui
