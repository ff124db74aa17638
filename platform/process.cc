#include "platform/process.h"

#include <limits.h>
#include <unistd.h>

#include <string>

#include "platform/codec.h"

namespace memo::platform {

std::string ProcessExecutablePath() {
  std::string buffer(PATH_MAX, '\0');
  ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
  if (n <= 0 || static_cast<size_t>(n) >= buffer.size()) return std::string();
  buffer.resize(static_cast<size_t>(n));
  return Utf8ToGbk(buffer);
}

bool SetCurrentDirectory(std::string_view path_gbk) {
  std::string utf8 = GbkToUtf8(path_gbk);
  if (utf8.empty()) return false;
  return chdir(utf8.c_str()) == 0;
}

std::string CurrentDirectory() {
  std::string buffer(PATH_MAX, '\0');
  if (getcwd(buffer.data(), buffer.size()) == nullptr) return std::string();
  buffer.resize(std::char_traits<char>::length(buffer.c_str()));
  return Utf8ToGbk(buffer);
}

}  // namespace memo::platform
