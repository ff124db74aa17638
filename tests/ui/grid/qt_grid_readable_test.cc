// Reading long memos in the grid on Qt (offscreen platform), with the real mouse path: the sizing
// pointer over a heading border, a drag that sizes the column, a double click that fits it, the
// tip over a cut-off memo, and the in-place editor that wraps a long memo and shows it whole.
// Each state is saved as a picture under screenshots/ of the build folder, to be looked at.
#include <gtest/gtest.h>

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollBar>
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
#include "tests/support/test_util.h"
#include "ui/grid/grid.h"

#ifndef MEMO_SCREENSHOT_DIR
#define MEMO_SCREENSHOT_DIR "screenshots"
#endif

namespace memo::ui {
namespace {

using platform::qt::QtCommonOf;

// A memo of about 250 characters, as a person writes one.
std::string LongMemoUtf8() {
  std::string text;
  for (int i = 1; i <= 10; ++i) {
    text += "第" + std::to_string(i) + "次联系客户，对方表示报价单已收到，下周再议。";
  }
  return text;
}

bool Save(const QImage& image, const char* name) {
  return QDir().mkpath(MEMO_SCREENSHOT_DIR) &&
         image.save(QStringLiteral(MEMO_SCREENSHOT_DIR "/") + name + ".png", "PNG");
}

class QtGridReadableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = platform::InstallBackend(&backend_);
    const std::string path = dir_.File("a.mcn");
    db::testing::MustCreate(path, db::testing::MemoTableFields());
    {
      auto handle = db::testing::MustOpen(path);
      for (int r = 1; r <= 12; ++r) {
        const std::string text =
            Utf8ToGbk(r == 2 ? LongMemoUtf8() : "给王先生发报价单 v" + std::to_string(r));
        const std::string category = Utf8ToGbk("客户拜访");
        TypedValue values[] = {db::testing::TextCell(category),
                               db::testing::DateTimeCell(46000.5 + r), db::testing::TextCell(text)};
        ASSERT_EQ(handle->AddRecord(values, 3), 0);
      }
    }
    platform::WindowStyle style;
    style.rect = platform::Rect{40, 40, 680, 420};
    window_ = backend_.CreateWindow(style);
    window_->on_input = [this](platform::Control* target, const platform::InputEvent& event) {
      if (grid_ && target && target == grid_->editor()) return grid_->FilterEditorInput(event);
      return platform::InputDecision::Pass();
    };
    platform::ControlPlacement placement;
    placement.rect = platform::Rect{1, 2, 671, 374};  // the main window's 表格1
    placement.child_id = 100;
    platform::CanvasStyle canvas_style;
    canvas_style.horizontal_scroll_bar = true;
    canvas_style.vertical_scroll_bar = true;
    canvas_ = window_->CreateCanvas(placement, canvas_style);
    ASSERT_NE(canvas_, nullptr);
    grid_ = std::make_unique<Grid>(window_.get(), canvas_, GridBlock{});
    ASSERT_TRUE(provider_.Connect(path));
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

