#include "ui/window/pinyin_initial.h"

#include <cctype>
#include <cstdint>

namespace memo::ui {

namespace {

// The first code of each initial's run among the level-1 characters.
struct Run {
  uint16_t first;
  char letter;
};
constexpr Run kRuns[] = {
    {0xB0A1, 'A'}, {0xB0C5, 'B'}, {0xB2C1, 'C'}, {0xB4EE, 'D'}, {0xB6EA, 'E'}, {0xB7A2, 'F'},
    {0xB8C1, 'G'}, {0xB9FE, 'H'}, {0xBBF7, 'J'}, {0xBFA6, 'K'}, {0xC0AC, 'L'}, {0xC2E8, 'M'},
    {0xC4C3, 'N'}, {0xC5B6, 'O'}, {0xC5BE, 'P'}, {0xC6DA, 'Q'}, {0xC8BB, 'R'}, {0xC8F6, 'S'},
    {0xCBFA, 'T'}, {0xCDDA, 'W'}, {0xCEF4, 'X'}, {0xD1B9, 'Y'}, {0xD4D1, 'Z'},
};
constexpr uint16_t kLastLevelOne = 0xD7F9;

}  // namespace

char PinyinInitial(std::string_view text) {
  if (text.empty()) return 0;
  const unsigned char lead = static_cast<unsigned char>(text[0]);
  if (lead < 0x80) {
    return std::isalnum(lead) ? static_cast<char>(std::toupper(lead)) : 0;
  }
  if (text.size() < 2) return 0;
  const uint16_t code = static_cast<uint16_t>(lead << 8 | static_cast<unsigned char>(text[1]));
  if (code < kRuns[0].first || code > kLastLevelOne) return 0;
  // Within a row only trail bytes 0xA1..0xFE are characters.
  if ((code & 0xFF) < 0xA1 || (code & 0xFF) == 0xFF) return 0;
  char letter = 0;
  for (const Run& run : kRuns) {
    if (code < run.first) break;
    letter = run.letter;
  }
  return letter;
}

}  // namespace memo::ui
