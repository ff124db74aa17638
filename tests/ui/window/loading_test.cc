// Loading and closing windows: the loading steps, modal windows and their nested loops, close
// requests, CloseWindow and the end of the program.
#include <gtest/gtest.h>

#include "runtime/dispatch.h"
#include "runtime/heap.h"
#include "runtime/program.h"
#include "tests/support/window_test_support.h"
#include "ui/window/property_numbers.h"
#include "ui/window/window_commands.h"

namespace memo::testing {
namespace {

using ui::EventBinding;
using ui::property::kTag;
using ui::property::kVisible;
using ui::unit_type::kButton;
using ui::unit_type::kEditBox;

constexpr uint32_t kMain = 0x52010001;
constexpr uint32_t kMainUnit = 0x06010000;
constexpr uint32_t kDialog = 0x52010002;
constexpr uint32_t kDialogUnit = 0x06010100;
constexpr uint32_t kEditA = 0x16010010;
constexpr uint32_t kEditB = 0x16010011;
constexpr uint32_t kButtonC = 0x16010012;
constexpr uint32_t kDialogButton = 0x16010101;

std::vector<ui::WindowRecord> TwoWindows() {
  WindowBuilder main(kMain, kMainUnit);
  main.WindowEvents({{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 4}})
      .Add(kEditA, kEditBox, "编辑框A", {10, 10, 100, 20}, EditBlock("a"), 5, {{-7, 5}})
      .Add(kEditB, kEditBox, "编辑框B", {10, 40, 100, 20}, EditBlock("b"))
      .Add(kButtonC, kButton, "按钮C", {120, 10, 50, 24}, ButtonBlock("确认"), 5, {{0, 6}});
  WindowBuilder dialog(kDialog, kDialogUnit);
  dialog.WindowEvents({{0, 10}, {2, 12}})
      .Add(kDialogButton, kButton, "按钮", {10, 10, 50, 24}, ButtonBlock("关闭"), 5, {{0, 11}});
  return {main.Build(), dialog.Build()};
}

class LoadingTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    Install(TwoWindows());
  }
};

TEST_F(LoadingTest, UnitsAreCreatedLastToSecondAndStackedInTableOrder) {
  ASSERT_TRUE(ui::LoadWindow(kMain, nullptr, false));
  platform::HeadlessWindow* window = Native(kMain);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(ControlOf(kMain, kButtonC)->child_id(), 100);
  EXPECT_EQ(ControlOf(kMain, kEditB)->child_id(), 110);
  EXPECT_EQ(ControlOf(kMain, kEditA)->child_id(), 120);
  std::vector<platform::Control*> stacking = window->ChildrenOf(nullptr);
  ASSERT_EQ(stacking.size(), 3u);
  EXPECT_EQ(stacking[0], ControlOf(kMain, kEditA));
  EXPECT_EQ(stacking[1], ControlOf(kMain, kEditB));
  EXPECT_EQ(stacking[2], ControlOf(kMain, kButtonC));
  EXPECT_EQ(ControlOf(kMain, kEditB)->Geometry(), (platform::Rect{10, 40, 100, 20}));
  EXPECT_TRUE(window->IsVisible());
  // The window is centred on the screen (1024 × 768) at its stored outer size.
  EXPECT_EQ(window->Geometry(), (platform::Rect{(1024 - 300) / 2, (768 - 200) / 2, 300, 200}));
}

TEST_F(LoadingTest, CreationRaisesZeroThreeFourThenFocusOnTheFirstTabStop) {
  ASSERT_TRUE(ui::LoadWindow(kMain, nullptr, false));
  EXPECT_EQ(EventsOf(kMainUnit), (std::vector<int32_t>{0, 3, 4}));
  EXPECT_EQ(EventsOf(kEditA), (std::vector<int32_t>{-7}));
  EXPECT_EQ(backend_.focus(), ControlOf(kMain, kEditA));
  EXPECT_TRUE(ui::FindLiveWindow(kMain)->loaded());
}

