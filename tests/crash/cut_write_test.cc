// Writes cut short inside the call: the n-th pwrite of an operation writes only its first k bytes
// and then the writer dies (SIGKILL) or the call reports a full disk. k runs over the page
// boundaries of the buffer (where the kernel's copy stops for a fatal signal when the buffer
// starts on a page), the file's page boundaries inside the write (where it stops when the file
// offset does not), and random bytes. Every kind of write is cut, the journal's own writes
// included.
//
// After each cut the pair opens read-only and with the default access, both read the same rows,
// every record committed before reads back exactly (the one being written may be old or new, and
// a chain rewritten in place over more than one call a mix of the two), no two live records share
// a serial, and the integrity walk finds nothing but leaked blocks (two chains sharing a block
// among the damage it names).
//
// MEMO_CUT_ROUNDS sets how many cuts each operation gets (24 by default; the sort gets twice as
// many).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <random>
#include <set>

#include "db/file_names.h"
#include "db/journal.h"
#include "tests/crash/crash_db.h"
#include "tests/crash/scenarios.h"
#include "tests/crash/syscall_faults.h"
#include "tests/support/test_util.h"

namespace memo::crash {
namespace {

using db::testing::TempDir;

constexpr size_t kPage = 4096;

int CutRounds() {
  const char* text = std::getenv("MEMO_CUT_ROUNDS");
  const int value = text != nullptr ? std::atoi(text) : 0;
  return value > 0 ? value : 24;
}

int InChild(const std::function<int()>& body) {
  const pid_t pid = fork();
  if (pid == 0) _exit(body());
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) return -1000;
  return WIFSIGNALED(status) ? -WTERMSIG(status) : WEXITSTATUS(status);
}

struct Cut {
  int64_t write = 0;  // 1-based pwrite of the operation
  size_t keep = 0;
  AfterCut after = AfterCut::kKill;
};

std::string Describe(const Cut& cut, const std::vector<WriteCall>& writes) {
  const WriteCall& call = writes[static_cast<size_t>(cut.write - 1)];
  return "pwrite " + std::to_string(cut.write) + " of " + std::to_string(writes.size()) + " (" +
         std::to_string(call.count) + " bytes at " + std::to_string(call.offset) + ") cut after " +
         std::to_string(cut.keep) + " bytes, then " +
         (cut.after == AfterCut::kKill ? "killed" : "disk full");
}

// The cut points of every write: page boundaries of the buffer and of the file inside it, and
// random bytes (three each, more for many rounds); then `rounds` of them spread evenly over the
// whole list (all of them when there are fewer), kills and full disks taking turns.
std::vector<Cut> ChooseCuts(const std::vector<WriteCall>& writes, int rounds, uint32_t seed) {
  std::mt19937 random(seed);
  // More rounds draw more random bytes, so that short operations get as many cuts as asked.
  const int randoms = std::max(3, rounds / 8);
  std::vector<Cut> all;
  for (size_t i = 0; i < writes.size(); ++i) {
    const WriteCall& call = writes[i];
    if (call.count < 2) continue;
    std::set<size_t> keeps;
    for (size_t k = kPage; k < call.count; k += kPage) keeps.insert(k);
    const size_t to_page = kPage - static_cast<size_t>(call.offset) % kPage;
    for (size_t k = to_page; k < call.count; k += kPage) keeps.insert(k);
    for (int r = 0; r < randoms; ++r) keeps.insert(1 + random() % (call.count - 1));
    for (size_t k : keeps) all.push_back(Cut{static_cast<int64_t>(i + 1), k, AfterCut::kKill});
  }
  std::vector<Cut> chosen;
  const size_t want = std::min(all.size(), static_cast<size_t>(rounds));
  for (size_t j = 0; j < want; ++j) {
    Cut cut = all[j * all.size() / want];
    cut.after = j % 2 == 0 ? AfterCut::kKill : AfterCut::kDiskFull;
    chosen.push_back(cut);
  }
  return chosen;
}

std::string SerialsUnique(const std::string& path) {
  Rows rows;
  std::string why = ReadRows(path, db::OpenAccess::kReadOnly, &rows);
  if (!why.empty()) return why;
  std::set<int32_t> seen;
  for (const Row& row : rows) {
    if (row.serial > 0 && !seen.insert(row.serial).second) {
      return "two live records with serial " + std::to_string(row.serial);
    }
  }
  return "";
}

class CutWriteTest : public ::testing::TestWithParam<Scenario> {};

TEST_P(CutWriteTest, EveryCutLeavesFilesThatOpenAndReadBack) {
  const Scenario& scenario = GetParam();
  TempDir dir;
  PreparedScenario prepared;
  ASSERT_EQ(Prepare(scenario, dir.File("t.edb"), dir.File("s.edb"), &prepared), "");
  const std::string& path = prepared.path;
  const Rows &before = prepared.before, &after = prepared.after;

  std::vector<WriteCall> writes;
  prepared.base.Restore(path);
  {
    auto handle = db::testing::MustOpen(path);
    ASSERT_TRUE(handle);
    SyscallFaults counting;
    ASSERT_EQ(Apply(handle.get(), scenario.op), db::kOk);
    writes = counting.pwrites();
  }
  const std::vector<Cut> cuts = ChooseCuts(
      writes, CutRounds(), static_cast<uint32_t>(std::hash<std::string>()(scenario.name)));
  ASSERT_FALSE(cuts.empty());
  RecordProperty("cuts", static_cast<int>(cuts.size()));
  for (const Cut& cut : cuts) {
    SCOPED_TRACE(Describe(cut, writes));
    prepared.base.Restore(path);
    // A slot left by the previous round belongs to nobody; start without one.
    (void)platform::RemoveFile(db::Journal::SlotName(platform::FullPath(path), 0));
    if (cut.after == AfterCut::kKill) {
      const int ended = InChild([&] {
        auto handle = db::testing::MustOpen(path);
        if (!handle) return 2;
        SyscallFaults faults;
        faults.CutWrite(cut.write, cut.keep, AfterCut::kKill);
        db::IgnoreCode(Apply(handle.get(), scenario.op));
        return 3;
      });
      ASSERT_EQ(ended, -SIGKILL) << "the same writes as the clean run";
      ASSERT_EQ(CheckFiles(path, scenario.op, before, after, false), "");
    } else {
      db::EngineCode rc = db::kOk;
      bool fired = false;
      {
        auto handle = db::testing::MustOpen(path);
        ASSERT_TRUE(handle);
        SyscallFaults faults;
        faults.CutWrite(cut.write, cut.keep, AfterCut::kDiskFull);
        rc = Apply(handle.get(), scenario.op);
        fired = faults.fired();
      }
      ASSERT_TRUE(fired) << "the same writes as the clean run";
      if (rc == db::kOk) {
        ASSERT_EQ(CheckFiles(path, scenario.op, after, after, true), "") << "success is whole";
      } else {
        ASSERT_EQ(CheckFiles(path, scenario.op, before, after, false), "") << "failed with " << rc;
      }
    }
    ASSERT_EQ(SerialsUnique(path), "");
  }
}

INSTANTIATE_TEST_SUITE_P(EveryWrite, CutWriteTest, ::testing::ValuesIn(WriteScenarios(true)),
                         [](const auto& info) { return ScenarioTestName(info.param); });

// The sort's commit: a cut write of the target's files, which carry passing names until they
// take the target's, never touches the source and leaves the old target, the new one, or none.
TEST(CutSortTest, SourceIntactTargetOldNewOrAbsent) {
  TempDir dir;
  const std::string source = dir.File("t.edb"), target = dir.File("sorted.edb");
  const std::string target_memo = db::MemoFileName(target);
  BuildBase(Base::kSmall, source);
  db::SortRequest request;
  request.target = target;
  request.key_names = {"k"};
  db::SortRequest old_request = request;
  old_request.copy_fields = {"f", "k"};
  {
    auto handle = db::testing::MustOpen(source);
    ASSERT_TRUE(handle);
    ASSERT_EQ(handle->SortInto(old_request), db::kOk);  // the old target: two fields
  }
  Rows before;
  const std::string old_record = db::testing::ReadAll(target);
  const std::string old_memo = db::testing::ReadAll(target_memo);
  ASSERT_EQ(ReadRows(source, db::OpenAccess::kReadOnly, &before), "");

  std::vector<WriteCall> writes;
  {
    auto handle = db::testing::MustOpen(source);
    ASSERT_TRUE(handle);
    SyscallFaults counting;
    ASSERT_EQ(handle->SortInto(request), db::kOk);
    writes = counting.pwrites();
  }
  const std::string new_record = db::testing::ReadAll(target);
  const std::string new_memo = db::testing::ReadAll(target_memo);
  ASSERT_NE(old_record, new_record);
  // From the record count on: the creation times differ from run to run.
  auto same = [](const std::string& a, const std::string& b) {
    return a.size() == b.size() && a.compare(16, std::string::npos, b, 16, std::string::npos) == 0;
  };
  const std::vector<Cut> cuts = ChooseCuts(writes, 2 * CutRounds(), 11);
  ASSERT_FALSE(cuts.empty());
  RecordProperty("cuts", static_cast<int>(cuts.size()));
  for (const Cut& cut : cuts) {
    SCOPED_TRACE(Describe(cut, writes));
    db::testing::WriteAll(target, old_record);
    db::testing::WriteAll(target_memo, old_memo);
    const int ended = InChild([&] {
      auto handle = db::testing::MustOpen(source);
      if (!handle) return 2;
      SyscallFaults faults;
      faults.CutWrite(cut.write, cut.keep, cut.after);
      const db::EngineCode rc = handle->SortInto(request);
      return rc == db::kOk ? 0 : 4;
    });
    ASSERT_TRUE(cut.after == AfterCut::kKill ? ended == -SIGKILL : ended == 4) << ended;
    ASSERT_EQ(CheckFiles(source, Op{}, before, before, true), "") << "the source never changes";
    if (!db::testing::Exists(target)) continue;  // the old one removed, the new one not yet named
    const std::string record = db::testing::ReadAll(target);
    const std::string memo = db::testing::ReadAll(target_memo);
    if (record == old_record) {
      EXPECT_EQ(memo, old_memo);
    } else {
      EXPECT_TRUE(same(record, new_record) && same(memo, new_memo));
      EXPECT_EQ(NonLeakProblems(target), std::vector<std::string>{});
    }
  }
}

// The journal itself: an entry that was cut is never replayed, a whole one completes the
// overwrite it describes, and one whose owner is alive is left alone.
class JournalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = platform::FullPath(dir_.File("j.edb"));
    db::testing::WriteAll(path_, std::string(10000, 'o'));
  }
  platform::File OpenData() {
    platform::File file;
    EXPECT_EQ(platform::File::Open(path_, platform::FileAccess::kReadWrite,
                                   platform::FileShare::kDenyNone,
                                   platform::FileCreate::kOpenExisting, &file),
              platform::FileError::kNone);
    return file;
  }
  // In a child: binds a journal, overwrites 6000 bytes at 3000 with 'n', the entry's write or
  // the overwrite (the first or second pwrite) cut after `keep` bytes, and dies.
  void CutOverwrite(int64_t write, size_t keep) {
    const int ended = InChild([&] {
      platform::File file = OpenData();
      db::Journal journal;
      journal.Bind(path_, "", false);
      const std::string bytes(6000, 'n');
      SyscallFaults faults;
      faults.CutWrite(write, keep, AfterCut::kKill);
      db::IgnoreCode(journal.Overwrite(db::JournalTarget::kRecordFile, &file, 3000, bytes.data(),
                                       bytes.size(), nullptr, db::kWriteRecordFailed));
      return 3;
    });
    ASSERT_EQ(ended, -SIGKILL);
  }
  TempDir dir_;
  std::string path_;
};

