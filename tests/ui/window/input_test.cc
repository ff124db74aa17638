// Input before the controls see it: the common events with their arguments, the swallow and
// replace rules, the keys every window handles, menus and pop-ups, and the dispatcher's checks.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/headless/headless_controls.h"
#include "runtime/dispatch.h"
#include "tests/support/window_test_support.h"
#include "ui/window/window_commands.h"

namespace memo::testing {
namespace {

using ui::unit_type::kButton;
using ui::unit_type::kEditBox;
namespace vk = platform::vk;

constexpr uint32_t kWin = 0x52010001;
constexpr uint32_t kWinUnit = 0x06010000;
constexpr uint32_t kEdit1 = 0x16010010;
constexpr uint32_t kEdit2 = 0x16010011;
constexpr uint32_t kNoTab = 0x16010012;
constexpr uint32_t kButton1 = 0x16010013;
constexpr uint32_t kAlias = 0x16010014;  // uses kEdit1's event table
constexpr uint32_t kMenuBar = 0x26010030;
constexpr uint32_t kMenuA = 0x26010031;
constexpr uint32_t kMenuB = 0x26010032;
constexpr uint32_t kHidden = 0x26010033;
constexpr uint32_t kPopupItem = 0x26010034;

void ReturnBool(ui::EventCall& call, bool v) {
  call.has_result = true;
  call.result = BoolValue(v);
}

class InputTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    WindowBuilder window(kWin, kWinUnit);
    window
        .Add(kEdit1, kEditBox, "编辑框1", {10, 10, 100, 22}, EditBlock(), 5,
             {{-9, 0}, {-11, 1}, {-1, 2}, {-7, 3}, {-8, 4}})
        .Add(kEdit2, kEditBox, "编辑框2", {10, 40, 100, 22}, EditBlock(), 5, {{-9, 5}})
        .Add(kNoTab, kEditBox, "编辑框3", {10, 70, 100, 22}, EditBlock(), 1)
        .Menu(kMenuBar, 0, "编辑", -1)
        .Menu(kMenuA, 1, "甲", 7)
        .Menu(kMenuB, 1, "-", -1)
        .Menu(kHidden, 0, "右键", -1, ui::kMenuHidden)
        .Menu(kPopupItem, 1, "乙", 8)
        .Add(kButton1, kButton, "按钮1", {120, 10, 50, 24}, ButtonBlock("&Ok"), 5, {{0, 6}});
    ui::WindowRecord record = window.Build();
    ui::UnitRecord alias = record.units[1];
    alias.id = kAlias;
    alias.name = G("编辑框9");
    alias.top = 100;
    alias.events.clear();
    alias.event_source = kEdit1;
    record.units.push_back(alias);
    Install({record});
    ASSERT_TRUE(ui::LoadWindow(kWin, nullptr, false));
    routine_log.clear();
  }
  platform::HeadlessWindow* W() { return Native(kWin); }
  platform::HeadlessEdit* Edit(uint32_t unit) {
    return static_cast<platform::HeadlessEdit*>(ControlOf(kWin, unit));
  }
};

TEST_F(InputTest, KeyAndMouseEventsCarryTheirArguments) {
  W()->UserKey(Edit(kEdit1), 'A', platform::kShiftShift);
  ASSERT_FALSE(routine_log.empty());
  EXPECT_EQ(routine_log[0].event, -9);
  EXPECT_EQ(routine_log[0].args, (std::vector<uint32_t>{'A', 2}));
  routine_log.clear();
  W()->UserClickAt(Edit(kEdit1), {5, 6}, platform::kShiftCtrl);
  ASSERT_FALSE(routine_log.empty());
  EXPECT_EQ(routine_log[0].event, -1);
  EXPECT_EQ(routine_log[0].args, (std::vector<uint32_t>{5, 6, 1}));
}

TEST_F(InputTest, ARoutineReturningNothingLeavesTheKeyToTheControl) {
  W()->UserType(Edit(kEdit1), "ab");
  EXPECT_EQ(Edit(kEdit1)->Text(), "ab");
}

