#include "tools/mcn/leftovers.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "db/check.h"
#include "db/file_names.h"
#include "platform/codec.h"

namespace memo::mcn {

namespace {

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string FileNamePart(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

bool IsSortPassingName(std::string_view name, std::string_view base) {
  constexpr std::string_view kMark = ".~sort";
  if (base.empty() || name.size() <= base.size() + kMark.size()) return false;
  for (size_t i = 0; i < base.size(); ++i) {
    if (AsciiLower(name[i]) != AsciiLower(base[i])) return false;
  }
  if (name.substr(base.size(), kMark.size()) != kMark) return false;
  const std::string_view digits = name.substr(base.size() + kMark.size());
  return std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::vector<Leftover> SortLeftovers(const std::string& record_full_path) {
  const std::string record_base = GbkToUtf8(FileNamePart(record_full_path));
  const std::string memo_base = GbkToUtf8(FileNamePart(db::MemoPathFor(record_full_path)));
  std::string directory = GbkToUtf8(db::DirectoryPart(record_full_path));
  if (directory.empty()) directory = ".";
  std::vector<Leftover> found;
  std::error_code error;
  for (std::filesystem::directory_iterator it(directory, error), end; !error && it != end;
       it.increment(error)) {
    const std::string name = it->path().filename().string();
    if (!IsSortPassingName(name, record_base) && !IsSortPassingName(name, memo_base)) continue;
    std::error_code size_error;
    if (!it->is_regular_file(size_error)) continue;
    const uintmax_t bytes = it->file_size(size_error);
    found.push_back({name, size_error ? 0 : static_cast<uint64_t>(bytes)});
  }
  std::sort(found.begin(), found.end(),
            [](const Leftover& a, const Leftover& b) { return a.name < b.name; });
  return found;
}

}  // namespace memo::mcn
