// Writers killed part-way with SIGKILL: just before each file-changing call of every kind of
// write in turn, and at random moments of a long run of writes. After every kill the pair opens
// read-only and with the default access, reads back every record committed before the writer
// started (the one being written may be old, new, or for a chain rewritten in place a mix of the
// two), and the integrity walk finds nothing but leaked blocks.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <random>

#include "db/file_names.h"
#include "tests/crash/crash_db.h"
#include "tests/crash/scenarios.h"
#include "tests/crash/syscall_faults.h"
#include "tests/support/test_util.h"

namespace memo::crash {
namespace {

using db::testing::TempDir;

// Runs `body` in a child process: its exit code, or minus the signal that ended it.
int InChild(const std::function<int()>& body) {
  const pid_t pid = fork();
  if (pid == 0) _exit(body());
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) return -1000;
  return WIFSIGNALED(status) ? -WTERMSIG(status) : WEXITSTATUS(status);
}

std::unique_ptr<db::DatabaseHandle> OpenQuietly(const std::string& path) {
  std::unique_ptr<db::DatabaseHandle> handle;
  if (db::DatabaseHandle::Open(path, {}, &handle) != db::kOk) handle.reset();
  return handle;
}

// How many file-changing calls `op` makes on a copy of `base` at `path`.
int64_t ChangesOf(const Snapshot& base, const std::string& path, const Op& op) {
  base.Restore(path);
  auto handle = OpenQuietly(path);
  if (!handle) return -1;
  SyscallFaults faults;
  db::IgnoreCode(Apply(handle.get(), op));
  return faults.changes();
}

class KillBeforeEachChangeTest : public ::testing::TestWithParam<Scenario> {};

TEST_P(KillBeforeEachChangeTest, LeavesFilesThatOpenAndReadBack) {
  const Scenario& scenario = GetParam();
  TempDir dir;
  PreparedScenario prepared;
  ASSERT_EQ(Prepare(scenario, dir.File("t.edb"), dir.File("s.edb"), &prepared), "");
  const std::string &path = prepared.path, &scratch = prepared.scratch;
  const Snapshot& base = prepared.base;
  const Rows &before = prepared.before, &after = prepared.after;
  ASSERT_NE(before, after) << "the operation changes something";
  const int64_t changes = ChangesOf(base, scratch, scenario.op);
  ASSERT_GT(changes, 0);
  RecordProperty("kills", static_cast<int>(changes));
  for (int64_t n = 1; n <= changes; ++n) {
    base.Restore(path);
    const int ended = InChild([&] {
      auto handle = OpenQuietly(path);
      if (!handle) return 2;
      SyscallFaults faults;
      faults.KillBeforeChange(n);
      db::IgnoreCode(Apply(handle.get(), scenario.op));
      return 3;
    });
    ASSERT_EQ(ended, -SIGKILL) << "change " << n;
    ASSERT_EQ(CheckFiles(path, scenario.op, before, after, false), "")
        << "killed before change " << n << " of " << changes;
  }
}

INSTANTIATE_TEST_SUITE_P(EveryWrite, KillBeforeEachChangeTest,
                         ::testing::ValuesIn(WriteScenarios(true)),
                         [](const auto& info) { return ScenarioTestName(info.param); });

TEST(KillSortTest, TargetIsOldNewOrAbsentAfterEveryKill) {
  TempDir dir;
  const std::string source = dir.File("t.edb"), target = dir.File("sorted.edb");
  const std::string target_memo = db::MemoFileName(target);
  BuildBase(Base::kSmall, source);
  db::SortRequest request;
  request.target = target;
  request.key_names = {"k"};
  request.ascending = {false};
  auto sort = [&](const db::SortRequest& r) {
    auto handle = OpenQuietly(source);
    return handle ? handle->SortInto(r) : db::kOpenFailed;
  };
  db::SortRequest old_request = request;
  old_request.copy_fields = {"f", "k"};
  ASSERT_EQ(sort(old_request), db::kOk);
  const std::string old_record = db::testing::ReadAll(target);
  const std::string old_memo = db::testing::ReadAll(target_memo);
  ASSERT_EQ(sort(request), db::kOk);
  const std::string new_record = db::testing::ReadAll(target);
  const std::string new_memo = db::testing::ReadAll(target_memo);
  Rows before;
  ASSERT_EQ(ReadRows(source, db::OpenAccess::kReadOnly, &before), "");
  auto restore = [&] {
    db::testing::WriteAll(target, old_record);
    db::testing::WriteAll(target_memo, old_memo);
  };
  // From the record count on: the creation times differ from run to run.
  auto same = [](const std::string& a, const std::string& b) {
    return a.size() == b.size() && a.compare(16, std::string::npos, b, 16, std::string::npos) == 0;
  };
  restore();
  int64_t changes = 0;
  {
    // The calls the child's fault sees: after the open, before the close.
    auto handle = OpenQuietly(source);
    ASSERT_TRUE(handle);
    SyscallFaults counting;
    ASSERT_EQ(handle->SortInto(request), db::kOk);
    changes = counting.changes();
  }
  ASSERT_GT(changes, 3);
  for (int64_t n = 1; n <= changes; ++n) {
    restore();
    const int ended = InChild([&] {
      auto handle = OpenQuietly(source);
      if (!handle) return 2;
      SyscallFaults faults;
      faults.KillBeforeChange(n);
      db::IgnoreCode(handle->SortInto(request));
      return 3;
    });
    ASSERT_EQ(ended, -SIGKILL) << "change " << n;
    ASSERT_EQ(CheckFiles(source, Op{}, before, before, true), "") << "the source never changes";
    const std::string record = db::testing::ReadAll(target);
    const std::string memo = db::testing::ReadAll(target_memo);
    if (!db::testing::Exists(target)) {
      // Visibly absent: no RecordFile; its MemoFile old, new or gone as well.
      EXPECT_TRUE(!db::testing::Exists(target_memo) || memo == old_memo || same(memo, new_memo))
          << "change " << n;
    } else if (record == old_record) {
      EXPECT_EQ(memo, old_memo) << "the old target keeps its own MemoFile; change " << n;
    } else {
      EXPECT_TRUE(same(record, new_record) && same(memo, new_memo)) << "change " << n;
      EXPECT_EQ(NonLeakProblems(target), std::vector<std::string>{});
    }
  }
}

// A mixed run of writes on the small table, the same every time.
std::vector<Op> Workload() {
  std::mt19937 random(7);
  std::vector<Op> ops;
  int32_t records = 7;
  for (int i = 0; i < 36; ++i) {
    Op op;
    const int pick = static_cast<int>(random() % 10);
    const size_t size = random() % 3 == 0 ? random() % 40000 : random() % 2000;
    const std::string text = Text(size, i);
    if (pick < 3 || records < 3) {
      op.kind = Op::kAdd;
      op.values = {0, "w" + std::to_string(i), i, text, Text(random() % 900, i + 50)};
      ++records;
    } else if (pick < 7) {
      op.kind = Op::kModify;
      op.position = static_cast<int32_t>(random() % records);
      op.given = 1u | (random() % 2 ? 4u : 0u) | (random() % 2 ? 8u : 0u);
      op.values = {0, "m" + std::to_string(i), i, text, Text(random() % 3000, i + 70)};
    } else if (pick < 9) {
      op.kind = Op::kWriteField;
      op.position = static_cast<int32_t>(random() % records);
      op.field = 2 + static_cast<int>(random() % 2);
      op.values = {0, "", 0, text, text};
    } else {
      op.kind = Op::kPackRange;
      op.position = static_cast<int32_t>(random() % records);
      op.count = 1;
      --records;
    }
    ops.push_back(op);
  }
  return ops;
}

TEST(KillAtRandomTest, LongRunOfWritesKilledAnywhere) {
  TempDir dir;
  const std::string path = dir.File("t.edb"), scratch = dir.File("s.edb");
  BuildBase(Base::kSmall, path);
  const Snapshot base = Snapshot::Take(path);
  const std::vector<Op> ops = Workload();

  // The rows after each operation, and how long the whole run takes in a child.
  std::vector<Rows> states;
  ASSERT_EQ(StatesAfterEach(base, path, scratch, ops, &states), "");

  // Shared with the child: how many operations it has completed. The child arms a timer that
  // sends it SIGKILL `kill_after` microseconds after its run begins (0: no timer).
  struct Progress {
    int done;
    int64_t run_length;
  };
  auto* progress = static_cast<Progress*>(
      mmap(nullptr, sizeof(Progress), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
  ASSERT_NE(progress, MAP_FAILED);
  auto run = [&](int64_t kill_after) {
    auto handle = OpenQuietly(path);
    if (!handle) return 2;
    if (kill_after > 0) {
      sigevent event{};
      event.sigev_notify = SIGEV_SIGNAL;
      event.sigev_signo = SIGKILL;
      timer_t timer;
      if (timer_create(CLOCK_MONOTONIC, &event, &timer) != 0) return 5;
      itimerspec when{};
      when.it_value.tv_sec = kill_after / 1000000;
      when.it_value.tv_nsec = (kill_after % 1000000) * 1000;
      if (timer_settime(timer, 0, &when, nullptr) != 0) return 6;
    }
    const auto began = std::chrono::steady_clock::now();
    for (size_t i = 0; i < ops.size(); ++i) {
      if (Apply(handle.get(), ops[i]) != db::kOk) return 4;
      progress->done = static_cast<int>(i + 1);
    }
    progress->run_length = std::chrono::duration_cast<std::chrono::microseconds>(
                               std::chrono::steady_clock::now() - began)
                               .count();
    return 0;
  };
  base.Restore(path);
  *progress = {0, 0};
  ASSERT_EQ(InChild([&] { return run(0); }), 0);
  ASSERT_EQ(progress->done, static_cast<int>(ops.size()));
  const int64_t run_length = progress->run_length;
  ASSERT_GT(run_length, 0);

  std::mt19937 random(11);
  const int rounds = Rounds(40);
  int killed_inside = 0;
  for (int round = 0; round < rounds; ++round) {
    base.Restore(path);
    *progress = {0, 0};
    const int64_t kill_after =
        1 + static_cast<int64_t>(random() % static_cast<uint64_t>(run_length));
    const int ended = InChild([&] { return run(kill_after); });
    ASSERT_TRUE(ended == -SIGKILL || ended == 0) << "round " << round << " ended with " << ended;
    const size_t completed = static_cast<size_t>(progress->done);
    if (completed == ops.size()) {
      ASSERT_EQ(CheckFiles(path, ops.back(), states.back(), states.back(), true), "");
      continue;
    }
    ++killed_inside;
    ASSERT_EQ(CheckFiles(path, ops[completed], states[completed], states[completed + 1], false), "")
        << "round " << round << ", killed in operation " << completed << " ("
        << KindName(ops[completed].kind) << ")";
  }
  RecordProperty("killed_inside", killed_inside);
  // The run's length varies with the machine's load; most kills still land inside it.
  EXPECT_GT(killed_inside, rounds / 10);
  munmap(progress, sizeof(Progress));
}

}  // namespace
}  // namespace memo::crash