  QPoint Border(int column) {
    platform::Rect heading = grid_->layout().CellRect(0, column);
    return QPoint(heading.right() - 1, heading.height / 2);
  }
  // The centre of the part of the cell in view.
  QPoint Centre(int row, int column) {
    platform::Rect rect = grid_->layout().CellRect(row, column);
    const int right = std::min(rect.right(), grid_->layout().client_size().width);
    return QPoint((rect.left + right) / 2, rect.top + rect.height / 2);
  }
  int WidthOf(int column) { return grid_->layout().metrics().column_widths[column - 1]; }
  QImage Window() {
    grid_->RepaintNow();
    QApplication::processEvents();
    return viewport_->window()->grab().toImage();
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

TEST_F(QtGridReadableTest, DraggingABorderSizesAColumnAndADoubleClickFitsIt) {
  EXPECT_TRUE(Save(Window(), "grid_columns_initial"));
  const QPoint border = Border(2);
  QTest::mouseMove(viewport_, border);
  QApplication::processEvents();
  EXPECT_EQ(viewport_->cursor().shape(), Qt::SizeHorCursor);
  QTest::mouseMove(viewport_, Centre(3, 1));
  EXPECT_NE(viewport_->cursor().shape(), Qt::SizeHorCursor);

  const int before = WidthOf(2);
  QTest::mousePress(viewport_, Qt::LeftButton, Qt::NoModifier, border);
  QTest::mouseMove(viewport_, border - QPoint(80, 0));
  QTest::mouseRelease(viewport_, Qt::LeftButton, Qt::NoModifier, border - QPoint(80, 0));
  EXPECT_EQ(WidthOf(2), before - 80);
  EXPECT_TRUE(Save(Window(), "grid_columns_dragged"));

  // The time column fitted: its longest time text in view, so that the memo column is in view
  // with more of its text.
  QTest::mouseDClick(viewport_, Qt::LeftButton, Qt::NoModifier, Border(2));
  const int fitted = WidthOf(2);
  EXPECT_LT(fitted, before);
  const std::string time = grid_->CellText(1, 2);
  const int text = backend_.MeasureText(backend_.DefaultGuiFont(), time).width;
  EXPECT_GE(fitted, text);
  EXPECT_LE(fitted, text + 16);
  EXPECT_LT(grid_->layout().CellRect(1, 3).left, viewport_->width() / 2);
  EXPECT_TRUE(Save(Window(), "grid_columns_fitted"));
}

TEST_F(QtGridReadableTest, ATipShowsTheWholeMemoOverItsCutOffCell) {
  QTest::mouseMove(viewport_, Centre(2, 3));
  QApplication::processEvents();
  QLabel* tip = nullptr;
  for (QLabel* label : viewport_->findChildren<QLabel*>()) {
    if (label->isVisible() && label->windowFlags().testFlag(Qt::ToolTip)) tip = label;
  }
  ASSERT_NE(tip, nullptr);
  QString shown = tip->text();
  shown.remove(QChar('\n'));
  EXPECT_EQ(shown, QString::fromUtf8(LongMemoUtf8()));
  EXPECT_GT(tip->text().count(QChar('\n')), 2);  // wrapped into lines
  // Every line shows: the label is as tall and wide as its text needs, and fits on the screen.
  EXPECT_GE(tip->height(), tip->sizeHint().height());
  EXPECT_GE(tip->width(), tip->sizeHint().width());
  EXPECT_LE(tip->width(), viewport_->width());
  EXPECT_TRUE(Save(tip->grab().toImage(), "grid_tip"));
  // A cell whose text fits has none.
  QTest::mouseMove(viewport_, Centre(3, 1));
  QApplication::processEvents();
  EXPECT_FALSE(tip->isVisible());
}

TEST_F(QtGridReadableTest, TheEditorWrapsALongMemoAndShowsItWhole) {
  QTest::mouseClick(viewport_, Qt::LeftButton, Qt::NoModifier, Centre(2, 3));
  QTest::mouseClick(viewport_, Qt::LeftButton, Qt::NoModifier, Centre(2, 3));
  ASSERT_TRUE(grid_->editor_open());
  auto* editor = qobject_cast<QPlainTextEdit*>(QtCommonOf(grid_->editor())->widget());
  ASSERT_NE(editor, nullptr);
  QApplication::processEvents();
  EXPECT_EQ(editor->lineWrapMode(), QPlainTextEdit::WidgetWidth);
  EXPECT_GT(editor->height(), 3 * grid_->layout().metrics().row_height);
  // The whole text lies in the editor's view: nothing to scroll.
  EXPECT_EQ(editor->verticalScrollBar()->maximum(), 0);
  EXPECT_LE(editor->geometry().bottom(), viewport_->height());
  EXPECT_LE(editor->geometry().right(), viewport_->width());
  EXPECT_TRUE(Save(Window(), "grid_editor_wrapped"));
  QTest::keyClick(editor, Qt::Key_Escape);
  EXPECT_FALSE(grid_->editor_open());
}

}  // namespace
}  // namespace memo::ui
