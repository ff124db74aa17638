#include "ui/controls/up_down_model.h"

#include <algorithm>
#include <climits>

#include "platform/handler.h"
#include "ui/controls/ruled_edit.h"

namespace memo::ui {

UpDownModel::UpDownModel(int minimum, int maximum, int position)
    : minimum_(minimum), maximum_(maximum), position_(0) {
  SetPosition(position);
}

int UpDownModel::low() const { return std::min(minimum_, maximum_); }
int UpDownModel::high() const { return std::max(minimum_, maximum_); }

void UpDownModel::SetRange(int minimum, int maximum) {
  minimum_ = minimum;
  maximum_ = maximum;
  SetPosition(position_);
}

void UpDownModel::SetPosition(int position) { position_ = std::clamp(position, low(), high()); }

bool UpDownModel::Step(int delta) {
  if (minimum_ > maximum_) delta = -delta;
  // Widened so that a step past INT_MAX or INT_MIN stops at the bound instead of overflowing.
  long long target =
      std::clamp<long long>(static_cast<long long>(position_) + delta, low(), high());
  bool moved = target != position_;
  position_ = static_cast<int>(target);
  return moved;
}

std::string UpDownModel::PositionText() const { return std::to_string(position_); }

std::optional<int> UpDownModel::ParseNumber(std::string_view text) {
  size_t i = 0;
  auto skip_spaces = [&] {
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  };
  skip_spaces();
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  size_t digits = i;
  long long value = 0;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
    value = value * 10 + (text[i++] - '0');
    if (value > static_cast<long long>(INT_MAX) + 1) return std::nullopt;
  }
  if (i == digits) return std::nullopt;
  skip_spaces();
  if (i != text.size()) return std::nullopt;
  if (negative) value = -value;
  if (value < INT_MIN || value > INT_MAX) return std::nullopt;
  return static_cast<int>(value);
}

SpinPresenter::SpinPresenter(UpDownModel model, platform::UpDownControl* spin, RuledEdit* buddy)
    : model_(model), buddy_(buddy) {
  std::weak_ptr<char> alive = alive_;
  spin->on_arrow = [this, alive](int delta) {
    if (!alive.expired()) Arrow(delta);
  };
}

void SpinPresenter::SetPosition(int position) {
  model_.SetPosition(position);
  ShowInBuddy();
}

void SpinPresenter::ShowInBuddy() {
  if (buddy_) buddy_->SetText(model_.PositionText());
}

void SpinPresenter::Arrow(int delta) {
  const int before = model_.position();
  if (buddy_) {
    // The user may have typed a number into the buddy: the step starts from it.
    if (std::optional<int> typed = UpDownModel::ParseNumber(buddy_->Text())) {
      model_.SetPosition(*typed);
    }
  }
  model_.Step(delta < 0 ? -1 : 1);
  if (buddy_ && buddy_->Text() != model_.PositionText()) ShowInBuddy();
  if (model_.position() != before) platform::Fire(on_change, model_.position());
}

}  // namespace memo::ui
