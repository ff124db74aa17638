// SQLite as a peer: one table with the memo table's four columns, one statement per record in
// autocommit, synchronous=OFF; once with the rollback journal and once in WAL mode. Statements
// are prepared once and reused, which is how a careful SQLite user writes this loop.
#include <sqlite3.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "bench/workload.h"

namespace memo::bench {
namespace {

enum class Journal { kRollback, kWal };

const char* PeerName(Journal journal) {
  return journal == Journal::kWal ? "sqlite_wal" : "sqlite_off";
}

void RemoveDatabase(const std::string& path) {
  for (const char* suffix : {"", "-journal", "-wal", "-shm"}) {
    std::filesystem::remove(path + suffix);
  }
}

class Db {
 public:
  Db(const std::string& path, Journal journal) {
    if (sqlite3_open(path.c_str(), &db_) != SQLITE_OK) return;
    ok_ = Exec("PRAGMA synchronous=OFF");
    if (ok_ && journal == Journal::kWal) ok_ = Exec("PRAGMA journal_mode=WAL");
  }
  ~Db() { Close(); }
  Db(const Db&) = delete;
  Db& operator=(const Db&) = delete;

  bool ok() const { return ok_ && db_ != nullptr; }
  sqlite3* get() { return db_; }
  std::string Error() const { return db_ ? sqlite3_errmsg(db_) : "cannot open"; }

  bool Exec(const char* sql) {
    return sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
  }
  void Close() {
    if (db_) sqlite3_close_v2(db_);
    db_ = nullptr;
  }

