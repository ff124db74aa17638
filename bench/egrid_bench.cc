// The advanced grid: painting one screen of a 1 000-row grid on a headless canvas, and filling
// the follow-up window's grid the way it is filled (reset, row count 1, then 1 000 times a row
// inserted at position 1 and its two cells set), shown once at the end.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "platform/codec.h"
#include "platform/headless/headless_backend.h"
#include "platform/headless/headless_controls.h"
#include "runtime/dispatch.h"
#include "ui/advanced_grid/egrid.h"
#include "ui/advanced_grid/egrid_command_ops.h"
#include "ui/window/property_numbers.h"

namespace memo::bench {
namespace {

constexpr int kRows = 1000;

// A headless window with the follow-up window's grid on it (one row, two columns, no headings).
struct FollowUpGrid {
  FollowUpGrid() {
    platform::InstallBackend(&backend);
    platform::WindowStyle style;
    style.rect = platform::Rect{0, 0, 640, 480};
    window = backend.CreateWindow(style);
    platform::ControlPlacement placement;
    placement.rect = platform::Rect{10, 10, 600, 300};
    placement.child_id = 100;
    canvas = static_cast<platform::HeadlessCanvas*>(
        window->CreateCanvas(placement, platform::CanvasStyle{}));
    ui::EGridSettings settings;
    settings.rows = 1;
    settings.columns = 2;
    settings.column_width = 325;
    settings.fixed_rows = 0;
    settings.fixed_columns = 0;
    grid = std::make_unique<ui::EGrid>(canvas, settings);
  }
  ~FollowUpGrid() {
    grid.reset();
    window.reset();
    platform::InstallBackend(nullptr);
  }

  // FillFollowUpGrid through the commands' operations.
  void Fill(const std::string& time_text, const std::string& entry_text) {
    TypedValue result;
    ui::egrid_ops::Reset(*grid, &result);
    grid->WriteProperty(ui::property::kEGridRows, IntValue(1));
    TypedValue widths[2][2] = {{IntValue(0), IntValue(170)}, {IntValue(1), IntValue(400)}};
    for (auto& args : widths) ui::egrid_ops::SetColumnWidth(*grid, &result, 2, args);
    for (int i = 0; i < kRows; ++i) {
      TypedValue insert[2] = {Omitted(), IntValue(1)};
      ui::egrid_ops::InsertRow(*grid, &result, 2, insert);
      TypedValue time[4] = {IntValue(1), IntValue(0), IntValue(1), TextValue(time_text.c_str())};
      ui::egrid_ops::SetCell(*grid, &result, 4, time);
      TypedValue entry[4] = {IntValue(1), IntValue(1), IntValue(1), TextValue(entry_text.c_str())};
      ui::egrid_ops::SetCell(*grid, &result, 4, entry);
    }
  }

  platform::HeadlessBackend backend;
  std::unique_ptr<platform::Window> window;
  platform::HeadlessCanvas* canvas = nullptr;
  std::unique_ptr<ui::EGrid> grid;
};

const std::string& TimeText() {
  static const std::string text = Utf8ToGbk("2014年7月10日9时5分");
  return text;
}
const std::string& EntryText() {
  static const std::string text = Utf8ToGbk("电话联系客户，约定下周二上午十点面谈合同细节");
  return text;
}

void EGridPaintScreenOf1000Rows(benchmark::State& state) {
  FollowUpGrid fixture;
  fixture.Fill(TimeText(), EntryText());
  fixture.grid->ScrollIntoView(ui::CellPos{500, 0});
  for (auto _ : state) {
    fixture.canvas->RepaintNow();
    benchmark::DoNotOptimize(fixture.canvas->paint_log().data());
  }
  state.counters["texts"] = static_cast<double>(fixture.canvas->PaintedTexts().size());
}

void EGridFollowUpFillAndShow1000Rows(benchmark::State& state) {
  FollowUpGrid fixture;
  for (auto _ : state) {
    fixture.Fill(TimeText(), EntryText());
    fixture.canvas->RepaintNow();
    benchmark::DoNotOptimize(fixture.canvas->paint_log().data());
  }
  state.counters["rows"] = fixture.grid->model().rows();
}

BENCHMARK(EGridPaintScreenOf1000Rows)->Unit(benchmark::kMicrosecond);
BENCHMARK(EGridFollowUpFillAndShow1000Rows)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace memo::bench
