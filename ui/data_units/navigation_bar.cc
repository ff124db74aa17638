#include "ui/data_units/navigation_bar.h"

#include <string>

#include "platform/handler.h"

namespace memo::ui {

namespace {

// The buttons' faces, in button order.
const char* const kFaces[kNavigationButtonCount] = {"|<", "<", ">", ">|", "+", "-"};

platform::Rect ButtonRect(int index, platform::Size client) {
  const int left = client.width * index / kNavigationButtonCount;
  const int right = client.width * (index + 1) / kNavigationButtonCount;
  return platform::Rect{left, 0, right - left, client.height};
}

}  // namespace

std::optional<db::NavigationButton> NavigationButtonAt(int x, int width) {
  if (width <= 0 || x < 0 || x >= width) return std::nullopt;
  const int index = x * kNavigationButtonCount / width;
  return static_cast<db::NavigationButton>(index);
}

NavigationBar::NavigationBar(platform::CanvasControl* canvas) : canvas_(canvas) {
  canvas_->on_paint = [this](platform::Painter& painter, const platform::Rect&) { Paint(painter); };
  canvas_->on_input = [this](const platform::InputEvent& event) { HandleInput(event); };
}

void NavigationBar::Detach() {
  if (!canvas_) return;
  canvas_->on_paint = nullptr;
  canvas_->on_input = nullptr;
  canvas_ = nullptr;
}

void NavigationBar::Paint(platform::Painter& painter) {
  if (!canvas_) return;
  const platform::Size client = canvas_->ClientSize();
  platform::TextFormat format;
  format.align = platform::Align::kCentre;
  format.valign = platform::VAlign::kCentre;
  for (int i = 0; i < kNavigationButtonCount; ++i) {
    const platform::Rect rect = ButtonRect(i, client);
    const bool down = pressed_ && static_cast<int>(*pressed_) == i;
    painter.FillRect(rect, platform::Rgb(240, 240, 240));
    painter.DrawEdge(rect, down ? platform::EdgeStyle::kSunken : platform::EdgeStyle::kRaised);
    painter.DrawText(rect, kFaces[i], format);
  }
}

void NavigationBar::HandleInput(const platform::InputEvent& event) {
  if (!canvas_ || !canvas_->IsEnabled()) return;
  const platform::Size client = canvas_->ClientSize();
  const int width = event.y >= 0 && event.y < client.height ? client.width : 0;
  switch (event.kind) {
    case platform::InputKind::kLeftDown:
    case platform::InputKind::kLeftDoubleClick:
      pressed_ = NavigationButtonAt(event.x, width);
      canvas_->SetMouseCapture(true);
      canvas_->Invalidate();
      return;
    case platform::InputKind::kLeftUp: {
      std::optional<db::NavigationButton> released = NavigationButtonAt(event.x, width);
      std::optional<db::NavigationButton> pressed = pressed_;
      pressed_.reset();
      canvas_->SetMouseCapture(false);
      canvas_->Invalidate();
      if (pressed && released == pressed) platform::Fire(on_button, *pressed);
      return;
    }
    default: return;
  }
}

}  // namespace memo::ui
