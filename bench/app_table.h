// The application's table printed after the benchmark: for each app_ row and table size, the
// median time per action, the thread's CPU time, the file calls it makes, and its floor — those
// calls at the cost per call that the floor_call rows measured in the same run.
#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

namespace memo::bench {

class AppTable {
 public:
  // Keeps the medians (or single runs) of app_ and floor_call rows.
  void Collect(const benchmark::BenchmarkReporter::Run& run);
  // Prints the table when any app_ row ran.
  void Print() const;

 private:
  struct Row {
    double ms = 0;  // real time per action
    std::map<std::string, double> counters;
    std::string error;
  };
  std::map<std::string, Row> rows_;        // "app_sign_in/100000"
  std::map<std::string, double> call_ns_;  // "pread", "lock_unlock", ... per call
  std::vector<std::string> order_;
};

}  // namespace memo::bench
