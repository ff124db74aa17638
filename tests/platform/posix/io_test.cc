// Reads, writes, positions and lengths; create dispositions; errors that need another user or a
// resource limit, checked in a child process.
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/file.h"
#include "tests/platform/posix/test_util.h"

namespace memo::platform {
namespace {

using memo::testing::ReadWholeFile;
using memo::testing::RunInChild;
using memo::testing::TempDir;
using memo::testing::WriteWholeFile;

class IoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(dir_.path().empty());
    path_ = dir_ / "io.bin";
  }
  TempDir dir_;
  std::string path_;
};

TEST_F(IoTest, PositionalWritesAndReadsRoundTrip) {
  File f;
  ASSERT_EQ(
      File::Open(path_, FileAccess::kReadWrite, FileShare::kDenyNone, FileCreate::kCreateNew, &f),
      FileError::kNone);
  ASSERT_EQ(f.WriteAt(4, "data", 4), FileError::kNone);
  uint64_t length = 0;
  ASSERT_EQ(f.Length(&length), FileError::kNone);
  EXPECT_EQ(length, 8u);
  char buf[16];
  size_t done = 99;
  ASSERT_EQ(f.ReadAt(0, buf, sizeof buf, &done), FileError::kNone);
  EXPECT_EQ(std::string(buf, done),
            std::string("\0\0\0\0data", 8));  // short read at the end is fine
  ASSERT_EQ(f.ReadAt(100, buf, 4, &done), FileError::kNone);
  EXPECT_EQ(done, 0u);
}

TEST_F(IoTest, SequentialIoFollowsTheHandlePosition) {
  File f;
  ASSERT_EQ(File::Open(path_, FileAccess::kReadWrite, FileShare::kDenyNone,
                       FileCreate::kCreateAlways, &f),
            FileError::kNone);
  ASSERT_EQ(f.Write("hello world", 11), FileError::kNone);
  uint64_t pos = 0;
  ASSERT_EQ(f.Seek(-5, SEEK_END, &pos), FileError::kNone);
  EXPECT_EQ(pos, 6u);
  char buf[8];
  size_t done = 0;
  ASSERT_EQ(f.Read(buf, sizeof buf, &done), FileError::kNone);
  EXPECT_EQ(std::string(buf, done), "world");
  ASSERT_EQ(f.Seek(0, SEEK_SET), FileError::kNone);
  ASSERT_EQ(f.Write("J", 1), FileError::kNone);
  EXPECT_EQ(f.Seek(-1, SEEK_SET), FileError::kSeekFailed);
  EXPECT_EQ(f.Seek(0, 7), FileError::kSeekFailed);
  f.Close();
  EXPECT_EQ(ReadWholeFile(path_), "Jello world");
}

TEST_F(IoTest, SetLengthCutsAndExtendsWithZeros) {
  WriteWholeFile(path_, "abcdef");
  File f;
  ASSERT_EQ(File::Open(path_, FileAccess::kReadWrite, FileShare::kDenyNone,
                       FileCreate::kOpenExisting, &f),
            FileError::kNone);
  ASSERT_EQ(f.SetLength(3), FileError::kNone);
  ASSERT_EQ(f.SetLength(5), FileError::kNone);
  f.Close();
  EXPECT_EQ(ReadWholeFile(path_), std::string("abc\0\0", 5));
}

TEST_F(IoTest, CreateDispositions) {
  File f;
  EXPECT_EQ(File::Open(path_, FileAccess::kReadWrite, FileShare::kDenyNone,
                       FileCreate::kOpenExisting, &f),
            FileError::kNotFound);
  ASSERT_EQ(
      File::Open(path_, FileAccess::kWrite, FileShare::kDenyNone, FileCreate::kOpenAlways, &f),
      FileError::kNone);
  ASSERT_EQ(f.WriteAt(0, "keep", 4), FileError::kNone);
  f.Close();
  ASSERT_EQ(
      File::Open(path_, FileAccess::kWrite, FileShare::kDenyNone, FileCreate::kOpenAlways, &f),
      FileError::kNone);
  f.Close();
  EXPECT_EQ(ReadWholeFile(path_), "keep");
  EXPECT_EQ(File::Open(path_, FileAccess::kWrite, FileShare::kDenyNone, FileCreate::kCreateNew, &f),
            FileError::kCreateFailed);
  ASSERT_EQ(
      File::Open(path_, FileAccess::kWrite, FileShare::kDenyNone, FileCreate::kCreateAlways, &f),
      FileError::kNone);
  f.Close();
  EXPECT_EQ(ReadWholeFile(path_), "");
}

