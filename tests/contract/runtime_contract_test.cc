// The window runtime's controls on both backends: windows loaded from definitions, and what a
// person sees and what the routines receive when the person uses them — the edit box's byte
// limit and case conversion, the password box, the combo box's properties and commands (and a
// category list filled by them), the keys
// every window handles and the routines' verdicts on input.
#include <memory>
#include <string>
#include <vector>

#include "platform/gbk.h"
#include "platform/input.h"
#include "runtime/dispatch.h"
#include "runtime/heap.h"
#include "runtime/literal.h"
#include "runtime/program.h"
#include "tests/contract/contract_test.h"
#include "tests/support/window_test_support.h"
#include "ui/controls/combo_commands.h"
#include "ui/window/property_numbers.h"
#include "ui/window/window_commands.h"
#include "ui/window/window_runtime.h"

namespace memo::contract {
namespace {

using testing::behaviours;
using testing::EditBlock;
using testing::routine_log;
using testing::WindowBuilder;
using ui::property::kComboContent;
using ui::property::kComboCurrentIndex;
using ui::property::kEditContent;
using ui::unit_type::kButton;
using ui::unit_type::kComboBox;
using ui::unit_type::kEditBox;

constexpr uint32_t kWin = 0x52010001;
constexpr uint32_t kWinUnit = 0x06010000;
constexpr uint32_t kLimited = 0x16010010;
constexpr uint32_t kPassword = 0x16010011;
constexpr uint32_t kList = 0x16010012;
constexpr uint32_t kSorted = 0x16010013;
constexpr uint32_t kPlain = 0x16010014;

std::string ComboBlock(uint32_t style, bool sorted, std::vector<const char*> items,
                       int32_t current) {
  ui::ComboBoxBlock block;
  block.style = style;
  block.sorted = sorted ? 1 : 0;
  for (const char* item : items) block.items.push_back(G(item));
  block.item_data.assign(block.items.size(), 0);
  block.current_index = current;
  if (current >= 0 && current < static_cast<int32_t>(block.items.size())) {
    block.content = block.items[static_cast<size_t>(current)];
  }
  return ui::WriteComboBoxBlock(block);
}

class RuntimeContract : public ContractTest {
 protected:
  void SetUp() override {
    ContractTest::SetUp();
    ResetProgramForTesting();
    ui::ResetWindowRuntimeForTesting();
    for (auto& behaviour : behaviours) behaviour = nullptr;
    routine_log.clear();
    ui::SetRoutineTable(testing::TestRoutineTable(), testing::kTestRoutines);
    ui::InstallWindowRuntime(nullptr, 0);

    ui::EditBoxBlock limited;
    limited.max_length = 4;
    limited.case_conversion = 2;  // upper case
    WindowBuilder window(kWin, kWinUnit);
    window
        .Add(kLimited, kEditBox, "编辑框1", {10, 10, 150, 24}, ui::WriteEditBoxBlock(limited), 5,
             {{-9, 0}, {-11, 1}})
        .Add(kPassword, kEditBox, "编辑框2", {10, 40, 150, 24}, EditBlock("", 2))
        .Add(kList, kComboBox, "组合框1", {10, 70, 150, 22},
             ComboBlock(2, false, {"资金借出", "资金借入"}, 0))
        .Add(kSorted, kComboBox, "组合框2", {10, 100, 150, 22}, ComboBlock(1, true, {"b", "d"}, -1))
        .Add(kPlain, kEditBox, "编辑框3", {10, 130, 150, 24}, EditBlock());
    ui::DefinitionStore store;
    store.windows = {window.Build()};
    segment_ = ui::WriteSegment(store);
    ASSERT_TRUE(
        ui::LoadSegment(reinterpret_cast<const uint8_t*>(segment_.data()), segment_.size()));
    ASSERT_TRUE(ui::LoadWindow(kWin, nullptr, false));
    person().Show(ui::FindLiveWindow(kWin)->native());
    routine_log.clear();
  }
  void TearDown() override {
    ui::ResetWindowRuntimeForTesting();
    ContractTest::TearDown();
    ResetProgramForTesting();
    for (auto& behaviour : behaviours) behaviour = nullptr;
  }
  platform::Control* ControlOf(uint32_t unit) { return ui::FindUnitObject(kWin, unit)->control(); }
  std::string Text(uint32_t unit, int32_t number) {
    ValueOwner value(ui::ReadProperty(kWin, unit, number, -1));
    EXPECT_EQ(value.get().tag, TypeTag::kText);
    return NonNullText(static_cast<const char*>(value.get().Pointer()));
  }
  int32_t Int(uint32_t unit, int32_t number) {
    ValueOwner value(ui::ReadProperty(kWin, unit, number, -1));
    return static_cast<int32_t>(value.get().low);
  }
  TypedValue ComboRef(uint32_t unit) { return ui::UnitReference(kWin, unit, kComboBox); }

