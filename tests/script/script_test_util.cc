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

TempDir::TempDir() {
  char pattern[] = "/tmp/memo_script_test_XXXXXX";
  if (mkdtemp(pattern)) path_ = pattern;
  EXPECT_FALSE(path_.empty());
}

TempDir::~TempDir() {
  std::error_code ec;
  if (!path_.empty()) std::filesystem::remove_all(path_, ec);
}

std::string TempDir::Read(const std::string& name) const {
  std::ifstream in(File(name), std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

bool TempDir::Exists(const std::string& name) const {
  return std::filesystem::exists(File(name));
}

void TempDir::Write(const std::string& name, std::string_view bytes) const {
  std::ofstream out(File(name), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

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
