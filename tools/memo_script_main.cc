// main() of memo-script: the memo program on the headless backend, driven by a scenario script
// (see tools/script/command_line.h for the command line and the exit statuses).
#include <cstdio>
#include <string>

#include "app/entry.h"
#include "tools/script/command_line.h"

int main(int argc, char** argv) {
  memo::script::CommandLine command_line;
  std::string error;
  if (!memo::script::ParseCommandLine(argc, argv, &command_line, &error)) {
    std::fprintf(stderr, "memo-script: %s\n", error.c_str());
    memo::script::PrintUsage(stderr);
    return memo::script::kExitMalformed;
  }
  return memo::script::RunMemoScript(command_line, memo::app::RunMemo);
}
