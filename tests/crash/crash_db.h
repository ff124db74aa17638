// The database the crash tests work on, the operations they stop part-way, and what a stopped
// operation may leave behind.
//
// The table: k (text of 8 bytes), n (integer), m and f (memo). Rows are read back through the
// engine; an operation stopped part-way (killed, or failing) must leave rows that every rule
// below accepts, in files that open with the default access and read-only, whose integrity walk
// finds nothing but leaked blocks.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "db/database.h"
#include "db/engine_code.h"

namespace memo::crash {

struct Row {
  int32_t serial = 0;
  std::string k;
  int32_t n = 0;
  std::string m;
  std::string f;
  friend bool operator==(const Row&, const Row&) = default;
};
using Rows = std::vector<Row>;
void PrintTo(const Row& row, std::ostream* out);

std::string Describe(const Rows& rows);

// A deterministic text of `length` ASCII letters.
std::string Text(size_t length, int seed);

// The table, with k declared `key_length` bytes long (a long k makes few records fill a pack
// batch).
void CreateTable(const std::string& path, uint32_t key_length = 8);

// The bytes of a RecordFile and its MemoFile, taken and put back whole.
struct Snapshot {
  std::string record;
  std::string memo;
  static Snapshot Take(const std::string& path);
  void Restore(const std::string& path) const;
};

struct Op {
  enum Kind { kAdd, kModify, kWriteField, kAppendBlank, kPackRange, kPackDeleted, kClear };
  Kind kind = kAdd;
  int32_t position = 0;  // modify, write field: the record; pack: the first record
  int32_t count = 0;     // pack: how many
  int field = 0;         // write field
  unsigned given = 0xF;  // add and modify: bit i set when field i gets a value
  Row values;            // serial unused
};

const char* KindName(Op::Kind kind);

// Runs the operation on the handle.
db::EngineCode Apply(db::DatabaseHandle* handle, const Op& op);

// Every row through a fresh handle opened with `access`; "" or why not.
std::string ReadRows(const std::string& path, db::OpenAccess access, Rows* rows);

// The integrity walk through a fresh read-only handle: every problem that is not a leak, or why
// the walk could not run.
std::vector<std::string> NonLeakProblems(const std::string& path);

// "" when `got` is a state that `op`, stopped part-way, may leave between `before` and `after`
// (the rows before it started and after it completed); otherwise what is wrong.
std::string CheckStopped(const Op& op, const Rows& before, const Rows& after, const Rows& got);

// The whole check after a stop: the files open read-only and with the default access, both read
// the same rows, the rows pass CheckStopped (or equal `before` exactly when `unchanged`), and
// the walk finds only leaks. "" or what is wrong.
std::string CheckFiles(const std::string& path, const Op& op, const Rows& before, const Rows& after,
                       bool unchanged);

// The rows the operation leaves when it completes, worked out on a copy of `base` in `scratch`.
Rows RowsAfter(const Snapshot& base, const std::string& scratch, const Op& op);

// The rows before `ops` (as `path` holds them) and after each of them, applied in turn to a copy
// of `base` in `scratch`: states[i] is the state before ops[i]. "" or what went wrong.
std::string StatesAfterEach(const Snapshot& base, const std::string& path,
                            const std::string& scratch, const std::vector<Op>& ops,
                            std::vector<Rows>* states);

// How many times an environment variable asks for (MEMO_CRASH_ROUNDS), or `fallback`.
int Rounds(int fallback);

}  // namespace memo::crash
