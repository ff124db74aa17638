// ReadFileBytes, WriteFileBytes and OpenDiskFile: results, failure results, and sharing with
// other handles in this process and in another one.
#include "runtime/file_commands.h"

#include <cerrno>
#include <string>

#include <gtest/gtest.h>

#include "platform/posix/syscalls.h"
#include "runtime/dispatch.h"
#include "runtime/heap.h"
#include "runtime/literal.h"
#include "runtime/program.h"
#include "runtime/text.h"
#include "tests/platform/posix/test_util.h"

namespace memo {
namespace {

using memo::testing::ReadWholeFile;
using memo::testing::RemoteHolder;
using memo::testing::TempDir;
using memo::testing::WriteWholeFile;
using platform::File;
using platform::FileAccess;
using platform::FileCreate;
using platform::FileError;
using platform::FileShare;

class FileCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(dir_.path().empty()); }
  void TearDown() override { CloseAllOpenFiles(); }

  // The bytes ReadFileBytes returns ("" for the empty byte-set); releases the block.
  std::string Read(const std::string& name) {
    ArgList args{TextValue(name.c_str())};
    TypedValue result = CallCommand(ReadFileBytes, args);
    EXPECT_EQ(result.tag, 0u);  // a fixed-type result carries no tag
    void* block = result.Pointer();
    if (block != nullptr) {
      EXPECT_GT(ByteSetSize(block), 0) << "an empty byte-set must be null";
    }
    std::string bytes(reinterpret_cast<const char*>(ByteSetData(block)),
                      static_cast<size_t>(ByteSetSize(block)));
    Release(block);
    return bytes;
  }

  bool Write(const std::string& name, std::initializer_list<std::string> parts) {
    ArgList args{TextValue(name.c_str())};
    std::vector<void*> blocks;
    for (const std::string& part : parts) {
      blocks.push_back(MakeByteSet(part.data(), static_cast<int32_t>(part.size())));
      args.Add(ByteSetValue(NonNullByteSet(blocks.back())));
    }
    TypedValue result = CallCommand(WriteFileBytes, args);
    for (void* block : blocks) Release(block);
    return result.low != 0;
  }

  int32_t Open(const std::string& name, TypedValue mode = Omitted(),
               TypedValue sharing = Omitted()) {
    ArgList args{TextValue(name.c_str()), mode, sharing};
    return static_cast<int32_t>(CallCommand(OpenDiskFile, args).low);
  }

  TempDir dir_;
};

TEST_F(FileCommandsTest, ReadFileBytesReturnsTheWholeFile) {
  std::string bytes("a\0b\xff", 4);
  WriteWholeFile(dir_ / "f.bin", bytes);
  EXPECT_EQ(Read(dir_ / "f.bin"), bytes);
}

TEST_F(FileCommandsTest, ReadFileBytesOfMissingEmptyOrUnnamedFileIsEmpty) {
  EXPECT_EQ(Read(dir_ / "missing.bin"), "");
  WriteWholeFile(dir_ / "empty.bin", "");
  EXPECT_EQ(Read(dir_ / "empty.bin"), "");
  EXPECT_EQ(Read(""), "");
  EXPECT_EQ(Read(dir_.path()), "");  // a directory
  TypedValue none{};
  EXPECT_EQ(CallCommand(ReadFileBytes, 1, &none).Pointer(), nullptr);
}

// Reads that come in pieces of at most three bytes; the call numbered `fail_at` (1-based, 0 for
// none) fails with EIO instead.
int pread_calls = 0;
int pread_fail_at = 0;
ssize_t PiecewisePread(int fd, void* buffer, size_t count, off_t offset) {
  if (++pread_calls == pread_fail_at) {
    errno = EIO;
    return -1;
  }
  return platform::posix::DefaultSyscalls().pread(fd, buffer, count < 3 ? count : 3, offset);
}

// A file that arrives in pieces is read whole; one whose read fails after some bytes is not
// read at all: its first bytes are not a byte-set of the file.
TEST_F(FileCommandsTest, ReadFileBytesIsWholeOrNothing) {
  const std::string path = dir_ / "f.bin";
  WriteWholeFile(path, "0123456789");
  platform::posix::SyscallTable table = platform::posix::DefaultSyscalls();
  table.pread = PiecewisePread;
  platform::posix::SyscallTable previous = platform::posix::InstallSyscalls(table);
  pread_calls = 0;
  pread_fail_at = 0;
  std::string pieces = Read(path);
  const int calls_for_whole = pread_calls;
  pread_calls = 0;
  pread_fail_at = 3;
  std::string failed_late = Read(path);
  pread_calls = 0;
  pread_fail_at = 1;
  std::string failed_first = Read(path);
  platform::posix::InstallSyscalls(previous);
  EXPECT_EQ(pieces, "0123456789");
  EXPECT_GE(calls_for_whole, 4) << "the file was not read in pieces";
  EXPECT_EQ(failed_late, "") << "six bytes read, then a failure";
  EXPECT_EQ(failed_first, "");
  EXPECT_EQ(Read(path), "0123456789") << "the real calls again";
}

