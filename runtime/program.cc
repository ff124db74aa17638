#include "runtime/program.h"

#include <cfenv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <thread>
#include <utility>
#include <vector>

#include "platform/backend.h"
#include "platform/process.h"
#include "runtime/fatal.h"
#include "runtime/literal.h"

namespace memo {

namespace {

struct ProgramState {
  WindowRuntimeHooks hooks;
  std::string run_directory;
  std::string data_directory;  // replaces the executable's directory as run directory when set
  std::string executable_name;
  bool path_known = false;  // run_directory and executable_name are set
  ExitRoutine exit_routine = nullptr;
  bool loop_entered = false;
  bool ending = false;
  bool fatal_report = false;
  int next_idle_handle = 1;
  std::map<int, std::function<void()>> idle_routines;
  std::vector<std::function<void()>> end_steps;
  std::thread::id program_thread = std::this_thread::get_id();
};

ProgramState& State() {
  static ProgramState* state = new ProgramState();  // never destroyed: used until process exit
  return *state;
}

bool AnyWindowLoaded() {
  const auto& hook = State().hooks.any_window_loaded;
  return hook && hook();
}

// The loop's idle work: every idle routine once; no routine asks to be called again at once.
bool RunIdleRoutines() {
  ProgramState& state = State();
  if (state.ending || state.fatal_report) return false;
  // A routine may add or remove routines; walk a snapshot of the handles.
  std::vector<int> handles;
  for (const auto& entry : state.idle_routines) handles.push_back(entry.first);
  for (int handle : handles) {
    auto it = state.idle_routines.find(handle);
    if (it == state.idle_routines.end()) continue;
    std::function<void()> routine = it->second;
    routine();
  }
  return false;
}

// Splits the executable's path at its last '/' into run directory and file name. '/' never
// occurs as the second byte of a GBK character, so a plain byte search is safe.
void SplitExecutablePath(ProgramState& state) {
  platform::Backend* backend = platform::CurrentBackend();
  std::string path = backend ? backend->ExecutablePath() : platform::ProcessExecutablePath();
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) {
    state.run_directory.clear();
    state.executable_name = path;
  } else {
    state.run_directory = path.substr(0, slash);
    state.executable_name = path.substr(slash + 1);
  }
  if (!state.data_directory.empty()) state.run_directory = state.data_directory;
  state.path_known = true;
}

}  // namespace

void SetDataDirectory(std::string directory_gbk) {
  ProgramState& state = State();
  state.data_directory = std::move(directory_gbk);
  state.path_known = false;  // taken again on next use
}

void SetWindowRuntimeHooks(WindowRuntimeHooks hooks) { State().hooks = std::move(hooks); }

void InitialiseRuntime() {
  ProgramState& state = State();
  state.program_thread = std::this_thread::get_id();
  SplitExecutablePath(state);
  // An executable in the root directory has an empty run directory (as a drive's root gives the
  // drive alone); the current directory is then the root itself.
  if (!state.run_directory.empty() || !state.executable_name.empty()) {
    platform::SetCurrentDirectory(state.run_directory.empty() ? std::string("/")
                                                              : state.run_directory);
  }
  if (state.hooks.load_definitions && !state.hooks.load_definitions()) {
    FatalError(Gbk("载入窗口模板数据段出错!"));
  }
}

const std::string& RunDirectory() {
  ProgramState& state = State();
  if (!state.path_known) SplitExecutablePath(state);
  return state.run_directory;
}

const std::string& ExecutableName() {
  ProgramState& state = State();
  if (!state.path_known) SplitExecutablePath(state);
  return state.executable_name;
}

void RegisterExitRoutine(ExitRoutine routine) { State().exit_routine = routine; }

void LoadStartupWindow(uint32_t window_id) {
  const auto& hook = State().hooks.load_startup_window;
  if (!hook || !hook(window_id)) FatalError(Gbk("载入启动窗口失败"));
}

int RunMessageLoop() {
  ProgramState& state = State();
  state.loop_entered = true;
  if (!AnyWindowLoaded()) return 0;
  platform::Backend* backend = platform::CurrentBackend();
  if (!backend) return 0;
  backend->SetIdleHandler(RunIdleRoutines);
  platform::Backend::LoopResult result = backend->RunLoop();
  backend->SetIdleHandler(nullptr);
  return result.exit == platform::Backend::LoopExit::kQuit ? result.code : 0;
}

bool MessageLoopEntered() { return State().loop_entered; }

void WindowUnloaded() {
  ProgramState& state = State();
  if (!state.loop_entered || state.ending || AnyWindowLoaded()) return;
  if (platform::Backend* backend = platform::CurrentBackend()) backend->PostQuit(0);
}

int AddIdleRoutine(std::function<void()> routine) {
  ProgramState& state = State();
  int handle = state.next_idle_handle++;
  state.idle_routines.emplace(handle, std::move(routine));
  return handle;
}

void RemoveIdleRoutine(int handle) { State().idle_routines.erase(handle); }

void AddEndStep(std::function<void()> step) { State().end_steps.push_back(std::move(step)); }

void RunEndSequence() {
  ProgramState& state = State();
  if (state.ending) return;
  state.ending = true;
  state.idle_routines.clear();
  if (state.hooks.release_windows) state.hooks.release_windows();
  if (ExitRoutine routine = std::exchange(state.exit_routine, nullptr)) routine();
  // Steps may add steps; take them one at a time.
  for (size_t i = 0; i < state.end_steps.size(); ++i) {
    std::function<void()> step = state.end_steps[i];
    step();
  }
}

bool ProgramEnding() { return State().ending; }

bool OnProgramThread() { return std::this_thread::get_id() == State().program_thread; }

void WaitForProgramEnd() {
  for (;;) std::this_thread::sleep_for(std::chrono::hours(1));
}

void EndProgram(int code) {
  if (!OnProgramThread()) {
    if (platform::Backend* backend = platform::CurrentBackend()) {
      backend->PostTask([code] { EndProgram(code); });
      WaitForProgramEnd();
    }
  }
  RunEndSequence();
  if (platform::Backend* backend = platform::CurrentBackend()) backend->Terminate(code);
  std::fflush(nullptr);
  std::_Exit(code);
}

bool FatalReportInProgress() { return State().fatal_report; }

bool BeginFatalReport() { return !std::exchange(State().fatal_report, true); }

int RunProgram(uint32_t startup_window_id, ExitRoutine exit_routine) {
  InitialiseRuntime();
  std::fesetenv(FE_DFL_ENV);
  RegisterExitRoutine(exit_routine);
  LoadStartupWindow(startup_window_id);
  RunMessageLoop();
  RunEndSequence();
  return 0;
}

void ResetProgramForTesting() {
  ProgramState& state = State();
  state = ProgramState();  // the calling thread becomes the program's thread
}

}  // namespace memo