  std::string segment_;
};

CONTRACT_SUITE_OF(RuntimeContract);

TEST_P(RuntimeContractCases, AnEditBoxHoldsItsByteLimitAndCaseConversion) {
  person().Type(ControlOf(kLimited), "abcdef");
  EXPECT_EQ(person().ShownText(ControlOf(kLimited)), "ABCD");
  EXPECT_EQ(Text(kLimited, kEditContent), "ABCD");
  // A two-byte character never goes in half: with one byte left it does not fit.
  ui::WriteProperty(kWin, kLimited, kEditContent, -1, TextValue("abc"));
  EXPECT_EQ(Text(kLimited, kEditContent), "ABC");
  person().Type(ControlOf(kLimited), G("中"));
  EXPECT_EQ(Text(kLimited, kEditContent), "ABC");
  person().Paste(ControlOf(kLimited), "xyz");
  EXPECT_EQ(Text(kLimited, kEditContent).size(), 4u);
}

TEST_P(RuntimeContractCases, APasswordBoxShowsItsMaskAndReadsAsTyped) {
  person().Type(ControlOf(kPassword), "kqzv");
  EXPECT_EQ(person().ShownText(ControlOf(kPassword)), "****");
  EXPECT_EQ(Text(kPassword, kEditContent), "kqzv");
}

TEST_P(RuntimeContractCases, TheCurrentIndexIsClampedAndTheShownTextFollows) {
  EXPECT_EQ(Int(kList, kComboCurrentIndex), 0);
  EXPECT_EQ(Text(kList, kComboContent), G("资金借出"));
  ui::WriteProperty(kWin, kList, kComboCurrentIndex, -1, IntValue(99));
  EXPECT_EQ(Int(kList, kComboCurrentIndex), 1);
  EXPECT_EQ(person().ShownComboText(ControlOf(kList)), G("资金借入"));
  ui::WriteProperty(kWin, kList, kComboCurrentIndex, -1, IntValue(-5));
  EXPECT_EQ(Int(kList, kComboCurrentIndex), -1);
  EXPECT_EQ(Text(kList, kComboContent), "");
  person().Pick(ControlOf(kList), 0);
  EXPECT_EQ(Int(kList, kComboCurrentIndex), 0);
  EXPECT_EQ(Text(kList, kComboContent), G("资金借出"));
}

TEST_P(RuntimeContractCases, TheComboCommandsKeepASortedList) {
  ArgList add{ComboRef(kSorted), TextValue("c")};
  EXPECT_EQ(static_cast<int32_t>(CallCommand(ui::ComboAddItem, add).low), 1);
  ArgList count{ComboRef(kSorted)};
  EXPECT_EQ(static_cast<int32_t>(CallCommand(ui::ComboItemCount, count).low), 3);
  ArgList text{ComboRef(kSorted), IntValue(2)};
  TextOwner item = CallText(ui::ComboItemText, text);
  EXPECT_EQ(std::string(NonNullText(item.get())), "d");
  ArgList outside{ComboRef(kSorted), IntValue(7)};
  TextOwner none = CallText(ui::ComboItemText, outside);
  EXPECT_EQ(none.get(), nullptr);
  EXPECT_EQ(person().ShownItems(ControlOf(kSorted)), (std::vector<std::string>{"b", "c", "d"}));
  ArgList clear{ComboRef(kSorted)};
  CallCommand(ui::ComboClear, clear);
  EXPECT_TRUE(person().ShownItems(ControlOf(kSorted)).empty());
}

// A category list filled as the main window fills it — search each scanned text with the find
// command, append it when it is new and not empty — against the plain protocol: every item read
// with the item-text command and compared in turn. Many categories (far more than the 21 items a
// pass reads in the benchmark's table), GBK texts, texts cut inside a character, empty ones and
// repeats; the list, the view each backend shows and every search agree.
TEST_P(RuntimeContractCases, TheFindCommandAnswersWhatReadingEveryItemAnswers) {
  ArgList clear{ComboRef(kList)};
  CallCommand(ui::ComboClear, clear);
  std::vector<std::string> reference;  // the plain protocol's list
  auto item_count = [&] {
    ArgList count{ComboRef(kList)};
    return static_cast<int32_t>(CallCommand(ui::ComboItemCount, count).low);
  };
  for (int memo = 0; memo < 1500; ++memo) {
    std::string category;
    switch (memo % 7) {
      case 0: category = ""; break;
      case 1: category = G("类别") + std::to_string(memo % 97); break;
      case 2: category = G("资金借出资金") + "\xD7"; break;  // cut after a lead byte
      case 3: category = std::to_string(memo % 40); break;
      default: category = G("客户拜访") + static_cast<char>('a' + memo % 5); break;
    }
    // The plain protocol over the list as it stands: passes 1 .. c + 1, the last at the empty
    // text beyond the list.
    const int32_t c = item_count();
    bool found = false;
    for (int32_t i = 1; i <= c + 1 && !found; ++i) {
      ArgList text{ComboRef(kList), IntValue(i - 1)};
      TextOwner item = CallText(ui::ComboItemText, text);
      found = category == NonNullText(item.get());
    }
    ArgList find{ComboRef(kList), TextValue(category.c_str())};
    const int32_t at = static_cast<int32_t>(CallCommand(ui::ComboFindItem, find).low);
    ASSERT_EQ(found, category.empty() || at >= 0) << "memo " << memo;
    if (at >= 0) {
      ArgList text{ComboRef(kList), IntValue(at)};
      TextOwner item = CallText(ui::ComboItemText, text);
      ASSERT_EQ(category, NonNullText(item.get()));
    }
    if (!found) {
      reference.push_back(category);
      ArgList add{ComboRef(kList), TextValue(category.c_str())};
      ASSERT_EQ(static_cast<int32_t>(CallCommand(ui::ComboAddItem, add).low), c);
    }
  }
  EXPECT_GT(reference.size(), 100u);
  EXPECT_EQ(item_count(), static_cast<int32_t>(reference.size()));
  // Each backend shows every item; one cut after a lead byte shows as far as its characters are
  // whole (a view cannot draw half a character).
  const std::vector<std::string> shown = person().ShownItems(ControlOf(kList));
  ASSERT_EQ(shown.size(), reference.size());
  for (size_t i = 0; i < reference.size(); ++i) {
    const std::string& item = reference[i];
    size_t whole = 0;  // bytes of the item's whole characters
    for (;;) {
      if (whole >= item.size()) break;
      const size_t next = whole + (IsLeadByte(static_cast<unsigned char>(item[whole])) ? 2 : 1);
      if (next > item.size()) break;
      whole = next;
    }
    EXPECT_EQ(shown[i].substr(0, whole), item.substr(0, whole)) << "item " << i;
  }
  ArgList empty{ComboRef(kList), TextValue(nullptr)};
  EXPECT_EQ(static_cast<int32_t>(CallCommand(ui::ComboFindItem, empty).low), -1);

  // A sorted box finds its items where they went in.
  ArgList add{ComboRef(kSorted), TextValue("c")};
  CallCommand(ui::ComboAddItem, add);
  for (const char* text : {"b", "c", "d"}) {
    ArgList find{ComboRef(kSorted), TextValue(text)};
    EXPECT_EQ(static_cast<int32_t>(CallCommand(ui::ComboFindItem, find).low), text[0] - 'b');
  }
  ArgList number{ComboRef(kSorted), IntValue(7)};
  EXPECT_EQ(static_cast<int32_t>(CallCommand(ui::ComboFindItem, number).low), -1);
}

TEST_P(RuntimeContractCases, RoutinesSeeKeysAndCharactersAndCanSwallowThem) {
  behaviours[1] = [](ui::EventCall& call) {
    if (call.args[0].low == 'Q') {
      call.has_result = true;
      call.result = IntValue(0);
    }
  };
  person().Type(ControlOf(kLimited), "aQb");
  EXPECT_EQ(Text(kLimited, kEditContent), "AB");
  routine_log.clear();
  person().Key(ControlOf(kLimited), platform::vk::kReturn);
  ASSERT_FALSE(routine_log.empty());
  EXPECT_EQ(routine_log[0].event, -9);
  EXPECT_EQ(routine_log[0].args, (std::vector<uint32_t>{13, 0}));
}

TEST_P(RuntimeContractCases, TabMovesThroughTheTabStopsInTableOrder) {
  person().Click(ControlOf(kLimited));
  person().Key(ControlOf(kLimited), platform::vk::kTab);
  EXPECT_TRUE(ControlOf(kPassword)->HasFocus());
  person().Key(ControlOf(kPassword), platform::vk::kTab, platform::kShiftShift);
  EXPECT_TRUE(ControlOf(kLimited)->HasFocus());
}

TEST_P(RuntimeContractCases, EscClosesTheWindow) {
  person().Key(ControlOf(kPlain), platform::vk::kEscape);
  person().Settle();
  EXPECT_EQ(ui::FindLiveWindow(kWin), nullptr);
}

}  // namespace
}  // namespace memo::contract