TEST_F(FileCommandsTest, ReadFileBytesFailsWhileAnotherHandleHasWriteAccess) {
  const std::string path = dir_ / "f.bin";
  WriteWholeFile(path, "data");
  {
    File writer;
    ASSERT_EQ(File::Open(path, FileAccess::kWrite, FileShare::kDenyNone, FileCreate::kOpenExisting,
                         &writer),
              FileError::kNone);
    EXPECT_EQ(Read(path), "");
  }
  {
    File reader;  // readers do not stand in the way
    ASSERT_EQ(File::Open(path, FileAccess::kRead, FileShare::kDenyNone, FileCreate::kOpenExisting,
                         &reader),
              FileError::kNone);
    EXPECT_EQ(Read(path), "data");
  }
  int32_t number = Open(path);  // mode 3 holds read and write access until closed
  ASSERT_NE(number, 0);
  EXPECT_EQ(Read(path), "");
  EXPECT_TRUE(CloseDiskFile(number));
  EXPECT_EQ(Read(path), "data");
}

TEST_F(FileCommandsTest, ReadFileBytesFailsWhileAnotherProcessHasWriteAccess) {
  const std::string path = dir_ / "f.bin";
  WriteWholeFile(path, "data");
  RemoteHolder remote;
  ASSERT_TRUE(remote.ok());
  ASSERT_EQ(remote.Open(0, path, FileAccess::kReadWrite, FileShare::kDenyNone), FileError::kNone);
  EXPECT_EQ(Read(path), "");
  ASSERT_EQ(remote.Close(0), FileError::kNone);
  EXPECT_EQ(Read(path), "data");
}

TEST_F(FileCommandsTest, WriteFileBytesOverALongerFileLeavesExactlyTheNewBytes) {
  const std::string path = dir_ / "c.mcn";
  WriteWholeFile(path, std::string(1000, 'o'));
  EXPECT_TRUE(Write(path, {"new bytes"}));
  EXPECT_EQ(ReadWholeFile(path), "new bytes");
}

TEST_F(FileCommandsTest, WriteFileBytesWritesEachDataArgumentInOrder) {
  const std::string path = dir_ / "parts.bin";
  EXPECT_TRUE(Write(path, {"one", "", "two"}));
  EXPECT_EQ(ReadWholeFile(path), "onetwo");
  EXPECT_TRUE(Write(path, {}));  // no data: an empty file
  EXPECT_EQ(ReadWholeFile(path), "");
  EXPECT_TRUE(Write(path, {std::string("\0\1", 2)}));
  EXPECT_EQ(ReadWholeFile(path), std::string("\0\1", 2));
}

TEST_F(FileCommandsTest, WriteFileBytesFailsForAnEmptyNameOrAMissingDirectory) {
  EXPECT_FALSE(Write("", {"x"}));
  EXPECT_FALSE(Write(dir_ / "no-dir/x.bin", {"x"}));
  EXPECT_FALSE(Write(dir_.path(), {"x"}));
}

TEST_F(FileCommandsTest, WriteFileBytesFailsWhileAnyHandleIsOpen) {
  const std::string path = dir_ / "f.bin";
  WriteWholeFile(path, "keep");
  for (FileAccess access : {FileAccess::kRead, FileAccess::kWrite, FileAccess::kReadWrite}) {
    File other;
    ASSERT_EQ(File::Open(path, access, FileShare::kDenyNone, FileCreate::kOpenExisting, &other),
              FileError::kNone);
    EXPECT_FALSE(Write(path, {"lost"}));
    EXPECT_EQ(ReadWholeFile(path), "keep");  // not even truncated
  }
  int32_t number = Open(path, IntValue(1));
  ASSERT_NE(number, 0);
  EXPECT_FALSE(Write(path, {"lost"}));
  CloseDiskFile(number);
  EXPECT_TRUE(Write(path, {"now"}));
  EXPECT_EQ(ReadWholeFile(path), "now");
}

TEST_F(FileCommandsTest, WriteFileBytesFailsWhileAnotherProcessHasTheFileOpen) {
  const std::string path = dir_ / "f.bin";
  WriteWholeFile(path, "keep");
  RemoteHolder remote;
  ASSERT_TRUE(remote.ok());
  ASSERT_EQ(remote.Open(0, path, FileAccess::kRead, FileShare::kDenyNone), FileError::kNone);
  EXPECT_FALSE(Write(path, {"lost"}));
  EXPECT_EQ(ReadWholeFile(path), "keep");
  ASSERT_EQ(remote.Close(0), FileError::kNone);
  EXPECT_TRUE(Write(path, {"now"}));
  EXPECT_EQ(ReadWholeFile(path), "now");
}

TEST_F(FileCommandsTest, FileNamesAreGbkAndFoundIgnoringCase) {
  const std::string gbk_name = dir_.path() + "\\" + Gbk("备忘.mcn");
  EXPECT_TRUE(Write(gbk_name, {"memo"}));
  EXPECT_EQ(ReadWholeFile(dir_ / "备忘.mcn"), "memo");
  EXPECT_EQ(Read(dir_.path() + "\\" + Gbk("备忘.MCN")), "memo");
}

