// The carried windows loaded by the window runtime on the Qt backend: real widgets at the
// stored geometry, inside their windows' client areas, with the stored texts; typing and keys
// reaching the bound routines through the runtime; Esc closing; a modal window disabling the
// others until it is gone.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "app/windows/carried_segment.h"
#include "app/windows/program_routines.h"
#include "platform/codec.h"
#include "platform/qt/qt_backend.h"
#include "platform/qt/qt_controls.h"
#include "platform/qt/qt_window.h"
#include "runtime/program.h"
#include "tests/support/window_test_support.h"
#include "tests/ui/window/qt/carried_windows_fixture.h"
#include "ui/window/window_runtime.h"

namespace memo::testing {
namespace {

using platform::qt::QtCommonOf;
using platform::qt::QtWindow;
using ui::ProgramRoutine;

constexpr uint32_t kLogin = ui::kLoginWindowId;
constexpr uint32_t kAccountBox = 0x1601000A;
constexpr uint32_t kPasswordBox = 0x1601000B;
constexpr uint32_t kLoginButton = 0x1601000C;
constexpr uint32_t kWelcome = 0x1601014C;
constexpr uint32_t kPassword = ui::kPasswordWindowId;

class CarriedWindowsTest : public CarriedWindowsOnQtTest {
 protected:
  QWidget* WidgetOf(uint32_t window, uint32_t unit) {
    ui::Unit* live = ui::FindUnitObject(window, unit);
    return live && live->control() ? QtCommonOf(live->control())->widget() : nullptr;
  }
  bool Logged(ProgramRoutine routine, int32_t event, uint32_t first_arg) const {
    for (const RoutineLog& entry : routine_log) {
      if (entry.routine == static_cast<int>(routine) && entry.event == event &&
          !entry.args.empty() && entry.args[0] == first_arg) {
        return true;
      }
    }
    return false;
  }
};

TEST_F(CarriedWindowsTest, TheLoginWindowsControlsSitAtTheirStoredPlacesInsideTheClientArea) {
  ASSERT_TRUE(ui::LoadWindow(kLogin, nullptr, false));
  QtWindow* window = Window(kLogin);
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window->widget()));
  EXPECT_EQ(window->widget()->windowTitle(), QString::fromUtf8("登陆到备忘录"));
  QRect client = window->client()->rect();
  const ui::WindowRecord& record = ui::FindLiveWindow(kLogin)->record();
  for (size_t i = 1; i < record.units.size(); ++i) {
    const ui::UnitRecord& unit = record.units[i];
    QWidget* widget = WidgetOf(kLogin, unit.id);
    ASSERT_NE(widget, nullptr) << i;
    QRect placed(widget->mapTo(window->client(), QPoint(0, 0)), widget->size());
    EXPECT_EQ(placed.topLeft(), QPoint(unit.left, unit.top)) << GbkToUtf8(unit.name);
    EXPECT_EQ(placed.width(), unit.width) << GbkToUtf8(unit.name);
    EXPECT_GE(placed.height(), unit.height) << GbkToUtf8(unit.name);
    EXPECT_TRUE(client.contains(placed)) << GbkToUtf8(unit.name);
    EXPECT_TRUE(widget->isVisible()) << GbkToUtf8(unit.name);
  }
  auto* button = qobject_cast<QPushButton*>(WidgetOf(kLogin, kLoginButton));
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(button->text(), QString::fromUtf8("登陆"));
  auto* password = qobject_cast<QLineEdit*>(WidgetOf(kLogin, kPasswordBox));
  ASSERT_NE(password, nullptr);
  EXPECT_EQ(password->echoMode(), QLineEdit::Password);
  EXPECT_NE(WidgetOf(kLogin, kWelcome), nullptr);
}

