// The file layer's call counter: every kind of call is counted where it is made, once per system
// call (a read that needs two preads counts two), and nothing is counted while counting is off.
#include <string>

#include <gtest/gtest.h>

#include "platform/file.h"
#include "platform/file_calls.h"
#include "tests/platform/posix/test_util.h"

namespace memo::platform {
namespace {

using memo::testing::TempDir;
using memo::testing::WriteWholeFile;

class FileCallsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(dir_.path().empty());
    path_ = dir_ / "calls.bin";
    WriteWholeFile(path_, std::string(64, 'x'));
    ResetFileCallCounts();
    EnableFileCallCounting(true);
  }
  void TearDown() override { EnableFileCallCounting(false); }

  File OpenShared() {
    File f;
    EXPECT_EQ(File::Open(path_, FileAccess::kReadWrite, FileShare::kDenyNone,
                         FileCreate::kOpenExisting, &f),
              FileError::kNone);
    return f;
  }

  TempDir dir_;
  std::string path_;
};

TEST_F(FileCallsTest, EachPositionalReadWriteAndLockIsOneCall) {
  File f = OpenShared();
  FileCallCounts before = ReadFileCallCounts();
  char buffer[8];
  size_t done = 0;
  ASSERT_EQ(f.ReadAt(8, buffer, sizeof buffer, &done), FileError::kNone);
  ASSERT_EQ(f.WriteAt(16, "abcd", 4), FileError::kNone);
  ASSERT_EQ(f.Lock(3, 1), FileError::kNone);
  ASSERT_EQ(f.Unlock(3, 1), FileError::kNone);
  FileCallCounts d = ReadFileCallCounts().Since(before);
  EXPECT_EQ(d.reads, 1u);
  EXPECT_EQ(d.writes, 1u);
  EXPECT_EQ(d.locks, 1u);
  EXPECT_EQ(d.unlocks, 1u);
  EXPECT_EQ(d.Total(), 4u);
}

TEST_F(FileCallsTest, AReadThatReachesTheEndAsksTwice) {
  // The first pread returns what is left, the second finds the end: a short read costs two calls.
  File f = OpenShared();
  FileCallCounts before = ReadFileCallCounts();
  char buffer[16];
  size_t done = 0;
  ASSERT_EQ(f.ReadAt(56, buffer, sizeof buffer, &done), FileError::kNone);
  EXPECT_EQ(done, 8u);
  EXPECT_EQ(ReadFileCallCounts().Since(before).reads, 2u);
}

TEST_F(FileCallsTest, OpenAndCloseAreCounted) {
  FileCallCounts before = ReadFileCallCounts();
  {
    File f = OpenShared();
    FileCallCounts opened = ReadFileCallCounts().Since(before);
    EXPECT_EQ(opened.opens, 1u);  // read/write: no companion descriptor
    EXPECT_GE(opened.locks, 2u);  // the share marks: has read, has write (and the gate)
    EXPECT_GE(opened.lock_tests, 2u);
    EXPECT_EQ(opened.closes, 0u);
  }
  EXPECT_EQ(ReadFileCallCounts().Since(before).closes, 1u);
}

TEST_F(FileCallsTest, NothingIsCountedWhileOff) {
  File f = OpenShared();
  EnableFileCallCounting(false);
  FileCallCounts before = ReadFileCallCounts();
  char buffer[4];
  size_t done = 0;
  ASSERT_EQ(f.ReadAt(0, buffer, sizeof buffer, &done), FileError::kNone);
  ASSERT_EQ(f.Lock(0, 1), FileError::kNone);
  uint64_t length = 0;
  ASSERT_EQ(f.Length(&length), FileError::kNone);
  EXPECT_EQ(ReadFileCallCounts().Since(before).Total(), 0u);
  EnableFileCallCounting(true);
  ASSERT_EQ(f.Length(&length), FileError::kNone);
  EXPECT_EQ(ReadFileCallCounts().Since(before).others, 1u);
}

}  // namespace
}  // namespace memo::platform
