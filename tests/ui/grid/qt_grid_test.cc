// The grid on the Qt backend (offscreen platform): it draws a proper table — shaded headings,
// grid lines, the selection colour, CJK text — and its in-place editor is a native edit box that
// commits on Enter and breaks lines on Ctrl+Enter.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QPlainTextEdit>
#include <QTest>
#include <QWidget>

#include <algorithm>
#include <memory>
#include <string>

#include "data/data_source.h"
#include "data/db_provider.h"
#include "platform/backend.h"
#include "platform/codec.h"
#include "platform/qt/qt_backend.h"
#include "platform/qt/qt_controls.h"
#include "platform/qt/qt_window.h"
#include "tests/support/test_util.h"
#include "ui/data_units/backend_data_host.h"
#include "ui/grid/grid.h"

namespace memo::ui {
namespace {

using platform::qt::QtCommonOf;

void MakeTable(const std::string& path) {
  db::testing::MustCreate(path, db::testing::MemoTableFields());
  auto handle = db::testing::MustOpen(path);
  for (int r = 1; r <= 30; ++r) {
    std::string category = memo::Utf8ToGbk("资金借出");
    std::string text = memo::Utf8ToGbk("记事") + std::to_string(r);
    TypedValue values[] = {db::testing::TextCell(category), db::testing::DateTimeCell(41830.0 + r),
                           db::testing::TextCell(text)};
    ASSERT_EQ(handle->AddRecord(values, 3), 0);
  }
}

class QtGridTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = platform::InstallBackend(&backend_);
    MakeTable(dir_.File("a.mcn"));
    platform::WindowStyle style;
    style.rect = platform::Rect{40, 40, 700, 480};
    window_ = backend_.CreateWindow(style);
    window_->on_input = [this](platform::Control* target, const platform::InputEvent& event) {
      if (grid_ && target && target == grid_->editor()) return grid_->FilterEditorInput(event);
      return platform::InputDecision::Pass();
    };
    platform::ControlPlacement placement;
    placement.rect = platform::Rect{0, 0, 660, 400};
    placement.child_id = 100;
    platform::CanvasStyle canvas_style;
    canvas_style.border = 1;
    canvas_style.horizontal_scroll_bar = true;
    canvas_style.vertical_scroll_bar = true;
    canvas_ = window_->CreateCanvas(placement, canvas_style);
    ASSERT_NE(canvas_, nullptr);
    grid_ = std::make_unique<Grid>(window_.get(), canvas_, GridBlock{});
    InstallBackendDataHost();  // as the data units do before their provider connects
    ASSERT_TRUE(provider_.Connect(dir_.File("a.mcn")));
    source_.Connect(&provider_);
    grid_->Bind(&source_);
    window_->Show(platform::ShowMode::kNormal);
    viewport_ = QtCommonOf(canvas_)->ContainerWidget();
    ASSERT_NE(viewport_, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(viewport_->window()));
  }

  void TearDown() override {
    grid_->Detach();
    grid_.reset();
    window_.reset();
    platform::InstallBackend(previous_);
  }

  QImage Grab() {
    grid_->RepaintNow();
    return viewport_->grab().toImage();
  }

  QPoint Centre(int row, int column) {
    platform::Rect rect = grid_->CellClientRect(row, column);
    return QPoint(rect.left + rect.width / 2, rect.top + rect.height / 2);
  }

  // Pixels of a cell's rectangle (inset by two) that are dark: text drawn there.
  int DarkPixels(const QImage& image, int row, int column) {
    platform::Rect r = grid_->layout().CellRect(row, column);
    int dark = 0;
    for (int y = std::max(r.top + 2, 0); y < std::min(r.bottom() - 2, image.height()); ++y) {
      for (int x = std::max(r.left + 2, 0); x < std::min(r.right() - 2, image.width()); ++x) {
        if (qGray(image.pixel(x, y)) < 100) ++dark;
      }
    }
    return dark;
  }

  platform::qt::QtBackend backend_;
  platform::Backend* previous_ = nullptr;
  db::testing::TempDir dir_;
  db::DBProvider provider_;
  db::DataSource source_;
  std::unique_ptr<platform::Window> window_;
  platform::CanvasControl* canvas_ = nullptr;
  QWidget* viewport_ = nullptr;
  std::unique_ptr<Grid> grid_;
};

