// The Qt backend: message boxes (style words to buttons, icon, default, modality; results and the
// close control), the message loop, the password dialog, and the system services.
#include <gtest/gtest.h>

#include <QCursor>
#include <QDateTime>
#include <QDialog>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <string>
#include <vector>

#include "platform/codec.h"
#include "platform/message_box.h"
#include "platform/qt/qt_backend.h"
#include "runtime/dispatch.h"
#include "runtime/program.h"
#include "runtime/system_commands.h"
#include "tests/platform/qt/qt_support.h"

namespace memo::platform::qt {
namespace {

using testing::BoxButton;
using testing::WhenModal;

// What a shown box looked like.
struct SeenBox {
  QString title;
  QString text;
  std::vector<QString> captions;
  QString default_caption;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  bool stays_on_top = false;
  Qt::WindowModality modality = Qt::NonModal;
};

SeenBox Look(QWidget* modal) {
  SeenBox seen;
  auto* box = qobject_cast<QMessageBox*>(modal);
  if (!box) return seen;
  seen.title = box->windowTitle();
  seen.text = box->text();
  // Buttons in the order they were added (the order of the style word), not the layout order.
  for (QAbstractButton* button : box->findChildren<QPushButton*>()) {
    seen.captions.push_back(button->text());
  }
  if (box->defaultButton()) seen.default_caption = box->defaultButton()->text();
  seen.icon = box->icon();
  seen.stays_on_top = box->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
  seen.modality = box->windowModality();
  return seen;
}

// Presses the button with that caption; if there is none the box is answered anyway so that a
// failing test does not hang, and the failure is recorded.
void Press(QWidget* modal, const char* caption) {
  QAbstractButton* button = BoxButton(modal, caption);
  EXPECT_NE(button, nullptr) << caption;
  if (button) {
    button->click();
  } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
    box->buttons().front()->click();
  }
}

class QtBackendTest : public ::testing::Test {
 protected:
  void SetUp() override { InstallBackend(&backend_); }
  void TearDown() override { InstallBackend(nullptr); }
  QtBackend backend_;
};

TEST_F(QtBackendTest, ButtonsOfEveryStyleAndTheirResults) {
  struct Case {
    uint32_t style;
    std::vector<const char*> captions;
    const char* press;
    int result;
  } cases[] = {
      {kMbOk, {"确定"}, "确定", kIdOk},
      {kMbOkCancel, {"确定", "取消"}, "取消", kIdCancel},
      {kMbAbortRetryIgnore, {"中止", "重试", "忽略"}, "重试", kIdRetry},
      {kMbYesNoCancel, {"是", "否", "取消"}, "否", kIdNo},
      {kMbYesNo, {"是", "否"}, "是", kIdYes},
      {kMbRetryCancel, {"重试", "取消"}, "重试", kIdRetry},
  };
  for (const Case& c : cases) {
    SeenBox seen;
    WhenModal([&](QWidget* modal) {
      seen = Look(modal);
      Press(modal, c.press);
    });
    int result = backend_.ShowMessageBox(Utf8ToGbk("正文"), Utf8ToGbk("标题"), c.style);
    EXPECT_EQ(result, c.result) << c.style;
    EXPECT_EQ(seen.title, QString::fromUtf8("标题"));
    EXPECT_EQ(seen.text, QString::fromUtf8("正文"));
    ASSERT_EQ(seen.captions.size(), c.captions.size()) << c.style;
    for (size_t i = 0; i < c.captions.size(); ++i) {
      EXPECT_TRUE(seen.captions[i].startsWith(QString::fromUtf8(c.captions[i])))
          << c.style << " " << seen.captions[i].toStdString();
    }
  }
}

TEST_F(QtBackendTest, IconsDefaultButtonAndModality) {
  SeenBox seen;
  WhenModal([&](QWidget* modal) {
    seen = Look(modal);
    Press(modal, "取消");
  });
  backend_.ShowMessageBox("x", "t",
                          kMbYesNoCancel | kMbIconQuestion | kMbDefaultButton3 | kMbSystemModal);
  EXPECT_EQ(seen.icon, QMessageBox::Question);
  EXPECT_TRUE(seen.default_caption.startsWith(QString::fromUtf8("取消")));
  EXPECT_TRUE(seen.stays_on_top);
  EXPECT_EQ(seen.modality, Qt::ApplicationModal);

  const std::pair<uint32_t, QMessageBox::Icon> icons[] = {
      {kMbIconStop, QMessageBox::Critical},
      {kMbIconWarning, QMessageBox::Warning},
      {kMbIconInformation, QMessageBox::Information},
      {0, QMessageBox::NoIcon},
  };
  for (const auto& [bits, icon] : icons) {
    WhenModal([&](QWidget* modal) {
      seen = Look(modal);
      Press(modal, "确定");
    });
    backend_.ShowMessageBox("x", "t", kMbOkCancel | kMbDefaultButton2 | kMbTaskModal | bits);
    EXPECT_EQ(seen.icon, icon);
    EXPECT_TRUE(seen.default_caption.startsWith(QString::fromUtf8("取消")));
    EXPECT_FALSE(seen.stays_on_top);
  }
}

TEST_F(QtBackendTest, CloseControlAnswersCancelOrTheOnlyButton) {
  WhenModal([](QWidget* modal) { modal->close(); });
  EXPECT_EQ(backend_.ShowMessageBox("x", "t", kMbOkCancel), kIdCancel);
  WhenModal([](QWidget* modal) { modal->close(); });
  EXPECT_EQ(backend_.ShowMessageBox("x", "t", kMbOk), kIdOk);
  // Yes/No has no Cancel: closing is refused and the box stays until a button is pressed.
  bool stayed = false;
  WhenModal([&](QWidget* modal) {
    modal->close();
    stayed = modal->isVisible();
    Press(modal, "否");
  });
  EXPECT_EQ(backend_.ShowMessageBox("x", "t", kMbYesNo), kIdNo);
  EXPECT_TRUE(stayed);
}

TEST_F(QtBackendTest, ReportTextLinesAreShownWithoutCarriageReturns) {
  SeenBox seen;
  WhenModal([&](QWidget* modal) {
    seen = Look(modal);
    Press(modal, "确定");
  });
  backend_.ShowMessageBox(Utf8ToGbk("运行时出错!\r\n\r\n错误代码：5\r\n"), Utf8ToGbk("错误"), 16);
  EXPECT_EQ(seen.text, QString::fromUtf8("运行时出错!\n\n错误代码：5\n"));
}

TEST_F(QtBackendTest, ShowMessageBoxCommandThroughQt) {
  SeenBox seen;
  WhenModal([&](QWidget* modal) {
    seen = Look(modal);
    Press(modal, "确定");
  });
  ArgList three{IntValue(3), IntValue(1)};
  EXPECT_EQ(static_cast<int32_t>(CallCommand(memo::ShowMessageBox, three).low), 0);
  EXPECT_EQ(seen.text, QStringLiteral("3"));
  EXPECT_EQ(seen.title, QString::fromUtf8("信息："));
  WhenModal([](QWidget* modal) { Press(modal, "取消"); });
  ArgList args{BoolValue(true), IntValue(1)};
  EXPECT_EQ(static_cast<int32_t>(CallCommand(memo::ShowMessageBox, args).low), 1);
  WhenModal([](QWidget* modal) { modal->close(); });
  EXPECT_EQ(static_cast<int32_t>(CallCommand(memo::ShowMessageBox, args).low), 1);
}

// --- Loops ---------------------------------------------------------------------------------------

TEST_F(QtBackendTest, PostedTasksRunAfterTheCurrentRoutineInOrder) {
  std::vector<std::string> log;
  backend_.PostTask([&] {
    log.push_back("a begins");
    backend_.PostTask([&] {
      log.push_back("c");
      backend_.PostQuit(0);
    });
    log.push_back("a ends");
  });
  backend_.PostTask([&] { log.push_back("b"); });
  Backend::LoopResult result = backend_.RunLoop();
  EXPECT_EQ(result.exit, Backend::LoopExit::kQuit);
  EXPECT_EQ(log, (std::vector<std::string>{"a begins", "a ends", "b", "c"}));
  EXPECT_EQ(backend_.LoopDepth(), 0);
}

TEST_F(QtBackendTest, NestedLoopQuitCodeEndsEveryLoop) {
  Backend::LoopResult inner;
  int depth_inside = 0;
  backend_.PostTask([&] {
    backend_.PostTask([&] {
      depth_inside = backend_.LoopDepth();
      backend_.PostQuit(9);
    });
    inner = backend_.RunLoop();
  });
  Backend::LoopResult outer = backend_.RunLoop();
  EXPECT_EQ(depth_inside, 2);
  EXPECT_EQ(inner.exit, Backend::LoopExit::kQuit);
  EXPECT_EQ(inner.code, 9);
  EXPECT_EQ(outer.exit, Backend::LoopExit::kQuit);
  EXPECT_EQ(outer.code, 9);
  // The quit was taken: a new loop does not end at once.
  backend_.PostTask([&] { backend_.EndLoop(1); });
  EXPECT_EQ(backend_.RunLoop().exit, Backend::LoopExit::kEnded);
}

TEST_F(QtBackendTest, EndLoopEndsTheNamedLoopOnly) {
  std::vector<std::string> log;
  backend_.PostTask([&] {
    backend_.PostTask([&] { backend_.EndLoop(2); });
    Backend::LoopResult inner = backend_.RunLoop();
    log.push_back(inner.exit == Backend::LoopExit::kEnded ? "inner ended" : "inner other");
    backend_.PostTask([&] {
      log.push_back("outer still runs");
      backend_.PostQuit(4);
    });
  });
  Backend::LoopResult outer = backend_.RunLoop();
  EXPECT_EQ(log, (std::vector<std::string>{"inner ended", "outer still runs"}));
  EXPECT_EQ(outer.code, 4);
}

TEST_F(QtBackendTest, IdleWorkRunsWhenTheQueueIsEmpty) {
  int idle_calls = 0;
  bool task_ran = false;
  int idle_calls_before_task = -1;
  backend_.SetIdleHandler([&] {
    ++idle_calls;
    return false;
  });
  backend_.PostTask([&] {
    task_ran = true;
    idle_calls_before_task = idle_calls;
  });
  QTimer::singleShot(50, [&] { backend_.PostQuit(0); });
  backend_.RunLoop();
  backend_.SetIdleHandler(nullptr);
  EXPECT_TRUE(task_ran);
  EXPECT_EQ(idle_calls_before_task, 0);  // the queued task came first
  EXPECT_GE(idle_calls, 1);
}

TEST_F(QtBackendTest, IdleHandlerAskingForMoreIsCalledAgain) {
  int idle_calls = 0;
  backend_.SetIdleHandler([&] {
    if (++idle_calls == 5) backend_.PostQuit(0);
    return idle_calls < 5;
  });
  backend_.RunLoop();
  backend_.SetIdleHandler(nullptr);
  EXPECT_EQ(idle_calls, 5);
}

TEST_F(QtBackendTest, TimersTickFromTheLoop) {
  int ticks = 0;
  int id = 0;
  id = backend_.StartTimer(5, [&] {
    if (++ticks == 3) {
      backend_.StopTimer(id);
      backend_.PostQuit(0);
    }
  });
  backend_.RunLoop();
  EXPECT_EQ(ticks, 3);
}

// --- Password dialog and services
// ------------------------------------------------------------------

TEST_F(QtBackendTest, PasswordDialogReturnsTheTextOrNothing) {
  QString caption;
  WhenModal([&](QWidget* modal) {
    caption = modal->windowTitle();
    auto* edit = modal->findChild<QLineEdit*>(QStringLiteral("password"));
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->echoMode(), QLineEdit::Password);
    edit->setText(QString::fromUtf8("密码1"));
    static_cast<QDialog*>(modal)->accept();
  });
  std::optional<std::string> text = backend_.AskPassword(Utf8ToGbk("输入密码"), "");
  EXPECT_EQ(caption, QString::fromUtf8("输入密码"));
  EXPECT_EQ(text, std::optional<std::string>(Utf8ToGbk("密码1")));
  WhenModal([](QWidget* modal) { static_cast<QDialog*>(modal)->reject(); });
  EXPECT_EQ(backend_.AskPassword("c", "p"), std::nullopt);
}

