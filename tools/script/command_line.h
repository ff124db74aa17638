// memo-script's command line and its whole run: read the script, prepare the run directory, run,
// clean up, and turn the outcome into the exit status.
//
//   memo-script [--dir DIR] [--trace] SCRIPT
//
// Exit status: 0 every step ran and every expectation held; 1 a step failed ("SCRIPT:LINE: what
// was expected, what was found"); 2 the command line or the script is malformed, or the script or
// the run directory cannot be used.
#pragma once

#include <cstdio>
#include <functional>
#include <string>

namespace memo::script {

constexpr int kExitHeld = 0;
constexpr int kExitFailed = 1;
constexpr int kExitMalformed = 2;

struct CommandLine {
  std::string script_path;
  std::string directory;  // empty: a new temporary directory, removed afterwards
  bool trace = false;
  bool help = false;
};

// False with *error set for an unknown option, a missing value or not exactly one script.
bool ParseCommandLine(int argc, const char* const* argv, CommandLine* out, std::string* error);

void PrintUsage(std::FILE* out);

// Runs memo-script as its main does, with `entry` as the program's entry routine.
int RunMemoScript(const CommandLine& command_line, const std::function<int()>& entry,
                  std::FILE* out = stdout, std::FILE* err = stderr);

}  // namespace memo::script
