// The state of an up-down spin control, kept above the seam: its range and position, and the
// buddy edit box that shows the position as a number. The backends' up-down controls only report
// arrow presses.
//
// A range may be given high to low (minimum > maximum), as the native control allows: positions
// stay between the two bounds either way, and the up arrow always moves toward the maximum, so
// with such a range it counts down.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/controls.h"

namespace memo::ui {

class RuledEdit;

class UpDownModel {
 public:
  UpDownModel(int minimum = 0, int maximum = 100, int position = 0);

  int minimum() const { return minimum_; }
  int maximum() const { return maximum_; }
  int position() const { return position_; }

  // The position is clamped into the new range.
  void SetRange(int minimum, int maximum);
  void SetPosition(int position);  // clamped into the range
  // One arrow press: +1 the up arrow, -1 the down arrow; a step past either bound stops there.
  // True when the position moved.
  bool Step(int delta);

  // The position as the buddy shows it (a plain decimal number).
  std::string PositionText() const;
  // The number a buddy's text holds (spaces around it and a sign allowed), or nullopt when it
  // holds none or one beyond the range of an int.
  static std::optional<int> ParseNumber(std::string_view text);

 private:
  int low() const;
  int high() const;

  int minimum_;
  int maximum_;
  int position_;
};

// An up-down control with its buddy: an arrow press steps from the number the buddy shows (the
// user may have typed one), and the buddy then shows the new position.
class SpinPresenter {
 public:
  // Takes over spin->on_arrow. `buddy` may be null. `spin` may be destroyed before this object;
  // after that no member may be called but the destructor.
  SpinPresenter(UpDownModel model, platform::UpDownControl* spin, RuledEdit* buddy);
  SpinPresenter(const SpinPresenter&) = delete;
  SpinPresenter& operator=(const SpinPresenter&) = delete;

  const UpDownModel& model() const { return model_; }
  void SetRange(int minimum, int maximum) { model_.SetRange(minimum, maximum); }
  // The program sets the position: the buddy shows it.
  void SetPosition(int position);

  // After an arrow press moved the position.
  std::function<void(int position)> on_change;

 private:
  void Arrow(int delta);
  void ShowInBuddy();

  UpDownModel model_;
  RuledEdit* buddy_;
  std::shared_ptr<char> alive_ = std::make_shared<char>(0);
};

}  // namespace memo::ui
