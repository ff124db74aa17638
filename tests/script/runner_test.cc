// The runner against the small test program: steps before, during and after the program, modal
// windows driven by the steps after the one that opened them, the end of the script, message
// boxes left unchecked, run-time errors, and what failures print.
#include <gtest/gtest.h>

#include "platform/backend.h"
#include "platform/codec.h"
#include "runtime/fatal.h"
#include "runtime/literal.h"
#include "tests/script/script_test_util.h"
#include "tests/script/test_program.h"
#include "ui/format/segment.h"
#include "ui/window/unit.h"

namespace memo::script::testing {
namespace {

using Journal_t = std::vector<std::string>;

class RunnerTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetTestProgram(); }
  Outcome Run(std::string_view text, bool trace = false) {
    return RunScript(text, dir_, TestProgramEntry, trace);
  }
  TempDir dir_;
};

// Tests that start the test program.
class ProgramRunnerTest : public RunnerTest {
 protected:
  void SetUp() override {
    RunnerTest::SetUp();
    // The test program's windows hold an edit box and buttons; without those unit types its
    // start-up window cannot load and every test here would fail for that reason alone.
    for (uint32_t type : {ui::unit_type::kEditBox, ui::unit_type::kButton}) {
      const ui::UnitTypeInfo* info = ui::FindUnitType(type);
      ASSERT_TRUE(info && info->create) << "edit box and button units are not in the type table";
    }
  }
};

// --- Steps without the program -----------------------------------------------------------

TEST_F(RunnerTest, FileStepsWorkWithoutStartingTheProgram) {
  Outcome o =
      Run("expect-nofile c.mcn\n"
          "put-file c.mcn \"WEDB\\x00\\x01\"\n"
          "expect-file c.mcn 6\n"
          "expect-file c.mcn\n"
          "expect-md5 c.mcn 690066faf7e9da826a2497481c0f7c12\n"
          "remove-file c.mcn\n"
          "expect-nofile c.mcn\n");
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_TRUE(Journal().empty()) << "the program never started";
}

TEST_F(RunnerTest, CopyFileCopiesEveryByteOverAnyFileOfThatName) {
  dir_.Write("c.mcn", std::string("WEDB\0\x01\xFF", 7));
  dir_.Write("old.mcn", "a longer file that the copy replaces");
  Outcome o = Run("copy-file c.mcn old.mcn\ncopy-file c.mcn new.mcn\n");
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(dir_.Read("old.mcn"), std::string("WEDB\0\x01\xFF", 7));
  EXPECT_EQ(dir_.Read("new.mcn"), std::string("WEDB\0\x01\xFF", 7));
  EXPECT_EQ(dir_.Read("c.mcn"), std::string("WEDB\0\x01\xFF", 7));
  Outcome missing = Run("copy-file gone.mcn x.mcn\n");
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.err, "s.script:1: cannot read gone.mcn: No such file or directory\n");
  EXPECT_FALSE(dir_.Exists("x.mcn"));
}

TEST_F(RunnerTest, PutFileConvertsTextToGbk) {
  Outcome o = Run("put-file x.txt 帐号\n");
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(dir_.Read("x.txt"), Utf8ToGbk("帐号"));
}

TEST_F(RunnerTest, AFailedExpectationPrintsItsLineAndStopsThere) {
  dir_.Write("a.mcn", "abc");
  Outcome o =
      Run("# sizes\n"
          "expect-file a.mcn 3\n"
          "expect-file a.mcn 404\n"
          "put-file later.txt x\n");
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err, "s.script:3: expected file a.mcn of 404 bytes, found 3 bytes\n");
  EXPECT_FALSE(dir_.Exists("later.txt")) << "steps after a failure do not run";
}

TEST_F(RunnerTest, FileExpectationsSayWhatTheyFound) {
  dir_.Write("b.mcn", "12345");
  EXPECT_EQ(Run("expect-nofile b.mcn\n").err,
            "s.script:1: expected no file b.mcn, found one of 5 bytes\n");
  EXPECT_EQ(Run("expect-file c.mcn\n").err, "s.script:1: expected file c.mcn, found none\n");
  Outcome md5 = Run("expect-md5 b.mcn 00000000000000000000000000000000\n");
  EXPECT_NE(md5.err.find("found 827ccb0eea8a706c4c34a16891f84e7b (5 bytes)"), std::string::npos)
      << md5.err;
}

