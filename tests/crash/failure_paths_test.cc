// Every system call of an engine operation failing in turn: each read, write, lock, unlock,
// truncate and length call of the operation, one at a time. The operation returns a failure code
// (or, when only the clean-up after its commit failed, succeeds with its work done), no lock is
// left held (another handle takes the whole-file locks of both files at once), and the files
// open and read back every earlier value: an add, modify or field write that failed changed
// nothing; a pack or clear that failed left one of its in-between states.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

#include "db/file_names.h"
#include "db/memo_file.h"
#include "tests/crash/crash_db.h"
#include "tests/crash/scenarios.h"
#include "tests/crash/syscall_faults.h"
#include "tests/support/test_util.h"

namespace memo::crash {
namespace {

using db::testing::TempDir;

struct Fault {
  Call kind;
  int err;
};
constexpr Fault kFaults[] = {{Call::kRead, EIO},    {Call::kWrite, ENOSPC},  {Call::kWrite, EIO},
                             {Call::kLock, ENOLCK}, {Call::kUnlock, ENOLCK}, {Call::kTruncate, EIO},
                             {Call::kLength, EIO}};

// "" when another handle can take every lock of the pair at once.
std::string LocksLeft(const std::string& path) {
  std::unique_ptr<db::DatabaseHandle> other;
  if (db::DatabaseHandle::Open(path, {}, &other) != db::kOk) return "cannot open a second handle";
  if (other->locks()->LockWhole(db::kNoLockWait) != db::kOk) return "a RecordFile lock is held";
  if (other->locks()->UnlockWhole() != db::kOk) return "unlock";
  if (db::MemoFile* memo = other->memo_file()) {
    if (memo->locks()->LockWhole(db::kNoLockWait) != db::kOk) return "a MemoFile lock is held";
    if (memo->locks()->UnlockWhole() != db::kOk) return "unlock";
  }
  return "";
}

bool AllOrNothing(Op::Kind kind) {
  return kind == Op::kAdd || kind == Op::kModify || kind == Op::kWriteField ||
         kind == Op::kAppendBlank;
}

// Runs `attempt` once per call of each kind that a clean run of it makes, with that call failing.
// `attempt` gets the fault in force and returns its engine code.
void ForEachCall(const std::function<void()>& restore,
                 const std::function<db::EngineCode(SyscallFaults*)>& attempt,
                 const std::function<void(const Fault&, int64_t, db::EngineCode)>& check) {
  int64_t counts[kCallKinds] = {};
  restore();
  {
    SyscallFaults counting;
    db::IgnoreCode(attempt(&counting));
    for (int k = 0; k < kCallKinds; ++k) counts[k] = counting.count(static_cast<Call>(k));
  }
  for (const Fault& fault : kFaults) {
    for (int64_t n = 1; n <= counts[static_cast<int>(fault.kind)]; ++n) {
      SCOPED_TRACE(std::string(CallName(fault.kind)) + " call " + std::to_string(n) + " of " +
                   std::to_string(counts[static_cast<int>(fault.kind)]) + " fails with " +
                   std::to_string(fault.err));
      restore();
      db::EngineCode rc = db::kOk;
      bool fired = false;
      {
        SyscallFaults faults;
        faults.FailAt(fault.kind, n, fault.err);
        rc = attempt(&faults);
        fired = faults.fired();
      }
      ASSERT_TRUE(fired) << "the same calls as the clean run";
      check(fault, n, rc);
      if (::testing::Test::HasFatalFailure()) return;
    }
  }
}

class EachCallFailingTest : public ::testing::TestWithParam<Scenario> {};

TEST_P(EachCallFailingTest, FailsWholeReleasesLocksAndKeepsTheFilesSound) {
  const Scenario& scenario = GetParam();
  TempDir dir;
  PreparedScenario prepared;
  ASSERT_EQ(Prepare(scenario, dir.File("t.edb"), dir.File("s.edb"), &prepared), "");
  const std::string& path = prepared.path;
  const Snapshot& base = prepared.base;
  const Rows &before = prepared.before, &after = prepared.after;
  std::unique_ptr<db::DatabaseHandle> handle;
  int failed = 0;
  ForEachCall(
      [&] {
        handle.reset();
        base.Restore(path);
        handle = db::testing::MustOpen(path);
      },
      [&](SyscallFaults*) { return Apply(handle.get(), scenario.op); },
      [&](const Fault& fault, int64_t, db::EngineCode rc) {
        EXPECT_EQ(LocksLeft(path), "");
        handle.reset();
        if (fault.kind == Call::kUnlock) {
          // Reported, and the lock dropped all the same: the work is done.
          EXPECT_EQ(rc, db::kUnlockFailed);
          EXPECT_EQ(CheckFiles(path, scenario.op, after, after, true), "");
        } else if (rc == db::kOk) {
          EXPECT_EQ(CheckFiles(path, scenario.op, after, after, true), "") << "success is whole";
        } else {
          ++failed;
          EXPECT_EQ(CheckFiles(path, scenario.op, before, after, AllOrNothing(scenario.op.kind)),
                    "")
              << "failed with " << rc;
        }
      });
  EXPECT_GT(failed, 0);
}

INSTANTIATE_TEST_SUITE_P(EveryWrite, EachCallFailingTest,
                         ::testing::ValuesIn(WriteScenarios(false)),
                         [](const auto& info) { return ScenarioTestName(info.param); });

TEST(OpenFailingTest, EachCallOfAnOpenThatRepairs) {
  TempDir dir;
  const std::string path = dir.File("t.edb");
  BuildBase(Base::kSmall, path);
  // A partial record after the last one: the default access cuts it off.
  db::testing::WriteAll(path, db::testing::ReadAll(path) + "partial");
  const Snapshot base = Snapshot::Take(path);
  Rows before;
  ASSERT_EQ(ReadRows(path, db::OpenAccess::kReadOnly, &before), "");
  int failed = 0;
  ForEachCall([&] { base.Restore(path); },
              [&](SyscallFaults*) {
                std::unique_ptr<db::DatabaseHandle> handle;
                return db::DatabaseHandle::Open(path, {}, &handle);
              },
              [&](const Fault&, int64_t, db::EngineCode rc) {
                if (rc != db::kOk) ++failed;
                EXPECT_EQ(LocksLeft(path), "");
                EXPECT_EQ(CheckFiles(path, Op{}, before, before, true), "");
              });
  EXPECT_GT(failed, 5);
}

TEST(SortFailingTest, TargetIsTheOldOneOrTheNewOneAndNothingIsLeftBehind) {
  TempDir dir;
  const std::string source = dir.File("t.edb"), target = dir.File("sorted.edb");
  BuildBase(Base::kSmall, source);
  db::SortRequest request;
  request.target = target;
  request.key_names = {"k"};
  request.ascending = {false};
  {
    // The old target: a different selection of the records.
    auto handle = db::testing::MustOpen(source);
    db::SortRequest first = request;
    first.ascending = {true};
    first.copy_fields = {"m", "k"};
    ASSERT_EQ(handle->SortInto(first), db::kOk);
  }
  const Snapshot source_files = Snapshot::Take(source);
  const std::string old_target = db::testing::ReadAll(target);
  const std::string old_target_memo = db::testing::ReadAll(db::MemoFileName(target));
  std::string new_target, new_target_memo;
  {
    auto handle = db::testing::MustOpen(source);
    ASSERT_EQ(handle->SortInto(request), db::kOk);
    new_target = db::testing::ReadAll(target);
    new_target_memo = db::testing::ReadAll(db::MemoFileName(target));
  }
  Rows before;
  ASSERT_EQ(ReadRows(source, db::OpenAccess::kReadOnly, &before), "");
  auto restore = [&] {
    source_files.Restore(source);
    db::testing::WriteAll(target, old_target);
    db::testing::WriteAll(db::MemoFileName(target), old_target_memo);
  };
  int failed = 0;
  ForEachCall(
      restore,
      [&](SyscallFaults*) {
        std::unique_ptr<db::DatabaseHandle> handle;
        db::EngineCode rc = db::DatabaseHandle::Open(source, {}, &handle);
        return rc == db::kOk ? handle->SortInto(request) : rc;
      },
      [&](const Fault&, int64_t, db::EngineCode rc) {
        EXPECT_EQ(LocksLeft(source), "");
        const std::string now = db::testing::ReadAll(target);
        const std::string now_memo = db::testing::ReadAll(db::MemoFileName(target));
        // Creation times differ from run to run: compare from the record count on.
        auto same = [](const std::string& a, const std::string& b) {
          return a.size() == b.size() &&
                 a.compare(16, std::string::npos, b, 16, std::string::npos) == 0;
        };
        const bool is_new = same(now, new_target) && same(now_memo, new_target_memo);
        const bool is_old = now == old_target && now_memo == old_target_memo;
        if (rc == db::kOk) {
          EXPECT_TRUE(is_new);
        } else if (rc == db::kUnlockFailed) {
          // Reported after the open's checks (no sort) or after the sort itself.
          EXPECT_TRUE(is_new || is_old);
        } else {
          ++failed;
          EXPECT_TRUE(is_old) << rc;
        }
        for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
          EXPECT_EQ(entry.path().string().find("~sort"), std::string::npos) << entry.path();
        }
        EXPECT_EQ(CheckFiles(source, Op{}, before, before, true), "");
      });
  EXPECT_GT(failed, 5);
}

TEST(ChainFailingTest, ChainWriteAndReleaseOnTheirOwn) {
  TempDir dir;
  const std::string path = dir.File("t.edb");
  BuildBase(Base::kSmall, path);
  const Snapshot base = Snapshot::Take(path);
  Rows before;
  ASSERT_EQ(ReadRows(path, db::OpenAccess::kReadOnly, &before), "");
  const std::string value = Text(7000, 3);
  std::unique_ptr<db::DatabaseHandle> handle;
  // A new chain that no record names: a failed write leaves its blocks leaked at worst.
  uint32_t first = 0;
  ForEachCall(
      [&] {
        handle.reset();
        base.Restore(path);
        handle = db::testing::MustOpen(path);
      },
      [&](SyscallFaults*) { return handle->memo_file()->WriteChain(0, value, &first); },
      [&](const Fault&, int64_t, db::EngineCode rc) {
        if (rc == db::kOk) {
          std::string read;
          EXPECT_EQ(handle->memo_file()->ReadChain(first, &read), db::kOk);
          EXPECT_EQ(read, value);
        }
        EXPECT_EQ(LocksLeft(path), "");
        handle.reset();
        EXPECT_EQ(CheckFiles(path, Op{}, before, before, true), "");
      });
  // Releasing it again.
  base.Restore(path);
  {
    handle = db::testing::MustOpen(path);
    ASSERT_EQ(handle->memo_file()->WriteChain(0, value, &first), db::kOk);
    handle.reset();
  }
  const Snapshot with_chain = Snapshot::Take(path);
  ForEachCall(
      [&] {
        handle.reset();
        with_chain.Restore(path);
        handle = db::testing::MustOpen(path);
      },
      [&](SyscallFaults*) { return handle->memo_file()->ReleaseChain(first); },
      [&](const Fault&, int64_t, db::EngineCode) {
        EXPECT_EQ(LocksLeft(path), "");
        handle.reset();
        EXPECT_EQ(CheckFiles(path, Op{}, before, before, true), "");
      });
}

TEST(UnlockFailingTest, AnUnlockThatKeepsFailingIsReportedAndCloseDropsTheLock) {
  TempDir dir;
  const std::string path = dir.File("t.edb");
  BuildBase(Base::kSmall, path);
  auto handle = db::testing::MustOpen(path);
  Op op;
  op.kind = Op::kModify;
  op.position = 1;
  op.given = 4;
  op.values.m = Text(4000, 9);
  {
    SyscallFaults faults;
    faults.FailAt(Call::kUnlock, 1, ENOLCK, /*sticky=*/true);
    EXPECT_EQ(Apply(handle.get(), op), db::kUnlockFailed);
  }
  EXPECT_NE(LocksLeft(path), "") << "the system still holds what it refused to unlock";
  handle.reset();
  EXPECT_EQ(LocksLeft(path), "");
  Rows rows;
  ASSERT_EQ(ReadRows(path, db::OpenAccess::kReadOnly, &rows), "");
  EXPECT_EQ(rows[1].m, op.values.m);
}

}  // namespace
}  // namespace memo::crash
