// Edit boxes on both backends: text and selections in GBK bytes, typing through on_input with the
// edit rules above the seam, Backspace, read-only and password boxes, the user-change report,
// pastes and drops held to the rules.
#include <memory>
#include <string>
#include <vector>

#include "tests/contract/contract_test.h"
#include "ui/controls/ruled_edit.h"

namespace memo::contract {
namespace {

using namespace memo::platform;
using ui::CaseConversion;
using ui::EditRules;
using ui::RuledEdit;

CONTRACT_SUITE(EditBoxContract);

// An edit box with its rules; the window's on_input hands its input to them (Filter), as the
// window runtime's edit-box unit does.
class RuledBox {
 public:
  RuledBox(Window* window, const EditRules& rules, EditStyle style = {}) {
    style.multi_line = rules.multi_line;
    ControlPlacement placement;
    placement.child_id = 100;
    placement.rect = rules.multi_line ? Rect{10, 10, 300, 80} : Rect{10, 10, 200, 24};
    placement.tab_stop = true;
    edit_ = window->CreateEdit(placement, style);
    ruled_ = std::make_unique<RuledEdit>(edit_, rules);
    ruled_->on_change = [this] { ++changes_; };
  }
  EditControl* edit() const { return edit_; }
  RuledEdit& ruled() { return *ruled_; }
  int changes() const { return changes_; }
  InputDecision Filter(Control* target, const InputEvent& event) {
    return target == edit_ ? ruled_->FilterInput(event) : InputDecision::Pass();
  }

