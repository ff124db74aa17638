// The work every peer of the benchmark does, on the memo table's layout: category (text of 10
// bytes), time stamp (date-time), memo text (memo), follow-up log (memo). Every peer gets the same
// GBK bytes, so the table compares storage engines and nothing else.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <string>

namespace memo::bench {

constexpr int kRecords = 100000;

// Categories as GBK bytes: "收款", "付款", "转账", "其他". The sort keeps one of them, as the
// application's category query does.
inline const char* const kCategories[] = {"\xca\xd5\xbf\xee", "\xb8\xb6\xbf\xee",
                                          "\xd7\xaa\xd5\xcb", "\xc6\xe4\xcb\xfb"};
constexpr int kCategoryCount = 4;
constexpr int kSortCategory = 0;  // "收款": a quarter of the records

// GBK field names of the memo table: "分类", "时间", "记事", "跟进".
inline const char kFieldCategory[] = "\xb7\xd6\xc0\xe0";
inline const char kFieldTime[] = "\xca\xb1\xbc\xe4";
inline const char kFieldNote[] = "\xbc\xc7\xca\xc2";
inline const char kFieldFollowUp[] = "\xb8\xfa\xbd\xf8";

// Record i of the generated table. The memo text is short (one memo block), the follow-up log
// empty, as when the application records a new memo.
struct Row {
  const char* category;
  double time;
  std::string note;
};

inline Row MakeRow(int i) {
  Row row;
  row.category = kCategories[i % kCategoryCount];
  // 2014-07-10 09:00 plus i seconds.
  row.time = 41830.375 + static_cast<double>(i) / 86400.0;
  char buffer[96];
  // "记事" followed by the record number and some filler, about 60 bytes.
  std::snprintf(buffer, sizeof buffer,
                "\xbc\xc7\xca\xc2 %07d: customer called about the invoice, call back", i);
  row.note = buffer;
  return row;
}

// A memo text of exactly `bytes` bytes; `variant` changes every byte so that consecutive writes
// differ.
inline std::string MakeMemoText(size_t bytes, int variant) {
  std::string text(bytes, 'a');
  for (size_t i = 0; i < bytes; ++i) {
    text[i] = static_cast<char>('a' + (i + static_cast<size_t>(variant)) % 26);
  }
  return text;
}

// The directory every peer writes its files into (made by the benchmark's main()).
const std::string& WorkDir();
std::string WorkPath(const std::string& name);

// Record layout of the memo table in the record file: serial at 0, category 4..13, time 14..21,
// memo 22..25, follow-up 26..29.
constexpr int kRecordSize = 30;
constexpr int kMemoBlock = 512;
constexpr int kMemoData = 500;

// Settings shared by every peer: an operation over the whole table runs once per repetition; a
// memo call runs as often as Google Benchmark likes. Wall-clock time, since the work is I/O.
inline void WholeTable(benchmark::internal::Benchmark* b) {
  b->Iterations(1)->Repetitions(3)->Unit(benchmark::kMillisecond)->UseRealTime();
}
inline void PerCall(benchmark::internal::Benchmark* b) {
  b->Repetitions(3)->Unit(benchmark::kMicrosecond)->UseRealTime();
}

// Registers one peer's seven rows under the names bench/run.sh reads: append/P, read/P, sort/P,
// memo_write_1k/P, memo_read_1k/P, memo_write_100k/P and memo_read_100k/P. `extra` (a peer's
// setting, or nothing) is passed to every routine, before the memo size.
template <typename Row, typename MemoRow, typename... Extra>
void RegisterPeer(const std::string& peer, Row append, Row read, Row sort, MemoRow memo_write,
                  MemoRow memo_read, Extra... extra) {
  benchmark::RegisterBenchmark(("append/" + peer).c_str(), append, extra...)->Apply(WholeTable);
  benchmark::RegisterBenchmark(("read/" + peer).c_str(), read, extra...)->Apply(WholeTable);
  benchmark::RegisterBenchmark(("sort/" + peer).c_str(), sort, extra...)->Apply(WholeTable);
  for (size_t kb : {1, 100}) {
    std::string size = std::to_string(kb) + "k/";
    benchmark::RegisterBenchmark(("memo_write_" + size + peer).c_str(), memo_write, extra...,
                                 kb * 1024)
        ->Apply(PerCall);
    benchmark::RegisterBenchmark(("memo_read_" + size + peer).c_str(), memo_read, extra...,
                                 kb * 1024)
        ->Apply(PerCall);
  }
}

}  // namespace memo::bench
