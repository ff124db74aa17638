// The sign-in and a category query of the real program on the Qt backend, timed inside the
// process: for finding what the Qt side adds to the headless app rows, and whether any of it grows
// with the book.
//
//   memo_qt_actions DIR MEMOS ROUNDS      (QT_QPA_PLATFORM=offscreen by default; xcb under Xvfb)
//
// DIR is made into a run directory with the benchmark's memo table of MEMOS memos (20 categories,
// bench/memo_tables.h) unless it holds one already. Each round starts the program afresh
// (app::RunMemo), types the account and password into the login window, and clicks "登陆"; then
// picks the second category in the query list and clicks "查询"; then closes the main window. For
// each action it prints the wall time of the routine (the click's handling), the thread's CPU time
// in it, and the wall time of the events Qt handles after it (the paint of what changed). The
// first round also makes the day's backup and is left out of the medians.
#include <time.h>

#include <QApplication>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/entry.h"
#include "app/window_units.h"
#include "bench/memo_tables.h"
#include "bench/workload.h"
#include "platform/backend.h"
#include "platform/controls.h"
#include "platform/qt/qt_backend.h"
#include "runtime/dispatch.h"
#include "runtime/program.h"
#include "ui/window/unit.h"
#include "ui/window/window_runtime.h"

namespace memo::bench {

// The memo tables' scratch files (bench/memo_tables.cc asks for them by name).
std::string WorkPath(const std::string& name) {
  return std::filesystem::temp_directory_path().string() + "/" + name;
}

namespace {

namespace mw = app::main_window;
namespace lg = app::login;

// The program placed in the run directory: it makes that directory its current one.
class RunDirectoryBackend : public platform::qt::QtBackend {
 public:
  explicit RunDirectoryBackend(const std::string& dir) : executable_(dir + "/memo") {}
  std::string ExecutablePath() override { return executable_; }

 private:
  std::string executable_;
};

using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double, std::milli>(to - from).count();
}

double ThreadCpuMs() {
  timespec now;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

// Lets Qt handle what the action left queued: paints, deferred deletions, layout.
void HandlePending() {
  for (int i = 0; i < 5; ++i) QApplication::processEvents(QEventLoop::AllEvents);
}

struct Samples {
  std::vector<double> wall, cpu, after;

  void Time(uint32_t window, uint32_t button) {
    HandlePending();
    const double cpu0 = ThreadCpuMs();
    const Clock::time_point t0 = Clock::now();
    static_cast<platform::ButtonControl*>(ui::FindUnitObject(window, button)->control())->Click();
    const Clock::time_point t1 = Clock::now();
    cpu.push_back(ThreadCpuMs() - cpu0);
    HandlePending();
    wall.push_back(Ms(t0, t1));
    after.push_back(Ms(t1, Clock::now()));
  }
};

double Median(std::vector<double> values) {
  if (values.size() > 1) values.erase(values.begin());  // the round that made the backup
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

void Print(const char* action, const Samples& s) {
  std::printf("%-8s routine %7.1f ms (cpu %7.1f ms), after it %5.1f ms\n", action, Median(s.wall),
              Median(s.cpu), Median(s.after));
}

}  // namespace
}  // namespace memo::bench

int main(int argc, char** argv) {
  using namespace memo;
  using namespace memo::bench;
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication application(argc, argv);
  if (argc < 4) {
    std::fprintf(stderr, "usage: %s DIR MEMOS ROUNDS\n", argv[0]);
    return 2;
  }
  const std::string dir = argv[1];
  const int memos = std::atoi(argv[2]);
  const int rounds = std::max(1, std::atoi(argv[3]));
  if (!std::filesystem::exists(dir + "/a.mcn")) {
    std::filesystem::create_directories(dir);
    if (!MakeRunDirectory(dir, memos)) {
      std::fprintf(stderr, "cannot make the run directory %s\n", dir.c_str());
      return 1;
    }
  }
  Samples sign_in, query;
  for (int round = 0; round < rounds; ++round) {
    ResetProgramForTesting();
    ui::ResetWindowRuntimeForTesting();
    RunDirectoryBackend backend(dir);
    platform::InstallBackend(&backend);
    int step = 0;
    QTimer timer;
    timer.setInterval(5);
    QObject::connect(&timer, &QTimer::timeout, [&] {
      if (step == 0) {
        if (!ui::FindLiveWindow(lg::kWindow)) return;
        ui::WriteProperty(lg::kWindow, lg::kAccountBox, 8, -1, TextValue("test"));
        ui::WriteProperty(lg::kWindow, lg::kPasswordBox, 8, -1, TextValue("kqzv"));
        sign_in.Time(lg::kWindow, lg::kLoginButton);
      } else if (step == 1) {
        ui::WriteProperty(mw::kWindow, mw::kQueryCombo, 19, -1, IntValue(2));
        query.Time(mw::kWindow, mw::kQueryButton);
      } else {
        timer.stop();
        ui::CloseWindow(mw::kWindow, mw::kWindowUnit, false);
      }
      ++step;
    });
    timer.start();
    const int code = app::RunMemo();
    ui::ResetWindowRuntimeForTesting();
    QApplication::processEvents();
    platform::InstallBackend(nullptr);
    ResetProgramForTesting();
    if (code != 0 || step < 3) {
      std::fprintf(stderr, "round %d: the program ended with %d after %d steps\n", round, code,
                   step);
      return 1;
    }
  }
  std::printf("%d memos, medians of %d rounds:\n", memos, std::max(1, rounds - 1));
  Print("sign-in", sign_in);
  Print("query", query);
  return 0;
}
