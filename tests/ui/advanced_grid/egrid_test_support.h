// A headless window with one canvas for the advanced grid's tests, and an event recorder.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "platform/backend.h"
#include "platform/codec.h"
#include "platform/headless/headless_backend.h"
#include "platform/headless/headless_controls.h"
#include "tests/support/gbk.h"
#include "ui/advanced_grid/egrid.h"

namespace memo::ui::testing {

using ::memo::testing::G;

// The settings of the follow-up window's grid: one row, two columns 325 wide, no headings.
inline EGridSettings FollowUpSettings() {
  EGridSettings s;
  s.rows = 1;
  s.columns = 2;
  s.column_width = 325;
  s.fixed_rows = 0;
  s.fixed_columns = 0;
  return s;
}

struct RaisedEvent {
  int32_t event = 0;
  std::vector<int32_t> args;
  friend bool operator==(const RaisedEvent&, const RaisedEvent&) = default;
};

inline std::ostream& operator<<(std::ostream& out, const RaisedEvent& e) {
  out << "event " << e.event << " (";
  for (int32_t a : e.args) out << a << ' ';
  return out << ')';
}

class HeadlessGridTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::InstallBackend(&backend_);
    platform::WindowStyle style;
    style.rect = platform::Rect{0, 0, 800, 600};
    window_ = backend_.CreateWindow(style);
    window_->Show(platform::ShowMode::kNormal);
  }
  void TearDown() override {
    grid_.reset();
    window_.reset();
    platform::InstallBackend(nullptr);
  }

  // A grid on a borderless canvas whose client area is `client` (while no bar shows).
  EGrid& Make(const EGridSettings& settings, platform::Size client = {400, 200}) {
    platform::ControlPlacement placement;
    placement.rect = platform::Rect{10, 10, client.width, client.height};
    placement.child_id = 100;
    platform::CanvasStyle style;
    style.border = 0;
    canvas_ = static_cast<platform::HeadlessCanvas*>(window_->CreateCanvas(placement, style));
    grid_ = std::make_unique<EGrid>(canvas_, settings);
    grid_->SetEventSink([this](int32_t event, std::initializer_list<int32_t> args) {
      events_.push_back(RaisedEvent{event, std::vector<int32_t>(args)});
      if (on_event_) on_event_(event);
    });
    return *grid_;
  }

  // The pointer comes to rest at a client point.
  void MoveTo(platform::Point at) {
    platform::InputEvent move;
    move.kind = platform::InputKind::kMouseMove;
    move.x = at.x;
    move.y = at.y;
    canvas_->on_input(move);
  }
  platform::HeadlessWindow* headless() const {
    return static_cast<platform::HeadlessWindow*>(window_.get());
  }
  void Click(platform::Point at) { headless()->UserClickAt(canvas_, at); }
  void Key(int key, int shift = 0) { headless()->UserKey(canvas_, key, shift); }
  // Every paint operation of a fresh paint of the whole canvas.
  const std::vector<platform::PaintOp>& Paint() {
    canvas_->RepaintNow();
    return canvas_->paint_log();
  }

  platform::HeadlessBackend backend_;
  std::unique_ptr<platform::Window> window_;
  platform::HeadlessCanvas* canvas_ = nullptr;
  std::unique_ptr<EGrid> grid_;
  std::vector<RaisedEvent> events_;
  std::function<void(int32_t event)> on_event_;
};

}  // namespace memo::ui::testing
