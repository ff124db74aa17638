// A consistent copy of a database — its RecordFile and, when it has one, its MemoFile — into
// another directory, as the daily backup and `mcn backup` make it.
//
// Both files are read under their whole-file locks (the RecordFile's first, as every holder of
// both takes them), which keeps out every writer of records and chains in any process: the copy
// is one state of the pair, never a record of one moment beside a chain of another. Each copy is
// written under a passing name ("NAME.partial") in the target directory, flushed, given the
// source's permission bits, and only then renamed to its own name, so that the target never
// holds a part-written file under a real name; an older copy there is replaced in one step. The
// locks are released before the renames: by then the bytes are all read.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace memo::db {

struct PairCopy {
  int code = 0;                     // an engine code; kOk when every file was copied
  std::string failed_path;          // GBK: the file or directory the failure concerns
  std::vector<std::string> copied;  // GBK: the full paths of the copies made
};

// Copies the database `record_full_path` (GBK, complete) and its MemoFile, when it exists, into
// the existing directory `target_directory` (GBK) under their own file names. Lock requests
// retry for `lock_wait_ms` (a writer holds its locks for one command). On failure no passing
// file is left behind and no file of the target is changed, except that with two files the
// first rename may have happened when the second fails.
PairCopy CopyDatabasePair(std::string_view record_full_path, std::string_view target_directory,
                          int32_t lock_wait_ms);

// The passing name of a copy while it is written.
std::string PassingName(std::string_view final_path);

}  // namespace memo::db
