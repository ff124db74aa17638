// A walk's read-ahead (db/read_ahead.h): the same values and codes as the plain protocol gives,
// record by record, on a large table and with a damaged chain; and another process appending,
// modifying in place, packing, clearing, replacing the file and holding a record while this one
// walks. Ordering between the processes goes through pipes; time passes only where a test lets
// it (VirtualClock).
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <new>
#include <string>
#include <vector>

#include "db/coding.h"
#include "db/engine_code.h"
#include "db/memo_format.h"
#include "platform/file.h"
#include "platform/file_calls.h"
#include "platform/posix/syscalls.h"
#include "tests/support/test_util.h"

namespace memo::db {
namespace {

// The table: a category, the record's id and version, a memo and a log. Record `id` at version
// `v` holds these values; every field says which record and version it belongs to, so a field
// read whole can be told from a torn or foreign one.
std::vector<FieldSpec> WalkFields() {
  return {{"cat", kFieldText, 10},
          {"n", kFieldInt, 0},
          {"note", kFieldMemo, 0},
          {"log", kFieldMemo, 0}};
}
constexpr int kVersionStep = 1000000;

std::string Cat(int id, int v) { return "c" + std::to_string((id + v) % 13); }
std::string Note(int id, int v) {
  // Every 40th note spans three blocks; the rest fit in one.
  const size_t length = id % 40 == 0 ? 1100 + static_cast<size_t>(v * 37 % 300)
                                     : 40 + static_cast<size_t>((id + v) % 30);
  std::string prefix = std::to_string(id) + "/" + std::to_string(v) + ":";
  return prefix + std::string(length, static_cast<char>('a' + (id + v) % 26));
}
std::string Log(int id, int v) {
  return id % 3 == 0 ? std::string() : "log " + std::to_string(id) + "/" + std::to_string(v);
}

int Put(DatabaseHandle* handle, int id, int v, bool add) {
  const std::string cat = Cat(id, v), note = Note(id, v), log = Log(id, v);
  TypedValue values[] = {testing::TextCell(cat), testing::IntCell(v * kVersionStep + id),
                         testing::TextCell(note), testing::TextCell(log)};
  return add ? handle->AddRecord(values, 4) : handle->ModifyRecord(values, 4);
}

void MakeTable(const std::string& path, int records) {
  testing::MustCreate(path, WalkFields());
  OpenOptions alone;
  alone.share = ShareFromArgument(4);
  auto handle = testing::MustOpen(path, alone);
  ASSERT_TRUE(handle);
  for (int id = 0; id < records; ++id) ASSERT_EQ(Put(handle.get(), id, 0, true), kOk);
}

// One record as a walk read it.
struct Seen {
  int code = kOk;  // the first failing field's code
  std::string fields[4];
  int id() const { return DecodeInt32(fields[1].data()) % kVersionStep; }
  int version() const { return DecodeInt32(fields[1].data()) / kVersionStep; }
};

Seen ReadCurrent(DatabaseHandle* handle, int fields = 4) {
  Seen seen;
  for (int f = 0; f < fields; ++f) {
    const int rc = handle->ReadFieldBytes(f, &seen.fields[f]);
    if (rc != kOk && seen.code == kOk) seen.code = rc;
  }
  return seen;
}

// Each field whole and committed: the category and id of one version, the memo and log each of
// some version (the protocol reads field by field, so versions may differ between fields).
::testing::AssertionResult Whole(const Seen& seen, int max_version) {
  if (seen.code != kOk) return ::testing::AssertionFailure() << "code " << seen.code;
  if (seen.fields[1].size() != 4) return ::testing::AssertionFailure() << "no id";
  const int id = seen.id(), v = seen.version();
  if (v < 0 || v > max_version || seen.fields[0] != Cat(id, v)) {
    return ::testing::AssertionFailure() << "category " << seen.fields[0] << " of " << id;
  }
  auto some_version = [&](const std::string& text, std::string (*make)(int, int)) {
    for (int w = 0; w <= max_version; ++w) {
      if (text == make(id, w)) return true;
    }
    return false;
  };
  if (!some_version(seen.fields[2], Note)) {
    return ::testing::AssertionFailure()
           << "note of " << id << " not whole: " << seen.fields[2].substr(0, 20);
  }
  if (!some_version(seen.fields[3], Log)) {
    return ::testing::AssertionFailure() << "log of " << id << ": " << seen.fields[3];
  }
  return ::testing::AssertionSuccess();
}

// A walk as the application's scans go: read the fields, skip 1, until the skip fails.
std::vector<Seen> Walk(DatabaseHandle* handle, int fields = 4,
                       const std::function<void(int32_t)>& at = nullptr) {
  std::vector<Seen> seen;
  handle->MoveFirst();
  for (;;) {
    if (at) at(handle->current_record());
    seen.push_back(ReadCurrent(handle, fields));
    // Past the last record the read fails at the end of the file and the next skip fails.
    if (handle->Skip(1) != kOk) break;
  }
  return seen;
}

// The plain protocol: every record reached by a move, not a step, so nothing is read ahead.
std::vector<Seen> PlainReads(DatabaseHandle* handle, int32_t records, int fields = 4) {
  std::vector<Seen> seen;
  for (int32_t r = 0; r < records; ++r) {
    handle->set_current_record(r);
    seen.push_back(ReadCurrent(handle, fields));
  }
  return seen;
}

// The walk's records up to the last one the file counts (the walk ends one past it).
std::vector<Seen> Counted(std::vector<Seen> seen, size_t count) {
  if (seen.size() > count) seen.resize(count);
  return seen;
}

void ExpectSame(const std::vector<Seen>& a, const std::vector<Seen>& b, int fields) {
  ASSERT_EQ(a.size(), b.size());
  for (size_t r = 0; r < a.size(); ++r) {
    ASSERT_EQ(a[r].code, b[r].code) << "record " << r;
    for (int f = 0; f < fields; ++f) ASSERT_EQ(a[r].fields[f], b[r].fields[f]) << "record " << r;
  }
}

TEST(ReadAheadTest, WalksOfAHundredThousandRecordsReadWhatThePlainProtocolReads) {
  testing::TempDir dir;
  const std::string path = dir.File("big.mcn");
  constexpr int kRecords = 100000;
  MakeTable(path, kRecords);
  testing::VirtualClock clock;  // no chunk goes stale however slowly this build walks
  std::vector<Seen> plain;
  {
    auto handle = testing::MustOpen(path);
    ASSERT_TRUE(handle);
    plain = PlainReads(handle.get(), kRecords);
  }
  for (int share : {1, 4}) {
    SCOPED_TRACE("share " + std::to_string(share));
    OpenOptions options;
    options.share = ShareFromArgument(share);
    auto handle = testing::MustOpen(path, options);
    ASSERT_TRUE(handle);
    // Every field, as a dump reads them.
    platform::EnableFileCallCounting(true);
    const platform::FileCallCounts before = platform::ReadFileCallCounts();
    std::vector<Seen> all = Walk(handle.get());
    const platform::FileCallCounts calls = platform::ReadFileCallCounts().Since(before);
    platform::EnableFileCallCounting(false);
    ASSERT_EQ(all.size(), size_t{kRecords} + 1);
    EXPECT_EQ(all.back().code, kSeekFailed) << "the step past the last record";
    ExpectSame(Counted(all, kRecords), plain, 4);
    // Chunks of up to 160 KB and their memo spans: a few calls per thousand records (the plain
    // protocol makes 14 per record shared, 6 lock-free).
    EXPECT_LT(calls.Total(), uint64_t{kRecords} / 100) << calls.reads << " reads";
    RecordProperty("calls_share_" + std::to_string(share), static_cast<int>(calls.Total()));
    // Only the category, as the sign-in's scan reads it.
    std::vector<Seen> categories = Walk(handle.get(), 1);
    ExpectSame(Counted(categories, kRecords), plain, 1);
  }
}

TEST(ReadAheadTest, DamagedChainsAndRecordsPastTheCountGiveTheProtocolsCodes) {
  testing::TempDir dir;
  const std::string path = dir.File("damaged.mcn");
  MakeTable(path, 300);
  uint32_t note_offset = 0;
  uint64_t records_start = 0;
  uint32_t record_size = 0;
  {
    auto handle = testing::MustOpen(path);
    note_offset = handle->fields()[2].offset;
    records_start = handle->records_start();
    record_size = static_cast<uint32_t>(handle->record_size());
  }
  std::string file = testing::ReadAll(path);
  std::string memo = testing::ReadAll(dir.File("damaged.EDT"));
  const uint64_t blocks = memo.size() / kMemoBlockSize;
  auto note_at = [&](int r) {
    return records_start + uint64_t{static_cast<uint32_t>(r)} * record_size + note_offset;
  };
  // Record 100's note leaves the file; record 101's chain loops on itself; record 150's first
  // block is marked free.
  EncodeFixed32(file.data() + note_at(100), static_cast<uint32_t>(blocks + 5));
  const uint32_t looped = DecodeFixed32(file.data() + note_at(101));
  EncodeFixed32(memo.data() + uint64_t{looped} * kMemoBlockSize + 4, looped);
  const uint32_t freed = DecodeFixed32(file.data() + note_at(150));
  EncodeFixed32(memo.data() + uint64_t{freed} * kMemoBlockSize + 8, 0);
  // Two records past the count: a walk's step there reads the file as the protocol does.
  file.append(std::string(2 * record_size, '\0'));
  testing::WriteAll(path, file);
  testing::WriteAll(dir.File("damaged.EDT"), memo);

  for (int share : {1, 4}) {
    SCOPED_TRACE("share " + std::to_string(share));
    OpenOptions options;
    options.share = ShareFromArgument(share);
    options.access = AccessFromArgument(2);  // no repairs: keep the records past the count
    auto handle = testing::MustOpen(path, options);
    ASSERT_TRUE(handle);
    const std::vector<Seen> plain = PlainReads(handle.get(), 302);
    EXPECT_EQ(plain[100].code, kMemoAccessFailed);
    EXPECT_EQ(plain[101].code, kMemoAccessFailed);
    EXPECT_EQ(plain[150].code, kMemoAccessFailed);
    EXPECT_EQ(plain[99].code, kOk);
    std::vector<Seen> walked = Walk(handle.get());
    ASSERT_GE(walked.size(), 301u);
    ExpectSame(Counted(walked, 301), Counted(plain, 301), 4);
  }
}

// A second process that does what the parent asks, one command at a time, and answers when done.
class Helper {
 public:
  using Commands = std::map<char, std::function<int()>>;
  explicit Helper(Commands commands) {
    if (pipe(to_) != 0 || pipe(from_) != 0) ADD_FAILURE() << "pipe";
    pid_ = fork();
    if (pid_ == 0) {
      close(to_[1]);
      close(from_[0]);
      char command = 0;
      while (read(to_[0], &command, 1) == 1) {
        auto it = commands.find(command);
        const char answer = it == commands.end() ? 'E' : (it->second() == 0 ? 'K' : 'F');
        if (write(from_[1], &answer, 1) != 1) break;
      }
      _exit(0);
    }
    close(to_[0]);
    close(from_[1]);
  }
  ~Helper() {
    close(to_[1]);
    int status = 0;
    waitpid(pid_, &status, 0);
    close(from_[0]);
  }
  Helper(const Helper&) = delete;
  Helper& operator=(const Helper&) = delete;

