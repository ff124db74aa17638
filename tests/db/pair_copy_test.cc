// The consistent copy of a pair (the daily backup's and `mcn backup`'s): what lands in the target,
// under which names and modes, what a failure leaves, and copies taken while a writer in another
// process rewrites the record and its memo chain (fork()).
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <new>
#include <set>
#include <string>

#include "db/check.h"
#include "db/engine_code.h"
#include "db/pair_copy.h"
#include "tests/support/test_util.h"

namespace memo::db {
namespace {

using testing::TempDir;

// Version v of the memo text: its length and letter both follow v, so that a chain of one
// version with the bytes of another, or cut short, is seen.
std::string Version(int v) {
  return std::string(3000 + static_cast<size_t>(v % 5) * 1100, static_cast<char>('a' + v % 26));
}

void MakePair(const std::string& path, int version) {
  testing::MustCreate(path, {{"version", kFieldInt, 0}, {"note", kFieldMemo, 0}});
  auto handle = testing::MustOpen(path);
  const std::string text = Version(version);
  TypedValue values[] = {testing::IntCell(version), testing::TextCell(text)};
  ASSERT_EQ(handle->AddRecord(values, 2), kOk);
}

mode_t ModeOf(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 ? (st.st_mode & 0777) : 0;
}

TEST(PairCopyTest, CopiesBothFilesByteForByteWithTheirModesAndNoPassingNames) {
  TempDir dir;
  const std::string source = dir.File("a.mcn");
  MakePair(source, 3);
  ASSERT_EQ(chmod(source.c_str(), 0640), 0);
  // The engine names the memo file; the copy takes the same name.
  const std::string memo = MemoPathFor(source);
  const std::string memo_name = memo.substr(memo.rfind('/') + 1);
  ASSERT_EQ(chmod(memo.c_str(), 0600), 0);
  ASSERT_EQ(mkdir(dir.File("copy").c_str(), 0700), 0);

  PairCopy copy = CopyDatabasePair(source, dir.File("copy"), 0);
  ASSERT_EQ(copy.code, kOk) << copy.failed_path;
  ASSERT_EQ(copy.copied.size(), 2u);
  EXPECT_EQ(testing::ReadAll(dir.File("copy/a.mcn")), testing::ReadAll(source));
  EXPECT_EQ(testing::ReadAll(dir.File("copy/" + memo_name)), testing::ReadAll(memo));
  EXPECT_EQ(ModeOf(dir.File("copy/a.mcn")), 0640u);
  EXPECT_EQ(ModeOf(dir.File("copy/" + memo_name)), 0600u);
  EXPECT_FALSE(testing::Exists(dir.File("copy/a.mcn.partial")));
  EXPECT_FALSE(testing::Exists(dir.File("copy/" + memo_name + ".partial")));
  // The copy opens and reads back as the source.
  auto handle = testing::MustOpen(dir.File("copy/a.mcn"));
  EXPECT_EQ(testing::FieldText(handle.get(), "note"), Version(3));
}

TEST(PairCopyTest, ARecordFileWithoutMemoFileIsCopiedAlone) {
  TempDir dir;
  testing::MustCreate(dir.File("c.mcn"), {{"name", kFieldText, 20}});
  ASSERT_EQ(mkdir(dir.File("copy").c_str(), 0700), 0);
  PairCopy copy = CopyDatabasePair(dir.File("c.mcn"), dir.File("copy"), 0);
  ASSERT_EQ(copy.code, kOk);
  ASSERT_EQ(copy.copied.size(), 1u);
  EXPECT_EQ(testing::ReadAll(dir.File("copy/c.mcn")), testing::ReadAll(dir.File("c.mcn")));
}

TEST(PairCopyTest, AnOlderCopyIsReplacedWhole) {
  TempDir dir;
  MakePair(dir.File("a.mcn"), 1);
  ASSERT_EQ(mkdir(dir.File("copy").c_str(), 0700), 0);
  ASSERT_EQ(CopyDatabasePair(dir.File("a.mcn"), dir.File("copy"), 0).code, kOk);
  {
    auto handle = testing::MustOpen(dir.File("a.mcn"));
    const std::string text = Version(2);
    TypedValue values[] = {testing::IntCell(2), testing::TextCell(text)};
    ASSERT_EQ(handle->AddRecord(values, 2), kOk);
  }
  ASSERT_EQ(CopyDatabasePair(dir.File("a.mcn"), dir.File("copy"), 0).code, kOk);
  EXPECT_EQ(testing::ReadAll(dir.File("copy/a.mcn")), testing::ReadAll(dir.File("a.mcn")));
  const std::string memo = MemoPathFor(dir.File("a.mcn"));
  EXPECT_EQ(testing::ReadAll(dir.File("copy") + memo.substr(memo.rfind('/'))),
            testing::ReadAll(memo));
}

TEST(PairCopyTest, FailuresNameTheFileAndLeaveNothingBehind) {
  TempDir dir;
  MakePair(dir.File("a.mcn"), 1);
  // No such source.
  ASSERT_EQ(mkdir(dir.File("copy").c_str(), 0700), 0);
  PairCopy missing = CopyDatabasePair(dir.File("none.mcn"), dir.File("copy"), 0);
  EXPECT_EQ(missing.code, kFileNotFound);
  EXPECT_EQ(missing.failed_path, dir.File("none.mcn"));
  // No such target directory.
  PairCopy nowhere = CopyDatabasePair(dir.File("a.mcn"), dir.File("gone"), 0);
  EXPECT_NE(nowhere.code, kOk);
  EXPECT_EQ(nowhere.failed_path, dir.File("gone/a.mcn.partial"));
  EXPECT_TRUE(nowhere.copied.empty());
  // A writer holding the record file's whole-file lock elsewhere: the copy gives up after its
  // wait with a lock failure, and no passing file is left.
  auto holder = testing::MustOpen(dir.File("a.mcn"));
  WholeFileLock whole;
  ASSERT_EQ(whole.Acquire(holder->locks(), 0), kOk);
  PairCopy locked = CopyDatabasePair(dir.File("a.mcn"), dir.File("copy"), 50);
  EXPECT_EQ(locked.code, kLockFailed);
  EXPECT_FALSE(testing::Exists(dir.File("copy/a.mcn")));
  EXPECT_FALSE(testing::Exists(dir.File("copy/a.mcn.partial")));
  ASSERT_EQ(whole.Release(), kOk);
  EXPECT_EQ(CopyDatabasePair(dir.File("a.mcn"), dir.File("copy"), 0).code, kOk);
}

struct Shared {
  std::atomic<int> stop{0};
  std::atomic<int> rewrites{0};
};

// Copies taken while another process rewrites the record's number and its memo text together
// (one ModifyRecord each time) and now and then appends a record: every copy is one committed
// state — a number and a text of the same version, a walk with no damage and no leaked block.
TEST(PairCopyTest, CopiesTakenWhileAnotherProcessWritesAreNeverTorn) {
  TempDir dir;
  const std::string source = dir.File("a.mcn");
  MakePair(source, 0);
  void* at =
      mmap(nullptr, sizeof(Shared), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(at, MAP_FAILED);
  Shared* shared = new (at) Shared();

  constexpr int kMaxRewrites = 5000;
  pid_t writer = fork();
  if (writer == 0) {
    OpenOptions options;
    options.lock_wait_ms = kWaitForever;
    std::unique_ptr<DatabaseHandle> handle;
    if (DatabaseHandle::Open(source, options, &handle) != kOk) _exit(10);
    // Rewrites go on until the copies are done (a fast writer that stopped early would leave the
    // later copies nothing new to see); the added records stop at kMaxRewrites to bound the file.
    for (int v = 1; !shared->stop; ++v) {
      handle->set_current_record(0);
      const std::string text = Version(v);
      TypedValue values[] = {testing::IntCell(v), testing::TextCell(text)};
      if (handle->ModifyRecord(values, 2) != kOk) _exit(11);
      if (v % 7 == 0 && v < kMaxRewrites) {
        TypedValue added[] = {testing::IntCell(-v), testing::TextCell(text)};
        if (handle->AddRecord(added, 2) != kOk) _exit(12);
      }
      ++shared->rewrites;
    }
    _exit(0);
  }
  ASSERT_GT(writer, 0);

  constexpr int kCopies = 25;
  std::set<int> versions_seen;
  int torn = 0;
  int rewrites_before = 0;
  for (int i = 0; i < kCopies; ++i) {
    // Each copy after the writer has changed the pair again (however slow the machine is), so that
    // the copies see many versions, not one the writer had no time to change.
    for (int waited = 0; shared->rewrites.load() <= rewrites_before && waited < 10000; ++waited) {
      usleep(1000);
    }
    rewrites_before = shared->rewrites.load();
    const std::string target = dir.File("copy" + std::to_string(i));
    ASSERT_EQ(mkdir(target.c_str(), 0700), 0);
    PairCopy copy = CopyDatabasePair(source, target, 10000);
    ASSERT_EQ(copy.code, kOk) << copy.failed_path;

    CheckReport report;
    {
      DatabaseFiles files;
      ASSERT_EQ(files.Open(target + "/a.mcn", platform::FileAccess::kRead, 0), kOk);
      files.Analyze(std::string(), &report);
    }
    EXPECT_EQ(report.code, kOk);
    EXPECT_FALSE(report.HasDamage()) << "copy " << i;
    EXPECT_EQ(report.leaked_blocks(), 0u) << "copy " << i;

    OpenOptions alone;
    alone.share = ShareFromArgument(4);
    std::unique_ptr<DatabaseHandle> handle;
    ASSERT_EQ(DatabaseHandle::Open(target + "/a.mcn", alone, &handle), kOk);
    handle->set_current_record(0);
    TypedValue number;
    ASSERT_EQ(handle->ReadField(0, &number), kOk);
    const int version = static_cast<int32_t>(number.low);
    std::string text;
    ASSERT_EQ(handle->ReadFieldBytes(1, &text), kOk);
    if (text != Version(version)) ++torn;
    versions_seen.insert(version);
  }
  shared->stop = 1;
  int status = 0;
  ASSERT_EQ(waitpid(writer, &status, 0), writer);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(torn, 0);
  // The writer really ran between the copies.
  EXPECT_GT(shared->rewrites.load(), kCopies);
  EXPECT_GT(versions_seen.size(), 2u);
  shared->~Shared();
  munmap(at, sizeof(Shared));
}

}  // namespace
}  // namespace memo::db
