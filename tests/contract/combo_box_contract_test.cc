// Combo box views on both backends: the list, mark and edit text they are told, the picks and
// edits they report, and nothing reported and nothing changed on their own for a call; then the
// model above the seam on each backend's view.
#include <memory>
#include <string>
#include <vector>

#include "tests/contract/contract_test.h"
#include "ui/controls/combo_presenter.h"

namespace memo::contract {
namespace {

using namespace memo::platform;
using ui::ComboModel;
using ui::ComboPresenter;

CONTRACT_SUITE(ComboBoxContract);

ComboControl* MakeCombo(Window* window, ComboKind kind) {
  ComboStyle style;
  style.kind = kind;
  ControlPlacement placement;
  placement.child_id = 100;
  placement.rect = Rect{20, 20, 120, 160};
  placement.tab_stop = true;
  return window->CreateCombo(placement, style);
}

struct Reports {
  std::vector<int> picks;
  std::vector<std::string> edits;
  void Watch(ComboControl* combo) {
    combo->on_pick = [this](int index) { picks.push_back(index); };
    combo->on_edit = [this](const std::string& text) { edits.push_back(text); };
  }
};

TEST_P(ComboBoxContract, ShowsTheListAndMarkItIsTold) {
  ComboControl* combo = MakeCombo(window_.get(), ComboKind::kDropDownList);
  Reports reports;
  reports.Watch(combo);
  combo->InsertItem(0, G("资金借出"));
  EXPECT_EQ(person().ShownCurrent(combo), -1) << "the first item is not selected on its own";
  combo->InsertItem(1, G("资金借入"));
  combo->InsertItem(0, G("全部"));
  combo->InsertItem(7, "ignored");
  EXPECT_EQ(person().ShownItems(combo),
            (std::vector<std::string>{G("全部"), G("资金借出"), G("资金借入")}));
  combo->ShowCurrent(2);
  EXPECT_EQ(person().ShownComboText(combo), G("资金借入"));
  combo->InsertItem(0, "x");
  EXPECT_EQ(person().ShownCurrent(combo), 3) << "the mark stays on its item";
  combo->RemoveItem(0);
  EXPECT_EQ(person().ShownCurrent(combo), 2);
  combo->RemoveItem(2);
  EXPECT_EQ(person().ShownCurrent(combo), -1) << "removing the marked item leaves none marked";
  EXPECT_EQ(person().ShownComboText(combo), "");
  combo->ShowCurrent(9);
  EXPECT_EQ(person().ShownCurrent(combo), -1);
  combo->ShowCurrent(1);
  combo->ClearItems();
  EXPECT_TRUE(person().ShownItems(combo).empty());
  EXPECT_EQ(person().ShownCurrent(combo), -1);
  EXPECT_TRUE(reports.picks.empty()) << "nothing a call does is reported";
  EXPECT_TRUE(reports.edits.empty());
}

TEST_P(ComboBoxContract, EditFieldShowsItsOwnTextWhateverIsMarked) {
  ComboControl* combo = MakeCombo(window_.get(), ComboKind::kDropDown);
  Reports reports;
  reports.Watch(combo);
  combo->InsertItem(0, "apple");
  combo->InsertItem(1, "pear");
  combo->ShowEditText(G("自己的"));
  combo->ShowCurrent(1);
  EXPECT_EQ(person().ShownComboText(combo), G("自己的"));
  combo->RemoveItem(1);
  EXPECT_EQ(person().ShownComboText(combo), G("自己的"));
  combo->ClearItems();
  EXPECT_EQ(person().ShownComboText(combo), G("自己的"));
  combo->ShowEditText("");
  EXPECT_EQ(person().ShownComboText(combo), "");
  EXPECT_TRUE(reports.edits.empty());
}

TEST_P(ComboBoxContract, APickIsReportedAndNotShownUntilTold) {
  ComboControl* combo = MakeCombo(window_.get(), ComboKind::kDropDownList);
  Reports reports;
  reports.Watch(combo);
  combo->InsertItem(0, "a");
  combo->InsertItem(1, "b");
  combo->ShowCurrent(0);
  person().Pick(combo, 1);
  EXPECT_EQ(reports.picks, (std::vector<int>{1}));
  EXPECT_EQ(person().ShownCurrent(combo), 0);
  person().Key(combo, vk::kDown);
  EXPECT_EQ(reports.picks, (std::vector<int>{1, 1})) << "the item after the marked one";
  person().Key(combo, vk::kUp);
  EXPECT_EQ(reports.picks.size(), 2u) << "nothing before the first item";
  EXPECT_EQ(person().ShownCurrent(combo), 0);
}

TEST_P(ComboBoxContract, TypingIntoTheEditFieldIsReported) {
  ComboControl* combo = MakeCombo(window_.get(), ComboKind::kDropDown);
  Reports reports;
  reports.Watch(combo);
  combo->InsertItem(0, "apple");
  person().Type(combo, "ap" + G("果"));
  EXPECT_EQ(reports.edits, (std::vector<std::string>{"a", "ap", "ap" + G("果")}));
  EXPECT_EQ(person().ShownComboText(combo), "ap" + G("果")) << "no completion from the list";
  EXPECT_EQ(TypedCharacters(combo).size(), 3u) << "each character offered first";
  person().Key(combo, vk::kBack);
  EXPECT_EQ(reports.edits.back(), "ap");
  int start = -1, length = -1;
  combo->SetEditSelection(0, 1);
  combo->GetEditSelection(&start, &length);
  EXPECT_EQ(start, 0);
  EXPECT_EQ(length, 1);
  EXPECT_TRUE(reports.picks.empty());
  // A typed text equal to an item picks nothing, not on Enter, not when the focus leaves.
  combo->ShowEditText("");
  person().Type(combo, "apple");
  person().Key(combo, vk::kReturn);
  EditControl* other = window_->CreateEdit(At(110, Rect{200, 20, 80, 24}), EditStyle{});
  other->SetFocus();
  person().Settle();
  EXPECT_TRUE(reports.picks.empty());
  EXPECT_EQ(person().ShownCurrent(combo), -1);
  EXPECT_EQ(person().ShownComboText(combo), "apple");
}

// The model above the seam on each view: the same state shown, the same events raised.
TEST_P(ComboBoxContract, TheModelDrivesTheView) {
  ComboControl* view = MakeCombo(window_.get(), ComboKind::kDropDown);
  ComboModel model(ComboKind::kDropDown, true);
  model.AddItem(G("资金借出"));
  model.AddItem(G("资金借入"));
  model.SetCurrent(0);
  ComboPresenter combo(std::move(model), view, 4);
  int selections = 0;
  int edits = 0;
  combo.on_selection_change = [&] { ++selections; };
  combo.on_edit_change = [&] { ++edits; };
  filter_ = [&](Control* target, const InputEvent& e) {
    return target == view ? combo.FilterInput(e) : InputDecision::Pass();
  };
  EXPECT_EQ(person().ShownComboText(view), G("资金借出"));
  EXPECT_EQ(combo.AddItem("abc"), 0) << "sorted: before the Chinese items";
  EXPECT_EQ(person().ShownCurrent(view), 1);
  person().Pick(view, 2);
  EXPECT_EQ(combo.model().current(), 2);
  EXPECT_EQ(person().ShownCurrent(view), 2);
  EXPECT_EQ(person().ShownComboText(view), G("资金借入"));
  EXPECT_EQ(selections, 1);
  combo.SetText("");
  person().Type(view, "ab" + G("中文"));
  EXPECT_EQ(combo.model().edit_text(), "ab" + G("中")) << "the edit field's limit is 4 bytes";
  EXPECT_EQ(person().ShownComboText(view), "ab" + G("中"));
  EXPECT_EQ(edits, 3);
  combo.RemoveItem(2);
  EXPECT_EQ(person().ShownCurrent(view), -1);
  combo.SetCurrent(99);
  EXPECT_EQ(person().ShownCurrent(view), 1);
  EXPECT_EQ(person().ShownComboText(view), G("资金借出"));
  EXPECT_EQ(selections, 1) << "program changes raise nothing";
}

}  // namespace
}  // namespace memo::contract
