#include "tools/script/runner.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "app/windows/program_routines.h"
#include "platform/backend.h"
#include "platform/codec.h"
#include "platform/message_box.h"
#include "platform/process.h"
#include "runtime/literal.h"
#include "runtime/program.h"
#include "ui/window/window_runtime.h"

namespace memo::script {

namespace {

std::string ButtonList(uint32_t style) {
  std::string out;
  for (int id : platform::DecodeBoxStyle(style).buttons) {
    if (!out.empty()) out += ", ";
    out += platform::ButtonName(id);
  }
  return out;
}

std::string DescribeBox(const platform::ShownBox& box) {
  return ShowGbk(box.title_gbk) + " " + ShowGbk(box.text_gbk);
}

// The run-time error report's box: titled "错误", its text starting with "运行时出错!".
bool IsErrorReport(const platform::ShownBox& box) {
  std::string_view head = Gbk("运行时出错!");
  return box.title_gbk == Gbk("错误") && box.text_gbk.compare(0, head.size(), head) == 0;
}

}  // namespace

std::string WindowDisplayName(uint32_t window_id) {
  switch (window_id) {
    case ui::kLoginWindowId: return "login";
    case ui::kMainWindowId: return "main";
    case ui::kFollowUpWindowId: return "followup";
    case ui::kPasswordWindowId: return "password";
    case ui::kIntroWindowId: return "intro";
    default: {
      char hex[16];
      std::snprintf(hex, sizeof hex, "0x%08X", window_id);
      return hex;
    }
  }
}

ScriptRunner::ScriptRunner(const Script& script, RunOptions options, std::function<int()> entry)
    : script_(script), options_(std::move(options)), entry_(std::move(entry)) {}

void ScriptRunner::Fail(std::string message) const {
  throw StepFailed{current_line_, std::move(message)};
}

std::string ScriptRunner::ProgramState() const {
  switch (phase_) {
    case ProgramPhase::kNotStarted: return "the program has not been started";
    case ProgramPhase::kEnded:
      return "the program has ended (exit code " + std::to_string(exit_code_) + ")";
    case ProgramPhase::kRunning: break;
  }
  return {};
}

const platform::ShownBox* ScriptRunner::OldestUncheckedBox() const {
  const auto& boxes = backend_.boxes();
  return boxes_checked_ < boxes.size() ? &boxes[boxes_checked_] : nullptr;
}

int ScriptRunner::LineOfBox(size_t index) const {
  return index < box_lines_.size() ? box_lines_[index] : current_line_;
}

void ScriptRunner::QueueAnswer(std::optional<int> button) {
  queued_answers_.push_back(button ? platform::ButtonName(*button) : "close");
  backend_.QueueBoxAnswer(button);
}

void ScriptRunner::Trace(const std::string& line) const {
  if (!options_.trace) return;
  std::fprintf(options_.out, "%s\n", line.c_str());
  std::fflush(options_.out);
}

int ScriptRunner::Run() {
  platform::CurrentDirectoryKeeper keep_directory;
  ResetProgramForTesting();
  ui::ResetWindowRuntimeForTesting();
  backend_.SetExecutablePath(Utf8ToGbk(options_.run_directory + "/memo"));
  backend_.on_box = [this](const platform::ShownBox& box) {
    box_lines_.push_back(current_line_);
    // The backend takes one queued answer per box while there are any.
    std::string answer;
    if (backend_.pending_box_answers() < queued_answers_.size()) {
      answer = queued_answers_.front();
      queued_answers_.pop_front();
    }
    Trace("  box " + DescribeBox(box) + " -> " + platform::ButtonName(box.result));
    if (box.answer_refused) {
      Fail("message box " + DescribeBox(box) +
           (answer.empty() ? " has no OK button and no answer was queued for it"
                           : " cannot be answered " + answer) +
           " (its buttons: " + ButtonList(box.style) + ")");
    }
  };
  backend_.on_popup = [this](const platform::ShownPopup& popup) {
    std::string captions;
    // Appended in two steps: g++ 12 flags `" " + string` with a false -Wrestrict when optimising.
    for (const std::string& caption : popup.captions_gbk) {
      captions += ' ';
      captions += ShowGbk(caption);
    }
    Trace("  popup" + captions + " at " + std::to_string(popup.position.x) + " " +
          std::to_string(popup.position.y) +
          (popup.result ? " -> " + ShowGbk(popup.choice_gbk) : std::string(" -> dismissed")));
    if (popup.choice_missing) {
      Fail("the pop-up menu has no enabled item " + ShowGbk(popup.choice_gbk) + " (it showed" +
           captions + ")");
    }
  };
  platform::InstallBackend(&backend_);

  int status = 0;
  try {
    while (next_step_ < script_.steps.size()) {
      const Step& step = script_.steps[next_step_++];
      if (step.spec->kind == StepKind::kStart) {
        RunProgram(step);
      } else {
        RunStep(step);
      }
    }
    CheckEnd();
  } catch (const StepFailed& failure) {
    std::fprintf(options_.err, "%s:%d: %s\n", script_.path.c_str(), failure.line,
                 failure.message.c_str());
    std::fflush(options_.err);
    status = 1;
  }
  // A failure leaves the program where it stopped; its windows go without their events.
  if (phase_ == ProgramPhase::kRunning) ui::ReleaseWindows();
  backend_.SetDriver(nullptr);
  backend_.on_box = nullptr;
  backend_.on_popup = nullptr;
  platform::InstallBackend(nullptr);
  return status;
}

void ScriptRunner::RunStep(const Step& step) {
  current_line_ = step.line;
  Trace(std::to_string(step.line) + ": " + step.source);
  step.spec->run(*this, step);
}

void ScriptRunner::RunProgram(const Step& start) {
  current_line_ = start.line;
  Trace(std::to_string(start.line) + ": " + start.source);
  phase_ = ProgramPhase::kRunning;
  backend_.SetDriver([this] { return Drive(); });
  int code = 0;
  try {
    code = entry_();
  } catch (const platform::ProgramEnded& ended) {
    code = ended.code;
  }
  backend_.SetDriver(nullptr);
  phase_ = ProgramPhase::kEnded;
  exit_code_ = code;
  end_line_ = current_line_;
  TraceWindows();
  Trace("  the program ended with exit code " + std::to_string(code));
}

bool ScriptRunner::Drive() {
  TraceWindows();
  if (next_step_ < script_.steps.size()) {
    RunStep(script_.steps[next_step_++]);
    TraceWindows();
    return true;
  }
  CloseNewestWindow();
  TraceWindows();
  return true;
}

void ScriptRunner::CloseNewestWindow() {
  current_line_ = std::max(1, script_.line_count);
  std::vector<ui::LiveWindow*> windows = ui::LiveWindows();
  if (windows.empty()) Fail("at the end of the script no window is open, yet the program runs on");
  ui::LiveWindow* newest = windows.back();
  uint32_t id = newest->window_id();
  std::string name = WindowDisplayName(id);
  Trace("  (end of script) close " + name);
  auto* native = static_cast<platform::HeadlessWindow*>(newest->native());
  if (!native->UserClose()) {
    Fail("at the end of the script window " + name + " cannot be closed (" +
         (!native->IsVisible()   ? "it is hidden"
          : !native->IsEnabled() ? "it is disabled"
                                 : "it has no close box") +
         ")");
  }
  // Closing ran its routines; if the same window is still there, its close request was refused.
  for (ui::LiveWindow* window : ui::LiveWindows()) {
    if (window == newest && window->window_id() == id && !window->closing()) {
      Fail("at the end of the script window " + name + " refused to close");
    }
  }
}

void ScriptRunner::CheckEnd() {
  const auto& boxes = backend_.boxes();
  if (phase_ == ProgramPhase::kEnded && !exit_checked_ && exit_code_ != 0) {
    current_line_ = end_line_;
    std::string report;
    for (const platform::ShownBox& box : boxes) {
      if (IsErrorReport(box)) report = " after the run-time error report " + ShowGbk(box.text_gbk);
    }
    Fail("the program ended with exit code " + std::to_string(exit_code_) + report +
         " (expected 0; say expect-exit if this is intended)");
  }
  if (boxes_checked_ < boxes.size()) {
    current_line_ = LineOfBox(boxes_checked_);
    size_t left = boxes.size() - boxes_checked_;
    Fail("message box " + DescribeBox(boxes[boxes_checked_]) + " was shown here and never checked" +
         (left > 1 ? " (" + std::to_string(left) + " boxes unchecked)" : std::string()));
  }
}

void ScriptRunner::TraceWindows() {
  if (!options_.trace) return;
  std::vector<uint32_t> now;
  for (ui::LiveWindow* window : ui::LiveWindows()) now.push_back(window->window_id());
  for (uint32_t id : traced_windows_) {
    if (std::find(now.begin(), now.end(), id) == now.end())
      Trace("  window closed: " + WindowDisplayName(id));
  }
  for (ui::LiveWindow* window : ui::LiveWindows()) {
    uint32_t id = window->window_id();
    if (std::find(traced_windows_.begin(), traced_windows_.end(), id) == traced_windows_.end()) {
      Trace("  window opened: " + WindowDisplayName(id) + " " +
            ShowGbk(window->native() ? window->native()->Caption() : std::string()));
    }
  }
  traced_windows_ = std::move(now);
}

}  // namespace memo::script
