// The run-time error report: its exact text, the box it is shown in, and how it ends the program
// with and without a backend, in this process and as a child process's exit status.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "platform/message_box.h"
#include "runtime/fatal.h"
#include "runtime/literal.h"
#include "tests/support/test_support.h"

namespace memo {
namespace {

using testing::G;
using testing::HeadlessTest;

TEST(ErrorReportTest, CodeFiveReadsLineByLine) {
  std::string report = BuildErrorReport(RuntimeErrorMessage(5), 5);
  EXPECT_EQ(report, G("运行时出错!\r\n\r\n错误代码：5\r\n\r\n错误信息：数据或数组类型不匹配\r\n"));
  // GBK, not UTF-8: "运行时出错!" is five double-byte characters and "!".
  EXPECT_EQ(report.substr(0, 11), "\xD4\xCB\xD0\xD0\xCA\xB1\xB3\xF6\xB4\xED!");
}

TEST(ErrorReportTest, CodeZeroHasNoCodeLine) {
  EXPECT_EQ(BuildErrorReport(G("载入启动窗口失败"), 0),
            G("运行时出错!\r\n\r\n错误信息：载入启动窗口失败\r\n"));
}

TEST(ErrorReportTest, EmptyMessageHasNoMessageLine) {
  EXPECT_EQ(BuildErrorReport("", 3), G("运行时出错!\r\n\r\n错误代码：3\r\n\r\n"));
  EXPECT_EQ(BuildErrorReport("", 0), G("运行时出错!\r\n\r\n"));
}

TEST(ErrorReportTest, NegativeAndLargeCodesInDecimal) {
  EXPECT_EQ(BuildErrorReport("", -7), G("运行时出错!\r\n\r\n错误代码：-7\r\n\r\n"));
  EXPECT_EQ(BuildErrorReport("", 2147483647), G("运行时出错!\r\n\r\n错误代码：2147483647\r\n\r\n"));
}

TEST(ErrorReportTest, MessageTableHasElevenEntries) {
  const char* expected[] = {
      "数组成员引用下标超出定义范围",
      "未得到所需要的数值型数据",
      "引用数组成员时维数不为1且不等于该数组目前所具有的维数",
      "数组成员引用下标必须大于等于1",
      "数据或数组类型不匹配",
      "调用DLL命令后发现堆栈错误",
      "子语句参数未返回数据或者返回了非系统基本类型或数组型数据",
      "被比较数据只能使用等于或不等于命令比较",
      "“多项选择”命令的索引值参数小于零或超出了所提供参数表范围",
      "“重定义数组”命令的数组维定义参数值必须大于零或单维时大于等于零",
      "所提供参数的数据类型不符合要求",
  };
  for (int code = 1; code <= 11; ++code) {
    EXPECT_EQ(std::string(RuntimeErrorMessage(code)), G(expected[code - 1])) << code;
  }
  EXPECT_STREQ(RuntimeErrorMessage(0), "");
  EXPECT_STREQ(RuntimeErrorMessage(12), "");
  EXPECT_STREQ(RuntimeErrorMessage(-1), "");
}

// Without a backend the report goes to stderr as UTF-8 and the process exits with -1.
TEST(ErrorReportDeathTest, WithoutBackendWritesStderrAndExitsMinusOne) {
  ResetProgramForTesting();
  platform::InstallBackend(nullptr);
  EXPECT_EXIT(FatalError(G("载入启动窗口失败")), ::testing::ExitedWithCode(255),
              "运行时出错!\r\n\r\n错误信息：载入启动窗口失败");
  EXPECT_EXIT(ReportRuntimeError(4), ::testing::ExitedWithCode(255),
              "错误代码：4\r\n\r\n错误信息：数组成员引用下标必须大于等于1");
}

void WriteExitMark() { std::fputs("exit routine ran\n", stderr); }

TEST(ErrorReportDeathTest, WithoutBackendRunsTheExitRoutineAfterTheReport) {
  ResetProgramForTesting();
  platform::InstallBackend(nullptr);
  EXPECT_EXIT(
      {
        RegisterExitRoutine(WriteExitMark);
        FatalError(G("x"));
      },
      ::testing::ExitedWithCode(255), "错误信息：x\r\nexit routine ran");
}

class FatalErrorTest : public HeadlessTest {};

int exit_calls = 0;
void CountExit() { ++exit_calls; }

TEST_F(FatalErrorTest, ShowsOwnerlessStopBoxThenEndsWithMinusOne) {
  exit_calls = 0;
  RegisterExitRoutine(CountExit);
  try {
    ReportRuntimeError(5);
    FAIL() << "returned";
  } catch (const platform::ProgramEnded& ended) {
    EXPECT_EQ(ended.code, -1);
  }
  ASSERT_EQ(backend_.boxes().size(), 1u);
  const platform::ShownBox& box = backend_.boxes()[0];
  EXPECT_EQ(box.title_gbk, "\xB4\xED\xCE\xF3");  // "错误"
  EXPECT_EQ(box.text_gbk, BuildErrorReport(RuntimeErrorMessage(5), 5));
  // Stop icon, OK alone, task-modal (it has no owner).
  EXPECT_EQ(box.style, platform::kMbIconStop | platform::kMbTaskModal);
  EXPECT_EQ(box.result, platform::kIdOk);
  EXPECT_FALSE(box.answer_refused);
  EXPECT_EQ(exit_calls, 1);
  EXPECT_TRUE(ProgramEnding());
  EXPECT_TRUE(FatalReportInProgress());
}

// A fatal condition while the report is already under way (here in the exit routine that the
// end sequence runs) ends the program without a second box.
void FailAgain() {
  ++exit_calls;
  FatalError(G("again"));
}

TEST_F(FatalErrorTest, SecondFatalErrorShowsNoSecondBox) {
  exit_calls = 0;
  RegisterExitRoutine(FailAgain);
  EXPECT_THROW(FatalError(G("first")), platform::ProgramEnded);
  EXPECT_EQ(backend_.boxes().size(), 1u);
  EXPECT_EQ(exit_calls, 1);
}

TEST_F(FatalErrorTest, MessageIsCopiedBeforeTheEndSequenceRuns) {
  // The message may live in memory the end sequence releases.
  static std::string message;
  message = G("消息");
  AddEndStep([] { message.assign(message.size(), 'X'); });
  EXPECT_THROW(FatalError(message), platform::ProgramEnded);
  ASSERT_EQ(backend_.boxes().size(), 1u);
  EXPECT_EQ(backend_.boxes()[0].text_gbk, BuildErrorReport(G("消息"), 0));
}

// The real start sequence in a child process: no window definitions, so loading the start-up
// window fails; the box is answered and the process ends with -1 (status 255).
TEST(StartupProbeTest, MissingStartupWindowEndsWithMinusOne) {
  char dir_template[] = "/tmp/memo_probe_XXXXXX";
  ASSERT_NE(mkdtemp(dir_template), nullptr);
  std::string dir = dir_template;
  std::string command = std::string(MEMO_STARTUP_PROBE) + " " + dir;
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string output;
  char buffer[512];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
  int status = pclose(pipe);
  rmdir(dir.c_str());
  ASSERT_TRUE(WIFEXITED(status)) << output;
  EXPECT_EQ(WEXITSTATUS(status), 255) << output;
  EXPECT_NE(
      output.find("box title=[错误] style=8208\n运行时出错!\r\n\r\n错误信息：载入启动窗口失败\r\n"),
      std::string::npos)
      << output;
  // One box only, the run directory became the current directory, the exit routine ran once.
  EXPECT_EQ(output.find("box title", output.find("box title") + 1), std::string::npos) << output;
  EXPECT_NE(output.find("cwd=[" + dir + "]"), std::string::npos) << output;
  EXPECT_NE(output.find("exit routine calls=1"), std::string::npos) << output;
}

}  // namespace
}  // namespace memo
