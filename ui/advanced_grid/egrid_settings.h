// The advanced grid's stored settings: what its type block (EGridBlock) fixes when the grid is
// created, and what the reset command restores.
#pragma once

#include "platform/geometry.h"
#include "ui/format/type_blocks.h"

namespace memo::ui {

// Counts and sizes a grid accepts. A block or a property write beyond them is refused rather
// than allowed to exhaust memory or overflow the pixel arithmetic of the layout.
constexpr int kEGridMaxRows = 1000000;
constexpr int kEGridMaxColumns = 10000;
constexpr int kEGridMaxCellSize = 32767;  // pixels, of a row height or a column width

// The colour the system highlights a selection with (0x00BBGGRR).
constexpr platform::Color kSystemHighlight = 0xFF9933;

enum class EGridScrollBars { kNone = 0, kHorizontal = 1, kVertical = 2, kBoth = 3 };

struct EGridSettings {
  platform::Color grid_line = 0xC0C0C0;
  platform::Color background = 0xFFFFFF;
  platform::Color selection = kSystemHighlight;
  int row_height = 24;
  int column_width = 60;
  int rows = 5;
  int columns = 5;
  int fixed_rows = 1;
  int fixed_columns = 1;
  EGridScrollBars scroll_bars = EGridScrollBars::kBoth;
  int border = 1;  // the canvas border: 0 none, 1 sunken client edge, 2 a thin frame
  friend bool operator==(const EGridSettings&, const EGridSettings&) = default;
};

// Why a block cannot make a grid.
enum class EGridBlockError {
  kNone,
  kNewerVersion,  // a version this grid does not know
  kBadExtension,  // an extension whose format number is neither 0 nor 1
  kOutOfRange,    // counts or sizes beyond the limits above
};

// The settings a block describes. On failure *out is left as it was.
EGridBlockError SettingsFromBlock(const EGridBlock& block, EGridSettings* out);

}  // namespace memo::ui
