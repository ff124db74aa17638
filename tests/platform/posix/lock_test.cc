// Byte-range locks: owned by the handle, never conflicting with the same handle, conflicting with
// every other handle in this or another process, failing at once.
#include <string>

#include <gtest/gtest.h>

#include "platform/file.h"
#include "tests/platform/posix/test_util.h"

namespace memo::platform {
namespace {

using memo::testing::RemoteHolder;
using memo::testing::TempDir;

class LockTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(dir_.path().empty());
    path_ = dir_ / "locked.bin";
    memo::testing::WriteWholeFile(path_, std::string(64, 'x'));
  }
  File OpenShared(FileAccess access = FileAccess::kReadWrite) {
    File f;
    EXPECT_EQ(File::Open(path_, access, FileShare::kDenyNone, FileCreate::kOpenExisting, &f),
              FileError::kNone);
    return f;
  }
  TempDir dir_;
  std::string path_;
};

TEST_F(LockTest, SameHandleNeverConflictsWithItself) {
  File a = OpenShared();
  EXPECT_EQ(a.Lock(16, 1), FileError::kNone);
  EXPECT_EQ(a.Lock(16, 1), FileError::kNone);
  EXPECT_EQ(a.Lock(0, 0x7FFFFFFF), FileError::kNone);  // overlapping its own locks
  EXPECT_EQ(a.Unlock(0, 0x7FFFFFFF), FileError::kNone);
}

TEST_F(LockTest, TwoHandlesInOneProcessConflict) {
  File a = OpenShared(), b = OpenShared();
  ASSERT_EQ(a.Lock(10, 5), FileError::kNone);
  EXPECT_EQ(b.Lock(14, 1), FileError::kLockViolation);
  EXPECT_EQ(b.Lock(0, 11), FileError::kLockViolation);
  EXPECT_EQ(b.Lock(15, 1), FileError::kNone);  // just past the end of a's range
  EXPECT_EQ(b.Lock(9, 1), FileError::kNone);   // just before it
  EXPECT_EQ(a.Lock(15, 1), FileError::kLockViolation);
  ASSERT_EQ(a.Unlock(10, 5), FileError::kNone);
  EXPECT_EQ(b.Lock(10, 5), FileError::kNone);
}

TEST_F(LockTest, ReadOnlyHandlesLockExclusivelyToo) {
  File a = OpenShared(FileAccess::kRead), b = OpenShared(FileAccess::kRead),
       c = OpenShared(FileAccess::kWrite);
  ASSERT_EQ(a.Lock(0, 1), FileError::kNone);
  EXPECT_EQ(b.Lock(0, 1), FileError::kLockViolation);
  EXPECT_EQ(c.Lock(0, 1), FileError::kLockViolation);
  ASSERT_EQ(c.Lock(1, 1), FileError::kNone);
  EXPECT_EQ(a.Lock(1, 1), FileError::kLockViolation);
}

TEST_F(LockTest, ClosingOneHandleKeepsTheOtherHandlesLocks) {
  RemoteHolder remote;
  ASSERT_TRUE(remote.ok());
  File a = OpenShared(), b = OpenShared(), c = OpenShared(FileAccess::kRead);
  ASSERT_EQ(a.Lock(16, 1), FileError::kNone);
  ASSERT_EQ(b.Lock(20, 1), FileError::kNone);
  b.Close();  // with process-owned record locks this would drop a's lock as well
  c.Close();
  File d = OpenShared();
  EXPECT_EQ(d.Lock(16, 1), FileError::kLockViolation);
  EXPECT_EQ(d.Lock(20, 1), FileError::kNone);  // b's lock went with b
  ASSERT_EQ(remote.Open(0, path_, FileAccess::kReadWrite, FileShare::kDenyNone), FileError::kNone);
  EXPECT_EQ(remote.Lock(0, 16, 1), FileError::kLockViolation);
}

TEST_F(LockTest, ClosingTheHandleReleasesItsLocks) {
  File a = OpenShared(), b = OpenShared();
  ASSERT_EQ(a.Lock(0, 32), FileError::kNone);
  a.Close();
  EXPECT_EQ(b.Lock(0, 32), FileError::kNone);
}