TEST_F(LoadingTest, LoadingAnOpenWindowActivatesItWithoutEventZero) {
  ASSERT_TRUE(ui::LoadWindow(kMain, nullptr, false));
  routine_log.clear();
  Native(kMain)->Show(platform::ShowMode::kMinimized);
  ASSERT_TRUE(ui::LoadWindow(kMain, nullptr, false));
  EXPECT_TRUE(routine_log.empty());
  EXPECT_FALSE(Native(kMain)->IsMinimized());
  EXPECT_EQ(ui::LiveWindows().size(), 1u);
}

TEST_F(LoadingTest, AWindowNotInTheStoreOrWithAClosedParentIsNotLoaded) {
  EXPECT_FALSE(ui::LoadWindow(0x52010077, nullptr, false));
  TypedValue parent = ui::UnitReference(kMain, kMainUnit, ui::unit_type::kWindow);
  EXPECT_FALSE(ui::LoadWindow(kDialog, &parent, false));
  EXPECT_TRUE(ui::LiveWindows().empty());
}

TEST_F(LoadingTest, AUnitOfAnUnknownTypeFailsTheWholeLoad) {
  WindowBuilder bad(0x52010003, 0x06010200);
  bad.Add(0x16010201, 0x00010099, "未知1", {0, 0, 10, 10}, "");
  Install({bad.Build()});
  EXPECT_FALSE(ui::LoadWindow(0x52010003, nullptr, false));
  EXPECT_TRUE(ui::LiveWindows().empty());
  EXPECT_TRUE(backend_.windows().empty() || !backend_.windows().back()->IsVisible());
}

TEST_F(LoadingTest, ANewerTypeBlockFailsTheLoad) {
  WindowBuilder bad(0x52010003, 0x06010200);
  ui::EditBoxBlock block;
  block.version = 3;
  std::string bytes = ui::WriteEditBoxBlock(ui::EditBoxBlock{});
  bytes[0] = 3;  // the version word, little-endian
  bad.Add(0x16010201, kEditBox, "编辑框1", {0, 0, 10, 10}, bytes);
  Install({bad.Build()});
  EXPECT_FALSE(ui::LoadWindow(0x52010003, nullptr, false));
}

TEST_F(LoadingTest, AModalLoadBlocksItsCallerUntilTheWindowIsGone) {
  ASSERT_TRUE(ui::LoadWindow(kMain, nullptr, false));
  std::vector<std::string> order;
  bool main_enabled_inside = true;
  behaviours[10] = [&](ui::EventCall&) { order.push_back("dialog created"); };
  // The driver is the person: with the dialog open it checks the main window and closes it.
  backend_.SetDriver([&] {
    if (!ui::FindLiveWindow(kDialog)) return false;
    main_enabled_inside = Native(kMain)->IsEnabled();
    order.push_back("person closes");
    Native(kDialog)->UserClick(ControlOf(kDialog, kDialogButton));
    return true;
  });
  behaviours[11] = [&](ui::EventCall&) { ui::CloseWindow(kDialog, kDialogUnit, false); };
  behaviours[12] = [&](ui::EventCall&) { order.push_back("dialog destroyed"); };
  EXPECT_TRUE(ui::LoadWindow(kDialog, nullptr, true));
  order.push_back("load returned");
  EXPECT_EQ(order, (std::vector<std::string>{"dialog created", "person closes", "dialog destroyed",
                                             "load returned"}));
  EXPECT_FALSE(main_enabled_inside);
  EXPECT_TRUE(Native(kMain)->IsEnabled());
  EXPECT_EQ(ui::FindLiveWindow(kDialog), nullptr);
}

