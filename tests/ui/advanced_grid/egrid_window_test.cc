// The advanced grid as a unit of a loaded window: created from its type block (or refused),
// properties 15 to 20 by number, the commands through a unit reference, and its events reaching
// the window's routines, stopping when a routine closes the window.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/headless/headless_controls.h"
#include "runtime/dispatch.h"
#include "runtime/heap.h"
#include "tests/support/window_test_support.h"
#include "ui/advanced_grid/egrid_commands.h"
#include "ui/advanced_grid/egrid_unit.h"
#include "ui/window/property_numbers.h"
#include "ui/window/window_commands.h"

namespace memo::testing {
namespace {

using ui::property::kEGridColumns;
using ui::property::kEGridColumnWidth;
using ui::property::kEGridRowHeight;
using ui::property::kEGridRows;
using ui::unit_type::kEGrid;

constexpr uint32_t kWin = 0x52010001;
constexpr uint32_t kWinUnit = 0x06010000;
constexpr uint32_t kGrid = 0x16010020;
constexpr uint32_t kEdit = 0x16010021;

// The follow-up window's grid: one row, two columns 325 wide, no headings.
ui::EGridBlock FollowUpBlock() {
  ui::EGridBlock block;
  const uint32_t words[28] = {0xC0C0C0, 0xFFFFFF, 0, 0,        3, 1, 1, 24,         325, 1,
                              2,        0,        0, 0,        1, 1, 1, 0xFF000000, 0,   0,
                              3,        1,        1, 0xFF9933, 1, 0, 0, 1};
  std::copy(std::begin(words), std::end(words), block.words);
  return block;
}

class EGridWindowTest : public WindowTest {
 protected:
  bool Load(const std::string& block) {
    WindowBuilder window(kWin, kWinUnit);
    window.WindowRect({50, 50, 700, 420})
        .Add(kGrid, kEGrid, "高级表格1", {10, 10, 600, 300}, block, 5, {{0, 0}, {5, 1}, {8, 2}})
        .Add(kEdit, ui::unit_type::kEditBox, "编辑框1", {10, 320, 100, 22}, EditBlock());
    Install({window.Build()});
    bool loaded = ui::LoadWindow(kWin, nullptr, false);
    routine_log.clear();
    return loaded;
  }
  ui::EGrid* Grid() { return ui::EGridOf(ui::FindUnitObject(kWin, kGrid)); }
  platform::HeadlessCanvas* Canvas() {
    return static_cast<platform::HeadlessCanvas*>(ControlOf(kWin, kGrid));
  }
  TypedValue Ref() { return ui::UnitReference(kWin, kGrid, kEGrid); }
  TypedValue Call(CommandRoutine command, ArgList args) {
    ArgList all{Ref()};
    for (int32_t i = 0; i < args.size(); ++i) all.Add(args[static_cast<size_t>(i)]);
    return CallCommand(command, all);
  }
  int32_t Property(int32_t number) {
    return static_cast<int32_t>(ui::ReadProperty(kWin, kGrid, number, -1).low);
  }
};

TEST_F(EGridWindowTest, CreatedFromItsTypeBlock) {
  ASSERT_TRUE(Load(ui::WriteEGridBlock(FollowUpBlock())));
  ui::EGrid* grid = Grid();
  ASSERT_NE(grid, nullptr);
  EXPECT_EQ(grid->model().rows(), 1);
  EXPECT_EQ(grid->model().columns(), 2);
  EXPECT_EQ(grid->model().column_width(1), 325);
  EXPECT_EQ(grid->model().selection_color(), 0xFF9933u);
  EXPECT_EQ(Canvas()->style().border, 1);
  EXPECT_EQ(ui::EGridOf(ui::FindUnitObject(kWin, kEdit)), nullptr);  // not every unit is a grid

  ui::EGridBlock framed = FollowUpBlock();
  framed.words[ui::kEGridSelectionWord] |= 0x80000000u;
  framed.extension_format = 1;
  framed.extension_border = 5;  // a thin border
  ui::ResetWindowRuntimeForTesting();
  ASSERT_TRUE(Load(ui::WriteEGridBlock(framed)));
  EXPECT_EQ(Canvas()->style().border, 2);
  EXPECT_EQ(Grid()->model().selection_color(), 0xFF9933u);
}

TEST_F(EGridWindowTest, BlocksThatCannotMakeAGridFailTheLoad) {
  std::string good = ui::WriteEGridBlock(FollowUpBlock());
  std::string newer = good;
  newer[0] = 13;  // the version, little-endian
  ui::EGridBlock bad_format = FollowUpBlock();
  bad_format.words[ui::kEGridSelectionWord] |= 0x80000000u;
  bad_format.extension_format = 2;
  ui::EGridBlock huge = FollowUpBlock();
  huge.words[9] = 0x7FFFFFFF;  // rows
  for (const std::string& block : {newer, good.substr(0, good.size() - 2),
                                   ui::WriteEGridBlock(bad_format), ui::WriteEGridBlock(huge)}) {
    ui::ResetWindowRuntimeForTesting();
    EXPECT_FALSE(Load(block));
    EXPECT_EQ(ui::FindLiveWindow(kWin), nullptr);
  }
}

TEST_F(EGridWindowTest, FollowUpFillThroughCommandsAndProperties) {
  ASSERT_TRUE(Load(ui::WriteEGridBlock(FollowUpBlock())));
  EXPECT_EQ(Call(ui::EGridReset, {}).low, 1u);
  ui::WriteProperty(kWin, kGrid, kEGridRows, -1, IntValue(0));  // refused
  EXPECT_EQ(Property(kEGridRows), 1);
  ui::WriteProperty(kWin, kGrid, kEGridRows, -1, IntValue(1));
  EXPECT_EQ(Call(ui::EGridSetColumnWidth, {IntValue(0), IntValue(170)}).low, 1u);
  EXPECT_EQ(Call(ui::EGridSetColumnWidth, {IntValue(1), IntValue(400)}).low, 1u);
  EXPECT_EQ(Call(ui::EGridSetColumnWidth, {IntValue(2), IntValue(400)}).low, 0u);
  for (const char* entry : {"first", "second", "third"}) {
    EXPECT_EQ(Call(ui::EGridInsertRow, {Omitted(), IntValue(1)}).low, 1u);
    EXPECT_EQ(Call(ui::EGridSetCell, {IntValue(1), IntValue(0), IntValue(1), TextValue("t")}).low,
              1u);
    EXPECT_EQ(Call(ui::EGridSetCell, {IntValue(1), IntValue(1), IntValue(1), TextValue(entry)}).low,
              1u);
  }
  EXPECT_EQ(Property(kEGridRows), 4);
  EXPECT_EQ(Property(kEGridColumns), 2);
  EXPECT_EQ(Property(kEGridRowHeight), 24);
  EXPECT_EQ(Property(kEGridColumnWidth), 325);  // the default width; the columns have their own
  ValueOwner top(Call(ui::EGridGetCell, {IntValue(1), IntValue(1)}));
  EXPECT_EQ(top.get().tag, TypeTag::kText);
  EXPECT_STREQ(static_cast<const char*>(top.get().Pointer()), "third");
  ValueOwner outside(Call(ui::EGridGetCell, {IntValue(5), IntValue(1)}));
  EXPECT_EQ(outside.get().tag, TypeTag::kBool);
  EXPECT_EQ(static_cast<int32_t>(Call(ui::EGridCurrentRow, {}).low), 0);
  EXPECT_EQ(static_cast<int32_t>(Call(ui::EGridCurrentColumn, {}).low), 0);
}

TEST_F(EGridWindowTest, CommandsOnAClosedWindowOrAnotherUnitEndTheProgram) {
  ASSERT_TRUE(Load(ui::WriteEGridBlock(FollowUpBlock())));
  ArgList edit{ui::UnitReference(kWin, kEdit, ui::unit_type::kEditBox)};
  std::string text = ExpectFatal([&] { CallCommand(ui::EGridInsertRow, edit); });
  EXPECT_NE(text.find(G("指定窗口或窗口组件不存在或尚未载入")), std::string::npos);

  ResetProgramForTesting();
  ui::CloseWindow(kWin, kWinUnit, true);
  ASSERT_EQ(ui::FindLiveWindow(kWin), nullptr);
  text = ExpectFatal([&] { Call(ui::EGridCurrentRow, {}); });
  EXPECT_NE(text.find(G("指定窗口或窗口组件不存在或尚未载入")), std::string::npos);
}

TEST_F(EGridWindowTest, ReleaseEventsReachTheBoundRoutinesInOrder) {
  ui::EGridBlock headed = FollowUpBlock();
  headed.words[9] = 3;   // rows
  headed.words[12] = 1;  // one heading row
  headed.words[8] = 100;
  ASSERT_TRUE(Load(ui::WriteEGridBlock(headed)));
  platform::HeadlessWindow* window = Native(kWin);
  window->UserClickAt(Canvas(), {150, 40});  // cell (1, 1), client (150, 40)
  EXPECT_EQ(EventsOf(kGrid), (std::vector<int32_t>{0, 5}));
  ASSERT_EQ(routine_log.size(), 2u);
  EXPECT_EQ(routine_log[1].args, (std::vector<uint32_t>{150, 40}));
  routine_log.clear();
  window->UserClickAt(Canvas(), {150, 10});  // the heading row
  EXPECT_EQ(EventsOf(kGrid), (std::vector<int32_t>{5, 8}));
  ASSERT_EQ(routine_log.size(), 2u);
  EXPECT_EQ(routine_log[1].args, (std::vector<uint32_t>{0, 1}));
}

TEST_F(EGridWindowTest, ARoutineThatClosesTheWindowStopsTheEvents) {
  ui::EGridBlock headed = FollowUpBlock();
  headed.words[9] = 3;
  headed.words[12] = 1;
  ASSERT_TRUE(Load(ui::WriteEGridBlock(headed)));
  behaviours[1] = [](ui::EventCall&) { ui::CloseWindow(kWin, kWinUnit, true); };
  Native(kWin)->UserClickAt(Canvas(), {100, 10});  // a heading: events 5 and 8 would follow
  EXPECT_EQ(EventsOf(kGrid), (std::vector<int32_t>{5}));
  EXPECT_EQ(ui::FindLiveWindow(kWin), nullptr);
}

}  // namespace
}  // namespace memo::testing
