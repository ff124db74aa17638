// Program start and end: the runtime's start-up steps, the message loop of the program, the exit
// routine, the end sequence and the end-program service.
//
// Lifecycle: not started → initialised (InitialiseRuntime) → running (RunMessageLoop entered
// with a window loaded) → ending (end sequence begun) → process exit. The loop-entered mark
// separates start-up, when unloading a window never ends the program, from the running phase,
// when unloading the last window does.
//
// Everything here runs on the program's one thread.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace memo {

// What the window runtime plugs into program start and end. Every member may be empty.
struct WindowRuntimeHooks {
  // Deserialises the stored window definitions; false when they cannot be read.
  std::function<bool()> load_definitions;
  // Finds the definition of `window_id` and creates and shows the window as any loaded window;
  // false when there is no definition or creation fails.
  std::function<bool(uint32_t window_id)> load_startup_window;
  // True while at least one window of the program is loaded.
  std::function<bool()> any_window_loaded;
  // End sequence step 1: release the window definitions and every loaded window.
  std::function<void()> release_windows;
};

// Installs the window runtime's hooks (replacing earlier ones).
void SetWindowRuntimeHooks(WindowRuntimeHooks hooks);

// Start-up step 1: splits the executable's path (from the installed backend, else from the
// process) at its last separator into run directory and file name, makes the run directory the
// current directory, and loads the window definitions through the hook. A failure to read the
// definitions is the fatal error "载入窗口模板数据段出错!".
void InitialiseRuntime();

// Makes `directory_gbk` (absolute, no trailing separator) the run directory that InitialiseRuntime
// enters and RunDirectory reports, in place of the executable's directory: the desktop program
// keeps its book in a data directory chosen at start. Empty: the executable's directory again.
// The executable's file name is unaffected.
void SetDataDirectory(std::string directory_gbk);

// The run directory without a trailing separator, and the executable's file name (GBK). Before
// InitialiseRuntime they are taken from the executable's path on first use.
const std::string& RunDirectory();
const std::string& ExecutableName();

// Start-up step 3: remembers the routine the end sequence calls once (null forgets it).
using ExitRoutine = void (*)();
void RegisterExitRoutine(ExitRoutine routine);

// Start-up step 4: loads the start-up window through the window runtime's hook. No hook, no
// definition or a failed creation: fatal error "载入启动窗口失败".
void LoadStartupWindow(uint32_t window_id);

// Start-up step 5: marks the loop as entered; returns at once when no window is loaded; otherwise
// dispatches messages, doing idle work whenever the queue is empty, until the quit message.
// Returns the quit code (0 when it returned at once).
int RunMessageLoop();

// True once RunMessageLoop has been entered.
bool MessageLoopEntered();

// The window runtime calls this after it has unloaded a window: when the loop has been entered
// and no window is loaded any longer, the quit message is posted with code 0.
void WindowUnloaded();

// Idle routines, called by the message loop whenever its queue is empty (controls register
// them per window). Returns a handle for RemoveIdleRoutine.
int AddIdleRoutine(std::function<void()> routine);
void RemoveIdleRoutine(int handle);

// Steps the end sequence takes after the exit routine, in the order added (the file commands add
// the closing of the runtime's open files; libraries add their own release).
void AddEndStep(std::function<void()> step);

// The end sequence (runs once; later calls do nothing): marks the program as ending, drops the
// idle routines, releases the windows, calls the exit routine once and forgets it, then runs the
// end steps.
void RunEndSequence();

// True once the end sequence has begun.
bool ProgramEnding();

// The end-program service: runs the end sequence, then ends the process with `code` through the
// installed backend (the headless backend unwinds to its driver instead); without a backend the
// process exits directly. Called on another thread, it hands the code to the program's thread,
// which ends the program, and the calling thread waits for the end.
[[noreturn]] void EndProgram(int code);

// True on the program's thread: the one that initialised the runtime (before that, the first one
// to use this module).
bool OnProgramThread();

// Blocks the calling thread until the process ends (another thread is ending the program).
[[noreturn]] void WaitForProgramEnd();

// True from the start of a run-time error report until the program has ended; the event
// dispatcher raises nothing then.
bool FatalReportInProgress();

// Marks a report as started; false when one already is (the second fatal condition then ends the
// program without a second box). Used by the report itself.
bool BeginFatalReport();

// The program's frame, as the entry routine runs it: initialise the runtime, reset the
// floating-point environment, register the exit routine (null: none), load the start-up window,
// run the message loop, then the end sequence. Returns 0, the exit code of a normal end; a fatal
// condition on the way never returns here.
int RunProgram(uint32_t startup_window_id, ExitRoutine exit_routine);

// Puts the module back into the not-started state (tests and the headless driver, which start
// the program more than once in one process).
void ResetProgramForTesting();

}  // namespace memo
