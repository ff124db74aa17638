// The advanced grid on a headless canvas: the events of a left-button release and their order,
// stopping once a routine has destroyed the grid, focus by mouse and keys, scrolling, title tips,
// column resizing, and what a paint draws.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "runtime/dispatch.h"
#include "runtime/heap.h"
#include "tests/ui/advanced_grid/egrid_test_support.h"
#include "ui/advanced_grid/egrid.h"
#include "ui/advanced_grid/egrid_paint.h"
#include "ui/window/property_numbers.h"

namespace memo::ui {
namespace {

using platform::InputEvent;
using platform::InputKind;
using platform::Orientation;
using platform::PaintOp;
using platform::Point;
using platform::Rect;
using platform::ScrollAction;
using testing::G;
using testing::RaisedEvent;

EGridSettings Sized(int rows, int columns, int fixed_rows, int fixed_columns) {
  EGridSettings s;
  s.rows = rows;
  s.columns = columns;
  s.fixed_rows = fixed_rows;
  s.fixed_columns = fixed_columns;
  return s;
}

// Rows 24 high, columns 60 wide: cell (r, c) covers x 60c .. 60c + 59, y 24r .. 24r + 23.
Point CentreOf(int row, int column) { return Point{60 * column + 30, 24 * row + 12}; }

class EGridViewTest : public testing::HeadlessGridTest {
 protected:
  void Send(InputKind kind, Point at) {
    InputEvent event;
    event.kind = kind;
    event.x = at.x;
    event.y = at.y;
    canvas_->on_input(event);
  }
  std::vector<std::string> PaintedTexts() {
    canvas_->RepaintNow();
    return canvas_->PaintedTexts();
  }
};

// --- Release events ------------------------------------------------------------------------------

TEST_F(EGridViewTest, ReleaseRaisesFocusChangeThenReleaseThenHeadingCell) {
  Make(Sized(5, 3, 1, 1));
  int repaints_at_event_0 = -1;
  on_event_ = [&](int32_t event) {
    if (event == 0) repaints_at_event_0 = canvas_->repaint_count();
  };
  int repaints_before = canvas_->repaint_count();
  Click(CentreOf(2, 2));
  EXPECT_EQ(events_, (std::vector<RaisedEvent>{{0, {}}, {5, {150, 60}}}));
  EXPECT_GT(repaints_at_event_0, repaints_before);  // the new focus is drawn before event 0
  EXPECT_EQ(grid_->model().focus(), (CellPos{2, 2}));

  events_.clear();
  Click(Point{155, 65});  // the same cell again: no focus change
  EXPECT_EQ(events_, (std::vector<RaisedEvent>{{5, {155, 65}}}));

  events_.clear();
  Click(CentreOf(0, 1));  // a heading cell does not take the focus
  EXPECT_EQ(events_, (std::vector<RaisedEvent>{{5, {90, 12}}, {8, {0, 1}}}));
  EXPECT_EQ(grid_->model().focus(), (CellPos{2, 2}));

  events_.clear();
  Click(CentreOf(3, 0));
  Click(CentreOf(0, 0));
  EXPECT_EQ(events_,
            (std::vector<RaisedEvent>{{5, {30, 84}}, {8, {3, 0}}, {5, {30, 12}}, {8, {0, 0}}}));
}

TEST_F(EGridViewTest, FocusMovedByKeysIsAnnouncedAtTheNextRelease) {
  Make(Sized(5, 3, 1, 1));
  Key(platform::vk::kDown);
  EXPECT_TRUE(events_.empty());
  Click(Point{300, 150});  // past the last column: no cell, no heading
  EXPECT_EQ(events_, (std::vector<RaisedEvent>{{0, {}}, {5, {300, 150}}}));
}

TEST_F(EGridViewTest, ReleaseOutsideTheCanvasRaisesNothing) {
  Make(Sized(5, 3, 1, 1));
  Send(InputKind::kLeftDown, CentreOf(2, 2));
  Send(InputKind::kLeftUp, Point{-5, 30});
  Send(InputKind::kLeftUp, Point{30, 500});
  EXPECT_TRUE(events_.empty());
}

TEST_F(EGridViewTest, StopsAtOnceWhenARoutineDestroysTheGrid) {
  Make(Sized(5, 3, 1, 1));
  on_event_ = [&](int32_t event) {
    if (event == 0) grid_.reset();
  };
  Click(CentreOf(2, 2));
  EXPECT_EQ(events_, (std::vector<RaisedEvent>{{0, {}}}));
  EXPECT_EQ(grid_, nullptr);

  // Destroyed by the release's own routine: no heading event follows.
  events_.clear();
  Make(Sized(5, 3, 1, 1));
  on_event_ = [&](int32_t event) {
    if (event == 5) grid_.reset();
  };
  Click(CentreOf(0, 2));
  EXPECT_EQ(events_, (std::vector<RaisedEvent>{{5, {150, 12}}}));
}

TEST_F(EGridViewTest, StopsWhenItsUnitTokenExpires) {
  Make(Sized(5, 3, 1, 1));
  auto token = std::make_shared<char>(0);
  grid_->SetLifeToken(token);
  on_event_ = [&](int32_t event) {
    if (event == 0) token.reset();
  };
  Click(CentreOf(3, 0));  // a heading cell: no focus change to announce
  EXPECT_EQ(events_, (std::vector<RaisedEvent>{{5, {30, 84}}, {8, {3, 0}}}));
  events_.clear();
  Click(CentreOf(2, 1));
  EXPECT_EQ(events_, (std::vector<RaisedEvent>{{0, {}}}));
}

// --- Focus by keys -------------------------------------------------------------------------------

TEST_F(EGridViewTest, ArrowKeysMoveTheFocusWithinTheNonFixedCells) {
  Make(Sized(5, 3, 1, 1));
  Key(platform::vk::kLeft);
  Key(platform::vk::kUp);
  EXPECT_EQ(grid_->model().focus(), (CellPos{1, 1}));
  for (int i = 0; i < 10; ++i) Key(platform::vk::kDown);
  EXPECT_EQ(grid_->model().focus(), (CellPos{4, 1}));
  for (int i = 0; i < 5; ++i) Key(platform::vk::kRight);
  EXPECT_EQ(grid_->model().focus(), (CellPos{4, 2}));
  Key(platform::vk::kHome);
  EXPECT_EQ(grid_->model().focus(), (CellPos{4, 1}));
  Key(platform::vk::kHome, platform::kShiftCtrl);
  EXPECT_EQ(grid_->model().focus(), (CellPos{1, 1}));
  Key(platform::vk::kEnd);
  EXPECT_EQ(grid_->model().focus(), (CellPos{1, 2}));
}

TEST_F(EGridViewTest, KeysScrollTheFocusIntoView) {
  Make(Sized(1000, 2, 1, 0));
  Key(platform::vk::kEnd, platform::kShiftCtrl);
  EXPECT_EQ(grid_->model().focus(), (CellPos{999, 0}));
  std::optional<Rect> rect = grid_->CellClientRect(999, 0);
  ASSERT_TRUE(rect);
  EXPECT_LE(rect->bottom(), canvas_->ClientSize().height);
  EXPECT_GT(grid_->model().top_row(), 900);
  Key(platform::vk::kPrior);
  Key(platform::vk::kHome, platform::kShiftCtrl);
  EXPECT_EQ(grid_->model().top_row(), 1);
}

// --- Scrolling -----------------------------------------------------------------------------------

TEST_F(EGridViewTest, ScrollBarsShowWhenNeededWithTheScrollableRange) {
  EGridSettings settings = Sized(1000, 2, 1, 0);
  settings.column_width = 150;
  Make(settings);
  ASSERT_TRUE(canvas_->ScrollBarShown(Orientation::kVertical));
  EXPECT_FALSE(canvas_->ScrollBarShown(Orientation::kHorizontal));
  platform::ScrollInfo info = canvas_->ScrollBar(Orientation::kVertical);
  EXPECT_EQ(info.minimum, 0);
  EXPECT_EQ(info.maximum, 998);
  EXPECT_EQ(info.page, 7);  // 176 pixels below the heading row hold 7 rows of 24
  EXPECT_EQ(info.position, 0);

  grid_->HandleScroll(Orientation::kVertical, ScrollAction::kBottom, 0);
  EXPECT_EQ(grid_->model().top_row(), 993);
  EXPECT_EQ(canvas_->ScrollBar(Orientation::kVertical).position, 992);
  grid_->HandleScroll(Orientation::kVertical, ScrollAction::kLineDown, 0);
  EXPECT_EQ(grid_->model().top_row(), 993);
  grid_->HandleScroll(Orientation::kVertical, ScrollAction::kPageUp, 0);
  EXPECT_EQ(grid_->model().top_row(), 986);
  grid_->HandleScroll(Orientation::kVertical, ScrollAction::kThumbTrack, 10);
  EXPECT_EQ(grid_->model().top_row(), 11);
  grid_->HandleScroll(Orientation::kVertical, ScrollAction::kTop, 0);
  EXPECT_EQ(grid_->model().top_row(), 1);

  ASSERT_TRUE(grid_->model().SetRowCount(3));
  EXPECT_FALSE(canvas_->ScrollBarShown(Orientation::kVertical));
}

TEST_F(EGridViewTest, HorizontalBarForWideGridsAndNoBarsWhenTheBlockWantsNone) {
  Make(Sized(3, 20, 0, 1));
  EXPECT_TRUE(canvas_->ScrollBarShown(Orientation::kHorizontal));
  EXPECT_FALSE(canvas_->ScrollBarShown(Orientation::kVertical));
  grid_->HandleScroll(Orientation::kHorizontal, ScrollAction::kLineDown, 0);
  EXPECT_EQ(grid_->model().left_column(), 2);

  EGridSettings none = Sized(1000, 20, 1, 1);
  none.scroll_bars = EGridScrollBars::kNone;
  Make(none);
  EXPECT_FALSE(canvas_->ScrollBarShown(Orientation::kHorizontal));
  EXPECT_FALSE(canvas_->ScrollBarShown(Orientation::kVertical));
}

TEST_F(EGridViewTest, WheelScrollsThreeRowsANotchUpToTheLastPage) {
  Make(Sized(1000, 2, 1, 0));
  InputEvent wheel;
  wheel.kind = InputKind::kWheel;
  wheel.wheel = -1;  // toward the user: down the list
  canvas_->on_input(wheel);
  EXPECT_EQ(grid_->model().top_row(), 4);
  wheel.wheel = 1;
  canvas_->on_input(wheel);
  canvas_->on_input(wheel);
  EXPECT_EQ(grid_->model().top_row(), 1);
  wheel.wheel = -1000;
  canvas_->on_input(wheel);
  EXPECT_EQ(grid_->model().top_row(), 993);
}

TEST_F(EGridViewTest, CellClientRectScrollsTheCellIntoView) {
  Make(Sized(1000, 2, 1, 0));
  std::optional<Rect> rect = grid_->CellClientRect(700, 1);
  ASSERT_TRUE(rect);
  EXPECT_EQ(rect->left, 60);
  EXPECT_EQ(rect->width, 60);
  EXPECT_GE(rect->top, 24);
  EXPECT_LE(rect->bottom(), canvas_->ClientSize().height);
  EXPECT_EQ(rect->height, 24);
  CellPos hit = CellPos{};
  // The rectangle is where a click lands on that cell.
  Click(rect->Centre());
  hit = grid_->model().focus();
  EXPECT_EQ(hit, (CellPos{700, 1}));
  EXPECT_EQ(grid_->CellClientRect(0, 0), (Rect{0, 0, 60, 24}));  // the heading row stays put
  EXPECT_FALSE(grid_->CellClientRect(1000, 0));
  EXPECT_FALSE(grid_->CellClientRect(0, 2));
}

// --- Column resizing -----------------------------------------------------------------------------

TEST_F(EGridViewTest, DraggingAColumnEdgeInTheHeadingRowResizesItWithoutEvents) {
  Make(Sized(3, 3, 1, 0));
  Send(InputKind::kLeftDown, Point{59, 12});
  Send(InputKind::kMouseMove, Point{80, 12});
  Send(InputKind::kMouseMove, Point{99, 12});
  Send(InputKind::kLeftUp, Point{99, 12});
  EXPECT_EQ(grid_->model().column_width(0), 100);
  EXPECT_TRUE(events_.empty());
  EXPECT_FALSE(canvas_->captured());

  // Away from an edge, or below the heading row, a press is a click.
  Send(InputKind::kLeftDown, Point{130, 12});
  Send(InputKind::kMouseMove, Point{180, 12});
  Send(InputKind::kLeftUp, Point{180, 12});
  EXPECT_EQ(grid_->model().column_width(1), 60);
  EXPECT_EQ(events_, (std::vector<RaisedEvent>{{5, {180, 12}}, {8, {0, 2}}}));
  Send(InputKind::kLeftDown, Point{99, 36});
  Send(InputKind::kMouseMove, Point{150, 36});
  EXPECT_EQ(grid_->model().column_width(0), 100);
}

// --- Title tips ----------------------------------------------------------------------------------

TEST_F(EGridViewTest, TitleTipShowsTheWholeTextOfACutOffCell) {
  Make(Sized(3, 2, 0, 0));
  std::string long_text = G("这是一段很长的跟进");  // 9 characters of 12 pixels
  ASSERT_TRUE(grid_->model().SetCellText(1, 0, long_text));
  ASSERT_TRUE(grid_->model().SetCellText(0, 0, "short"));
  MoveTo(CentreOf(1, 0));
  EXPECT_EQ(canvas_->tip_text(), " " + long_text + " ");
  // Over the cell, as wide as the text with its two spaces (and the tip's border).
  EXPECT_EQ(canvas_->tip_rect(), (Rect{0, 24, 108 + 12 + 2, 24}));

  MoveTo(CentreOf(0, 0));  // fits: no tip
  EXPECT_EQ(canvas_->tip_text(), "");
  MoveTo(CentreOf(1, 0));
  EXPECT_EQ(canvas_->tip_text(), " " + long_text + " ");
  MoveTo(Point{300, 30});  // past the last column
  EXPECT_EQ(canvas_->tip_text(), "");
  MoveTo(CentreOf(1, 0));
  Send(InputKind::kLeftDown, CentreOf(1, 0));  // a press takes the tip away
  EXPECT_EQ(canvas_->tip_text(), "");
}

TEST_F(EGridViewTest, TitleTipMeasuresInTheCellsOwnFont) {
  Make(Sized(3, 2, 0, 0));
  ASSERT_TRUE(grid_->model().SetCellText(2, 1, "short"));  // 30 pixels in the grid's font
  MoveTo(CentreOf(2, 1));
  EXPECT_EQ(canvas_->tip_text(), "");
  EGridCellStyle big;
  big.font = platform::FontSpec{};
  big.font->height = -30;  // 15 pixels a letter: 75 pixels, more than the cell's 53
  ASSERT_TRUE(grid_->model().SetCellStyle(2, 1, big));
  MoveTo(CentreOf(1, 1));
  MoveTo(CentreOf(2, 1));
  EXPECT_EQ(canvas_->tip_text(), " short ");
}

// --- Drawing -------------------------------------------------------------------------------------

TEST_F(EGridViewTest, PaintingDrawsOnlyTheVisibleRows) {
  EGridSettings settings = Sized(1000, 2, 1, 0);
  settings.column_width = 150;
  EGrid& grid = Make(settings);
  for (int r = 0; r < 1000; ++r) {
    ASSERT_TRUE(grid.model().SetCellText(r, 0, "r" + std::to_string(r)));
    ASSERT_TRUE(grid.model().SetCellText(r, 1, "s" + std::to_string(r)));
  }
  auto expected = [](int first) {
    std::vector<std::string> texts = {"r0", "s0"};
    for (int r = first; r < first + 8; ++r) {
      texts.push_back("r" + std::to_string(r));
      texts.push_back("s" + std::to_string(r));
    }
    return texts;
  };
  EXPECT_EQ(PaintedTexts(), expected(1));  // the heading row, then rows starting above y 200
  grid.HandleScroll(Orientation::kVertical, ScrollAction::kThumbPosition, 499);
  EXPECT_EQ(PaintedTexts(), expected(500));
  size_t fills = 0;
  for (const PaintOp& op : canvas_->paint_log()) fills += op.kind == PaintOp::Kind::kFill;
  EXPECT_LE(fills, 2u * 9 + 2);  // the cells shown and the space beyond them
}

TEST_F(EGridViewTest, PaintingUsesTheGridsColoursAndShadesTheHeadings) {
  EGridSettings settings = Sized(3, 3, 1, 1);
  settings.grid_line = 0x123456;
  settings.background = 0xABCDEF;
  settings.selection = 0x654321;
  Make(settings);
  const std::vector<PaintOp>& ops = Paint();
  auto has = [&](PaintOp::Kind kind, Rect rect, platform::Color color) {
    return std::any_of(ops.begin(), ops.end(), [&](const PaintOp& op) {
      return op.kind == kind && op.rect == rect && op.color == color;
    });
  };
  EXPECT_TRUE(has(PaintOp::Kind::kFill, Rect{60, 24, 59, 23}, 0x654321));  // the focus cell
  EXPECT_TRUE(has(PaintOp::Kind::kFill, Rect{120, 48, 59, 23}, 0xABCDEF));
  EXPECT_TRUE(has(PaintOp::Kind::kFill, Rect{60, 0, 59, 23}, kEGridHeadingFace));
  EXPECT_TRUE(has(PaintOp::Kind::kFill, Rect{0, 48, 59, 23}, kEGridHeadingFace));
  EXPECT_TRUE(has(PaintOp::Kind::kFill, Rect{180, 0, 220, 200}, 0xABCDEF));  // beyond the grid
  EXPECT_TRUE(has(PaintOp::Kind::kFill, Rect{0, 72, 180, 128}, 0xABCDEF));
  size_t edges = 0, lines = 0;
  for (const PaintOp& op : ops) {
    if (op.kind == PaintOp::Kind::kEdge) ++edges;
    if (op.kind == PaintOp::Kind::kLine) {
      ++lines;
      EXPECT_EQ(op.color, 0x123456u);
    }
  }
  EXPECT_EQ(edges, 5u);  // the heading row's three cells and the heading column's other two
  EXPECT_EQ(lines, 6u);  // one a column and one a row, across the table
  bool column_line = std::any_of(ops.begin(), ops.end(), [](const PaintOp& op) {
    return op.kind == PaintOp::Kind::kLine && op.from == Point{59, 0} && op.to == Point{59, 71};
  });
  EXPECT_TRUE(column_line);
}

TEST_F(EGridViewTest, TextsAreClippedToTheirCellsAndKeepTheirBytes) {
  Make(Sized(3, 3, 1, 1));
  std::string text = G("客户跟进：一段放不下的长文本");
  ASSERT_TRUE(grid_->model().SetCellText(2, 1, text));
  ASSERT_TRUE(grid_->model().SetCellText(0, 2, G("时间")));
  const std::vector<PaintOp>& ops = Paint();
  std::vector<PaintOp> texts;
  for (const PaintOp& op : ops) {
    if (op.kind == PaintOp::Kind::kText) texts.push_back(op);
  }
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[0].text_gbk, G("时间"));
  EXPECT_EQ(texts[0].rect, TextArea(Rect{120, 0, 60, 24}));
  EXPECT_EQ(texts[1].text_gbk, text);
  EXPECT_EQ(texts[1].rect, (Rect{63, 48, 53, 23}));
}

TEST_F(EGridViewTest, CheckBoxAndPictureCellsDrawTheirContent) {
  Make(Sized(3, 3, 1, 0));
  ASSERT_TRUE(grid_->model().SetColumnKind(1, EGridColumnKind::kCheckBox));
  ASSERT_TRUE(grid_->model().SetColumnKind(2, EGridColumnKind::kPicture));
  ASSERT_TRUE(grid_->model().SetCellChecked(2, 1, true));
  ASSERT_TRUE(grid_->model().SetCellPicture(1, 2, "BM-picture"));
  std::vector<bool> checks;
  size_t images = 0;
  for (const PaintOp& op : Paint()) {
    if (op.kind == PaintOp::Kind::kCheckBox) checks.push_back(op.checked);
    if (op.kind == PaintOp::Kind::kImage) ++images;
  }
  EXPECT_EQ(checks, (std::vector<bool>{false, true}));
  EXPECT_EQ(images, 1u);
}

// --- Properties ----------------------------------------------------------------------------------

TEST_F(EGridViewTest, PropertiesFifteenToTwentyReadAndWrite) {
  Make(Sized(5, 5, 1, 1));
  auto read = [&](int k) {
    TypedValue value;
    EXPECT_TRUE(grid_->ReadProperty(k, &value));
    EXPECT_EQ(value.tag, TypeTag::kInt);
    return static_cast<int32_t>(value.low);
  };
  EXPECT_EQ(read(property::kEGridRows), 5);
  EXPECT_TRUE(grid_->WriteProperty(property::kEGridRows, IntValue(0)));
  EXPECT_EQ(read(property::kEGridRows), 5);  // refused, but handled
  EXPECT_TRUE(grid_->WriteProperty(property::kEGridRowHeight, IntValue(30)));
  EXPECT_TRUE(grid_->WriteProperty(property::kEGridRows, IntValue(1)));
  EXPECT_EQ(read(property::kEGridRows), 1);
  EXPECT_EQ(grid_->model().row_height(0), 30);
  EXPECT_EQ(read(property::kEGridRowHeight), 30);
  EXPECT_TRUE(grid_->WriteProperty(property::kEGridColumns, IntValue(-2)));
  EXPECT_EQ(read(property::kEGridColumns), 5);
  EXPECT_TRUE(grid_->WriteProperty(property::kEGridColumnWidth, IntValue(77)));
  EXPECT_EQ(grid_->model().column_width(4), 77);
  EXPECT_EQ(read(property::kEGridColumnWidth), 77);
  EXPECT_TRUE(grid_->WriteProperty(property::kEGridFixedColumns, IntValue(3)));
  EXPECT_EQ(read(property::kEGridFixedColumns), 3);
  EXPECT_TRUE(grid_->WriteProperty(property::kEGridFixedRows, IntValue(0)));
  EXPECT_EQ(read(property::kEGridFixedRows), 0);
  TypedValue unused;
  EXPECT_FALSE(grid_->ReadProperty(0, &unused));
  EXPECT_FALSE(grid_->WriteProperty(13, IntValue(1)));
}

}  // namespace
}  // namespace memo::ui
