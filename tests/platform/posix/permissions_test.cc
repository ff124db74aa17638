// Permission bits of new files, the whole-content replacement through a passing file, directory
// listings, and the clock of lock retries reached through the system-call table.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <ctime>

#include "platform/file.h"
#include "platform/posix/syscalls.h"
#include "tests/platform/posix/test_util.h"

namespace memo::platform {
namespace {

using testing::TempDir;

uint32_t ModeOf(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 ? static_cast<uint32_t>(st.st_mode) & 0777u : 07777u;
}

// The umask for a scope.
class ScopedUmask {
 public:
  explicit ScopedUmask(mode_t mask) : previous_(umask(mask)) {}
  ~ScopedUmask() { umask(previous_); }

 private:
  mode_t previous_;
};

TEST(PermissionsTest, CreatedFilesTakeTheModeAskedForAndExistingOnesKeepTheirs) {
  TempDir dir;
  ScopedUmask mask(022);
  File file;
  ASSERT_EQ(File::Open(dir / "shared", FileAccess::kReadWrite, FileShare::kDenyNone,
                       FileCreate::kCreateNew, &file),
            FileError::kNone);
  file.Close();
  EXPECT_EQ(ModeOf(dir / "shared"), 0644u) << "the default: 0666 less the umask";
  ASSERT_EQ(File::Open(dir / "private", FileAccess::kWrite, FileShare::kDenyNone,
                       FileCreate::kCreateAlways, &file, kPrivateFileMode),
            FileError::kNone);
  uint32_t mode = 0;
  ASSERT_EQ(file.Permissions(&mode), FileError::kNone);
  EXPECT_EQ(mode, 0600u);
  file.Close();
  // Opening an existing file with a creating mode leaves its bits alone.
  ASSERT_EQ(File::Open(dir / "shared", FileAccess::kWrite, FileShare::kDenyNone,
                       FileCreate::kCreateAlways, &file, kPrivateFileMode),
            FileError::kNone);
  EXPECT_EQ(ModeOf(dir / "shared"), 0644u);
  ASSERT_EQ(file.SetPermissions(0640), FileError::kNone);
  file.Close();
  ASSERT_EQ(FilePermissions(dir / "shared", &mode), FileError::kNone);
  EXPECT_EQ(mode, 0640u);
  EXPECT_EQ(FilePermissions(dir / "missing", &mode), FileError::kNotFound);
  // Names are found ignoring case, as every lookup is.
  ASSERT_EQ(FilePermissions(dir / "PRIVATE", &mode), FileError::kNone);
  EXPECT_EQ(mode, 0600u);
}

TEST(PermissionsTest, ReplaceFileContentIsWholeOrNothingAndTakesTheModeGiven) {
  TempDir dir;
  ScopedUmask mask(022);
  testing::WriteWholeFile(dir / "b.mcn", "old content");
  ASSERT_EQ(chmod((dir / "b.mcn").c_str(), 0644), 0);
  ASSERT_EQ(ReplaceFileContent(dir / "b.mcn", "new", 0600), FileError::kNone);
  EXPECT_EQ(testing::ReadWholeFile(dir / "b.mcn"), "new");
  EXPECT_EQ(ModeOf(dir / "b.mcn"), 0600u);
  EXPECT_FALSE(std::filesystem::exists(dir / "b.mcn.~new"));
  // A name found in another case is replaced under its own name.
  ASSERT_EQ(ReplaceFileContent(dir / "B.MCN", std::string(70000, 'z'), 0640), FileError::kNone);
  EXPECT_EQ(testing::ReadWholeFile(dir / "b.mcn"), std::string(70000, 'z'));
  EXPECT_FALSE(std::filesystem::exists(dir / "B.MCN"));
  EXPECT_EQ(ModeOf(dir / "b.mcn"), 0640u);
  // An empty content makes an empty file.
  ASSERT_EQ(ReplaceFileContent(dir / "empty", "", 0600), FileError::kNone);
  EXPECT_EQ(testing::ReadWholeFile(dir / "empty"), "");
  // A passing file left by a writer that stopped is reused, with the mode asked for.
  testing::WriteWholeFile(dir / "b.mcn.~new", "half of a copy that was never finished");
  ASSERT_EQ(chmod((dir / "b.mcn.~new").c_str(), 0666), 0);
  ASSERT_EQ(ReplaceFileContent(dir / "b.mcn", "again", 0600), FileError::kNone);
  EXPECT_EQ(testing::ReadWholeFile(dir / "b.mcn"), "again");
  EXPECT_EQ(ModeOf(dir / "b.mcn"), 0600u);
  // While another writer holds the passing file, the target is left as it is.
  File other;
  ASSERT_EQ(File::Open(dir / "b.mcn.~new", FileAccess::kWrite, FileShare::kExclusive,
                       FileCreate::kCreateAlways, &other),
            FileError::kNone);
  EXPECT_EQ(ReplaceFileContent(dir / "b.mcn", "refused", 0600), FileError::kSharingViolation);
  EXPECT_EQ(testing::ReadWholeFile(dir / "b.mcn"), "again");
  other.Close();
  // A directory that does not exist.
  EXPECT_NE(ReplaceFileContent(dir / "nowhere/b.mcn", "x", 0600), FileError::kNone);
}

TEST(PermissionsTest, ListDirectoryGivesEveryEntryButDotAndDotDot) {
  TempDir dir;
  testing::WriteWholeFile(dir / "a.mcn", "");
  testing::WriteWholeFile(dir / "\xE5\xA4\x87\xE5\xBF\x98.mcn", "");  // 备忘.mcn in UTF-8
  std::filesystem::create_directory(dir / "sub");
  std::vector<std::string> names = ListDirectory(dir.path());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"a.mcn", "sub", "\xB1\xB8\xCD\xFC.mcn"}))
      << "names in GBK";
  EXPECT_TRUE(ListDirectory(dir / "missing").empty());
}

// A table whose clock only moves when it sleeps.
uint64_t g_now_ns = 0;
int FakeClock(clockid_t, struct timespec* now) {
  now->tv_sec = static_cast<time_t>(g_now_ns / 1000000000u);
  now->tv_nsec = static_cast<long>(g_now_ns % 1000000000u);
  return 0;
}
int FakeSleep(const struct timespec* wanted, struct timespec*) {
  g_now_ns +=
      static_cast<uint64_t>(wanted->tv_sec) * 1000000000u + static_cast<uint64_t>(wanted->tv_nsec);
  return 0;
}

TEST(PermissionsTest, TickAndSleepGoThroughTheSystemCallTable) {
  posix::SyscallTable table = posix::Syscalls();
  table.clock_gettime = FakeClock;
  table.nanosleep = FakeSleep;
  g_now_ns = 5000000000u + 400000u;  // 5000 ms and a fraction
  posix::SyscallTable previous = posix::InstallSyscalls(table);
  const uint32_t before = TickCount();
  SleepMs(1234);
  const uint32_t after = TickCount();
  posix::InstallSyscalls(previous);
  EXPECT_EQ(before, 5000u);
  EXPECT_EQ(after, 6234u);
  // And the real ones again: time passes while it sleeps.
  const uint32_t start = TickCount();
  SleepMs(15);
  EXPECT_GE(TickCount() - start, 15u);
}

}  // namespace
}  // namespace memo::platform