TEST_F(JournalTest, CutEntryIsNeverReplayed) {
  for (size_t keep : {size_t{1}, size_t{31}, size_t{32}, kPage, size_t{6032}, size_t{6039}}) {
    db::testing::WriteAll(path_, std::string(10000, 'o'));
    CutOverwrite(1, keep);
    db::Journal::Recover(path_, "");
    EXPECT_EQ(db::testing::ReadAll(path_), std::string(10000, 'o')) << keep;
  }
}

TEST_F(JournalTest, WholeEntryCompletesTheCutOverwrite) {
  for (size_t keep : {size_t{1}, size_t{1096}, kPage, size_t{5999}}) {
    db::testing::WriteAll(path_, std::string(10000, 'o'));
    CutOverwrite(2, keep);
    const std::string torn = db::testing::ReadAll(path_);
    ASSERT_EQ(torn.substr(3000, keep), std::string(keep, 'n'));
    ASSERT_EQ(torn[3000 + keep], 'o');
    db::Journal::Recover(path_, "");
    EXPECT_EQ(db::testing::ReadAll(path_),
              std::string(3000, 'o') + std::string(6000, 'n') + std::string(1000, 'o'))
        << keep;
    // Replayed once: a later change of those bytes survives the next opener.
    db::testing::WriteAll(path_, std::string(10000, 'x'));
    db::Journal::Recover(path_, "");
    EXPECT_EQ(db::testing::ReadAll(path_), std::string(10000, 'x'));
  }
}

