// The grid on a headless canvas: painting, the mouse, the keys, the scroll bars and the data
// source's notices. The canvas's client area is 383 × 283; with the headless metrics rows are 18
// pixels high, so 14 data rows fit wholly; the fixed table's columns are 93, 191, 86 and 121
// pixels wide beside a 30-pixel heading column, so two fit wholly.
#include "ui/grid/grid.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "platform/input.h"
#include "runtime/literal.h"
#include "tests/ui/grid/grid_test_util.h"

namespace memo::ui::testing {
namespace {

namespace vk = platform::vk;
using platform::InputKind;
using platform::PaintOp;
constexpr int kCtrl = platform::kShiftCtrl;
constexpr int kShift = platform::kShiftShift;

class GridPaintTest : public GridTest {};

const PaintOp* FindText(const platform::HeadlessCanvas* canvas, const std::string& text) {
  for (const PaintOp& op : canvas->paint_log()) {
    if (op.kind == PaintOp::Kind::kText && op.text_gbk == text) return &op;
  }
  return nullptr;
}

TEST_F(GridPaintTest, WithoutADataSourceItSaysSoAtTenTen) {
  GridBlock block;
  block.words[GridBlock::kBackgroundWord] = platform::Rgb(250, 240, 230);
  MakeGrid(block);
  canvas_->RepaintNow();
  const auto& log = canvas_->paint_log();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log[0].kind, PaintOp::Kind::kFill);
  EXPECT_EQ(log[0].color, platform::Rgb(250, 240, 230));
  const PaintOp* text = FindText(canvas_, Gbk("未连接数据源"));
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(text->rect.left, 10);
  EXPECT_EQ(text->rect.top, 10);
  EXPECT_EQ(canvas_->PaintedTexts().size(), 1u);
}

TEST_F(GridPaintTest, HeadingsRowNumbersAndCellsOfTheRowsInView) {
  WriteFixedTable(dir_.File("t.edb"), 20);
  MakeGrid();
  Connect(dir_.File("t.edb"));
  canvas_->RepaintNow();
  EXPECT_NE(FindText(canvas_, G("名称")), nullptr);
  EXPECT_NE(FindText(canvas_, G("时间")), nullptr);
  EXPECT_NE(FindText(canvas_, G("数量")), nullptr);
  EXPECT_EQ(FindText(canvas_, G("备注")), nullptr);  // the fourth column is out of view
  EXPECT_NE(FindText(canvas_, "r1"), nullptr);
  EXPECT_NE(FindText(canvas_, G("2014年7月10日")), nullptr);
  EXPECT_NE(FindText(canvas_, "15"), nullptr);   // the row cut at the bottom is drawn
  EXPECT_EQ(FindText(canvas_, "r16"), nullptr);  // the rows below it are not
  EXPECT_EQ(FindText(canvas_, "16"), nullptr);
  // The cursor cell is framed; the headings are shaded with an edge.
  bool framed = false;
  int edges = 0;
  for (const PaintOp& op : canvas_->paint_log()) {
    if (op.kind == PaintOp::Kind::kFrame && op.rect == grid_->layout().CellRect(1, 1))
      framed = true;
    if (op.kind == PaintOp::Kind::kEdge) ++edges;
  }
  EXPECT_TRUE(framed);
  EXPECT_EQ(edges, 3 + 15 + 1);  // three column headings, fifteen row headings, the corner
}

TEST_F(GridPaintTest, AHundredThousandRowsPaintOnlyTheRowsInView) {
  WriteFixedTable(dir_.File("big.edb"), 100000);
  MakeGrid();
  Connect(dir_.File("big.edb"));
  canvas_->RepaintNow();
  size_t texts_at_top = canvas_->PaintedTexts().size();
  EXPECT_LE(texts_at_top, 3u + 15u * 4u);
  Key(vk::kEnd, kCtrl);
  EXPECT_EQ(grid_->cursor(), (GridCell{100000, 4}));
  canvas_->RepaintNow();
  EXPECT_NE(FindText(canvas_, "100000"), nullptr);
  EXPECT_NE(FindText(canvas_, "note 100000"), nullptr);
  EXPECT_EQ(FindText(canvas_, "r1"), nullptr);
  EXPECT_LE(canvas_->PaintedTexts().size(), 3u + 15u * 4u);
  EXPECT_EQ(grid_->layout().top_row(), 100000 - 14 + 1);
}

TEST_F(GridPaintTest, RowsAppendedElsewhereShowAtTheNextPaint) {
  WriteMemoTable(dir_.File("a.mcn"), 2);
  MakeGrid();
  Connect(dir_.File("a.mcn"));
  canvas_->RepaintNow();
  EXPECT_EQ(FindText(canvas_, "c3"), nullptr);
  auto other = db::testing::MustOpen(dir_.File("a.mcn"));
  std::string category = "c3";
  TypedValue values[] = {db::testing::TextCell(category)};
  ASSERT_EQ(other->AddRecord(values, 1), 0);
  canvas_->RepaintNow();
  EXPECT_NE(FindText(canvas_, "c3"), nullptr);
  EXPECT_EQ(canvas_->ScrollBar(platform::Orientation::kVertical).maximum, 2);
}

class GridMouseTest : public GridTest {
 protected:
  void SetUp() override {
    GridTest::SetUp();
    WriteFixedTable(dir_.File("t.edb"), 40);
  }
  void Open(const GridBlock& block = GridBlock{}) {
    MakeGrid(block);
    Connect(dir_.File("t.edb"));
  }
};

TEST_F(GridMouseTest, AClickSelectsTheCellAndReportsBothCorners) {
  Open();
  Click(3, 2);
  EXPECT_EQ(First(), (GridCell{3, 2}));
  EXPECT_EQ(Second(), (GridCell{3, 2}));
  EXPECT_EQ(grid_->cursor(), (GridCell{3, 2}));
  EXPECT_EQ(TakeCorners(), (std::vector<std::pair<bool, bool>>{{true, true}}));
  EXPECT_EQ(source_.current_row(), 2);  // the cursor row is the data source's current row
  // The same cell again changes nothing and reports nothing (it opens the editor instead).
  Click(3, 2);
  EXPECT_TRUE(TakeCorners().empty());
}

TEST_F(GridMouseTest, ShiftClickExtendsAndTheCursorIsTheTopLeft) {
  Open();
  Click(6, 3);
  TakeCorners();
  Click(4, 1, kShift);
  EXPECT_EQ(First(), (GridCell{6, 3}));
  EXPECT_EQ(Second(), (GridCell{4, 1}));
  EXPECT_EQ(grid_->cursor(), (GridCell{4, 1}));
  EXPECT_EQ(TakeCorners(), (std::vector<std::pair<bool, bool>>{{false, true}}));
  EXPECT_EQ(source_.current_row(), 3);
}

TEST_F(GridMouseTest, HeadingClicksSelectAllARowOrAColumn) {
  Open();
  Click(0, 0);
  EXPECT_EQ(First(), (GridCell{1, 1}));
  EXPECT_EQ(Second(), (GridCell{40, 4}));
  Click(5, 0);
  EXPECT_EQ(First(), (GridCell{5, 1}));
  EXPECT_EQ(Second(), (GridCell{5, 4}));
  Click(0, 2);
  EXPECT_EQ(First(), (GridCell{1, 2}));
  EXPECT_EQ(Second(), (GridCell{40, 2}));
  EXPECT_EQ(TakeCorners().size(), 3u);
}

TEST_F(GridMouseTest, AColumnHeadingClickKeepsTheViewWhereItIs) {
  Open();
  grid_->HandleScroll(platform::Orientation::kVertical, platform::ScrollAction::kThumbTrack, 20);
  Click(0, 2);
  EXPECT_EQ(grid_->cursor(), (GridCell{1, 2}));
  EXPECT_EQ(source_.current_row(), 0);
  EXPECT_EQ(grid_->layout().top_row(), 21);
}

TEST_F(GridMouseTest, HeadingClicksNeedRangeAndHeadingSelection) {
  GridBlock no_headings;
  no_headings.words[GridBlock::kHeadingSelectionWord] = 0;
  Open(no_headings);
  Click(2, 2);
  Click(0, 0);
  Click(5, 0);
  EXPECT_EQ(First(), (GridCell{2, 2}));
  EXPECT_EQ(Second(), (GridCell{2, 2}));
  grid_->Detach();
  grid_.reset();

  GridBlock no_range;
  // Heading selection then counts as off as well.
  no_range.words[GridBlock::kRangeSelectionWord] = 0;
  Open(no_range);
  Click(2, 2);
  Click(0, 3);
  Click(4, 3, kShift);  // no extension either: a plain click
  EXPECT_EQ(First(), (GridCell{4, 3}));
  EXPECT_EQ(Second(), (GridCell{4, 3}));
}

TEST_F(GridMouseTest, DraggingExtendsAndReportsOnlyOnRelease) {
  Open();
  Mouse(InputKind::kLeftDown, CentreOf(2, 1));
  Mouse(InputKind::kMouseMove, CentreOf(3, 1));
  Mouse(InputKind::kMouseMove, CentreOf(5, 2));
  EXPECT_TRUE(canvas_->captured());
  EXPECT_EQ(First(), (GridCell{2, 1}));
  EXPECT_EQ(Second(), (GridCell{5, 2}));
  EXPECT_TRUE(TakeCorners().empty());
  Mouse(InputKind::kLeftUp, CentreOf(5, 2));
  EXPECT_FALSE(canvas_->captured());
  EXPECT_EQ(TakeCorners(), (std::vector<std::pair<bool, bool>>{{true, true}}));
  // Moving without the button does nothing.
  Mouse(InputKind::kMouseMove, CentreOf(8, 3));
  EXPECT_EQ(Second(), (GridCell{5, 2}));
}

TEST_F(GridMouseTest, DraggingPastTheBottomScrolls) {
  Open();
  Mouse(InputKind::kLeftDown, CentreOf(10, 1));
  for (int i = 0; i < 5; ++i) Mouse(InputKind::kMouseMove, platform::Point{50, 400});
  Mouse(InputKind::kLeftUp, platform::Point{50, 400});
  EXPECT_EQ(First(), (GridCell{10, 1}));
  EXPECT_GT(Second().row, 14);
  EXPECT_GT(grid_->layout().top_row(), 1);
  EXPECT_LE(Second().row, grid_->layout().top_row() + 13);  // the moving corner is in view
}

TEST_F(GridMouseTest, DraggingAlongRowHeadingsSelectsWholeRows) {
  Open();
  Mouse(InputKind::kLeftDown, CentreOf(3, 0));
  Mouse(InputKind::kMouseMove, CentreOf(6, 0));
  Mouse(InputKind::kLeftUp, CentreOf(6, 0));
  EXPECT_EQ(First(), (GridCell{3, 1}));
  EXPECT_EQ(Second(), (GridCell{6, 4}));
}

TEST_F(GridMouseTest, ClicksBelowTheLastRowDoNothing) {
  WriteFixedTable(dir_.File("short.edb"), 3);
  MakeGrid();
  Connect(dir_.File("short.edb"));
  Click(2, 2);
  TakeCorners();
  ASSERT_TRUE(window_->UserClickAt(canvas_, platform::Point{100, 250}));
  EXPECT_EQ(grid_->cursor(), (GridCell{2, 2}));
  EXPECT_TRUE(TakeCorners().empty());
}

TEST_F(GridMouseTest, TheWheelScrollsThreeRowsANotch) {
  Open();
  platform::InputEvent wheel;
  wheel.kind = InputKind::kWheel;
  wheel.wheel = -2;
  canvas_->on_input(wheel);
  EXPECT_EQ(grid_->layout().top_row(), 7);
  wheel.wheel = 5;
  canvas_->on_input(wheel);
  EXPECT_EQ(grid_->layout().top_row(), 1);
}

class GridKeyTest : public GridMouseTest {};

TEST_F(GridKeyTest, KeysMoveTheSelectionScrollItIntoViewAndReport) {
  Open();
  Click(2, 1);
  Key(vk::kUp);
  EXPECT_EQ(grid_->cursor(), (GridCell{1, 1}));
  TakeCorners();
  Key(vk::kDown);
  EXPECT_EQ(grid_->cursor(), (GridCell{2, 1}));
  EXPECT_EQ(TakeCorners(), (std::vector<std::pair<bool, bool>>{{true, true}}));
  Key(vk::kNext);
  Key(vk::kNext);
  EXPECT_EQ(grid_->cursor(), (GridCell{22, 1}));
  EXPECT_LE(grid_->layout().top_row(), 22);
  EXPECT_GE(grid_->layout().top_row() + 13, 22);
  Key(vk::kEnd);
  EXPECT_EQ(grid_->cursor(), (GridCell{22, 4}));
  EXPECT_GT(grid_->layout().left_column(), 1);
  Key(vk::kHome, kCtrl);
  EXPECT_EQ(grid_->cursor(), (GridCell{1, 1}));
  EXPECT_EQ(grid_->layout().top_row(), 1);
  EXPECT_EQ(grid_->layout().left_column(), 1);
  EXPECT_EQ(TakeCorners().size(), 4u);
  // At an edge a key changes nothing and reports nothing.
  Key(vk::kUp);
  Key(vk::kLeft);
  EXPECT_TRUE(TakeCorners().empty());
  EXPECT_EQ(source_.current_row(), 0);
  Key(vk::kNext, kCtrl);
  EXPECT_EQ(grid_->cursor(), (GridCell{40, 1}));
  EXPECT_EQ(source_.current_row(), 39);
  Key(vk::kPrior, kCtrl);
  EXPECT_EQ(grid_->cursor(), (GridCell{1, 1}));
}

TEST_F(GridKeyTest, ShiftKeysExtendFromTheMovingCorner) {
  Open();
  Click(5, 2);
  TakeCorners();
  Key(vk::kDown, kShift);
  Key(vk::kRight, kShift);
  EXPECT_EQ(First(), (GridCell{5, 2}));
  EXPECT_EQ(Second(), (GridCell{6, 3}));
  EXPECT_EQ(TakeCorners(), (std::vector<std::pair<bool, bool>>{{false, true}, {false, true}}));
  Key(vk::kHome, kShift | kCtrl);
  EXPECT_EQ(Second(), (GridCell{1, 1}));
  EXPECT_EQ(grid_->cursor(), (GridCell{1, 1}));
  Key(vk::kEnd, kShift | kCtrl);
  EXPECT_EQ(Second(), (GridCell{40, 4}));
  EXPECT_EQ(grid_->cursor(), (GridCell{5, 2}));
  // A plain key collapses the rectangle, moving from the cursor.
  Key(vk::kRight);
  EXPECT_EQ(First(), (GridCell{5, 3}));
  EXPECT_EQ(Second(), (GridCell{5, 3}));
}

TEST_F(GridKeyTest, CtrlArrowsScrollWithoutMovingOrReporting) {
  Open();
  Click(2, 1);
  TakeCorners();
  Key(vk::kDown, kCtrl);
  Key(vk::kDown, kCtrl);
  Key(vk::kRight, kCtrl);
  EXPECT_EQ(grid_->layout().top_row(), 3);
  EXPECT_EQ(grid_->layout().left_column(), 2);
  EXPECT_EQ(grid_->cursor(), (GridCell{2, 1}));
  EXPECT_TRUE(TakeCorners().empty());
  Key(vk::kUp, kCtrl);
  Key(vk::kLeft, kCtrl);
  Key(vk::kLeft, kCtrl);
  EXPECT_EQ(grid_->layout().top_row(), 2);
  EXPECT_EQ(grid_->layout().left_column(), 1);
}

TEST_F(GridKeyTest, CtrlASelectsAllWhenRangesAreAllowed) {
  Open();
  Click(3, 3);
  TakeCorners();
  Key('A', kCtrl);
  EXPECT_EQ(First(), (GridCell{1, 1}));
  EXPECT_EQ(Second(), (GridCell{40, 4}));
  EXPECT_EQ(TakeCorners(), (std::vector<std::pair<bool, bool>>{{true, true}}));
  grid_->Detach();
  grid_.reset();
  GridBlock no_range;
  no_range.words[GridBlock::kRangeSelectionWord] = 0;
  Open(no_range);
  Click(3, 3);
  Key('A', kCtrl);
  EXPECT_EQ(Second(), (GridCell{3, 3}));
}

TEST_F(GridKeyTest, ScrollBarsFollowTheTableAndScrollIt) {
  Open();
  platform::ScrollInfo v = canvas_->ScrollBar(platform::Orientation::kVertical);
  EXPECT_EQ(v.maximum, 39);
  EXPECT_EQ(v.page, 14);
  EXPECT_EQ(v.position, 0);
  platform::ScrollInfo h = canvas_->ScrollBar(platform::Orientation::kHorizontal);
  EXPECT_EQ(h.maximum, 3);
  EXPECT_EQ(h.page, 2);
  const auto vertical = platform::Orientation::kVertical;
  grid_->HandleScroll(vertical, platform::ScrollAction::kLineDown, 0);
  EXPECT_EQ(grid_->layout().top_row(), 2);
  grid_->HandleScroll(vertical, platform::ScrollAction::kPageDown, 0);
  EXPECT_EQ(grid_->layout().top_row(), 7);
  grid_->HandleScroll(vertical, platform::ScrollAction::kPageUp, 0);
  grid_->HandleScroll(vertical, platform::ScrollAction::kLineUp, 0);
  EXPECT_EQ(grid_->layout().top_row(), 1);
  grid_->HandleScroll(vertical, platform::ScrollAction::kThumbTrack, 20);
  EXPECT_EQ(grid_->layout().top_row(), 21);
  EXPECT_EQ(canvas_->ScrollBar(vertical).position, 20);
  grid_->HandleScroll(vertical, platform::ScrollAction::kThumbPosition, 99);
  EXPECT_EQ(grid_->layout().top_row(), 27);  // held where the last row is at the bottom
  grid_->HandleScroll(vertical, platform::ScrollAction::kTop, 0);
  EXPECT_EQ(grid_->layout().top_row(), 1);
  grid_->HandleScroll(vertical, platform::ScrollAction::kBottom, 0);
  EXPECT_EQ(grid_->layout().top_row(), 27);
  const auto horizontal = platform::Orientation::kHorizontal;
  grid_->HandleScroll(horizontal, platform::ScrollAction::kLineDown, 0);
  EXPECT_EQ(grid_->layout().left_column(), 2);
  EXPECT_EQ(canvas_->ScrollBar(horizontal).position, 1);
  grid_->HandleScroll(horizontal, platform::ScrollAction::kPageDown, 0);
  EXPECT_EQ(grid_->layout().left_column(), grid_->layout().MaxLeftColumn());
  // Scrolling never moves the selection.
  EXPECT_EQ(grid_->cursor(), (GridCell{1, 1}));
}

class GridSourceTest : public GridMouseTest {};

TEST_F(GridSourceTest, NavigationMovesTheCursorWithoutReporting) {
  Open();
  Click(2, 3);
  TakeCorners();
  source_.Navigate(db::NavigationButton::kLast);
  EXPECT_EQ(grid_->cursor(), (GridCell{40, 3}));
  EXPECT_GE(grid_->layout().top_row() + 13, 40);
  source_.Navigate(db::NavigationButton::kFirst);
  EXPECT_EQ(grid_->cursor(), (GridCell{1, 3}));
  EXPECT_TRUE(TakeCorners().empty());
}

TEST_F(GridSourceTest, DeletedRowsShrinkTheSelection) {
  Open();
  Click(38, 2);
  Key(vk::kDown, kShift);
  Key(vk::kDown, kShift);
  ASSERT_TRUE(source_.DeleteRows(10, 100));
  EXPECT_EQ(grid_->DataRowCount(), 10);
  EXPECT_EQ(First(), (GridCell{10, 2}));
  EXPECT_EQ(Second(), (GridCell{10, 2}));
  canvas_->RepaintNow();
  EXPECT_EQ(FindText(canvas_, "r11"), nullptr);
}

TEST_F(GridSourceTest, UnbindingShowsTheNoticeAgain) {
  Open();
  canvas_->RepaintNow();
  EXPECT_EQ(FindText(canvas_, Gbk("未连接数据源")), nullptr);
  grid_->Bind(nullptr);
  canvas_->RepaintNow();
  EXPECT_NE(FindText(canvas_, Gbk("未连接数据源")), nullptr);
  // A data source that goes first leaves the grid unbound, not dangling.
  auto temporary = std::make_unique<db::DataSource>();
  temporary->Connect(&provider_);
  grid_->Bind(temporary.get());
  temporary.reset();
  EXPECT_EQ(grid_->data_source(), nullptr);
  canvas_->RepaintNow();
  EXPECT_NE(FindText(canvas_, Gbk("未连接数据源")), nullptr);
}

TEST_F(GridSourceTest, InspectionNumbersHeadingsAndCellsLikeTheCursor) {
  Open();
  EXPECT_EQ(grid_->DataRowCount(), 40);
  EXPECT_EQ(grid_->CellText(0, 0), "");
  EXPECT_EQ(grid_->CellText(0, 1), G("名称"));
  EXPECT_EQ(grid_->CellText(7, 0), "7");
  EXPECT_EQ(grid_->CellText(7, 1), "r7");
  EXPECT_EQ(grid_->CellText(7, 3), "7");
  EXPECT_EQ(grid_->CellText(41, 1), "");
  EXPECT_EQ(grid_->CellText(1, 5), "");
  // A cell far down is scrolled into view and its rectangle lies inside the client area.
  platform::Rect rect = grid_->CellClientRect(35, 4);
  EXPECT_GT(rect.width, 0);
  EXPECT_GE(rect.top, 18);
  EXPECT_LE(rect.bottom(), 283);
  EXPECT_GE(rect.left, 30);
  EXPECT_EQ(grid_->CellClientRect(41, 1), platform::Rect{});
  Click(35, 4);
  EXPECT_EQ(grid_->cursor(), (GridCell{35, 4}));
}

TEST_F(GridSourceTest, TheDisplayScaleIsHeldWithinItsRangeAndScalesTheRows) {
  GridBlock block;
  block.words[GridBlock::kScaleWord] = 5;
  Open(block);
  EXPECT_EQ(grid_->scale(), 20);
  grid_->SetScale(5000);
  EXPECT_EQ(grid_->scale(), 1000);
  grid_->SetScale(100);
  const int normal = grid_->layout().metrics().row_height;
  const int normal_column = grid_->layout().metrics().column_widths[0];
  grid_->SetScale(200);
  EXPECT_GE(grid_->layout().metrics().row_height, 2 * normal - 2);
  EXPECT_GT(grid_->layout().metrics().column_widths[0], normal_column * 3 / 2);
}

}  // namespace
}  // namespace memo::ui::testing
