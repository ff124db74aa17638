// F1 and the help file, Enter moving the focus when the window says so, and the extended event
// record.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "platform/headless/headless_controls.h"
#include "runtime/dispatch.h"
#include "tests/support/window_test_support.h"
#include "ui/window/menus.h"

namespace memo::testing {
namespace {

using ui::unit_type::kEditBox;
namespace vk = platform::vk;

constexpr uint32_t kWin = 0x52010001;
constexpr uint32_t kWinUnit = 0x06010000;
constexpr uint32_t kEdit1 = 0x16010010;
constexpr uint32_t kEdit2 = 0x16010011;

class KeysAndRecordsTest : public WindowTest {
 protected:
  void Load(const ui::WindowBlock& block) {
    WindowBuilder window(kWin, kWinUnit, block);
    window.Add(kEdit1, kEditBox, "编辑框1", {10, 10, 100, 22}, EditBlock(), 5, {{-9, 0}, {7, 1}})
        .Add(kEdit2, kEditBox, "编辑框2", {10, 40, 100, 22}, EditBlock());
    Install({window.Build()});
    ASSERT_TRUE(ui::LoadWindow(kWin, nullptr, false));
    routine_log.clear();
  }
  platform::Control* Edit(uint32_t unit) { return ControlOf(kWin, unit); }
};

TEST_F(KeysAndRecordsTest, F1OpensTheHelpFileOnlyWhenTheWindowSaysSoAndTheFileExists) {
  std::string file = "memo_window_test_help.hlp";
  ui::WindowBlock block;
  block.f1_opens_help = 1;
  block.help_topic = 7;
  block.help_file = file;
  Load(block);
  Native(kWin)->UserKey(Edit(kEdit1), vk::kF1);
  EXPECT_TRUE(backend_.help_opened().empty());
  ASSERT_EQ(routine_log.size(), 1u);  // with no file, F1 reaches the key event
  std::FILE* f = std::fopen(file.c_str(), "w");
  ASSERT_NE(f, nullptr);
  std::fclose(f);
  routine_log.clear();
  Native(kWin)->UserKey(Edit(kEdit1), vk::kF1);
  unlink(file.c_str());
  ASSERT_EQ(backend_.help_opened().size(), 1u);
  EXPECT_EQ(backend_.help_opened()[0].second, 7);
  EXPECT_TRUE(routine_log.empty());
}

TEST_F(KeysAndRecordsTest, EnterMovesTheFocusWhenTheWindowSaysSo) {
  ui::WindowBlock block;
  block.enter_moves_focus = 1;
  Load(block);
  Native(kWin)->UserKey(Edit(kEdit1), vk::kReturn);
  EXPECT_EQ(backend_.focus(), Edit(kEdit2));
  for (const RoutineLog& entry : routine_log) EXPECT_NE(entry.event, -9);
}

TEST_F(KeysAndRecordsTest, TheExtendedRecordCarriesTypedArgumentsAndA64BitResult) {
  Load(ui::WindowBlock{});
  std::string seen;
  behaviours[1] = [&](ui::EventCall& call) {
    ASSERT_EQ(call.arg_count, 2);
    EXPECT_EQ(call.args[0].tag, TypeTag::kDouble);
    EXPECT_DOUBLE_EQ(call.args[0].Double(), 2.5);
    seen = static_cast<const char*>(call.args[1].Pointer());
    call.has_result = true;
    call.result = LongValue(0x100000002LL);
  };
  ui::ExtendedEventRecord record;
  record.window_id = kWin;
  record.unit_id = kEdit1;
  record.event = 7;
  record.arg_count = 2;
  record.args[0].value = DoubleValue(2.5);
  record.args[1].value = TextValue("typed");
  EXPECT_TRUE(ui::RaiseEvent(&record));
  EXPECT_EQ(seen, "typed");
  EXPECT_EQ(record.has_result, 1u);
  EXPECT_EQ(record.result, 0x100000002ULL);
  record.event = 8;  // no entry for it
  EXPECT_FALSE(ui::RaiseEvent(&record));
  EXPECT_EQ(record.has_result, 0u);
}

}  // namespace
}  // namespace memo::testing

namespace memo::testing {
namespace {

TEST(ShortcutTableTest, SeventySevenKeysNumberedFromOne) {
  ASSERT_NE(ui::FindShortcut(1), nullptr);
  EXPECT_EQ(ui::FindShortcut(1)->name, "F1");
  EXPECT_EQ(ui::FindShortcut(13)->name, "Ctrl+F1");
  EXPECT_EQ(ui::FindShortcut(37)->key, 'A');
  EXPECT_EQ(ui::FindShortcut(37)->shift, platform::kShiftCtrl);
  EXPECT_EQ(ui::FindShortcut(77)->name, "Shift+Del");
  EXPECT_EQ(ui::FindShortcut(0), nullptr);
  EXPECT_EQ(ui::FindShortcut(78), nullptr);
}

}  // namespace
}  // namespace memo::testing
