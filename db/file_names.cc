#include "db/file_names.h"

#include "platform/file.h"
#include "platform/gbk.h"
#include "runtime/text.h"

namespace memo::db {
namespace {

bool IsSeparator(unsigned char c) { return c == '\\' || c == '/'; }

// Positions of the last separator and of the last '.' after it (npos when absent).
void ScanName(std::string_view path, size_t* last_separator, size_t* last_dot) {
  *last_separator = std::string_view::npos;
  *last_dot = std::string_view::npos;
  for (size_t i = 0; i < path.size();) {
    auto c = static_cast<unsigned char>(path[i]);
    if (IsLeadByte(c)) {
      i += 2;
      continue;
    }
    if (IsSeparator(c)) {
      *last_separator = i;
      *last_dot = std::string_view::npos;
    } else if (c == '.') {
      *last_dot = i;
    }
    ++i;
  }
}

bool IsAsciiLetter(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsAsciiDigit(unsigned char c) { return c >= '0' && c <= '9'; }

// Full-width forms live in row 0xA3: digits A3B0..A3B9, letters A3C1..A3DA and A3E1..A3FA.
bool IsFullWidthLetter(unsigned char lead, unsigned char trail) {
  return lead == 0xA3 && ((trail >= 0xC1 && trail <= 0xDA) || (trail >= 0xE1 && trail <= 0xFA));
}
bool IsFullWidthDigit(unsigned char lead, unsigned char trail) {
  return lead == 0xA3 && trail >= 0xB0 && trail <= 0xB9;
}
// Rows 0xA1..0xA9 hold symbols, punctuation, full-width forms, kana and box drawing; every other
// double-byte row holds Chinese characters (GB2312 levels 1 and 2 and the GBK extensions).
bool IsChinese(unsigned char lead, unsigned char trail) {
  if (lead < 0x81 || lead == 0xFF) return false;
  if (trail < 0x40 || trail == 0x7F || trail == 0xFF) return false;
  return !(lead >= 0xA1 && lead <= 0xA9);
}

}  // namespace

std::string CompleteName(std::string_view name, std::string_view extension) {
  size_t separator, dot;
  ScanName(name, &separator, &dot);
  std::string result(name);
  if (dot == std::string_view::npos) {
    result += '.';
    result += extension;
  } else if (dot + 1 == name.size()) {
    result += extension;
  }
  return result;
}

std::string FullPathOf(std::string_view name, std::string_view extension) {
  return platform::FullPath(CompleteName(name, extension));
}

std::string ReplaceExtension(std::string_view path, std::string_view extension) {
  size_t separator, dot;
  ScanName(path, &separator, &dot);
  std::string result(path.substr(0, dot == std::string_view::npos ? path.size() : dot));
  result += '.';
  result += extension;
  return result;
}

std::string MemoFileName(std::string_view record_path) {
  size_t separator, dot;
  ScanName(record_path, &separator, &dot);
  const size_t name_begin = separator == std::string_view::npos ? 0 : separator + 1;
  if (dot == name_begin) {
    std::string result(record_path);
    result += '.';
    result += kMemoFileExtension;
    return result;
  }
  return ReplaceExtension(record_path, kMemoFileExtension);
}

namespace {
constexpr std::string_view kSortPassingMark = ".~sort";
}  // namespace

std::string SortPassingName(std::string_view path, uint32_t number) {
  std::string name(path);
  name += kSortPassingMark;
  name += std::to_string(number);
  return name;
}

bool IsSortPassingNameOf(std::string_view name, std::string_view file_name) {
  const size_t prefix = file_name.size() + kSortPassingMark.size();
  if (file_name.empty() || name.size() <= prefix) return false;
  if (!EqualsIgnoreCase(name.substr(0, file_name.size()), file_name)) return false;
  if (name.substr(file_name.size(), kSortPassingMark.size()) != kSortPassingMark) return false;
  for (char c : name.substr(prefix)) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

std::string FileTitle(std::string_view path) {
  size_t separator, dot;
  ScanName(path, &separator, &dot);
  size_t begin = separator == std::string_view::npos ? 0 : separator + 1;
  size_t end = dot == std::string_view::npos ? path.size() : dot;
  return std::string(path.substr(begin, end - begin));
}

std::string DirectoryPart(std::string_view path) {
  size_t separator, dot;
  ScanName(path, &separator, &dot);
  if (separator == std::string_view::npos) return std::string();
  return std::string(path.substr(0, separator + 1));
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size();) {
    auto x = static_cast<unsigned char>(a[i]);
    auto y = static_cast<unsigned char>(b[i]);
    if (IsLeadByte(x)) {
      if (x != y) return false;
      if (i + 1 < a.size() && a[i + 1] != b[i + 1]) return false;
      i += 2;
      continue;
    }
    if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x + 32);
    if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y + 32);
    if (x != y) return false;
    ++i;
  }
  return true;
}

bool IsValidName(std::string_view name) {
  if (name.empty()) return false;
  for (size_t i = 0; i < name.size();) {
    auto c = static_cast<unsigned char>(name[i]);
    bool first = i == 0;
    if (IsLeadByte(c)) {
      if (i + 1 >= name.size()) return false;
      auto t = static_cast<unsigned char>(name[i + 1]);
      bool ok = IsFullWidthLetter(c, t) || IsChinese(c, t) || (!first && IsFullWidthDigit(c, t));
      if (!ok) return false;
      i += 2;
      continue;
    }
    if (!(IsAsciiLetter(c) || (!first && IsAsciiDigit(c)))) return false;
    ++i;
  }
  return true;
}

size_t CharacterCount(std::string_view text) { return GbkCharCount(text); }

size_t CutWithoutSplitting(std::string_view text, size_t limit) {
  return GbkFitPrefix(text, limit);
}

}  // namespace memo::db
