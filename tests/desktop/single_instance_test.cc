// One program per book: the local socket named after the data directory, who is first, what a
// later start on the same directory does, and the built memo started a second time.
#include <QApplication>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QProcess>
#include <QWidget>

#include <gtest/gtest.h>

#include "platform/qt/single_instance.h"
#include "tests/desktop/desktop_support.h"

namespace memo::desktop::testing {
namespace {

using platform::qt::SingleInstance;

// Processes events until `done` holds or `ms` have passed.
template <typename Done>
bool SpinUntil(Done done, int ms = 10000) {
  QDeadlineTimer deadline(ms);
  while (!done() && !deadline.hasExpired()) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return done();
}

class SingleInstanceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(scratch_ / "book");
    fs::create_directories(scratch_ / "other");
    fs::create_directories(scratch_ / "run");
  }
  Scratch scratch_;
};

TEST_F(SingleInstanceTest, ALaterClaimOnTheSameBookHandsOverAndRaisesTheFirst) {
  SingleInstance first(scratch_ / "book", scratch_ / "run");
  int raised = 0;
  first.on_raise = [&raised] { ++raised; };
  ASSERT_EQ(first.Claim(), SingleInstance::Role::kFirst) << first.error().toStdString();
  EXPECT_TRUE(fs::exists(first.server_name().toStdString()));

  // The same directory spelled through a link names the same book.
  fs::create_directory_symlink(scratch_ / "book", scratch_ / "link");
  for (const std::string& spelling : {scratch_ / "book", scratch_ / "link"}) {
    SingleInstance second(spelling, scratch_ / "run");
    EXPECT_EQ(second.server_name(), first.server_name());
    EXPECT_EQ(second.Claim(), SingleInstance::Role::kHandedOver) << second.error().toStdString();
  }
  EXPECT_TRUE(SpinUntil([&raised] { return raised == 2; })) << raised;
}

TEST_F(SingleInstanceTest, AnotherBookRunsSideBySide) {
  SingleInstance first(scratch_ / "book", scratch_ / "run");
  ASSERT_EQ(first.Claim(), SingleInstance::Role::kFirst);
  SingleInstance other(scratch_ / "other", scratch_ / "run");
  EXPECT_NE(other.server_name(), first.server_name());
  EXPECT_EQ(other.Claim(), SingleInstance::Role::kFirst) << other.error().toStdString();
}

TEST_F(SingleInstanceTest, TheNameIsFreeAgainWhenTheFirstEndsAndAStaleSocketIsReplaced) {
  QString name;
  {
    SingleInstance first(scratch_ / "book", scratch_ / "run");
    ASSERT_EQ(first.Claim(), SingleInstance::Role::kFirst);
    name = first.server_name();
  }
  EXPECT_FALSE(fs::exists(name.toStdString()));
  // A socket file left by a killed program (nobody holds the lock): the next start is first.
  Touch(name.toStdString(), "stale");
  SingleInstance next(scratch_ / "book", scratch_ / "run");
  EXPECT_EQ(next.Claim(), SingleInstance::Role::kFirst) << next.error().toStdString();
  SingleInstance later(scratch_ / "book", scratch_ / "run");
  EXPECT_EQ(later.Claim(), SingleInstance::Role::kHandedOver) << later.error().toStdString();
}

TEST_F(SingleInstanceTest, RaisingRestoresAMinimisedWindowAndActivatesIt) {
  QWidget window;
  window.resize(200, 100);
  window.show();
  QWidget other;
  other.resize(200, 100);
  other.show();
  other.activateWindow();
  window.showMinimized();
  ASSERT_TRUE(SpinUntil([&] { return window.isMinimized(); }));
  SingleInstance::RaiseTopLevelWindows();
  EXPECT_TRUE(SpinUntil([&] { return !window.isMinimized(); }));
}

// The built memo started a second time on a book this process holds: it asks this process to
// raise its windows and ends with 0, without showing a window of its own.
TEST_F(SingleInstanceTest, ASecondMemoOnTheSameBookRaisesTheFirstAndExitsZero) {
  const std::string book = scratch_ / "xdg" + "/memo";
  fs::create_directories(book);
  SingleInstance first(book, scratch_ / "run");
  int raised = 0;
  first.on_raise = [&raised] { ++raised; };
  ASSERT_EQ(first.Claim(), SingleInstance::Role::kFirst);
  fs::create_directories(scratch_ / "bin");
  ProgramRun run = RunProgram(PlaceProgram(scratch_ / "bin"), {}, scratch_ / "home",
                              scratch_ / "xdg", scratch_ / "run");
  ASSERT_TRUE(run.finished) << run.err;
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_TRUE(SpinUntil([&raised] { return raised == 1; }));
  // It wrote nothing into the book.
  EXPECT_TRUE(fs::is_empty(book));
}

// Two built programs: the first, installed-style, makes its data directory (0700) under the data
// home and waits at its first-start question; the second on the same book hands over and ends
// with 0, and the first goes on.
TEST_F(SingleInstanceTest, TwoBuiltProgramsOnOneBookLeaveOneRunning) {
  fs::create_directories(scratch_ / "bin");
  const std::string memo = PlaceProgram(scratch_ / "bin");
  QProcess first;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("HOME", QString::fromStdString(scratch_ / "home"));
  env.insert("XDG_DATA_HOME", QString::fromStdString(scratch_ / "xdg"));
  env.insert("XDG_RUNTIME_DIR", QString::fromStdString(scratch_ / "run"));
  env.insert("QT_QPA_PLATFORM", "offscreen");
  first.setProcessEnvironment(env);
  first.start(QString::fromStdString(memo), {});
  ASSERT_TRUE(first.waitForStarted(10000));
  const std::string book = scratch_ / "xdg" + "/memo";
  const QString socket = SingleInstance::ServerNameFor(book, scratch_ / "run");
  // The first listens once its data directory is ready.
  EXPECT_TRUE(SpinUntil([&] { return fs::exists(socket.toStdString()); }, 60000));
  EXPECT_EQ(ModeOf(book), 0700u);

  ProgramRun second =
      RunProgram(memo, {}, scratch_ / "home", scratch_ / "xdg", scratch_ / "run", 60000);
  EXPECT_TRUE(second.finished) << second.err;
  EXPECT_EQ(second.exit_code, 0) << second.err;
  EXPECT_EQ(first.state(), QProcess::Running);

  first.kill();
  first.waitForFinished(10000);
}

}  // namespace
}  // namespace memo::desktop::testing
