// Program start and end: start-up steps, the loop-entered mark, the end sequence and the
// end-program service, on the headless backend.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/process.h"
#include "runtime/fatal.h"
#include "runtime/heap.h"
#include "runtime/program.h"
#include "runtime/system_commands.h"
#include "runtime/text.h"
#include "tests/support/test_support.h"

namespace memo {
namespace {

using platform::Backend;
using platform::ProgramEnded;
using testing::G;

std::vector<std::string>* journal = nullptr;
void JournalExit() { journal->push_back("exit routine"); }

class ProgramTest : public testing::HeadlessTest {
 protected:
  void SetUp() override {
    HeadlessTest::SetUp();
    journal = &log_;
    char* cwd = getcwd(nullptr, 0);
    saved_cwd_ = cwd;
    free(cwd);
  }
  void TearDown() override {
    if (chdir(saved_cwd_.c_str()) != 0) ADD_FAILURE() << "cannot restore " << saved_cwd_;
    for (const std::string& dir : temp_dirs_) rmdir(dir.c_str());
    journal = nullptr;
    HeadlessTest::TearDown();
  }
  std::string MakeTempDir() {
    char dir_template[] = "/tmp/memo_program_XXXXXX";
    EXPECT_NE(mkdtemp(dir_template), nullptr);
    temp_dirs_.push_back(dir_template);
    return dir_template;
  }
  // Hooks of a pretend window runtime with `windows_` loaded windows.
  void InstallWindowHooks() {
    WindowRuntimeHooks hooks;
    hooks.any_window_loaded = [this] { return windows_ > 0; };
    hooks.release_windows = [this] { log_.push_back("release windows"); };
    hooks.load_startup_window = [this](uint32_t id) {
      log_.push_back("load " + std::to_string(id));
      if (!startup_loads_) return false;
      ++windows_;
      return true;
    };
    SetWindowRuntimeHooks(hooks);
  }

