// The scenario runner: runs a parsed script against the program on the headless backend.
//
// Order of events:
//   1. The steps before `start` run at once (the world, the queues, file checks).
//   2. `start` calls the program's entry. From then on every step runs from the headless loop's
//      driver, one step each time the loop has nothing else to do, so that a step that opens a
//      modal window returns only after the steps that follow it have closed that window again.
//   3. When the steps run out while the program still runs, its open windows are closed as a
//      person would, newest first, until it ends.
//   4. The steps after the end of the program run after it (expect-exit, expect-file, ...).
//   5. At the end the program must have ended with code 0 and without a run-time error report,
//      unless the script checked its exit with expect-exit, and every message box must have been
//      checked.
// A failing step throws StepFailed, which unwinds through the program to Run: the scenario stops
// there, as a person would stop at the first surprise.
#pragma once

#include <cstdio>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/file.h"
#include "platform/headless/headless_backend.h"
#include "tools/script/steps.h"

namespace memo::script {

// Why a step failed, at which line.
struct StepFailed {
  int line = 0;
  std::string message;
};

enum class ProgramPhase { kNotStarted, kRunning, kEnded };

struct RunOptions {
  std::string run_directory;  // absolute, UTF-8; exists
  bool trace = false;
  std::FILE* out = stdout;  // trace
  std::FILE* err = stderr;  // failures
};

class ScriptRunner {
 public:
  // `entry` is the program's entry routine: it returns the process exit code, or the program
  // ends by ProgramEnded thrown from the backend.
  ScriptRunner(const Script& script, RunOptions options, std::function<int()> entry);
  ScriptRunner(const ScriptRunner&) = delete;
  ScriptRunner& operator=(const ScriptRunner&) = delete;

  // Runs the whole script: 0 when everything held, 1 when a step failed (the failure has been
  // printed as "SCRIPT:LINE: message").
  int Run();

  // --- For the step routines ---

  platform::HeadlessBackend& backend() { return backend_; }
  const std::string& run_directory() const { return options_.run_directory; }
  ProgramPhase phase() const { return phase_; }
  int exit_code() const { return exit_code_; }
  // The line of the step now running.
  int current_line() const { return current_line_; }

  // Ends the current step as failed.
  [[noreturn]] void Fail(std::string message) const;
  // Why a window cannot be reached before or after the program: "the program has not been
  // started" / "the program has ended (exit code N)"; empty while it runs.
  std::string ProgramState() const;

  // Message boxes: the oldest one not yet checked (null when all are), and marking it checked.
  const platform::ShownBox* OldestUncheckedBox() const;
  int LineOfBox(size_t index) const;
  void MarkBoxChecked() { ++boxes_checked_; }
  size_t boxes_checked() const { return boxes_checked_; }

  // Queues the answer of the next message box (nullopt: its close control).
  void QueueAnswer(std::optional<int> button);

  void NoteExitChecked() { exit_checked_ = true; }

  // Files of the run directory held open by `hold-file`, by name, as another program holds them.
  std::map<std::string, platform::File>& held_files() { return held_files_; }
  void Trace(const std::string& line) const;

 private:
  // Runs one step (the program's steps from the driver, the others directly).
  void RunStep(const Step& step);
  // Calls the entry with the driver installed; returns when the program has ended.
  void RunProgram(const Step& start);
  // The loop's driver: the next step, or, with none left, closing the newest window.
  bool Drive();
  void CloseNewestWindow();
  // The end-of-script checks (step 5 above).
  void CheckEnd();
  // Prints opened and closed windows since the last call (trace only).
  void TraceWindows();

  const Script& script_;
  RunOptions options_;
  std::function<int()> entry_;
  platform::HeadlessBackend backend_;

  size_t next_step_ = 0;
  int current_line_ = 0;
  ProgramPhase phase_ = ProgramPhase::kNotStarted;
  int exit_code_ = 0;
  int end_line_ = 0;  // the step during which the program ended
  bool exit_checked_ = false;
  size_t boxes_checked_ = 0;
  std::vector<int> box_lines_;
  std::deque<std::string> queued_answers_;  // names of the answers the backend still holds  // per
                                            // shown box, the step line it appeared during
  std::vector<uint32_t> traced_windows_;
  std::map<std::string, platform::File> held_files_;
};

// The name a script uses for a window id ("login", ..., or "0x5201000A").
std::string WindowDisplayName(uint32_t window_id);

}  // namespace memo::script
