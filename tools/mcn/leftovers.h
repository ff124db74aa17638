// The passing files a sort into a database leaves behind when it is stopped before it commits:
// "<record file>.~sort<n>" and "<memo file>.~sort<n>" beside the target, each a copy of records
// and memos that nothing reads.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace memo::mcn {

// True when `name` (a file name without directory) is `base` followed by ".~sort" and one or
// more decimal digits, `base` compared ignoring the case of ASCII letters, as the file system
// of the program finds names.
bool IsSortPassingName(std::string_view name, std::string_view base);

struct Leftover {
  std::string name;   // UTF-8, as on disk, without directory
  uint64_t bytes = 0;
};

// The passing files of sorts into the database `record_full_path` (GBK) that its directory
// holds, in name order.
std::vector<Leftover> SortLeftovers(const std::string& record_full_path);

}  // namespace memo::mcn
