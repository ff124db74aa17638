// The parts of the controls' behaviour that both backends share.
#include "platform/controls.h"

#include <algorithm>

namespace memo::platform {

int ClampUpDownPosition(const UpDownStyle& style, int position) {
  int low = std::min(style.minimum, style.maximum);
  int high = std::max(style.minimum, style.maximum);
  return std::clamp(position, low, high);
}

int SteppedUpDownPosition(const UpDownStyle& style, int delta) {
  if (style.minimum > style.maximum) delta = -delta;
  // Widened so that a step past INT_MAX or INT_MIN clamps instead of overflowing.
  long long target = static_cast<long long>(style.position) + delta;
  target = std::clamp<long long>(target, std::min(style.minimum, style.maximum),
                                 std::max(style.minimum, style.maximum));
  return static_cast<int>(target);
}

}  // namespace memo::platform
