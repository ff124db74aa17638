#include "ui/grid/grid_selection.h"

#include <gtest/gtest.h>

#include "platform/input.h"
#include "tests/ui/grid/grid_test_util.h"

namespace memo::ui {
namespace {

namespace vk = platform::vk;
constexpr int kCtrl = platform::kShiftCtrl;
constexpr int kShift = platform::kShiftShift;

// A 30 × 4 table with the single cell (row, column) selected.
GridSelection At(int row, int column, int rows = 30, int columns = 4) {
  GridSelection s;
  s.SetExtent(rows, columns);
  s.MoveTo(GridCell{row, column});
  return s;
}

// Where a plain key takes a single selected cell.
GridCell Moved(int key, int shift, GridSelection s) {
  KeyAction action = KeyActionFor(key, shift, s, true);
  EXPECT_EQ(action.kind, (shift & kShift) ? KeyAction::Kind::kExtend : KeyAction::Kind::kMove);
  return action.target;
}

TEST(GridSelection, ArrowsMoveOneCellAndStopAtEveryEdge) {
  EXPECT_EQ(Moved(vk::kRight, 0, At(5, 2)), (GridCell{5, 3}));
  EXPECT_EQ(Moved(vk::kLeft, 0, At(5, 2)), (GridCell{5, 1}));
  EXPECT_EQ(Moved(vk::kDown, 0, At(5, 2)), (GridCell{6, 2}));
  EXPECT_EQ(Moved(vk::kUp, 0, At(5, 2)), (GridCell{4, 2}));
  EXPECT_EQ(Moved(vk::kLeft, 0, At(5, 1)), (GridCell{5, 1}));
  EXPECT_EQ(Moved(vk::kUp, 0, At(1, 3)), (GridCell{1, 3}));
  EXPECT_EQ(Moved(vk::kRight, 0, At(5, 4)), (GridCell{5, 4}));
  EXPECT_EQ(Moved(vk::kDown, 0, At(30, 3)), (GridCell{30, 3}));
}

TEST(GridSelection, PageKeysMoveTenRowsOrToTheEndsWithCtrl) {
  EXPECT_EQ(Moved(vk::kNext, 0, At(5, 3)), (GridCell{15, 3}));
  EXPECT_EQ(Moved(vk::kPrior, 0, At(15, 3)), (GridCell{5, 3}));
  EXPECT_EQ(Moved(vk::kNext, 0, At(25, 3)), (GridCell{30, 3}));
  EXPECT_EQ(Moved(vk::kPrior, 0, At(5, 3)), (GridCell{1, 3}));
  EXPECT_EQ(Moved(vk::kNext, kCtrl, At(5, 3)), (GridCell{30, 3}));
  EXPECT_EQ(Moved(vk::kPrior, kCtrl, At(25, 2)), (GridCell{1, 2}));
}

TEST(GridSelection, HomeAndEndWithAndWithoutCtrl) {
  EXPECT_EQ(Moved(vk::kHome, 0, At(7, 3)), (GridCell{7, 1}));
  EXPECT_EQ(Moved(vk::kEnd, 0, At(7, 2)), (GridCell{7, 4}));
  EXPECT_EQ(Moved(vk::kHome, kCtrl, At(7, 3)), (GridCell{1, 1}));
  EXPECT_EQ(Moved(vk::kEnd, kCtrl, At(7, 2)), (GridCell{30, 4}));
}

TEST(GridSelection, CtrlArrowsScrollWithoutMoving) {
  const struct {
    int key;
    int rows;
    int columns;
  } cases[] = {{vk::kUp, -1, 0}, {vk::kDown, 1, 0}, {vk::kLeft, 0, -1}, {vk::kRight, 0, 1}};
  for (const auto& c : cases) {
    KeyAction action = KeyActionFor(c.key, kCtrl, At(5, 2), true);
    EXPECT_EQ(action.kind, KeyAction::Kind::kScroll);
    EXPECT_EQ(action.scroll_rows, c.rows);
    EXPECT_EQ(action.scroll_columns, c.columns);
  }
}

TEST(GridSelection, ShiftMovesTheSecondCornerAndStopsAtTheEdges) {
  GridSelection s = At(5, 2);
  for (int i = 0; i < 3; ++i) s.ExtendTo(Moved(vk::kDown, kShift, s));
  s.ExtendTo(Moved(vk::kRight, kShift, s));
  EXPECT_EQ(s.first(), (GridCell{5, 2}));
  EXPECT_EQ(s.second(), (GridCell{8, 3}));
  s.ExtendTo(Moved(vk::kEnd, kShift | kCtrl, s));
  EXPECT_EQ(s.second(), (GridCell{30, 4}));
  s.ExtendTo(Moved(vk::kDown, kShift, s));
  s.ExtendTo(Moved(vk::kRight, kShift, s));
  EXPECT_EQ(s.second(), (GridCell{30, 4}));
  s.ExtendTo(Moved(vk::kHome, kShift | kCtrl, s));
  EXPECT_EQ(s.second(), (GridCell{1, 1}));
  s.ExtendTo(Moved(vk::kUp, kShift, s));
  s.ExtendTo(Moved(vk::kLeft, kShift, s));
  EXPECT_EQ(s.second(), (GridCell{1, 1}));
  s.ExtendTo(Moved(vk::kNext, kShift, s));
  EXPECT_EQ(s.second(), (GridCell{11, 1}));
  s.ExtendTo(Moved(vk::kPrior, kShift | kCtrl, s));
  EXPECT_EQ(s.second(), (GridCell{1, 1}));
  EXPECT_EQ(s.first(), (GridCell{5, 2}));  // the anchor never moved
}

TEST(GridSelection, TheCursorIsTheRectanglesTopLeftAndPlainMovesStartThere) {
  GridSelection s = At(5, 3);
  s.ExtendTo(GridCell{3, 1});
  EXPECT_EQ(s.cursor(), (GridCell{3, 1}));
  s.ExtendTo(GridCell{8, 1});
  EXPECT_EQ(s.cursor(), (GridCell{5, 1}));
  EXPECT_EQ(s.top(), 5);
  EXPECT_EQ(s.bottom(), 8);
  EXPECT_EQ(s.left(), 1);
  EXPECT_EQ(s.right(), 3);
  // A plain move collapses the rectangle, moving from the cursor.
  KeyAction action = KeyActionFor(vk::kDown, 0, s, true);
  EXPECT_EQ(action.kind, KeyAction::Kind::kMove);
  EXPECT_EQ(action.target, (GridCell{6, 1}));
}

TEST(GridSelection, ShiftIsAPlainMoveWithoutRangeSelection) {
  KeyAction action = KeyActionFor(vk::kDown, kShift, At(5, 2), false);
  EXPECT_EQ(action.kind, KeyAction::Kind::kMove);
  EXPECT_EQ(action.target, (GridCell{6, 2}));
}

TEST(GridSelection, OtherKeysAndAltDoNothing) {
  EXPECT_EQ(KeyActionFor('X', 0, At(5, 2), true).kind, KeyAction::Kind::kNone);
  EXPECT_EQ(KeyActionFor(vk::kReturn, 0, At(5, 2), true).kind, KeyAction::Kind::kNone);
  EXPECT_EQ(KeyActionFor(vk::kDown, platform::kShiftAlt, At(5, 2), true).kind,
            KeyAction::Kind::kNone);
}

TEST(GridSelection, CornersStayInsideTheTableAsItShrinks) {
  GridSelection s = At(20, 4);
  s.ExtendTo(GridCell{25, 2});
  s.SetExtent(10, 3);
  EXPECT_EQ(s.first(), (GridCell{10, 3}));
  EXPECT_EQ(s.second(), (GridCell{10, 2}));
  s.SetExtent(0, 0);  // an empty table still names a cell
  EXPECT_EQ(s.cursor(), (GridCell{1, 1}));
  EXPECT_EQ(Moved(vk::kEnd, kCtrl, s), (GridCell{1, 1}));
}

TEST(GridSelection, WholeRowsColumnsAndAll) {
  GridSelection s = At(1, 1, 6, 4);
  s.SelectRow(3);
  EXPECT_EQ(s.first(), (GridCell{3, 1}));
  EXPECT_EQ(s.second(), (GridCell{3, 4}));
  s.SelectColumn(2);
  EXPECT_EQ(s.first(), (GridCell{1, 2}));
  EXPECT_EQ(s.second(), (GridCell{6, 2}));
  s.SelectAll();
  EXPECT_EQ(s.first(), (GridCell{1, 1}));
  EXPECT_EQ(s.second(), (GridCell{6, 4}));
  EXPECT_TRUE(s.Contains(6, 4));
  EXPECT_FALSE(s.Contains(7, 4));
}

}  // namespace
}  // namespace memo::ui