TEST_F(RunnerTest, WindowStepsBeforeStartFail) {
  Outcome o = Run("click login 按钮1\n");
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err, "s.script:1: window login is not open: the program has not been started\n");
  EXPECT_EQ(Run("expect-closed login\n").status, 0);
  EXPECT_EQ(Run("expect-open login\n").status, 1);
  EXPECT_EQ(Run("expect-exit 0\n").err,
            "s.script:1: expected the program to have ended with exit code 0, found it not "
            "started\n");
}

// --- The program running -------------------------------------------------------------------

TEST_F(ProgramRunnerTest, StepsAfterStartDriveTheProgramAndTheEndClosesItsWindows) {
  Outcome o =
      Run("start\n"
          "expect-open login\n"
          "expect-title login 测试窗口\n"
          "type login 编辑框1 \"你好 world\"\n"
          "expect login 编辑框1 8 \"你好 world\"\n"
          "expect-focus login 编辑框1\n"
          "click login 按钮1\n"
          "expect-box 温馨提示 \"你好 world\"\n"
          "expect-focus login 按钮1\n");
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(Journal(), (Journal_t{"login created", "show 你好 world", "login close requested",
                                  "login destroyed", "exit routine"}));
}

TEST_F(ProgramRunnerTest, PropertiesConvertAsTheMessageBoxWould) {
  Outcome o =
      Run("start\n"
          "expect login 按钮1 0 10\n"
          "expect login 按钮1 1 40\n"
          "expect login window 8 测试窗口\n"
          "expect login 0x1601000A 8 \"\"\n"
          "expect login 编辑框1 6 假\n");
  EXPECT_EQ(o.status, 0) << o.err;
  Outcome wrong = Run("start\nexpect login 按钮1 2 81\n");
  EXPECT_EQ(wrong.err, "s.script:2: expected property 2 of login 按钮1 to be 81, found 80\n");
}

TEST_F(ProgramRunnerTest, AClosedWindowShowsItsStoredCommonPropertiesOnly) {
  // Reading a type property of a closed window would end the program; the step refuses instead.
  EXPECT_EQ(Run("start\nexpect password 按钮1 2 80\nexpect password 按钮1 0 10\n").status, 0);
  EXPECT_EQ(Run("start\nexpect password 按钮1 8 关闭\n").err,
            "s.script:2: window password is not open\n");
  EXPECT_EQ(Run("start\nexpect password 按钮7 2 80\n").err,
            "s.script:2: the program has no unit 按钮7 in window password\n");
  EXPECT_EQ(Run("start\nclose login\nexpect login 按钮1 2 80\n").err,
            "s.script:3: window login is not open: the program has ended (exit code 0)\n");
}

TEST_F(ProgramRunnerTest, AUnitTheWindowDoesNotHaveFails) {
  Outcome o = Run("start\nclick login 按钮9\n");
  EXPECT_EQ(o.err, "s.script:2: window login has no unit 按钮9\n");
  EXPECT_EQ(Run("start\ntype login 按钮1 abc\n").err,
            "s.script:2: login 按钮1 is no edit box or combo box\n");
  EXPECT_EQ(Run("start\nexpect-focus password 按钮1\n").err,
            "s.script:2: window password is not open\n");
}

TEST_F(ProgramRunnerTest, KeysReachTheFocusedControl) {
  Outcome o =
      Run("start\n"
          "key login 编辑框1 a\n"
          "key login 编辑框1 shift+B\n"
          "key login 编辑框1 7\n"
          "expect login 编辑框1 8 aB7\n"
          "key login 编辑框1 Tab\n"
          "expect-focus login 按钮1\n");
  EXPECT_EQ(o.status, 0) << o.err;
}

