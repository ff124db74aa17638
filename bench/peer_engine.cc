// The engine, driven one command per record as the application drives it: add record with
// values, move first / read field / skip, sort into a new file with a condition routine, modify
// and read a memo field. "engine" opens with share mode 1 (others may read and write: every
// operation takes its byte-range locks), as the application does; "engine_excl" opens with share
// mode 4 (nobody else may open the file: the lock-free flag is set and no locks are taken).
#include <filesystem>
#include <memory>
#include <string>

#include "bench/workload.h"
#include "db/create.h"
#include "db/database.h"
#include "db/engine_code.h"
#include "runtime/heap.h"
#include "runtime/text.h"

namespace memo::bench {
namespace {

enum class Sharing { kShared, kExclusive };

const char* PeerName(Sharing sharing) {
  return sharing == Sharing::kShared ? "engine" : "engine_excl";
}

std::string Gbk(const char* bytes) { return bytes; }

int CreateMemoTable(const std::string& path) {
  std::filesystem::remove(path);
  std::filesystem::remove(std::filesystem::path(path).replace_extension(".EDT"));
  std::vector<db::FieldSpec> fields = {{Gbk(kFieldCategory), db::kFieldText, 10},
                                       {Gbk(kFieldTime), db::kFieldDateTime, 0},
                                       {Gbk(kFieldNote), db::kFieldMemo, 0},
                                       {Gbk(kFieldFollowUp), db::kFieldMemo, 0}};
  return db::CreateDatabase(path, fields);
}

int OpenTable(const std::string& path, Sharing sharing, std::unique_ptr<db::DatabaseHandle>* out) {
  db::OpenOptions options;
  options.share = sharing == Sharing::kShared ? db::OpenShare::kDenyNone : db::OpenShare::kDenyBoth;
  return db::DatabaseHandle::Open(path, options, out);
}

TypedValue TextValue(const char* text) {
  TypedValue value;
  value.tag = TypeTag::kText;
  value.SetPointer(text);
  return value;
}

int AddRow(db::DatabaseHandle* db, const Row& row) {
  TypedValue values[3];
  values[0] = TextValue(row.category);
  values[1].tag = TypeTag::kDateTime;
  values[1].SetDouble(row.time);
  values[2] = TextValue(row.note.c_str());
  return db->AddRecord(values, 3);
}

int FillTable(const std::string& path, Sharing sharing, int records) {
  int rc = CreateMemoTable(path);
  if (rc != db::kOk) return rc;
  std::unique_ptr<db::DatabaseHandle> db;
  rc = OpenTable(path, sharing, &db);
  for (int i = 0; rc == db::kOk && i < records; ++i) rc = AddRow(db.get(), MakeRow(i));
  return rc;
}

// The 100000-record table the read and sort start from, made once (both peers read it).
std::string SourceTable() {
  static bool made = false;
  std::string path = WorkPath("engine_source.mcn");
  if (!made) made = FillTable(path, Sharing::kExclusive, kRecords) == db::kOk;
  return path;
}

void Fail(benchmark::State& state, const char* what, int rc) {
  std::string message = std::string(what) + " failed with " + std::to_string(rc);
  state.SkipWithError(message.c_str());
}

void Append(benchmark::State& state, Sharing sharing) {
  std::string path = WorkPath(std::string(PeerName(sharing)) + "_append.mcn");
  for (auto _ : state) {
    state.PauseTiming();
    int rc = CreateMemoTable(path);
    state.ResumeTiming();
    std::unique_ptr<db::DatabaseHandle> db;
    if (rc == db::kOk) rc = OpenTable(path, sharing, &db);
    for (int i = 0; rc == db::kOk && i < kRecords; ++i) rc = AddRow(db.get(), MakeRow(i));
    if (rc != db::kOk) Fail(state, "append", rc);
  }
}

void Read(benchmark::State& state, Sharing sharing) {
  std::string path = SourceTable();
  for (auto _ : state) {
    std::unique_ptr<db::DatabaseHandle> db;
    int rc = OpenTable(path, sharing, &db);
    size_t bytes = 0;
    double sum = 0;
    int rows = 0;
    if (rc == db::kOk) db->MoveFirst();
    while (rc == db::kOk) {
      TypedValue values[4];
      for (int f = 0; f < 4 && rc == db::kOk; ++f) rc = db->ReadField(f, &values[f]);
      if (rc != db::kOk) break;
      bytes += static_cast<size_t>(TextLength(static_cast<const char*>(values[0].Pointer())));
      sum += values[1].Double();
      bytes += static_cast<size_t>(TextLength(static_cast<const char*>(values[2].Pointer())));
      bytes += static_cast<size_t>(TextLength(static_cast<const char*>(values[3].Pointer())));
      for (TypedValue& value : values) ReleaseValue(&value);
      ++rows;
      rc = db->Skip(1);
      if (db->current_record() >= kRecords) break;
    }
    benchmark::DoNotOptimize(bytes);
    benchmark::DoNotOptimize(sum);
    if (rc != db::kOk)
      Fail(state, "read", rc);
    else if (rows != kRecords)
      state.SkipWithError("wrong record count");
  }
}

void Sort(benchmark::State& state, Sharing sharing) {
  std::string source = SourceTable();
  std::string target = WorkPath(std::string(PeerName(sharing)) + "_sorted.mcn");
  const char* wanted = kCategories[kSortCategory];
  for (auto _ : state) {
    std::unique_ptr<db::DatabaseHandle> db;
    int rc = OpenTable(source, sharing, &db);
    if (rc == db::kOk) {
      db::DatabaseHandle* handle = db.get();
      db::SortRequest request;
      request.target = target;
      request.key_names = {Gbk(kFieldCategory)};
      request.ascending = {true};
      // The application's condition routine: read the category of the record at hand and
      // compare it with the chosen one.
      request.condition = [handle, wanted] {
        TypedValue category;
        IgnoreCode(handle->ReadField(0, &category));
        bool keep = CompareTexts(static_cast<const char*>(category.Pointer()), wanted) == 0;
        ReleaseValue(&category);
        return keep;
      };
      db->MoveFirst();
      rc = db->SortInto(request);
    }
    if (rc != db::kOk) Fail(state, "sort", rc);
  }
}

// A table of 100 records; record 50's memo is rewritten and read.
constexpr int kMemoRecord = 49;

void MemoWrite(benchmark::State& state, Sharing sharing, size_t bytes) {
  std::string path = WorkPath(std::string(PeerName(sharing)) + "_memo.mcn");
  int rc = FillTable(path, sharing, 100);
  std::unique_ptr<db::DatabaseHandle> db;
  if (rc == db::kOk) rc = OpenTable(path, sharing, &db);
  if (rc != db::kOk) {
    Fail(state, "memo setup", rc);
    return;
  }
  std::string texts[2] = {MakeMemoText(bytes, 0), MakeMemoText(bytes, 1)};
  db->set_current_record(kMemoRecord);
  int variant = 0;
  for (auto _ : state) {
    TypedValue values[3];  // category and time omitted: left as they are
    values[2] = TextValue(texts[variant ^= 1].c_str());
    rc = db->ModifyRecord(values, 3);
    if (rc != db::kOk) {
      Fail(state, "modify", rc);
      break;
    }
  }
}

void MemoRead(benchmark::State& state, Sharing sharing, size_t bytes) {
  std::string path = WorkPath(std::string(PeerName(sharing)) + "_memo.mcn");
  int rc = FillTable(path, sharing, 100);
  std::unique_ptr<db::DatabaseHandle> db;
  if (rc == db::kOk) rc = OpenTable(path, sharing, &db);
  std::string text = MakeMemoText(bytes, 0);
  TypedValue values[3];
  values[2] = TextValue(text.c_str());
  if (rc == db::kOk) {
    db->set_current_record(kMemoRecord);
    rc = db->ModifyRecord(values, 3);
  }
  if (rc != db::kOk) {
    Fail(state, "memo setup", rc);
    return;
  }
  for (auto _ : state) {
    TypedValue value;
    rc = db->ReadField(2, &value);
    size_t length = static_cast<size_t>(TextLength(static_cast<const char*>(value.Pointer())));
    ReleaseValue(&value);
    if (rc != db::kOk || length != bytes) {
      Fail(state, "read field", rc);
      break;
    }
  }
}

void Register(Sharing sharing) {
  RegisterPeer(PeerName(sharing), Append, Read, Sort, MemoWrite, MemoRead, sharing);
}

const bool kRegistered = [] {
  Register(Sharing::kShared);
  Register(Sharing::kExclusive);
  return true;
}();

}  // namespace
}  // namespace memo::bench
