// Fonts as the window definitions describe them: the fields of a Windows LOGFONT that matter
// for drawing. Reading the stored 60-byte LOGFONT into a FontSpec happens above the seam.
#pragma once

#include <string>

namespace memo::platform {

struct FontSpec {
  // LOGFONT height: negative = character height in pixels, positive = cell height in pixels,
  // 0 = the default size.
  int height = 0;
  int weight = 0;  // 0 default, 400 normal, 700 bold
  bool italic = false;
  bool underline = false;
  bool strike_out = false;
  int escapement = 0;    // rotation in tenths of a degree, counter-clockwise
  std::string face_gbk;  // empty: the default face

  // True for the platform's default GUI font (no face, no size, no style).
  bool IsDefault() const {
    return height == 0 && weight == 0 && !italic && !underline && !strike_out && escapement == 0 &&
           face_gbk.empty();
  }
  friend bool operator==(const FontSpec&, const FontSpec&) = default;
};

struct FontMetrics {
  int height = 0;  // ascent + descent
  int ascent = 0;
  int descent = 0;
  int average_char_width = 0;
};

}  // namespace memo::platform
