// An edit box of the headless backend held to its rules by a RuledEdit: typed characters judged
// through the window's on_input, pastes and drops set right when reported, program writes.
#include "ui/controls/ruled_edit.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>

#include "platform/codec.h"
#include "platform/headless/headless_backend.h"
#include "platform/headless/headless_controls.h"
#include "tests/support/gbk.h"

namespace memo::ui {
namespace {

using namespace memo::platform;

using ::memo::testing::G;

class RuledEditTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WindowStyle style;
    style.rect = Rect{0, 0, 300, 200};
    window_ = backend_.CreateWindow(style);
    window_->on_input = [this](Control* target, const InputEvent& event) {
      if (ruled_ && target == ruled_->edit()) return ruled_->FilterInput(event);
      return InputDecision::Pass();
    };
    window_->Show(ShowMode::kNormal);
  }

  void Make(const EditRules& rules, const std::string& text = "") {
    EditStyle style;
    style.multi_line = rules.multi_line;
    style.text_gbk = text;
    ControlPlacement placement;
    placement.rect = Rect{0, 0, 100, 20};
    placement.child_id = 100;
    edit_ = window_->CreateEdit(placement, style);
    ruled_ = std::make_unique<RuledEdit>(edit_, rules);
    ruled_->on_change = [this] { ++changes_; };
  }
  HeadlessWindow* headless() { return static_cast<HeadlessWindow*>(window_.get()); }
  void Paste(const std::string& text) {
    ClipboardContent content;
    content.text_gbk = text;
    backend_.SetClipboard(content);
    headless()->UserKey(edit_, 'V', kShiftCtrl);
  }
  int Caret() {
    int start = 0, length = 0;
    edit_->GetSelection(&start, &length);
    return start + length;
  }

  HeadlessBackend backend_;
  std::unique_ptr<Window> window_;
  EditControl* edit_ = nullptr;
  std::unique_ptr<RuledEdit> ruled_;
  int changes_ = 0;
};

TEST_F(RuledEditTest, TypingKeepsTheLimitAndTheCase) {
  Make(EditRules{5, CaseConversion::kUpper, false}, "");
  headless()->UserType(edit_, "ab" + G("中文"));
  EXPECT_EQ(edit_->Text(), "AB" + G("中"));
  EXPECT_EQ(changes_, 3) << "the swallowed 文 changed nothing";
  headless()->UserKey(edit_, vk::kBack);
  headless()->UserKey(edit_, 'Z');
  EXPECT_EQ(edit_->Text(), "ABZ");
}

TEST_F(RuledEditTest, PasteIsCutAtAWholeCharacterAndConverted) {
  Make(EditRules{6, CaseConversion::kLower, false}, "AB");
  edit_->SetSelection(1, 0);
  Paste("XY" + G("中文") + "Z");
  EXPECT_EQ(edit_->Text(), "axy" + G("中") + "b") << "the created text is converted too";
  EXPECT_EQ(Caret(), 5) << "after what was kept of the paste";
  EXPECT_EQ(changes_, 1);
  // Full: a further paste is refused and reports nothing.
  Paste("q");
  EXPECT_EQ(edit_->Text(), "axy" + G("中") + "b");
  EXPECT_EQ(changes_, 1);
  // A paste over a selection makes room for itself.
  edit_->SetSelection(0, -1);
  Paste("ONE\r\nTWO");
  EXPECT_EQ(edit_->Text(), "one") << "a single-line box takes the first line";
}

TEST_F(RuledEditTest, DropIsHeldToTheRulesLikeAPaste) {
  Make(EditRules{4, CaseConversion::kUpper, false}, "ab");
  headless()->UserDrop(edit_, "cdef", 1);
  EXPECT_EQ(edit_->Text(), "ACDB");
  EXPECT_EQ(changes_, 1);
}

TEST_F(RuledEditTest, ProgramWritesConvertButOnlyReplacementsAreLimited) {
  Make(EditRules{4, CaseConversion::kUpper, false});
  ruled_->SetText("abcdefg");
  EXPECT_EQ(edit_->Text(), "ABCDEFG") << "a set text is converted but kept whole";
  EXPECT_EQ(changes_, 0);
  edit_->SetSelection(0, 5);
  ruled_->ReplaceSelection("xyz");
  EXPECT_EQ(edit_->Text(), "XYFG") << "two bytes were left for the replacement";
  edit_->SetSelection(4, 0);
  ruled_->ReplaceSelection("q");
  EXPECT_EQ(edit_->Text(), "XYFG") << "nothing fits: nothing changes";
  // Deleting from a text longer than the limit is always allowed, typing into it is not.
  ruled_->SetText("abcdef");
  edit_->SetSelection(6, 0);
  headless()->UserKey(edit_, vk::kBack);
  EXPECT_EQ(edit_->Text(), "ABCDE");
  headless()->UserKey(edit_, 'Q');
  EXPECT_EQ(edit_->Text(), "ABCDE");
}

// A write that bypasses the RuledEdit is picked up at the next input, so a later paste is
// judged against the real text.
TEST_F(RuledEditTest, ABypassingWriteIsSeenAtTheNextInput) {
  Make(EditRules{0, CaseConversion::kUpper, false}, "A");
  edit_->SetText("wxyz");
  edit_->SetSelection(4, 0);
  Paste("pq");
  EXPECT_EQ(edit_->Text(), "wxyzPQ") << "only the paste is converted, not the text before it";
}

TEST_F(RuledEditTest, NewRulesHoldForLaterInputAndKeepTheText) {
  Make(EditRules{0, CaseConversion::kNone, false}, "abcdef");
  ruled_->SetRules(EditRules{3, CaseConversion::kUpper, false});
  EXPECT_EQ(edit_->Text(), "abcdef");
  edit_->SetSelection(0, -1);
  headless()->UserType(edit_, "wxyz");
  EXPECT_EQ(edit_->Text(), "WXY");
}

TEST_F(RuledEditTest, AMultiLineBoxCountsEnterAsTwoBytes) {
  Make(EditRules{3, CaseConversion::kNone, true});
  headless()->UserType(edit_, "ab");
  headless()->UserKey(edit_, vk::kReturn);
  EXPECT_EQ(edit_->Text(), "ab");
  edit_->SetSelection(0, -1);
  headless()->UserKey(edit_, vk::kBack);
  headless()->UserType(edit_, "a");
  headless()->UserKey(edit_, vk::kReturn);
  EXPECT_EQ(edit_->Text(), "a\r\n");
}

TEST_F(RuledEditTest, TheBoxOutlivingItsRulesTakesInputUnjudged) {
  Make(EditRules{2, CaseConversion::kNone, false});
  EditControl* edit = edit_;
  ruled_.reset();
  headless()->UserType(edit, "abc");
  EXPECT_EQ(edit->Text(), "abc");
  // And a RuledEdit may outlive its box.
  Make(EditRules{2, CaseConversion::kNone, false});
  window_->DestroyControl(edit_);
  ruled_.reset();
}

}  // namespace
}  // namespace memo::ui
