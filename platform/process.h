// The process's own place in the file system: its executable and its current directory.
// Paths are GBK, as the program keeps them; they are converted to UTF-8 at the system call.
#pragma once

#include <string>
#include <string_view>

namespace memo::platform {

// The full path of the running executable as the system reports it (GBK), or empty.
std::string ProcessExecutablePath();

// Makes `path_gbk` the current directory; false when it cannot be entered.
bool SetCurrentDirectory(std::string_view path_gbk);

// The current directory (GBK), or empty.
std::string CurrentDirectory();

}  // namespace memo::platform
