// shapelib's DBF functions as a peer. DBF has no memo type that shapelib writes, so the nearest
// equivalent stands in: in the table, the memo texts are character fields of the widest width DBF
// allows (254 bytes; the benchmark's record texts fit); the 1 KB and 100 KB memos live in a second
// DBF file as a run of 254-byte character records, one per piece, rewritten in place - the way a
// DBT memo file chains fixed blocks. shapelib buffers the current record and writes through stdio,
// and updates the header only when the file is closed; it is measured as it ships.
#include <shapefil.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/workload.h"

namespace memo::bench {
namespace {

constexpr int kNoteWidth = 254;

class Dbf {
 public:
  explicit Dbf(DBFHandle handle) : handle_(handle) {}
  ~Dbf() { Close(); }
  Dbf(const Dbf&) = delete;
  Dbf& operator=(const Dbf&) = delete;
  DBFHandle get() const { return handle_; }
  bool ok() const { return handle_ != nullptr; }
  void Close() {
    if (handle_) DBFClose(handle_);
    handle_ = nullptr;
  }

 private:
  DBFHandle handle_;
};

DBFHandle CreateTable(const std::string& path) {
  std::filesystem::remove(path);
  DBFHandle dbf = DBFCreateEx(path.c_str(), "LDID/77");  // 77: code page 936 (GBK)
  if (!dbf) return nullptr;
  if (DBFAddField(dbf, "CAT", FTString, 10, 0) < 0 ||
      DBFAddField(dbf, "TIME", FTDouble, 19, 8) < 0 ||
      DBFAddField(dbf, "NOTE", FTString, kNoteWidth, 0) < 0 ||
      DBFAddField(dbf, "FOLLOW", FTString, kNoteWidth, 0) < 0) {
    DBFClose(dbf);
    return nullptr;
  }
  return dbf;
}

bool AppendRow(DBFHandle dbf, int index, const Row& row) {
  return DBFWriteStringAttribute(dbf, index, 0, row.category) &&
         DBFWriteDoubleAttribute(dbf, index, 1, row.time) &&
         DBFWriteStringAttribute(dbf, index, 2, row.note.c_str()) &&
         DBFWriteStringAttribute(dbf, index, 3, "");
}

std::string SourceTable() {
  static bool made = false;
  std::string path = WorkPath("shapelib_source.dbf");
  if (made) return path;
  Dbf dbf(CreateTable(path));
  for (int i = 0; i < kRecords && dbf.ok(); ++i) AppendRow(dbf.get(), i, MakeRow(i));
  made = true;
  return path;
}

void Append(benchmark::State& state) {
  std::string path = WorkPath("shapelib_append.dbf");
  for (auto _ : state) {
    state.PauseTiming();
    std::filesystem::remove(path);
    state.ResumeTiming();
    Dbf dbf(CreateTable(path));
    if (!dbf.ok()) {
      state.SkipWithError("DBFCreate failed");
      break;
    }
    for (int i = 0; i < kRecords; ++i) {
      if (!AppendRow(dbf.get(), i, MakeRow(i))) {
        state.SkipWithError("DBFWrite failed");
        break;
      }
    }
  }
}

void Read(benchmark::State& state) {
  std::string path = SourceTable();
  for (auto _ : state) {
    Dbf dbf(DBFOpen(path.c_str(), "rb"));
    if (!dbf.ok() || DBFGetRecordCount(dbf.get()) != kRecords) {
      state.SkipWithError("DBFOpen failed");
      break;
    }
    size_t bytes = 0;
    double sum = 0;
    for (int i = 0; i < kRecords; ++i) {
      bytes += std::strlen(DBFReadStringAttribute(dbf.get(), i, 0));
      sum += DBFReadDoubleAttribute(dbf.get(), i, 1);
      bytes += std::strlen(DBFReadStringAttribute(dbf.get(), i, 2));
      bytes += std::strlen(DBFReadStringAttribute(dbf.get(), i, 3));
    }
    benchmark::DoNotOptimize(bytes);
    benchmark::DoNotOptimize(sum);
  }
}

// Filter by category, sort the kept records by category, copy them raw into a new DBF.
void Sort(benchmark::State& state) {
  std::string source = SourceTable();
  std::string target = WorkPath("shapelib_sorted.dbf");
  const std::string wanted = kCategories[kSortCategory];
  for (auto _ : state) {
    state.PauseTiming();
    std::filesystem::remove(target);
    state.ResumeTiming();
    Dbf in(DBFOpen(source.c_str(), "rb"));
    if (!in.ok()) {
      state.SkipWithError("DBFOpen failed");
      break;
    }
    struct Entry {
      std::string key;
      int record;
    };
    std::vector<Entry> kept;
    int count = DBFGetRecordCount(in.get());
    for (int i = 0; i < count; ++i) {
      std::string category = DBFReadStringAttribute(in.get(), i, 0);
      if (category == wanted) kept.push_back({std::move(category), i});
    }
    std::sort(kept.begin(), kept.end(),
              [](const Entry& a, const Entry& b) { return a.key < b.key; });
    Dbf out(DBFCloneEmpty(in.get(), target.c_str()));
    if (!out.ok()) {
      state.SkipWithError("DBFCloneEmpty failed");
      break;
    }
    // DBFReadTuple hands out shapelib's own buffer; the copy keeps it apart from the writer's.
    std::vector<char> copy(static_cast<size_t>(in.get()->nRecordLength));
    for (size_t i = 0; i < kept.size(); ++i) {
      const char* raw = DBFReadTuple(in.get(), kept[i].record);
      std::memcpy(copy.data(), raw, copy.size());
      DBFWriteTuple(out.get(), static_cast<int>(i), copy.data());
    }
  }
}

// The memo file stand-in: one 254-byte character field per record, a memo being a run of
// records.
std::string MemoFile(size_t bytes, int* pieces) {
  std::string path = WorkPath("shapelib_memo.dbf");
  std::filesystem::remove(path);
  DBFHandle dbf = DBFCreate(path.c_str());
  DBFAddField(dbf, "DATA", FTString, kNoteWidth, 0);
  std::string text = MakeMemoText(bytes, 0);
  *pieces = static_cast<int>((bytes + kNoteWidth - 1) / kNoteWidth);
  for (int i = 0; i < *pieces; ++i) {
    DBFWriteStringAttribute(dbf, i, 0, text.substr(i * kNoteWidth, kNoteWidth).c_str());
  }
  DBFClose(dbf);
  return path;
}

void MemoWrite(benchmark::State& state, size_t bytes) {
  int pieces = 0;
  std::string path = MemoFile(bytes, &pieces);
  std::string texts[2] = {MakeMemoText(bytes, 0), MakeMemoText(bytes, 1)};
  Dbf dbf(DBFOpen(path.c_str(), "rb+"));
  int variant = 0;
  char piece[kNoteWidth + 1];
  for (auto _ : state) {
    const std::string& text = texts[variant ^= 1];
    for (int i = 0; i < pieces; ++i) {
      size_t n = std::min<size_t>(kNoteWidth, text.size() - static_cast<size_t>(i) * kNoteWidth);
      std::memcpy(piece, text.data() + static_cast<size_t>(i) * kNoteWidth, n);
      piece[n] = '\0';
      if (!DBFWriteStringAttribute(dbf.get(), i, 0, piece)) {
        state.SkipWithError("DBFWriteStringAttribute failed");
        break;
      }
    }
  }
}

void MemoRead(benchmark::State& state, size_t bytes) {
  int pieces = 0;
  std::string path = MemoFile(bytes, &pieces);
  Dbf dbf(DBFOpen(path.c_str(), "rb"));
  for (auto _ : state) {
    std::string text;
    for (int i = 0; i < pieces; ++i) text += DBFReadStringAttribute(dbf.get(), i, 0);
    if (text.size() != bytes) {
      state.SkipWithError("memo came back with the wrong length");
      break;
    }
    benchmark::DoNotOptimize(text.data());
  }
}

const bool kRegistered = [] {
  RegisterPeer("shapelib", Append, Read, Sort, MemoWrite, MemoRead);
  return true;
}();

}  // namespace
}  // namespace memo::bench
