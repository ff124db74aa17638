// Breaking a GBK text into lines no wider than a width, for the texts the grids show in full
// (the tip over a cut-off cell, the in-place editor). Line breaks in the text (CR LF, or a lone
// LF) end a line; a line is broken after its last space that fits, else at the last character
// that fits; a line always holds at least one character, so a character wider than the width
// gets a line of its own.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/font.h"

namespace memo::ui {

struct WrappedText {
  std::vector<std::string> lines;  // without their line breaks
  int widest = 0;                  // the widest line, in pixels
  int line_height = 0;             // of one line of the font
  int height() const { return static_cast<int>(lines.size()) * line_height; }
  // The lines joined by CR LF.
  std::string Joined() const;
};

// Measures through the installed backend; without one every character counts 8 x 16 pixels.
// `width` below 1 counts as 1.
WrappedText WrapText(const platform::FontSpec& font, std::string_view text_gbk, int width);

}  // namespace memo::ui