TEST_F(ProgramRunnerTest, FocusFailureNamesWhoHasIt) {
  Outcome o =
      Run("start\nclick login 按钮1\nexpect-box 温馨提示 \"\"\nexpect-focus login 编辑框1\n");
  EXPECT_EQ(o.err, "s.script:4: expected the focus on login 编辑框1, found it on login 按钮1\n");
}

// --- Message boxes -------------------------------------------------------------------------

TEST_F(ProgramRunnerTest, AnswersAreTakenInOrderAndUnansweredBoxesGetOk) {
  Outcome o =
      Run("answer Cancel\n"
          "start\n"
          "menu login 关于\n"
          "menu login 关于\n"
          "answer close\n"
          "menu login 关于\n"
          "expect-box 关于 关于本程序\n"
          "expect-box 关于 关于本程序\n"
          "expect-box 关于 关于本程序\n"
          "expect-no-box\n");
  EXPECT_EQ(o.status, 0) << o.err;
  // The third box is closed with its close control, which on an OK/Cancel box is Cancel.
  EXPECT_EQ(Journal(), (Journal_t{"login created", "about answered Cancel", "about answered OK",
                                  "about answered Cancel", "login close requested",
                                  "login destroyed", "exit routine"}));
}

TEST_F(ProgramRunnerTest, AnAnswerTheBoxDoesNotHaveFails) {
  Outcome o = Run("answer Yes\nstart\nmenu login 关于\n");
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err,
            "s.script:3: message box 关于 关于本程序 cannot be answered Yes (its buttons: OK, "
            "Cancel)\n");
}

TEST_F(ProgramRunnerTest, BoxExpectationsCompareTitleAndTextOfTheOldestUncheckedBox) {
  Outcome o =
      Run("start\n"
          "type login 编辑框1 first\n"
          "click login 按钮1\n"
          "type login 编辑框1 second\n"
          "click login 按钮1\n"
          "expect-box 温馨提示 second\n");
  EXPECT_EQ(o.err,
            "s.script:6: expected message box 温馨提示 second, found 温馨提示 first (shown at "
            "line 3)\n");
  EXPECT_EQ(Run("start\nexpect-box 温馨提示 x\n").err,
            "s.script:2: expected message box 温馨提示 x, found no unchecked box\n");
  EXPECT_EQ(Run("start\nclick login 按钮1\nexpect-no-box\n").err,
            "s.script:3: expected no unchecked message box, found 温馨提示 \"\" (shown at line "
            "2)\n");
}

TEST_F(ProgramRunnerTest, ABoxLeftUncheckedFailsAtTheLineThatShowedIt) {
  Outcome o =
      Run("start\n"
          "type login 编辑框1 hello\n"
          "click login 按钮1\n"
          "expect-open login\n");
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err, "s.script:3: message box 温馨提示 hello was shown here and never checked\n");
}

// --- Modal windows -------------------------------------------------------------------------

TEST_F(ProgramRunnerTest, StepsAfterTheOneThatOpenedAModalWindowDriveIt) {
  Outcome o =
      Run("start\n"
          "menu login 对话框\n"
          "expect-open password\n"
          "expect-title password 对话框\n"
          "click password 按钮1\n"
          "expect-closed password\n"
          "click login 按钮1\n"
          "expect-box 温馨提示 \"\"\n");
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(Journal(), (Journal_t{"login created", "opening dialog", "closing dialog",
                                  "dialog destroyed", "dialog returned", "show ",
                                  "login close requested", "login destroyed", "exit routine"}));
}

TEST_F(ProgramRunnerTest, AStepAimedAtAWindowDisabledByAModalWindowFails) {
  Outcome o = Run("start\nmenu login 对话框\nclick login 按钮1\n");
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err,
            "s.script:3: window login is disabled (the modal window password is open); a "
            "person cannot act on it\n");
  EXPECT_EQ(Run("start\nmenu login 对话框\nclose login\n").status, 1);
  // Looking is not acting.
  EXPECT_EQ(Run("start\nmenu login 对话框\nexpect-title login 测试窗口\n").status, 0);
}