  std::vector<std::string> log_;
  int windows_ = 0;
  bool startup_loads_ = true;
  std::string saved_cwd_;
  std::vector<std::string> temp_dirs_;
};

TEST_F(ProgramTest, EndSequenceRunsOnceInOrder) {
  InstallWindowHooks();
  RegisterExitRoutine(JournalExit);
  AddEndStep([this] { log_.push_back("close files"); });
  AddIdleRoutine([this] { log_.push_back("idle"); });
  EXPECT_FALSE(ProgramEnding());
  RunEndSequence();
  RunEndSequence();
  EXPECT_TRUE(ProgramEnding());
  EXPECT_EQ(log_, (std::vector<std::string>{"release windows", "exit routine", "close files"}));
}

TEST_F(ProgramTest, ExitRoutineCanBeReplacedAndForgotten) {
  RegisterExitRoutine(JournalExit);
  RegisterExitRoutine(nullptr);
  RunEndSequence();
  EXPECT_TRUE(log_.empty());
}

TEST_F(ProgramTest, EndProgramRunsTheEndSequenceThenUnwindsWithItsCode) {
  RegisterExitRoutine(JournalExit);
  try {
    EndProgram(42);
    FAIL();
  } catch (const ProgramEnded& ended) {
    EXPECT_EQ(ended.code, 42);
  }
  EXPECT_EQ(log_, std::vector<std::string>{"exit routine"});
  EXPECT_THROW(EndProgram(1), ProgramEnded);
  EXPECT_EQ(log_.size(), 1u);  // the end sequence does not run twice
}

TEST_F(ProgramTest, LoopReturnsAtOnceWhenNoWindowIsLoaded) {
  InstallWindowHooks();
  bool ran = false;
  backend_.PostTask([&] { ran = true; });
  EXPECT_FALSE(MessageLoopEntered());
  EXPECT_EQ(RunMessageLoop(), 0);
  EXPECT_TRUE(MessageLoopEntered());
  EXPECT_FALSE(ran);  // no message was dispatched
  EXPECT_EQ(backend_.pending_tasks(), 1u);
}

TEST_F(ProgramTest, UnloadingTheLastWindowEndsTheLoop) {
  InstallWindowHooks();
  windows_ = 2;
  int steps = 0;
  backend_.SetDriver([&] {
    ++steps;
    --windows_;
    WindowUnloaded();  // the first leaves one window: the loop goes on
    return steps < 10;
  });
  EXPECT_EQ(RunMessageLoop(), 0);
  EXPECT_EQ(steps, 2);
  EXPECT_FALSE(backend_.pending_quit());
}

TEST_F(ProgramTest, UnloadingBeforeTheLoopIsEnteredNeverQuits) {
  InstallWindowHooks();
  windows_ = 0;
  WindowUnloaded();
  EXPECT_FALSE(backend_.pending_quit());
}

TEST_F(ProgramTest, IdleRoutinesRunWhenTheQueueIsEmpty) {
  InstallWindowHooks();
  windows_ = 1;
  int idle_calls = 0;
  int handle = AddIdleRoutine([&] { ++idle_calls; });
  int steps = 0;
  backend_.SetDriver([&] {
    ++steps;
    if (steps == 1) {
      EXPECT_EQ(idle_calls, 1);
      backend_.PostTask([&] { EXPECT_EQ(idle_calls, 1); });  // tasks come before idle work
    } else if (steps == 2) {
      EXPECT_EQ(idle_calls, 2);
      RemoveIdleRoutine(handle);
    } else {
      EXPECT_EQ(idle_calls, 2);
      windows_ = 0;
      WindowUnloaded();
    }
    return true;
  });
  EXPECT_EQ(RunMessageLoop(), 0);
  EXPECT_EQ(steps, 3);
}

TEST_F(ProgramTest, StartupWindowWithoutWindowRuntimeIsFatal) {
  EXPECT_THROW(LoadStartupWindow(0x52010009), ProgramEnded);
  ASSERT_EQ(backend_.boxes().size(), 1u);
  EXPECT_EQ(backend_.boxes()[0].text_gbk, G("运行时出错!\r\n\r\n错误信息：载入启动窗口失败\r\n"));
}

TEST_F(ProgramTest, StartupWindowThatFailsToLoadIsFatal) {
  InstallWindowHooks();
  startup_loads_ = false;
  EXPECT_THROW(LoadStartupWindow(0x52010009), ProgramEnded);
  EXPECT_EQ(log_.front(), "load " + std::to_string(0x52010009));
  ASSERT_EQ(backend_.boxes().size(), 1u);
  EXPECT_EQ(backend_.boxes()[0].text_gbk, G("运行时出错!\r\n\r\n错误信息：载入启动窗口失败\r\n"));
}

TEST_F(ProgramTest, InitialiseSplitsThePathAndEntersTheRunDirectory) {
  std::string dir = MakeTempDir();
  backend_.SetExecutablePath(dir + "/memo");
  InitialiseRuntime();
  EXPECT_EQ(RunDirectory(), dir);
  EXPECT_EQ(ExecutableName(), "memo");
  EXPECT_EQ(platform::CurrentDirectory(), dir);
  TypedValue result;
  GetRunDirectory(&result, 0, nullptr);
  char* text = static_cast<char*>(result.Pointer());
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(std::string(text), dir);
  Release(text);
}

TEST_F(ProgramTest, ADataDirectoryReplacesTheExecutablesDirectoryAsRunDirectory) {
  std::string program_dir = MakeTempDir();
  std::string data_dir = MakeTempDir();
  backend_.SetExecutablePath(program_dir + "/memo");
  EXPECT_EQ(RunDirectory(), program_dir);  // taken on first use, before the start
  SetDataDirectory(data_dir);
  InitialiseRuntime();
  EXPECT_EQ(RunDirectory(), data_dir);
  EXPECT_EQ(ExecutableName(), "memo");
  EXPECT_EQ(platform::CurrentDirectory(), data_dir);
  TypedValue result;
  GetRunDirectory(&result, 0, nullptr);
  char* text = static_cast<char*>(result.Pointer());
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(std::string(text), data_dir);
  Release(text);
  // The next program started in this process (memo-script runs several) is back beside its
  // executable.
  ResetProgramForTesting();
  EXPECT_EQ(RunDirectory(), program_dir);
}

TEST_F(ProgramTest, ExecutableInTheRootDirectoryHasAnEmptyRunDirectory) {
  backend_.SetExecutablePath("/memo");
  InitialiseRuntime();
  EXPECT_EQ(RunDirectory(), "");
  EXPECT_EQ(ExecutableName(), "memo");
  EXPECT_EQ(platform::CurrentDirectory(), "/");
  TypedValue result;
  GetRunDirectory(&result, 0, nullptr);
  EXPECT_EQ(result.Pointer(), nullptr);  // the empty text
}

TEST_F(ProgramTest, UnreadableWindowDefinitionsAreFatal) {
  backend_.SetExecutablePath(MakeTempDir() + "/memo");
  WindowRuntimeHooks hooks;
  hooks.load_definitions = [] { return false; };
  SetWindowRuntimeHooks(hooks);
  EXPECT_THROW(InitialiseRuntime(), ProgramEnded);
  ASSERT_EQ(backend_.boxes().size(), 1u);
  EXPECT_EQ(backend_.boxes()[0].text_gbk,
            G("运行时出错!\r\n\r\n错误信息：载入窗口模板数据段出错!\r\n"));
}

TEST_F(ProgramTest, RunProgramLoadsRunsAndEnds) {
  backend_.SetExecutablePath(MakeTempDir() + "/memo");
  InstallWindowHooks();
  backend_.SetDriver([this] {
    log_.push_back("user closes the window");
    --windows_;
    WindowUnloaded();
    return true;
  });
  EXPECT_EQ(RunProgram(0x52010009, JournalExit), 0);
  EXPECT_EQ(log_, (std::vector<std::string>{"load " + std::to_string(0x52010009),
                                            "user closes the window", "release windows",
                                            "exit routine"}));
  EXPECT_TRUE(backend_.boxes().empty());
}

// Closing the login window after it has loaded the main window does not end the program; closing
// the main window afterwards does.
TEST_F(ProgramTest, ProgramRunsWhileAnyWindowIsOpen) {
  backend_.SetExecutablePath(MakeTempDir() + "/memo");
  InstallWindowHooks();
  int step = 0;
  backend_.SetDriver([&] {
    ++step;
    if (step == 1) {
      ++windows_;  // the login routine loads the main window ...
      --windows_;  // ... and the login window is closed
      WindowUnloaded();
      EXPECT_FALSE(backend_.pending_quit());
    } else {
      --windows_;  // the main window is closed
      WindowUnloaded();
    }
    return true;
  });
  EXPECT_EQ(RunProgram(0x52010009, nullptr), 0);
  EXPECT_EQ(step, 2);
}

std::thread::id exit_thread;
void RecordExitThread() { exit_thread = std::this_thread::get_id(); }

// Another thread hands the end to the program's thread, which runs the end sequence there; the
// calling thread waits for the process to end (here it is left waiting, detached).
TEST_F(ProgramTest, EndProgramFromAnotherThreadEndsOnTheProgramThread) {
  RegisterExitRoutine(RecordExitThread);
  exit_thread = std::thread::id();
  std::thread([] { EndProgram(3); }).detach();
  while (backend_.pending_tasks() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_FALSE(ProgramEnding());
  try {
    backend_.RunLoop();
    FAIL() << "the loop returned";
  } catch (const ProgramEnded& ended) {
    EXPECT_EQ(ended.code, 3);
  }
  EXPECT_EQ(exit_thread, std::this_thread::get_id());
}

TEST_F(ProgramTest, FatalErrorFromAnotherThreadIsShownOnTheProgramThread) {
  std::thread([] { FatalError(G("线程")); }).detach();
  while (backend_.pending_tasks() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_TRUE(backend_.boxes().empty());
  EXPECT_THROW(backend_.RunLoop(), ProgramEnded);
  ASSERT_EQ(backend_.boxes().size(), 1u);
  EXPECT_EQ(backend_.boxes()[0].text_gbk, G("运行时出错!\r\n\r\n错误信息：线程\r\n"));
}

}  // namespace
}  // namespace memo
