// Key names of scenario scripts: a key with optional modifiers joined by "+" ("ctrl+End",
// "shift+Down", "ctrl+shift+Home"). Names and modifiers are case-insensitive.
#pragma once

#include <string>
#include <string_view>

namespace memo::script {

// A key as the program receives it: a Windows virtual-key code and the runtime's shift state
// (1 Ctrl, 2 Shift, 4 Alt).
struct KeyStroke {
  int key = 0;
  int shift = 0;
};

// Enter, Esc, Tab, Up, Down, Left, Right, PageUp, PageDown, Home, End, F1 .. F12, Space, Delete,
// Backspace, Insert; a single letter or digit (its key); or a virtual-key number 10 .. 254
// (a lone digit is the digit's key). Modifiers: ctrl, shift, alt, each at most once.
// False with *error set for anything else.
bool ParseKey(std::string_view text, KeyStroke* out, std::string* error);

}  // namespace memo::script
