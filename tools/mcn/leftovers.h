// The passing files a sort into a database leaves behind when it is stopped before it commits:
// "<record file>.~sort<n>" and "<memo file>.~sort<n>" beside the target, each a copy of records
// and memos that nothing reads. The names are the engine's (db/passing_files.h), so that what
// check reports is exactly what the next sort into the file removes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace memo::mcn {

struct Leftover {
  std::string name;  // UTF-8, as on disk, without directory
  uint64_t bytes = 0;
};

// The passing files of sorts into the database `record_full_path` (GBK) that its directory
// holds, in name order.
std::vector<Leftover> SortLeftovers(const std::string& record_full_path);

}  // namespace memo::mcn
