// Where the desktop program keeps its book: the data directory, chosen once at start.
//
// Rule, in this order:
//   1. Portable: the executable's own directory, when it already holds "c.mcn" or "a.mcn" (a book
//      kept beside the program, as every earlier version kept it) or a file named "portable" (a
//      marker; the build folder of `make run` carries one).
//   2. Per user: $XDG_DATA_HOME/memo when XDG_DATA_HOME is an absolute path, else
//      $HOME/.local/share/memo (HOME from the environment, else the password database). It is
//      created with mode 0700 on first start, its parents with 0700 as well (as the base
//      directory rules ask for directories that do not exist yet).
// An installed program thus never writes into the directory that holds it. The paths here are
// UTF-8, as the system names them; the runtime takes them in GBK.
#pragma once

#include <string>

namespace memo::platform {

// What the choice looks at: the executable's directory and the two variables (unset and empty
// are alike).
struct DataDirectoryInputs {
  std::string executable_directory;  // absolute, no trailing '/' (empty: the root)
  std::string xdg_data_home;
  std::string home;
};

enum class DataDirectoryKind {
  kPortable,  // beside the executable
  kPerUser,   // under the user's data home
};

struct DataDirectoryChoice {
  DataDirectoryKind kind = DataDirectoryKind::kPerUser;
  std::string path;    // absolute, UTF-8; empty when no home could be found
  std::string reason;  // why this one, for --help: "portable marker", "data files beside ..."
};

// The inputs of this process: the directory of /proc/self/exe, the environment, and the password
// database for a missing HOME.
DataDirectoryInputs ProcessDataDirectoryInputs();

// Applies the rule; looks at the file system (the executable's directory) but changes nothing.
DataDirectoryChoice ChooseDataDirectory(const DataDirectoryInputs& inputs);

// Makes sure the chosen directory exists and can be written: a per-user one is created (with its
// missing parents) with mode 0700. False with a message for the user (UTF-8, one or two lines,
// naming the path, the system's reason and what to do) when it cannot be created, is not a
// directory, or cannot be written.
bool PrepareDataDirectory(const DataDirectoryChoice& choice, std::string* message);

}  // namespace memo::platform
