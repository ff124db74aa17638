// A combo box model shown on the headless view: the view always shows the model, the user's picks
// and edits come back into it, and the edit field keeps its length limit.
#include "ui/controls/combo_presenter.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/codec.h"
#include "platform/headless/headless_backend.h"
#include "platform/headless/headless_controls.h"
#include "tests/support/gbk.h"

namespace memo::ui {
namespace {

using namespace memo::platform;

using ::memo::testing::G;

class ComboPresenterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WindowStyle style;
    style.rect = Rect{0, 0, 300, 200};
    window_ = backend_.CreateWindow(style);
    window_->on_input = [this](Control* target, const InputEvent& event) {
      if (combo_ && target == view_) return combo_->FilterInput(event);
      return InputDecision::Pass();
    };
    window_->Show(ShowMode::kNormal);
  }

  void Make(ComboModel model, int max_bytes = 0) {
    ComboStyle style;
    style.kind = model.kind();
    ControlPlacement placement;
    placement.rect = Rect{0, 0, 96, 160};
    placement.child_id = 100;
    view_ = static_cast<HeadlessCombo*>(window_->CreateCombo(placement, style));
    combo_ = std::make_unique<ComboPresenter>(std::move(model), view_, max_bytes);
    combo_->on_selection_change = [this] { ++picks_; };
    combo_->on_edit_change = [this] { ++edits_; };
  }
  HeadlessWindow* headless() { return static_cast<HeadlessWindow*>(window_.get()); }
  // The view shows what the model holds.
  void ExpectShown() {
    std::vector<std::string> texts;
    for (const auto& item : combo_->model().items()) texts.push_back(item.text);
    EXPECT_EQ(view_->items(), texts);
    EXPECT_EQ(view_->shown_current(), combo_->model().current());
    EXPECT_EQ(view_->ShownText(), combo_->model().ShownText());
  }

  HeadlessBackend backend_;
  std::unique_ptr<Window> window_;
  HeadlessCombo* view_ = nullptr;
  std::unique_ptr<ComboPresenter> combo_;
  int picks_ = 0;
  int edits_ = 0;
};

ComboModel Stored(ComboKind kind, bool sorted = false) {
  ComboModel model(kind, sorted);
  model.AddItem(G("资金借出"));
  model.AddItem(G("资金借入"));
  model.SetCurrent(0);
  return model;
}

TEST_F(ComboPresenterTest, TheViewShowsTheModelFromTheStart) {
  Make(Stored(ComboKind::kDropDown));
  ExpectShown();
  EXPECT_EQ(view_->ShownText(), G("资金借出"));
}

TEST_F(ComboPresenterTest, ProgramChangesReachTheViewAndRaiseNothing) {
  Make(Stored(ComboKind::kDropDownList, true));
  EXPECT_EQ(combo_->AddItem("abc", 7), 0);
  ExpectShown();
  EXPECT_EQ(view_->shown_current(), 1) << "the current item moved down with the insertion";
  combo_->SetCurrent(99);
  ExpectShown();
  combo_->RemoveItem(2);
  ExpectShown();
  EXPECT_EQ(view_->shown_current(), -1);
  combo_->SetText("abc");
  ExpectShown();
  EXPECT_EQ(combo_->model().current(), 0);
  combo_->Clear();
  ExpectShown();
  EXPECT_EQ(picks_ + edits_, 0);
}

TEST_F(ComboPresenterTest, AUserPickBecomesCurrentOnceTheModelTakesIt) {
  Make(Stored(ComboKind::kDropDown));
  EXPECT_TRUE(headless()->UserSelect(view_, 1));
  EXPECT_EQ(combo_->model().current(), 1);
  ExpectShown();
  EXPECT_EQ(view_->ShownText(), G("资金借入"));
  EXPECT_EQ(picks_, 1);
  headless()->UserSelect(view_, 1);
  EXPECT_EQ(picks_, 1) << "picking the current item changes nothing";
  headless()->UserKey(view_, vk::kUp);
  EXPECT_EQ(combo_->model().current(), 0);
  EXPECT_EQ(picks_, 2);
}

TEST_F(ComboPresenterTest, EditFieldKeepsItsLimitForTypingAndWholeEdits) {
  Make(Stored(ComboKind::kDropDown), 5);
  headless()->UserType(view_, "ab" + G("中文"));
  EXPECT_EQ(combo_->model().edit_text(), "ab" + G("中"));
  ExpectShown();
  EXPECT_EQ(edits_, 3);
  // A change that arrives whole (as a paste would) is cut to fit, on the view too.
  view_->on_edit(std::string("xy") + G("中文"));
  EXPECT_EQ(combo_->model().edit_text(), "xy" + G("中"));
  ExpectShown();
  EXPECT_EQ(edits_, 4);
}

TEST_F(ComboPresenterTest, ADropDownListPicksByTyping) {
  ComboModel model(ComboKind::kDropDownList);
  for (const char* t : {"apple", "banana", "avocado"}) model.AddItem(t);
  Make(std::move(model));
  headless()->UserType(view_, "a");
  EXPECT_EQ(combo_->model().current(), 0);
  headless()->UserType(view_, "A");
  EXPECT_EQ(combo_->model().current(), 2) << "the next item with that letter";
  ExpectShown();
}

TEST_F(ComboPresenterTest, TheViewOutlivingThePresenterReportsToNobody) {
  Make(Stored(ComboKind::kDropDown));
  combo_.reset();
  EXPECT_TRUE(headless()->UserSelect(view_, 1));
  EXPECT_EQ(view_->shown_current(), 0);
  EXPECT_EQ(picks_, 0);
}

}  // namespace
}  // namespace memo::ui
