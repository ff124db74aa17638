// Running scripts in-process for memo-script's own tests.
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <string_view>

namespace memo::script::testing {

struct Outcome {
  int status = -1;
  std::string out;  // the trace
  std::string err;  // the failure line, if any
};

// A fresh empty directory, removed with everything in it when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }
  // Reads a file of the directory ("" when missing).
  std::string Read(const std::string& name) const;
  bool Exists(const std::string& name) const;
  void Write(const std::string& name, std::string_view bytes) const;

 private:
  std::string path_;
};

// Parses `text` (which must parse) and runs it in `dir` against `entry`, as script "s.script".
Outcome RunScript(std::string_view text, const TempDir& dir, std::function<int()> entry,
                  bool trace = false);

}  // namespace memo::script::testing
