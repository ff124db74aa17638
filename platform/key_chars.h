// The characters keys type where a backend has to decide it itself: one table for the headless
// backend's keyboard and the Qt backend's key events, so that Ctrl+V, Ctrl+Enter and
// Ctrl+Backspace reach the runtime as the same characters whichever backend runs.
#pragma once

#include <cstdint>

namespace memo::platform {

// The character a key types while Ctrl is held (without Alt), as the classic keyboard
// translation gives it whatever the platform reports: a letter its control character (Ctrl+A is
// 1, Ctrl+V 22), Enter a line feed (10), Backspace 127. Any other key types nothing: 0.
uint32_t CtrlCharacterOf(int virtual_key);

}  // namespace memo::platform
