// The carried main window on Qt with a memo table of its own: the grid shows the table through
// its data source and provider, a click and a key move raise the grid's events, and an in-place
// edit made with real key presses reaches the file.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QTest>

#include "app/windows/carried_segment.h"
#include "app/windows/program_routines.h"
#include "db/engine_code.h"
#include "platform/codec.h"
#include "platform/file.h"
#include "platform/qt/qt_backend.h"
#include "platform/qt/qt_controls.h"
#include "platform/qt/qt_window.h"
#include "runtime/dispatch.h"
#include "runtime/program.h"
#include "tests/platform/qt/qt_support.h"
#include "tests/support/test_util.h"
#include "tests/support/window_test_support.h"
#include "tests/ui/window/qt/carried_windows_fixture.h"
#include "ui/data_units/data_units.h"
#include "ui/grid/grid.h"
#include "ui/window/property_numbers.h"
#include "ui/window/window_runtime.h"

namespace memo::testing {
namespace {

using platform::qt::QtCommonOf;
using ui::ProgramRoutine;
using ui::property::kProviderFileName;

constexpr uint32_t kMain = ui::kMainWindowId;
constexpr uint32_t kProvider = 0x16010004;
constexpr uint32_t kGrid = 0x16010002;

class MainWindowOnQtTest : public CarriedWindowsOnQtTest {
 protected:
  void SetUp() override {
    CarriedWindowsOnQtTest::SetUp();
    if (HasFatalFailure()) return;

    path_ = dir_.File("a.mcn");
    db::testing::MustCreate(path_, db::testing::MemoTableFields());
    auto handle = db::testing::MustOpen(path_);
    const char* categories[] = {"工作", "生活", "学习"};
    for (int r = 0; r < 3; ++r) {
      std::string category = G(categories[r]);
      std::string text = G("备忘") + std::to_string(r + 1);
      TypedValue values[] = {db::testing::TextCell(category),
                             db::testing::DateTimeCell(41830.0 + r), db::testing::TextCell(text)};
      ASSERT_EQ(handle->AddRecord(values, 3), db::kOk);
    }
  }
  ui::Grid* Grid() { return ui::GridOfUnit(ui::FindUnitObject(kMain, kGrid)); }
  QWidget* Canvas() { return QtCommonOf(Grid()->canvas())->ContainerWidget(); }
  QPoint CellCentre(int row, int column) {
    platform::Rect rect = Grid()->CellClientRect(row, column);
    return QPoint(rect.left + rect.width / 2, rect.top + rect.height / 2);
  }
  int GridEvents() const {
    int count = 0;
    for (const RoutineLog& entry : routine_log) {
      count += entry.routine == static_cast<int>(ProgramRoutine::kShowGridMenu) ? 1 : 0;
    }
    return count;
  }

  db::testing::TempDir dir_;
  std::string path_;
};

TEST_F(MainWindowOnQtTest, TheGridShowsTheTableAndAnEditReachesTheFile) {
  ASSERT_TRUE(ui::LoadWindow(kMain, nullptr, false));
  platform::qt::QtWindow* window = Window(kMain);
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window->widget()));
  ui::WriteProperty(kMain, kProvider, kProviderFileName, -1, TextValue(path_.c_str()));
  EXPECT_EQ(Grid()->DataRowCount(), 3);
  EXPECT_EQ(Grid()->CellText(2, 1), G("生活"));
  EXPECT_EQ(Grid()->CellText(3, 3), G("备忘3"));

  // A click on a cell and a key move each raise the grid's current-cell event.
  QTest::mouseClick(Canvas(), Qt::LeftButton, Qt::NoModifier, CellCentre(2, 3));
  EXPECT_EQ(GridEvents(), 1);
  EXPECT_EQ(Grid()->cursor().row, 2);
  EXPECT_EQ(Grid()->cursor().column, 3);
  QTest::keyClick(Canvas(), Qt::Key_Down);
  EXPECT_EQ(GridEvents(), 2);
  EXPECT_EQ(Grid()->cursor().row, 3);

