// The "MGridCells" layout (round trip, damaged data refused) and the grid's copy and paste
// through the headless clipboard.
#include "ui/grid/grid_cells_format.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

#include "platform/file.h"
#include "platform/input.h"
#include "tests/ui/grid/grid_test_util.h"
#include "ui/grid/grid.h"

namespace memo::ui::testing {
namespace {

namespace vk = platform::vk;
constexpr int kCtrl = platform::kShiftCtrl;
constexpr int kShift = platform::kShiftShift;

CellBlock Sample() {
  CellBlock block;
  block.cells = {{"a", "", G("分类")}, {"tab\there", "line\r\nbreak", std::string("\0z", 2)}};
  return block;
}

TEST(GridCellsFormat, RoundTripKeepsEveryCell) {
  const CellBlock block = Sample();
  const std::string data = EncodeGridCells(block);
  EXPECT_EQ(data.substr(0, 4), "MGC1");
  std::optional<CellBlock> back = DecodeGridCells(data);
  ASSERT_TRUE(back);
  EXPECT_EQ(*back, block);
}

TEST(GridCellsFormat, PlainTextSeparatesCellsByTabsAndRowsByLineBreaks) {
  CellBlock block;
  block.cells = {{"1", "2"}, {"3", "4"}};
  EXPECT_EQ(GridCellsAsText(block), "1\t2\r\n3\t4\r\n");
}

TEST(GridCellsFormat, EveryTruncationIsRefused) {
  const std::string data = EncodeGridCells(Sample());
  for (size_t n = 0; n < data.size(); ++n) {
    EXPECT_FALSE(DecodeGridCells(std::string_view(data.data(), n))) << n;
  }
  EXPECT_FALSE(DecodeGridCells(data + "x"));  // and bytes left over
}

TEST(GridCellsFormat, ForeignOrImpossibleHeadersAreRefused) {
  std::string data = EncodeGridCells(Sample());
  std::string other = data;
  other[3] = '2';
  EXPECT_FALSE(DecodeGridCells(other));
  auto with_counts = [&](uint32_t rows, uint32_t columns) {
    std::string d = data;
    for (int i = 0; i < 4; ++i) {
      d[4 + i] = static_cast<char>((rows >> (8 * i)) & 0xFF);
      d[8 + i] = static_cast<char>((columns >> (8 * i)) & 0xFF);
    }
    return d;
  };
  EXPECT_FALSE(DecodeGridCells(with_counts(0, 3)));
  EXPECT_FALSE(DecodeGridCells(with_counts(2, 0)));
  // Four billion squared cells in a few dozen bytes: refused before anything is allocated.
  EXPECT_FALSE(DecodeGridCells(with_counts(0xFFFFFFFFu, 0xFFFFFFFFu)));
  EXPECT_FALSE(DecodeGridCells(with_counts(0x10000u, 0x10000u)));
  // A cell length running past the end.
  std::string long_cell = data;
  long_cell[12] = '\x7F';
  long_cell[15] = '\x7F';
  EXPECT_FALSE(DecodeGridCells(long_cell));
}

TEST(GridCellsFormat, RandomDamageNeverReadsOutsideTheData) {
  const std::string data = EncodeGridCells(Sample());
  std::mt19937 random(12345);
  int accepted = 0;
  for (int i = 0; i < 3000; ++i) {
    std::string damaged = data;
    int flips = 1 + static_cast<int>(random() % 4);
    for (int f = 0; f < flips; ++f) {
      damaged[random() % damaged.size()] = static_cast<char>(random() & 0xFF);
    }
    damaged.resize(random() % (damaged.size() + 8), static_cast<char>(random() & 0xFF));
    std::optional<CellBlock> block = DecodeGridCells(damaged);
    if (block) {
      ++accepted;
      EXPECT_EQ(EncodeGridCells(*block), damaged);  // whatever is accepted is exactly its layout
    }
  }
  EXPECT_LT(accepted, 3000);
}

class GridClipboardTest : public GridTest {
 protected:
  void SetUp() override {
    GridTest::SetUp();
    WriteFixedTable(dir_.File("t.edb"), 12);
    MakeGrid();
    Connect(dir_.File("t.edb"));
  }
};

TEST_F(GridClipboardTest, CtrlCCopiesTheRectangleInBothForms) {
  Click(2, 1);
  Click(3, 2, kShift);
  Key('C', kCtrl);
  EXPECT_EQ(backend_.ClipboardText(),
            "r2\t" + G("2014年7月11日") + "\r\nr3\t" + G("2014年7月12日") + "\r\n");
  std::optional<std::string> data = backend_.ClipboardData(kGridCellsFormat);
  ASSERT_TRUE(data);
  std::optional<CellBlock> block = DecodeGridCells(*data);
  ASSERT_TRUE(block);
  EXPECT_EQ(block->rows(), 2);
  EXPECT_EQ(block->columns(), 2);
  EXPECT_EQ(block->cells[1][0], "r3");
  // Copying changes neither the selection nor the table.
  EXPECT_EQ(First(), (GridCell{2, 1}));
  EXPECT_EQ(Second(), (GridCell{3, 2}));
}

TEST_F(GridClipboardTest, PasteWritesAtTheTopLeftAndSelectsWhatItWrote) {
  Click(2, 1);
  Click(3, 3, kShift);
  Key('C', kCtrl);
  Click(9, 1);
  TakeCorners();
  Key('V', kCtrl);
  EXPECT_EQ(grid_->CellText(9, 1), "r2");
  EXPECT_EQ(grid_->CellText(9, 2), G("2014年7月11日"));
  EXPECT_EQ(grid_->CellText(9, 3), "2");
  EXPECT_EQ(grid_->CellText(10, 1), "r3");
  EXPECT_EQ(grid_->CellText(10, 3), "3");
  EXPECT_EQ(grid_->CellText(9, 4), "note 9");  // right of the paste: untouched
  EXPECT_EQ(grid_->CellText(11, 1), "r11");    // below it too
  EXPECT_EQ(First(), (GridCell{9, 1}));
  EXPECT_EQ(Second(), (GridCell{10, 3}));
  EXPECT_EQ(TakeCorners(), (std::vector<std::pair<bool, bool>>{{false, true}}));
  // The date column got its value through the date parser, the integer column as a number.
  db::DBProvider check;
  ASSERT_TRUE(check.Connect(dir_.File("t.edb")));
  TypedValue value;
  ASSERT_TRUE(check.CellValue(8, 1, &value));
  EXPECT_DOUBLE_EQ(value.Double(), 41831.0);
}

TEST_F(GridClipboardTest, APasteThatCannotBeWrittenStopsAndSaysSo) {
  Click(2, 1);
  Click(3, 3, kShift);
  Key('C', kCtrl);
  Click(9, 1);
  {
    platform::File busy;
    ASSERT_EQ(platform::File::Open(dir_.File("t.edb"), platform::FileAccess::kRead,
                                   platform::FileShare::kDenyNone,
                                   platform::FileCreate::kOpenExisting, &busy),
              platform::FileError::kNone);
    // Every record's lock, all but the header's count.
    ASSERT_EQ(busy.Lock(17, 0x7FFFFFFF - 17), platform::FileError::kNone);
    Key('V', kCtrl);
  }
  // One box for the whole paste, and not a cell written.
  ASSERT_EQ(backend_.boxes().size(), 1u);
  EXPECT_EQ(backend_.boxes()[0].text_gbk.rfind(G("保存失败："), 0), 0u);
  EXPECT_NE(backend_.boxes()[0].text_gbk.find(G("加锁失败")), std::string::npos);
  EXPECT_EQ(grid_->CellText(9, 1), "r9");
  EXPECT_EQ(grid_->CellText(10, 1), "r10");
}

TEST_F(GridClipboardTest, APasteIsCutAtTheTablesEdges) {
  Click(1, 1);
  Click(3, 3, kShift);
  Key('C', kCtrl);
  Click(12, 4);
  Key('V', kCtrl);
  EXPECT_EQ(grid_->CellText(12, 4), "r1");
  EXPECT_EQ(grid_->CellText(12, 3), "12");
  EXPECT_EQ(grid_->DataRowCount(), 12);  // nothing appended
  EXPECT_EQ(First(), (GridCell{12, 4}));
  EXPECT_EQ(Second(), (GridCell{12, 4}));
}

TEST_F(GridClipboardTest, DamagedOrForeignClipboardDataIsRefused) {
  platform::ClipboardContent garbage;
  garbage.text_gbk = "x\ty";
  garbage.formats.emplace_back(kGridCellsFormat, std::string("MGC1\x02\0\0\0\xFF\xFF\xFF\xFF", 12));
  backend_.SetClipboard(garbage);
  Click(2, 2);
  Key('V', kCtrl);
  EXPECT_EQ(grid_->CellText(2, 2), G("2014年7月11日"));
  platform::ClipboardContent text_only;
  text_only.text_gbk = "plain";
  backend_.SetClipboard(text_only);
  Key('V', kCtrl);
  EXPECT_EQ(grid_->CellText(2, 2), G("2014年7月11日"));
  EXPECT_EQ(First(), (GridCell{2, 2}));
}

TEST_F(GridClipboardTest, NoPasteIntoAReadOnlyDataSource) {
  Click(1, 1);
  Key('C', kCtrl);
  source_.set_read_only(true);
  Click(5, 1);
  Key('V', kCtrl);
  EXPECT_EQ(grid_->CellText(5, 1), "r5");
}

}  // namespace
}  // namespace memo::ui::testing
