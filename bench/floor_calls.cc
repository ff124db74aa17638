// The cost of one system call of each kind the engine's commands are made of, measured with
// plain calls on a memo table's record file: the floor rows of the application's table. A locked
// read is the rule's read of a field or of the record count: an open-file-description lock on
// one byte, a pread of the bytes, the unlock. Each benchmark iteration is one such unit; the
// offsets walk the records of the 100 000-memo table, as a scan over the table does.
#include <fcntl.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include "bench/memo_tables.h"
#include "bench/workload.h"

namespace memo::bench {
namespace {

constexpr int kTableMemos = 100000;
constexpr int64_t kRecordsStart = 112 + 4 + 72 * 4;

class Descriptor {
 public:
  explicit Descriptor(const std::string& path) : fd_(open(path.c_str(), O_RDWR | O_CLOEXEC)) {}
  ~Descriptor() {
    if (fd_ >= 0) close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

bool SetLock(int fd, short type, int64_t offset) {
  struct flock fl = {};
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = offset;
  fl.l_len = 1;
  return fcntl(fd, F_OFD_SETLK, &fl) == 0;
}

int64_t RecordAt(int64_t i) { return kRecordsStart + (i % kTableMemos) * kRecordSize; }

template <typename Unit>
void Measure(benchmark::State& state, Unit unit) {
  const std::string& table = MemoTable(kTableMemos);
  Descriptor fd(table);
  if (table.empty() || fd.get() < 0) return state.SkipWithError("no table");
  int64_t i = 0;
  for (auto _ : state) {
    if (!unit(fd.get(), i++)) {
      state.SkipWithError("a call failed");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations());
}

void FloorPread(benchmark::State& state) {
  Measure(state, [](int fd, int64_t i) {
    char bytes[10];
    return pread(fd, bytes, sizeof bytes, RecordAt(i) + 4) == sizeof bytes;
  });
}

// An 8-byte write in place, into a scratch file as large as the table's record file.
void FloorPwrite(benchmark::State& state) {
  const std::string path = WorkPath("floor_pwrite.bin");
  int fd = open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0 || ftruncate(fd, RecordAt(kTableMemos - 1) + kRecordSize) != 0) {
    if (fd >= 0) close(fd);
    return state.SkipWithError("no scratch file");
  }
  int64_t i = 0;
  const char bytes[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  for (auto _ : state) {
    if (pwrite(fd, bytes, sizeof bytes, RecordAt(i++) + 14) != sizeof bytes) {
      state.SkipWithError("pwrite failed");
      break;
    }
  }
  close(fd);
  state.SetItemsProcessed(state.iterations());
}

void FloorLockUnlock(benchmark::State& state) {
  Measure(state, [](int fd, int64_t i) {
    return SetLock(fd, F_WRLCK, RecordAt(i)) && SetLock(fd, F_UNLCK, RecordAt(i));
  });
}

void FloorLockedRead(benchmark::State& state) {
  Measure(state, [](int fd, int64_t i) {
    char bytes[10];
    bool ok = SetLock(fd, F_WRLCK, RecordAt(i));
    ok = pread(fd, bytes, sizeof bytes, RecordAt(i) + 4) == sizeof bytes && ok;
    return SetLock(fd, F_UNLCK, RecordAt(i)) && ok;
  });
}

// A locked read of a memo field: the record's block number under the record lock, then the
// chain's one block.
void FloorLockedMemoRead(benchmark::State& state) {
  const std::string& table = MemoTable(kTableMemos);
  std::string memo_path = table.substr(0, table.size() - 4) + ".EDT";
  Descriptor memo(memo_path);
  if (memo.get() < 0) return state.SkipWithError("no memo file");
  const int memo_fd = memo.get();
  Measure(state, [memo_fd](int fd, int64_t i) {
    uint32_t block = 0;
    char buffer[kMemoBlock];
    bool ok = SetLock(fd, F_WRLCK, RecordAt(i));
    ok = pread(fd, &block, 4, RecordAt(i) + 22) == 4 && ok;
    ok = pread(memo_fd, buffer, kMemoBlock, int64_t{block} * kMemoBlock) == kMemoBlock && ok;
    return SetLock(fd, F_UNLCK, RecordAt(i)) && ok;
  });
}

void PerCallUnit(benchmark::internal::Benchmark* b) {
  b->Repetitions(3)->Unit(benchmark::kNanosecond)->UseRealTime()->MinTime(0.2);
}

BENCHMARK(FloorPread)->Name("floor_call/pread")->Apply(PerCallUnit);
BENCHMARK(FloorPwrite)->Name("floor_call/pwrite")->Apply(PerCallUnit);
BENCHMARK(FloorLockUnlock)->Name("floor_call/lock_unlock")->Apply(PerCallUnit);
BENCHMARK(FloorLockedRead)->Name("floor_call/locked_read")->Apply(PerCallUnit);
BENCHMARK(FloorLockedMemoRead)->Name("floor_call/locked_memo_read")->Apply(PerCallUnit);

}  // namespace
}  // namespace memo::bench
