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

// Puts the current directory back as it was when the object was made (a running program makes
// its run directory current; drivers that run it in-process keep their own).
class CurrentDirectoryKeeper {
 public:
  CurrentDirectoryKeeper() : saved_(CurrentDirectory()) {}
  ~CurrentDirectoryKeeper() {
    // A directory that is gone cannot be entered again; callers work with absolute paths.
    if (!saved_.empty()) SetCurrentDirectory(saved_);
  }
  CurrentDirectoryKeeper(const CurrentDirectoryKeeper&) = delete;
  CurrentDirectoryKeeper& operator=(const CurrentDirectoryKeeper&) = delete;

 private:
  std::string saved_;
};

}  // namespace memo::platform
