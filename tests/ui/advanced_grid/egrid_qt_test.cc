// The advanced grid drawn by the Qt backend: the pixels of grid lines, background, selection and
// headings, CJK texts inside their cells, and a click's events.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QImage>
#include <QLabel>
#include <QMouseEvent>
#include <QTest>
#include <QWidget>

#include <cstdlib>
#include <memory>
#include <vector>

#include "platform/codec.h"
#include "platform/qt/qt_backend.h"
#include "platform/qt/qt_controls.h"
#include "platform/qt/qt_window.h"
#include "ui/advanced_grid/egrid.h"
#include "ui/advanced_grid/egrid_paint.h"

namespace memo::ui {
namespace {

QColor Bgr(platform::Color c) {
  return QColor(platform::RedOf(c), platform::GreenOf(c), platform::BlueOf(c));
}

class EGridQtTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::InstallBackend(&backend_);
    platform::WindowStyle style;
    style.rect = platform::Rect{40, 40, 560, 360};
    window_ = backend_.CreateWindow(style);
    window_->Show(platform::ShowMode::kNormal);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(
        static_cast<platform::qt::QtWindow*>(window_.get())->widget()));
    platform::ControlPlacement placement;
    placement.rect = platform::Rect{10, 10, 500, 300};
    placement.child_id = 100;
    platform::CanvasStyle canvas_style;
    canvas_style.border = 1;
    canvas_ = window_->CreateCanvas(placement, canvas_style);
    ASSERT_NE(canvas_, nullptr);
    EGridSettings settings;
    settings.rows = 4;
    settings.columns = 3;
    settings.fixed_rows = 1;
    settings.fixed_columns = 0;
    settings.column_width = 120;
    grid_ = std::make_unique<EGrid>(canvas_, settings);
    grid_->SetEventSink(
        [this](int32_t event, std::initializer_list<int32_t>) { events_.push_back(event); });
    EGridModel& m = grid_->model();
    m.SetCellText(0, 0, Utf8ToGbk("时间"));
    m.SetCellText(0, 1, Utf8ToGbk("跟进内容"));
    m.SetCellText(2, 1, Utf8ToGbk("电话联系客户，约定下周见面"));
  }
  void TearDown() override {
    grid_.reset();
    window_.reset();
    platform::InstallBackend(nullptr);
  }

  QWidget* Viewport() { return platform::qt::QtCommonOf(canvas_)->ContainerWidget(); }
  QImage Grab() {
    QImage image = Viewport()->grab().toImage();
    if (const char* path = std::getenv("MEMO_EGRID_SNAPSHOT")) image.save(path);
    return image;
  }
  // Pixels in a rectangle that differ from `colour`.
  int Differing(const QImage& image, QRect area, QColor colour) {
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
      for (int x = area.left(); x <= area.right(); ++x) {
        if (image.pixelColor(x, y) != colour) ++count;
      }
    }
    return count;
  }

  platform::qt::QtBackend backend_;
  std::unique_ptr<platform::Window> window_;
  platform::CanvasControl* canvas_ = nullptr;
  std::unique_ptr<EGrid> grid_;
  std::vector<int32_t> events_;
};

TEST_F(EGridQtTest, DrawsATableInTheGridsColours) {
  QImage image = Grab();
  const EGridModel& m = grid_->model();
  EXPECT_EQ(image.pixelColor(119, 40), Bgr(m.grid_line_color()));  // a column's line
  EXPECT_EQ(image.pixelColor(200, 47), Bgr(m.grid_line_color()));  // a row's line
  EXPECT_EQ(image.pixelColor(112, 28), Bgr(m.selection_color()));  // the focus cell (1, 0)
  EXPECT_EQ(image.pixelColor(300, 80), Bgr(m.background_color()));
  EXPECT_EQ(image.pixelColor(6, 12), Bgr(kEGridHeadingFace));
  EXPECT_EQ(image.pixelColor(420, 150), Bgr(m.background_color()));  // beyond the last column

  // The CJK text marks its cell and stays inside it: the next cell is untouched.
  EXPECT_GT(Differing(image, QRect(121, 49, 117, 21), Bgr(m.background_color())), 20);
  EXPECT_EQ(Differing(image, QRect(241, 49, 117, 21), Bgr(m.background_color())), 0);
  EXPECT_EQ(Differing(image, QRect(1, 73, 117, 21), Bgr(m.background_color())), 0);
}

TEST_F(EGridQtTest, AClickMovesTheSelectionAndRaisesTheReleaseEvents) {
  QTest::mouseClick(Viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(180, 84));
  EXPECT_EQ(grid_->model().focus(), (CellPos{3, 1}));
  EXPECT_EQ(events_, (std::vector<int32_t>{0, 5}));
  QImage image = Grab();
  EXPECT_EQ(image.pixelColor(232, 76), Bgr(grid_->model().selection_color()));
  EXPECT_EQ(image.pixelColor(112, 28), Bgr(grid_->model().background_color()));
  events_.clear();
  QTest::mouseClick(Viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(60, 12));
  EXPECT_EQ(events_, (std::vector<int32_t>{5, 8}));
}

// The tip over a cut-off text lies over the cell, so it must let clicks through to the grid; it
// goes when the pointer leaves the canvas.
TEST_F(EGridQtTest, TitleTipLetsClicksThroughAndGoesWithThePointer) {
  QMouseEvent move(QEvent::MouseMove, QPointF(180, 60), Viewport()->mapToGlobal(QPointF(180, 60)),
                   Qt::NoButton, Qt::NoButton, Qt::NoModifier);
  QCoreApplication::sendEvent(Viewport(), &move);
  QLabel* tip = Viewport()->findChild<QLabel*>();
  ASSERT_NE(tip, nullptr);
  EXPECT_TRUE(tip->isVisible());
  EXPECT_EQ(tip->text(), QString::fromUtf8(" 电话联系客户，约定下周见面 "));
  EXPECT_TRUE(tip->windowFlags().testFlag(Qt::WindowTransparentForInput));
  EXPECT_GE(tip->width(), 120);
  QEvent leave(QEvent::Leave);
  QCoreApplication::sendEvent(Viewport(), &leave);
  EXPECT_FALSE(tip->isVisible());
}

}  // namespace
}  // namespace memo::ui