TEST_F(LoadingTest, AModalLoadLeavesAlreadyDisabledWindowsDisabled) {
  ASSERT_TRUE(ui::LoadWindow(kMain, nullptr, false));
  Native(kMain)->SetEnabled(false);
  backend_.SetDriver([&] {
    if (!ui::FindLiveWindow(kDialog)) return false;
    ui::CloseWindow(kDialog, 0, true);
    return true;
  });
  EXPECT_TRUE(ui::LoadWindow(kDialog, nullptr, true));
  EXPECT_FALSE(Native(kMain)->IsEnabled());
}

TEST_F(LoadingTest, CloseWindowFromItsOwnButtonWaitsForTheRoutineAndSkipsEventOne) {
  ASSERT_TRUE(ui::LoadWindow(kMain, nullptr, false));
  bool open_after_close_call = false;
  behaviours[6] = [&](ui::EventCall&) {
    ui::CloseWindow(kMain, kMainUnit, false);
    open_after_close_call = ui::FindLiveWindow(kMain) != nullptr;
  };
  routine_log.clear();
  Native(kMain)->UserClick(ControlOf(kMain, kButtonC));
  EXPECT_TRUE(open_after_close_call);
  EXPECT_NE(ui::FindLiveWindow(kMain), nullptr);
  backend_.RunPendingTasks();
  EXPECT_EQ(ui::FindLiveWindow(kMain), nullptr);
  std::vector<int32_t> events = EventsOf(kMainUnit);
  EXPECT_EQ(std::count(events.begin(), events.end(), 1), 0);
  EXPECT_EQ(std::count(events.begin(), events.end(), 2), 1);
}

TEST_F(LoadingTest, CloseWindowAtOnceDestroysBeforeReturning) {
  ASSERT_TRUE(ui::LoadWindow(kMain, nullptr, false));
  ui::CloseWindow(kMain, 0, true);
  EXPECT_EQ(ui::FindLiveWindow(kMain), nullptr);
  EXPECT_EQ(EventsOf(kMainUnit).back(), 2);
}

TEST_F(LoadingTest, CloseWindowGivenAControlRemovesOnlyThatControl) {
  ASSERT_TRUE(ui::LoadWindow(kMain, nullptr, false));
  ui::CloseWindow(kMain, kEditB, false);
  EXPECT_NE(ui::FindLiveWindow(kMain), nullptr);
  EXPECT_EQ(ui::FindUnitObject(kMain, kEditB), nullptr);
  EXPECT_EQ(Native(kMain)->controls().size(), 2u);
}

// Commands name units by id over and over; each id must keep finding its own unit whichever was
// asked for before, an unknown id none, and a removed control none while the others stay.
TEST_F(LoadingTest, UnitsAreFoundByIdWhicheverWasAskedBefore) {
  ASSERT_TRUE(ui::LoadWindow(kMain, nullptr, false));
  ui::Unit* a = ui::FindUnitObject(kMain, kEditA);
  ui::Unit* b = ui::FindUnitObject(kMain, kEditB);
  ui::Unit* c = ui::FindUnitObject(kMain, kButtonC);
  ASSERT_TRUE(a && b && c);
  EXPECT_NE(a, b);
  EXPECT_NE(b, c);
  for (int round = 0; round < 3; ++round) {
    EXPECT_EQ(ui::FindUnitObject(kMain, kEditA), a);
    EXPECT_EQ(ui::FindUnitObject(kMain, kEditA), a);
    EXPECT_EQ(ui::FindUnitObject(kMain, kButtonC), c);
    EXPECT_EQ(ui::FindUnitObject(kMain, kEditB), b);
    EXPECT_EQ(ui::FindUnitObject(kMain, 0x16019999), nullptr);
  }
  // Properties by id reach the same units.
  ui::WriteProperty(kMain, kEditA, kTag, -1, TextValue(G("甲").c_str()));
  ui::WriteProperty(kMain, kEditB, kTag, -1, TextValue(G("乙").c_str()));
  for (uint32_t id : {kEditA, kEditB, kEditA}) {
    TypedValue tag = ui::ReadProperty(kMain, id, kTag, -1);
    EXPECT_EQ(std::string(static_cast<const char*>(tag.Pointer())), G(id == kEditA ? "甲" : "乙"));
    ReleaseValue(&tag);
  }
  ui::CloseWindow(kMain, kEditB, false);
  EXPECT_EQ(ui::FindUnitObject(kMain, kEditB), nullptr);
  EXPECT_EQ(ui::FindUnitObject(kMain, kEditA), a);
  EXPECT_EQ(ui::FindUnitObject(kMain, kButtonC), c);
  // A window loaded again has new units, found as freshly.
  ui::CloseWindow(kMain, 0, true);
  ASSERT_TRUE(ui::LoadWindow(kMain, nullptr, false));
  ui::Unit* again = ui::FindUnitObject(kMain, kEditB);
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(ControlOf(kMain, kEditB), again->control());
}