TEST_F(IoTest, AccessIsEnforcedPerHandle) {
  WriteWholeFile(path_, "abc");
  File reader, writer;
  ASSERT_EQ(File::Open(path_, FileAccess::kRead, FileShare::kDenyNone, FileCreate::kOpenExisting,
                       &reader),
            FileError::kNone);
  ASSERT_EQ(File::Open(path_, FileAccess::kWrite, FileShare::kDenyNone, FileCreate::kOpenExisting,
                       &writer),
            FileError::kNone);
  EXPECT_EQ(reader.WriteAt(0, "x", 1), FileError::kAccessDenied);
  EXPECT_EQ(reader.Write("x", 1), FileError::kAccessDenied);
  EXPECT_EQ(reader.SetLength(0), FileError::kAccessDenied);
  char c;
  size_t done = 0;
  EXPECT_EQ(writer.ReadAt(0, &c, 1, &done), FileError::kAccessDenied);
  EXPECT_EQ(writer.Read(&c, 1, &done), FileError::kAccessDenied);
  EXPECT_EQ(ReadWholeFile(path_), "abc");
}

TEST_F(IoTest, AClosedHandleIsInvalid) {
  File f;
  char c;
  size_t done = 0;
  uint64_t length = 0;
  EXPECT_EQ(f.ReadAt(0, &c, 1, &done), FileError::kInvalidHandle);
  EXPECT_EQ(f.WriteAt(0, &c, 1), FileError::kInvalidHandle);
  EXPECT_EQ(f.Length(&length), FileError::kInvalidHandle);
  EXPECT_EQ(f.SetLength(0), FileError::kInvalidHandle);
  EXPECT_EQ(f.Seek(0, SEEK_SET), FileError::kInvalidHandle);
}

TEST_F(IoTest, LargeWritesArriveWhole) {
  std::vector<char> big(3 << 20);
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7);
  File f;
  ASSERT_EQ(File::Open(path_, FileAccess::kReadWrite, FileShare::kExclusive,
                       FileCreate::kCreateAlways, &f),
            FileError::kNone);
  ASSERT_EQ(f.WriteAt(1, big.data(), big.size()), FileError::kNone);
  std::vector<char> back(big.size());
  size_t done = 0;
  ASSERT_EQ(f.ReadAt(1, back.data(), back.size(), &done), FileError::kNone);
  EXPECT_EQ(done, big.size());
  EXPECT_TRUE(back == big);
}

// A file size limit makes the second write call fail with EFBIG after a partial first one.
TEST_F(IoTest, FileTooLargeIsDiskFull) {
  int status = RunInChild([&]() {
    signal(SIGXFSZ, SIG_IGN);
    rlimit limit{10, 10};
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) return 10;
    File f;
    if (File::Open(path_, FileAccess::kWrite, FileShare::kDenyNone, FileCreate::kCreateAlways,
                   &f) != FileError::kNone) {
      return 11;
    }
    if (f.WriteAt(0, "0123456789abcdef", 16) != FileError::kDiskFull) return 12;
    if (f.SetLength(100) != FileError::kDiskFull) return 13;
    return 0;
  });
  EXPECT_EQ(status, 0);
  EXPECT_EQ(ReadWholeFile(path_), "0123456789");  // the partial write stayed
}