TEST_F(JournalTest, LiveOwnersEntryIsLeftAlone) {
  platform::File file = OpenData();
  db::Journal journal;
  journal.Bind(path_, "", false);
  const std::string bytes(100, 'n');
  ASSERT_EQ(journal.Overwrite(db::JournalTarget::kRecordFile, &file, 0, bytes.data(), bytes.size(),
                              nullptr, db::kWriteRecordFailed),
            db::kOk);
  db::testing::WriteAll(path_, std::string(10000, 'x'));  // as if another writer came later
  db::Journal::Recover(path_, "");
  EXPECT_EQ(db::testing::ReadAll(path_), std::string(10000, 'x'));
}

TEST_F(JournalTest, SharedHandlesEntryIsVoidOnceWritten) {
  const int ended = InChild([&] {
    platform::File file = OpenData();
    db::Journal journal;
    journal.Bind(path_, "", true);
    const std::string bytes(100, 'n');
    if (journal.Overwrite(db::JournalTarget::kRecordFile, &file, 0, bytes.data(), bytes.size(),
                          nullptr, db::kWriteRecordFailed) != db::kOk) {
      return 4;
    }
    kill(getpid(), SIGKILL);
    return 3;
  });
  ASSERT_EQ(ended, -SIGKILL);
  db::testing::WriteAll(path_, std::string(10000, 'x'));  // another writer after it
  db::Journal::Recover(path_, "");
  EXPECT_EQ(db::testing::ReadAll(path_), std::string(10000, 'x'));
}

