// The memo tables the grid and application rows run over: 100, 10 000 or 100 000 memos, 20
// categories ("分类00" .. "分类19", memo i in category i mod 20), a 200-byte memo text and a
// follow-up log of three entries each, time stamps one second apart. Made through the engine, once
// per size, in the benchmark's work directory.
#pragma once

#include <string>

namespace memo::bench {

constexpr int kTableCategories = 20;

// GBK: "||特殊跟进条目分割||" between entries, "||特殊跟进时间分割||" between an entry's time and
// text.
extern const char kEntrySeparator[];
extern const char kTimeSeparator[];

// The follow-up log of memo i with `entries` entries ("2014年7月10日" ... and a short text).
std::string FollowUpLog(int memo, int entries);
// The category of memo i ("分类" and two digits, GBK).
std::string MemoCategory(int memo);
std::string MemoNote(int memo);
double MemoTime(int memo);

// Writes the memo table `path` (.mcn, with its .edt) with `memos` records; false when it cannot.
bool MakeMemoTable(const std::string& path, int memos);

// Writes the carried accounts file (account "test", password "kqzv") to `path`.
bool WriteAccountsFile(const std::string& path);

// Fills `dir` (which must exist) as the program's run directory: the memo table "a.mcn" / "a.edt"
// with `memos` records and the carried accounts file "c.mcn" (account "test", password "kqzv").
bool MakeRunDirectory(const std::string& dir, int memos);

// The table with `memos` records in the work directory, made on first use; empty when it could not
// be made.
const std::string& MemoTable(int memos);

}  // namespace memo::bench
