// Menus: the bar of a window, pop-up menus, and accelerators. Items carry the command id that
// comes back when they are chosen (the window's on_command, or the pop-up's result).
#pragma once

#include <string>
#include <vector>

namespace memo::platform {

struct MenuEntry {
  std::string caption_gbk;   // "&" marks the mnemonic; ignored for separators
  std::string shortcut_gbk;  // the accelerator's key name shown after the caption, or empty
  int command_id = 0;        // 0 for items that only open a sub-menu
  bool separator = false;
  bool disabled = false;            // shown greyed
  bool checked = false;             // shown with a check mark
  std::vector<MenuEntry> children;  // non-empty: the item opens this sub-menu
};

// A key that chooses a command while its window is active, before any control sees the key.
struct Accelerator {
  int key = 0;    // virtual-key code
  int shift = 0;  // kShiftCtrl | kShiftShift | kShiftAlt (platform/input.h)
  int command_id = 0;
};

}  // namespace memo::platform
