// Share modes: every access x share pair of two handles, in one process and across processes,
// against a small reference rule; and the guarantees around it (truncation, release on close,
// racing opens).
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <string>

#include <gtest/gtest.h>

#include "platform/file.h"
#include "platform/posix/share_lock.h"
#include "tests/platform/posix/test_util.h"

namespace memo::platform {
namespace {

using memo::testing::RemoteHolder;
using memo::testing::TempDir;

constexpr FileAccess kAccesses[] = {FileAccess::kRead, FileAccess::kWrite, FileAccess::kReadWrite};
constexpr FileShare kShares[] = {FileShare::kDenyNone, FileShare::kDenyRead, FileShare::kDenyWrite,
                                 FileShare::kExclusive};

// The rule of simultaneous opens, written independently of the implementation.
bool SecondOpenAllowed(FileAccess a1, FileShare s1, FileAccess a2, FileShare s2) {
  auto reads = [](FileAccess a) { return a == FileAccess::kRead || a == FileAccess::kReadWrite; };
  auto writes = [](FileAccess a) { return a == FileAccess::kWrite || a == FileAccess::kReadWrite; };
  auto lets_read = [](FileShare s) {
    return s == FileShare::kDenyNone || s == FileShare::kDenyWrite;
  };
  auto lets_write = [](FileShare s) {
    return s == FileShare::kDenyNone || s == FileShare::kDenyRead;
  };
  return (!reads(a2) || lets_read(s1)) && (!writes(a2) || lets_write(s1)) &&
         (!reads(a1) || lets_read(s2)) && (!writes(a1) || lets_write(s2));
}

std::string Describe(FileAccess a1, FileShare s1, FileAccess a2, FileShare s2) {
  return "first access " + std::to_string(static_cast<int>(a1)) + " share " +
         std::to_string(static_cast<int>(s1)) + ", second access " +
         std::to_string(static_cast<int>(a2)) + " share " + std::to_string(static_cast<int>(s2));
}

class ShareModeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(dir_.path().empty());
    path_ = dir_ / "shared.bin";
    memo::testing::WriteWholeFile(path_, "contents");
  }
  TempDir dir_;
  std::string path_;
};

TEST_F(ShareModeTest, EveryPairInOneProcessFollowsTheRule) {
  int refused = 0;
  for (FileAccess a1 : kAccesses) {
    for (FileShare s1 : kShares) {
      for (FileAccess a2 : kAccesses) {
        for (FileShare s2 : kShares) {
          SCOPED_TRACE(Describe(a1, s1, a2, s2));
          File first, second;
          ASSERT_EQ(File::Open(path_, a1, s1, FileCreate::kOpenExisting, &first), FileError::kNone);
          FileError e = File::Open(path_, a2, s2, FileCreate::kOpenExisting, &second);
          if (SecondOpenAllowed(a1, s1, a2, s2)) {
            EXPECT_EQ(e, FileError::kNone);
            EXPECT_TRUE(second.IsOpen());
          } else {
            ++refused;
            EXPECT_EQ(e, FileError::kSharingViolation);
            EXPECT_FALSE(second.IsOpen());
          }
        }
      }
    }
  }
  EXPECT_GT(refused, 0);
  EXPECT_LT(refused, 144);
}

TEST_F(ShareModeTest, EveryPairAcrossProcessesFollowsTheRule) {
  RemoteHolder remote;
  ASSERT_TRUE(remote.ok());
  for (FileAccess a1 : kAccesses) {
    for (FileShare s1 : kShares) {
      for (FileAccess a2 : kAccesses) {
        for (FileShare s2 : kShares) {
          SCOPED_TRACE(Describe(a1, s1, a2, s2));
          const FileError expected =
              SecondOpenAllowed(a1, s1, a2, s2) ? FileError::kNone : FileError::kSharingViolation;
          // The other process opens first ...
          ASSERT_EQ(remote.Open(0, path_, a1, s1), FileError::kNone);
          {
            File local;
            EXPECT_EQ(File::Open(path_, a2, s2, FileCreate::kOpenExisting, &local), expected);
          }
          ASSERT_EQ(remote.Close(0), FileError::kNone);
          // ... and second.
          File local;
          ASSERT_EQ(File::Open(path_, a1, s1, FileCreate::kOpenExisting, &local), FileError::kNone);
          EXPECT_EQ(remote.Open(1, path_, a2, s2), expected);
          IgnoreError(remote.Close(1));  // nothing is open under 1 when the open was refused
        }
      }
    }
  }
}