TEST_F(LoadingTest, ACloseRequestRaisesEventOneWhichCanCancel) {
  ASSERT_TRUE(ui::LoadWindow(kMain, nullptr, false));
  behaviours[1] = [](ui::EventCall& call) {
    call.has_result = true;
    call.result.tag = TypeTag::kBool;
    call.result.low = 0;
  };
  ASSERT_TRUE(Native(kMain)->UserClose());
  EXPECT_NE(ui::FindLiveWindow(kMain), nullptr);
  behaviours[1] = nullptr;
  ASSERT_TRUE(Native(kMain)->UserClose());
  EXPECT_EQ(ui::FindLiveWindow(kMain), nullptr);
  std::vector<int32_t> events = EventsOf(kMainUnit);
  EXPECT_EQ(std::count(events.begin(), events.end(), 1), 2);
  EXPECT_EQ(events.back(), 2);
}

TEST_F(LoadingTest, EscClosesAWindowThatSaysSo) {
  ASSERT_TRUE(ui::LoadWindow(kMain, nullptr, false));
  Native(kMain)->UserKey(ControlOf(kMain, kEditA), platform::vk::kEscape);
  EXPECT_EQ(ui::FindLiveWindow(kMain), nullptr);

  ui::WindowBlock keep;
  keep.esc_closes = 0;
  WindowBuilder stays(0x52010005, 0x06010300, keep);
  stays.Add(0x16010301, kEditBox, "编辑框1", {0, 0, 50, 20}, EditBlock());
  Install({stays.Build()});
  ASSERT_TRUE(ui::LoadWindow(0x52010005, nullptr, false));
  Native(0x52010005)->UserKey(ControlOf(0x52010005, 0x16010301), platform::vk::kEscape);
  EXPECT_NE(ui::FindLiveWindow(0x52010005), nullptr);
}

TEST_F(LoadingTest, TheLastWindowClosingEndsTheLoopOnceItWasEntered) {
  ASSERT_TRUE(ui::LoadWindow(kMain, nullptr, false));
  ui::CloseWindow(kMain, 0, true);
  EXPECT_FALSE(backend_.pending_quit().has_value());  // before the loop: start-up phase

  ASSERT_TRUE(ui::LoadWindow(kMain, nullptr, false));
  backend_.SetDriver([&] {
    if (!ui::FindLiveWindow(kMain)) return false;
    Native(kMain)->UserClose();
    return true;
  });
  EXPECT_EQ(RunMessageLoop(), 0);
  EXPECT_EQ(ui::FindLiveWindow(kMain), nullptr);
}

TEST_F(LoadingTest, AHiddenWindowIsLoadedButNotShownUntilItsVisiblePropertyIsSet) {
  WindowBuilder hidden(0x52010006, 0x06010400);
  hidden.WindowFlags(0);
  Install({hidden.Build()});
  ASSERT_TRUE(ui::LoadWindow(0x52010006, nullptr, false));
  EXPECT_FALSE(Native(0x52010006)->IsVisible());
  ui::WriteProperty(0x52010006, 0, kVisible, -1, BoolValue(true));
  EXPECT_TRUE(Native(0x52010006)->IsVisible());
}

}  // namespace
}  // namespace memo::testing
