// Files that must appear whole and never over another: NameTaken for every kind of entry,
// NewFile's passing name, its refusal to replace, and its clean-up after a failed write; and the
// read-only rule for files without write bits.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "platform/file.h"
#include "platform/posix/syscalls.h"
#include "tests/platform/posix/test_util.h"

namespace memo::platform {
namespace {

using memo::testing::ReadWholeFile;
using memo::testing::TempDir;
using memo::testing::WriteWholeFile;

int CountEntries(const std::string& dir) {
  int n = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir)) ++n;
  return n;
}

unsigned ModeOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(stat(path.c_str(), &st), 0);
  return st.st_mode & 07777;
}

TEST(NameTakenTest, EveryKindOfEntryTakesItsName) {
  TempDir dir;
  EXPECT_FALSE(NameTaken(dir / "none.mcn"));
  WriteWholeFile(dir / "file.mcn", "x");
  EXPECT_TRUE(NameTaken(dir / "file.mcn"));
  EXPECT_TRUE(NameTaken(dir / "FILE.MCN"));  // another case of its letters
  ASSERT_EQ(mkdir((dir / "dir.mcn").c_str(), 0700), 0);
  EXPECT_TRUE(NameTaken(dir / "dir.mcn"));
  ASSERT_EQ(symlink((dir / "gone").c_str(), (dir / "dangling.mcn").c_str()), 0);
  EXPECT_TRUE(NameTaken(dir / "dangling.mcn"));
  ASSERT_EQ(symlink("/dev/null", (dir / "device.mcn").c_str()), 0);
  EXPECT_TRUE(NameTaken(dir / "device.mcn"));
  // A missing directory on the way, or a file standing where a directory should be: nothing has
  // that name.
  EXPECT_FALSE(NameTaken(dir / "nodir/a.mcn"));
  EXPECT_FALSE(NameTaken(dir / "file.mcn/a.mcn"));
}

TEST(NewFileTest, PublishedFileIsWholeWithItsModeAndNoPassingNameLeft) {
  TempDir dir;
  NewFile file;
  ASSERT_EQ(file.Write(dir / "c.mcn", std::string("abc\0def", 7), 0600), FileError::kNone);
  EXPECT_FALSE(NameTaken(dir / "c.mcn"));  // not under its name before it is published
  EXPECT_TRUE(std::filesystem::exists(file.passing_path()));
  ASSERT_EQ(file.Publish(), FileError::kNone);
  EXPECT_EQ(ReadWholeFile(dir / "c.mcn"), std::string("abc\0def", 7));
  EXPECT_EQ(ModeOf(dir / "c.mcn"), 0600u);
  EXPECT_EQ(CountEntries(dir.path()), 1);
}

TEST(NewFileTest, NeverReplacesANameThatAppearedMeanwhile) {
  TempDir dir;
  for (const char* existing : {"a.mcn", "A.MCN"}) {
    NewFile file;
    ASSERT_EQ(file.Write(dir / "a.mcn", "image", 0600), FileError::kNone);
    WriteWholeFile(dir / existing, "kept");
    EXPECT_EQ(file.Publish(), FileError::kCreateFailed) << existing;
    EXPECT_EQ(ReadWholeFile(dir / existing), "kept");
    file.Discard();
    EXPECT_EQ(CountEntries(dir.path()), 1) << existing;
    std::filesystem::remove(dir / existing);
  }
  // A dangling symlink is not followed to create its target.
  ASSERT_EQ(symlink((dir / "target").c_str(), (dir / "a.mcn").c_str()), 0);
  NewFile file;
  ASSERT_EQ(file.Write(dir / "a.mcn", "image", 0600), FileError::kNone);
  EXPECT_EQ(file.Publish(), FileError::kCreateFailed);
  EXPECT_FALSE(std::filesystem::exists(dir / "target"));
}

TEST(NewFileTest, UnpublishedFileGoesWithItsObject) {
  TempDir dir;
  {
    NewFile file;
    ASSERT_EQ(file.Write(dir / "a.edt", "image", 0600), FileError::kNone);
  }
  EXPECT_EQ(CountEntries(dir.path()), 0);
}

// The pwrite of the image fails as on a full disk, after a part of it has landed.
ssize_t ShortThenFull(int fd, const void* buffer, size_t count, off_t offset) {
  if (offset == 0 && count > 3) return posix::DefaultSyscalls().pwrite(fd, buffer, 3, offset);
  errno = ENOSPC;
  return -1;
}

TEST(NewFileTest, AFullDiskLeavesNothingBehind) {
  TempDir dir;
  posix::SyscallTable table = posix::DefaultSyscalls();
  table.pwrite = ShortThenFull;
  posix::SyscallTable previous = posix::InstallSyscalls(table);
  NewFile file;
  FileError e = file.Write(dir / "a.mcn", std::string(404, 'x'), 0600);
  posix::InstallSyscalls(previous);
  EXPECT_EQ(e, FileError::kDiskFull);
  EXPECT_EQ(file.Publish(), FileError::kInvalidHandle);
  EXPECT_EQ(CountEntries(dir.path()), 0);
}

TEST(NewFileTest, AMissingDirectoryIsAnInvalidPath) {
  TempDir dir;
  NewFile file;
  EXPECT_EQ(file.Write(dir / "nodir/a.mcn", "x", 0600), FileError::kInvalidPath);
}

TEST(ReadOnlyFileTest, NoWriteBitsRefuseEveryWriterButNotReaders) {
  TempDir dir;
  WriteWholeFile(dir / "a.mcn", "kept");
  ASSERT_EQ(chmod((dir / "a.mcn").c_str(), 0444), 0);
  File file;
  for (FileAccess access : {FileAccess::kWrite, FileAccess::kReadWrite}) {
    for (FileCreate create :
         {FileCreate::kOpenExisting, FileCreate::kOpenAlways, FileCreate::kCreateAlways}) {
      EXPECT_EQ(File::Open(dir / "a.mcn", access, FileShare::kDenyNone, create, &file),
                FileError::kAccessDenied);
    }
  }
  EXPECT_EQ(ReadWholeFile(dir / "a.mcn"), "kept");
  EXPECT_EQ(File::Open(dir / "a.mcn", FileAccess::kRead, FileShare::kDenyNone,
                       FileCreate::kOpenExisting, &file),
            FileError::kNone);
}

}  // namespace
}  // namespace memo::platform
