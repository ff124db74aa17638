// The steps that need the memo program itself, run in-process against its real entry routine:
// the data-bound grid's numbering (data from 1, row 0 and column 0 the headings), clicking and
// extending, the in-place edit of the cursor cell, and the main window refusing every step while
// one of its dialogs is open.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/entry.h"
#include "tests/script/script_test_util.h"
#include "tests/script/test_program.h"

namespace memo::script::testing {
namespace {

// First start, the carried files written, signed in with the carried account.
constexpr const char* kSignIn =
    "clock 2014-07-10 09:05:00\n"
    "answer OK\n"
    "start\n"
    "expect-box 温馨提示 ID信息不存在是否初始化？\n"
    "key login 编辑框2 Enter\n"
    "expect-open main\n";

// Three memos recorded a minute apart: rows 1 to 3 in the order they were added.
constexpr const char* kThreeMemos =
    "type main 组合框1 客户\n"
    "type main 编辑框1 第一条\n"
    "click main 按钮记事添加\n"
    "clock 2014-07-10 09:06:00\n"
    "type main 组合框1 供应商\n"
    "type main 编辑框1 第二条\n"
    "click main 按钮记事添加\n"
    "clock 2014-07-10 09:07:00\n"
    "type main 组合框1 客户\n"
    "type main 编辑框1 第三条\n"
    "click main 按钮记事添加\n";

class MemoProgramTest : public ::testing::Test {
 protected:
  // Each run starts in a fresh directory, so that it is a first start.
  Outcome Run(const std::string& steps) {
    dir_ = std::make_unique<TempDir>();
    return RunScript(std::string(kSignIn) + steps, *dir_, memo::app::RunMemo);
  }
  // The line number of the first step after the sign-in steps.
  static int FirstLine() { return 7; }
  std::string Line(int offset) { return "s.script:" + std::to_string(FirstLine() + offset); }
  std::unique_ptr<TempDir> dir_;
};

TEST_F(MemoProgramTest, CellsAreNumberedFromOneWithTheHeadingsAtZero) {
  Outcome o = Run(std::string(kThreeMemos) +
                  "expect-rows main 表格1 3\n"
                  "expect-cell main 表格1 0 0 \"\"\n"
                  "expect-cell main 表格1 0 1 分类\n"
                  "expect-cell main 表格1 0 4 跟进\n"
                  "expect-cell main 表格1 2 0 2\n"
                  "expect-cell main 表格1 1 3 第一条\n"
                  "expect-cell main 表格1 2 1 供应商\n"
                  "expect-cell main 表格1 3 2 2014年7月10日9时7分\n"
                  "expect-cell main 表格1 3 4 \"\"\n");
  EXPECT_EQ(o.status, 0) << o.err;
}

TEST_F(MemoProgramTest, CellsOutsideTheTableFailAndSayHowBigItIs) {
  std::string memos = kThreeMemos;
  const int next = 11;  // the line after the three memos
  EXPECT_EQ(Run(memos + "expect-cell main 表格1 4 1 x\n").err,
            Line(next) +
                ": main 表格1: it has no cell 4, 1 (it has 3 data rows and 4 data "
                "columns, numbered from 1)\n");
  EXPECT_EQ(Run(memos + "cell main 表格1 1 5\n").err,
            Line(next) +
                ": main 表格1: it has no cell 1, 5 (it has 3 data rows and 4 data "
                "columns, numbered from 1)\n");
  EXPECT_EQ(Run(memos + "expect-rows main 表格1 2\n").err,
            Line(next) + ": expected main 表格1 to have 2 rows, found 3\n");
  EXPECT_EQ(Run(memos + "expect-cell main 表格1 1 1 供应商\n").err,
            Line(next) + ": expected cell 1, 1 of main 表格1 to hold 供应商, found 客户\n");
}

TEST_F(MemoProgramTest, ClicksMoveTheCursorAndShiftExtendsFromTheTopLeft) {
  Outcome o = Run(std::string(kThreeMemos) +
                  "expect-cursor main 表格1 3 1\n"  // on the memo recorded last
                  "cell main 表格1 3 2\n"
                  "expect-cursor main 表格1 3 2\n"
                  "expect-focus main 表格1\n"
                  // The selection grows up and to the left: the cursor is its top-left cell.
                  "cell main 表格1 1 1 shift\n"
                  "expect-cursor main 表格1 1 1\n"
                  "cell main 表格1 2 4\n"
                  "expect-cursor main 表格1 2 4\n"
                  // A column heading selects the column (cursor on its first row), a row heading
                  // the row (cursor on its first column).
                  "cell main 表格1 0 3\n"
                  "expect-cursor main 表格1 1 3\n"
                  "cell main 表格1 3 0\n"
                  "expect-cursor main 表格1 3 1\n");
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(
      Run(std::string(kThreeMemos) + "cell main 表格1 2 2\nexpect-cursor main 表格1 2 1\n").err,
      Line(12) + ": expected the cursor of main 表格1 on 2, 1, found it on 2, 2\n");
}

TEST_F(MemoProgramTest, EditWritesTheCursorCellThroughTheDataSource) {
  Outcome o = Run(std::string(kThreeMemos) +
                  "cell main 表格1 2 3\n"
                  "edit main 表格1 \"改过 的\"\n"
                  "expect-cell main 表格1 2 3 \"改过 的\"\n"
                  "expect-cell main 表格1 1 3 第一条\n"
                  "expect-cursor main 表格1 2 3\n"
                  // The grid takes the focus back: the next edit starts from it again.
                  "expect-focus main 表格1\n"
                  "edit main 表格1 再改\n"
                  "expect-cell main 表格1 2 3 再改\n"
                  // The category list is read from the file: the edit reached it.
                  "cell main 表格1 1 1\n"
                  "edit main 表格1 新类\n"
                  "type main 组合框1 客户\n"
                  "type main 编辑框1 第四条\n"
                  "click main 按钮记事添加\n"
                  "expect-items main 组合框2 全部 新类 供应商 客户\n");
  EXPECT_EQ(o.status, 0) << o.err;
}

TEST_F(MemoProgramTest, EditNeedsOneSelectedCellThatHoldsData) {
  EXPECT_EQ(Run("edit main 表格1 x\n").err,
            Line(0) +
                ": main 表格1 cannot edit: its cursor cell 1, 1 holds no data (it has 0 "
                "data rows and 4 data columns)\n");
  std::string memos = kThreeMemos;
  EXPECT_EQ(Run(memos + "cell main 表格1 1 1\ncell main 表格1 2 3 shift\nedit main 表格1 x\n").err,
            Line(13) +
                ": main 表格1 cannot edit: its selection is the cells 1, 1 to 2, 3, not "
                "one cell: select the cell with cell first\n");
  EXPECT_EQ(Run(memos + "edit main 组合框1 x\n").err,
            Line(11) + ": main 组合框1 cannot edit: it is no grid\n");
}

TEST_F(MemoProgramTest, AnOpenDialogLeavesTheMainWindowUnreachable) {
  struct Case {
    const char* open;
    const char* dialog;
  };
  for (const Case& c :
       {Case{"menu main 软件介绍\n", "intro"}, Case{"menu main 修改密码\n", "password"}}) {
    SCOPED_TRACE(c.dialog);
    const std::string refused = Line(1) + ": window main is disabled (the modal window " +
                                c.dialog + " is open); a person cannot act on it\n";
    for (const char* step : {"click main 按钮记事添加\n", "type main 编辑框1 x\n",
                             "menu main 软件介绍\n", "close main\n", "cell main 表格1 0 1\n"}) {
      SCOPED_TRACE(step);
      Outcome o = Run(std::string(c.open) + step);
      EXPECT_EQ(o.status, 1);
      EXPECT_EQ(o.err, refused);
    }
    // Looking is not acting, and once the dialog is closed the main window works again.
    Outcome o = Run(std::string(c.open) + "expect-title main 墨川软件之备忘录2.11\n" + "close " +
                    c.dialog + "\n" +
                    "type main 组合框1 客户\n"
                    "type main 编辑框1 有了\n"
                    "click main 按钮记事添加\n"
                    "expect-rows main 表格1 1\n");
    EXPECT_EQ(o.status, 0) << o.err;
  }
}

TEST_F(MemoProgramTest, TheFollowUpDialogLeavesTheMainWindowUnreachable) {
  Outcome o = Run(std::string(kThreeMemos) +
                  "choose 跟进\n"
                  "cell main 表格1 1 3\n"
                  "expect-open followup\n"
                  "click main 按钮记事删除\n");
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err, Line(14) +
                       ": window main is disabled (the modal window followup is open); "
                       "a person cannot act on it\n");
}

// The advanced grid of the test program's dialog: it has no in-place editor.
TEST(AdvancedGridEditTest, TheAdvancedGridDoesNotEdit) {
  ResetTestProgram();
  TempDir dir;
  Outcome o = RunScript(
      "start\nmenu login 对话框\ncell password 高级表格1 1 1\n"
      "edit password 高级表格1 x\n",
      dir, TestProgramEntry);
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(
      o.err,
      "s.script:4: password 高级表格1 cannot edit: the advanced grid does not edit its cells\n");
}

}  // namespace
}  // namespace memo::script::testing