TEST_F(ShareModeTest, ClosingTheHandleLiftsItsDenials) {
  File exclusive, other;
  ASSERT_EQ(File::Open(path_, FileAccess::kRead, FileShare::kExclusive, FileCreate::kOpenExisting,
                       &exclusive),
            FileError::kNone);
  EXPECT_EQ(
      File::Open(path_, FileAccess::kRead, FileShare::kDenyNone, FileCreate::kOpenExisting, &other),
      FileError::kSharingViolation);
  exclusive.Close();
  EXPECT_EQ(File::Open(path_, FileAccess::kReadWrite, FileShare::kExclusive,
                       FileCreate::kOpenExisting, &other),
            FileError::kNone);
}

TEST_F(ShareModeTest, ARefusedOpenLeavesNoMarksBehind) {
  File reader, refused, writer;
  ASSERT_EQ(File::Open(path_, FileAccess::kRead, FileShare::kDenyWrite, FileCreate::kOpenExisting,
                       &reader),
            FileError::kNone);
  // Asks for write (refused); had its "denies read" mark stayed, the next reader would fail.
  ASSERT_EQ(File::Open(path_, FileAccess::kWrite, FileShare::kExclusive, FileCreate::kOpenExisting,
                       &refused),
            FileError::kSharingViolation);
  File second_reader;
  EXPECT_EQ(File::Open(path_, FileAccess::kRead, FileShare::kDenyNone, FileCreate::kOpenExisting,
                       &second_reader),
            FileError::kNone);
  reader.Close();
  second_reader.Close();
  EXPECT_EQ(File::Open(path_, FileAccess::kWrite, FileShare::kExclusive, FileCreate::kOpenExisting,
                       &writer),
            FileError::kNone);
}

TEST_F(ShareModeTest, MovedHandleKeepsItsShareClaim) {
  File a;
  ASSERT_EQ(File::Open(path_, FileAccess::kReadWrite, FileShare::kExclusive,
                       FileCreate::kOpenExisting, &a),
            FileError::kNone);
  File b(std::move(a));
  EXPECT_FALSE(a.IsOpen());
  File c;
  EXPECT_EQ(
      File::Open(path_, FileAccess::kRead, FileShare::kDenyNone, FileCreate::kOpenExisting, &c),
      FileError::kSharingViolation);
  b = File();
  EXPECT_EQ(
      File::Open(path_, FileAccess::kRead, FileShare::kDenyNone, FileCreate::kOpenExisting, &c),
      FileError::kNone);
}

TEST_F(ShareModeTest, CreateAlwaysRefusedForSharingDoesNotTruncate) {
  RemoteHolder remote;
  ASSERT_TRUE(remote.ok());
  File reader;
  ASSERT_EQ(File::Open(path_, FileAccess::kRead, FileShare::kDenyWrite, FileCreate::kOpenExisting,
                       &reader),
            FileError::kNone);
  File writer;
  EXPECT_EQ(File::Open(path_, FileAccess::kWrite, FileShare::kExclusive, FileCreate::kCreateAlways,
                       &writer),
            FileError::kSharingViolation);
  EXPECT_EQ(memo::testing::ReadWholeFile(path_), "contents");
  reader.Close();

  ASSERT_EQ(remote.Open(0, path_, FileAccess::kRead, FileShare::kDenyWrite), FileError::kNone);
  EXPECT_EQ(File::Open(path_, FileAccess::kReadWrite, FileShare::kDenyNone,
                       FileCreate::kCreateAlways, &writer),
            FileError::kSharingViolation);
  EXPECT_EQ(memo::testing::ReadWholeFile(path_), "contents");
  ASSERT_EQ(remote.Close(0), FileError::kNone);
  EXPECT_EQ(File::Open(path_, FileAccess::kWrite, FileShare::kExclusive, FileCreate::kCreateAlways,
                       &writer),
            FileError::kNone);
  EXPECT_EQ(memo::testing::ReadWholeFile(path_), "");
}

