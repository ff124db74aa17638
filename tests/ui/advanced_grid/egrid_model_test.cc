// The advanced grid's model: where inserted rows go, what reset keeps, counts and fixed counts,
// the focus cell, and numeric columns.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/ui/advanced_grid/egrid_test_support.h"
#include "ui/advanced_grid/egrid_model.h"

namespace memo::ui {
namespace {

using testing::FollowUpSettings;
using testing::G;

std::vector<std::string> Column0(const EGridModel& model) {
  std::vector<std::string> texts;
  for (int r = 0; r < model.rows(); ++r) texts.emplace_back(model.CellText(r, 0));
  return texts;
}

EGridSettings Sized(int rows, int columns, int fixed_rows, int fixed_columns) {
  EGridSettings s;
  s.rows = rows;
  s.columns = columns;
  s.fixed_rows = fixed_rows;
  s.fixed_columns = fixed_columns;
  return s;
}

// --- Inserting rows ------------------------------------------------------------------------------

// The follow-up window's fill: while only row 0 exists, position 1 appends (1 >= R); after that
// every row inserted at 1 goes directly below row 0, so the newest row ends on top.
TEST(EGridInsertRow, AtOneAppendsOnceThenPutsTheNewestRowOnTop) {
  EGridModel model(FollowUpSettings());
  ASSERT_EQ(model.rows(), 1);
  for (const char* entry : {"first", "second", "third"}) {
    ASSERT_TRUE(model.InsertRow("", 1));
    ASSERT_TRUE(model.SetCellText(1, 0, entry));
  }
  EXPECT_EQ(Column0(model), (std::vector<std::string>{"", "third", "second", "first"}));
  EXPECT_EQ(model.fixed_rows(), 0);
  EXPECT_EQ(model.fixed_columns(), 0);
}

TEST(EGridInsertRow, PositionsOmittedInTheFixedRowsOrPastTheEndAppend) {
  EGridModel model(Sized(3, 2, 1, 0));
  ASSERT_TRUE(model.InsertRow("omitted", std::nullopt));
  ASSERT_TRUE(model.InsertRow("fixed", 0));
  ASSERT_TRUE(model.InsertRow("past", 99));
  ASSERT_TRUE(model.InsertRow("at end", model.rows()));
  ASSERT_TRUE(model.InsertRow("negative", -1));
  ASSERT_TRUE(model.InsertRow("inside", 2));
  EXPECT_EQ(Column0(model), (std::vector<std::string>{"", "", "inside", "", "omitted", "fixed",
                                                      "past", "at end", "negative"}));
}

TEST(EGridInsertRow, FirstInsertIntoABareGridMakesAHeadingRowAndColumn) {
  EGridSettings bare = Sized(0, 0, 0, 0);
  bare.row_height = 50;
  EGridModel model(bare);
  ASSERT_TRUE(model.InsertRow(G("标题"), std::nullopt));
  EXPECT_EQ(model.rows(), 1);
  EXPECT_EQ(model.columns(), 1);  // a grid without columns gets one
  EXPECT_EQ(model.fixed_rows(), 1);
  EXPECT_EQ(model.fixed_columns(), 1);
  EXPECT_EQ(model.CellText(0, 0), G("标题"));
  EXPECT_EQ(model.row_height(0), 24);  // no row 0 to copy the height from
  EXPECT_EQ(model.column_width(0), 60);

  // With a fixed column already there, no heading row is made.
  EGridModel columns_only(Sized(0, 3, 0, 1));
  ASSERT_TRUE(columns_only.InsertRow("", std::nullopt));
  EXPECT_EQ(columns_only.fixed_rows(), 0);
  EXPECT_EQ(columns_only.fixed_columns(), 1);
  EXPECT_EQ(columns_only.rows(), 1);
}

TEST(EGridInsertRow, NewRowIsAsTallAsRowZero) {
  EGridModel model(Sized(2, 2, 0, 0));
  ASSERT_TRUE(model.SetDefaultRowHeight(41));
  ASSERT_TRUE(model.InsertRow("", 1));
  EXPECT_EQ(model.row_height(1), 41);
  EXPECT_EQ(model.rows(), 3);
}

TEST(EGridInsertRow, FocusMovesDownWithItsRow) {
  EGridModel model(Sized(4, 2, 1, 0));
  ASSERT_TRUE(model.SetFocus(CellPos{2, 1}));
  ASSERT_TRUE(model.InsertRow("", std::nullopt));  // appended below: the focus stays
  EXPECT_EQ(model.focus(), (CellPos{2, 1}));
  ASSERT_TRUE(model.InsertRow("", 3));  // below the focus row
  EXPECT_EQ(model.focus(), (CellPos{2, 1}));
  ASSERT_TRUE(model.InsertRow("", 2));  // at the focus row: that row moves down
  EXPECT_EQ(model.focus(), (CellPos{3, 1}));
  ASSERT_TRUE(model.InsertRow("", 1));
  EXPECT_EQ(model.focus(), (CellPos{4, 1}));
}

TEST(EGridInsertRow, ThousandRowsAtTheTopKeepTheirCells) {
  EGridModel model(FollowUpSettings());
  for (int i = 0; i < 1000; ++i) {
    ASSERT_TRUE(model.InsertRow("", 1));
    ASSERT_TRUE(model.SetCellText(1, 1, std::to_string(i)));
  }
  ASSERT_EQ(model.rows(), 1001);
  EXPECT_EQ(model.CellText(1, 1), "999");
  EXPECT_EQ(model.CellText(500, 1), "500");
  EXPECT_EQ(model.CellText(1000, 1), "0");
  EXPECT_EQ(model.CellText(0, 1), "");
}

// --- Reset ---------------------------------------------------------------------------------------

TEST(EGridReset, KeepsTheCountsAndClearsEveryCellAndSetting) {
  EGridSettings settings = Sized(7, 3, 1, 1);
  settings.row_height = 22;
  settings.column_width = 70;
  EGridModel model(settings);
  ASSERT_TRUE(model.SetColumnKind(2, EGridColumnKind::kCheckBox));
  for (int r = 0; r < 7; ++r) ASSERT_TRUE(model.SetCellText(r, 1, "x" + std::to_string(r)));
  ASSERT_TRUE(model.SetCellChecked(3, 2, true));
  ASSERT_TRUE(model.SetCellStyle(4, 1, EGridCellStyle{platform::FontSpec{}, 0xFF, 0xFF00}));
  ASSERT_TRUE(model.SetDefaultRowHeight(40));
  ASSERT_TRUE(model.SetColumnWidth(1, 200));
  ASSERT_TRUE(model.SetFixedRows(3));
  ASSERT_TRUE(model.SetFixedColumns(0));

  model.Reset();
  EXPECT_EQ(model.rows(), 7);
  EXPECT_EQ(model.columns(), 3);
  for (int r = 0; r < 7; ++r) {
    for (int c = 0; c < 3; ++c) EXPECT_EQ(model.Cell(r, c), nullptr) << r << "," << c;
    EXPECT_EQ(model.row_height(r), 22);
  }
  for (int c = 0; c < 3; ++c) EXPECT_EQ(model.column_width(c), 70);
  EXPECT_EQ(model.default_row_height(), 22);
  EXPECT_EQ(model.fixed_rows(), 1);
  EXPECT_EQ(model.fixed_columns(), 1);
  // Column declarations are not cell settings: the check-box column stays one.
  EXPECT_EQ(model.column_kind(2), EGridColumnKind::kCheckBox);
}

TEST(EGridReset, RestoredFixedCountsFitTheCountsKept) {
  EGridModel model(Sized(5, 5, 2, 2));
  ASSERT_TRUE(model.SetFixedRows(0));
  ASSERT_TRUE(model.SetRowCount(1));
  model.Reset();
  EXPECT_EQ(model.rows(), 1);
  EXPECT_EQ(model.fixed_rows(), 1);
  EXPECT_EQ(model.fixed_columns(), 2);
  EXPECT_TRUE(model.focus().none());  // no non-fixed row is left
}

// --- Counts --------------------------------------------------------------------------------------

TEST(EGridCounts, RowCountRefusesZeroAndNegativeAndReappliesTheDefaultHeight) {
  EGridModel model(Sized(5, 2, 0, 0));
  EXPECT_FALSE(model.SetRowCount(0));
  EXPECT_FALSE(model.SetRowCount(-3));
  EXPECT_FALSE(model.SetRowCount(kEGridMaxRows + 1));
  EXPECT_EQ(model.rows(), 5);
  ASSERT_TRUE(model.SetDefaultRowHeight(33));
  ASSERT_TRUE(model.SetRowCount(1));
  EXPECT_EQ(model.rows(), 1);
  EXPECT_EQ(model.row_height(0), 33);
  ASSERT_TRUE(model.SetRowCount(4));
  for (int r = 0; r < 4; ++r) EXPECT_EQ(model.row_height(r), 33);
}

TEST(EGridCounts, ColumnCountDropsCellsPastTheLastColumn) {
  EGridModel model(Sized(2, 3, 0, 0));
  ASSERT_TRUE(model.SetCellText(1, 2, "gone"));
  ASSERT_TRUE(model.SetColumnWidth(0, 99));
  EXPECT_FALSE(model.SetColumnCount(0));
  EXPECT_EQ(model.columns(), 3);
  ASSERT_TRUE(model.SetColumnCount(2));
  ASSERT_TRUE(model.SetColumnCount(3));
  EXPECT_EQ(model.CellText(1, 2), "");
  EXPECT_EQ(model.column_width(0), 60);  // the default again
}

TEST(EGridCounts, FixedCountsBeyondTheCountsAreRefusedAndPushTheFocusOut) {
  EGridModel model(Sized(3, 3, 0, 0));
  ASSERT_TRUE(model.SetFocus(CellPos{1, 1}));
  EXPECT_FALSE(model.SetFixedRows(4));
  EXPECT_FALSE(model.SetFixedRows(-1));
  ASSERT_TRUE(model.SetFixedRows(2));
  EXPECT_EQ(model.focus(), (CellPos{2, 1}));
  EXPECT_EQ(model.top_row(), 2);
  ASSERT_TRUE(model.SetFixedRows(3));
  EXPECT_TRUE(model.focus().none());
  ASSERT_TRUE(model.SetRowCount(1));  // the fixed rows shrink with the rows
  EXPECT_EQ(model.fixed_rows(), 1);
}

TEST(EGridCounts, ShrinkingTheRowsPullsTheFocusUp) {
  EGridModel model(Sized(10, 2, 1, 0));
  ASSERT_TRUE(model.SetFocus(CellPos{8, 1}));
  ASSERT_TRUE(model.SetRowCount(4));
  EXPECT_EQ(model.focus(), (CellPos{3, 1}));
}

TEST(EGridCounts, DefaultSizesResizeEveryRowAndColumnAndRefuseNegatives) {
  EGridModel model(Sized(3, 3, 0, 0));
  ASSERT_TRUE(model.SetColumnWidth(1, 10));
  ASSERT_TRUE(model.SetDefaultColumnWidth(80));
  for (int c = 0; c < 3; ++c) EXPECT_EQ(model.column_width(c), 80);
  EXPECT_FALSE(model.SetDefaultColumnWidth(-1));
  EXPECT_FALSE(model.SetDefaultRowHeight(kEGridMaxCellSize + 1));
  EXPECT_EQ(model.default_column_width(), 80);
  EXPECT_EQ(model.default_row_height(), 24);
}

// --- Focus ---------------------------------------------------------------------------------------

TEST(EGridFocus, StartsOnTheFirstNonFixedCellAndRefusesFixedOnes) {
  EGridModel model(Sized(5, 5, 1, 1));
  EXPECT_EQ(model.focus(), (CellPos{1, 1}));
  EXPECT_FALSE(model.SetFocus(CellPos{0, 3}));
  EXPECT_FALSE(model.SetFocus(CellPos{3, 0}));
  EXPECT_FALSE(model.SetFocus(CellPos{5, 1}));
  EXPECT_EQ(model.focus(), (CellPos{1, 1}));
  EXPECT_TRUE(model.SetFocus(CellPos{4, 4}));
  EXPECT_EQ(model.focus(), (CellPos{4, 4}));

  EGridModel all_fixed(Sized(1, 2, 1, 0));
  EXPECT_TRUE(all_fixed.focus().none());
}

// --- Numeric columns -----------------------------------------------------------------------------

TEST(EGridNumbers, NumericColumnRefusesOtherTextsAndShowsItsDecimals) {
  EGridModel model(Sized(3, 2, 1, 0));
  ASSERT_TRUE(model.SetColumnNumberFormat(1, 2));
  EXPECT_FALSE(model.SetCellText(1, 1, "abc"));
  EXPECT_FALSE(model.SetCellText(1, 1, "12abc"));
  ASSERT_TRUE(model.SetCellText(1, 1, "3.14159"));
  EXPECT_EQ(model.CellText(1, 1), "3.14159");
  EXPECT_EQ(model.DisplayText(1, 1), "3.14");
  ASSERT_TRUE(model.SetCellText(2, 1, " -1e2 "));
  EXPECT_EQ(model.DisplayText(2, 1), "-100.00");
  ASSERT_TRUE(model.SetCellText(2, 1, ""));         // clearing is not a refused text
  ASSERT_TRUE(model.SetCellText(0, 1, G("金额")));  // the heading is no number
  EXPECT_EQ(model.DisplayText(0, 1), G("金额"));

  ASSERT_TRUE(model.SetCellText(1, 1, "0"));
  EXPECT_EQ(model.DisplayText(1, 1), "");
  model.SetShowZeros(true);
  EXPECT_EQ(model.DisplayText(1, 1), "0.00");

  ASSERT_TRUE(model.SetColumnNumberFormat(1, 0));
  ASSERT_TRUE(model.SetCellText(1, 1, "2.5"));
  EXPECT_EQ(model.DisplayText(1, 1), "2");  // round half to even, as printf does
  EXPECT_FALSE(model.SetColumnNumberFormat(1, 10));
  EXPECT_FALSE(model.SetColumnNumberFormat(5, 2));
  ASSERT_TRUE(model.SetColumnNumberFormat(1, -1));
  EXPECT_TRUE(model.SetCellText(1, 1, "abc"));
}

TEST(EGridNumbers, WhatCountsAsANumber) {
  for (const char* yes : {"0", "-7", "+7", "1.", ".5", "1e3", "1E-3", " 42 ", "007"}) {
    EXPECT_TRUE(IsNumberText(yes)) << yes;
  }
  for (const char* no :
       {"", " ", "+", "-", ".", "1e", "0x10", "inf", "nan", "1 2", "--1", "1,5", "1e999"}) {
    EXPECT_FALSE(IsNumberText(no)) << no;
  }
}

}  // namespace
}  // namespace memo::ui
