#include "bench/app_session.h"

#include <time.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "app/entry.h"
#include "app/window_units.h"
#include "app/windows/program_routines.h"
#include "platform/codec.h"
#include "platform/headless/headless_controls.h"
#include "platform/headless/headless_window.h"
#include "platform/process.h"
#include "runtime/program.h"
#include "ui/advanced_grid/egrid.h"
#include "ui/advanced_grid/egrid_unit.h"
#include "ui/data_units/data_units.h"
#include "ui/format/segment.h"
#include "ui/window/unit.h"
#include "ui/window/window_runtime.h"

namespace memo::bench {
namespace {

std::string Hex(uint32_t id) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", id);
  return text;
}

}  // namespace

AppSession::AppSession(std::string run_directory) : run_directory_(std::move(run_directory)) {}

void AppSession::Then(std::function<void()> step) { steps_.push_back(std::move(step)); }

bool AppSession::Drive() {
  if (!steps_.empty()) {
    std::function<void()> step = std::move(steps_.front());
    steps_.pop_front();
    step();
    return true;
  }
  std::vector<ui::LiveWindow*> windows = ui::LiveWindows();
  if (windows.empty()) throw SessionFailed{"no window is open, yet the program runs on"};
  auto* native = static_cast<platform::HeadlessWindow*>(windows.back()->native());
  if (!native->UserClose()) {
    throw SessionFailed{"window " + Hex(windows.back()->window_id()) + " cannot be closed"};
  }
  return true;
}

bool AppSession::Run() {
  platform::CurrentDirectoryKeeper keep_directory;
  ResetProgramForTesting();
  ui::ResetWindowRuntimeForTesting();
  backend_.SetExecutablePath(Utf8ToGbk(run_directory_ + "/memo"));
  backend_.SetDriver([this] { return Drive(); });
  platform::Backend* previous = platform::InstallBackend(&backend_);
  int code = 0;
  bool running = true;
  try {
    code = app::RunMemo();
    running = false;
  } catch (const platform::ProgramEnded& ended) {
    code = ended.code;
    running = false;
  } catch (const SessionFailed& failed) {
    error_ = failed.message;
  }
  if (running) ui::ReleaseWindows();
  backend_.SetDriver(nullptr);
  platform::InstallBackend(previous);
  if (!error_.empty()) return false;
  if (!backend_.boxes().empty()) {
    error_ = "a message box was shown: " + GbkToUtf8(backend_.boxes().front().text_gbk);
    return false;
  }
  if (code != 0) {
    error_ = "the program ended with exit code " + std::to_string(code);
    return false;
  }
  return true;
}

platform::HeadlessWindow* AppSession::NativeOf(uint32_t window_id) const {
  ui::LiveWindow* window = ui::FindLiveWindow(window_id);
  if (!window || !window->native())
    throw SessionFailed{"window " + Hex(window_id) + " is not open"};
  return static_cast<platform::HeadlessWindow*>(window->native());
}

platform::Control* AppSession::ControlOf(uint32_t window_id, uint32_t unit_id) const {
  NativeOf(window_id);
  ui::Unit* unit = ui::FindLiveWindow(window_id)->FindUnit(unit_id);
  platform::Control* control = unit ? unit->control() : nullptr;
  if (!control) throw SessionFailed{"unit " + Hex(unit_id) + " has no control"};
  return control;
}

bool AppSession::IsOpen(uint32_t window_id) const {
  ui::LiveWindow* window = ui::FindLiveWindow(window_id);
  return window && window->native() && window->loaded() && !window->closing();
}

void AppSession::Type(uint32_t window_id, uint32_t unit_id, std::string_view text_gbk) {
  if (!NativeOf(window_id)->UserType(ControlOf(window_id, unit_id), text_gbk))
    throw SessionFailed{"cannot type into " + Hex(unit_id)};
}

void AppSession::Click(uint32_t window_id, uint32_t unit_id) {
  if (!NativeOf(window_id)->UserClick(ControlOf(window_id, unit_id)))
    throw SessionFailed{"cannot click " + Hex(unit_id)};
}

void AppSession::Key(uint32_t window_id, uint32_t unit_id, int key, int shift) {
  if (!NativeOf(window_id)->UserKey(ControlOf(window_id, unit_id), key, shift))
    throw SessionFailed{"cannot press a key on " + Hex(unit_id)};
}

void AppSession::Select(uint32_t window_id, uint32_t unit_id, int index) {
  if (!NativeOf(window_id)->UserSelect(ControlOf(window_id, unit_id), index))
    throw SessionFailed{"cannot pick item " + std::to_string(index) + " of " + Hex(unit_id)};
}

void AppSession::Close(uint32_t window_id) {
  if (!NativeOf(window_id)->UserClose()) throw SessionFailed{"cannot close " + Hex(window_id)};
}

ui::Grid* AppSession::MainGrid() const {
  ui::LiveWindow* window = ui::FindLiveWindow(ui::kMainWindowId);
  ui::Grid* grid = window ? ui::GridOfUnit(window->FindUnit(app::main_window::kGrid)) : nullptr;
  if (!grid) throw SessionFailed{"the main window's grid is not there"};
  return grid;
}

db::DataSource* AppSession::MainDataSource() const {
  ui::LiveWindow* window = ui::FindLiveWindow(ui::kMainWindowId);
  db::DataSource* source =
      window ? ui::DataSourceOfUnit(window->FindUnit(app::main_window::kDataSource)) : nullptr;
  if (!source) throw SessionFailed{"the main window's data source is not there"};
  return source;
}

int AppSession::FollowUpRows() const {
  ui::LiveWindow* window = ui::FindLiveWindow(ui::kFollowUpWindowId);
  ui::EGrid* grid = window ? ui::EGridOf(window->FindUnit(app::followup::kGrid)) : nullptr;
  if (!grid) throw SessionFailed{"the follow-up window's grid is not there"};
  return grid->model().rows();
}

void AppSession::ClickMainCell(int row, int column) {
  ui::Grid* grid = MainGrid();
  if (grid->cursor() == ui::GridCell{row, column}) return;
  platform::Rect rect = grid->CellClientRect(row, column);
  if (rect.width <= 0 || rect.height <= 0) {
    throw SessionFailed{"cell " + std::to_string(row) + ", " + std::to_string(column) +
                        " of the main grid cannot be shown"};
  }
  platform::Point at{rect.left + rect.width / 2, rect.top + rect.height / 2};
  if (!NativeOf(ui::kMainWindowId)->UserClickAt(grid->canvas(), at))
    throw SessionFailed{"cannot click the main grid"};
  if (!(grid->cursor() == ui::GridCell{row, column}))
    throw SessionFailed{"the click did not move the main grid's cursor"};
}

void AppSession::Repaint(uint32_t window_id, uint32_t unit_id) {
  ControlOf(window_id, unit_id)->RepaintNow();
}

double ThreadCpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

void ActionTimer::Start() {
  calls_ = platform::ReadFileCallCounts();
  cpu_ = ThreadCpuSeconds();
  wall_ = std::chrono::steady_clock::now();
}

ActionCost ActionTimer::Stop() const {
  ActionCost cost;
  auto now = std::chrono::steady_clock::now();
  cost.wall = std::chrono::duration<double>(now - wall_).count();
  cost.cpu = ThreadCpuSeconds() - cpu_;
  cost.calls = platform::ReadFileCallCounts().Since(calls_);
  return cost;
}

}  // namespace memo::bench
