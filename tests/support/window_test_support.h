// A fixture for window runtime tests: a headless backend, a program state, a store built from
// windows described in the test, and routines whose behaviour each test sets.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "platform/codec.h"
#include "platform/headless/headless_backend.h"
#include "platform/headless/headless_controls.h"
#include "runtime/program.h"
#include "tests/support/gbk.h"
#include "ui/format/segment.h"
#include "ui/format/type_blocks.h"
#include "ui/window/events.h"
#include "ui/window/window_runtime.h"

namespace memo::testing {

// Routine i of the test table runs behaviours[i] (when set) and logs its call.
constexpr int kTestRoutines = 24;
struct RoutineLog {
  int routine = 0;
  uint32_t unit_id = 0;
  int32_t event = 0;
  std::vector<uint32_t> args;
};
extern std::array<std::function<void(ui::EventCall&)>, kTestRoutines> behaviours;
extern std::vector<RoutineLog> routine_log;
const ui::EventRoutine* TestRoutineTable();

// Builds window records.
class WindowBuilder {
 public:
  WindowBuilder(uint32_t window_id, uint32_t window_unit_id, ui::WindowBlock block = {});
  // A control or data unit; returns its index.
  WindowBuilder& Add(uint32_t id, uint32_t type, const char* name_utf8, platform::Rect rect,
                     std::string block, uint32_t flags = 5,
                     std::vector<ui::EventBinding> events = {});
  WindowBuilder& Menu(uint32_t id, uint32_t level, const char* caption_utf8, int32_t routine,
                      uint32_t flags = 0, uint32_t shortcut = 0);
  WindowBuilder& WindowEvents(std::vector<ui::EventBinding> events);
  WindowBuilder& WindowFlags(uint32_t flags);
  WindowBuilder& WindowRect(platform::Rect rect);
  ui::WindowRecord Build() const { return record_; }

 private:
  ui::WindowRecord record_;
};

std::string EditBlock(const char* content_utf8 = "", uint32_t input_mode = 0);
std::string ButtonBlock(const char* caption_utf8);

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Writes the store, loads it into the runtime.
  void Install(const std::vector<ui::WindowRecord>& windows);
  // The live window's native headless window, or null.
  platform::HeadlessWindow* Native(uint32_t window_id);
  // The live control of a unit.
  platform::Control* ControlOf(uint32_t window_id, uint32_t unit_id);
  // Runs `body` expecting the program to end with the run-time error report; returns the text
  // of the box it showed.
  std::string ExpectFatal(const std::function<void()>& body);
  // Events logged for a unit, in order.
  std::vector<int32_t> EventsOf(uint32_t unit_id) const;

  platform::HeadlessBackend backend_;
  std::string segment_;
};

}  // namespace memo::testing