TEST_F(JournalTest, OneByteChangesAndFreshBytesNeedNoEntry) {
  platform::File file = OpenData();
  db::Journal journal;
  journal.Bind(path_, "", false);
  SyscallFaults counting;
  const std::string old_bytes(8, 'o');
  std::string bytes = old_bytes;
  bytes[5] = 'n';
  ASSERT_EQ(journal.Overwrite(db::JournalTarget::kRecordFile, &file, 16, bytes.data(), bytes.size(),
                              old_bytes.data(), db::kWriteRecordFailed),
            db::kOk);
  ASSERT_EQ(journal.WriteFresh(db::JournalTarget::kRecordFile, &file, 10000, bytes.data(),
                               bytes.size(), db::kWriteRecordFailed),
            db::kOk);
  EXPECT_EQ(counting.pwrites().size(), 2u);
  bytes[6] = 'n';  // two bytes differ: an entry first
  ASSERT_EQ(journal.Overwrite(db::JournalTarget::kRecordFile, &file, 16, bytes.data(), bytes.size(),
                              old_bytes.data(), db::kWriteRecordFailed),
            db::kOk);
  EXPECT_EQ(counting.pwrites().size(), 4u);
}

// A stale entry of a handle that nobody shares files with must not be replayed over what the
// same handle wrote there later without an entry, nor over bytes written after a cut.
TEST_F(JournalTest, LaterWritesOverAnEntryMakeItVoid) {
  const std::string entry_bytes(8, 'n');
  std::string later = entry_bytes;
  later[0] = 'z';  // one byte away from the entry's: written without an entry
  using Steps = std::function<bool(db::Journal*, platform::File*)>;
  const Steps cases[] = {
      [&](db::Journal* journal, platform::File* file) {
        return journal->Overwrite(db::JournalTarget::kRecordFile, file, 16, entry_bytes.data(), 8,
                                  nullptr, db::kWriteRecordFailed) == db::kOk &&
               journal->Overwrite(db::JournalTarget::kRecordFile, file, 16, later.data(), 8,
                                  entry_bytes.data(), db::kWriteRecordFailed) == db::kOk;
      },
      [&](db::Journal* journal, platform::File* file) {
        return journal->Overwrite(db::JournalTarget::kRecordFile, file, 5000, entry_bytes.data(), 8,
                                  nullptr, db::kWriteRecordFailed) == db::kOk &&
               journal->SetLength(db::JournalTarget::kRecordFile, file, 4000,
                                  db::kWriteRecordFailed) == db::kOk &&
               journal->WriteFresh(db::JournalTarget::kRecordFile, file, 5000, later.data(), 8,
                                   db::kWriteRecordFailed) == db::kOk;
      },
      [&](db::Journal* journal, platform::File* file) {
        return journal->Overwrite(db::JournalTarget::kRecordFile, file, 5000, entry_bytes.data(), 8,
                                  nullptr, db::kWriteRecordFailed) == db::kOk &&
               journal->WriteFresh(db::JournalTarget::kRecordFile, file, 4996, later.data(), 8,
                                   db::kWriteRecordFailed) == db::kOk;
      },
  };
  for (const Steps& steps : cases) {
    db::testing::WriteAll(path_, std::string(10000, 'o'));
    const int ended = InChild([&] {
      platform::File file = OpenData();
      db::Journal journal;
      journal.Bind(path_, "", false);
      if (!steps(&journal, &file)) return 4;
      kill(getpid(), SIGKILL);
      return 3;
    });
    ASSERT_EQ(ended, -SIGKILL);
    const std::string left = db::testing::ReadAll(path_);
    ASSERT_NE(left.find("znnnnnnn"), std::string::npos);
    db::Journal::Recover(path_, "");
    EXPECT_EQ(db::testing::ReadAll(path_), left);
  }
}

}  // namespace
}  // namespace memo::crash
