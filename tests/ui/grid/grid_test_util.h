// Helpers of the grid tests: tables written straight into record files (fast even for a hundred
// thousand rows), and a fixture with a headless window, a canvas, a provider, a data source and
// the grid bound to them.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "data/data_source.h"
#include "data/db_provider.h"
#include "platform/headless/headless_backend.h"
#include "platform/headless/headless_controls.h"
#include "tests/support/test_util.h"
#include "ui/grid/grid.h"

namespace memo::ui {

// Cells print as (row, column) in failure messages.
inline std::ostream& operator<<(std::ostream& out, const GridCell& cell) {
  return out << "(" << cell.row << ", " << cell.column << ")";
}

}  // namespace memo::ui

namespace memo::ui::testing {

using db::testing::G;

// A table of four fixed-size columns — 名称 (text 12), 时间 (date-time), 数量 (integer), 备注
// (text 16) — holding `rows` records: row r (1-based) has 名称 "r<r>", 时间 41830 + r - 1,
// 数量 r, 备注 "note <r>".
void WriteFixedTable(const std::string& path, int rows);

// The memo table of the program (分类, 时间, 记事, 跟进) with `rows` records made through the
// engine: 分类 "c<r>", 时间 41830 + r - 1, 记事 "memo <r>".
void WriteMemoTable(const std::string& path, int rows);

class GridTest : public ::testing::Test {
 protected:
  // The canvas: 400 × 300 without a border, both scroll bars, so that its client area is
  // 383 × 283 (the headless scroll bars are 17 pixels wide).
  void SetUp() override;
  void TearDown() override;

  void MakeGrid(const GridBlock& block = GridBlock{});
  // Binds the grid to the table at `path` through the provider and the data source.
  void Connect(const std::string& path);

  // A person clicks the centre of a cell (row 0 / column 0: a heading) / presses a key there.
  void Click(int row, int column, int shift = 0);
  void Key(int key, int shift = 0);
  // Input straight to the canvas (mouse moves while the button is held, for dragging).
  void Mouse(platform::InputKind kind, platform::Point at, int shift = 0);
  platform::Point CentreOf(int row, int column);

  GridCell First() const { return grid_->selection().first(); }
  GridCell Second() const { return grid_->selection().second(); }
  // The corner reports since the last call: (first changed, second changed) each.
  std::vector<std::pair<bool, bool>> TakeCorners() { return std::exchange(corners_, {}); }

  platform::HeadlessBackend backend_;
  platform::Backend* previous_ = nullptr;
  db::testing::TempDir dir_;
  db::DBProvider provider_;
  db::DataSource source_;
  std::unique_ptr<platform::Window> window_owner_;
  platform::HeadlessWindow* window_ = nullptr;
  platform::HeadlessCanvas* canvas_ = nullptr;
  std::unique_ptr<Grid> grid_;
  std::vector<std::pair<bool, bool>> corners_;
};

}  // namespace memo::ui::testing
