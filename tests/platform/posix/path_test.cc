// Paths: `\` as a separator, full paths without touching the disk, case-insensitive lookup, GBK
// names, and the errors of failed opens.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "platform/file.h"
#include "tests/platform/posix/test_util.h"

namespace memo::platform {
namespace {

using memo::testing::ReadWholeFile;
using memo::testing::TempDir;
using memo::testing::WriteWholeFile;

std::string Cwd() { return std::filesystem::current_path().string(); }

int CountEntries(const std::string& dir) {
  int n = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir)) ++n;
  return n;
}

TEST(FullPathTest, NormalisesDotsAndSeparators) {
  EXPECT_EQ(FullPath("/a/./b/../c"), "/a/c");
  EXPECT_EQ(FullPath("\\a\\b\\..\\c\\"), "/a/c");
  EXPECT_EQ(FullPath("/a//b///c"), "/a/b/c");
  EXPECT_EQ(FullPath("/a/b/../../.."), "/");
  EXPECT_EQ(FullPath("/"), "/");
  EXPECT_EQ(FullPath("/does/not/exist.mcn"), "/does/not/exist.mcn");
}

TEST(FullPathTest, RelativePathsStartAtTheCurrentDirectory) {
  EXPECT_EQ(FullPath("x\\y.mcn"), Cwd() + "/x/y.mcn");
  EXPECT_EQ(FullPath("./x/../y"), Cwd() + "/y");
  EXPECT_EQ(FullPath(""), Cwd());
  EXPECT_EQ(FullPath("."), Cwd());
}

TEST(FullPathTest, KeepsGbkCharactersWhoseTrailByteIsABackslash) {
  // 0x81 0x5C is one GBK character; its second byte must not split the path.
  const std::string name = "/d/\x81\x5C.mcn";
  EXPECT_EQ(FullPath(name), name);
  EXPECT_EQ(FullPath("/d/\x81\x5C\\..\\e"), "/d/e");
}

class PathFileTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(dir_.path().empty()); }
  TempDir dir_;
};

TEST_F(PathFileTest, BackslashSeparatesDirectories) {
  std::filesystem::create_directories(dir_ / "sub/inner");
  WriteWholeFile(dir_ / "sub/inner/f.txt", "abc");
  File f;
  std::string windows_style = dir_.path() + "\\sub\\inner\\f.txt";
  ASSERT_EQ(File::Open(windows_style, FileAccess::kRead, FileShare::kDenyNone,
                       FileCreate::kOpenExisting, &f),
            FileError::kNone);
  char buf[3];
  size_t done = 0;
  EXPECT_EQ(f.ReadAt(0, buf, 3, &done), FileError::kNone);
  EXPECT_EQ(std::string(buf, done), "abc");
  EXPECT_TRUE(FileExists(windows_style));
}

TEST_F(PathFileTest, MissingNamesAreFoundIgnoringCase) {
  std::filesystem::create_directories(dir_ / "Data");
  WriteWholeFile(dir_ / "Data/a.edt", "memo");
  File f;
  ASSERT_EQ(File::Open(dir_.path() + "/DATA\\A.EDT", FileAccess::kRead, FileShare::kDenyNone,
                       FileCreate::kOpenExisting, &f),
            FileError::kNone);
  EXPECT_EQ(f.Path(), dir_ / "Data/a.edt");
  EXPECT_EQ(ResolveOnDisk(dir_.path() + "/data/A.edt"), dir_ / "Data/a.edt");
  EXPECT_TRUE(FileExists(dir_.path() + "/dAtA/a.EDT"));
}

TEST_F(PathFileTest, CreatingUnderAnotherCaseReusesTheExistingFile) {
  WriteWholeFile(dir_ / "a.edt", "old contents");
  File f;
  ASSERT_EQ(File::Open(dir_ / "a.EDT", FileAccess::kReadWrite, FileShare::kDenyNone,
                       FileCreate::kOpenAlways, &f),
            FileError::kNone);
  uint64_t length = 0;
  EXPECT_EQ(f.Length(&length), FileError::kNone);
  EXPECT_EQ(length, 12u);
  f.Close();
  ASSERT_EQ(File::Open(dir_ / "A.Edt", FileAccess::kWrite, FileShare::kExclusive,
                       FileCreate::kCreateAlways, &f),
            FileError::kNone);
  ASSERT_EQ(f.WriteAt(0, "new", 3), FileError::kNone);
  f.Close();
  EXPECT_EQ(CountEntries(dir_.path()), 1);
  EXPECT_EQ(ReadWholeFile(dir_ / "a.edt"), "new");
  EXPECT_EQ(File::Open(dir_ / "A.EDT", FileAccess::kWrite, FileShare::kDenyNone,
                       FileCreate::kCreateNew, &f),
            FileError::kCreateFailed);
}

