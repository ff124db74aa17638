// The advanced grid's columns sized as a person sizes them and long texts read in its tip: the
// sizing pointer over a column edge in a fixed row, a double click there fitting the column to
// the widest text in view, and a long entry's tip wrapped into lines that each keep their spaces.
#include <gtest/gtest.h>

#include <string>

#include "tests/ui/advanced_grid/egrid_test_support.h"
#include "ui/advanced_grid/egrid.h"

namespace memo::ui {
namespace {

using platform::InputEvent;
using platform::InputKind;
using platform::Point;
using testing::G;

EGridSettings LogLike() {
  EGridSettings s;
  s.rows = 4;
  s.columns = 2;
  s.fixed_rows = 1;
  s.fixed_columns = 0;
  return s;
}

class EGridSizingTest : public testing::HeadlessGridTest {
 protected:
  void Send(InputKind kind, Point at) {
    InputEvent event;
    event.kind = kind;
    event.x = at.x;
    event.y = at.y;
    canvas_->on_input(event);
  }
};

TEST_F(EGridSizingTest, ThePointerShowsTheSizingShapeOverAColumnEdgeInAFixedRow) {
  Make(LogLike());
  MoveTo(Point{59, 12});  // the first column's right edge, in the heading row
  EXPECT_EQ(canvas_->cursor(), platform::CursorShape::kSizeWe);
  MoveTo(Point{30, 12});
  EXPECT_EQ(canvas_->cursor(), platform::CursorShape::kDefault);
  MoveTo(Point{59, 36});  // the same edge below the fixed rows: cells, not sizing
  EXPECT_EQ(canvas_->cursor(), platform::CursorShape::kDefault);
}

TEST_F(EGridSizingTest, ADoubleClickOnAnEdgeFitsTheColumnToItsWidestTextInView) {
  Make(LogLike());
  const std::string wide = G("二〇二六年十二月八日");  // 10 characters of 12 pixels
  ASSERT_TRUE(grid_->model().SetCellText(2, 0, wide));
  ASSERT_TRUE(grid_->model().SetCellText(1, 0, "x"));
  Send(InputKind::kLeftDown, Point{59, 12});
  Send(InputKind::kLeftUp, Point{59, 12});
  Send(InputKind::kLeftDoubleClick, Point{59, 12});
  Send(InputKind::kLeftUp, Point{59, 12});
  const int fitted = grid_->model().column_width(0);
  EXPECT_GE(fitted, 120);
  EXPECT_LE(fitted, 120 + 12);
  // A narrower text fits a narrower column.
  ASSERT_TRUE(grid_->model().SetCellText(2, 0, "x"));
  grid_->FitColumn(0);
  EXPECT_LT(grid_->model().column_width(0), 40);
  // A column outside the grid is left alone.
  grid_->FitColumn(5);
  EXPECT_EQ(grid_->model().column_width(1), 60);
}

// A width a person gives a column outlasts the program's own widths and the grid itself: the
// follow-up window sets its widths at every fill and is made anew at every opening.
TEST_F(EGridSizingTest, AWidthAPersonGaveAColumnOutlastsTheProgramsWidthsAndTheGrid) {
  constexpr uint64_t kKey = uint64_t{0x7E57} << 32 | 9;
  Make(LogLike());
  grid_->RememberWidthsAs(kKey);
  ASSERT_TRUE(grid_->SetProgramColumnWidth(0, 170));
  EXPECT_EQ(grid_->model().column_width(0), 170);
  Send(InputKind::kLeftDown, Point{169, 12});  // the first column's right edge
  Send(InputKind::kMouseMove, Point{99, 12});
  Send(InputKind::kLeftUp, Point{99, 12});
  const int dragged = grid_->model().column_width(0);
  EXPECT_LT(dragged, 170);
  ASSERT_TRUE(grid_->SetProgramColumnWidth(0, 170));
  EXPECT_EQ(grid_->model().column_width(0), dragged);
  ASSERT_TRUE(grid_->SetProgramColumnWidth(1, 400));  // a column nobody sized takes the program's
  EXPECT_EQ(grid_->model().column_width(1), 400);
  EXPECT_FALSE(grid_->SetProgramColumnWidth(5, 10));

  Make(LogLike());  // the window opened again
  grid_->RememberWidthsAs(kKey);
  EXPECT_EQ(grid_->model().column_width(0), dragged);
  ASSERT_TRUE(grid_->SetProgramColumnWidth(0, 170));
  EXPECT_EQ(grid_->model().column_width(0), dragged);

  Make(LogLike());  // another grid keeps its own widths
  grid_->RememberWidthsAs(kKey + 1);
  ASSERT_TRUE(grid_->SetProgramColumnWidth(0, 170));
  EXPECT_EQ(grid_->model().column_width(0), 170);
}

TEST_F(EGridSizingTest, ALongEntrysTipIsWrappedIntoLinesWithinTheGrid) {
  Make(LogLike(), platform::Size{400, 200});
  std::string entry;
  for (int i = 0; i < 8; ++i) entry += G("合同已寄出，等待对方签收回款");
  ASSERT_TRUE(grid_->model().SetCellText(1, 1, entry));
  MoveTo(Point{90, 36});
  const std::string tip = canvas_->tip_text();
  ASSERT_FALSE(tip.empty());
  EXPECT_NE(tip.find("\r\n"), std::string::npos);
  std::string joined;
  size_t start = 0;
  for (;;) {
    size_t end = tip.find("\r\n", start);
    std::string line = tip.substr(start, end == std::string::npos ? end : end - start);
    ASSERT_GE(line.size(), 2u);
    EXPECT_EQ(line.front(), ' ');
    EXPECT_EQ(line.back(), ' ');
    joined += line.substr(1, line.size() - 2);
    if (end == std::string::npos) break;
    start = end + 2;
  }
  EXPECT_EQ(joined, entry);
  EXPECT_LE(canvas_->tip_rect().right(), 400);
  EXPECT_GT(canvas_->tip_rect().height, 24);
}

}  // namespace
}  // namespace memo::ui
