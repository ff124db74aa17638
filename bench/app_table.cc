#include "bench/app_table.h"

#include <algorithm>
#include <cstdio>

namespace memo::bench {
namespace {

double ToMilliseconds(double value, benchmark::TimeUnit unit) {
  switch (unit) {
    case benchmark::kNanosecond: return value * 1e-6;
    case benchmark::kMicrosecond: return value * 1e-3;
    case benchmark::kMillisecond: return value;
    case benchmark::kSecond: return value * 1e3;
  }
  return value;
}

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

}  // namespace

void AppTable::Collect(const benchmark::BenchmarkReporter::Run& run) {
  const std::string& function = run.run_name.function_name;
  const bool app = StartsWith(function, "app_");
  const bool floor = StartsWith(function, "floor_call/");
  if (!app && !floor) return;
  const bool single =
      run.repetitions <= 1 && run.run_type == benchmark::BenchmarkReporter::Run::RT_Iteration;
  const bool median = run.run_type == benchmark::BenchmarkReporter::Run::RT_Aggregate &&
                      run.aggregate_name == "median";
  if (!run.error_occurred && !single && !median) return;
  const double ms = ToMilliseconds(run.GetAdjustedRealTime(), run.time_unit);
  if (floor) {
    if (!run.error_occurred) call_ns_[function.substr(11)] = ms * 1e6;
    return;
  }
  std::string name = function + "/" + run.run_name.args;
  if (rows_.find(name) == rows_.end()) order_.push_back(name);
  Row& row = rows_[name];
  if (run.error_occurred) {
    row.error = run.error_message;
    return;
  }
  row.ms = ms;
  for (const auto& [key, counter] : run.counters) row.counters[key] = counter.value;
}

void AppTable::Print() const {
  if (rows_.empty()) return;
  auto cost = [this](const char* name) {
    auto it = call_ns_.find(name);
    return it == call_ns_.end() ? 0.0 : it->second;
  };
  const double read_ns = cost("pread");
  const double lock_ns = cost("lock_unlock") / 2;  // one call of the pair
  const double write_ns = cost("pwrite");
  std::printf(
      "\nApplication actions (medians; floor = the action's file calls at the cost per call"
      " of the floor_call rows: pread %.0f ns, lock or unlock %.0f ns, pwrite %.0f ns,"
      " other calls as a pread)\n\n",
      read_ns, lock_ns, write_ns);
  std::printf(
      "| action | memos | time | CPU | calls | reads | locks | writes | other | floor |"
      " time/floor |\n|---|---|---|---|---|---|---|---|---|---|---|\n");
  for (const std::string& name : order_) {
    const Row& row = rows_.at(name);
    size_t slash = name.rfind('/');
    std::string action = name.substr(0, slash);
    std::string memos = name.substr(slash + 1);
    if (!row.error.empty()) {
      std::printf("| %s | %s | error: %s |\n", action.c_str(), memos.c_str(), row.error.c_str());
      continue;
    }
    auto counter = [&row](const char* key) {
      auto it = row.counters.find(key);
      return it == row.counters.end() ? 0.0 : it->second;
    };
    const double floor_ms = (counter("reads") * read_ns + counter("locks") * lock_ns +
                             counter("writes") * write_ns + counter("other") * read_ns) *
                            1e-6;
    std::printf("| %s | %s | %.3g ms | %.3g ms | %.0f | %.0f | %.0f | %.0f | %.0f | %.3g ms |",
                action.c_str(), memos.c_str(), row.ms, counter("cpu_ms"), counter("calls"),
                counter("reads"), counter("locks"), counter("writes"), counter("other"), floor_ms);
    if (floor_ms > 0 && read_ns > 0 && lock_ns > 0) {
      std::printf(" %.2fx |\n", row.ms / floor_ms);
    } else {
      std::printf(" - |\n");
    }
  }
}

}  // namespace memo::bench