TEST_F(ProgramRunnerTest, AtTheEndOpenWindowsCloseNewestFirst) {
  Outcome o = Run("start\nmenu login 对话框\n");
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(Journal(),
            (Journal_t{"login created", "opening dialog", "dialog destroyed", "dialog returned",
                       "login close requested", "login destroyed", "exit routine"}));
}

TEST_F(ProgramRunnerTest, AWindowThatRefusesToCloseAtTheEndFails) {
  RefuseLoginClose() = true;
  Outcome o = Run("start\nexpect-open login\n");
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err, "s.script:2: at the end of the script window login refused to close\n");
}

TEST_F(ProgramRunnerTest, MenuItemsAreFoundByCaptionAnywhereInTheBar) {
  EXPECT_EQ(
      Run("start\nmenu login 帮助\n").err,
      "s.script:2: window login has no menu item 帮助 (its menu: 文件 对话框 报错 关于 弹出)\n");
  EXPECT_EQ(Run("start\nmenu login 文件\n").err,
            "s.script:2: menu item 文件 opens a sub-menu; name an item in it\n");
}

// --- Grids ---------------------------------------------------------------------------------

TEST_F(ProgramRunnerTest, GridStepsReadAndClickTheAdvancedGridZeroBased) {
  Outcome o =
      Run("start\n"
          "menu login 对话框\n"
          "expect-rows password 高级表格1 5\n"
          "expect-cell password 高级表格1 0 1 时间\n"
          "expect-cell password 高级表格1 1 1 甲\n"
          "expect-cell password 高级表格1 4 4 \"\"\n"
          "cell password 高级表格1 3 2\n"
          "expect-cursor password 高级表格1 3 2\n"
          "expect-focus password 高级表格1\n"
          "cell password 高级表格1 4 4 shift\n"
          "expect-cursor password 高级表格1 4 4\n");
  EXPECT_EQ(o.status, 0) << o.err;
}

TEST_F(ProgramRunnerTest, GridStepsSayWhatTheyFound) {
  std::string open = "start\nmenu login 对话框\n";
  EXPECT_EQ(Run(open + "expect-rows password 高级表格1 4\n").err,
            "s.script:3: expected password 高级表格1 to have 4 rows, found 5\n");
  EXPECT_EQ(Run(open + "expect-cell password 高级表格1 1 1 乙\n").err,
            "s.script:3: expected cell 1, 1 of password 高级表格1 to hold 乙, found 甲\n");
  EXPECT_EQ(Run(open + "cell password 高级表格1 2 2\nexpect-cursor password 高级表格1 1 1\n").err,
            "s.script:4: expected the cursor of password 高级表格1 on 1, 1, found it on 2, 2\n");
  EXPECT_EQ(Run(open + "cell password 高级表格1 5 0\n").err,
            "s.script:3: password 高级表格1: it has no cell 5, 0 (it has 5 rows and 5 columns)\n");
  EXPECT_EQ(Run(open + "expect-cell password 按钮1 0 0 x\n").err,
            "s.script:3: password 按钮1: it is no grid\n");
}

// --- Pop-up menus ------------------------------------------------------------------------

TEST_F(ProgramRunnerTest, AChoiceQueuedForAPopUpPicksItsItem) {
  Outcome o =
      Run("mouse 50 60\n"
          "choose 对话框\n"
          "start\n"
          "menu login 弹出\n"
          "expect-open password\n"
          "expect-popup 对话框 报错 at 200 63\n"
          "click password 按钮1\n"
          "menu login 弹出\n"
          "expect-closed password\n");
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(Journal(), (Journal_t{"login created", "opening dialog", "closing dialog",
                                  "dialog destroyed", "dialog returned", "popup done", "popup done",
                                  "login close requested", "login destroyed", "exit routine"}))
      << "the second pop-up, without a queued choice, is dismissed";
}