TEST_F(QtBackendTest, ClockPathAndTicks) {
  QDateTime before = QDateTime::currentDateTime();
  LocalTime now = backend_.Now();
  QDateTime after = QDateTime::currentDateTime();
  QDateTime seen(QDate(now.year, now.month, now.day),
                 QTime(now.hour, now.minute, now.second, now.millisecond));
  EXPECT_GE(seen, before.addMSecs(-1));
  EXPECT_LE(seen, after.addMSecs(1));
  EXPECT_EQ(backend_.ExecutablePath(),
            Utf8ToGbk(QCoreApplication::applicationFilePath().toStdString()));
  uint32_t start = backend_.TickCount();
  backend_.Sleep(20);
  EXPECT_GE(backend_.TickCount() - start, 20u);
}

TEST_F(QtBackendTest, MouseXFollowsTheCursor) {
  QPoint position = QCursor::pos();
  TypedValue result = CallCommand(GetMouseX, 0, nullptr);
  EXPECT_EQ(static_cast<int32_t>(result.low), position.x());
  EXPECT_EQ(backend_.CursorPosition().x, position.x());
  EXPECT_EQ(backend_.CursorPosition().y, position.y());
}

TEST_F(QtBackendTest, ClipboardKeepsTextAndPrivateFormat) {
  ClipboardContent content;
  content.text_gbk = Utf8ToGbk("甲\r\n乙");
  content.formats.emplace_back("MGridCells", std::string("\x00\x01\xFF", 3));
  ASSERT_TRUE(backend_.SetClipboard(content));
  EXPECT_EQ(backend_.ClipboardText(), content.text_gbk);
  EXPECT_EQ(backend_.ClipboardData("MGridCells"),
            std::optional<std::string>(std::string("\x00\x01\xFF", 3)));
  EXPECT_EQ(backend_.ClipboardData("Other"), std::nullopt);
}

// --- The program's start under Qt
// ------------------------------------------------------------------

// With no window definitions the start-up window cannot load: the report is shown in a Qt box and,
// once it is answered, the process ends with -1.
TEST(QtProgramDeathTest, MissingStartupWindowEndsWithMinusOne) {
  EXPECT_EXIT(
      {
        QtBackend backend;
        InstallBackend(&backend);
        WhenModal([](QWidget* modal) {
          auto* box = qobject_cast<QMessageBox*>(modal);
          std::fprintf(stderr, "box [%s] [%s]\n", box->windowTitle().toUtf8().constData(),
                       box->text().toUtf8().constData());
          Press(modal, "确定");
        });
        RunProgram(0x52010009, nullptr);
      },
      ::testing::ExitedWithCode(255),
      "box \\[错误\\] \\[运行时出错!\n\n错误信息：载入启动窗口失败\n\\]");
}

}  // namespace
}  // namespace memo::platform::qt
