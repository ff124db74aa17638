// The benchmark's main(): makes a scratch directory, runs every registered benchmark and then
// prints one comparison table (rows: operations; columns: peers), taking each cell from the
// median of the repetitions.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "bench/app_table.h"
#include "bench/memo_tables.h"
#include "bench/workload.h"

namespace memo::bench {
namespace {

std::string g_work_dir;

// Peers in table order; a benchmark is named "<operation>/<peer>".
const char* const kPeers[] = {"engine",     "engine_excl", "sqlite_off",
                              "sqlite_wal", "shapelib",    "floor"};
// Operations in table order, with the unit their cell is printed in.
struct Operation {
  const char* name;
  const char* caption;
};
const Operation kOperations[] = {
    {"append", "append 100000 records"},
    {"read", "read every field of 100000 records"},
    {"sort", "sort 100000 records with a condition"},
    {"memo_write_1k", "write a 1 KB memo"},
    {"memo_read_1k", "read a 1 KB memo"},
    {"memo_write_100k", "write a 100 KB memo"},
    {"memo_read_100k", "read a 100 KB memo"},
};

struct Cell {
  double value = 0;  // in `unit`
  std::string unit;
  std::string error;
};

// Console output as usual, and the medians kept for the table.
class TableReporter : public benchmark::ConsoleReporter {
 public:
  TableReporter() : ConsoleReporter(OO_None) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      app_table_.Collect(run);
      std::string name = run.run_name.function_name;
      if (run.error_occurred) {
        cells_[name].error = run.error_message;
        continue;
      }
      bool single = run.repetitions <= 1 && run.run_type == Run::RT_Iteration;
      bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
      if (single || median) {
        cells_[name].value = run.GetAdjustedRealTime();
        cells_[name].unit = benchmark::GetTimeUnitString(run.time_unit);
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }

  void PrintTable() const {
    app_table_.Print();
    bool any = false;
    for (const Operation& op : kOperations) {
      for (const char* peer : kPeers) any = any || cells_.count(std::string(op.name) + "/" + peer);
    }
    if (!any) return;
    std::printf(
        "\nComparison (median of the repetitions; whole operation for 100000 records,"
        " per call for memos)\n\n");
    std::printf("| operation |");
    for (const char* peer : kPeers) std::printf(" %s |", peer);
    std::printf(" engine/floor | excl/floor | engine ahead | excl ahead |\n|---|");
    for (size_t i = 0; i < std::size(kPeers) + 4; ++i) std::printf("---|");
    std::printf("\n");
    for (const Operation& op : kOperations) {
      std::printf("| %s |", op.caption);
      std::map<std::string, const Cell*> row;
      for (const char* peer : kPeers) {
        auto it = cells_.find(std::string(op.name) + "/" + peer);
        if (it == cells_.end()) {
          std::printf(" - |");
          continue;
        }
        row[peer] = &it->second;
        if (!it->second.error.empty()) {
          std::printf(" error: %s |", it->second.error.c_str());
        } else {
          std::printf(" %.3g %s |", it->second.value, it->second.unit.c_str());
        }
      }
      auto ok = [&](const char* peer) {
        auto it = row.find(peer);
        return it != row.end() && it->second->error.empty() ? it->second : nullptr;
      };
      const Cell* floor = ok("floor");
      for (const char* mine : {"engine", "engine_excl"}) {
        const Cell* engine = ok(mine);
        if (engine && floor && floor->unit == engine->unit && floor->value > 0) {
          std::printf(" %.2fx |", engine->value / floor->value);
        } else {
          std::printf(" - |");
        }
      }
      for (const char* mine : {"engine", "engine_excl"}) {
        const Cell* engine = ok(mine);
        if (!engine) {
          std::printf(" - |");
          continue;
        }
        bool ahead = true;
        for (const char* peer : {"sqlite_off", "sqlite_wal", "shapelib"}) {
          const Cell* other = ok(peer);
          if (other && other->unit == engine->unit && other->value <= engine->value) ahead = false;
        }
        std::printf(" %s |", ahead ? "yes" : "no");
      }
      std::printf("\n");
    }
  }

 private:
  std::map<std::string, Cell> cells_;
  AppTable app_table_;
};

}  // namespace

const std::string& WorkDir() { return g_work_dir; }
std::string WorkPath(const std::string& name) { return g_work_dir + "/" + name; }

}  // namespace memo::bench

int main(int argc, char** argv) {
  using memo::bench::g_work_dir;
  // memo_bench --make-run-directory DIR MEMOS: only fills DIR as the program's run directory
  // over a memo table of MEMOS memos (bench/sign_in_memory.sh runs memo-script in it).
  if (argc == 4 && std::string(argv[1]) == "--make-run-directory") {
    return memo::bench::MakeRunDirectory(argv[2], std::atoi(argv[3])) ? 0 : 1;
  }
  // MEMO_BENCH_DIR chooses the file system the files go to; by default a fresh folder in /tmp.
  const char* given = std::getenv("MEMO_BENCH_DIR");
  std::string base = given && *given ? given : std::filesystem::temp_directory_path().string();
  std::string pattern = base + "/memo-bench-XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (mkdtemp(buffer.data()) == nullptr) {
    std::perror("mkdtemp");
    return 1;
  }
  g_work_dir = buffer.data();

  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 2;
  memo::bench::TableReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  reporter.PrintTable();

  std::error_code ignored;
  std::filesystem::remove_all(g_work_dir, ignored);
  return 0;
}
