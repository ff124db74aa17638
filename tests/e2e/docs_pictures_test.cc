// The README's pictures, taken from the program as a person uses it: four memos recorded in the
// main window, the time column fitted by a double click on its heading border so that the memo
// texts can be read, and a memo's follow-up log with three entries. The pictures land in
// screenshots/ of the build folder as main-window.png and follow-up.png (docs/ keeps copies).
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>
#include <QWidget>

#include <string>

#include "app/entry.h"
#include "app/windows/program_routines.h"
#include "platform/backend.h"
#include "platform/codec.h"
#include "platform/qt/qt_backend.h"
#include "runtime/program.h"
#include "tests/e2e/program_person.h"
#include "tests/e2e/step_driver.h"
#include "tests/support/test_util.h"
#include "ui/advanced_grid/egrid.h"
#include "ui/grid/grid.h"
#include "ui/window/window_runtime.h"

#ifndef MEMO_SCREENSHOT_DIR
#define MEMO_SCREENSHOT_DIR "screenshots"
#endif

namespace memo::e2e {
namespace {

using db::testing::ScopedChdir;
using db::testing::TempDir;

constexpr uint32_t kMain = ui::kMainWindowId;
constexpr uint32_t kFollowUp = ui::kFollowUpWindowId;

struct Memo {
  const char* category;
  const char* text;
};
constexpr Memo kMemos[] = {
    {"客户拜访", "明天上午给张经理回电话，确认交货日期"},
    {"报价单", "给王先生发报价单 v2，含运费"},
    {"资金借出", "借给李四 5000 元，月底前还清"},
    {"客户拜访", "周五下午拜访华东区代理商，带样品"},
};
constexpr const char* kEntries[] = {"已电话确认，下周签约", "合同已寄出 EMS，单号 1234",
                                    "对方已签收，等待回款"};

class RunDirectoryBackend : public platform::qt::QtBackend {
 public:
  explicit RunDirectoryBackend(const std::string& dir) : executable_(dir + "/memo") {}
  std::string ExecutablePath() override { return executable_; }

 private:
  std::string executable_;
};

class DocsPicturesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetProgramForTesting();
    ui::ResetWindowRuntimeForTesting();
    backend_ = std::make_unique<RunDirectoryBackend>(dir_.path());
    platform::InstallBackend(backend_.get());
  }
  void TearDown() override {
    ui::ResetWindowRuntimeForTesting();
    QApplication::processEvents();
    platform::InstallBackend(nullptr);
    ResetProgramForTesting();
    backend_.reset();
  }

  TempDir dir_;
  std::unique_ptr<RunDirectoryBackend> backend_;
  StepDriver person_;
};

TEST_F(DocsPicturesTest, TheMainWindowWithReadableMemosAndAFollowUpLog) {
  person_.Then(
      "the initialisation question", [] { return BoxSaying("ID信息不存在是否初始化？"); },
      [] { EXPECT_TRUE(PressBoxButton(BoxSaying("ID信息不存在是否初始化？"), "确定")); });
  person_.Then(
      "the login window", [] { return WindowReady(ui::kLoginWindowId); },
      [] { Click(WidgetNamed(ui::kLoginWindowId, "按钮登陆")); });
  for (size_t i = 0; i < std::size(kMemos); ++i) {
    person_.Then(
        "memo " + std::to_string(i + 1),
        [i] {
          return WindowReady(kMain) &&
                 GridNamed(kMain, "表格1")->DataRowCount() == static_cast<int>(i);
        },
        [i] {
          auto* category = qobject_cast<QComboBox*>(WidgetNamed(kMain, "组合框1"));
          Click(category);
          QTest::keyClick(category->lineEdit(), Qt::Key_A, Qt::ControlModifier);
          Type(category, kMemos[i].category);
          QWidget* memo = WidgetNamed(kMain, "编辑框1");
          Click(memo);
          Type(memo, kMemos[i].text);
          PressEnter(memo);
        });
  }
  person_.Then(
      "four memos",
      [] { return WindowReady(kMain) && GridNamed(kMain, "表格1")->DataRowCount() == 4; },
      [] {
        ui::Grid* grid = GridNamed(kMain, "表格1");
        EXPECT_EQ(grid->cursor().row, 4);  // the memo just recorded
        // The time column fitted to its texts by a double click on its heading's right border.
        platform::Rect heading = grid->layout().CellRect(0, 2);
        QTest::mouseDClick(GridViewportNamed(kMain, "表格1"), Qt::LeftButton, Qt::NoModifier,
                           QPoint(heading.right() - 1, heading.height / 2));
        EXPECT_LT(grid->layout().metrics().column_widths[1], heading.width);
        // Every memo text shows whole.
        for (int row = 1; row <= 4; ++row) {
          platform::Rect cell = grid->layout().CellRect(row, 3);
          const int text = platform::CurrentBackend()
                               ->MeasureText(platform::CurrentBackend()->DefaultGuiFont(),
                                             grid->CellText(row, 3))
                               .width;
          EXPECT_LE(cell.left + text + 6, grid->layout().client_size().width) << row;
        }
        // Back on the second memo's text for its follow-up log.
        platform::Rect cell = grid->CellClientRect(2, 3);
        ClickAt(GridViewportNamed(kMain, "表格1"), QPoint(cell.Centre().x, cell.Centre().y));
      });
  person_.Then(
      "the grid's pop-up menu", [] { return MenuOffering("跟进"); },
      [] {
        EXPECT_TRUE(SaveScreenshot(WindowWidgetOf(kMain), MEMO_SCREENSHOT_DIR, "main-window"));
        EXPECT_TRUE(ClickMenuItem(MenuOffering("跟进"), "跟进"));
      });
  for (size_t i = 0; i < std::size(kEntries); ++i) {
    person_.Then(
        "entry " + std::to_string(i + 1),
        [i] {
          return WindowReady(kFollowUp) &&
                 EGridNamed(kFollowUp, "高级表格1")->model().rows() == static_cast<int>(i) + 1;
        },
        [i] {
          QWidget* entry = WidgetNamed(kFollowUp, "编辑框1");
          Type(entry, kEntries[i]);
          PressEnter(entry);
        });
  }
  person_.Then(
      "three entries", [] { return EGridNamed(kFollowUp, "高级表格1")->model().rows() == 4; },
      [] {
        ui::EGrid* log = EGridNamed(kFollowUp, "高级表格1");
        std::optional<platform::Rect> cell = log->CellClientRect(2, 1);
        ASSERT_TRUE(cell.has_value());
        ClickAt(GridViewportNamed(kFollowUp, "高级表格1"),
                QPoint(cell->left + cell->width / 2, cell->top + cell->height / 2));
      });
  person_.Then(
      "an entry shown in full",
      [] { return ShownText(WidgetNamed(kFollowUp, "编辑框2")) == kEntries[1]; },
      [] {
        EXPECT_TRUE(SaveScreenshot(WindowWidgetOf(kFollowUp), MEMO_SCREENSHOT_DIR, "follow-up"));
        WindowWidgetOf(kFollowUp)->close();
      });
  person_.Then(
      "the main window, last", [] { return WindowGone(kFollowUp) && WindowReady(kMain); },
      [] { WindowWidgetOf(kMain)->close(); });

  int code = -1;
  {
    ScopedChdir keep_directory(dir_.path());
    person_.Start();
    code = app::RunMemo();
  }
  EXPECT_EQ(code, 0);
  EXPECT_TRUE(person_.finished()) << "ended before: " << person_.waiting_for();
}

}  // namespace
}  // namespace memo::e2e