 private:
  sqlite3* db_ = nullptr;
  bool ok_ = false;
};

class Statement {
 public:
  Statement(sqlite3* db, const char* sql) { sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr); }
  ~Statement() { sqlite3_finalize(stmt_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  sqlite3_stmt* get() { return stmt_; }
  bool ok() const { return stmt_ != nullptr; }

 private:
  sqlite3_stmt* stmt_ = nullptr;
};

constexpr const char* kCreate = "CREATE TABLE memo(cat TEXT, t REAL, note TEXT, follow TEXT)";
constexpr const char* kInsert = "INSERT INTO memo(cat, t, note, follow) VALUES(?1, ?2, ?3, '')";

bool InsertRow(sqlite3_stmt* insert, const Row& row) {
  sqlite3_bind_text(insert, 1, row.category, -1, SQLITE_STATIC);
  sqlite3_bind_double(insert, 2, row.time);
  sqlite3_bind_text(insert, 3, row.note.data(), static_cast<int>(row.note.size()), SQLITE_STATIC);
  bool done = sqlite3_step(insert) == SQLITE_DONE;
  sqlite3_reset(insert);
  return done;
}

// The 100000-record table that the read and sort benchmarks start from, made once per journal.
std::string SourceTable(Journal journal) {
  static bool made[2] = {false, false};
  std::string path = WorkPath(std::string(PeerName(journal)) + "_source.db");
  int slot = journal == Journal::kWal ? 1 : 0;
  if (made[slot]) return path;
  RemoveDatabase(path);
  Db db(path, journal);
  db.Exec(kCreate);
  db.Exec("BEGIN");
  {
    Statement insert(db.get(), kInsert);
    for (int i = 0; i < kRecords; ++i) InsertRow(insert.get(), MakeRow(i));
  }
  db.Exec("COMMIT");
  made[slot] = true;
  return path;
}

void Append(benchmark::State& state, Journal journal) {
  std::string path = WorkPath(std::string(PeerName(journal)) + "_append.db");
  for (auto _ : state) {
    state.PauseTiming();
    RemoveDatabase(path);
    state.ResumeTiming();
    Db db(path, journal);
    if (!db.ok() || !db.Exec(kCreate)) {
      state.SkipWithError(db.Error().c_str());
      break;
    }
    Statement insert(db.get(), kInsert);
    for (int i = 0; i < kRecords; ++i) {
      if (!InsertRow(insert.get(), MakeRow(i))) {
        state.SkipWithError(db.Error().c_str());
        break;
      }
    }
  }
}

void Read(benchmark::State& state, Journal journal) {
  std::string path = SourceTable(journal);
  for (auto _ : state) {
    Db db(path, journal);
    Statement select(db.get(), "SELECT cat, t, note, follow FROM memo");
    size_t bytes = 0;
    double sum = 0;
    int rows = 0;
    while (sqlite3_step(select.get()) == SQLITE_ROW) {
      const unsigned char* cat = sqlite3_column_text(select.get(), 0);
      bytes += static_cast<size_t>(sqlite3_column_bytes(select.get(), 0));
      sum += sqlite3_column_double(select.get(), 1);
      const unsigned char* note = sqlite3_column_text(select.get(), 2);
      bytes += static_cast<size_t>(sqlite3_column_bytes(select.get(), 2));
      const unsigned char* follow = sqlite3_column_text(select.get(), 3);
      bytes += static_cast<size_t>(sqlite3_column_bytes(select.get(), 3));
      benchmark::DoNotOptimize(cat);
      benchmark::DoNotOptimize(note);
      benchmark::DoNotOptimize(follow);
      ++rows;
    }
    benchmark::DoNotOptimize(bytes);
    benchmark::DoNotOptimize(sum);
    if (rows != kRecords) state.SkipWithError("wrong row count");
  }
}

void Sort(benchmark::State& state, Journal journal) {
  std::string source = SourceTable(journal);
  std::string target = WorkPath(std::string(PeerName(journal)) + "_sorted.db");
  for (auto _ : state) {
    state.PauseTiming();
    RemoveDatabase(target);
    state.ResumeTiming();
    Db db(source, journal);
    std::string attach = "ATTACH DATABASE '" + target + "' AS b";
    bool ok = db.Exec(attach.c_str()) && db.Exec("PRAGMA b.synchronous=OFF") &&
              (journal != Journal::kWal || db.Exec("PRAGMA b.journal_mode=WAL")) &&
              db.Exec("CREATE TABLE b.memo(cat TEXT, t REAL, note TEXT, follow TEXT)");
    Statement copy(db.get(),
                   "INSERT INTO b.memo SELECT cat, t, note, follow FROM main.memo "
                   "WHERE cat = ?1 ORDER BY cat");
    if (ok && copy.ok()) {
      sqlite3_bind_text(copy.get(), 1, kCategories[kSortCategory], -1, SQLITE_STATIC);
      ok = sqlite3_step(copy.get()) == SQLITE_DONE;
    }
    if (!ok) state.SkipWithError(db.Error().c_str());
  }
}

// A table of 100 rows whose row 50 carries the memo being rewritten and read.
std::string MemoTable(Journal journal) {
  std::string path = WorkPath(std::string(PeerName(journal)) + "_memo.db");
  RemoveDatabase(path);
  Db db(path, journal);
  db.Exec(kCreate);
  Statement insert(db.get(), kInsert);
  for (int i = 0; i < 100; ++i) InsertRow(insert.get(), MakeRow(i));
  return path;
}

void MemoWrite(benchmark::State& state, Journal journal, size_t bytes) {
  std::string path = MemoTable(journal);
  std::string texts[2] = {MakeMemoText(bytes, 0), MakeMemoText(bytes, 1)};
  Db db(path, journal);
  Statement update(db.get(), "UPDATE memo SET note = ?1 WHERE rowid = 50");
  int variant = 0;
  for (auto _ : state) {
    const std::string& text = texts[variant ^= 1];
    sqlite3_bind_text(update.get(), 1, text.data(), static_cast<int>(text.size()), SQLITE_STATIC);
    if (sqlite3_step(update.get()) != SQLITE_DONE) {
      state.SkipWithError(db.Error().c_str());
      break;
    }
    sqlite3_reset(update.get());
  }
}

void MemoRead(benchmark::State& state, Journal journal, size_t bytes) {
  std::string path = MemoTable(journal);
  std::string text = MakeMemoText(bytes, 0);
  Db db(path, journal);
  {
    Statement update(db.get(), "UPDATE memo SET note = ?1 WHERE rowid = 50");
    sqlite3_bind_text(update.get(), 1, text.data(), static_cast<int>(text.size()), SQLITE_STATIC);
    sqlite3_step(update.get());
  }
  Statement select(db.get(), "SELECT note FROM memo WHERE rowid = 50");
  for (auto _ : state) {
    std::string got;
    if (sqlite3_step(select.get()) == SQLITE_ROW) {
      const char* data = reinterpret_cast<const char*>(sqlite3_column_text(select.get(), 0));
      got.assign(data, static_cast<size_t>(sqlite3_column_bytes(select.get(), 0)));
    }
    sqlite3_reset(select.get());
    if (got.size() != bytes) {
      state.SkipWithError("memo came back with the wrong length");
      break;
    }
    benchmark::DoNotOptimize(got.data());
  }
}

void Register(Journal journal) {
  RegisterPeer(PeerName(journal), Append, Read, Sort, MemoWrite, MemoRead, journal);
}

const bool kRegistered = [] {
  Register(Journal::kRollback);
  Register(Journal::kWal);
  return true;
}();

}  // namespace
}  // namespace memo::bench
