#include "tests/script/script_test_util.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "tools/script/runner.h"
#include "tools/script/steps.h"

namespace memo::script::testing {

namespace {

std::string ReadAll(std::FILE* file) {
  std::string out;
  std::rewind(file);
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) out.append(buffer, n);
  return out;
}

}  // namespace

Outcome RunScript(std::string_view text, const TempDir& dir, std::function<int()> entry,
                  bool trace) {
  Outcome outcome;
  Script script;
  script.path = "s.script";
  ScriptError error;
  if (!ParseScript(text, &script, &error)) {
    ADD_FAILURE() << "script does not parse: " << error.line << ": " << error.message;
    return outcome;
  }
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  RunOptions options;
  options.run_directory = dir.path();
  options.trace = trace;
  options.out = out;
  options.err = err;
  {
    ScriptRunner runner(script, options, std::move(entry));
    outcome.status = runner.Run();
  }
  outcome.out = ReadAll(out);
  outcome.err = ReadAll(err);
  std::fclose(out);
  std::fclose(err);
  return outcome;
}

}  // namespace memo::script::testing