TEST_F(IoTest, RunningOutOfDescriptorsIsTooManyOpen) {
  WriteWholeFile(path_, "x");
  int status = RunInChild([&]() {
    std::vector<File> files;
    rlimit limit{64, 64};
    if (setrlimit(RLIMIT_NOFILE, &limit) != 0) return 10;
    for (int i = 0; i < 64; ++i) {
      File f;
      FileError e =
          File::Open(path_, FileAccess::kRead, FileShare::kDenyNone, FileCreate::kOpenExisting, &f);
      if (e == FileError::kTooManyOpen) return 0;
      if (e != FileError::kNone) return 11;
      files.push_back(std::move(f));
    }
    return 12;
  });
  EXPECT_EQ(status, 0);
}

// Runs the body as an unprivileged user when the tests run as root (permissions do not bind root).
template <typename Body>
int RunUnprivileged(Body body) {
  return RunInChild([&]() {
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) return 100;
    return body();
  });
}

TEST_F(IoTest, PermissionsAreAccessDenied) {
  ASSERT_EQ(chmod(dir_.path().c_str(), 0755), 0);
  WriteWholeFile(path_, "secret");
  ASSERT_EQ(chmod(path_.c_str(), 0600), 0);
  if (geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
  int status = RunUnprivileged([&]() {
    File f;
    if (File::Open(path_, FileAccess::kRead, FileShare::kDenyNone, FileCreate::kOpenExisting, &f) !=
        FileError::kAccessDenied) {
      return 1;
    }
    if (File::Open(dir_ / "new.bin", FileAccess::kWrite, FileShare::kDenyNone,
                   FileCreate::kCreateAlways, &f) != FileError::kAccessDenied) {
      return 2;
    }
    return 0;
  });
  EXPECT_EQ(status, 0);
}

// A file the user may only read: handles keep their locks on the read-only descriptor. Share
// modes still hold between them, and an exclusive open by its owner is still refused.
TEST_F(IoTest, ReadOnlyFilesStillObeyShareModes) {
  ASSERT_EQ(chmod(dir_.path().c_str(), 0755), 0);
  WriteWholeFile(path_, "read only");
  // Writable by its owner (root) alone: read-only for the unprivileged user below. (A file
  // without any write bit would refuse the owner's writer before its share mode is looked at.)
  ASSERT_EQ(chmod(path_.c_str(), 0644), 0);
  if (geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
  memo::testing::RemoteHolder owner;
  ASSERT_TRUE(owner.ok());
  int status = RunUnprivileged([&]() {
    File a, b, c;
    if (File::Open(path_, FileAccess::kReadWrite, FileShare::kDenyNone, FileCreate::kOpenExisting,
                   &a) != FileError::kAccessDenied) {
      return 1;
    }
    if (File::Open(path_, FileAccess::kRead, FileShare::kDenyWrite, FileCreate::kOpenExisting,
                   &a) != FileError::kNone) {
      return 2;
    }
    if (File::Open(path_, FileAccess::kRead, FileShare::kDenyWrite, FileCreate::kOpenExisting,
                   &b) != FileError::kNone) {
      return 3;
    }
    if (File::Open(path_, FileAccess::kRead, FileShare::kDenyRead, FileCreate::kOpenExisting, &c) !=
        FileError::kSharingViolation) {
      return 4;
    }
    // While a and b deny writing, the owner (root) may not open for writing.
    if (owner.Open(0, path_, FileAccess::kReadWrite, FileShare::kDenyNone) !=
        FileError::kSharingViolation) {
      return 5;
    }
    char buf[9];
    size_t done = 0;
    if (a.ReadAt(0, buf, sizeof buf, &done) != FileError::kNone ||
        std::string(buf, done) != "read only")
      return 6;
    return 0;
  });
  EXPECT_EQ(status, 0);
}

TEST(ClockTest, TickCountAdvancesAcrossASleep) {
  uint32_t before = TickCount();
  SleepMs(30);
  uint32_t elapsed = TickCount() - before;
  EXPECT_GE(elapsed, 30u);
}

}  // namespace
}  // namespace memo::platform
