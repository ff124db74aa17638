// Input as the runtime sees it: the classic windowing messages, delivered to the runtime before
// the control they are aimed at sees them, so that the runtime can raise its common events and
// swallow or replace the input.
//
// Keys are Windows virtual-key codes; the shift state is the runtime's bit set (1 Ctrl, 2 Shift,
// 4 Alt); characters are code-page characters: a single byte below 0x80, or a GBK double-byte
// character as (lead << 8) | trail.
#pragma once

#include <cstdint>

namespace memo::platform {

enum class InputKind {
  kLeftDown,
  kLeftUp,
  kLeftDoubleClick,
  kRightDown,
  kRightUp,
  kMouseMove,
  kWheel,
  kKeyDown,
  kKeyUp,
  kChar,
  kFocusGained,  // notifications only: swallowing or replacing them has no effect
  kFocusLost,
};

// Shift-state bits.
constexpr int kShiftCtrl = 1;
constexpr int kShiftShift = 2;
constexpr int kShiftAlt = 4;

// Virtual-key codes used by the runtime and the scripts. Letters and digits are their upper-case
// ASCII codes ('A' 65 ... 'Z' 90, '0' 48 ... '9' 57).
namespace vk {
constexpr int kBack = 8;
constexpr int kTab = 9;
constexpr int kReturn = 13;
constexpr int kShift = 16;
constexpr int kControl = 17;
constexpr int kMenu = 18;  // Alt
constexpr int kPause = 19;
constexpr int kCapital = 20;
constexpr int kEscape = 27;
constexpr int kSpace = 32;
constexpr int kPrior = 33;  // Page Up
constexpr int kNext = 34;   // Page Down
constexpr int kEnd = 35;
constexpr int kHome = 36;
constexpr int kLeft = 37;
constexpr int kUp = 38;
constexpr int kRight = 39;
constexpr int kDown = 40;
constexpr int kInsert = 45;
constexpr int kDelete = 46;
constexpr int kF1 = 112;  // F1 ... F12 are 112 ... 123
constexpr int kF12 = 123;
}  // namespace vk

struct InputEvent {
  InputKind kind = InputKind::kMouseMove;
  int x = 0;  // mouse: client pixels of the control (or window) under the input
  int y = 0;
  int shift = 0;            // kShiftCtrl | kShiftShift | kShiftAlt
  int key = 0;              // kKeyDown/kKeyUp: virtual-key code; kChar: the character code
  int wheel = 0;            // kWheel: notches, positive away from the user
  bool system_key = false;  // a key pressed with Alt (or F10): the classic "system key"
  bool auto_repeat = false;
};

// What the runtime wants done with an input.
struct InputDecision {
  enum class Action { kPass, kSwallow, kReplace };
  Action action = Action::kPass;
  uint32_t replacement = 0;  // kReplace (characters only): the character the control gets

  static InputDecision Pass() { return {}; }
  static InputDecision Swallow() { return {Action::kSwallow, 0}; }
  static InputDecision Replace(uint32_t character) { return {Action::kReplace, character}; }
};

}  // namespace memo::platform