TEST_F(ShareModeTest, TheOtherProcessEndingLiftsItsClaim) {
  {
    RemoteHolder remote;
    ASSERT_TRUE(remote.ok());
    ASSERT_EQ(remote.Open(0, path_, FileAccess::kReadWrite, FileShare::kExclusive),
              FileError::kNone);
    File local;
    EXPECT_EQ(File::Open(path_, FileAccess::kRead, FileShare::kDenyNone, FileCreate::kOpenExisting,
                         &local),
              FileError::kSharingViolation);
  }  // the holder exits without closing its handle
  File local;
  EXPECT_EQ(
      File::Open(path_, FileAccess::kRead, FileShare::kDenyNone, FileCreate::kOpenExisting, &local),
      FileError::kNone);
}

// Someone holding the gate forever (a stopped process, say) delays opens but never hangs them,
// and the share rules still hold without the gate.
TEST_F(ShareModeTest, AStuckGateHolderDoesNotHangOpens) {
  int raw = open(path_.c_str(), O_RDWR | O_CLOEXEC);
  ASSERT_GE(raw, 0);
  struct flock gate {};
  gate.l_type = F_WRLCK;
  gate.l_whence = SEEK_SET;
  gate.l_start = static_cast<off_t>(posix::kGateByte);
  gate.l_len = 1;
  ASSERT_EQ(fcntl(raw, F_OFD_SETLK, &gate), 0);
  File first, second;
  EXPECT_EQ(File::Open(path_, FileAccess::kRead, FileShare::kDenyWrite, FileCreate::kOpenExisting,
                       &first),
            FileError::kNone);
  EXPECT_EQ(File::Open(path_, FileAccess::kWrite, FileShare::kDenyNone, FileCreate::kOpenExisting,
                       &second),
            FileError::kSharingViolation);
  close(raw);
}

// Two processes race to open the same file exclusively, again and again. Whenever one holds it,
// the other must be refused: a shared counter of holders never exceeds 1. Every mix used here
// conflicts with itself (each reads, each denies reading).
TEST_F(ShareModeTest, RacingExclusiveOpensNeverBothSucceed) {
  struct Shared {
    std::atomic<int> inside;
    std::atomic<int> overlaps;
    std::atomic<int> successes;
  };
  void* mem =
      mmap(nullptr, sizeof(Shared), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(mem, MAP_FAILED);
  auto* shared = new (mem) Shared{};
  const std::string path = path_;
  auto worker = [shared, path]() {
    for (int i = 0; i < 300; ++i) {
      File f;
      FileError e = File::Open(path, i % 2 ? FileAccess::kRead : FileAccess::kReadWrite,
                               i % 3 ? FileShare::kExclusive : FileShare::kDenyRead,
                               FileCreate::kOpenExisting, &f);
      if (e == FileError::kNone) {
        if (shared->inside.fetch_add(1) != 0) shared->overlaps.fetch_add(1);
        shared->successes.fetch_add(1);
        shared->inside.fetch_sub(1);
      } else if (e != FileError::kSharingViolation) {
        return 2;
      }
    }
    return 0;
  };
  pid_t pids[2];
  for (pid_t& pid : pids) {
    pid = fork();
    if (pid == 0) _exit(worker());
  }
  for (pid_t pid : pids) {
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  EXPECT_EQ(shared->overlaps.load(), 0);
  EXPECT_GT(shared->successes.load(), 0);
  munmap(mem, sizeof(Shared));
}

}  // namespace
}  // namespace memo::platform
