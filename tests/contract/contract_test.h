// The fixture of every contract case: a person at one backend, one shown window whose on_input
// records what it is offered and asks `filter_` what to do with it.
//
// A new group of cases: CONTRACT_SUITE(EditBoxContract) in its file, then TEST_P(EditBoxContract,
// ...) cases; each runs once per backend (…/Headless, …/Qt).
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/backend.h"
#include "platform/codec.h"
#include "platform/window.h"
#include "tests/contract/person.h"
#include "tests/support/gbk.h"

namespace memo::contract {

class ContractTest : public ::testing::TestWithParam<BackendKind> {
 protected:
  void SetUp() override {
    person_ = GetParam() == BackendKind::kHeadless ? MakeHeadlessPerson() : MakeQtPerson();
    previous_backend_ = platform::InstallBackend(&person_->backend());
    platform::WindowStyle style;
    style.rect = platform::Rect{40, 40, 420, 320};
    style.caption_gbk = Utf8ToGbk("契约");
    window_ = person_->backend().CreateWindow(style);
    window_->on_input = [this](platform::Control* target, const platform::InputEvent& event) {
      inputs_.emplace_back(target, event);
      if (filter_) return filter_(target, event);
      return platform::InputDecision::Pass();
    };
    person_->Show(window_.get());
  }
  void TearDown() override {
    window_.reset();
    person_->Settle();
    platform::InstallBackend(previous_backend_);
    person_.reset();
  }

  Person& person() { return *person_; }

  platform::ControlPlacement At(int child_id, platform::Rect rect) {
    platform::ControlPlacement placement;
    placement.child_id = child_id;
    placement.rect = rect;
    placement.tab_stop = true;
    return placement;
  }

  // What `target` was offered, in order, as short names ("down", "up", "focus", "blur",
  // "key 13", "keyup 13", "char 97", "wheel"); mouse moves left out.
  std::vector<std::string> Offered(platform::Control* target) const;
  // The character codes offered for `target`.
  std::vector<int> TypedCharacters(platform::Control* target) const;
  void ClearOffered() { inputs_.clear(); }

  std::unique_ptr<Person> person_;
  platform::Backend* previous_backend_ = nullptr;
  std::unique_ptr<platform::Window> window_;
  std::vector<std::pair<platform::Control*, platform::InputEvent>> inputs_;
  std::function<platform::InputDecision(platform::Control*, const platform::InputEvent&)> filter_;
};

// GBK bytes of a UTF-8 literal (tests/support/gbk.h), and the character code of a
// one-character GBK text.
using ::memo::testing::G;
uint32_t CodeOf(const std::string& gbk);

std::string BackendName(const ::testing::TestParamInfo<BackendKind>& info);

}  // namespace memo::contract

#define CONTRACT_SUITE(Name)                                                           \
  class Name : public ::memo::contract::ContractTest {};                               \
  INSTANTIATE_TEST_SUITE_P(Backends, Name,                                             \
                           ::testing::Values(::memo::contract::BackendKind::kHeadless, \
                                             ::memo::contract::BackendKind::kQt),      \
                           ::memo::contract::BackendName)

// The same for a fixture of its own: CONTRACT_SUITE_OF(Fixture), then TEST_P(FixtureCases, ...).
#define CONTRACT_SUITE_OF(Fixture)                                                     \
  class Fixture##Cases : public Fixture {};                                            \
  INSTANTIATE_TEST_SUITE_P(Backends, Fixture##Cases,                                   \
                           ::testing::Values(::memo::contract::BackendKind::kHeadless, \
                                             ::memo::contract::BackendKind::kQt),      \
                           ::memo::contract::BackendName)
