// Push buttons on both backends: a click by mouse or Space, what the runtime is offered on the
// way and in which order, and a press or release it swallows.
#include <string>
#include <vector>

#include "tests/contract/contract_test.h"

namespace memo::contract {
namespace {

using namespace memo::platform;

CONTRACT_SUITE(ButtonContract);

ButtonStyle Captioned(const char* utf8) {
  ButtonStyle style;
  style.caption_gbk = G(utf8);
  return style;
}

TEST_P(ButtonContract, MouseClickIsOfferedThenClicks) {
  ButtonControl* button = window_->CreateButton(At(100, Rect{20, 20, 80, 28}), Captioned("登陆"));
  int clicks = 0;
  button->on_click = [&] { ++clicks; };
  person().Click(button);
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(Offered(button), (std::vector<std::string>{"down", "focus", "up"}));
  EXPECT_TRUE(button->HasFocus());
  EXPECT_EQ(button->Caption(), G("登陆"));
  // The point is the button's own client coordinates.
  ClearOffered();
  person().ClickAt(button, Point{5, 7});
  ASSERT_FALSE(inputs_.empty());
  EXPECT_EQ(inputs_.front().second.x, 5);
  EXPECT_EQ(inputs_.front().second.y, 7);
  EXPECT_EQ(clicks, 2);
}

TEST_P(ButtonContract, SwallowedPressOrReleaseKeepsTheClick) {
  ButtonControl* button = window_->CreateButton(At(100, Rect{20, 20, 80, 28}), Captioned("确定"));
  int clicks = 0;
  button->on_click = [&] { ++clicks; };
  filter_ = [](Control*, const InputEvent& e) {
    return e.kind == InputKind::kLeftDown ? InputDecision::Swallow() : InputDecision::Pass();
  };
  person().Click(button);
  EXPECT_EQ(clicks, 0);
  EXPECT_FALSE(button->HasFocus()) << "the button never saw the press";
  filter_ = [](Control*, const InputEvent& e) {
    return e.kind == InputKind::kLeftUp ? InputDecision::Swallow() : InputDecision::Pass();
  };
  person().Click(button);
  EXPECT_EQ(clicks, 0);
}

TEST_P(ButtonContract, SpaceClicksOnItsRelease) {
  ButtonControl* button = window_->CreateButton(At(100, Rect{20, 20, 80, 28}), Captioned("确定"));
  int clicks = 0;
  button->on_click = [&] { ++clicks; };
  person().Key(button, vk::kSpace);
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(Offered(button), (std::vector<std::string>{"focus", "key 32", "char 32", "keyup 32"}));
  filter_ = [](Control*, const InputEvent& e) {
    return e.kind == InputKind::kKeyUp ? InputDecision::Swallow() : InputDecision::Pass();
  };
  person().Key(button, vk::kSpace);
  EXPECT_EQ(clicks, 1);
}

TEST_P(ButtonContract, DisabledButtonCannotBeClicked) {
  ButtonControl* button = window_->CreateButton(At(100, Rect{20, 20, 80, 28}), Captioned("删除"));
  int clicks = 0;
  button->on_click = [&] { ++clicks; };
  button->SetEnabled(false);
  EXPECT_FALSE(button->IsEnabled());
  button->Click();
  EXPECT_EQ(clicks, 0) << "not even by the program";
  button->SetEnabled(true);
  button->Click();
  EXPECT_EQ(clicks, 1);
}

}  // namespace
}  // namespace memo::contract