  // Clicking the current cell again opens the editor over it; Enter writes the file.
  QTest::mouseClick(Canvas(), Qt::LeftButton, Qt::NoModifier, CellCentre(3, 3));
  ASSERT_TRUE(Grid()->editor_open());
  QWidget* editor = QtCommonOf(Grid()->editor())->widget();
  QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(editor, "changed");
  QTest::keyClick(editor, Qt::Key_Return);
  EXPECT_FALSE(Grid()->editor_open());
  ui::CloseWindow(kMain, 0, true);
  auto handle = db::testing::MustOpen(path_);
  handle->set_current_record(2);
  EXPECT_EQ(db::testing::FieldText(handle.get(), "记事"), "changed");
}

// A cell write that fails is said in a warning box on Qt too, and the cell keeps its value.
TEST_F(MainWindowOnQtTest, AnEditThatCannotBeWrittenIsSaidInAWarningBox) {
  ASSERT_TRUE(ui::LoadWindow(kMain, nullptr, false));
  platform::qt::QtWindow* window = Window(kMain);
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window->widget()));
  ui::WriteProperty(kMain, kProvider, kProviderFileName, -1, TextValue(path_.c_str()));
  QTest::mouseClick(Canvas(), Qt::LeftButton, Qt::NoModifier, CellCentre(2, 3));
  QTest::mouseClick(Canvas(), Qt::LeftButton, Qt::NoModifier, CellCentre(2, 3));
  ASSERT_TRUE(Grid()->editor_open());
  QWidget* editor = QtCommonOf(Grid()->editor())->widget();
  QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(editor, "changed");

  // Another program holds every record's lock (all but the header's count).
  platform::File busy;
  ASSERT_EQ(platform::File::Open(path_, platform::FileAccess::kRead, platform::FileShare::kDenyNone,
                                 platform::FileCreate::kOpenExisting, &busy),
            platform::FileError::kNone);
  ASSERT_EQ(busy.Lock(17, 0x7FFFFFFF - 17), platform::FileError::kNone);
  QString title, text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  platform::qt::testing::WhenModal([&](QWidget* modal) {
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
      title = box->windowTitle();
      text = box->text();
      icon = box->icon();
      box->buttons().front()->click();
    }
  });
  QTest::keyClick(editor, Qt::Key_Return);
  busy.Close();
  EXPECT_EQ(title, QString::fromUtf8("温馨提示"));
  EXPECT_TRUE(text.startsWith(QString::fromUtf8("保存失败：")));
  EXPECT_TRUE(text.endsWith(QString::fromUtf8("\n加锁失败")));
  EXPECT_EQ(icon, QMessageBox::Warning);
  EXPECT_EQ(Grid()->CellText(2, 3), G("备忘2"));
  ui::CloseWindow(kMain, 0, true);
  auto handle = db::testing::MustOpen(path_);
  handle->set_current_record(1);
  EXPECT_EQ(db::testing::FieldText(handle.get(), "记事"), G("备忘2"));
}

}  // namespace
// On Qt as on the headless backend: a mistyped date typed with real keys is refused with the
// message box and the file keeps the date; an edit the date column takes is first offered to the
// program (the grid's event 2, bound to the edit check), which may refuse it.
TEST_F(MainWindowOnQtTest, AMistypedDateIsRefusedAndAnEditIsOfferedToTheProgramFirst) {
  ASSERT_TRUE(ui::LoadWindow(kMain, nullptr, false));
  platform::qt::QtWindow* window = Window(kMain);
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window->widget()));
  ui::WriteProperty(kMain, kProvider, kProviderFileName, -1, TextValue(path_.c_str()));
  const int check = static_cast<int>(ProgramRoutine::kCheckGridEdit);
  bool refuse = true;
  behaviours[check] = [&refuse](ui::EventCall& call) {
    call.has_result = true;
    call.result = BoolValue(!refuse);
  };
  auto edit = [this](int row, int column, const char* text) {
    QTest::mouseClick(Canvas(), Qt::LeftButton, Qt::NoModifier, CellCentre(row, column));
    QTest::keyClick(Canvas(), Qt::Key_F2);
    ASSERT_TRUE(Grid()->editor_open());
    QWidget* editor = QtCommonOf(Grid()->editor())->widget();
    QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(editor, QString::fromUtf8(text));
    QTest::keyClick(editor, Qt::Key_Return);
    EXPECT_FALSE(Grid()->editor_open());
  };
  QString shown;
  platform::qt::testing::WhenModal([&shown](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    if (!box) return;
    shown = box->text();
    box->buttons().first()->click();
  });
  edit(2, 2, "abc");
  EXPECT_EQ(shown,
            QString::fromUtf8("日期格式不正确，例如 2014年7月10日9时5分 或 2014-07-10 09:05"));
  EXPECT_EQ(Grid()->CellText(2, 2), G("2014年7月11日"));
  for (const RoutineLog& entry : routine_log) EXPECT_NE(entry.routine, check);
  // A date: offered to the program with the cell's row and column; refused, then let through.
  edit(2, 2, "2014-08-01");
  ASSERT_FALSE(routine_log.empty());
  EXPECT_EQ(routine_log.back().routine, check);
  EXPECT_EQ(routine_log.back().event, 2);
  ASSERT_GE(routine_log.back().args.size(), 2u);
  EXPECT_EQ(routine_log.back().args[0], 2u);
  EXPECT_EQ(routine_log.back().args[1], 2u);
  EXPECT_EQ(Grid()->CellText(2, 2), G("2014年7月11日"));
  refuse = false;
  edit(2, 2, "2014-08-01");
  EXPECT_EQ(Grid()->CellText(2, 2), G("2014年8月1日"));  // read from the file
  ui::CloseWindow(kMain, 0, true);
}

