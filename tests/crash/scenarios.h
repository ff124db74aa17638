// The databases and operations the crash, disk-full and failure tests stop part-way: every kind
// of write, on files laid out so that each path of the chain writes runs (free blocks taken in
// part and whole, blocks appended, surplus freed into an empty and a non-empty list, trailing
// blocks trimmed with and without list blocks among them, records moved across pack batches).
#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "tests/crash/crash_db.h"

namespace memo::crash {

enum class Base {
  kSmall,          // 7 records, three free blocks in the middle of the MemoFile
  kSmallTailFree,  // the same with record 5 emptied too: free blocks right below the last chain
  kSmallDeleted,   // the small one with records 0, 3 and 5 marked deleted
  kLarge,          // 300 records of 2 KB (four pack batches), every 10th with a memo
  kLargeDeleted,   // the large one with every third record and records 30..179 deleted
};

// Builds the database at `path` (replacing it).
void BuildBase(Base base, const std::string& path);

struct Scenario {
  std::string name;
  Base base;
  Op op;
};

// One scenario per path of each kind of write.
std::vector<Scenario> WriteScenarios(bool include_large);

// A scenario set up for a test: its base built at `path`, the base's bytes, and the rows before
// and after the operation (worked out on `scratch`).
struct PreparedScenario {
  std::string path, scratch;
  Snapshot base;
  Rows before, after;
};
// "" or what went wrong.
std::string Prepare(const Scenario& scenario, const std::string& path, const std::string& scratch,
                    PreparedScenario* out);

// A scenario's name as a test name ("add a long memo" -> "add_a_long_memo"), and as gtest prints
// a parameter.
std::string ScenarioTestName(const Scenario& scenario);
inline void PrintTo(const Scenario& scenario, std::ostream* out) { *out << scenario.name; }

}  // namespace memo::crash