TEST_F(FileCommandsTest, OpenDiskFileOfAMissingFileWithTheDefaultModeGivesZero) {
  EXPECT_EQ(Open(dir_ / "c.mcn"), 0);
  EXPECT_EQ(Open(""), 0);
  EXPECT_EQ(OpenDiskFileCount(), 0);
  EXPECT_FALSE(platform::FileExists(dir_ / "c.mcn"));
}

TEST_F(FileCommandsTest, OpenDiskFileRefusesModeOrSharingOutOfRange) {
  const std::string path = dir_ / "f.bin";
  WriteWholeFile(path, "x");
  for (int32_t mode : {0, 7, -1}) EXPECT_EQ(Open(path, IntValue(mode)), 0) << mode;
  for (int32_t sharing : {0, 5, -3})
    EXPECT_EQ(Open(path, IntValue(3), IntValue(sharing)), 0) << sharing;
  EXPECT_EQ(Open(path, TextValue("3")), 0);  // not a number
  EXPECT_EQ(OpenDiskFileCount(), 0);
  EXPECT_NE(Open(path, ByteValue(6), LongValue(4)), 0);  // numbers of other widths count
}

TEST_F(FileCommandsTest, OpenDiskFileModes) {
  const std::string path = dir_ / "f.bin";
  EXPECT_EQ(Open(path, IntValue(1)), 0);  // read: must exist
  EXPECT_EQ(Open(path, IntValue(2)), 0);  // write: must exist
  int32_t created = Open(path, IntValue(5));
  ASSERT_NE(created, 0);
  ASSERT_EQ(FindDiskFile(created)->WriteAt(0, "abc", 3), FileError::kNone);
  CloseDiskFile(created);

  int32_t kept = Open(path, IntValue(6));
  ASSERT_NE(kept, 0);
  uint64_t length = 0;
  ASSERT_EQ(FindDiskFile(kept)->Length(&length), FileError::kNone);
  EXPECT_EQ(length, 3u);
  CloseDiskFile(kept);

  int32_t reader = Open(path, IntValue(1));
  ASSERT_NE(reader, 0);
  EXPECT_EQ(FindDiskFile(reader)->Access(), FileAccess::kRead);
  EXPECT_EQ(FindDiskFile(reader)->WriteAt(0, "x", 1), FileError::kAccessDenied);
  CloseDiskFile(reader);

  int32_t truncating = Open(path, IntValue(4));
  ASSERT_NE(truncating, 0);
  CloseDiskFile(truncating);
  EXPECT_EQ(ReadWholeFile(path), "");
}

TEST_F(FileCommandsTest, OpenDiskFileSharing) {
  const std::string path = dir_ / "f.bin";
  WriteWholeFile(path, "x");
  int32_t deny_read = Open(path, IntValue(2), IntValue(2));
  ASSERT_NE(deny_read, 0);
  EXPECT_EQ(Open(path, IntValue(1)), 0);
  EXPECT_NE(Open(path, IntValue(2)), 0);
  CloseAllOpenFiles();

  int32_t exclusive = Open(path, IntValue(1), IntValue(4));
  ASSERT_NE(exclusive, 0);
  EXPECT_EQ(Open(path, IntValue(1)), 0);
  CloseDiskFile(exclusive);
  EXPECT_NE(Open(path, IntValue(1)), 0);
}

TEST_F(FileCommandsTest, FileNumbersAreDistinctAndNeverZero) {
  const std::string path = dir_ / "f.bin";
  WriteWholeFile(path, "x");
  int32_t a = Open(path), b = Open(path), c = Open(path);
  EXPECT_NE(a, 0);
  EXPECT_NE(b, 0);
  EXPECT_NE(c, 0);
  EXPECT_NE(a, b);
  EXPECT_NE(b, c);
  EXPECT_NE(a, c);
  EXPECT_EQ(OpenDiskFileCount(), 3);
  EXPECT_TRUE(CloseDiskFile(b));
  EXPECT_FALSE(CloseDiskFile(b));
  EXPECT_FALSE(CloseDiskFile(0));
  EXPECT_EQ(FindDiskFile(b), nullptr);
  EXPECT_NE(FindDiskFile(a), nullptr);
  int32_t d = Open(path);
  EXPECT_NE(d, a);
  EXPECT_NE(d, c);
}

TEST_F(FileCommandsTest, TheEndSequenceClosesTheOpenFiles) {
  const std::string path = dir_ / "f.bin";
  WriteWholeFile(path, "x");
  ASSERT_NE(Open(path, IntValue(3), IntValue(4)), 0);
  EXPECT_FALSE(Write(path, {"y"}));
  RunEndSequence();
  EXPECT_EQ(OpenDiskFileCount(), 0);
  EXPECT_TRUE(Write(path, {"y"}));
}

}  // namespace
}  // namespace memo
