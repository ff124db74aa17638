#include "tests/support/window_test_support.h"

#include "runtime/fatal.h"

namespace memo::testing {

std::array<std::function<void(ui::EventCall&)>, kTestRoutines> behaviours;
std::vector<RoutineLog> routine_log;

namespace {

template <int N>
void Trampoline(ui::EventCall& call) {
  RoutineLog entry;
  entry.routine = N;
  entry.unit_id = call.unit_id;
  entry.event = call.event;
  for (int i = 0; i < call.arg_count; ++i) entry.args.push_back(call.args[i].low);
  routine_log.push_back(entry);
  if (behaviours[N]) behaviours[N](call);
}

template <int... N>
std::array<ui::EventRoutine, kTestRoutines> MakeTable(std::integer_sequence<int, N...>) {
  return {Trampoline<N>...};
}

}  // namespace

const ui::EventRoutine* TestRoutineTable() {
  static const auto table = MakeTable(std::make_integer_sequence<int, kTestRoutines>{});
  return table.data();
}

WindowBuilder::WindowBuilder(uint32_t window_id, uint32_t window_unit_id, ui::WindowBlock block) {
  record_.id = window_id;
  ui::UnitRecord unit;
  unit.id = window_unit_id;
  unit.type = ui::unit_type::kWindow;
  unit.left = 50;
  unit.top = 50;
  unit.width = 300;
  unit.height = 200;
  unit.flags = ui::kFlagVisible;
  unit.type_block = ui::WriteWindowBlock(block);
  record_.units.push_back(unit);
}

WindowBuilder& WindowBuilder::Add(uint32_t id, uint32_t type, const char* name_utf8,
                                  platform::Rect rect, std::string block, uint32_t flags,
                                  std::vector<ui::EventBinding> events) {
  ui::UnitRecord unit;
  unit.id = id;
  unit.type = type;
  unit.name = G(name_utf8);
  unit.left = rect.left;
  unit.top = rect.top;
  unit.width = rect.width;
  unit.height = rect.height;
  unit.flags = flags;
  unit.events = std::move(events);
  unit.type_block = std::move(block);
  record_.units.push_back(unit);
  return *this;
}

WindowBuilder& WindowBuilder::Menu(uint32_t id, uint32_t level, const char* caption_utf8,
                                   int32_t routine, uint32_t flags, uint32_t shortcut) {
  ui::UnitRecord item;
  item.id = id;
  item.type = ui::unit_type::kMenu;
  item.level = level;
  item.caption = G(caption_utf8);
  item.routine = routine;
  item.menu_flags = flags;
  item.shortcut = shortcut;
  record_.units.push_back(item);
  return *this;
}

WindowBuilder& WindowBuilder::WindowEvents(std::vector<ui::EventBinding> events) {
  record_.units[0].events = std::move(events);
  return *this;
}

WindowBuilder& WindowBuilder::WindowFlags(uint32_t flags) {
  record_.units[0].flags = flags;
  return *this;
}

WindowBuilder& WindowBuilder::WindowRect(platform::Rect rect) {
  ui::UnitRecord& unit = record_.units[0];
  unit.left = rect.left;
  unit.top = rect.top;
  unit.width = rect.width;
  unit.height = rect.height;
  return *this;
}

std::string EditBlock(const char* content_utf8, uint32_t input_mode) {
  ui::EditBoxBlock block;
  block.content = G(content_utf8);
  block.input_mode = input_mode;
  return ui::WriteEditBoxBlock(block);
}

std::string ButtonBlock(const char* caption_utf8) {
  ui::ButtonBlock block;
  block.caption = G(caption_utf8);
  return ui::WriteButtonBlock(block);
}

void WindowTest::SetUp() {
  ResetProgramForTesting();
  ui::ResetWindowRuntimeForTesting();
  platform::InstallBackend(&backend_);
  for (auto& behaviour : behaviours) behaviour = nullptr;
  routine_log.clear();
  ui::SetRoutineTable(TestRoutineTable(), kTestRoutines);
  ui::InstallWindowRuntime(nullptr, 0);  // the hooks; each test loads its own store
}

void WindowTest::TearDown() {
  ui::ResetWindowRuntimeForTesting();
  backend_.RunPendingTasks();
  platform::InstallBackend(nullptr);
  ResetProgramForTesting();
  for (auto& behaviour : behaviours) behaviour = nullptr;
}

void WindowTest::Install(const std::vector<ui::WindowRecord>& windows) {
  ui::DefinitionStore store;
  store.windows = windows;
  segment_ = ui::WriteSegment(store);
  ASSERT_TRUE(ui::LoadSegment(reinterpret_cast<const uint8_t*>(segment_.data()), segment_.size()));
}

platform::HeadlessWindow* WindowTest::Native(uint32_t window_id) {
  ui::LiveWindow* live = ui::FindLiveWindow(window_id);
  return live ? static_cast<platform::HeadlessWindow*>(live->native()) : nullptr;
}

platform::Control* WindowTest::ControlOf(uint32_t window_id, uint32_t unit_id) {
  ui::Unit* unit = ui::FindUnitObject(window_id, unit_id);
  return unit ? unit->control() : nullptr;
}

std::string WindowTest::ExpectFatal(const std::function<void()>& body) {
  size_t boxes = backend_.boxes().size();
  try {
    body();
    ADD_FAILURE() << "the program did not end";
  } catch (const platform::ProgramEnded& ended) {
    EXPECT_EQ(ended.code, -1);
  }
  if (backend_.boxes().size() <= boxes) return {};
  return backend_.boxes().back().text_gbk;
}

std::vector<int32_t> WindowTest::EventsOf(uint32_t unit_id) const {
  std::vector<int32_t> events;
  for (const RoutineLog& entry : routine_log) {
    if (entry.unit_id == unit_id) events.push_back(entry.event);
  }
  return events;
}

}  // namespace memo::testing
