// Several processes on one database at once (fork()): appends, modifications of different
// records, and a memo text rewritten while another process reads it, with the record lock (a
// field read, a sort) and without it.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sched.h>
#include <atomic>
#include <functional>
#include <new>
#include <set>
#include <thread>

#include "data/data_source.h"
#include "data/db_provider.h"
#include "db/coding.h"
#include "db/engine_code.h"
#include "db/memo_format.h"
#include "platform/posix/syscalls.h"
#include "tests/support/test_util.h"

namespace memo::db {
namespace {

// Children wait on a pipe until the parent releases them all at once.
class StartLine {
 public:
  StartLine() {
    if (pipe(fds_) != 0) ADD_FAILURE() << "pipe";
  }
  ~StartLine() {
    Release();
    if (fds_[0] >= 0) close(fds_[0]);
  }
  // In the child: blocks until Release() in the parent.
  void Wait() {
    close(fds_[1]);
    char c;
    while (read(fds_[0], &c, 1) > 0) {
    }
  }
  void Release() {
    if (fds_[1] >= 0) close(fds_[1]);
    fds_[1] = -1;
  }

 private:
  int fds_[2] = {-1, -1};
};

// Forks a child that waits at the start line, runs `body` and exits with its result.
pid_t Spawn(StartLine* start, const std::function<int()>& body) {
  pid_t pid = fork();
  if (pid == 0) {
    start->Wait();
    _exit(body());
  }
  return pid;
}

int ExitCode(pid_t pid) {
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) return -1000;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1001;
}

// Opens with a lock wait without limit, as cooperating processes must.
std::unique_ptr<DatabaseHandle> OpenWaiting(const std::string& path) {
  OpenOptions options;
  options.lock_wait_ms = kWaitForever;
  std::unique_ptr<DatabaseHandle> handle;
  if (DatabaseHandle::Open(path, options, &handle) != kOk) return nullptr;
  return handle;
}

TEST(MultiProcessTest, FourProcessesAppendingAtOnce) {
  testing::TempDir dir;
  const std::string path = dir.File("shared.edb");
  testing::MustCreate(path, {{"who", kFieldInt, 0}, {"i", kFieldInt, 0}});
  constexpr int kProcesses = 4;
  constexpr int kEach = 5000;
  StartLine start;
  std::vector<pid_t> children;
  for (int who = 0; who < kProcesses; ++who) {
    children.push_back(Spawn(&start, [&, who] {
      auto handle = OpenWaiting(path);
      if (!handle) return 10;
      for (int i = 0; i < kEach; ++i) {
        TypedValue values[] = {testing::IntCell(who), testing::IntCell(i)};
        if (handle->AddRecord(values, 2) != kOk) return 11;
      }
      return 0;
    }));
  }
  start.Release();
  for (pid_t child : children) EXPECT_EQ(ExitCode(child), 0);

  auto handle = testing::MustOpen(path);
  int32_t count = 0, serial = 0;
  ASSERT_EQ(handle->ReadRecordCount(&count, &serial), kOk);
  ASSERT_EQ(count, kProcesses * kEach);
  EXPECT_EQ(serial, count + 1);
  EXPECT_EQ(testing::SizeOf(path), handle->records_start() + uint64_t{20000} * 12);
  const std::string file = testing::ReadAll(path);
  std::vector<int> next(kProcesses, 0);
  for (int32_t k = 0; k < count; ++k) {
    const char* record = file.data() + handle->records_start() + static_cast<size_t>(k) * 12;
    ASSERT_EQ(DecodeInt32(record), k + 1) << "serials 1..20000 in file order";
    const int who = DecodeInt32(record + 4);
    ASSERT_TRUE(who >= 0 && who < kProcesses);
    ASSERT_EQ(DecodeInt32(record + 8), next[who]++) << "each process's appends in its order";
  }
  for (int who = 0; who < kProcesses; ++who) EXPECT_EQ(next[who], kEach);
}

// Walks every chain and the free list of a memo file: each block in at most one place, the free
// list as long as its count, nothing unreachable.
void ExpectSoundMemoFile(DatabaseHandle* handle, int memo_field) {
  MemoFile* memo = handle->memo_file();
  MemoHeader header;
  ASSERT_EQ(memo->ReadHeader(&header), kOk);
  std::vector<int> owner(static_cast<size_t>(header.block_count), 0);
  int32_t count = 0;
  ASSERT_EQ(handle->ReadRecordCount(&count), kOk);
  for (int32_t r = 0; r < count; ++r) {
    std::string record;
    ASSERT_EQ(handle->ReadRecordBytes(r, &record), kOk);
    uint32_t block = DecodeFixed32(record.data() + handle->fields()[memo_field].offset);
    while (block != 0) {
      ASSERT_LT(block, owner.size());
      ASSERT_EQ(owner[block], 0) << "block " << block << " twice";
      owner[block] = 1;
      BlockLinks links;
      ASSERT_EQ(memo->ReadBlock(block, &links, nullptr), kOk);
      ASSERT_GT(links.used, 0u);
      block = links.next;
    }
  }
  int free_blocks = 0;
  for (uint32_t block = static_cast<uint32_t>(header.free_head); block != 0;) {
    ASSERT_LT(block, owner.size());
    ASSERT_EQ(owner[block], 0) << "free block " << block << " also used";
    owner[block] = 2;
    ++free_blocks;
    BlockLinks links;
    ASSERT_EQ(memo->ReadBlock(block, &links, nullptr), kOk);
    ASSERT_EQ(links.used, 0u);
    block = links.next;
  }
  EXPECT_EQ(free_blocks, header.free_count);
  for (size_t block = 1; block < owner.size(); ++block) {
    EXPECT_NE(owner[block], 0) << "block " << block << " lost";
  }
}

TEST(MultiProcessTest, TwoProcessesModifyingDifferentRecordsLoseNothing) {
  testing::TempDir dir;
  const std::string path = dir.File("two.edb");
  testing::MustCreate(path,
                      {{"owner", kFieldInt, 0}, {"round", kFieldInt, 0}, {"note", kFieldMemo, 0}});
  constexpr int kRecords = 60;
  constexpr int kRounds = 4;
  {
    auto handle = testing::MustOpen(path);
    for (int r = 0; r < kRecords; ++r) ASSERT_EQ(handle->AppendBlank(), kOk);
  }
  auto note = [](int record, int round) {
    // Lengths change from round to round, so chains grow and shrink and blocks move between
    // records through the shared free list.
    const size_t length = 100 + static_cast<size_t>((record * 7 + round * 13) % 5) * 450;
    return std::string(length, static_cast<char>('a' + (record + round) % 26));
  };
  StartLine start;
  std::vector<pid_t> children;
  for (int owner = 0; owner < 2; ++owner) {
    children.push_back(Spawn(&start, [&, owner] {
      auto handle = OpenWaiting(path);
      if (!handle) return 10;
      for (int round = 1; round <= kRounds; ++round) {
        for (int r = owner; r < kRecords; r += 2) {
          handle->set_current_record(r);
          const std::string text = note(r, round);
          TypedValue values[] = {testing::IntCell(owner), testing::IntCell(round),
                                 testing::TextCell(text)};
          if (handle->ModifyRecord(values, 3) != kOk) return 11;
        }
      }
      return 0;
    }));
  }
  start.Release();
  for (pid_t child : children) EXPECT_EQ(ExitCode(child), 0);

  auto handle = testing::MustOpen(path);
  for (int r = 0; r < kRecords; ++r) {
    handle->set_current_record(r);
    std::string bytes;
    ASSERT_EQ(handle->ReadFieldBytes(0, &bytes), kOk);
    EXPECT_EQ(DecodeInt32(bytes.data()), r % 2);
    ASSERT_EQ(handle->ReadFieldBytes(1, &bytes), kOk);
    EXPECT_EQ(DecodeInt32(bytes.data()), kRounds);
    ASSERT_EQ(handle->ReadFieldBytes(2, &bytes), kOk);
    EXPECT_EQ(bytes, note(r, kRounds)) << "record " << r;
  }
  ExpectSoundMemoFile(handle.get(), 2);
}

// Version v of the rewritten memo: one letter repeated, 18 to 23 blocks long; so a text that
// mixes two versions is told apart from every whole one.
std::string MemoVersion(int v) {
  return std::string(9000 + static_cast<size_t>(v % 3) * 1250, static_cast<char>('a' + v % 26));
}

bool IsWholeVersion(const std::string& text) {
  return !text.empty() && text[0] >= 'a' && text[0] <= 'z' && text == MemoVersion(text[0] - 'a');
}

TEST(MultiProcessTest, MemoRewrittenWhileReadComesBackWholeOrFailsWithALockError) {
  testing::TempDir dir;
  const std::string path = dir.File("memo.edb");
  testing::MustCreate(path, {{"id", kFieldInt, 0}, {"note", kFieldMemo, 0}});
  {
    auto handle = testing::MustOpen(path);
    const std::string first = MemoVersion(0);
    TypedValue values[] = {testing::IntCell(1), testing::TextCell(first)};
    ASSERT_EQ(handle->AddRecord(values, 2), kOk);
  }
  constexpr int kVersions = 26;
  StartLine start;
  // The writer leaves each version in place for a while, long enough for a reader held up in
  // the middle of the chain to wake up into it.
  pid_t writer = Spawn(&start, [&] {
    auto handle = OpenWaiting(path);
    if (!handle) return 10;
    for (int v = 1; v < kVersions; ++v) {
      handle->set_current_record(0);
      const std::string text = MemoVersion(v);
      TypedValue values[] = {TypedValue{}, testing::TextCell(text)};
      if (handle->ModifyRecord(values, 2) != kOk) return 11;
      usleep(30000);
    }
    return 0;
  });
  // A third process holds a block in the middle of the chain most of the time. Writers lock
  // each block they write, so a rewrite is held up halfway, with the record locked, as a busy
  // machine holds it up; the reader comes along while the chain is half rewritten.
  pid_t jitter = Spawn(&start, [&] {
    auto handle = OpenWaiting(path);
    if (!handle) return 10;
    for (int i = 0; i < 250; ++i) {
      if (handle->memo_file()->locks()->Lock(9 * kMemoBlockSize, 0) == kOk) {
        usleep(3000);
        if (handle->memo_file()->locks()->Unlock(9 * kMemoBlockSize) != kOk) return 11;
      }
      usleep(500);
    }
    return 0;
  });
  OpenOptions patient;  // a held block is waited for, not failed at once
  patient.lock_wait_ms = 2000;
  auto reader = testing::MustOpen(path, patient);
  ASSERT_TRUE(reader);
  start.Release();
  int whole = 0, lock_errors = 0, torn = 0, other = 0;
  for (;;) {
    int status = 0;
    const bool done = waitpid(writer, &status, WNOHANG) == writer;
    reader->set_current_record(0);
    std::string bytes;
    const int rc = reader->ReadFieldBytes(1, &bytes);
    if (rc == kOk) {
      IsWholeVersion(bytes) ? ++whole : ++torn;
    } else if (rc == kLockFailed) {
      ++lock_errors;
    } else {
      ++other;
      ADD_FAILURE() << "read failed with " << rc;
    }
    if (done) {
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
      break;
    }
    usleep(300);
  }
  EXPECT_EQ(ExitCode(jitter), 0);
  EXPECT_EQ(torn, 0);
  EXPECT_EQ(other, 0);
  EXPECT_GT(whole, 0);
  RecordProperty("whole_reads", whole);
  RecordProperty("lock_errors", lock_errors);
}

// The chain's first block as the record holds it now, read straight from the file (no lock).
uint32_t FirstBlockUnlocked(const std::string& path, const DatabaseHandle& handle, int field) {
  const std::string file = testing::ReadAll(path);
  const size_t at = handle.records_start() + handle.fields()[field].offset;
  return file.size() >= at + 4 ? DecodeFixed32(file.data() + at) : 0;
}

// Memory the test process shares with its children (mapped before fork()).
struct SharedCounters {
  std::atomic<int> stop{0};
  std::atomic<int> rewrites[2] = {0, 0};
};

template <typename Counters>
class SharedMapping {
 public:
  SharedMapping() {
    void* at =
        mmap(nullptr, sizeof(Counters), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (at != MAP_FAILED) counters_ = new (at) Counters();
  }
  ~SharedMapping() {
    if (counters_ != nullptr) {
      counters_->~Counters();
      munmap(counters_, sizeof(Counters));
    }
  }
  SharedMapping(const SharedMapping&) = delete;
  SharedMapping& operator=(const SharedMapping&) = delete;
  Counters* get() { return counters_; }

 private:
  Counters* counters_ = nullptr;
};

// Two writer processes rewrite one memo (longer and shorter by turns) while a third holds a
// block of the chain now and then, so that a writer waits there with the chain half rewritten
// and the record locked. Meanwhile this process reads the memo with the record lock (field reads
// and sorts) and, in a thread of its own, without it. The writers go on until the unlocked reads
// have seen the rewrites show through (so the locked reads were exposed to them as well), within
// a bound.
TEST(MultiProcessTest, ChainReadUnderTheRecordLockIsNeverTornByWritersInOtherProcesses) {
  testing::TempDir dir;
  const std::string path = dir.File("torn.edb");
  const std::string sorted = dir.File("sorted.edb");
  testing::MustCreate(path, {{"id", kFieldInt, 0}, {"note", kFieldMemo, 0}});
  {
    auto handle = testing::MustOpen(path);
    const std::string first = MemoVersion(0);
    TypedValue values[] = {testing::IntCell(1), testing::TextCell(first)};
    ASSERT_EQ(handle->AddRecord(values, 2), kOk);
  }
  SharedMapping<SharedCounters> mapping;
  SharedCounters* shared = mapping.get();
  ASSERT_NE(shared, nullptr);
  constexpr int kMinRewrites = 15;    // per writer, before the test may stop them
  constexpr int kMaxRewrites = 3000;  // per writer: the bound
  constexpr int kMinLockedReads = 20;
  StartLine start;
  std::vector<pid_t> writers;
  for (int w = 0; w < 2; ++w) {
    writers.push_back(Spawn(&start, [&, w] {
      auto handle = OpenWaiting(path);
      if (!handle) return 10;
      for (int i = 0; i < kMaxRewrites && !shared->stop; ++i) {
        // Writer 0 writes even versions, writer 1 odd ones, so any two rewrites in a row differ
        // in their letter; one writer's rewrites go round 23, 21 and 18 blocks.
        handle->set_current_record(0);
        const std::string text = MemoVersion((2 * i + w + 2) % 26);
        TypedValue values[] = {TypedValue{}, testing::TextCell(text)};
        if (handle->ModifyRecord(values, 2) != kOk) return 11;
        ++shared->rewrites[w];
        usleep(2000);
      }
      return 0;
    }));
  }
  // Blocks 9 (inside every version's chain) and 20 (inside the longer ones only) by turns: a
  // rewrite held at block 9 leaves a chain whose first half is new; one that grows a chain of 18
  // blocks held at block 20 leaves a chain that runs into a block not yet written.
  pid_t jitter = Spawn(&start, [&] {
    auto handle = OpenWaiting(path);
    if (!handle) return 10;
    for (int i = 0; i < 4 * kMaxRewrites && !shared->stop; ++i) {
      const uint64_t block = (i % 2 == 0 ? 9 : 20) * kMemoBlockSize;
      if (handle->memo_file()->locks()->Lock(block, 0) == kOk) {
        usleep(2000);
        if (handle->memo_file()->locks()->Unlock(block) != kOk) return 11;
      }
      usleep(1000);
    }
    return 0;
  });

  OpenOptions patient;
  patient.lock_wait_ms = 10000;
  auto reader = testing::MustOpen(path, patient);
  auto bare = testing::MustOpen(path, patient);
  start.Release();
  if (!reader || !bare) shared->stop = 1;  // let the children finish before the test fails
  std::atomic<bool> bare_done{false};
  std::atomic<int> bare_whole{0}, bare_mixed{0}, bare_failed{0};
  std::thread bare_reads;
  if (bare) {
    // The control: the chain read without the record lock, never held up by the locked reads.
    bare_reads = std::thread([&] {
      while (!bare_done) {
        std::string bytes;
        const uint32_t first = FirstBlockUnlocked(path, *bare, 1);
        const int rc = bare->memo_file()->ReadChain(first, &bytes);
        if (rc != kOk) {
          ++bare_failed;
        } else {
          IsWholeVersion(bytes) ? ++bare_whole : ++bare_mixed;
        }
        usleep(100);
      }
    });
  }

  int whole = 0, torn = 0, failed = 0, sorts = 0, sorts_torn = 0;
  std::vector<int> exit_codes;
  for (int round = 0; reader && exit_codes.size() < writers.size(); ++round) {
    for (pid_t& writer : writers) {
      int status = 0;
      if (writer > 0 && waitpid(writer, &status, WNOHANG) == writer) {
        exit_codes.push_back(WIFEXITED(status) ? WEXITSTATUS(status) : -1001);
        writer = -1;
      }
    }
    reader->set_current_record(0);
    std::string bytes;
    const int rc = reader->ReadFieldBytes(1, &bytes);
    if (rc != kOk) {
      ++failed;
      ADD_FAILURE() << "read failed with " << rc;
    } else {
      IsWholeVersion(bytes) ? ++whole : ++torn;
    }
    if (round % 8 == 0) {
      // A sort copies the chain under the whole-file lock, which excludes every record lock.
      SortRequest request;
      request.target = sorted;
      request.key_names = {"id"};
      OpenOptions alone;
      alone.share = ShareFromArgument(4);
      std::unique_ptr<DatabaseHandle> copy;
      int sort_rc = reader->SortInto(request);
      if (sort_rc == kOk) sort_rc = DatabaseHandle::Open(sorted, alone, &copy);
      if (sort_rc == kOk) sort_rc = copy->ReadFieldBytes(1, &bytes);
      if (sort_rc != kOk) {
        ++failed;
        ADD_FAILURE() << "sort or reading its copy failed with " << sort_rc;
      } else {
        ++sorts;
        if (!IsWholeVersion(bytes)) ++sorts_torn;
      }
    }
    if (shared->rewrites[0] >= kMinRewrites && shared->rewrites[1] >= kMinRewrites &&
        whole >= kMinLockedReads && bare_mixed > 0) {
      shared->stop = 1;
    }
    usleep(300);
  }
  shared->stop = 1;
  bare_done = true;
  if (bare_reads.joinable()) bare_reads.join();
  for (pid_t writer : writers) {
    if (writer > 0) exit_codes.push_back(ExitCode(writer));
  }
  for (int code : exit_codes) EXPECT_EQ(code, 0);
  EXPECT_EQ(ExitCode(jitter), 0);
  ASSERT_TRUE(reader && bare);

  EXPECT_EQ(torn, 0);
  EXPECT_EQ(failed, 0);
  EXPECT_GE(whole, kMinLockedReads);
  EXPECT_EQ(sorts_torn, 0);
  EXPECT_GT(sorts, 0);
  // Without the record lock the rewrites show through as texts that mix two versions; so the
  // locked reads above would have shown them too, had the lock not kept the writers out.
  EXPECT_GT(bare_mixed, 0);
  RecordProperty("locked_reads", whole);
  RecordProperty("rewrites", shared->rewrites[0] + shared->rewrites[1]);
  RecordProperty("unlocked_whole", bare_whole);
  RecordProperty("unlocked_mixed", bare_mixed);
  RecordProperty("unlocked_failed", bare_failed);

  auto handle = testing::MustOpen(path);
  ASSERT_TRUE(handle);
  handle->set_current_record(0);
  std::string last;
  ASSERT_EQ(handle->ReadFieldBytes(1, &last), kOk);
  EXPECT_TRUE(IsWholeVersion(last));
  ExpectSoundMemoFile(handle.get(), 1);
}

// What the processes of the busy-file test tell each other.
struct BusyCounters {
  std::atomic<int> writer_done{0};
  std::atomic<int> lost{0};           // adds that failed
  std::atomic<int> opens_failed{0};   // opens of the writer that failed
  std::atomic<int> writer_sleeps{0};  // sleeps of the writer's lock retries
  std::atomic<int> dumps[2] = {0, 0};
  std::atomic<int> dump_failures{0};  // reads that failed
  std::atomic<int> dump_wrong{0};     // records that read back as no memo the writer wrote
  std::atomic<int> held{0};           // locks the third process held
};

BusyCounters* g_busy = nullptr;  // in the writer: where its sleeps are counted

int CountingNanosleep(const struct timespec* wanted, struct timespec* left) {
  ++g_busy->writer_sleeps;
  return platform::posix::DefaultSyscalls().nanosleep(wanted, left);
}

std::string BusyCategory(int i) { return "k" + std::to_string(i % 7); }
std::string BusyText(int i) { return "memo " + std::to_string(i) + std::string(i % 3 * 300, '.'); }

// One pass of a dump, as `mcn dump` reads: the count, then each record's bytes and each field,
// every read under its lock with a lock wait of 2000 ms. Every record must be one the writer
// wrote, whole.
void DumpOnce(const std::string& path, BusyCounters* shared) {
  OpenOptions options;
  options.access = AccessFromArgument(1);
  options.lock_wait_ms = 2000;
  std::unique_ptr<DatabaseHandle> handle;
  if (DatabaseHandle::Open(path, options, &handle) != kOk) {
    ++shared->dump_failures;
    return;
  }
  int32_t count = 0;
  if (handle->ReadRecordCount(&count) != kOk) {
    ++shared->dump_failures;
    return;
  }
  for (int32_t r = 0; r < count; ++r) {
    std::string raw, category, text;
    handle->set_current_record(r);
    if (handle->ReadRecordBytes(r, &raw) != kOk || handle->ReadFieldBytes(0, &category) != kOk ||
        handle->ReadFieldBytes(2, &text) != kOk) {
      ++shared->dump_failures;
      continue;
    }
    const int serial = DecodeInt32(raw.data());
    if (serial < 1 || category != BusyCategory(serial - 1) || text != BusyText(serial - 1)) {
      ++shared->dump_wrong;
    }
  }
}

// A writer stores 500 memos, opening the memo table for each as the program does (lock wait 0),
// while two readers dump the table in a loop and a third process takes and lets go record locks
// (and the count byte) at random. Each open and write waits for the locks it meets: every memo is
// stored, in order.
TEST(MultiProcessTest, BusyFilesHoldWritesUpButLoseNoMemo) {
  testing::TempDir dir;
  const std::string path = dir.File("a.mcn");
  testing::MustCreate(path, testing::MemoTableFields());
  SharedMapping<BusyCounters> mapping;
  BusyCounters* shared = mapping.get();
  ASSERT_NE(shared, nullptr);
  constexpr int kMemos = 500;
  StartLine start;
  pid_t writer = Spawn(&start, [&] {
    g_busy = shared;
    platform::posix::SyscallTable table = platform::posix::DefaultSyscalls();
    table.nanosleep = CountingNanosleep;
    platform::posix::InstallSyscalls(table);
    for (int i = 0; i < kMemos; ++i) {
      std::unique_ptr<DatabaseHandle> handle;
      if (DatabaseHandle::Open(path, {}, &handle) != kOk) {
        ++shared->opens_failed;
        ++shared->lost;
        continue;
      }
      const std::string category = BusyCategory(i);
      const std::string text = BusyText(i);
      TypedValue values[] = {testing::TextCell(category), testing::DateTimeCell(40000.5 + i),
                             testing::TextCell(text)};
      if (handle->AddRecord(values, 3) != kOk) ++shared->lost;
    }
    shared->writer_done = 1;
    return 0;
  });
  std::vector<pid_t> readers;
  for (int reader = 0; reader < 2; ++reader) {
    readers.push_back(Spawn(&start, [&, reader] {
      // At least one pass after the last memo is in.
      for (bool last = false; !last;) {
        last = shared->writer_done != 0;
        DumpOnce(path, shared);
        ++shared->dumps[reader];
        usleep(5000);
      }
      return 0;
    }));
  }
  pid_t jitter = Spawn(&start, [&] {
    OpenOptions options;
    options.lock_wait_ms = kWaitForever;
    std::unique_ptr<DatabaseHandle> handle;
    if (DatabaseHandle::Open(path, options, &handle) != kOk) return 10;
    uint32_t state = 12345;  // the same choices every run
    auto next = [&state](uint32_t bound) {
      state = state * 1103515245u + 12345u;
      return (state >> 16) % bound;
    };
    while (shared->writer_done == 0) {
      int32_t count = 0;
      if (handle->ReadRecordCount(&count) != kOk) return 11;
      // A record, the slot the next memo goes to, or the count byte.
      const uint32_t pick = next(static_cast<uint32_t>(count) + 2);
      const uint64_t byte = pick == static_cast<uint32_t>(count) + 1
                                ? kRecordCountOffset
                                : handle->records_start() +
                                      uint64_t{pick} * static_cast<uint32_t>(handle->record_size());
      if (handle->locks()->Lock(byte, 0) == kOk) {
        ++shared->held;
        usleep(1000 + next(3000));
        if (handle->locks()->Unlock(byte) != kOk) return 12;
      }
      usleep(3000 + next(10000));
    }
    return 0;
  });
  // The writer's first open meets a held count byte for sure, whatever the others do.
  auto first_in_the_way = testing::MustOpen(path);
  ASSERT_TRUE(first_in_the_way);
  ASSERT_EQ(first_in_the_way->locks()->Lock(kRecordCountOffset, 0), kOk);
  start.Release();
  usleep(100000);
  EXPECT_EQ(first_in_the_way->locks()->Unlock(kRecordCountOffset), kOk);
  first_in_the_way.reset();
  EXPECT_EQ(ExitCode(writer), 0);
  for (pid_t reader : readers) EXPECT_EQ(ExitCode(reader), 0);
  EXPECT_EQ(ExitCode(jitter), 0);

  EXPECT_EQ(shared->lost, 0);
  EXPECT_EQ(shared->opens_failed, 0);
  EXPECT_EQ(shared->dump_failures, 0);
  EXPECT_EQ(shared->dump_wrong, 0);
  EXPECT_GT(shared->dumps[0], 1);
  EXPECT_GT(shared->dumps[1], 1);
  EXPECT_GT(shared->held, 0);
  // The writer met the other processes' locks and waited for them: without waiting, each of
  // these would have been a memo lost.
  EXPECT_GT(shared->writer_sleeps, 0);
  RecordProperty("writer_sleeps", shared->writer_sleeps);
  RecordProperty("dumps", shared->dumps[0] + shared->dumps[1]);
  RecordProperty("held", shared->held);

  auto handle = testing::MustOpen(path);
  ASSERT_TRUE(handle);
  int32_t count = 0, serial = 0;
  ASSERT_EQ(handle->ReadRecordCount(&count, &serial), kOk);
  ASSERT_EQ(count, kMemos);
  EXPECT_EQ(serial, kMemos + 1);
  for (int i = 0; i < kMemos; ++i) {
    handle->set_current_record(i);
    std::string text;
    ASSERT_EQ(handle->ReadFieldBytes(2, &text), kOk);
    ASSERT_EQ(text, BusyText(i)) << "memo " << i << " in its place";
  }
}

// A memo's follow-up log is read, extended and written back: two programs doing that at once
// each write back the log they read, and the entry the other added in between is gone. Holding
// the row's record lock from the read to the write (the lock the read and the write take
// themselves, so they nest in it) keeps every entry of three processes appending to one memo.
TEST(MultiProcessTest, ALogExtendedUnderTheRowLockKeepsEveryEntryOfThreeProcesses) {
  testing::TempDir dir;
  const std::string path = dir.File("a.mcn");
  testing::MustCreate(path, testing::MemoTableFields());
  {
    auto handle = testing::MustOpen(path);
    TypedValue values[] = {testing::TextCell("c"), testing::DateTimeCell(41830.0),
                           testing::TextCell("memo")};
    ASSERT_EQ(handle->AddRecord(values, 3), kOk);
  }
  constexpr int kProcesses = 3;
  constexpr int kEach = 100;
  StartLine start;
  std::vector<pid_t> children;
  for (int who = 0; who < kProcesses; ++who) {
    children.push_back(Spawn(&start, [&, who] {
      // Opening takes the whole-file lock, which a row lock of another process would refuse.
      SetDefaultLockWait(kWaitForever);
      DBProvider provider;
      if (!provider.Connect(path)) return 10;
      DataSource source;
      source.Connect(&provider);
      for (int i = 0; i < kEach; ++i) {
        if (!source.LockRow(0)) return 11;
        std::string log = source.CellText(0, 3);
        // The program builds the new log between the read and the write (it takes the time, for
        // one): let the others run here, where an unguarded read-and-write would lose entries.
        sched_yield();
        log += "|" + std::to_string(who) + ":" + std::to_string(i);
        if (!source.SetCellText(0, 3, log)) return 12;
        if (!source.UnlockRow(0)) return 13;
      }
      return 0;
    }));
  }
  start.Release();
  for (pid_t child : children) EXPECT_EQ(ExitCode(child), 0);

  DBProvider provider;
  ASSERT_TRUE(provider.Connect(path));
  const std::string log = provider.CellText(0, 3);
  std::vector<int> next(kProcesses, 0);
  int entries = 0;
  for (size_t at = 0; at < log.size();) {
    ASSERT_EQ(log[at], '|') << "at byte " << at;
    size_t end = log.find('|', at + 1);
    if (end == std::string::npos) end = log.size();
    const std::string entry = log.substr(at + 1, end - at - 1);
    const size_t colon = entry.find(':');
    ASSERT_NE(colon, std::string::npos) << entry;
    const int who = std::stoi(entry.substr(0, colon));
    ASSERT_TRUE(who >= 0 && who < kProcesses) << entry;
    EXPECT_EQ(std::stoi(entry.substr(colon + 1)), next[who]++) << "each process's in its order";
    ++entries;
    at = end;
  }
  EXPECT_EQ(entries, kProcesses * kEach);
  for (int who = 0; who < kProcesses; ++who) EXPECT_EQ(next[who], kEach) << "process " << who;
}

// The row lock: while one handle holds it, another handle's write of that record is refused
// (no wait), the holder's own reads and writes pass; a lock outside the table is -44; an unlock
// of a record not held is -29.
TEST(MultiProcessTest, AHeldRecordLockKeepsOtherHandlesOutAndLetsItsOwnOperationsIn) {
  testing::TempDir dir;
  const std::string path = dir.File("a.mcn");
  testing::MustCreate(path, testing::MemoTableFields());
  auto holder = testing::MustOpen(path);
  TypedValue values[] = {testing::TextCell("c"), testing::DateTimeCell(41830.0),
                         testing::TextCell("memo")};
  ASSERT_EQ(holder->AddRecord(values, 3), kOk);
  auto other = testing::MustOpen(path);
  other->set_lock_wait(kNoLockWait);
  ASSERT_EQ(holder->LockRecord(0), kOk);
  other->set_current_record(0);
  EXPECT_EQ(other->WriteField(2, testing::TextCell("other")), kLockFailed);
  holder->set_current_record(0);
  ASSERT_EQ(holder->WriteField(2, testing::TextCell("mine")), kOk);
  EXPECT_EQ(testing::FieldText(holder.get(), "记事"), "mine");
  ASSERT_EQ(holder->UnlockRecord(0), kOk);
  EXPECT_EQ(other->WriteField(2, testing::TextCell("other")), kOk);
  EXPECT_EQ(holder->LockRecord(1), kNoSuchRecord);
  EXPECT_EQ(holder->LockRecord(-1), kNoSuchRecord);
  EXPECT_EQ(holder->UnlockRecord(0), kUnlockFailed);
}

}  // namespace
}  // namespace memo::db
