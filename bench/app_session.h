// The memo program itself (app::RunMemo) on the headless backend, driven the way memo-script
// drives it: a queue of steps, one taken each time the program's message loop (or a modal
// window's nested loop) has nothing else to do, each acting as a person would on the windows
// (typing, clicking, keys, picking list items, closing). When the steps run out the newest window
// is closed, until the program ends.
//
// A step that opens a modal window returns only after the steps that follow it have closed that
// window again, exactly as in memo-script. A failing step throws SessionFailed, which unwinds
// through the program to Run().
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>

#include "platform/file_calls.h"
#include "platform/headless/headless_backend.h"

namespace memo::ui {
class Grid;
}
namespace memo::db {
class DataSource;
}

namespace memo::bench {

struct SessionFailed {
  std::string message;
};

class AppSession {
 public:
  // `run_directory`: absolute, UTF-8, holding the data files; the program runs as if its
  // executable lay there.
  explicit AppSession(std::string run_directory);
  AppSession(const AppSession&) = delete;
  AppSession& operator=(const AppSession&) = delete;

  // Appends a step.
  void Then(std::function<void()> step);

  // Runs the program until it has ended. False, with error() saying why, when a step failed, the
  // program ended with another code than 0, or any message box was shown (none is expected on
  // the roads the benchmarks take).
  bool Run();
  const std::string& error() const { return error_; }

  platform::HeadlessBackend& backend() { return backend_; }

  // --- A person at the windows; each fails the step when the target cannot be reached.
  void Type(uint32_t window_id, uint32_t unit_id, std::string_view text_gbk);
  void Click(uint32_t window_id, uint32_t unit_id);
  void Key(uint32_t window_id, uint32_t unit_id, int key, int shift = 0);
  void Select(uint32_t window_id, uint32_t unit_id, int index);
  void Close(uint32_t window_id);
  bool IsOpen(uint32_t window_id) const;
  // Makes data cell (row, column) of the main window's grid the cursor cell with a click on it,
  // unless it is the cursor cell already (a second click would open the cell's editor).
  void ClickMainCell(int row, int column);
  // Paints a custom-drawn unit (a grid) once, as the screen would show it next; the headless
  // backend paints nothing on its own.
  void Repaint(uint32_t window_id, uint32_t unit_id);

  // The main window's grid and data source (for finding rows; reads go through the data source).
  ui::Grid* MainGrid() const;
  db::DataSource* MainDataSource() const;
  // The row count of the follow-up window's grid.
  int FollowUpRows() const;

 private:
  bool Drive();
  platform::Control* ControlOf(uint32_t window_id, uint32_t unit_id) const;
  platform::HeadlessWindow* NativeOf(uint32_t window_id) const;

  std::string run_directory_;
  platform::HeadlessBackend backend_;
  std::deque<std::function<void()>> steps_;
  std::string error_;
};

// What one action cost: wall-clock and thread CPU seconds, and the file layer's calls.
struct ActionCost {
  double wall = 0;
  double cpu = 0;
  platform::FileCallCounts calls;
};

// Measures the span between Start() and Stop().
class ActionTimer {
 public:
  void Start();
  ActionCost Stop() const;

 private:
  std::chrono::steady_clock::time_point wall_;
  double cpu_ = 0;
  platform::FileCallCounts calls_;
};

// Seconds of CPU time the calling thread has used.
double ThreadCpuSeconds();

}  // namespace memo::bench