TEST_F(ProgramRunnerTest, PopUpExpectationsAndChoicesThatDoNotFit) {
  EXPECT_EQ(Run("start\nexpect-popup 对话框 at 0 0\n").err,
            "s.script:2: expected a pop-up menu 对话框 at 0 0, found none shown\n");
  EXPECT_EQ(Run("mouse 1 2\nstart\nmenu login 弹出\nexpect-popup 对话框 at 200 5\n").err,
            "s.script:4: expected the latest pop-up menu to be 对话框 at 200 5, found 对话框 报错 "
            "at 200 5\n");
  EXPECT_EQ(Run("choose 帮助\nstart\nmenu login 弹出\n").err,
            "s.script:3: the pop-up menu has no enabled item 帮助 (it showed 对话框 报错)\n");
}

// --- The end of the program ----------------------------------------------------------------

TEST_F(ProgramRunnerTest, ARunTimeErrorEndsTheProgramAndFailsUnlessExpected) {
  Outcome o = Run("start\nmenu login 报错\n");
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(
      o.err,
      "s.script:2: the program ended with exit code -1 after the run-time error report "
      "\"运行时出错!\\r\\n\\r\\n错误信息：测试出错\\r\\n\" (expected 0; say expect-exit if this "
      "is intended)\n");

  Outcome expected =
      Run("start\n"
          "menu login 报错\n"
          "expect-box 错误 \"运行时出错!\\r\\n\\r\\n错误信息：测试出错\\r\\n\"\n"
          "expect-exit -1\n"
          "expect-closed login\n");
  EXPECT_EQ(expected.status, 0) << expected.err;
}

TEST_F(ProgramRunnerTest, StepsAfterTheEndRunAfterIt) {
  Outcome o =
      Run("start\n"
          "close login\n"
          "expect-exit 0\n"
          "expect-closed login\n"
          "put-file after.txt x\n"
          "click login 按钮1\n");
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err, "s.script:6: window login is not open: the program has ended (exit code 0)\n");
  EXPECT_TRUE(dir_.Exists("after.txt"));
  EXPECT_EQ(Run("start\nmenu login 报错\nexpect-exit 0\n").err,
            "s.script:3: expected exit code 0, found -1\n");
}

TEST_F(ProgramRunnerTest, ExpectExitWhileTheProgramRunsFails) {
  EXPECT_EQ(Run("start\nexpect-exit 0\n").err,
            "s.script:2: expected the program to have ended with exit code 0, found it still "
            "running\n");
}

TEST_F(RunnerTest, AnEntryThatEndsAtOnceNeedsNoWindows) {
  TempDir dir;
  Outcome o = RunScript(
      "start\nexpect-box 错误 \"运行时出错!\\r\\n\\r\\n错误信息：载入启动窗口失败\\r\\n\"\n"
      "expect-exit -1\n",
      dir, [] {
        FatalError(Gbk("载入启动窗口失败"));
        return 0;
      });
  EXPECT_EQ(o.status, 0) << o.err;
}

TEST_F(RunnerTest, TheProgramRunsInTheRunDirectory) {
  std::string seen;
  TempDir dir;
  RunScript("start\n", dir, [&seen] {
    seen = GbkToUtf8(platform::CurrentBackend()->ExecutablePath());
    return 0;
  });
  EXPECT_EQ(seen, dir.path() + "/memo");
}

// --- Tracing -------------------------------------------------------------------------------

TEST_F(ProgramRunnerTest, TraceShowsStepsBoxesAndWindows) {
  Outcome o =
      Run("start\n"
          "menu login 对话框\n"
          "click password 按钮1\n"
          "click login 按钮1\n"
          "expect-box 温馨提示 \"\"\n",
          true);
  EXPECT_EQ(o.status, 0) << o.err;
  for (const char* line :
       {"1: start\n", "  window opened: login 测试窗口\n", "2: menu login 对话框\n",
        "  window opened: password 对话框\n", "3: click password 按钮1\n",
        "  window closed: password\n", "  box 温馨提示 \"\" -> OK\n",
        "  (end of script) close login\n", "  the program ended with exit code 0\n"}) {
    EXPECT_NE(o.out.find(line), std::string::npos) << line << "\nin\n" << o.out;
  }
  EXPECT_LT(o.out.find("window opened: password"), o.out.find("3: click password"));
}

}  // namespace
}  // namespace memo::script::testing
