#include "tests/ui/grid/grid_test_util.h"

#include <cstring>
#include <fstream>

#include "db/coding.h"
#include "db/create.h"
#include "db/engine_code.h"
#include "db/record_format.h"

namespace memo::ui::testing {

void WriteFixedTable(const std::string& path, int rows) {
  db::testing::MustCreate(path, {{G("名称"), db::kFieldText, 12},
                                 {G("时间"), db::kFieldDateTime, 0},
                                 {G("数量"), db::kFieldInt, 0},
                                 {G("备注"), db::kFieldText, 16}});
  constexpr size_t kRecordSize = 4 + 12 + 8 + 4 + 16;
  std::string records(static_cast<size_t>(rows) * kRecordSize, '\0');
  for (int r = 1; r <= rows; ++r) {
    char* p = &records[static_cast<size_t>(r - 1) * kRecordSize];
    db::EncodeFixed32(p, static_cast<uint32_t>(r));  // serial
    std::string name = "r" + std::to_string(r);
    std::memcpy(p + 4, name.data(), std::min<size_t>(name.size(), 12));
    db::EncodeDouble(p + 16, 41830.0 + r - 1);
    db::EncodeFixed32(p + 24, static_cast<uint32_t>(r));
    std::string note = "note " + std::to_string(r);
    std::memcpy(p + 28, note.data(), std::min<size_t>(note.size(), 16));
  }
  std::string file = db::testing::ReadAll(path);
  ASSERT_EQ(file.size(), db::RecordsStart(4));
  db::EncodeFixed32(&file[db::kRecordCountOffset], static_cast<uint32_t>(rows));
  db::EncodeFixed32(&file[db::kNextSerialOffset], static_cast<uint32_t>(rows + 1));
  db::testing::WriteAll(path, file + records);
}

void WriteMemoTable(const std::string& path, int rows) {
  db::testing::MustCreate(path, db::testing::MemoTableFields());
  auto handle = db::testing::MustOpen(path);
  ASSERT_TRUE(handle);
  for (int r = 1; r <= rows; ++r) {
    std::string category = "c" + std::to_string(r);
    std::string text = "memo " + std::to_string(r);
    TypedValue values[] = {db::testing::TextCell(category),
                           db::testing::DateTimeCell(41830.0 + r - 1), db::testing::TextCell(text)};
    ASSERT_EQ(handle->AddRecord(values, 3), db::kOk);
  }
}

void GridTest::SetUp() {
  previous_ = platform::InstallBackend(&backend_);
  platform::WindowStyle style;
  style.rect = platform::Rect{0, 0, 640, 480};
  window_owner_ = backend_.CreateWindow(style);
  window_ = static_cast<platform::HeadlessWindow*>(window_owner_.get());
  window_->Show(platform::ShowMode::kNormal);
  platform::ControlPlacement placement;
  placement.rect = platform::Rect{0, 0, 400, 300};
  placement.child_id = 100;
  platform::CanvasStyle canvas_style;
  canvas_style.border = 0;
  canvas_style.horizontal_scroll_bar = true;
  canvas_style.vertical_scroll_bar = true;
  canvas_ = static_cast<platform::HeadlessCanvas*>(window_->CreateCanvas(placement, canvas_style));
}

void GridTest::TearDown() {
  if (grid_) grid_->Detach();
  grid_.reset();
  window_owner_.reset();
  platform::InstallBackend(previous_);
}

void GridTest::MakeGrid(const GridBlock& block) {
  grid_ = std::make_unique<Grid>(window_, canvas_, block);
  grid_->on_corners_changed = [this](bool first, bool second) {
    corners_.emplace_back(first, second);
  };
}

void GridTest::Connect(const std::string& path) {
  ASSERT_TRUE(provider_.Connect(path));
  source_.Connect(&provider_);
  grid_->Bind(&source_);
}

platform::Point GridTest::CentreOf(int row, int column) {
  platform::Rect rect = grid_->CellClientRect(row, column);
  EXPECT_GT(rect.width, 0) << row << ", " << column;
  return rect.Centre();
}

void GridTest::Click(int row, int column, int shift) {
  platform::Point at = CentreOf(row, column);
  ASSERT_TRUE(window_->UserClickAt(canvas_, at, shift));
}

void GridTest::Key(int key, int shift) { ASSERT_TRUE(window_->UserKey(canvas_, key, shift)); }

void GridTest::Mouse(platform::InputKind kind, platform::Point at, int shift) {
  platform::InputEvent event;
  event.kind = kind;
  event.x = at.x;
  event.y = at.y;
  event.shift = shift;
  canvas_->on_input(event);
}

}  // namespace memo::ui::testing
