// The settings an advanced grid takes from its type block: the follow-up window's block, the
// extension and its border styles, the selection colour, and blocks that cannot make a grid.
#include <gtest/gtest.h>

#include "ui/advanced_grid/egrid_settings.h"
#include "ui/format/type_blocks.h"

namespace memo::ui {
namespace {

// The block of the follow-up window's grid.
EGridBlock FollowUpBlock() {
  EGridBlock block;
  const uint32_t words[28] = {0xC0C0C0, 0xFFFFFF, 0, 0,        3, 1, 1, 24,         325, 1,
                              2,        0,        0, 0,        1, 1, 1, 0xFF000000, 0,   0,
                              3,        1,        1, 0xFF9933, 1, 0, 0, 1};
  std::copy(std::begin(words), std::end(words), block.words);
  return block;
}

TEST(EGridSettingsFromBlock, TheFollowUpGrid) {
  EGridSettings settings;
  ASSERT_EQ(SettingsFromBlock(FollowUpBlock(), &settings), EGridBlockError::kNone);
  EXPECT_EQ(settings.grid_line, 0xC0C0C0u);
  EXPECT_EQ(settings.background, 0xFFFFFFu);
  EXPECT_EQ(settings.selection, 0xFF9933u);
  EXPECT_EQ(settings.row_height, 24);
  EXPECT_EQ(settings.column_width, 325);
  EXPECT_EQ(settings.rows, 1);
  EXPECT_EQ(settings.columns, 2);
  EXPECT_EQ(settings.fixed_rows, 0);
  EXPECT_EQ(settings.fixed_columns, 0);
  EXPECT_EQ(settings.scroll_bars, EGridScrollBars::kBoth);
  EXPECT_EQ(settings.border, 1);  // no extension: the sunken client edge
}

TEST(EGridSettingsFromBlock, ExtensionBorderStyles) {
  const std::pair<uint32_t, int> styles[] = {{1, 1}, {2, 2}, {3, 2}, {4, 1},
                                             {5, 2}, {0, 0}, {6, 0}, {0xFFFFFFFF, 0}};
  for (auto [style, border] : styles) {
    EGridBlock block = FollowUpBlock();
    block.words[23] |= 0x80000000u;
    block.has_extension = true;
    block.extension_format = style % 2;  // 0 and 1 are both formats a grid reads
    block.extension_border = style;
    EGridSettings settings;
    ASSERT_EQ(SettingsFromBlock(block, &settings), EGridBlockError::kNone) << style;
    EXPECT_EQ(settings.border, border) << style;
    EXPECT_EQ(settings.selection, 0xFF9933u);  // the marker bit is no part of the colour
  }
}

TEST(EGridSettingsFromBlock, SelectionColourDefaultsToTheSystemHighlight) {
  EGridBlock old = FollowUpBlock();
  old.version = 7;
  old.words[23] = 0x123456;  // not stored before version 8
  EGridSettings settings;
  ASSERT_EQ(SettingsFromBlock(old, &settings), EGridBlockError::kNone);
  EXPECT_EQ(settings.selection, kSystemHighlight);
  EGridBlock marker = FollowUpBlock();
  marker.words[23] = kSystemHighlightColour;  // the block's own default
  ASSERT_EQ(SettingsFromBlock(marker, &settings), EGridBlockError::kNone);
  EXPECT_EQ(settings.selection, kSystemHighlight);
  EXPECT_EQ(SettingsFromBlock(EGridBlock{}, &settings), EGridBlockError::kNone);
  EXPECT_EQ(settings.selection, kSystemHighlight);
  EGridBlock black = FollowUpBlock();
  black.words[23] = 0x80000000u;  // black, with an extension
  black.has_extension = true;
  ASSERT_EQ(SettingsFromBlock(black, &settings), EGridBlockError::kNone);
  EXPECT_EQ(settings.selection, 0u);
}

TEST(EGridSettingsFromBlock, BlocksThatCannotMakeAGridLeaveTheSettingsAlone) {
  EGridSettings settings;
  settings.rows = 77;
  EGridBlock newer = FollowUpBlock();
  newer.version = 13;
  EXPECT_EQ(SettingsFromBlock(newer, &settings), EGridBlockError::kNewerVersion);
  EGridBlock format = FollowUpBlock();
  format.has_extension = true;
  format.extension_format = 2;
  EXPECT_EQ(SettingsFromBlock(format, &settings), EGridBlockError::kBadExtension);
  for (int word : {7, 8, 9, 10, 12, 13}) {
    EGridBlock huge = FollowUpBlock();
    huge.words[word] = 0xFFFFFFFFu;
    EXPECT_EQ(SettingsFromBlock(huge, &settings), EGridBlockError::kOutOfRange) << word;
  }
  EXPECT_EQ(settings.rows, 77);
}

}  // namespace
}  // namespace memo::ui
