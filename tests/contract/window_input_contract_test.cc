// What both backends do around the controls: static texts, up-down arrows with the model above
// the seam, the focus and its notifications, on_input swallowing and replacing, and Tab.
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "tests/contract/contract_test.h"
#include "ui/controls/ruled_edit.h"
#include "ui/controls/up_down_model.h"

namespace memo::contract {
namespace {

using namespace memo::platform;

CONTRACT_SUITE(WindowInputContract);

TEST_P(WindowInputContract, StaticTextShowsItsLines) {
  StaticStyle style;
  style.text_gbk = G("软件名称:备忘录\r\n\r\n版本号码:2.11");
  StaticControl* label = window_->CreateStatic(At(100, Rect{8, 8, 264, 135}), style);
  EXPECT_EQ(person().ShownStatic(label), style.text_gbk);
  label->SetText(G("别的"));
  EXPECT_EQ(person().ShownStatic(label), G("别的"));
  EXPECT_EQ(label->Text(), G("别的"));
}

TEST_P(WindowInputContract, UpDownArrowsAreOfferedAndReported) {
  UpDownControl* spin = window_->CreateUpDown(At(120, Rect{200, 20, 16, 24}), UpDownStyle{});
  std::vector<int> arrows;
  spin->on_arrow = [&](int delta) { arrows.push_back(delta); };
  person().Arrow(spin, +1);
  person().Arrow(spin, -1);
  EXPECT_EQ(arrows, (std::vector<int>{1, -1}));
  std::vector<std::string> offered = Offered(spin);
  EXPECT_EQ(std::count(offered.begin(), offered.end(), "down"), 2);
  EXPECT_EQ(std::count(offered.begin(), offered.end(), "up"), 2);
  filter_ = [](Control*, const InputEvent& e) {
    return e.kind == InputKind::kLeftDown ? InputDecision::Swallow() : InputDecision::Pass();
  };
  person().Arrow(spin, +1);
  EXPECT_EQ(arrows.size(), 2u);
}

TEST_P(WindowInputContract, UpDownModelStepsItsBuddy) {
  EditStyle style;
  style.text_gbk = "5";
  ui::RuledEdit buddy(window_->CreateEdit(At(100, Rect{20, 20, 100, 24}), style), ui::EditRules{});
  UpDownControl* spin = window_->CreateUpDown(At(0, Rect{120, 20, 16, 24}), UpDownStyle{});
  ui::SpinPresenter presenter(ui::UpDownModel(0, 6, 5), spin, &buddy);
  std::vector<int> changes;
  presenter.on_change = [&](int position) { changes.push_back(position); };
  person().Arrow(spin, +1);
  person().Arrow(spin, +1);
  EXPECT_EQ(buddy.Text(), "6");
  EXPECT_EQ(person().ShownText(buddy.edit()), "6");
  buddy.edit()->SetSelection(0, -1);
  person().Type(buddy.edit(), "2");
  person().Arrow(spin, -1);
  EXPECT_EQ(buddy.Text(), "1");
  EXPECT_EQ(changes, (std::vector<int>{6, 1}));
}

TEST_P(WindowInputContract, FocusMovesWithLostBeforeGained) {
  EditControl* first = window_->CreateEdit(At(100, Rect{20, 20, 100, 24}), EditStyle{});
  EditControl* second = window_->CreateEdit(At(110, Rect{20, 60, 100, 24}), EditStyle{});
  first->SetFocus();
  EXPECT_TRUE(first->HasFocus());
  EXPECT_EQ(window_->FocusedControl(), first);
  ClearOffered();
  second->SetFocus();
  EXPECT_FALSE(first->HasFocus());
  EXPECT_EQ(window_->FocusedControl(), second);
  ASSERT_EQ(inputs_.size(), 2u);
  EXPECT_EQ(inputs_[0].first, first);
  EXPECT_EQ(inputs_[0].second.kind, InputKind::kFocusLost);
  EXPECT_EQ(inputs_[1].first, second);
  EXPECT_EQ(inputs_[1].second.kind, InputKind::kFocusGained);
  ClearOffered();
  person().Click(first);
  EXPECT_EQ(window_->FocusedControl(), first);
  EXPECT_EQ(Offered(first), (std::vector<std::string>{"down", "focus", "up"}));
  // Focus notifications cannot be swallowed.
  filter_ = [](Control*, const InputEvent&) { return InputDecision::Swallow(); };
  second->SetFocus();
  EXPECT_EQ(window_->FocusedControl(), second);
  window_->DestroyControl(second);
  person().Settle();
  EXPECT_EQ(window_->FocusedControl(), nullptr);
}

// A click takes the focus for edit boxes (multi-line ones too), buttons and combo boxes, after
// the press was offered; a static text and an up-down control take none.
TEST_P(WindowInputContract, ClicksFocusTheControlsThatTakeFocus) {
  EditStyle multi;
  multi.multi_line = true;
  EditControl* log = window_->CreateEdit(At(100, Rect{20, 20, 200, 60}), multi);
  ComboStyle list;
  list.kind = ComboKind::kDropDown;
  ComboControl* combo = window_->CreateCombo(At(110, Rect{20, 100, 120, 160}), list);
  StaticControl* label = window_->CreateStatic(At(120, Rect{250, 20, 100, 20}), StaticStyle{});
  UpDownControl* spin = window_->CreateUpDown(At(130, Rect{250, 60, 16, 24}), UpDownStyle{});
  person().Click(log);
  EXPECT_EQ(window_->FocusedControl(), log);
  EXPECT_EQ(Offered(log), (std::vector<std::string>{"down", "focus", "up"}));
  person().Type(combo, "x");
  EXPECT_EQ(window_->FocusedControl(), combo);
  person().Click(label);
  person().Arrow(spin, 1);
  EXPECT_EQ(window_->FocusedControl(), combo);
  filter_ = [](Control*, const InputEvent& e) {
    return e.kind == InputKind::kLeftDown ? InputDecision::Swallow() : InputDecision::Pass();
  };
  person().Click(log);
  EXPECT_EQ(window_->FocusedControl(), combo) << "a swallowed press takes no focus";
}

TEST_P(WindowInputContract, OnInputSwallowsAndReplacesCharacters) {
  EditControl* edit = window_->CreateEdit(At(100, Rect{20, 20, 100, 24}), EditStyle{});
  filter_ = [](Control*, const InputEvent& e) {
    if (e.kind != InputKind::kChar) return InputDecision::Pass();
    if (e.key == 'x') return InputDecision::Swallow();
    if (e.key == 'a') return InputDecision::Replace(CodeOf(G("甲")));
    return InputDecision::Pass();
  };
  person().Type(edit, "axc");
  EXPECT_EQ(edit->Text(), G("甲") + "c");
  EXPECT_EQ(Offered(edit),
            (std::vector<std::string>{"focus", "key 65", "char 97", "keyup 65", "key 88",
                                      "char 120", "keyup 88", "key 67", "char 99", "keyup 67"}))
      << "typing a letter is a key down, its character and the key up";
}

TEST_P(WindowInputContract, ASwallowedKeyTypesNothing) {
  EditStyle style;
  style.multi_line = true;
  EditControl* edit = window_->CreateEdit(At(100, Rect{20, 20, 200, 60}), style);
  filter_ = [](Control*, const InputEvent& e) {
    return e.kind == InputKind::kKeyDown && e.key == vk::kReturn ? InputDecision::Swallow()
                                                                 : InputDecision::Pass();
  };
  person().Key(edit, vk::kReturn);
  EXPECT_EQ(edit->Text(), "");
  EXPECT_EQ(Offered(edit), (std::vector<std::string>{"focus", "key 13", "keyup 13"}));
  filter_ = nullptr;
  person().Key(edit, vk::kReturn);
  EXPECT_EQ(edit->Text(), "\r\n");
}

TEST_P(WindowInputContract, TabReachesOnInputAndMovesNoFocusByItself) {
  EditControl* first = window_->CreateEdit(At(100, Rect{20, 20, 100, 24}), EditStyle{});
  EditControl* second = window_->CreateEdit(At(110, Rect{20, 60, 100, 24}), EditStyle{});
  first->SetFocus();
  ClearOffered();
  person().Key(first, vk::kTab);
  EXPECT_EQ(Offered(first), (std::vector<std::string>{"key 9", "char 9", "keyup 9"}));
  EXPECT_TRUE(first->HasFocus()) << "the runtime moves the focus, not the backend";
  EXPECT_EQ(first->Text(), "") << "a single-line box types no tab";
  person().Key(first, vk::kTab, kShiftShift);
  EXPECT_TRUE(first->HasFocus());
  EXPECT_FALSE(second->HasFocus());
  int shift_of_tab = -1;
  for (const auto& [who, e] : inputs_) {
    if (who == first && e.kind == InputKind::kKeyDown && e.key == vk::kTab) shift_of_tab = e.shift;
  }
  EXPECT_EQ(shift_of_tab, kShiftShift);
}

TEST_P(WindowInputContract, ControlKeysTypeTheirControlCharacters) {
  EditControl* edit = window_->CreateEdit(At(100, Rect{20, 20, 100, 24}), EditStyle{});
  filter_ = [](Control*, const InputEvent& e) {
    return e.kind == InputKind::kChar ? InputDecision::Swallow() : InputDecision::Pass();
  };
  person().Key(edit, 'A', kShiftCtrl);
  person().Key(edit, 'Z', kShiftCtrl);
  person().Key(edit, vk::kDelete);
  person().Key(edit, '1', kShiftCtrl);
  person().Key(edit, 'B', kShiftShift);
  EXPECT_EQ(TypedCharacters(edit), (std::vector<int>{1, 26, 'B'}));
}

}  // namespace
}  // namespace memo::contract
