// mcn: a command-line tool for the record files (info, dump, check, create, add, export, import).
// No windows and no backend: the engine's files and locks are all it needs.
#include <cstdio>
#include <string>

#include "tools/mcn/cli.h"

int main(int argc, char** argv) {
  memo::mcn::Invocation invocation;
  std::string error;
  if (!memo::mcn::ParseCommandLine(argc, argv, &invocation, &error)) {
    std::fprintf(stderr, "mcn: %s\n", error.c_str());
    memo::mcn::PrintUsage(stderr);
    return memo::mcn::kExitUsage;
  }
  int code = memo::mcn::RunInvocation(invocation);
  std::fflush(stdout);
  return code;
}