// The keyboard reaches the menu bar: F10 drops the first entry's menu, Alt with a caption's
// pinyin letter drops that entry's; the bar shows its letters the platform's way, 帐号管理(&Z).
TEST_F(MainWindowOnQtTest, F10AndAltWithAPinyinLetterOpenTheMenuBar) {
  ASSERT_TRUE(ui::LoadWindow(kMain, nullptr, false));
  platform::qt::QtWindow* window = Window(kMain);
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window->widget()));
  auto* bar = window->widget()->findChild<QMenuBar*>();
  ASSERT_NE(bar, nullptr);
  ASSERT_EQ(bar->actions().size(), 2);
  EXPECT_EQ(bar->actions()[0]->text(), QString::fromUtf8("帐号管理(&Z)"));
  EXPECT_EQ(bar->actions()[1]->text(), QString::fromUtf8("关于软件(&G)"));

  // Keys as they reach the memo box, where the window's load put the focus.
  ui::Unit* memo_box = ui::FindUnitObject(kMain, 0x16010005);
  ASSERT_TRUE(memo_box && memo_box->control());
  QWidget* focused = QtCommonOf(memo_box->control())->widget();
  QTest::keyClick(focused, Qt::Key_F10);
  auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
  ASSERT_NE(menu, nullptr);
  ASSERT_FALSE(menu->actions().isEmpty());
  EXPECT_EQ(menu->actions()[0]->text(), QString::fromUtf8("修改密码"));
  menu->close();
  QApplication::processEvents();

  QTest::keyClick(focused, Qt::Key_G, Qt::AltModifier);
  menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
  ASSERT_NE(menu, nullptr);
  ASSERT_FALSE(menu->actions().isEmpty());
  EXPECT_EQ(menu->actions()[0]->text(), QString::fromUtf8("软件介绍"));
  menu->close();
  ui::CloseWindow(kMain, 0, true);
}

}  // namespace memo::testing