TEST_F(QtGridTest, DrawsShadedHeadingsGridLinesSelectionAndChineseText) {
  QTest::mouseClick(viewport_, Qt::LeftButton, Qt::NoModifier, Centre(2, 1));
  QTest::mouseClick(viewport_, Qt::LeftButton, Qt::ShiftModifier, Centre(3, 2));
  EXPECT_EQ(grid_->cursor(), (GridCell{2, 1}));
  QImage image = Grab();
  ASSERT_FALSE(image.isNull());

  const platform::Rect heading = grid_->layout().CellRect(0, 3);
  const platform::Rect plain = grid_->layout().CellRect(6, 3);
  const platform::Rect selected = grid_->layout().CellRect(3, 2);
  // Sample just inside each cell's left edge, where no text is drawn.
  QColor heading_colour = image.pixelColor(heading.left + 3, heading.top + 3);
  QColor plain_colour = image.pixelColor(plain.left + 2, plain.top + plain.height / 2);
  QColor selected_colour = image.pixelColor(selected.left + 2, selected.top + selected.height / 2);
  EXPECT_EQ(plain_colour, QColor(255, 255, 255));
  EXPECT_LT(heading_colour.lightness(), plain_colour.lightness());  // shaded
  EXPECT_NE(selected_colour, plain_colour);                         // the selection colour
  EXPECT_GT(selected_colour.blue(), selected_colour.red());
  // A grid line between two plain cells.
  QColor line = image.pixelColor(plain.right() - 1, plain.top + plain.height / 2);
  EXPECT_NE(line, plain_colour);
  // Text in the CJK heading "记事", in a CJK cell and in a row number.
  EXPECT_GT(DarkPixels(image, 0, 3), 5);
  EXPECT_GT(DarkPixels(image, 6, 1), 5);
  EXPECT_GT(DarkPixels(image, 6, 0), 2);
  EXPECT_EQ(grid_->CellText(0, 3), memo::Utf8ToGbk("记事"));
}

TEST_F(QtGridTest, TheEditorIsANativeEditBoxOverTheCell) {
  QTest::mouseClick(viewport_, Qt::LeftButton, Qt::NoModifier, Centre(4, 3));
  QTest::mouseClick(viewport_, Qt::LeftButton, Qt::NoModifier, Centre(4, 3));
  ASSERT_TRUE(grid_->editor_open());
  auto* edit = qobject_cast<QPlainTextEdit*>(QtCommonOf(grid_->editor())->widget());
  ASSERT_NE(edit, nullptr);
  EXPECT_TRUE(edit->isVisible());
  EXPECT_TRUE(viewport_->isAncestorOf(edit));
  EXPECT_EQ(edit->toPlainText(), QString::fromUtf8("记事4"));
  const platform::Rect cell = grid_->layout().CellRect(4, 3);
  EXPECT_EQ(edit->geometry().left(), cell.left);
  EXPECT_EQ(edit->geometry().top(), cell.top);

  QTest::keyClicks(edit, "ab");
  QTest::keyClick(edit, Qt::Key_Return, Qt::ControlModifier);
  EXPECT_TRUE(grid_->editor_open());
  QTest::keyClicks(edit, "c");
  QTest::keyClick(edit, Qt::Key_Return);
  EXPECT_FALSE(grid_->editor_open());
  EXPECT_FALSE(edit->isVisible());
  EXPECT_EQ(source_.CellText(3, 2), "ab\r\nc");

  // Esc cancels.
  QTest::mouseClick(viewport_, Qt::LeftButton, Qt::NoModifier, Centre(5, 3));
  QTest::mouseClick(viewport_, Qt::LeftButton, Qt::NoModifier, Centre(5, 3));
  ASSERT_TRUE(grid_->editor_open());
  QTest::keyClicks(edit, "zzz");
  QTest::keyClick(edit, Qt::Key_Escape);
  EXPECT_FALSE(grid_->editor_open());
  EXPECT_EQ(source_.CellText(4, 2), memo::Utf8ToGbk("记事5"));
}

}  // namespace
}  // namespace memo::ui
