// The up-down model (range, position, reversed ranges, steps at the edges of int) and its
// presenter driving a headless up-down control and buddy box.
#include "ui/controls/up_down_model.h"

#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <vector>

#include "platform/headless/headless_backend.h"
#include "platform/headless/headless_controls.h"
#include "ui/controls/ruled_edit.h"

namespace memo::ui {
namespace {

using namespace memo::platform;

TEST(UpDownModelTest, StepsMoveTowardTheirBoundAndStopThere) {
  UpDownModel model(0, 3, 2);
  EXPECT_TRUE(model.Step(+1));
  EXPECT_FALSE(model.Step(+1)) << "already at the maximum";
  EXPECT_EQ(model.position(), 3);
  EXPECT_TRUE(model.Step(-1));
  EXPECT_EQ(model.position(), 2);
  model.SetPosition(-7);
  EXPECT_EQ(model.position(), 0);
  model.SetRange(5, 9);
  EXPECT_EQ(model.position(), 5) << "a new range clamps the position";
  EXPECT_EQ(UpDownModel(0, 100, 500).position(), 100);
}

TEST(UpDownModelTest, AReversedRangeCountsDownOnTheUpArrow) {
  UpDownModel model(10, 0, 5);
  model.Step(+1);
  EXPECT_EQ(model.position(), 4);
  model.Step(-1);
  model.Step(-1);
  EXPECT_EQ(model.position(), 6);
  model.SetPosition(42);
  EXPECT_EQ(model.position(), 10);
}

TEST(UpDownModelTest, StepsClampWithoutOverflow) {
  UpDownModel model(INT_MIN, INT_MAX, INT_MAX);
  EXPECT_FALSE(model.Step(+1));
  EXPECT_EQ(model.position(), INT_MAX);
  model.SetPosition(INT_MIN);
  EXPECT_FALSE(model.Step(-1));
  EXPECT_EQ(model.position(), INT_MIN);
  UpDownModel reversed(INT_MAX, INT_MIN, INT_MAX);
  EXPECT_FALSE(reversed.Step(-1)) << "reversed: the down arrow counts up";
  EXPECT_TRUE(reversed.Step(+1));
  EXPECT_EQ(reversed.position(), INT_MAX - 1);
}

TEST(UpDownModelTest, BuddyNumbers) {
  EXPECT_EQ(UpDownModel::ParseNumber("42"), 42);
  EXPECT_EQ(UpDownModel::ParseNumber("  -7 "), -7);
  EXPECT_EQ(UpDownModel::ParseNumber("+3"), 3);
  EXPECT_EQ(UpDownModel::ParseNumber("-2147483648"), INT_MIN);
  EXPECT_EQ(UpDownModel::ParseNumber("2147483648"), std::nullopt);
  EXPECT_EQ(UpDownModel::ParseNumber("99999999999999999999"), std::nullopt);
  EXPECT_EQ(UpDownModel::ParseNumber(""), std::nullopt);
  EXPECT_EQ(UpDownModel::ParseNumber("-"), std::nullopt);
  EXPECT_EQ(UpDownModel::ParseNumber("4x"), std::nullopt);
  EXPECT_EQ(UpDownModel(0, 100, 17).PositionText(), "17");
}

class SpinPresenterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WindowStyle style;
    style.rect = Rect{0, 0, 300, 200};
    window_ = backend_.CreateWindow(style);
    window_->Show(ShowMode::kNormal);
    ControlPlacement placement;
    placement.rect = Rect{0, 0, 80, 20};
    EditStyle edit_style;
    edit_style.text_gbk = "5";
    buddy_ = std::make_unique<RuledEdit>(window_->CreateEdit(placement, edit_style), EditRules{});
    placement.rect = Rect{80, 0, 16, 20};
    spin_control_ = window_->CreateUpDown(placement, UpDownStyle{});
    spin_ = std::make_unique<SpinPresenter>(UpDownModel(0, 10, 5), spin_control_, buddy_.get());
    spin_->on_change = [this](int position) { changes_.push_back(position); };
  }
  HeadlessWindow* headless() { return static_cast<HeadlessWindow*>(window_.get()); }

  HeadlessBackend backend_;
  std::unique_ptr<Window> window_;
  std::unique_ptr<RuledEdit> buddy_;
  UpDownControl* spin_control_ = nullptr;
  std::unique_ptr<SpinPresenter> spin_;
  std::vector<int> changes_;
};

TEST_F(SpinPresenterTest, ArrowsStepAndTheBuddyShowsThePosition) {
  headless()->UserSpin(spin_control_, +1);
  EXPECT_EQ(buddy_->Text(), "6");
  headless()->UserSpin(spin_control_, -1);
  headless()->UserSpin(spin_control_, -1);
  EXPECT_EQ(buddy_->Text(), "4");
  EXPECT_EQ(changes_, (std::vector<int>{6, 5, 4}));
  spin_->SetPosition(10);
  EXPECT_EQ(buddy_->Text(), "10");
  headless()->UserSpin(spin_control_, +1);
  EXPECT_EQ(changes_.size(), 3u) << "at the maximum nothing moves";
}

TEST_F(SpinPresenterTest, AnArrowStepsFromTheNumberTheUserTyped) {
  headless()->UserType(buddy_->edit(), "8");
  headless()->UserSpin(spin_control_, +1);
  EXPECT_EQ(buddy_->Text(), "9");
  headless()->UserType(buddy_->edit(), "50");
  headless()->UserSpin(spin_control_, +1);
  EXPECT_EQ(buddy_->Text(), "10") << "a typed number beyond the range counts as the bound";
  headless()->UserType(buddy_->edit(), "abc");
  headless()->UserSpin(spin_control_, -1);
  EXPECT_EQ(buddy_->Text(), "9") << "no number: the step starts from the position";
  EXPECT_EQ(changes_, (std::vector<int>{9, 10, 9}));
}

TEST_F(SpinPresenterTest, ASpinWithoutBuddyOnlyCounts) {
  UpDownControl* lone = window_->CreateUpDown(ControlPlacement{Rect{0, 40, 16, 20}}, UpDownStyle{});
  SpinPresenter spin(UpDownModel(0, 2, 0), lone, nullptr);
  std::vector<int> seen;
  spin.on_change = [&](int position) { seen.push_back(position); };
  for (int i = 0; i < 4; ++i) headless()->UserSpin(lone, +1);
  EXPECT_EQ(seen, (std::vector<int>{1, 2}));
  EXPECT_EQ(spin.model().position(), 2);
}

}  // namespace
}  // namespace memo::ui
