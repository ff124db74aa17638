#include "platform/key_chars.h"

#include "platform/input.h"

namespace memo::platform {

uint32_t CtrlCharacterOf(int virtual_key) {
  if (virtual_key >= 'A' && virtual_key <= 'Z') return static_cast<uint32_t>(virtual_key - 'A' + 1);
  if (virtual_key == vk::kReturn) return 10;
  if (virtual_key == vk::kBack) return 127;
  return 0;
}

}  // namespace memo::platform
