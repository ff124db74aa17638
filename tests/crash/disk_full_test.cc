// A full disk: the file-size limit (RLIMIT_FSIZE, with SIGXFSZ ignored) set at every block
// boundary of a growing MemoFile, and between boundaries. The write that hits it fails with -14
// and leaves every record exactly as it was; the pair opens with both accesses and the walk finds
// nothing but leaked blocks.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "db/file_names.h"
#include "tests/crash/crash_db.h"
#include "tests/crash/scenarios.h"
#include "tests/support/test_util.h"

namespace memo::crash {
namespace {

using db::testing::TempDir;

// Writes that grow the MemoFile by different steps: new chains, chains grown in place and into
// free blocks, the second memo field, a record without memos.
std::vector<Op> Growth() {
  std::vector<Op> ops;
  const size_t sizes[] = {9000, 501, 30000, 1, 1500, 24999, 700, 4000};
  int seed = 100;
  for (size_t size : sizes) {
    Op add;
    add.kind = Op::kAdd;
    add.values = {0, "g", seed, Text(size, seed), Text(size / 3, seed + 1)};
    ops.push_back(add);
    Op grow;
    grow.kind = Op::kModify;
    grow.position = static_cast<int32_t>(seed % 7);
    grow.given = 4;
    grow.values = {0, "", 0, Text(size + 2100, seed + 2), ""};
    ops.push_back(grow);
    Op field;
    field.kind = Op::kWriteField;
    field.position = 2;
    field.field = 3;
    field.values = {0, "", 0, "", Text(size / 2 + 600, seed + 3)};
    ops.push_back(field);
    seed += 10;
  }
  Op blank;
  blank.kind = Op::kAppendBlank;
  ops.push_back(blank);
  return ops;
}

struct Outcome {
  int done;
  int code;
};

TEST(DiskFullTest, SizeLimitAtEveryBlockBoundaryOfAGrowingFile) {
  TempDir dir;
  const std::string path = dir.File("t.edb"), scratch = dir.File("s.edb");
  BuildBase(Base::kSmall, path);
  const Snapshot base = Snapshot::Take(path);
  const std::vector<Op> ops = Growth();
  std::vector<Rows> states;
  ASSERT_EQ(StatesAfterEach(base, path, scratch, ops, &states), "");
  const uint64_t first_blocks = base.memo.size() / 512;
  const uint64_t last_blocks = db::testing::SizeOf(db::MemoFileName(scratch)) / 512;
  ASSERT_GT(last_blocks, first_blocks + 100);

  auto* outcome = static_cast<Outcome*>(
      mmap(nullptr, sizeof(Outcome), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
  ASSERT_NE(outcome, MAP_FAILED);
  int failures = 0;
  for (uint64_t blocks = first_blocks; blocks <= last_blocks; ++blocks) {
    // Every block boundary, and now and then a limit inside a block.
    for (uint64_t extra : {uint64_t{0}, uint64_t{300}}) {
      if (extra != 0 && blocks % 7 != 0) continue;
      const uint64_t limit = blocks * 512 + extra;
      base.Restore(path);
      *outcome = {0, 0};
      const pid_t pid = fork();
      if (pid == 0) {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit size_limit{limit, limit};
        if (setrlimit(RLIMIT_FSIZE, &size_limit) != 0) _exit(2);
        std::unique_ptr<db::DatabaseHandle> handle;
        if (db::DatabaseHandle::Open(path, {}, &handle) != db::kOk) _exit(3);
        for (const Op& op : ops) {
          const db::EngineCode rc = Apply(handle.get(), op);
          if (rc != db::kOk) {
            outcome->code = rc;
            _exit(0);
          }
          ++outcome->done;
        }
        _exit(0);
      }
      int status = 0;
      ASSERT_EQ(waitpid(pid, &status, 0), pid);
      ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
      const size_t done = static_cast<size_t>(outcome->done);
      if (done == ops.size()) {
        ASSERT_EQ(CheckFiles(path, ops.back(), states.back(), states.back(), true), "");
        continue;
      }
      ++failures;
      EXPECT_EQ(outcome->code, db::kDiskFull) << "limit " << limit;
      ASSERT_EQ(CheckFiles(path, ops[done], states[done], states[done + 1], true), "")
          << "limit " << limit << ", stopped in operation " << done << " ("
          << KindName(ops[done].kind) << ")";
    }
  }
  EXPECT_GT(failures, 100);
  munmap(outcome, sizeof(Outcome));
}

}  // namespace
}  // namespace memo::crash
