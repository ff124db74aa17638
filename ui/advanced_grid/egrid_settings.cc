#include "ui/advanced_grid/egrid_settings.h"

#include <cstdint>

namespace memo::ui {

namespace {

// Positions of the block's words (words[0] is the first word after the version).
enum BlockWord {
  kGridLineWord = 0,
  kBackgroundWord = 1,
  kScrollBarsWord = 4,  // 3 in every grid of the program: read as 0 none, 1 horizontal,
                        // 2 vertical, 3 both (the edit box's numbering of its bars)
  kRowHeightWord = 7,
  kColumnWidthWord = 8,
  kRowsWord = 9,
  kColumnsWord = 10,
  kFixedRowsWord = 12,
  kFixedColumnsWord = 13,
};

constexpr uint32_t kNewestVersion = 12;
constexpr uint32_t kSelectionVersion = 8;

int BorderOfExtension(uint32_t style) {
  switch (style) {
    case 1:  // sunken client edge
    case 4:  // sunken edge inside a modal frame: the sunken edge is what shows
      return 1;
    case 2:  // modal frame
    case 3:  // static edge
    case 5:  // thin border
      return 2;
    default: return 0;
  }
}

platform::Color SelectionOf(const EGridBlock& block) {
  if (block.version < kSelectionVersion) return kSystemHighlight;  // not stored before
  // The top bit only announces the extension; the colour is the low 24 bits either way.
  uint32_t colour = block.SelectionColour();
  return colour == kSystemHighlightColour ? kSystemHighlight : (colour & 0xFFFFFFu);
}

}  // namespace

EGridBlockError SettingsFromBlock(const EGridBlock& block, EGridSettings* out) {
  if (block.version > kNewestVersion) return EGridBlockError::kNewerVersion;
  if (block.has_extension && block.extension_format > 1) return EGridBlockError::kBadExtension;
  const uint32_t* w = block.words;
  if (w[kRowsWord] > kEGridMaxRows || w[kColumnsWord] > kEGridMaxColumns ||
      w[kFixedRowsWord] > kEGridMaxRows || w[kFixedColumnsWord] > kEGridMaxColumns ||
      w[kRowHeightWord] > kEGridMaxCellSize || w[kColumnWidthWord] > kEGridMaxCellSize) {
    return EGridBlockError::kOutOfRange;
  }
  EGridSettings settings;
  settings.grid_line = w[kGridLineWord] & 0xFFFFFFu;
  settings.background = w[kBackgroundWord] & 0xFFFFFFu;
  settings.selection = SelectionOf(block);
  settings.row_height = static_cast<int>(w[kRowHeightWord]);
  settings.column_width = static_cast<int>(w[kColumnWidthWord]);
  settings.rows = static_cast<int>(w[kRowsWord]);
  settings.columns = static_cast<int>(w[kColumnsWord]);
  settings.fixed_rows = static_cast<int>(w[kFixedRowsWord]);
  settings.fixed_columns = static_cast<int>(w[kFixedColumnsWord]);
  uint32_t bars = w[kScrollBarsWord];
  settings.scroll_bars = bars <= 3 ? static_cast<EGridScrollBars>(bars) : EGridScrollBars::kBoth;
  settings.border = block.has_extension ? BorderOfExtension(block.extension_border) : 1;
  *out = settings;
  return EGridBlockError::kNone;
}

}  // namespace memo::ui
