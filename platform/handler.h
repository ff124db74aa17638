// Calling the seam's event handlers (on_click, on_change, on_command ...).
#pragma once

#include <functional>
#include <utility>

namespace memo::platform {

// Calls `handler` when it is set, through a copy: the routine behind it may destroy the window or
// control that holds the handler, and with it the std::function that is running.
template <typename R, typename... Params, typename... Args>
void Fire(const std::function<R(Params...)>& handler, Args&&... args) {
  if (!handler) return;
  std::function<R(Params...)> copy = handler;
  copy(std::forward<Args>(args)...);
}

}  // namespace memo::platform
