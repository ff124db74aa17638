#include "tools/mcn/leftovers.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "db/passing_files.h"
#include "platform/file.h"

namespace memo::mcn {

std::vector<Leftover> SortLeftovers(const std::string& record_full_path) {
  std::vector<Leftover> found;
  for (const std::string& path : db::FindSortPassingFiles(record_full_path)) {
    const std::filesystem::path on_disk(platform::ResolveOnDisk(path));
    std::error_code error;
    if (!std::filesystem::is_regular_file(on_disk, error)) continue;
    const uintmax_t bytes = std::filesystem::file_size(on_disk, error);
    found.push_back({on_disk.filename().string(), error ? 0 : static_cast<uint64_t>(bytes)});
  }
  std::sort(found.begin(), found.end(),
            [](const Leftover& a, const Leftover& b) { return a.name < b.name; });
  return found;
}

}  // namespace memo::mcn
