// The data source's window: a bar of six navigation buttons drawn on a canvas — first, previous,
// next, last, insert, delete, in that order, side by side in equal parts. A button acts when the
// left button is pressed and released over it; a disabled canvas gets no input at all.
#pragma once

#include <functional>
#include <optional>

#include "data/data_source.h"
#include "platform/controls.h"
#include "platform/painter.h"

namespace memo::ui {

constexpr int kNavigationButtonCount = 6;

// The button under a client x in a bar `width` pixels wide, or nullopt outside it.
std::optional<db::NavigationButton> NavigationButtonAt(int x, int width);

class NavigationBar {
 public:
  // Sets the canvas's handlers. REQUIRES: Detach() runs while the canvas exists.
  explicit NavigationBar(platform::CanvasControl* canvas);
  NavigationBar(const NavigationBar&) = delete;
  NavigationBar& operator=(const NavigationBar&) = delete;

  // Called with the button pressed and released.
  std::function<void(db::NavigationButton button)> on_button;

  void Detach();
  void Paint(platform::Painter& painter);
  void HandleInput(const platform::InputEvent& event);

 private:
  platform::CanvasControl* canvas_;
  std::optional<db::NavigationButton> pressed_;
};

}  // namespace memo::ui
