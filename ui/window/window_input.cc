// A window's input pre-processing: every input aimed at the window or one of its controls passes
// here before the control sees it. In order:
//   1. input to a helper control a unit adopted goes to that unit alone;
//   2. the keys every window handles (Tab, Enter, Esc, F1, F10 and Alt with a letter of the
//      menu bar, Alt with a marked letter) — a key
//      consumed here raises no common event, and the character it would type is swallowed too;
//   3. the common events -1 .. -12 of the unit under the input; a routine that returns false
//      swallows a mouse or key input, and for a typed character a non-zero result replaces it;
//   4. the unit's own filter (an edit box's length limit and case conversion).
#include <cctype>
#include <string>

#include "platform/backend.h"
#include "platform/file.h"
#include "platform/gbk.h"
#include "runtime/program.h"
#include "ui/window/events.h"
#include "ui/window/live_window.h"
#include "ui/window/menus.h"

namespace memo::ui {

namespace {

using platform::InputDecision;
using platform::InputEvent;
using platform::InputKind;
namespace vk = platform::vk;

constexpr int kNoCtrlAlt = platform::kShiftCtrl | platform::kShiftAlt;

// The help file of a window: its block's, else the program's own file name with the extension
// "hlp", beside it.
std::string HelpFileOf(const WindowBlock& block) {
  if (!block.help_file.empty()) return block.help_file;
  std::string name = ExecutableName();
  size_t dot = name.rfind('.');
  if (dot != std::string::npos) name.resize(dot);
  return name + ".hlp";
}

// A caption's mnemonic: the character after a single "&" ("&&" is a literal ampersand),
// upper-cased; 0 when there is none.
int MnemonicOf(const std::string& caption) {
  for (size_t i = 0; i + 1 < caption.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(caption[i]);
    if (IsLeadByte(c)) {  // a two-byte character never carries the mark
      ++i;
      continue;
    }
    if (c != '&') continue;
    unsigned char next = static_cast<unsigned char>(caption[i + 1]);
    if (next == '&') {
      ++i;
      continue;
    }
    return next < 0x80 ? std::toupper(next) : 0;
  }
  return 0;
}

bool Usable(Unit* unit) {
  if (!unit) return false;
  platform::Control* control = unit->control();
  return control && control->IsVisible() && control->IsEnabled();
}

// Enter: the focused button-like control, then focus moving on when the window says so, then
// the other button-like units in table order.
bool HandleEnter(LiveWindowImpl* window, int index) {
  Unit* focused = window->UnitAt(index);
  if (focused && index > 0 && focused->TakesEnter(true)) {
    focused->Activate();
    return true;
  }
  if (window->block().enter_moves_focus != 0) {
    window->MoveFocusByTab(index, false);
    return true;
  }
  for (size_t i = 1; i < window->units_.size(); ++i) {
    if (static_cast<int>(i) == index) continue;
    Unit* unit = window->units_[i].get();
    if (Usable(unit) && unit->TakesEnter(false)) {
      unit->Activate();
      return true;
    }
  }
  return false;
}

// The menu bar entry whose keyboard letter is `key`, or -1.
int MenuBarEntryOf(LiveWindowImpl* window, int key) {
  const BuiltMenu menu = BuildMenu(window->record());
  for (size_t i = 0; i < menu.bar.size(); ++i) {
    if (!menu.bar[i].disabled && MnemonicOf(menu.bar[i].caption_gbk) == key) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

bool HandleMnemonic(LiveWindowImpl* window, int key) {
  if (int entry = MenuBarEntryOf(window, key); entry >= 0) {
    window->native()->OpenMenuBar(entry);
    return true;
  }
  for (size_t i = 1; i < window->units_.size(); ++i) {
    Unit* unit = window->units_[i].get();
    if (!Usable(unit)) continue;
    if (MnemonicOf(unit->MnemonicCaption()) == key) {
      unit->Activate();
      return true;
    }
  }
  return false;
}

// The keys every window handles. True when the key was consumed. The window may be gone after.
bool HandleWindowKey(LiveWindowImpl* window, int index, const InputEvent& event) {
  int key = event.key;
  bool plain = (event.shift & kNoCtrlAlt) == 0;
  if (key == vk::kTab && plain) {
    return window->MoveFocusByTab(index, (event.shift & platform::kShiftShift) != 0);
  }
  if (key == vk::kReturn && plain) return HandleEnter(window, index);
  if (key == vk::kEscape && plain && window->block().esc_closes != 0) {
    RequestClose(window);
    return true;
  }
  if (key == vk::kF1 && plain && window->block().f1_opens_help != 0) {
    std::string file = HelpFileOf(window->block());
    platform::Backend* backend = platform::CurrentBackend();
    if (backend && platform::FileExists(file)) {
      backend->OpenHelp(platform::FullPath(file), static_cast<int>(window->block().help_topic));
      return true;
    }
    return false;
  }
  if (key == vk::kF1 + 9 && plain && !BuildMenu(window->record()).bar.empty()) {  // F10
    window->native()->OpenMenuBar(0);
    return true;
  }
  bool alt_only =
      (event.shift & platform::kShiftAlt) != 0 && (event.shift & platform::kShiftCtrl) == 0;
  if (alt_only && ((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9'))) {
    return HandleMnemonic(window, key);
  }
  return false;
}

// The character a consumed key would type next.
int CharacterOfKey(int key) {
  switch (key) {
    case vk::kTab: return 9;
    case vk::kReturn: return 13;
    case vk::kEscape: return 27;
    default: return 0;
  }
}

struct Common {
  int32_t event = 0;
  bool notification = false;  // focus: the result changes nothing
};

Common CommonEventOf(InputKind kind) {
  switch (kind) {
    case InputKind::kLeftDown: return {event::kLeftDown};
    case InputKind::kLeftUp: return {event::kLeftUp};
    case InputKind::kLeftDoubleClick: return {event::kLeftDoubleClick};
    case InputKind::kRightDown: return {event::kRightDown};
    case InputKind::kRightUp: return {event::kRightUp};
    case InputKind::kMouseMove: return {event::kMouseMove};
    case InputKind::kWheel: return {event::kWheel};
    case InputKind::kKeyDown: return {event::kKeyDown};
    case InputKind::kKeyUp: return {event::kKeyUp};
    case InputKind::kChar: return {event::kCharacter};
    case InputKind::kFocusGained: return {event::kFocusGained, true};
    case InputKind::kFocusLost: return {event::kFocusLost, true};
  }
  return {};
}

}  // namespace

InputDecision PreprocessInput(LiveWindowImpl* window, platform::Control* target,
                              const InputEvent& event) {
  if (FatalReportInProgress() || window->destroying_ || !window->alive()) {
    return InputDecision::Pass();
  }
  if (Unit* owner = window->AdoptedOwner(target)) return owner->FilterChildInput(target, event);
  int index = target ? window->IndexOfControl(target) : 0;
  if (index < 0) return InputDecision::Pass();
  std::weak_ptr<char> life = window->LifeToken();

  if (event.kind == InputKind::kKeyDown || event.kind == InputKind::kKeyUp) {
    if (event.kind == InputKind::kKeyDown) window->swallow_character_ = 0;
    if (event.kind == InputKind::kKeyDown && HandleWindowKey(window, index, event)) {
      if (!life.expired()) window->swallow_character_ = CharacterOfKey(event.key);
      return InputDecision::Swallow();
    }
    if (life.expired()) return InputDecision::Swallow();
  }
  if (event.kind == InputKind::kChar && window->swallow_character_ != 0) {
    bool same = event.key == window->swallow_character_;
    window->swallow_character_ = 0;
    if (same) return InputDecision::Swallow();
  }

  const uint32_t unit_id = window->record().units[static_cast<size_t>(index)].id;
  Common common = CommonEventOf(event.kind);
  std::optional<uint32_t> result;
  switch (event.kind) {
    case InputKind::kLeftDown:
    case InputKind::kLeftUp:
    case InputKind::kLeftDoubleClick:
    case InputKind::kRightDown:
    case InputKind::kRightUp:
    case InputKind::kMouseMove:
      RaiseUnitEvent(window->window_id(), unit_id, common.event, {event.x, event.y, event.shift},
                     &result);
      break;
    case InputKind::kWheel:
      RaiseUnitEvent(window->window_id(), unit_id, common.event, {event.wheel, event.shift},
                     &result);
      break;
    case InputKind::kKeyDown:
    case InputKind::kKeyUp:
      RaiseUnitEvent(window->window_id(), unit_id, common.event, {event.key & 0x1FFF, event.shift},
                     &result);
      break;
    case InputKind::kChar:
      RaiseUnitEvent(window->window_id(), unit_id, common.event, {event.key}, &result);
      break;
    case InputKind::kFocusGained:
    case InputKind::kFocusLost: RaiseUnitEvent(window->window_id(), unit_id, common.event); break;
  }
  if (life.expired() || window->destroying_) return InputDecision::Swallow();
  InputDecision decision = InputDecision::Pass();
  if (result && !common.notification) {
    if (event.kind == InputKind::kChar) {
      decision = *result != 0 ? InputDecision::Replace(*result) : InputDecision::Swallow();
    } else if (*result == 0) {
      decision = InputDecision::Swallow();
    }
  }
  if (decision.action == InputDecision::Action::kSwallow || common.notification) {
    if (common.notification && index > 0) {
      if (Unit* unit = window->UnitAt(index)) unit->FilterInput(event);
    }
    return decision;
  }
  Unit* unit = window->UnitAt(index);
  if (!unit || index == 0) return decision;
  if (decision.action == InputDecision::Action::kReplace) {
    InputEvent replaced = event;
    replaced.key = static_cast<int>(decision.replacement);
    InputDecision own = unit->FilterInput(replaced);
    return own.action == InputDecision::Action::kPass ? decision : own;
  }
  return unit->FilterInput(event);
}

}  // namespace memo::ui
