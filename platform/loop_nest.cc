#include "platform/loop_nest.h"

namespace memo::platform {

int LoopNest::Enter() {
  ended_.push_back(false);
  return depth();
}

void LoopNest::Leave(int depth) {
  if (depth >= 1 && depth <= this->depth()) ended_.resize(static_cast<size_t>(depth) - 1);
}

int LoopNest::End(int depth) {
  if (depth < 1 || depth > this->depth()) return 0;
  for (size_t i = static_cast<size_t>(depth) - 1; i < ended_.size(); ++i) ended_[i] = true;
  return depth;
}

bool LoopNest::ended(int depth) const {
  return depth >= 1 && depth <= this->depth() && ended_[static_cast<size_t>(depth) - 1];
}

void LoopNest::PostQuit(int code) {
  quit_pending_ = true;
  quit_code_ = code;
}

std::optional<int> LoopNest::pending_quit() const {
  if (!quit_pending_) return std::nullopt;
  return quit_code_;
}

std::optional<int> LoopNest::TakeQuit(int depth) {
  if (!quit_pending_) return std::nullopt;
  if (depth <= 1) quit_pending_ = false;
  return quit_code_;
}

}  // namespace memo::platform