TEST_F(CarriedWindowsTest, TypingAndEnterReachTheBoundRoutines) {
  ASSERT_TRUE(ui::LoadWindow(kLogin, nullptr, false));
  ASSERT_TRUE(QTest::qWaitForWindowExposed(Window(kLogin)->widget()));
  auto* account = qobject_cast<QLineEdit*>(WidgetOf(kLogin, kAccountBox));
  ASSERT_NE(account, nullptr);
  account->setFocus();
  QTest::keyClicks(account, "test");
  EXPECT_EQ(account->text(), QString("test"));
  QTest::keyClick(account, Qt::Key_Return);
  EXPECT_TRUE(Logged(ProgramRoutine::kLoginAccountKey, -9, 13));
  auto* button = qobject_cast<QPushButton*>(WidgetOf(kLogin, kLoginButton));
  QTest::mouseClick(button, Qt::LeftButton);
  bool clicked = false;
  for (const RoutineLog& entry : routine_log) {
    clicked |= entry.routine == static_cast<int>(ProgramRoutine::kLogin) && entry.event == 0;
  }
  EXPECT_TRUE(clicked);
}

// The account and password boxes hold no more than the accounts file stores, typed on Qt too.
TEST_F(CarriedWindowsTest, AccountAndPasswordBoxesTakeNoMoreThanIsStored) {
  ASSERT_TRUE(ui::LoadWindow(kLogin, nullptr, false));
  ASSERT_TRUE(ui::LoadWindow(kPassword, nullptr, false));
  ASSERT_TRUE(QTest::qWaitForWindowExposed(Window(kPassword)->widget()));
  const std::string forty_one(41, '7');
  const struct {
    uint32_t window, unit;
    const char* typed;
    int kept;
  } boxes[] = {{kLogin, kAccountBox, "abcdefghijklmnopqrstu", 20},
               {kLogin, kPasswordBox, forty_one.c_str(), 40},
               {kPassword, 0x160100F3, "abcdefghijklmnopqrstu", 20},  // 编辑框2, new account
               {kPassword, 0x160100F2, forty_one.c_str(), 40},
               {kPassword, 0x160100F4, forty_one.c_str(), 40},
               {kPassword, 0x160100F5, forty_one.c_str(), 40}};
  for (const auto& box : boxes) {
    SCOPED_TRACE(box.unit);
    auto* edit = qobject_cast<QLineEdit*>(WidgetOf(box.window, box.unit));
    ASSERT_NE(edit, nullptr);
    Window(box.window)->widget()->activateWindow();
    edit->setFocus();
    QTest::keyClicks(edit, box.typed);
    EXPECT_EQ(edit->text(), QString::fromLatin1(box.typed).left(box.kept));
  }
  // Double-byte characters are never split: ten of them fill the account box, an eleventh is
  // refused.
  auto* account = qobject_cast<QLineEdit*>(WidgetOf(kPassword, 0x160100F3));
  account->clear();
  account->setFocus();
  for (QChar c : QString::fromUtf8("一二三四五六七八九十一")) {
    QTest::sendKeyEvent(QTest::Click, account, Qt::Key_unknown, QString(c), Qt::NoModifier);
  }
  EXPECT_EQ(account->text(), QString::fromUtf8("一二三四五六七八九十"));
}

TEST_F(CarriedWindowsTest, EscClosesTheWindow) {
  ASSERT_TRUE(ui::LoadWindow(kLogin, nullptr, false));
  ASSERT_TRUE(QTest::qWaitForWindowExposed(Window(kLogin)->widget()));
  QWidget* account = WidgetOf(kLogin, kAccountBox);
  account->setFocus();
  QTest::keyClick(account, Qt::Key_Escape);
  EXPECT_EQ(ui::FindLiveWindow(kLogin), nullptr);
}

TEST_F(CarriedWindowsTest, AModalWindowDisablesTheOthersUntilItIsGone) {
  ASSERT_TRUE(ui::LoadWindow(kLogin, nullptr, false));
  ASSERT_TRUE(QTest::qWaitForWindowExposed(Window(kLogin)->widget()));
  bool login_enabled_meanwhile = true;
  bool dialog_seen = false;
  QTimer::singleShot(50, [&] {
    dialog_seen = ui::FindLiveWindow(kPassword) != nullptr;
    login_enabled_meanwhile = Window(kLogin)->widget()->isEnabled();
    ui::CloseWindow(kPassword, 0, false);
  });
  EXPECT_TRUE(ui::LoadWindow(kPassword, nullptr, true));
  EXPECT_TRUE(dialog_seen);
  EXPECT_FALSE(login_enabled_meanwhile);
  EXPECT_EQ(ui::FindLiveWindow(kPassword), nullptr);
  EXPECT_TRUE(Window(kLogin)->widget()->isEnabled());
}

}  // namespace
}  // namespace memo::testing
