// Qt windows show every control whole: the definitions' outer sizes were measured on a system
// with a smaller frame and menu bar, so the client area grows where the controls need it.
#include <gtest/gtest.h>

#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>

#include <memory>
#include <vector>

#include "platform/codec.h"
#include "platform/qt/qt_backend.h"
#include "platform/qt/qt_controls.h"
#include "platform/qt/qt_window.h"

namespace memo::platform::qt {
namespace {

class QtLayoutTest : public ::testing::Test {
 protected:
  QtWindow* Make(Rect rect, WindowBorder border = WindowBorder::kFixed, bool menu = false) {
    WindowStyle style;
    style.rect = rect;
    style.border = border;
    window_ = backend_.CreateWindow(style);
    if (menu) {
      std::vector<MenuEntry> bar(2);
      bar[0].caption_gbk = "File";
      bar[0].command_id = 20001;
      bar[1].caption_gbk = "Help";
      bar[1].command_id = 20002;
      window_->SetMenuBar(bar);
    }
    return static_cast<QtWindow*>(window_.get());
  }
  ButtonControl* Button(Rect rect, bool visible = true) {
    ControlPlacement placement;
    placement.rect = rect;
    placement.visible = visible;
    return window_->CreateButton(placement, ButtonStyle{});
  }
  // Every visible control lies whole inside the client area, which lies inside the window.
  void ExpectAllVisible(QtWindow* window) {
    QRect client = window->client()->rect();
    for (QPushButton* button : window->client()->findChildren<QPushButton*>()) {
      if (button->isHidden()) continue;
      EXPECT_TRUE(client.contains(button->geometry())) << button->geometry().bottom();
    }
    QRect inside(window->client()->mapTo(window->widget(), QPoint(0, 0)), client.size());
    EXPECT_TRUE(window->widget()->rect().contains(inside));
  }

  QtBackend backend_;
  std::unique_ptr<Window> window_;
};

// The main window: 678 x 469 outside, a menu bar, and a row of buttons at the bottom of what
// the other system's client area was (469 - 6 - 23 - 20 = 420 high).
TEST_F(QtLayoutTest, BottomRowOfAWindowWithAMenuBarIsFullyVisible) {
  QtWindow* window = Make(Rect{10, 10, 678, 469}, WindowBorder::kFixed, true);
  for (int left : {54, 200, 400, 531}) Button(Rect{left, 396, 72, 24});
  window->Show(ShowMode::kNormal);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window->widget()));
  ExpectAllVisible(window);
  EXPECT_GE(window->ClientSize().height, 420 + 4);
  EXPECT_GE(window->Geometry().height, 469);
  EXPECT_EQ(window->ClientSize().width, 678 - 6) << "wide enough already";
}

TEST_F(QtLayoutTest, AWindowWhoseControlsFitKeepsItsSize) {
  QtWindow* window = Make(Rect{10, 10, 300, 200});
  Button(Rect{10, 10, 80, 24});
  EXPECT_EQ(window->Geometry().width, 300);
  EXPECT_EQ(window->Geometry().height, 200);
  EXPECT_EQ(window->ClientSize(), (Size{294, 171}));
}

// The client follows the controls as they move, show and hide, back to the definition's size;
// hidden controls take no room.
TEST_F(QtLayoutTest, ClientFollowsTheControlsAndIgnoresHiddenOnes) {
  QtWindow* window = Make(Rect{10, 10, 300, 200});
  ButtonControl* hidden = Button(Rect{0, 500, 50, 20}, false);
  EXPECT_EQ(window->ClientSize(), (Size{294, 171}));
  hidden->SetVisible(true);
  EXPECT_EQ(window->ClientSize().height, 524);
  ExpectAllVisible(window);
  hidden->SetGeometry(Rect{400, 0, 50, 20});
  EXPECT_EQ(window->ClientSize(), (Size{454, 171}));
  window->DestroyControl(hidden);
  EXPECT_EQ(window->ClientSize(), (Size{294, 171}));
}

// A resizable window grows for its controls, but never undoes the user's moving and sizing.
TEST_F(QtLayoutTest, AResizableWindowGrowsWithoutMovingBack) {
  QtWindow* window = Make(Rect{10, 10, 300, 200}, WindowBorder::kResizable);
  window->Show(ShowMode::kNormal);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window->widget()));
  window->widget()->move(120, 90);
  window->widget()->resize(500, 400);
  Button(Rect{10, 380, 50, 40});
  EXPECT_EQ(window->widget()->pos(), QPoint(120, 90));
  EXPECT_EQ(window->widget()->width(), 500);
  EXPECT_EQ(window->ClientSize().height, 424);
  ExpectAllVisible(window);
}

// A label whose lines need more height in this font than its rectangle has (the introduction's
// eleven lines in 264 x 135) grows downwards and the window grows around it; a label whose text
// fits keeps its rectangle, also after a longer text is written into it and replaced again.
TEST_F(QtLayoutTest, ALabelShowsEveryLineOfItsText) {
  QtWindow* window = Make(Rect{10, 10, 335, 183});
  std::string text;
  for (const char* line : {"软件名称:备忘录", "版本号码:2.11", "系统:win7 win8 win8.1",
                           "软件作者:某人", "联系邮箱:a@b.c", "官网地址:https://x.y"}) {
    if (!text.empty()) text += "\r\n\r\n";
    text += Utf8ToGbk(line);
  }
  ControlPlacement placement;
  placement.rect = Rect{8, 8, 264, 135};
  StaticStyle style;
  style.word_wrap = true;
  style.text_gbk = text + "\r\n";
  StaticControl* info = window_->CreateStatic(placement, style);
  placement.rect = Rect{8, 150, 100, 24};
  style.text_gbk = "short";
  StaticControl* single = window_->CreateStatic(placement, style);
  window->Show(ShowMode::kNormal);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window->widget()));

  auto* label = static_cast<QLabel*>(QtCommonOf(info)->widget());
  const int lines = 11;
  EXPECT_GE(label->height(), lines * label->fontMetrics().lineSpacing());
  EXPECT_LT(label->height(), (lines + 1) * label->fontMetrics().lineSpacing())
      << "the final line break shows no line";
  EXPECT_EQ(info->Geometry().height, 135) << "the unit's rectangle is unchanged";
  QWidget* short_label = QtCommonOf(single)->widget();
  EXPECT_EQ(short_label->height(), 24);
  EXPECT_TRUE(window->client()->rect().contains(label->geometry()));
  EXPECT_TRUE(window->client()->rect().contains(short_label->geometry()));

  single->SetText(text);
  EXPECT_GT(short_label->height(), 24);
  single->SetText("short again");
  EXPECT_EQ(short_label->height(), 24);
}

}  // namespace
}  // namespace memo::platform::qt
