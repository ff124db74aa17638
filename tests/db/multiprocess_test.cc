// Several processes on one database at once (fork()): appends, modifications of different
// records, and a memo text rewritten while another process reads it.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <set>

#include "db/coding.h"
#include "db/engine_code.h"
#include "db/memo_format.h"
#include "test_util.h"

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
  testing::MustCreate(path, {{"owner", kFieldInt, 0}, {"round", kFieldInt, 0},
                             {"note", kFieldMemo, 0}});
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
  return !text.empty() && text[0] >= 'a' && text[0] <= 'z' &&
         text == MemoVersion(text[0] - 'a');
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
  // A third process holds a block in the middle of the chain most of the time, so that walks
  // through the chain are held up halfway, as a busy machine holds them up.
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

}  // namespace
}  // namespace memo::db
