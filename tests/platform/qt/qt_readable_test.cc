// What a person sees on Qt (offscreen platform), each picture saved under screenshots/ of the
// build folder to be looked at: a message box wide enough for its whole title and text, and the
// focus ring on a button and a drop-down list that the runtime gave the focus to.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include <memory>
#include <string>

#include "platform/codec.h"
#include "platform/message_box.h"
#include "platform/qt/qt_backend.h"
#include "platform/qt/qt_controls.h"
#include "tests/platform/qt/qt_support.h"

#ifndef MEMO_SCREENSHOT_DIR
#define MEMO_SCREENSHOT_DIR "screenshots"
#endif

namespace memo::platform::qt {
namespace {

using testing::BoxButton;
using testing::WhenModal;

bool Save(const QImage& image, const char* name) {
  return QDir().mkpath(MEMO_SCREENSHOT_DIR) &&
         image.save(QStringLiteral(MEMO_SCREENSHOT_DIR "/") + name + ".png", "PNG");
}

class QtReadableTest : public ::testing::Test {
 protected:
  void SetUp() override { InstallBackend(&backend_); }
  void TearDown() override { InstallBackend(nullptr); }
  QtBackend backend_;
};

TEST_F(QtReadableTest, AMessageBoxIsWideEnoughForItsTitleBesideTheFramesButtons) {
  struct Case {
    const char* text;
    const char* title;
    const char* picture;
  } cases[] = {
      {"修改完成", "温馨提示", "message_box_short"},
      {"ID信息不存在是否初始化？", "温馨提示", "message_box_question"},
      {"运行时出错!\r\n错误代码：5", "错误", "message_box_error"},
  };
  for (const Case& c : cases) {
    int title_width = 0;
    int box_width = 0;
    int text_width = 0;
    bool saved = false;
    WhenModal([&](QWidget* modal) {
      auto* box = qobject_cast<QMessageBox*>(modal);
      if (box) {
        QFontMetrics title(QApplication::font("QWorkspaceTitleBar"));
        title_width = title.horizontalAdvance(box->windowTitle());
        box_width = box->width();
        for (QLabel* label : box->findChildren<QLabel*>()) {
          if (label->text() == box->text()) text_width = label->sizeHint().width();
        }
        saved = Save(box->grab().toImage(), c.picture);
      }
      QAbstractButton* ok = BoxButton(modal, "确定");
      if (ok) ok->click();
    });
    backend_.ShowMessageBox(Utf8ToGbk(c.text), Utf8ToGbk(c.title),
                            c.text[0] == 'I' ? kMbOkCancel : kMbOk);
    ASSERT_GT(title_width, 0) << c.text;
    // The title, the window icon and three frame buttons of 24 pixels or more fit.
    EXPECT_GE(box_width, title_width + 4 * 24) << c.text;
    EXPECT_GE(box_width, text_width) << c.text;
    EXPECT_LT(box_width, 600) << c.text;  // and no wider than a short message needs
    EXPECT_TRUE(saved) << c.picture;
  }
}

TEST_F(QtReadableTest, AButtonAndADropDownListShowAFocusRingWhenTheyHaveTheFocus) {
  WindowStyle style;
  style.rect = Rect{60, 60, 260, 120};
  std::unique_ptr<Window> window = backend_.CreateWindow(style);
  ControlPlacement placement;
  placement.tab_stop = true;
  placement.rect = Rect{10, 10, 80, 26};
  placement.child_id = 100;
  ButtonStyle button_style;
  button_style.caption_gbk = Utf8ToGbk("登陆");
  ButtonControl* button = window->CreateButton(placement, button_style);
  placement.rect = Rect{110, 10, 120, 26};
  placement.child_id = 110;
  ComboStyle combo_style;
  combo_style.kind = ComboKind::kDropDownList;
  ComboControl* combo = window->CreateCombo(placement, combo_style);
  ASSERT_TRUE(button && combo);
  combo->InsertItem(0, Utf8ToGbk("资金借出"));
  combo->ShowCurrent(0);
  placement.rect = Rect{10, 60, 220, 24};
  placement.child_id = 120;
  EditControl* edit = window->CreateEdit(placement, EditStyle{});
  ASSERT_TRUE(edit);
  window->Show(ShowMode::kNormal);
  QWidget* top = QtCommonOf(button)->widget()->window();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(top));

  auto grab = [](Control* control) {
    QWidget* widget = QtCommonOf(control)->widget();
    QApplication::processEvents();
    return widget->grab().toImage();
  };
  edit->SetFocus();
  const QImage button_plain = grab(button);
  const QImage combo_plain = grab(combo);
  button->SetFocus();
  ASSERT_TRUE(button->HasFocus());
  const QImage button_ringed = grab(button);
  EXPECT_TRUE(Save(top->grab().toImage(), "focus_ring_button"));
  combo->SetFocus();
  ASSERT_TRUE(combo->HasFocus());
  const QImage combo_ringed = grab(combo);
  EXPECT_TRUE(Save(top->grab().toImage(), "focus_ring_combo"));
  EXPECT_TRUE(top->testAttribute(Qt::WA_KeyboardFocusChange));
  // The ring changes the control's picture; without the focus it is gone again.
  EXPECT_NE(button_plain, button_ringed);
  EXPECT_NE(combo_plain, combo_ringed);
  EXPECT_EQ(grab(button), button_plain);
}

}  // namespace
}  // namespace memo::platform::qt
