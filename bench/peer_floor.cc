// The floor: the bytes the engine's commands have to move, moved with plain pread/pwrite on file
// descriptors, no locks, no checks, no value conversions, no allocation. The files have the
// engine's layout (records after a 404-byte header and field table, memo texts in chains of
// 512-byte blocks). The work is cut into the same commands as the application's: nothing is kept
// in memory from one command to the next, so a command reads what it needs from the file (a read
// field reads its field; a skip reads the record count), and a command writes what it changes.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/workload.h"

namespace memo::bench {
namespace {

constexpr int64_t kRecordsStart = 112 + 4 + 72 * 4;

class Fd {
 public:
  Fd(const std::string& path, int flags) : fd_(open(path.c_str(), flags, 0644)) {}
  ~Fd() {
    if (fd_ >= 0) close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  bool ok() const { return fd_ >= 0; }

 private:
  int fd_;
};

void Put32(char* at, uint32_t v) { std::memcpy(at, &v, 4); }
uint32_t Get32(const char* at) {
  uint32_t v;
  std::memcpy(&v, at, 4);
  return v;
}

void EncodeRecord(int serial, const Row& row, uint32_t note_block, char* record) {
  std::memset(record, 0, kRecordSize);
  Put32(record, static_cast<uint32_t>(serial));
  std::strncpy(record + 4, row.category, 10);
  std::memcpy(record + 14, &row.time, 8);
  Put32(record + 22, note_block);
}

// Lays `text` out as a chain of consecutive blocks starting at `first`.
std::vector<char> EncodeChain(const std::string& text, uint32_t first) {
  size_t pieces = (text.size() + kMemoData - 1) / kMemoData;
  std::vector<char> blocks(pieces * kMemoBlock, 0);
  for (size_t i = 0; i < pieces; ++i) {
    char* block = blocks.data() + i * kMemoBlock;
    size_t used = std::min<size_t>(kMemoData, text.size() - i * kMemoData);
    Put32(block, i == 0 ? 0 : first + static_cast<uint32_t>(i) - 1);
    Put32(block + 4, i + 1 == pieces ? 0 : first + static_cast<uint32_t>(i) + 1);
    Put32(block + 8, static_cast<uint32_t>(used));
    std::memcpy(block + 12, text.data() + i * kMemoData, used);
  }
  return blocks;
}

// Appends kRecords records one at a time: memo block, memo header, record, record count.
bool WriteTable(const std::string& base) {
  std::string rec_path = base + ".mcn", memo_path = base + ".edt";
  Fd rec(rec_path, O_RDWR | O_CREAT | O_TRUNC);
  Fd memo(memo_path, O_RDWR | O_CREAT | O_TRUNC);
  if (!rec.ok() || !memo.ok()) return false;
  char header[kRecordsStart] = {};
  char memo_header[kMemoBlock] = {};
  if (pwrite(rec.get(), header, sizeof header, 0) != sizeof header) return false;
  if (pwrite(memo.get(), memo_header, sizeof memo_header, 0) != sizeof memo_header) return false;
  char record[kRecordSize];
  for (int i = 0; i < kRecords; ++i) {
    Row row = MakeRow(i);
    uint32_t block = static_cast<uint32_t>(i) + 1;
    std::vector<char> chain = EncodeChain(row.note, block);
    int32_t counts[2] = {i + 1, i + 2};
    int32_t block_count = static_cast<int32_t>(block) + 1;
    EncodeRecord(i + 1, row, block, record);
    if (pwrite(memo.get(), chain.data(), chain.size(), int64_t{block} * kMemoBlock) < 0 ||
        pwrite(memo.get(), &block_count, 4, 16) != 4 ||
        pwrite(rec.get(), record, kRecordSize, kRecordsStart + int64_t{i} * kRecordSize) !=
            kRecordSize ||
        pwrite(rec.get(), counts, 8, 16) != 8) {
      return false;
    }
  }
  return true;
}

std::string SourceTable() {
  static bool made = false;
  std::string base = WorkPath("floor_source");
  if (!made) made = WriteTable(base);
  return base;
}

// Reads a memo chain block by block (the general case: chains need not be contiguous).
bool ReadChain(int fd, uint32_t block, std::string* out) {
  out->clear();
  char buffer[kMemoBlock];
  while (block != 0) {
    if (pread(fd, buffer, kMemoBlock, int64_t{block} * kMemoBlock) != kMemoBlock) return false;
    uint32_t used = std::min<uint32_t>(Get32(buffer + 8), kMemoData);
    out->append(buffer + 12, used);
    block = Get32(buffer + 4);
  }
  return true;
}

void Append(benchmark::State& state) {
  for (auto _ : state) {
    if (!WriteTable(WorkPath("floor_append"))) state.SkipWithError("pwrite failed");
  }
}

// One read per command, as the engine's commands must do it: each field of the record on its
// own (the application reads field by field), the memo chain block by block (a block's next link
// is known only once it is read), and the record count for every skip.
void Read(benchmark::State& state) {
  std::string base = SourceTable();
  for (auto _ : state) {
    Fd rec(base + ".mcn", O_RDONLY);
    Fd memo(base + ".edt", O_RDONLY);
    size_t bytes = 0;
    double sum = 0;
    std::string category, note, follow;
    char field[16];
    int32_t counts[2] = {0, 0};
    for (int i = 0; i < kRecords; ++i) {
      const int64_t at = kRecordsStart + int64_t{i} * kRecordSize;
      if (pread(rec.get(), field, 10, at + 4) != 10) {
        state.SkipWithError("pread failed");
        break;
      }
      category.assign(field, strnlen(field, 10));
      double time;
      pread(rec.get(), &time, 8, at + 14);
      sum += time;
      uint32_t block = 0;
      pread(rec.get(), &block, 4, at + 22);
      ReadChain(memo.get(), block, &note);
      pread(rec.get(), &block, 4, at + 26);
      ReadChain(memo.get(), block, &follow);
      bytes += category.size() + note.size() + follow.size();
      pread(rec.get(), counts, 8, 16);  // skip
    }
    benchmark::DoNotOptimize(bytes);
    benchmark::DoNotOptimize(sum);
    benchmark::DoNotOptimize(counts);
  }
}

void Sort(benchmark::State& state) {
  std::string base = SourceTable();
  std::string target = WorkPath("floor_sorted");
  const char* wanted = kCategories[kSortCategory];
  for (auto _ : state) {
    Fd rec(base + ".mcn", O_RDONLY);
    Fd memo(base + ".edt", O_RDONLY);
    Fd out(target + ".mcn", O_RDWR | O_CREAT | O_TRUNC);
    Fd out_memo(target + ".edt", O_RDWR | O_CREAT | O_TRUNC);
    struct Entry {
      char record[kRecordSize];
    };
    std::vector<Entry> kept;
    const int per_chunk = 163840 / kRecordSize;
    std::vector<char> chunk(static_cast<size_t>(per_chunk) * kRecordSize);
    char wanted_key[10] = {};
    std::strncpy(wanted_key, wanted, sizeof wanted_key);
    for (int first = 0; first < kRecords; first += per_chunk) {
      int n = std::min(per_chunk, kRecords - first);
      pread(rec.get(), chunk.data(), static_cast<size_t>(n) * kRecordSize,
            kRecordsStart + int64_t{first} * kRecordSize);
      for (int i = 0; i < n; ++i) {
        const char* r = chunk.data() + static_cast<size_t>(i) * kRecordSize;
        if (std::memcmp(r + 4, wanted_key, 10) == 0) {
          kept.emplace_back();
          std::memcpy(kept.back().record, r, kRecordSize);
        }
      }
    }
    std::sort(kept.begin(), kept.end(), [](const Entry& a, const Entry& b) {
      return std::memcmp(a.record + 4, b.record + 4, 10) < 0;
    });
    char header[kRecordsStart] = {};
    char memo_header[kMemoBlock] = {};
    pwrite(out.get(), header, sizeof header, 0);
    pwrite(out_memo.get(), memo_header, sizeof memo_header, 0);
    std::string note;
    uint32_t next_block = 1;
    for (size_t i = 0; i < kept.size(); ++i) {
      char* r = kept[i].record;
      ReadChain(memo.get(), Get32(r + 22), &note);
      std::vector<char> chain = EncodeChain(note, next_block);
      pwrite(out_memo.get(), chain.data(), chain.size(), int64_t{next_block} * kMemoBlock);
      Put32(r, static_cast<uint32_t>(i + 1));
      Put32(r + 22, chain.empty() ? 0 : next_block);
      next_block += static_cast<uint32_t>(chain.size() / kMemoBlock);
      pwrite(out.get(), r, kRecordSize, kRecordsStart + static_cast<int64_t>(i) * kRecordSize);
    }
    int32_t counts[2] = {static_cast<int32_t>(kept.size()), static_cast<int32_t>(kept.size()) + 1};
    pwrite(out.get(), counts, 8, 16);
    int32_t block_count = static_cast<int32_t>(next_block);
    pwrite(out_memo.get(), &block_count, 4, 16);
  }
}

// One record whose memo chain starts at block 1; a rewrite puts the same number of blocks in the
// same place, as the engine's in-place chain rewrite does: one write per block (each block is
// its own unit of the format), then the record.
void MemoWrite(benchmark::State& state, size_t bytes) {
  std::string base = WorkPath("floor_memo");
  Fd rec(base + ".mcn", O_RDWR | O_CREAT | O_TRUNC);
  Fd memo(base + ".edt", O_RDWR | O_CREAT | O_TRUNC);
  std::string texts[2] = {MakeMemoText(bytes, 0), MakeMemoText(bytes, 1)};
  char record[kRecordSize];
  EncodeRecord(1, MakeRow(0), 1, record);
  int variant = 0;
  for (auto _ : state) {
    std::vector<char> chain = EncodeChain(texts[variant ^= 1], 1);
    bool ok = true;
    for (size_t at = 0; at < chain.size(); at += kMemoBlock) {
      ok = ok && pwrite(memo.get(), chain.data() + at, kMemoBlock,
                        kMemoBlock + static_cast<int64_t>(at)) == kMemoBlock;
    }
    ok = ok && pwrite(rec.get(), record + 4, kRecordSize - 4, kRecordsStart + 4) == kRecordSize - 4;
    if (!ok) {
      state.SkipWithError("pwrite failed");
      break;
    }
  }
}

// The field's block number, then the chain block by block.
void MemoRead(benchmark::State& state, size_t bytes) {
  std::string base = WorkPath("floor_memo");
  Fd rec(base + ".mcn", O_RDWR | O_CREAT | O_TRUNC);
  Fd memo(base + ".edt", O_RDWR | O_CREAT | O_TRUNC);
  std::vector<char> chain = EncodeChain(MakeMemoText(bytes, 0), 1);
  pwrite(memo.get(), chain.data(), chain.size(), kMemoBlock);
  char record[kRecordSize];
  EncodeRecord(1, MakeRow(0), 1, record);
  pwrite(rec.get(), record, kRecordSize, kRecordsStart);
  std::string text;
  for (auto _ : state) {
    uint32_t first = 0;
    pread(rec.get(), &first, 4, kRecordsStart + 22);
    if (!ReadChain(memo.get(), first, &text) || text.size() != bytes) {
      state.SkipWithError("memo came back with the wrong length");
      break;
    }
    benchmark::DoNotOptimize(text.data());
  }
}

const bool kRegistered = [] {
  RegisterPeer("floor", Append, Read, Sort, MemoWrite, MemoRead);
  return true;
}();

}  // namespace
}  // namespace memo::bench