TEST_F(InputTest, ACharacterRoutineSwallowsWithZeroAndReplacesWithACode) {
  behaviours[1] = [](ui::EventCall& call) {
    call.has_result = true;
    call.result =
        IntValue(call.args[0].low == 'x' ? 0 : (call.args[0].low == 'a' ? 'b' : call.args[0].low));
  };
  W()->UserType(Edit(kEdit1), "axc");
  EXPECT_EQ(Edit(kEdit1)->Text(), "bc");
}

TEST_F(InputTest, AKeyRoutineReturningFalseSwallowsTheKey) {
  behaviours[0] = [](ui::EventCall& call) { ReturnBool(call, false); };
  Edit(kEdit1)->SetText("abc");
  Edit(kEdit1)->SetSelection(0, 0);
  W()->UserKey(Edit(kEdit1), vk::kDelete);
  EXPECT_EQ(Edit(kEdit1)->Text(), "abc");
  behaviours[0] = [](ui::EventCall& call) { ReturnBool(call, true); };
  W()->UserKey(Edit(kEdit1), vk::kDelete);
  EXPECT_EQ(Edit(kEdit1)->Text(), "bc");
}

TEST_F(InputTest, FocusChangesRaiseFocusEvents) {
  W()->UserFocus(Edit(kEdit2));
  W()->UserFocus(Edit(kEdit1));
  EXPECT_EQ(EventsOf(kEdit1), (std::vector<int32_t>{-8, -7}));
}

TEST_F(InputTest, TabAndShiftTabCycleTheTabStopsAndRaiseNoKeyEvent) {
  W()->UserFocus(Edit(kEdit1));
  routine_log.clear();
  W()->UserKey(Edit(kEdit1), vk::kTab);
  EXPECT_EQ(backend_.focus(), Edit(kEdit2));
  W()->UserKey(Edit(kEdit2), vk::kTab);  // the third box has no tab stop
  EXPECT_EQ(backend_.focus(), ControlOf(kWin, kButton1));
  W()->UserKey(ControlOf(kWin, kButton1), vk::kTab, platform::kShiftShift);
  EXPECT_EQ(backend_.focus(), Edit(kEdit2));
  for (const RoutineLog& entry : routine_log) EXPECT_NE(entry.event, -9);
  EXPECT_EQ(Edit(kEdit2)->Text(), "");  // no tab character typed
}

TEST_F(InputTest, EnterInAnEditBoxGoesToItsKeyEventAndEnterOnAButtonClicksIt) {
  W()->UserKey(Edit(kEdit2), vk::kReturn);
  EXPECT_EQ(EventsOf(kEdit2).back(), -9);
  EXPECT_TRUE(EventsOf(kButton1).empty());  // a normal button does not take another's Enter
  W()->UserKey(ControlOf(kWin, kButton1), vk::kReturn);
  EXPECT_EQ(EventsOf(kButton1), (std::vector<int32_t>{0}));
}

TEST_F(InputTest, AltWithTheMarkedLetterActivatesTheControl) {
  W()->UserKey(Edit(kEdit1), 'O', platform::kShiftAlt);
  EXPECT_EQ(EventsOf(kButton1), (std::vector<int32_t>{0}));
}

TEST_F(InputTest, AnEventSourceChainUsesTheOtherUnitsTable) {
  W()->UserKey(Edit(kAlias), 'Q');
  auto key = std::find_if(routine_log.begin(), routine_log.end(),
                          [](const RoutineLog& entry) { return entry.event == -9; });
  ASSERT_NE(key, routine_log.end());
  EXPECT_EQ(key->routine, 0);
  EXPECT_EQ(key->unit_id, kAlias);  // the source stays the unit that raised it
}

TEST_F(InputTest, TheCurrentEventSourceIsSetWhileARoutineRuns) {
  ui::EventSource inside;
  behaviours[6] = [&](ui::EventCall&) { inside = ui::CurrentEventSource(); };
  W()->UserClick(ControlOf(kWin, kButton1));
  EXPECT_EQ(inside.window_id, kWin);
  EXPECT_EQ(inside.unit_id, kButton1);
  EXPECT_EQ(ui::CurrentEventSource().unit_id, 0u);
}