 private:
  EditControl* edit_;
  std::unique_ptr<RuledEdit> ruled_;
  int changes_ = 0;
};

TEST_P(EditBoxContract, TextAndSelectionsCountGbkBytes) {
  EditStyle style;
  style.text_gbk = G("中文") + "ab";
  EditControl* edit = window_->CreateEdit(At(100, Rect{10, 10, 200, 24}), style);
  EXPECT_EQ(edit->Text(), G("中文") + "ab");
  edit->SetSelection(2, 3);
  int start = -1, length = -1;
  edit->GetSelection(&start, &length);
  EXPECT_EQ(start, 2);
  EXPECT_EQ(length, 3);
  // A selection that starts or ends inside a two-byte character takes the whole character.
  edit->SetSelection(1, 2);
  edit->GetSelection(&start, &length);
  EXPECT_EQ(start, 0);
  EXPECT_EQ(length, 4);
  edit->SetSelection(3, -1);
  edit->GetSelection(&start, &length);
  EXPECT_EQ(start, 2);
  EXPECT_EQ(length, 4);
  edit->SetSelection(99, 5);
  edit->GetSelection(&start, &length);
  EXPECT_EQ(start, 6);
  EXPECT_EQ(length, 0);
  edit->SetText(G("甲"));
  edit->GetSelection(&start, &length);
  EXPECT_EQ(start, 0) << "a set text puts the caret at the start";
  EXPECT_EQ(person().ShownText(edit), G("甲"));
}

TEST_P(EditBoxContract, TypingIsHeldToTheRulesThroughOnInput) {
  RuledBox box(window_.get(), EditRules{5, CaseConversion::kUpper, false});
  filter_ = [&](Control* target, const InputEvent& e) { return box.Filter(target, e); };
  person().Type(box.edit(), "ab" + G("中文"));
  EXPECT_EQ(box.edit()->Text(), "AB" + G("中"));
  EXPECT_EQ(person().ShownText(box.edit()), "AB" + G("中"));
  EXPECT_EQ(TypedCharacters(box.edit()),
            (std::vector<int>{'a', 'b', static_cast<int>(CodeOf(G("中"))),
                              static_cast<int>(CodeOf(G("文")))}));
  EXPECT_EQ(box.changes(), 3);
}

// An input method's text arrives as characters, each judged against the text the ones before it
// made: a limit takes those that fit.
TEST_P(EditBoxContract, InputMethodTextIsJudgedCharacterByCharacter) {
  RuledBox box(window_.get(), EditRules{4, CaseConversion::kLower, false});
  filter_ = [&](Control* target, const InputEvent& e) { return box.Filter(target, e); };
  person().Compose(box.edit(), G("中") + "X" + G("文字"));
  EXPECT_EQ(box.edit()->Text(), G("中") + "x");
  EXPECT_EQ(TypedCharacters(box.edit()).size(), 4u);
}

TEST_P(EditBoxContract, BackspaceRemovesAWholeCharacter) {
  EditStyle style;
  style.text_gbk = "a" + G("中");
  EditControl* edit = window_->CreateEdit(At(100, Rect{10, 10, 200, 24}), style);
  edit->SetSelection(3, 0);
  person().Key(edit, vk::kBack);
  EXPECT_EQ(edit->Text(), "a");
  EXPECT_EQ(TypedCharacters(edit), (std::vector<int>{8}));
  person().Key(edit, vk::kBack);
  person().Key(edit, vk::kBack);
  EXPECT_EQ(edit->Text(), "");
}

TEST_P(EditBoxContract, ReadOnlyBoxIsOfferedInputButKeepsItsText) {
  EditStyle style;
  style.read_only = true;
  style.text_gbk = "keep";
  EditControl* edit = window_->CreateEdit(At(100, Rect{10, 10, 200, 24}), style);
  int changes = 0;
  edit->on_user_change = [&] { ++changes; };
  edit->SetSelection(4, 0);
  person().Type(edit, "x");
  person().Key(edit, vk::kBack);
  person().Paste(edit, "pasted");
  EXPECT_EQ(edit->Text(), "keep");
  EXPECT_EQ(changes, 0);
  EXPECT_EQ(TypedCharacters(edit), (std::vector<int>{'x', 8, 22}));
  edit->ReplaceSelection("no");
  EXPECT_EQ(edit->Text(), "keep") << "a read-only box keeps its text against the program too";
  edit->SetText("set");
  EXPECT_EQ(edit->Text(), "set");
  edit->SetReadOnly(false);
  person().Type(edit, "z");
  EXPECT_EQ(edit->Text(), "zset");
}

TEST_P(EditBoxContract, PasswordBoxShowsItsCharacterAndGivesNothingAway) {
  EditStyle style;
  style.password_char = '*';
  EditControl* edit = window_->CreateEdit(At(100, Rect{10, 10, 200, 24}), style);
  person().Type(edit, "p" + G("码") + "w");
  EXPECT_EQ(edit->Text(), "p" + G("码") + "w");
  EXPECT_EQ(person().ShownText(edit), "***");
  ClipboardContent before;
  before.text_gbk = "clip";
  person().backend().SetClipboard(before);
  edit->SetSelection(0, -1);
  person().Key(edit, 'C', kShiftCtrl);
  EXPECT_EQ(person().backend().ClipboardText(), std::optional<std::string>("clip"));
  edit->SetPasswordChar(0);
  EXPECT_EQ(person().ShownText(edit), "p" + G("码") + "w");
}

TEST_P(EditBoxContract, OnlyTheUsersChangesAreReported) {
  EditControl* edit = window_->CreateEdit(At(100, Rect{10, 10, 200, 24}), EditStyle{});
  int changes = 0;
  edit->on_user_change = [&] { ++changes; };
  person().Type(edit, "ab");
  EXPECT_EQ(changes, 2);
  edit->SetText("program");
  edit->SetSelection(0, 3);
  edit->ReplaceSelection("P");
  EXPECT_EQ(edit->Text(), "Pgram");
  EXPECT_EQ(changes, 2);
  edit->SetSelection(5, 0);
  person().Key(edit, vk::kBack);
  EXPECT_EQ(changes, 3);
  person().Key(edit, vk::kHome);
  person().Key(edit, vk::kDelete);
  EXPECT_EQ(edit->Text(), "gra");
  EXPECT_EQ(changes, 4);
}

TEST_P(EditBoxContract, PasteIsHeldToTheRules) {
  RuledBox box(window_.get(), EditRules{6, CaseConversion::kLower, false});
  filter_ = [&](Control* target, const InputEvent& e) { return box.Filter(target, e); };
  box.ruled().SetText("AB");
  box.edit()->SetSelection(1, 0);
  person().Paste(box.edit(), "XY" + G("中文") + "Z");
  EXPECT_EQ(box.edit()->Text(), "axy" + G("中") + "b");
  EXPECT_EQ(person().ShownText(box.edit()), "axy" + G("中") + "b");
  int start = -1, length = -1;
  box.edit()->GetSelection(&start, &length);
  EXPECT_EQ(start, 5) << "the caret after what was kept";
  EXPECT_EQ(box.changes(), 1);
  // The runtime can refuse a paste by swallowing its character, as with any character.
  filter_ = [&](Control* target, const InputEvent& e) {
    return e.kind == InputKind::kChar && e.key == 22 ? InputDecision::Swallow()
                                                     : box.Filter(target, e);
  };
  box.edit()->SetSelection(0, -1);
  person().Paste(box.edit(), "q");
  EXPECT_EQ(box.edit()->Text(), "axy" + G("中") + "b");
}

TEST_P(EditBoxContract, SingleLineBoxPastesTheFirstLine) {
  RuledBox box(window_.get(), EditRules{});
  filter_ = [&](Control* target, const InputEvent& e) { return box.Filter(target, e); };
  person().Paste(box.edit(), "one\r\ntwo");
  EXPECT_EQ(box.edit()->Text(), "one");
}

TEST_P(EditBoxContract, MultiLinePasteKeepsItsLinesWithinTheLimit) {
  RuledBox box(window_.get(), EditRules{7, CaseConversion::kNone, true});
  filter_ = [&](Control* target, const InputEvent& e) { return box.Filter(target, e); };
  person().Type(box.edit(), "x");
  person().Paste(box.edit(), "a\r\nb\r\nc");
  EXPECT_EQ(box.edit()->Text(), "xa\r\nb\r\n") << "7 bytes: the last line does not fit";
  EXPECT_EQ(person().ShownText(box.edit()), "xa\r\nb\r\n");
}

TEST_P(EditBoxContract, DropIsHeldToTheRules) {
  RuledBox box(window_.get(), EditRules{4, CaseConversion::kUpper, false});
  box.ruled().SetText("ab");
  person().Drop(box.edit(), "cdef", 1);
  EXPECT_EQ(box.edit()->Text(), "ACDB");
  EXPECT_EQ(box.changes(), 1);
}

TEST_P(EditBoxContract, MultiLineBoxTypesCrLfAndCountsItAsTwoBytes) {
  RuledBox box(window_.get(), EditRules{5, CaseConversion::kNone, true});
  filter_ = [&](Control* target, const InputEvent& e) { return box.Filter(target, e); };
  person().Type(box.edit(), "ab");
  person().Key(box.edit(), vk::kReturn);
  person().Type(box.edit(), "cd");
  EXPECT_EQ(box.edit()->Text(), "ab\r\nc");
  EXPECT_EQ(person().ShownText(box.edit()), "ab\r\nc");
  int start = -1, length = -1;
  box.edit()->GetSelection(&start, &length);
  EXPECT_EQ(start, 5);
  person().Key(box.edit(), vk::kBack);
  person().Key(box.edit(), vk::kBack);
  EXPECT_EQ(box.edit()->Text(), "ab") << "Backspace takes CR LF as one";
}

}  // namespace
}  // namespace memo::contract
