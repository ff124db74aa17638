// Running scripts in-process for memo-script's own tests.
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <string_view>

#include "tests/support/temp_dir.h"

namespace memo::script::testing {

struct Outcome {
  int status = -1;
  std::string out;  // the trace
  std::string err;  // the failure line, if any
};

// A fresh empty directory, removed with everything in it when the object goes
// (tests/support/temp_dir.h).
using ::memo::testing::TempDir;

// Parses `text` (which must parse) and runs it in `dir` against `entry`, as script "s.script".
Outcome RunScript(std::string_view text, const TempDir& dir, std::function<int()> entry,
                  bool trace = false);

}  // namespace memo::script::testing
