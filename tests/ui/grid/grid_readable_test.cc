// Reading long memos in the data-bound grid: columns sized by dragging a heading border and
// fitted by a double click on it (widths kept by column name when the table is replaced), the
// tip over a cut-off cell, the in-place editor that wraps and grows, and scrolling that keeps
// the columns left of the cursor in view.
#include <gtest/gtest.h>

#include <string>

#include "tests/ui/grid/grid_test_util.h"
#include "ui/window/text_wrap.h"

namespace memo::ui::testing {
namespace {

using platform::InputKind;
using platform::Point;
using platform::Rect;

class GridReadableTest : public GridTest {
 protected:
  void SetUp() override {
    GridTest::SetUp();
    window_->on_input = [this](platform::Control* target, const platform::InputEvent& event) {
      if (grid_ && target && target == grid_->editor()) return grid_->FilterEditorInput(event);
      return platform::InputDecision::Pass();
    };
    MakeGrid();
    WriteMemoTable(dir_.File("a.mcn"), 30);
    Connect(dir_.File("a.mcn"));
  }
  // The right border of a data column in the heading row, in client pixels.
  Point BorderOf(int column) {
    Rect heading = grid_->layout().CellRect(0, column);
    return Point{heading.right() - 1, heading.height / 2};
  }
  int WidthOf(int column) { return grid_->layout().metrics().column_widths[column - 1]; }
  std::string LongMemo() {
    std::string text;
    for (int i = 0; i < 30; ++i) text += G("很长的记事");
    return text;
  }
};

TEST_F(GridReadableTest, DraggingAHeadingBorderSizesThatColumnAndNotTheSelection) {
  const Point border = BorderOf(1);
  Mouse(InputKind::kMouseMove, border);
  EXPECT_EQ(canvas_->cursor(), platform::CursorShape::kSizeWe);
  Mouse(InputKind::kMouseMove, Point{border.x - 20, border.y + 40});  // over a cell
  EXPECT_EQ(canvas_->cursor(), platform::CursorShape::kDefault);

  const int before = WidthOf(1);
  const GridCell cursor = grid_->cursor();
  Mouse(InputKind::kLeftDown, border);
  Mouse(InputKind::kMouseMove, Point{border.x + 35, border.y});
  Mouse(InputKind::kLeftUp, Point{border.x + 35, border.y});
  EXPECT_EQ(WidthOf(1), before + 35);
  EXPECT_EQ(grid_->cursor(), cursor);
  EXPECT_TRUE(TakeCorners().empty());
  // Dragged past the column's left edge it keeps a sliver that can be caught again.
  const Point again = BorderOf(1);
  Mouse(InputKind::kLeftDown, again);
  Mouse(InputKind::kMouseMove, Point{0, again.y});
  Mouse(InputKind::kLeftUp, Point{0, again.y});
  EXPECT_EQ(WidthOf(1), Grid::kMinColumnWidth);
  EXPECT_EQ(grid_->ColumnBorderAt(BorderOf(1)), 1);
}

TEST_F(GridReadableTest, DoubleClickOnABorderFitsTheWidestTextInViewAndWidthsOutliveTheTable) {
  ASSERT_TRUE(source_.SetCellText(2, 0, G("很长的分类")));  // the field's whole ten bytes
  Mouse(InputKind::kLeftDoubleClick, BorderOf(1));
  const int wide = backend_.MeasureText(backend_.DefaultGuiFont(), G("很长的分类")).width;
  EXPECT_GE(WidthOf(1), wide + 6);
  EXPECT_LE(WidthOf(1), wide + 12);
  // The time column fits its twenty characters, far narrower than its initial width.
  const int time_before = WidthOf(2);
  grid_->FitColumn(2);
  EXPECT_LT(WidthOf(2), time_before);
  const int time_fitted = WidthOf(2);
  // Another file with the same columns (the query view) keeps the sizes; closing and reopening
  // the grid's table too.
  WriteMemoTable(dir_.File("b.mcn"), 3);
  ASSERT_TRUE(provider_.Connect(dir_.File("b.mcn")));
  EXPECT_EQ(WidthOf(2), time_fitted);
  ASSERT_TRUE(provider_.Connect(dir_.File("a.mcn")));
  EXPECT_EQ(WidthOf(2), time_fitted);
}

TEST_F(GridReadableTest, ATipShowsTheWholeTextOfACutOffCellWrapped) {
  ASSERT_TRUE(source_.SetCellText(0, 2, LongMemo()));
  Mouse(InputKind::kMouseMove, CentreOf(1, 1));  // "c1" fits: no tip
  EXPECT_EQ(grid_->tip_text(), "");
  EXPECT_EQ(canvas_->tip_text(), "");
  const Point memo = CentreOf(1, 3);
  Mouse(InputKind::kMouseMove, memo);
  ASSERT_FALSE(canvas_->tip_text().empty());
  EXPECT_EQ(grid_->tip_cell(), (GridCell{1, 3}));
  // Every character is there, broken into lines none wider than the grid.
  std::string joined = canvas_->tip_text();
  for (size_t at; (at = joined.find("\r\n")) != std::string::npos;) joined.erase(at, 2);
  EXPECT_EQ(joined, LongMemo());
  EXPECT_NE(canvas_->tip_text().find("\r\n"), std::string::npos);
  const Rect tip = canvas_->tip_rect();
  EXPECT_GE(tip.left, 0);
  EXPECT_LE(tip.right(), grid_->layout().client_size().width);
  EXPECT_GT(tip.height, grid_->layout().metrics().row_height);
  // The tip goes with a press, a key, a scroll or the pointer moving to a cell that fits.
  Mouse(InputKind::kMouseMove, CentreOf(2, 1));
  EXPECT_EQ(canvas_->tip_text(), "");
  Mouse(InputKind::kMouseMove, memo);
  EXPECT_FALSE(canvas_->tip_text().empty());
  Key(platform::vk::kDown);
  EXPECT_EQ(canvas_->tip_text(), "");
}

TEST_F(GridReadableTest, TheEditorWrapsALongMemoAndGrowsDownwardsWithinTheGrid) {
  ASSERT_TRUE(source_.SetCellText(1, 2, LongMemo()));
  Click(2, 3);
  Click(2, 3);
  ASSERT_TRUE(grid_->editor_open());
  const Rect editor = grid_->editor()->Geometry();
  const platform::Size client = grid_->layout().client_size();
  const Rect cell = grid_->layout().CellRect(2, 3);
  EXPECT_GE(editor.left, grid_->layout().metrics().heading_width);
  EXPECT_LE(editor.right(), client.width);
  EXPECT_LE(editor.bottom(), client.height);
  EXPECT_EQ(editor.top, cell.top);  // downwards from the cell
  // Tall enough for the text wrapped at its width.
  const WrappedText lines = WrapText(
      grid_->layout().metrics().row_height > 0 ? backend_.DefaultGuiFont() : platform::FontSpec{},
      LongMemo(), editor.width - 8);
  EXPECT_GT(lines.lines.size(), 2u);
  EXPECT_GE(editor.height, lines.height());
  // A short text keeps the editor one line high.
  ASSERT_TRUE(window_->UserKey(grid_->editor(), platform::vk::kEscape));
  Click(3, 3);
  Click(3, 3);
  ASSERT_TRUE(grid_->editor_open());
  EXPECT_LT(grid_->editor()->Geometry().height, editor.height / 2);
  EXPECT_LT(grid_->editor()->Geometry().width, editor.width);
}

TEST_F(GridReadableTest, MovingIntoAWideColumnKeepsTheColumnsToItsLeftInView) {
  // The memo column made wider than the view: showing it whole would push 分类 and 时间 out.
  const int room = grid_->layout().client_size().width - grid_->layout().metrics().heading_width;
  grid_->SetColumnWidth(3, room);
  grid_->SetColumnWidth(2, room / 3);
  grid_->SetColumnWidth(1, room / 4);
  Click(1, 2);
  Key(platform::vk::kRight);
  EXPECT_EQ(grid_->cursor(), (GridCell{1, 3}));
  EXPECT_EQ(grid_->layout().left_column(), 1);
  // A column that cannot show a third of the view without scrolling scrolls as little as that.
  grid_->SetColumnWidth(2, room / 2);
  Key(platform::vk::kLeft);
  Key(platform::vk::kRight);
  EXPECT_EQ(grid_->layout().left_column(), 2);
  // A column that fits wholly is shown wholly.
  grid_->SetColumnWidth(4, room / 5);
  Key(platform::vk::kRight);
  EXPECT_EQ(grid_->cursor(), (GridCell{1, 4}));
  const Rect cell = grid_->layout().CellRect(1, 4);
  EXPECT_LE(cell.right(), grid_->layout().client_size().width);
}

TEST(TextWrapTest, BreaksAtSpacesAndLineBreaksAndKeepsEveryCharacter) {
  platform::FontSpec font;
  // Without a backend every character is 8 pixels wide.
  WrappedText wrapped = WrapText(font, "aaaa bbbb cc\r\ndd", 8 * 9);
  ASSERT_EQ(wrapped.lines.size(), 3u);
  EXPECT_EQ(wrapped.lines[0], "aaaa ");
  EXPECT_EQ(wrapped.lines[1], "bbbb cc");
  EXPECT_EQ(wrapped.lines[2], "dd");
  EXPECT_EQ(wrapped.widest, 8 * 7);
  // A word longer than the width is cut at a character, never inside a two-byte one.
  WrappedText chinese = WrapText(font, G("一二三四五"), 8 * 2);
  ASSERT_EQ(chinese.lines.size(), 3u);
  EXPECT_EQ(chinese.lines[0], G("一二"));
  EXPECT_EQ(chinese.lines[2], G("五"));
  // A character wider than the width still gets a line.
  EXPECT_EQ(WrapText(font, "ab", 1).lines.size(), 2u);
  EXPECT_EQ(WrapText(font, "", 100).lines.size(), 1u);
}

}  // namespace
}  // namespace memo::ui::testing
