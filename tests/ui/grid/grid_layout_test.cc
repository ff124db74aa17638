#include "ui/grid/grid_layout.h"

#include <gtest/gtest.h>

namespace memo::ui {
namespace {

// Rows 20 pixels high, a 40-pixel heading column, columns 100, 50, 200 and 80 wide, in a client
// area of 300 × 210: ten data rows fit wholly below the heading row.
GridLayout Layout(int rows) {
  GridLayout layout;
  GridMetrics metrics;
  metrics.row_height = 20;
  metrics.heading_width = 40;
  metrics.column_widths = {100, 50, 200, 80};
  layout.SetMetrics(metrics);
  layout.SetClientSize(platform::Size{300, 210});
  layout.SetRowCount(rows);
  return layout;
}

TEST(GridLayout, CellsLieBesideTheHeadings) {
  GridLayout layout = Layout(100);
  EXPECT_EQ(layout.CellRect(0, 0), (platform::Rect{0, 0, 40, 20}));
  EXPECT_EQ(layout.CellRect(0, 1), (platform::Rect{40, 0, 100, 20}));
  EXPECT_EQ(layout.CellRect(1, 0), (platform::Rect{0, 20, 40, 20}));
  EXPECT_EQ(layout.CellRect(2, 3), (platform::Rect{190, 40, 200, 20}));
  EXPECT_EQ(layout.FullRowsVisible(), 9);
  EXPECT_EQ(layout.LastShownRow(), 10);  // the tenth is cut at the bottom
  EXPECT_EQ(layout.FullColumnsVisible(), 2);
  EXPECT_EQ(layout.LastShownColumn(), 3);
}

TEST(GridLayout, HitTestFindsCellsHeadingsAndNothingPastTheTable) {
  GridLayout layout = Layout(3);
  EXPECT_EQ(layout.HitTest({5, 5}).row, 0);
  EXPECT_EQ(layout.HitTest({5, 5}).column, 0);
  GridLayout::Hit hit = layout.HitTest({145, 45});
  EXPECT_EQ(hit.row, 2);
  EXPECT_EQ(hit.column, 2);
  EXPECT_EQ(layout.HitTest({139, 79}).row, 3);
  EXPECT_EQ(layout.HitTest({139, 79}).column, 1);
  EXPECT_EQ(layout.HitTest({50, 80}).row, -1);  // below the last of three rows
  EXPECT_EQ(layout.HitTest({-1, 5}).row, -1);
  EXPECT_EQ(layout.HitTest({300, 5}).row, -1);
}

TEST(GridLayout, ScrollingKeepsTheHeadingsAndMovesTheCells) {
  GridLayout layout = Layout(100);
  layout.ScrollTo(11, 2);
  EXPECT_EQ(layout.CellRect(11, 2), (platform::Rect{40, 20, 50, 20}));
  EXPECT_EQ(layout.CellRect(0, 2).top, 0);
  EXPECT_EQ(layout.CellRect(11, 0).left, 0);
  EXPECT_LT(layout.CellRect(10, 2).top, 20);  // scrolled out: under the heading row
  EXPECT_LT(layout.CellRect(11, 1).right(), 41);
  GridLayout::Hit hit = layout.HitTest({45, 25});
  EXPECT_EQ(hit.row, 11);
  EXPECT_EQ(hit.column, 2);
}

TEST(GridLayout, ScrollPositionsAreHeldWithinTheTable) {
  GridLayout layout = Layout(100);
  EXPECT_EQ(layout.MaxTopRow(), 92);  // rows 92 .. 100 fill the nine whole rows
  layout.ScrollTo(500, 9);
  EXPECT_EQ(layout.top_row(), 92);
  EXPECT_EQ(layout.left_column(), layout.MaxLeftColumn());
  // 260 pixels beside the heading column: column 4 (80) fits, 3 and 4 (280) do not.
  EXPECT_EQ(layout.MaxLeftColumn(), 4);
  layout.ScrollTo(-3, -3);
  EXPECT_EQ(layout.top_row(), 1);
  EXPECT_EQ(layout.left_column(), 1);
  layout.SetRowCount(5);  // shorter than the view: nothing to scroll
  EXPECT_EQ(layout.MaxTopRow(), 1);
}

TEST(GridLayout, ScrollIntoViewMovesAsLittleAsPossible) {
  GridLayout layout = Layout(100);
  EXPECT_FALSE(layout.ScrollIntoView(9, 1));
  EXPECT_TRUE(layout.ScrollIntoView(10, 0));
  EXPECT_EQ(layout.top_row(), 2);
  EXPECT_TRUE(layout.ScrollIntoView(50, 0));
  EXPECT_EQ(layout.top_row(), 42);
  EXPECT_TRUE(layout.ScrollIntoView(3, 0));
  EXPECT_EQ(layout.top_row(), 3);
  EXPECT_TRUE(layout.ScrollIntoView(0, 4));
  EXPECT_GE(layout.CellRect(3, 4).left, 40);
  EXPECT_LE(layout.CellRect(3, 4).right(), 300);
  EXPECT_TRUE(layout.ScrollIntoView(0, 1));
  EXPECT_EQ(layout.left_column(), 1);
}

TEST(GridLayout, DragPastAnEdgeTargetsTheNextCellOut) {
  GridLayout layout = Layout(100);
  layout.ScrollTo(5, 2);
  EXPECT_EQ(layout.DragTarget({100, 400}), (GridCell{5 + 9, 3}));
  EXPECT_EQ(layout.DragTarget({100, 5}), (GridCell{4, 3}));
  EXPECT_EQ(layout.DragTarget({10, 50}), (GridCell{6, 1}));
  EXPECT_EQ(layout.DragTarget({999, 50}).column, 4);
  layout.ScrollTo(1, 1);
  EXPECT_EQ(layout.DragTarget({10, 5}), (GridCell{1, 1}));  // nothing before the first cell
}

}  // namespace
}  // namespace memo::ui