  // Runs a command in the helper; true when it succeeded.
  bool Do(char command) { return Send(command) && Done(); }
  // The same in two halves: the command starts, and later its answer is awaited.
  bool Send(char command) { return write(to_[1], &command, 1) == 1; }
  bool Done() {
    char answer = 0;
    return read(from_[0], &answer, 1) == 1 && answer == 'K';
  }

 private:
  int to_[2] = {-1, -1};
  int from_[2] = {-1, -1};
  pid_t pid_ = -1;
};

// Opens the table in the helper (share 1, waiting for locks as a cooperating writer does).
std::unique_ptr<DatabaseHandle> OpenWriter(const std::string& path) {
  OpenOptions options;
  options.lock_wait_ms = kWaitForever;
  std::unique_ptr<DatabaseHandle> handle;
  if (DatabaseHandle::Open(path, options, &handle) != kOk) return nullptr;
  return handle;
}

int ModifyRecord(const std::string& path, int position, int v) {
  auto handle = OpenWriter(path);
  if (!handle) return 1;
  handle->set_current_record(position);
  return Put(handle.get(), position, v, false);
}

class ReadAheadWithOthersTest : public ::testing::Test {
 protected:
  static constexpr int kRecords = 1000;
  void SetUp() override {
    path_ = dir_.File("walk.mcn");
    MakeTable(path_, kRecords);
  }
  testing::TempDir dir_;
  std::string path_;
};

// Chunks of a walk from record 0 (record 0 by the protocol): 1..64, 65..192, 193..448, 449..960,
// 961.. — a change at record 500 made while the walk is at record 3 lies ahead of every chunk
// read so far, one at record 30 inside the chunk being served.
TEST_F(ReadAheadWithOthersTest, ChangesAheadOfTheChunkAreSeenAndAPauseReadsAnew) {
  Helper helper({{'m', [&] { return ModifyRecord(path_, 500, 1) | ModifyRecord(path_, 30, 1); }},
                 {'n', [&] { return ModifyRecord(path_, 40, 2); }}});
  testing::VirtualClock clock;  // time passes only where this test sleeps
  auto walker = testing::MustOpen(path_);
  ASSERT_TRUE(walker);
  std::vector<Seen> seen = Walk(walker.get(), 4, [&](int32_t at) {
    if (at == 3) {
      ASSERT_TRUE(helper.Do('m'));
    }
    if (at == 35) {
      // A pause: the walk waits (for a person, a timer) and another process writes meanwhile.
      ASSERT_TRUE(helper.Do('n'));
      platform::SleepMs(kReadAheadTrustMs);
    }
  });
  ASSERT_EQ(seen.size(), size_t{kRecords} + 1);
  for (int r = 0; r < kRecords; ++r) {
    ASSERT_TRUE(Whole(seen[r], 2)) << "record " << r;
    ASSERT_EQ(seen[r].id(), r);
  }
  EXPECT_EQ(seen[500].version(), 1) << "changed before the walk read ahead that far";
  EXPECT_EQ(seen[500].fields[2], Note(500, 1));
  EXPECT_EQ(seen[30].version(), 0) << "the chunk holds record 30 as it was when it was read";
  EXPECT_EQ(seen[40].version(), 2) << "after the pause the walk reads anew";
  EXPECT_EQ(seen[40].fields[2], Note(40, 2));
  // A walk that starts later sees every change.
  std::vector<Seen> again = Walk(walker.get());
  EXPECT_EQ(again[30].version(), 1);
  EXPECT_EQ(again[30].fields[2], Note(30, 1));
}

TEST_F(ReadAheadWithOthersTest, AppendsAndPacksWhileWalkingShowAtTheNextChunk) {
  Helper helper({{'a',
                  [&] {
                    auto handle = OpenWriter(path_);
                    for (int id = kRecords; handle && id < kRecords + 10; ++id) {
                      if (Put(handle.get(), id, 0, true) != kOk) return 1;
                    }
                    return handle ? 0 : 1;
                  }},
                 {'p', [&] {
                    auto handle = OpenWriter(path_);
                    return handle ? handle->PackRange(500, 50) : 1;
                  }}});
  auto walker = testing::MustOpen(path_);
  ASSERT_TRUE(walker);
  std::vector<Seen> seen = Walk(walker.get(), 4, [&](int32_t at) {
    if (at == 10) {
      ASSERT_TRUE(helper.Do('a'));
    }
    if (at == 200) {
      ASSERT_TRUE(helper.Do('p'));
    }  // records 500..549 go while the chunk holds 193..448
  });
  ASSERT_EQ(seen.size(), size_t{kRecords} + 10 - 50 + 1);
  std::vector<int> ids;
  for (size_t r = 0; r + 1 < seen.size(); ++r) {
    ASSERT_TRUE(Whole(seen[r], 0)) << "record " << r;
    ids.push_back(seen[r].id());
  }
  std::vector<int> expected;
  for (int id = 0; id < kRecords + 10; ++id) {
    if (id < 500 || id >= 550) expected.push_back(id);
  }
  EXPECT_EQ(ids, expected);
}

TEST_F(ReadAheadWithOthersTest, AClearOrAReplacedFileWhileWalking) {
  Helper helper({{'c',
                  [&] {
                    auto handle = OpenWriter(path_);
                    return handle ? handle->ClearAll() : 1;
                  }},
                 {'r', [&] {
                    // A new table with other values takes the names of both files.
                    const std::string other = dir_.File("other.mcn");
                    MakeTable(other, 10);
                    auto handle = OpenWriter(other);
                    for (int r = 0; handle && r < 10; ++r) {
                      handle->set_current_record(r);
                      if (Put(handle.get(), r, 3, false) != kOk) return 1;
                    }
                    handle.reset();
                    if (std::rename(other.c_str(), path_.c_str()) != 0) return 1;
                    return std::rename(dir_.File("other.EDT").c_str(),
                                       dir_.File("walk.EDT").c_str());
                  }}});
  {
    // The file replaced: the open handle goes on with the file it opened, whole.
    auto walker = testing::MustOpen(path_);
    ASSERT_TRUE(walker);
    std::vector<Seen> seen = Walk(walker.get(), 4, [&](int32_t at) {
      if (at == 100) {
        ASSERT_TRUE(helper.Do('r'));
      }
    });
    ASSERT_EQ(seen.size(), size_t{kRecords} + 1);
    for (int r = 0; r < kRecords; ++r) {
      ASSERT_TRUE(Whole(seen[r], 0)) << "record " << r;
      ASSERT_EQ(seen[r].id(), r);
    }
    auto fresh = testing::MustOpen(path_);
    ASSERT_TRUE(fresh);
    std::vector<Seen> now = Walk(fresh.get());
    ASSERT_EQ(now.size(), 11u);
    EXPECT_EQ(now[9].version(), 3);
  }
  // Cleared while walking: the chunk being served is the table as it was; the next step past it
  // finds the records gone, as the protocol's read does.
  testing::VirtualClock clock;  // the chunk stays fresh
  auto walker = testing::MustOpen(path_);
  ASSERT_TRUE(walker);
  std::vector<Seen> seen = Walk(walker.get(), 4, [&](int32_t at) {
    if (at == 5) {
      ASSERT_TRUE(helper.Do('c'));
    }
  });
  // Record 0 by the protocol, the chunk 1..9 (all the replaced table holds), then record 10:
  // the new chunk finds no records, the protocol's read fails at the end of the file.
  ASSERT_EQ(seen.size(), 11u);
  for (int r = 0; r < 10; ++r) ASSERT_TRUE(Whole(seen[r], 3)) << "record " << r;
  EXPECT_EQ(seen[10].code, kSeekFailed);
  int32_t count = -1;
  ASSERT_EQ(walker->ReadRecordCount(&count), kOk);
  EXPECT_EQ(count, 0);
}

TEST_F(ReadAheadWithOthersTest, ARecordHeldByAnotherProcessFailsAsInThePlainProtocol) {
  // The helper holds record 300 (as a program holds a row across a read and a write).
  std::unique_ptr<DatabaseHandle> holder;
  Helper helper({{'h',
                  [&] {
                    holder = OpenWriter(path_);
                    return holder ? holder->LockRecord(300) : 1;
                  }},
                 {'u', [&] { return holder->UnlockRecord(300); }}});
  // Opened first: an open's checks wait for the whole file, which a held record keeps.
  auto walker = testing::MustOpen(path_);  // lock wait 0: a held record fails at once
  ASSERT_TRUE(walker);
  ASSERT_TRUE(helper.Do('h'));
  const std::vector<Seen> plain = PlainReads(walker.get(), kRecords);
  const std::vector<Seen> walked = Walk(walker.get());
  ASSERT_EQ(walked.size(), size_t{kRecords} + 1);
  ExpectSame(Counted(walked, kRecords), plain, 4);
  EXPECT_EQ(walked[300].code, kLockFailed);
  for (int r = 0; r < kRecords; ++r) {
    if (r != 300) {
      ASSERT_TRUE(Whole(walked[r], 0)) << "record " << r;
    }
  }
  ASSERT_TRUE(helper.Do('u'));
  EXPECT_TRUE(Whole(Walk(walker.get())[300], 0));
}

TEST_F(ReadAheadWithOthersTest, WritesOfThisProcessAreSeenByTheNextStep) {
  auto walker = testing::MustOpen(path_);
  auto other = testing::MustOpen(path_);
  ASSERT_TRUE(walker && other);
  std::vector<Seen> seen = Walk(walker.get(), 4, [&](int32_t at) {
    if (at == 5) {
      // Another handle of this process changes record 20, inside the chunk being served.
      other->set_current_record(20);
      ASSERT_EQ(Put(other.get(), 20, 1, false), kOk);
    }
    if (at == 50) {
      // The walking handle itself changes record 60, then walks on from where it was.
      walker->set_current_record(60);
      ASSERT_EQ(Put(walker.get(), 60, 2, false), kOk);
      walker->set_current_record(50);
    }
  });
  ASSERT_EQ(seen.size(), size_t{kRecords} + 1);
  EXPECT_EQ(seen[20].version(), 1);
  EXPECT_EQ(seen[20].fields[2], Note(20, 1));
  EXPECT_EQ(seen[60].version(), 2);
  EXPECT_EQ(seen[60].fields[2], Note(60, 2));
  for (int r = 0; r < kRecords; ++r) ASSERT_TRUE(Whole(seen[r], 2)) << "record " << r;
}

// The writer's pwrite of one block of a chain it rewrites in place stops before it is made: the
// pipes let the test walk while the chain is half new, its record held by the writer.
struct StoppedWrite {
  uint64_t offset = 0;        // the memo-file offset of the block
  int reached[2] = {-1, -1};  // writer -> test: the write is about to be made
  int resume[2] = {-1, -1};   // test -> writer: go on
};
StoppedWrite g_stopped;

// A write that reaches the block (the writer may write blocks that follow one another with one
// call) is made up to the block, then stops until the test lets it go on.
ssize_t StoppingPwrite(int fd, const void* buffer, size_t count, off_t offset) {
  const auto pwrite = platform::posix::DefaultSyscalls().pwrite;
  const uint64_t begin = static_cast<uint64_t>(offset);
  if (g_stopped.offset < begin || g_stopped.offset >= begin + count ||
      count % kMemoBlockSize != 0 || begin % kMemoBlockSize != 0) {
    return pwrite(fd, buffer, count, offset);
  }
  const size_t before = static_cast<size_t>(g_stopped.offset - begin);
  if (before > 0 && pwrite(fd, buffer, before, offset) != static_cast<ssize_t>(before)) return -1;
  g_stopped.offset = UINT64_MAX;  // once
  char c = 'S';
  if (write(g_stopped.reached[1], &c, 1) != 1 || read(g_stopped.resume[0], &c, 1) != 1) {
    errno = EIO;
    return -1;
  }
  const ssize_t rest = pwrite(fd, static_cast<const char*>(buffer) + before, count - before,
                              static_cast<off_t>(offset + before));
  return rest < 0 ? rest : static_cast<ssize_t>(before) + rest;
}

TEST_F(ReadAheadWithOthersTest, AChainHalfRewrittenIsNeverReadAhead) {
  // Record 40's note spans three blocks, rewritten in place; the writer stops before its second.
  uint32_t second = 0;
  {
    auto handle = testing::MustOpen(path_);
    ASSERT_TRUE(handle);
    std::string record;
    ASSERT_EQ(handle->ReadRecordBytes(40, &record), kOk);
    const uint32_t first = DecodeFixed32(record.data() + handle->fields()[2].offset);
    BlockLinks links;
    ASSERT_EQ(handle->memo_file()->ReadBlock(first, &links, nullptr), kOk);
    second = links.next;
    ASSERT_NE(second, 0u);
  }
  g_stopped.offset = uint64_t{second} * kMemoBlockSize;
  ASSERT_EQ(pipe(g_stopped.reached), 0);
  ASSERT_EQ(pipe(g_stopped.resume), 0);
  Helper helper({{'w', [&] {
                    platform::posix::SyscallTable table = platform::posix::Syscalls();
                    table.pwrite = StoppingPwrite;
                    platform::posix::InstallSyscalls(table);
                    return ModifyRecord(path_, 40, 1);
                  }}});
  auto walker = testing::MustOpen(path_);  // lock wait 0: the held record fails at once
  ASSERT_TRUE(walker);
  ASSERT_TRUE(helper.Send('w'));
  char c = 0;
  ASSERT_EQ(read(g_stopped.reached[0], &c, 1), 1);  // the first block is new, the rest old
  const std::vector<Seen> during = Walk(walker.get());
  c = 'G';
  ASSERT_EQ(write(g_stopped.resume[1], &c, 1), 1);
  ASSERT_TRUE(helper.Done());
  ASSERT_EQ(during.size(), size_t{kRecords} + 1);
  EXPECT_EQ(during[40].code, kLockFailed) << "record 40 is held, as a plain read finds it";
  for (int r = 0; r < kRecords; ++r) {
    if (r != 40) {
      ASSERT_TRUE(Whole(during[r], 0)) << "record " << r;
    }
  }
  const std::vector<Seen> after = Walk(walker.get());
  ASSERT_TRUE(Whole(after[40], 1));
  EXPECT_EQ(after[40].fields[2], Note(40, 1));
  for (int fd :
       {g_stopped.reached[0], g_stopped.reached[1], g_stopped.resume[0], g_stopped.resume[1]}) {
    close(fd);
  }
}

// What the writer and the walker tell each other.
struct Shared {
  std::atomic<int> stop{0};
  std::atomic<int> writes{0};
};

// A writer in another process rewrites records (memos of one and of three blocks) as fast as it
// can while this process walks the table again and again, each walk reading ahead: no field is
// ever torn or foreign, and every record is there once, in order.
TEST_F(ReadAheadWithOthersTest, WalksNeverSeeATornRecordWhileAnotherProcessRewrites) {
  void* at =
      mmap(nullptr, sizeof(Shared), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(at, MAP_FAILED);
  Shared* shared = new (at) Shared();
  constexpr int kMaxVersion = 60;
  constexpr int kMinWrites = 200;
  pid_t writer = fork();
  if (writer == 0) {
    auto handle = OpenWriter(path_);
    if (!handle) _exit(10);
    uint32_t seed = 12345;
    for (int i = 0; i < 20000 && !shared->stop; ++i) {
      seed = seed * 1103515245u + 12345u;
      // Records 0..79 hold every 40th note's three blocks too; the rest are one-block notes.
      const int position = static_cast<int>((seed >> 8) % (i % 2 == 0 ? 80u : kRecords));
      handle->set_current_record(position);
      if (Put(handle.get(), position, 1 + i % kMaxVersion, false) != kOk) _exit(11);
      ++shared->writes;
    }
    _exit(0);
  }
  OpenOptions patient;
  patient.lock_wait_ms = 10000;  // a record held by the writer is waited for, never failed
  auto walker = testing::MustOpen(path_, patient);
  int walks = 0;
  while (walker && (shared->writes < kMinWrites || walks < 3) && walks < 1000) {
    std::vector<Seen> seen = Walk(walker.get());
    ++walks;
    ASSERT_EQ(seen.size(), size_t{kRecords} + 1);
    for (int r = 0; r < kRecords; ++r) {
      ASSERT_TRUE(Whole(seen[r], kMaxVersion)) << "walk " << walks << " record " << r;
      ASSERT_EQ(seen[r].id(), r);
    }
  }
  shared->stop = 1;
  int status = 0;
  ASSERT_EQ(waitpid(writer, &status, 0), writer);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_GE(shared->writes, kMinWrites);
  RecordProperty("walks", walks);
  RecordProperty("writes", shared->writes.load());
  shared->~Shared();
  munmap(at, sizeof(Shared));
}

}  // namespace
}  // namespace memo::db