TEST_F(PathFileTest, ACaseInsensitiveMatchSharesTheShareClaim) {
  WriteWholeFile(dir_ / "c.mcn", "x");
  File a, b;
  ASSERT_EQ(File::Open(dir_ / "c.mcn", FileAccess::kReadWrite, FileShare::kExclusive,
                       FileCreate::kOpenExisting, &a),
            FileError::kNone);
  EXPECT_EQ(File::Open(dir_ / "C.MCN", FileAccess::kRead, FileShare::kDenyNone,
                       FileCreate::kOpenExisting, &b),
            FileError::kSharingViolation);
}

TEST_F(PathFileTest, AnExactMatchWinsOverOtherCases) {
  WriteWholeFile(dir_ / "x.txt", "lower");
  WriteWholeFile(dir_ / "X.TXT", "upper");
  EXPECT_EQ(ResolveOnDisk(dir_ / "X.TXT"), dir_ / "X.TXT");
  EXPECT_EQ(ResolveOnDisk(dir_ / "x.txt"), dir_ / "x.txt");
  // Neither as written: the byte-wise smallest match, whatever the directory order.
  EXPECT_EQ(ResolveOnDisk(dir_ / "X.txt"), dir_ / "X.TXT");
}

TEST_F(PathFileTest, UnknownNamesKeepTheirSpellingForCreation) {
  std::filesystem::create_directories(dir_ / "Sub");
  EXPECT_EQ(ResolveOnDisk(dir_ / "SUB/New.File"), dir_ / "Sub/New.File");
  EXPECT_EQ(ResolveOnDisk(dir_ / "none/More/x"), dir_ / "none/More/x");
}

TEST_F(PathFileTest, GbkNamesAreUtf8OnDisk) {
  // "中文.mcn" in GBK.
  const std::string gbk_name = "\xD6\xD0\xCE\xC4.mcn";
  File f;
  ASSERT_EQ(File::Open(dir_.path() + "/" + gbk_name, FileAccess::kWrite, FileShare::kDenyNone,
                       FileCreate::kCreateAlways, &f),
            FileError::kNone);
  f.Close();
  EXPECT_TRUE(std::filesystem::exists(dir_ / "中文.mcn"));
  EXPECT_TRUE(FileExists(dir_.path() + "/" + gbk_name));
  EXPECT_EQ(RemoveFile(dir_.path() + "\\" + gbk_name), FileError::kNone);
  EXPECT_FALSE(std::filesystem::exists(dir_ / "中文.mcn"));
}

TEST_F(PathFileTest, FailedOpensReportWhatWentWrong) {
  File f;
  EXPECT_EQ(File::Open(dir_ / "missing.mcn", FileAccess::kRead, FileShare::kDenyNone,
                       FileCreate::kOpenExisting, &f),
            FileError::kNotFound);
  EXPECT_EQ(File::Open(dir_ / "no-dir/x.mcn", FileAccess::kRead, FileShare::kDenyNone,
                       FileCreate::kOpenExisting, &f),
            FileError::kInvalidPath);
  EXPECT_EQ(File::Open(dir_ / "no-dir/x.mcn", FileAccess::kWrite, FileShare::kDenyNone,
                       FileCreate::kCreateAlways, &f),
            FileError::kInvalidPath);
  WriteWholeFile(dir_ / "plain", "x");
  EXPECT_EQ(File::Open(dir_ / "plain/x.mcn", FileAccess::kRead, FileShare::kDenyNone,
                       FileCreate::kOpenExisting, &f),
            FileError::kInvalidPath);
  EXPECT_EQ(File::Open(dir_.path(), FileAccess::kRead, FileShare::kDenyNone,
                       FileCreate::kOpenExisting, &f),
            FileError::kAccessDenied);
  EXPECT_EQ(File::Open("", FileAccess::kRead, FileShare::kDenyNone, FileCreate::kOpenExisting, &f),
            FileError::kInvalidPath);
  EXPECT_EQ(File::Open(dir_ / std::string(300, 'n'), FileAccess::kRead, FileShare::kDenyNone,
                       FileCreate::kOpenExisting, &f),
            FileError::kInvalidPath);
  // A lone lead byte is no GBK character: opening "x?" instead could reach another file.
  WriteWholeFile(dir_ / "x?", "other");
  EXPECT_EQ(File::Open(dir_ / "x\x81", FileAccess::kRead, FileShare::kDenyNone,
                       FileCreate::kOpenExisting, &f),
            FileError::kInvalidPath);
  EXPECT_EQ(File::Open(dir_ / "x\x81", FileAccess::kWrite, FileShare::kDenyNone,
                       FileCreate::kCreateAlways, &f),
            FileError::kInvalidPath);
  EXPECT_EQ(memo::testing::ReadWholeFile(dir_ / "x?"), "other");
  EXPECT_FALSE(f.IsOpen());
  EXPECT_EQ(RemoveFile(dir_ / "missing.mcn"), FileError::kNotFound);
  EXPECT_EQ(RemoveFile(dir_ / "no-dir/x"), FileError::kInvalidPath);
  EXPECT_FALSE(FileExists(dir_ / "missing.mcn"));
  EXPECT_FALSE(FileExists(dir_.path()));
}

}  // namespace
}  // namespace memo::platform