TEST_F(InputTest, MenuCommandsRunTheirItemsRoutines) {
  const auto& bar = W()->menu_bar();
  ASSERT_EQ(bar.size(), 1u);  // the hidden item stays out of the bar
  ASSERT_EQ(bar[0].children.size(), 2u);
  EXPECT_EQ(bar[0].children[0].command_id, 20001);
  EXPECT_TRUE(bar[0].children[1].separator);
  EXPECT_TRUE(W()->UserMenu(20001));
  EXPECT_EQ(EventsOf(kMenuA), (std::vector<int32_t>{0}));
}

TEST_F(InputTest, F10AndAltWithTheBarsLetterOpenTheMenuBar) {
  const auto& bar = W()->menu_bar();
  ASSERT_EQ(bar.size(), 1u);
  EXPECT_EQ(bar[0].caption_gbk, G("编辑(&B)"));  // the pinyin initial of its first character
  EXPECT_EQ(W()->opened_menu(), -1);
  W()->UserKey(Edit(kEdit1), 'B', platform::kShiftAlt);
  EXPECT_EQ(W()->opened_menu(), 0);
  const std::vector<int32_t> events = EventsOf(kEdit1);
  EXPECT_EQ(std::count(events.begin(), events.end(), -9), 0);  // consumed before the key event
  EXPECT_EQ(Edit(kEdit1)->Text(), "");                         // the letter typed nothing
  W()->CloseMenuBar();
  W()->UserKey(Edit(kEdit2), vk::kF1 + 9);
  EXPECT_EQ(W()->opened_menu(), 0);
  // The button's own marked letter still presses it; a letter nobody has does nothing.
  W()->UserKey(Edit(kEdit1), 'O', platform::kShiftAlt);
  EXPECT_EQ(EventsOf(kButton1), (std::vector<int32_t>{0}));
}

TEST_F(InputTest, APopupShowsTheSubItemsBesideThePointer) {
  backend_.SetCursorPosition({200, 300});
  backend_.QueuePopupChoice(G("乙"));
  ArgList args{ui::UnitReference(kWin, kWinUnit, ui::unit_type::kWindow),
               ui::UnitReference(kWin, kHidden, ui::unit_type::kMenu), IntValue(230)};
  CallCommand(ui::PopupMenuCommand, args);
  ASSERT_EQ(backend_.popups().size(), 1u);
  EXPECT_EQ(backend_.popups()[0].position, (platform::Point{230, 303}));
  EXPECT_EQ(backend_.popups()[0].captions_gbk, (std::vector<std::string>{G("乙")}));
  EXPECT_EQ(EventsOf(kPopupItem), (std::vector<int32_t>{0}));

  ArgList none{ui::UnitReference(kWin, kWinUnit, ui::unit_type::kWindow),
               ui::UnitReference(kWin, kMenuA, ui::unit_type::kMenu)};
  CallCommand(ui::PopupMenuCommand, none);
  ArgList other{ui::UnitReference(kWin, kWinUnit, ui::unit_type::kWindow),
                ui::UnitReference(0x52010002, kHidden, ui::unit_type::kMenu)};
  CallCommand(ui::PopupMenuCommand, other);
  EXPECT_EQ(backend_.popups().size(), 1u);
}

TEST_F(InputTest, RaisingAnEventOfAnUnknownWindowOrUnitIsFatal) {
  std::string report = ExpectFatal([] { ui::RaiseUnitEvent(0x52010055, 0, 0); });
  EXPECT_NE(report.find(G("未找到引发事件的窗口")), std::string::npos);
}

TEST_F(InputTest, RaisingAnEventOfAnUnknownUnitIsFatal) {
  std::string report = ExpectFatal([] { ui::RaiseUnitEvent(kWin, 0x16019999, 0); });
  EXPECT_NE(report.find(G("未找到引发事件的窗口组件")), std::string::npos);
}

TEST_F(InputTest, AUnitCommandOnAClosedWindowIsFatal) {
  ui::CloseWindow(kWin, 0, true);
  std::string report = ExpectFatal([] {
    ArgList args{ui::UnitReference(kWin, kEdit1, kEditBox)};
    CallCommand(ui::SetFocusCommand, args);
  });
  EXPECT_NE(report.find(G("指定窗口或窗口组件不存在或尚未载入")), std::string::npos);
}

}  // namespace
}  // namespace memo::testing
