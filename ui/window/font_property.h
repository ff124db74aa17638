// Font properties: a stored LOGFONT (or the default GUI font) read and written whole or through
// its seven sub-properties: 0 rotation in tenths of a degree (modulo 3600), 1 bold (weight 700
// or 0), 2 italic, 3 underline, 4 strike-out, 5 size in points, 6 face name (1 to 31 bytes).
// Sub-index -1 is the whole property: the 60-byte LOGFONT as a byte-set (empty for the default
// font).
#pragma once

#include "runtime/value.h"
#include "ui/format/type_blocks.h"

namespace memo::ui {

constexpr int kFontWhole = -1;
constexpr int kFontRotation = 0;
constexpr int kFontBold = 1;
constexpr int kFontItalic = 2;
constexpr int kFontUnderline = 3;
constexpr int kFontStrikeOut = 4;
constexpr int kFontSize = 5;
constexpr int kFontFace = 6;

// The result cell of a font property (owned by the caller); empty for an unknown sub-index.
TypedValue ReadFontProperty(const StoredFont& font, int sub_index);
// Writes it; false when the value is refused (a face name that is empty or does not fit, a
// whole font that is not a 60-byte LOGFONT, an unknown sub-index). A sub-property written on the
// default font turns it into a LOGFONT of the default font with that change.
bool WriteFontProperty(StoredFont* font, int sub_index, const TypedValue& value);

// Point size <-> LOGFONT height at 96 pixels per inch.
int PointSizeOfHeight(int32_t height);
int32_t HeightOfPointSize(int points);

}  // namespace memo::ui
