#include "ui/window/menus.h"

#include <cstdio>

#include "platform/input.h"
#include "ui/window/pinyin_initial.h"

namespace memo::ui {

namespace {

using platform::kShiftCtrl;
using platform::kShiftShift;

// The key-name table: F1..F12, Ctrl+F1..F12, Shift+F1..F12, Ctrl+A..Z, Ctrl+0..9, Ins, Del,
// Ctrl+Ins, Shift+Ins, Shift+Del: 77 entries, numbered from 1.
// "prefix" followed by a function key number or a key's character.
std::string KeyName(const char* prefix, int number, char key = 0) {
  char name[16];
  if (key != 0) {
    std::snprintf(name, sizeof name, "%s%c", prefix, key);
  } else {
    std::snprintf(name, sizeof name, "%sF%d", prefix, number);
  }
  return name;
}

std::vector<ShortcutKey> MakeShortcuts() {
  std::vector<ShortcutKey> table;
  auto add = [&](int key, int shift, std::string name) {
    table.push_back(ShortcutKey{key, shift, std::move(name)});
  };
  for (int i = 0; i < 12; ++i) add(platform::vk::kF1 + i, 0, KeyName("", i + 1));
  for (int i = 0; i < 12; ++i) add(platform::vk::kF1 + i, kShiftCtrl, KeyName("Ctrl+", i + 1));
  for (int i = 0; i < 12; ++i) add(platform::vk::kF1 + i, kShiftShift, KeyName("Shift+", i + 1));
  for (char c = 'A'; c <= 'Z'; ++c) add(c, kShiftCtrl, KeyName("Ctrl+", 0, c));
  for (char c = '0'; c <= '9'; ++c) add(c, kShiftCtrl, KeyName("Ctrl+", 0, c));
  add(platform::vk::kInsert, 0, "Ins");
  add(platform::vk::kDelete, 0, "Del");
  add(platform::vk::kInsert, kShiftCtrl, "Ctrl+Ins");
  add(platform::vk::kInsert, kShiftShift, "Shift+Ins");
  add(platform::vk::kDelete, kShiftShift, "Shift+Del");
  return table;
}

const std::vector<ShortcutKey>& Shortcuts() {
  static const std::vector<ShortcutKey> table = MakeShortcuts();
  return table;
}

// Position of each unit-table index among the window's menu items (-1 for other units).
std::vector<int> MenuPositions(const WindowRecord& window) {
  std::vector<int> positions(window.units.size(), -1);
  int next = 0;
  for (size_t i = 0; i < window.units.size(); ++i) {
    if (window.units[i].is_menu_item()) positions[i] = next++;
  }
  return positions;
}

platform::MenuEntry EntryOf(const UnitRecord& item, int position) {
  platform::MenuEntry entry;
  entry.caption_gbk = item.caption;
  entry.separator = item.caption == "-";
  entry.disabled = (item.menu_flags & kMenuDisabled) != 0;
  entry.checked = (item.menu_flags & kMenuChecked) != 0;
  entry.command_id = entry.separator ? 0 : kFirstMenuCommand + position;
  if (const ShortcutKey* key = FindShortcut(item.shortcut)) entry.shortcut_gbk = key->name;
  return entry;
}

// The items after `first` of a level deeper than `level`, as entries nested by level.
std::vector<platform::MenuEntry> SubItems(const WindowRecord& window,
                                          const std::vector<int>& positions, size_t* at,
                                          uint32_t level) {
  std::vector<platform::MenuEntry> entries;
  while (*at < window.units.size()) {
    const UnitRecord& item = window.units[*at];
    if (!item.is_menu_item()) {
      ++*at;
      continue;
    }
    if (item.level <= level) break;
    size_t here = (*at)++;
    platform::MenuEntry entry = EntryOf(item, positions[here]);
    entry.children = SubItems(window, positions, at, item.level);
    if (!entry.children.empty()) entry.command_id = 0;
    if ((item.menu_flags & kMenuHidden) == 0) entries.push_back(std::move(entry));
  }
  return entries;
}

}  // namespace

const ShortcutKey* FindShortcut(uint32_t index) {
  const auto& table = Shortcuts();
  if (index == 0 || index > table.size()) return nullptr;
  return &table[index - 1];
}

std::string WithKeyboardLetter(const std::string& caption) {
  if (caption == "-" || caption.empty()) return caption;
  for (size_t i = 0; i < caption.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(caption[i]);
    if (c >= 0x80) {
      ++i;  // a two-byte character never holds the mark
    } else if (c == '&') {
      if (i + 1 < caption.size() && caption[i + 1] == '&') {
        ++i;
      } else {
        return caption;  // the caption marks its own letter
      }
    }
  }
  const char letter = PinyinInitial(caption);
  if (letter == 0) return caption;
  return caption + "(&" + letter + ")";
}

BuiltMenu BuildMenu(const WindowRecord& window) {
  BuiltMenu menu;
  std::vector<int> positions = MenuPositions(window);
  for (size_t i = 0; i < window.units.size(); ++i) {
    const UnitRecord& item = window.units[i];
    if (!item.is_menu_item()) continue;
    menu.commands.push_back(static_cast<int>(i));
    if (const ShortcutKey* key = FindShortcut(item.shortcut)) {
      if (item.caption != "-") {
        menu.accelerators.push_back(
            platform::Accelerator{key->key, key->shift, kFirstMenuCommand + positions[i]});
      }
    }
  }
  size_t at = 0;
  while (at < window.units.size()) {
    const UnitRecord& item = window.units[at];
    if (!item.is_menu_item() || item.level != 0) {
      ++at;
      continue;
    }
    size_t here = at++;
    platform::MenuEntry entry = EntryOf(item, positions[here]);
    entry.caption_gbk = WithKeyboardLetter(entry.caption_gbk);
    entry.children = SubItems(window, positions, &at, 0);
    if (!entry.children.empty()) entry.command_id = 0;
    if ((item.menu_flags & kMenuHidden) == 0) menu.bar.push_back(std::move(entry));
  }
  return menu;
}

std::vector<platform::MenuEntry> PopupOf(const WindowRecord& window, int item_index) {
  if (item_index < 0 || static_cast<size_t>(item_index) >= window.units.size()) return {};
  const UnitRecord& item = window.units[static_cast<size_t>(item_index)];
  if (!item.is_menu_item()) return {};
  std::vector<int> positions = MenuPositions(window);
  size_t at = static_cast<size_t>(item_index) + 1;
  return SubItems(window, positions, &at, item.level);
}

int MenuItemOfCommand(const WindowRecord& window, int command_id) {
  int position = command_id - kFirstMenuCommand;
  if (position < 0) return -1;
  int next = 0;
  for (size_t i = 0; i < window.units.size(); ++i) {
    if (!window.units[i].is_menu_item()) continue;
    if (next++ == position) return static_cast<int>(i);
  }
  return -1;
}

}  // namespace memo::ui
