// The data-bound grid's rows: over memo tables of 100, 10 000 and 100 000 memos (20 categories,
// a 200-byte memo text and a follow-up log of three entries each), the cost of connecting the
// database provider, of a row count, of reading one screen of cells (30 rows × 4 columns)
// through the data source, and of painting that screen on a headless canvas (which reads the
// cells itself). The screen is the table's last one, as after Ctrl+End. The headless painter
// only records what is drawn, so the paint row measures the grid's own work, not a rasteriser.
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "bench/memo_tables.h"
#include "bench/workload.h"
#include "data/data_source.h"
#include "data/db_provider.h"
#include "db/database.h"
#include "db/engine_code.h"
#include "platform/headless/headless_backend.h"
#include "platform/headless/headless_controls.h"
#include "platform/input.h"
#include "ui/grid/grid.h"

namespace memo::bench {
namespace {

constexpr int kScreenRows = 30;
constexpr int kScreenColumns = 4;
// The headless world the grid draws in; installed for the grid rows only.
struct Screen {
  Screen() {
    previous = platform::InstallBackend(&backend);
    platform::WindowStyle style;
    style.rect = platform::Rect{0, 0, 1000, 700};
    window = backend.CreateWindow(style);
    window->Show(platform::ShowMode::kNormal);
    platform::ControlPlacement placement;
    // 31 rows of 18 pixels (the heading and 30 data rows) and the four columns beside the
    // heading column, with room for the scroll bars.
    placement.rect = platform::Rect{0, 0, 960, 18 * 31 + 17};
    platform::CanvasStyle canvas_style;
    canvas_style.border = 0;
    canvas_style.horizontal_scroll_bar = true;
    canvas_style.vertical_scroll_bar = true;
    canvas = static_cast<platform::HeadlessCanvas*>(window->CreateCanvas(placement, canvas_style));
  }
  ~Screen() {
    window.reset();
    platform::InstallBackend(previous);
  }
  platform::HeadlessBackend backend;
  platform::Backend* previous = nullptr;
  std::unique_ptr<platform::Window> window;
  platform::HeadlessCanvas* canvas = nullptr;
};

void GridConnect(benchmark::State& state) {
  const std::string& path = MemoTable(static_cast<int>(state.range(0)));
  if (path.empty()) {
    state.SkipWithError("making the table failed");
    return;
  }
  Screen screen;  // the widths are measured through the installed backend
  db::DBProvider provider;
  for (auto _ : state) {
    if (!provider.Connect(path)) state.SkipWithError("connect failed");
  }
}

void GridRowCount(benchmark::State& state) {
  const std::string& path = MemoTable(static_cast<int>(state.range(0)));
  db::DBProvider provider;
  if (path.empty() || !provider.Connect(path)) {
    state.SkipWithError("connect failed");
    return;
  }
  db::DataSource source;
  source.Connect(&provider);
  for (auto _ : state) benchmark::DoNotOptimize(source.RowCount());
}

void GridReadScreen(benchmark::State& state) {
  const int memos = static_cast<int>(state.range(0));
  const std::string& path = MemoTable(memos);
  db::DBProvider provider;
  if (path.empty() || !provider.Connect(path)) {
    state.SkipWithError("connect failed");
    return;
  }
  db::DataSource source;
  source.Connect(&provider);
  const int first = std::max(0, memos - kScreenRows);
  size_t bytes = 0;
  for (auto _ : state) {
    for (int r = first; r < first + kScreenRows && r < memos; ++r) {
      for (int c = 0; c < kScreenColumns; ++c) bytes += source.ShownCellText(r, c).size();
    }
  }
  benchmark::DoNotOptimize(bytes);
}

void GridPaintScreen(benchmark::State& state) {
  const int memos = static_cast<int>(state.range(0));
  const std::string& path = MemoTable(memos);
  Screen screen;
  db::DBProvider provider;
  if (path.empty() || !provider.Connect(path)) {
    state.SkipWithError("connect failed");
    return;
  }
  db::DataSource source;
  source.Connect(&provider);
  ui::Grid grid(screen.window.get(), screen.canvas, ui::GridBlock{});
  grid.Bind(&source);
  platform::InputEvent end;
  end.kind = platform::InputKind::kKeyDown;
  end.key = platform::vk::kEnd;
  end.shift = platform::kShiftCtrl;
  grid.HandleInput(end);  // the last screen, as after Ctrl+End
  if (grid.layout().LastShownRow() - grid.layout().top_row() + 1 < std::min(memos, kScreenRows) ||
      grid.layout().LastShownColumn() < kScreenColumns) {
    state.SkipWithError("the canvas does not show a whole screen");
    grid.Detach();
    return;
  }
  for (auto _ : state) screen.canvas->RepaintNow();
  state.counters["texts"] = static_cast<double>(screen.canvas->PaintedTexts().size());
  grid.Detach();
}

void PerScreen(benchmark::internal::Benchmark* b) {
  b->Arg(100)
      ->Arg(10000)
      ->Arg(100000)
      ->Repetitions(3)
      ->Unit(benchmark::kMicrosecond)
      ->UseRealTime();
}

BENCHMARK(GridConnect)->Name("grid_connect")->Apply(PerScreen);
BENCHMARK(GridRowCount)->Name("grid_row_count")->Apply(PerScreen);
BENCHMARK(GridReadScreen)->Name("grid_read_screen")->Apply(PerScreen);
BENCHMARK(GridPaintScreen)->Name("grid_paint_screen")->Apply(PerScreen);

}  // namespace
}  // namespace memo::bench
