#include "platform/data_directory.h"

#include <errno.h>
#include <limits.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/codec.h"
#include "platform/file.h"

namespace memo::platform {

namespace {

const char* EnvOrEmpty(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

// A file of the executable's directory, found as the file layer finds every name (also when
// its letter case differs), and only when it is a file.
bool HoldsFile(const std::string& directory_utf8, const char* name) {
  std::string gbk;
  if (!Utf8ToGbkStrict(directory_utf8 + "/" + name, &gbk)) return false;
  return FileExists(gbk);
}

// Creates `path` and its missing parents, each with `mode`; an existing directory is fine.
// Returns 0 or the errno of the first step that failed, with the path of that step.
int MakeDirectories(const std::string& path, mode_t mode, std::string* failed_at) {
  struct stat st {};
  if (stat(path.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) return 0;
    *failed_at = path;
    return ENOTDIR;
  }
  size_t slash = path.rfind('/');
  if (slash != std::string::npos && slash > 0) {
    int err = MakeDirectories(path.substr(0, slash), mode, failed_at);
    if (err != 0) return err;
  }
  if (mkdir(path.c_str(), mode) == 0 || errno == EEXIST) return 0;
  *failed_at = path;
  return errno;
}

std::string WhatToDo() {
  return "Set XDG_DATA_HOME to a directory you can write, or put a file named \"portable\" "
         "beside the program to keep the book there.";
}

}  // namespace

DataDirectoryInputs ProcessDataDirectoryInputs() {
  DataDirectoryInputs inputs;
  char buffer[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n > 0) {
    std::string exe(buffer, static_cast<size_t>(n));
    size_t slash = exe.rfind('/');
    inputs.executable_directory = slash == std::string::npos ? std::string() : exe.substr(0, slash);
  }
  inputs.xdg_data_home = EnvOrEmpty("XDG_DATA_HOME");
  inputs.home = EnvOrEmpty("HOME");
  if (inputs.home.empty()) {
    if (const passwd* entry = getpwuid(getuid()); entry != nullptr && entry->pw_dir != nullptr) {
      inputs.home = entry->pw_dir;
    }
  }
  return inputs;
}

DataDirectoryChoice ChooseDataDirectory(const DataDirectoryInputs& inputs) {
  DataDirectoryChoice choice;
  const std::string& beside = inputs.executable_directory;
  // An executable in the root directory has the empty directory; its files are "/c.mcn" etc.
  const std::string shown_beside = beside.empty() ? std::string("/") : beside;
  if (HoldsFile(beside, "portable")) {
    choice.kind = DataDirectoryKind::kPortable;
    choice.path = shown_beside;
    choice.reason = "a file named \"portable\" lies beside the program";
    return choice;
  }
  for (const char* name : {"c.mcn", "a.mcn"}) {
    if (HoldsFile(beside, name)) {
      choice.kind = DataDirectoryKind::kPortable;
      choice.path = shown_beside;
      choice.reason = std::string("the data file ") + name + " lies beside the program";
      return choice;
    }
  }
  choice.kind = DataDirectoryKind::kPerUser;
  // The base directory rules ignore a relative XDG_DATA_HOME.
  if (!inputs.xdg_data_home.empty() && inputs.xdg_data_home[0] == '/') {
    choice.path = inputs.xdg_data_home;
    choice.reason = "$XDG_DATA_HOME/memo";
  } else if (!inputs.home.empty()) {
    choice.path = inputs.home + "/.local/share";
    choice.reason = "$HOME/.local/share/memo, as XDG_DATA_HOME is not set";
  } else {
    choice.reason = "no home directory";
    return choice;
  }
  while (choice.path.size() > 1 && choice.path.back() == '/') choice.path.pop_back();
  if (choice.path == "/") choice.path.clear();
  choice.path += "/memo";
  return choice;
}

bool PrepareDataDirectory(const DataDirectoryChoice& choice, std::string* message) {
  if (choice.path.empty()) {
    *message =
        "memo: cannot find a place for the data directory: neither XDG_DATA_HOME nor "
        "HOME is set.\n" +
        WhatToDo();
    return false;
  }
  // The program keeps its names in GBK; a directory it cannot name cannot hold its files.
  std::string gbk;
  if (!Utf8ToGbkStrict(choice.path, &gbk)) {
    *message = "memo: the data directory " + choice.path +
               " has characters that memo cannot use in file names.\n" + WhatToDo();
    return false;
  }
  if (choice.kind == DataDirectoryKind::kPerUser) {
    std::string failed_at;
    int err = MakeDirectories(choice.path, 0700, &failed_at);
    if (err != 0) {
      *message = "memo: cannot create the data directory " + choice.path + " (" + failed_at + ": " +
                 std::strerror(err) + ").\n" + WhatToDo();
      return false;
    }
  }
  // A portable directory the user cannot write (an installed copy beside a stray "portable"
  // file, a read-only mount) is refused here rather than by the first save.
  if (access(choice.path.c_str(), W_OK | X_OK) != 0) {
    int err = errno;
    *message = "memo: cannot write to the data directory " + choice.path + " (" +
               std::strerror(err) + ").\n" + WhatToDo();
    return false;
  }
  return true;
}

}  // namespace memo::platform