TEST_F(LockTest, ALockHeldByAnotherProcessConflicts) {
  RemoteHolder remote;
  ASSERT_TRUE(remote.ok());
  ASSERT_EQ(remote.Open(0, path_, FileAccess::kReadWrite, FileShare::kDenyNone), FileError::kNone);
  ASSERT_EQ(remote.Lock(0, 16, 1), FileError::kNone);
  File a = OpenShared(FileAccess::kRead);
  EXPECT_EQ(a.Lock(16, 1), FileError::kLockViolation);
  EXPECT_EQ(a.Lock(0, 0x7FFFFFFF), FileError::kLockViolation);
  EXPECT_EQ(a.Lock(17, 1), FileError::kNone);
  EXPECT_EQ(remote.Lock(0, 17, 1), FileError::kLockViolation);
  ASSERT_EQ(remote.Unlock(0, 16, 1), FileError::kNone);
  EXPECT_EQ(a.Lock(16, 1), FileError::kNone);
}

TEST_F(LockTest, TheOtherProcessEndingReleasesItsLocks) {
  {
    RemoteHolder remote;
    ASSERT_TRUE(remote.ok());
    ASSERT_EQ(remote.Open(0, path_, FileAccess::kReadWrite, FileShare::kDenyNone),
              FileError::kNone);
    ASSERT_EQ(remote.Lock(0, 0, 0x7FFFFFFF), FileError::kNone);
    File a = OpenShared();
    EXPECT_EQ(a.Lock(100, 1), FileError::kLockViolation);
  }
  File a = OpenShared();
  EXPECT_EQ(a.Lock(100, 1), FileError::kNone);
}

TEST_F(LockTest, WholeFileLockDoesNotTouchShareModes) {
  File a = OpenShared();
  ASSERT_EQ(a.Lock(0, 0x80000000u), FileError::kNone);
  File b, c;
  EXPECT_EQ(File::Open(path_, FileAccess::kReadWrite, FileShare::kDenyNone,
                       FileCreate::kOpenExisting, &b),
            FileError::kNone);
  EXPECT_EQ(
      File::Open(path_, FileAccess::kRead, FileShare::kDenyWrite, FileCreate::kOpenExisting, &c),
      FileError::kSharingViolation);  // a and b have write access
}

TEST_F(LockTest, RangesReachingTheReservedAreaAreRefused) {
  File a = OpenShared(), b;
  EXPECT_EQ(a.Lock(uint64_t{1} << 62, 8), FileError::kLockViolation);
  EXPECT_EQ(a.Lock(0, uint64_t{1} << 63), FileError::kLockViolation);
  EXPECT_EQ(a.Unlock(0, ~uint64_t{0}), FileError::kLockViolation);
  // a's share marks are intact: an exclusive open is still refused.
  EXPECT_EQ(
      File::Open(path_, FileAccess::kRead, FileShare::kExclusive, FileCreate::kOpenExisting, &b),
      FileError::kSharingViolation);
}

TEST_F(LockTest, ZeroLengthLockLocksNothing) {
  File a = OpenShared(), b = OpenShared();
  EXPECT_EQ(a.Lock(5, 0), FileError::kNone);
  EXPECT_EQ(b.Lock(0, 1000), FileError::kNone);  // would conflict had 0 meant "to the end"
}

TEST_F(LockTest, LocksOnAClosedHandleFail) {
  File a;
  EXPECT_EQ(a.Lock(0, 1), FileError::kInvalidHandle);
  EXPECT_EQ(a.Unlock(0, 1), FileError::kInvalidHandle);
}

TEST_F(LockTest, MovedHandleKeepsItsLocks) {
  File a = OpenShared(), other = OpenShared();
  ASSERT_EQ(a.Lock(3, 1), FileError::kNone);
  File moved;
  moved = std::move(a);
  EXPECT_EQ(other.Lock(3, 1), FileError::kLockViolation);
  EXPECT_EQ(moved.Unlock(3, 1), FileError::kNone);
  EXPECT_EQ(other.Lock(3, 1), FileError::kNone);
}

}  // namespace
}  // namespace memo::platform
