// Qt windows and controls: input reaches on_input before the widget (and can be swallowed or
// replaced), limits and conversions of edit boxes, buttons, combo boxes, menus, close requests,
// and a canvas that paints through the seam's painter.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QToolButton>
#include <QWheelEvent>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/codec.h"
#include "platform/qt/qt_backend.h"
#include "platform/qt/qt_controls.h"
#include "platform/qt/qt_window.h"

namespace memo::platform::qt {
namespace {

class QtWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WindowStyle style;
    style.rect = Rect{50, 50, 300, 200};
    style.caption_gbk = Utf8ToGbk("登陆到备忘录");
    window_ = backend_.CreateWindow(style);
    window_->on_input = [this](Control* target, const InputEvent& event) {
      events_.push_back({target, event});
      if (filter_) return filter_(target, event);
      return InputDecision::Pass();
    };
    window_->Show(ShowMode::kNormal);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(static_cast<QtWindow*>(window_.get())->widget()));
  }

  ControlPlacement At(int child_id, Rect rect) {
    ControlPlacement placement;
    placement.child_id = child_id;
    placement.rect = rect;
    placement.tab_stop = true;
    return placement;
  }
  template <typename W>
  W* WidgetOf(Control* control) {
    return qobject_cast<W*>(QtCommonOf(control)->widget());
  }
  std::vector<InputKind> Kinds(Control* target) const {
    std::vector<InputKind> kinds;
    for (const auto& [who, event] : events_) {
      if (who == target) kinds.push_back(event.kind);
    }
    return kinds;
  }

  QtBackend backend_;
  std::unique_ptr<Window> window_;
  std::vector<std::pair<Control*, InputEvent>> events_;
  std::function<InputDecision(Control*, const InputEvent&)> filter_;
};

TEST_F(QtWindowTest, CaptionAndGeometryOfTheDefinition) {
  EXPECT_EQ(window_->Caption(), Utf8ToGbk("登陆到备忘录"));
  auto* qt_window = static_cast<QtWindow*>(window_.get());
  EXPECT_EQ(qt_window->widget()->windowTitle(), QString::fromUtf8("登陆到备忘录"));
  Rect rect = window_->Geometry();
  EXPECT_EQ(rect.width, 300);
  EXPECT_EQ(rect.height, 200);
  // The client area is what is left inside the frame and caption.
  EXPECT_EQ(window_->ClientSize().width, 300 - 6);
  EXPECT_EQ(window_->ClientSize().height, 200 - 6 - 23);
}

TEST_F(QtWindowTest, KeysAndCharactersReachTheRuntimeFirst) {
  EditControl* edit = window_->CreateEdit(At(100, Rect{2, 6, 116, 19}), EditStyle{});
  QLineEdit* line = WidgetOf<QLineEdit>(edit);
  ASSERT_NE(line, nullptr);
  QTest::keyClick(line, Qt::Key_A);
  std::vector<InputKind> kinds = Kinds(edit);
  ASSERT_GE(kinds.size(), 3u);
  EXPECT_EQ(kinds[kinds.size() - 3], InputKind::kKeyDown);
  EXPECT_EQ(kinds[kinds.size() - 2], InputKind::kChar);
  EXPECT_EQ(kinds.back(), InputKind::kKeyUp);
  EXPECT_EQ(events_.back().second.key, 'A');
  EXPECT_EQ(edit->Text(), "a");

  // Swallowed keys and characters never reach the box; a replaced character arrives replaced.
  filter_ = [](Control*, const InputEvent& e) {
    if (e.kind == InputKind::kKeyDown && e.key == vk::kReturn) return InputDecision::Swallow();
    if (e.kind == InputKind::kChar && e.key == 'x') return InputDecision::Swallow();
    if (e.kind == InputKind::kChar && e.key == 'b') return InputDecision::Replace('B');
    return InputDecision::Pass();
  };
  bool returned = false;
  QObject::connect(line, &QLineEdit::returnPressed, [&] { returned = true; });
  QTest::keyClicks(line, "bxc");
  QTest::keyClick(line, Qt::Key_Return);
  EXPECT_EQ(edit->Text(), "aBc");
  EXPECT_FALSE(returned);
}

TEST_F(QtWindowTest, TabIsOfferedBeforeQtMovesTheFocus) {
  EditControl* first = window_->CreateEdit(At(100, Rect{0, 0, 100, 20}), EditStyle{});
  EditControl* second = window_->CreateEdit(At(110, Rect{0, 30, 100, 20}), EditStyle{});
  first->SetFocus();
  filter_ = [](Control*, const InputEvent& e) {
    return e.kind == InputKind::kKeyDown && e.key == vk::kTab ? InputDecision::Swallow()
                                                              : InputDecision::Pass();
  };
  QTest::keyClick(WidgetOf<QLineEdit>(first), Qt::Key_Tab);
  bool offered = false;
  for (const auto& [who, e] : events_) {
    if (who == first && e.kind == InputKind::kKeyDown && e.key == vk::kTab) offered = true;
  }
  EXPECT_TRUE(offered);
  EXPECT_FALSE(second->HasFocus());
}

// The box applies no limit and no conversion of its own; user changes are reported however
// they arrive, the program's never.
TEST_F(QtWindowTest, EditBoxReportsUserChangesOnly) {
  EditControl* edit = window_->CreateEdit(At(100, Rect{0, 0, 100, 20}), EditStyle{});
  int changes = 0;
  edit->on_user_change = [&] { ++changes; };
  QLineEdit* line = WidgetOf<QLineEdit>(edit);
  QTest::keyClicks(line, "ab");
  QInputMethodEvent composed;
  composed.setCommitString(QString::fromUtf8("中文"));
  QCoreApplication::sendEvent(line, &composed);
  EXPECT_EQ(edit->Text(), "ab" + Utf8ToGbk("中文"));
  EXPECT_EQ(changes, 4);
  edit->SetText("abcdefgh");
  edit->SetSelection(2, 3);
  edit->ReplaceSelection("X");
  EXPECT_EQ(edit->Text(), "abXfgh");
  EXPECT_EQ(changes, 4);
  int start = 0, length = 0;
  edit->GetSelection(&start, &length);
  EXPECT_EQ(start, 3);
  EXPECT_EQ(length, 0);
  line->undo();
  EXPECT_EQ(changes, 5) << "undo is the user's change";
}

// Each character an input method commits is offered on its own: swallowed and replaced ones
// reach the box changed, and a routine that closes the window on the way is safe.
TEST_F(QtWindowTest, InputMethodCharactersAreOfferedOneByOne) {
  EditControl* edit = window_->CreateEdit(At(100, Rect{0, 0, 100, 20}), EditStyle{});
  QLineEdit* line = WidgetOf<QLineEdit>(edit);
  const std::string wen = Utf8ToGbk("文");
  const std::string zi = Utf8ToGbk("字");
  auto code = [](const std::string& gbk) {
    return static_cast<int>((static_cast<unsigned char>(gbk[0]) << 8) |
                            static_cast<unsigned char>(gbk[1]));
  };
  filter_ = [&](Control*, const InputEvent& e) {
    if (e.kind == InputKind::kChar && e.key == 'x') return InputDecision::Swallow();
    if (e.kind == InputKind::kChar && e.key == code(wen)) {
      return InputDecision::Replace(static_cast<uint32_t>(code(zi)));
    }
    return InputDecision::Pass();
  };
  QInputMethodEvent composed;
  composed.setCommitString(QString::fromUtf8("中x文"));
  QCoreApplication::sendEvent(line, &composed);
  EXPECT_EQ(edit->Text(), Utf8ToGbk("中字"));
  std::vector<int> typed;
  for (const auto& [who, e] : events_) {
    if (who == edit && e.kind == InputKind::kChar) typed.push_back(e.key);
  }
  EXPECT_EQ(typed.size(), 3u);

  filter_ = [this](Control*, const InputEvent& e) {
    if (e.kind == InputKind::kChar) window_.reset();
    return InputDecision::Pass();
  };
  QInputMethodEvent closing;
  closing.setCommitString(QString::fromUtf8("ab"));
  QCoreApplication::sendEvent(line, &closing);
  EXPECT_EQ(window_, nullptr);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST_F(QtWindowTest, SelectionsCountBytesOfDoubleByteText) {
  EditStyle style;
  style.text_gbk = Utf8ToGbk("中文ab");
  EditControl* edit = window_->CreateEdit(At(100, Rect{0, 0, 100, 20}), style);
  edit->SetSelection(2, 3);  // "文" and "a"
  QLineEdit* line = WidgetOf<QLineEdit>(edit);
  EXPECT_EQ(line->selectedText(), QString::fromUtf8("文a"));
  int start = 0, length = 0;
  edit->GetSelection(&start, &length);
  EXPECT_EQ(start, 2);
  EXPECT_EQ(length, 3);
}

TEST_F(QtWindowTest, PasswordAndMultiLineBoxes) {
  EditStyle password;
  password.password_char = '*';
  EditControl* secret = window_->CreateEdit(At(100, Rect{0, 0, 100, 20}), password);
  QLineEdit* line = WidgetOf<QLineEdit>(secret);
  EXPECT_EQ(line->echoMode(), QLineEdit::Password);
  QTest::keyClicks(line, "pw");
  EXPECT_EQ(secret->Text(), "pw");

  EditStyle multi;
  multi.multi_line = true;
  multi.read_only = true;
  multi.text_gbk = Utf8ToGbk("跟进信息...\r\n第二行");
  EditControl* log = window_->CreateEdit(At(110, Rect{0, 30, 200, 54}), multi);
  auto* text = WidgetOf<QPlainTextEdit>(log);
  ASSERT_NE(text, nullptr);
  EXPECT_TRUE(text->isReadOnly());
  EXPECT_EQ(text->toPlainText(), QString::fromUtf8("跟进信息...\n第二行"));
  EXPECT_EQ(log->Text(), Utf8ToGbk("跟进信息...\r\n第二行"));
}

TEST_F(QtWindowTest, MultiLineBoxReportsTextChangesNotFormatChanges) {
  EditStyle style;
  style.multi_line = true;
  EditControl* edit = window_->CreateEdit(At(100, Rect{0, 0, 200, 54}), style);
  int changes = 0;
  edit->on_user_change = [&] { ++changes; };
  auto* text = WidgetOf<QPlainTextEdit>(edit);
  QTest::keyClicks(text, "ab");
  QTest::keyClick(text, Qt::Key_Return);
  EXPECT_EQ(edit->Text(), "ab\r\n");
  EXPECT_EQ(changes, 3);
  edit->SetText("x\r\ny");
  edit->SetSelection(3, 1);
  edit->ReplaceSelection(Utf8ToGbk("中"));
  EXPECT_EQ(edit->Text(), "x\r\n" + Utf8ToGbk("中"));
  edit->SetFont(FontSpec{});
  QTextCursor cursor = text->textCursor();
  QTextCharFormat bold;
  bold.setFontWeight(QFont::Bold);
  cursor.select(QTextCursor::Document);
  cursor.mergeCharFormat(bold);
  EXPECT_EQ(changes, 3);
}

TEST_F(QtWindowTest, ButtonClickAfterTheRuntimeSawTheMouse) {
  ButtonStyle style;
  style.caption_gbk = Utf8ToGbk("登陆");
  ButtonControl* button = window_->CreateButton(At(100, Rect{118, 4, 48, 44}), style);
  int clicks = 0;
  button->on_click = [&] { ++clicks; };
  QPushButton* push = WidgetOf<QPushButton>(button);
  EXPECT_EQ(push->text(), QString::fromUtf8("登陆"));
  QTest::mouseClick(push, Qt::LeftButton, Qt::NoModifier, QPoint(24, 22));
  EXPECT_EQ(clicks, 1);
  bool saw_down = false;
  for (const auto& [who, e] : events_) {
    if (who == button && e.kind == InputKind::kLeftDown && e.x == 24 && e.y == 22) saw_down = true;
  }
  EXPECT_TRUE(saw_down);
  // Swallowing the press keeps the click from the button.
  filter_ = [](Control*, const InputEvent& e) {
    return e.kind == InputKind::kLeftDown ? InputDecision::Swallow() : InputDecision::Pass();
  };
  QTest::mouseClick(push, Qt::LeftButton, Qt::NoModifier, QPoint(24, 22));
  EXPECT_EQ(clicks, 1);
}

TEST_F(QtWindowTest, RoutineDestroyingTheWindowInsideAClickIsSafe) {
  ButtonControl* button = window_->CreateButton(At(100, Rect{0, 0, 40, 20}), ButtonStyle{});
  button->on_click = [this] { window_.reset(); };
  QPushButton* push = WidgetOf<QPushButton>(button);
  QTest::mouseClick(push, Qt::LeftButton);
  EXPECT_EQ(window_, nullptr);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// QComboBox changes its current item on its own: on the first item added, on removing the
// current one, on a pick. The view puts every such change back and only reports the pick.
TEST_F(QtWindowTest, ComboBoxShowsOnlyWhatItIsTold) {
  ComboStyle style;
  style.kind = ComboKind::kDropDownList;
  ComboControl* combo = window_->CreateCombo(At(100, Rect{531, 398, 96, 160}), style);
  QComboBox* box = WidgetOf<QComboBox>(combo);
  combo->InsertItem(0, Utf8ToGbk("资金借出"));
  EXPECT_EQ(box->currentIndex(), -1);
  combo->InsertItem(1, Utf8ToGbk("资金借入"));
  combo->InsertItem(1, "mid");
  combo->ShowCurrent(2);
  EXPECT_EQ(box->currentText(), QString::fromUtf8("资金借入"));
  combo->RemoveItem(0);
  EXPECT_EQ(box->currentIndex(), 1) << "the mark stays on its item";
  combo->RemoveItem(1);
  EXPECT_EQ(box->currentIndex(), -1) << "QComboBox would move to another item";
  combo->InsertItem(5, "ignored");
  EXPECT_EQ(box->count(), 1);
  // The drop-down kinds are drawn at the box's own height; the rectangle stays as given.
  EXPECT_LT(box->height(), 160);
  EXPECT_EQ(combo->Geometry().height, 160);
  int chosen = -2;
  combo->on_pick = [&](int index) { chosen = index; };
  box->setCurrentIndex(0);  // as a pick from the list does before it is reported
  emit box->activated(0);
  EXPECT_EQ(chosen, 0);
  EXPECT_EQ(box->currentIndex(), -1);
}

TEST_F(QtWindowTest, EditableComboKeepsItsTextAndCompletesNothing) {
  ComboStyle style;
  style.kind = ComboKind::kDropDown;
  ComboControl* combo = window_->CreateCombo(At(100, Rect{0, 0, 96, 160}), style);
  QComboBox* box = WidgetOf<QComboBox>(combo);
  combo->InsertItem(0, "apple");
  combo->ShowEditText("typed");
  combo->ShowCurrent(0);
  EXPECT_EQ(box->lineEdit()->text(), QStringLiteral("typed"));
  std::vector<std::string> edits;
  combo->on_edit = [&](const std::string& text) { edits.push_back(text); };
  combo->ShowEditText("");
  QTest::keyClicks(box->lineEdit(), "ap");
  EXPECT_EQ(box->lineEdit()->text(), QStringLiteral("ap")) << "no completion from the list";
  EXPECT_EQ(edits, (std::vector<std::string>{"a", "ap"}));
  combo->ClearItems();
  EXPECT_EQ(box->lineEdit()->text(), QStringLiteral("ap"));
}

TEST_F(QtWindowTest, CloseRequestGoesToTheRuntimeWhichDecides) {
  int requests = 0;
  window_->on_close_request = [&] { ++requests; };
  auto* widget = static_cast<QtWindow*>(window_.get())->widget();
  widget->close();
  EXPECT_EQ(requests, 1);
  EXPECT_TRUE(window_->IsVisible());
  // A disabled window (under a modal one) cannot be closed by the user.
  window_->SetEnabled(false);
  widget->close();
  EXPECT_EQ(requests, 1);
}

TEST_F(QtWindowTest, MenuBarItemsCarryTheirCommandIds) {
  std::vector<MenuEntry> bar(1);
  bar[0].caption_gbk = Utf8ToGbk("帐号管理");
  bar[0].children.resize(1);
  bar[0].children[0].caption_gbk = Utf8ToGbk("修改密码");
  bar[0].children[0].command_id = 20004;
  window_->SetMenuBar(bar);
  int command = 0;
  window_->on_command = [&](int id) { command = id; };
  QMenuBar* menu_bar = static_cast<QtWindow*>(window_.get())->widget()->findChild<QMenuBar*>();
  ASSERT_NE(menu_bar, nullptr);
  ASSERT_EQ(menu_bar->actions().size(), 1);
  QMenu* menu = menu_bar->actions()[0]->menu();
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(menu_bar->actions()[0]->text(), QString::fromUtf8("帐号管理"));
  menu->actions()[0]->trigger();
  EXPECT_EQ(command, 20004);
  // The menu takes its height from the client area, not from the outer size.
  EXPECT_EQ(window_->Geometry().height, 200);
  EXPECT_LT(window_->ClientSize().height, 200 - 6 - 23);
}

TEST_F(QtWindowTest, CanvasPaintsThroughThePainterAndTakesInput) {
  CanvasStyle style;
  style.vertical_scroll_bar = true;
  CanvasControl* canvas = window_->CreateCanvas(At(100, Rect{1, 4, 300, 150}), style);
  std::vector<std::string> texts;
  canvas->on_paint = [&](Painter& painter, const Rect& dirty) {
    painter.FillRect(dirty, Rgb(255, 255, 255));
    texts.push_back("painted");
    painter.DrawText(Rect{0, 0, 60, 20}, Utf8ToGbk("时间"), TextFormat{});
  };
  canvas->RepaintNow();
  EXPECT_FALSE(texts.empty());
  Size client = canvas->ClientSize();
  EXPECT_LT(client.width, 300);  // the frame and the vertical bar take their share
  ScrollInfo info;
  info.maximum = 99;
  info.page = 10;
  info.position = 95;
  canvas->SetScrollBar(Orientation::kVertical, true, info);
  EXPECT_EQ(canvas->ScrollBar(Orientation::kVertical).position, 90);  // a page short of the end
  std::vector<InputEvent> seen;
  canvas->on_input = [&](const InputEvent& e) {
    if (e.kind != InputKind::kFocusGained && e.kind != InputKind::kFocusLost) seen.push_back(e);
  };
  QWidget* viewport = QtCommonOf(canvas)->ContainerWidget();
  QTest::mouseClick(viewport, Qt::LeftButton, Qt::ShiftModifier, QPoint(30, 12));
  ASSERT_GE(seen.size(), 2u);
  EXPECT_EQ(seen[0].kind, InputKind::kLeftDown);
  EXPECT_EQ(seen[0].x, 30);
  EXPECT_EQ(seen[0].shift, kShiftShift);
  EXPECT_EQ(seen[1].kind, InputKind::kLeftUp);
  // The window's routine saw the press first, and swallowing it keeps it from the canvas.
  std::vector<InputKind> kinds = Kinds(canvas);
  EXPECT_NE(std::find(kinds.begin(), kinds.end(), InputKind::kLeftDown), kinds.end());
  filter_ = [](Control*, const InputEvent& e) {
    return e.kind == InputKind::kLeftDown ? InputDecision::Swallow() : InputDecision::Pass();
  };
  seen.clear();
  QTest::mouseClick(viewport, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].kind, InputKind::kLeftUp);
}

// A wheel turn reaches the window's routine and then the canvas as whole notches, with the
// shift state and the position in the canvas.
TEST_F(QtWindowTest, WheelTurnsArriveInNotches) {
  CanvasControl* canvas = window_->CreateCanvas(At(100, Rect{1, 4, 300, 150}), CanvasStyle{});
  std::vector<InputEvent> seen;
  canvas->on_input = [&](const InputEvent& e) {
    if (e.kind == InputKind::kWheel) seen.push_back(e);
  };
  QWidget* viewport = QtCommonOf(canvas)->ContainerWidget();
  QWheelEvent turn(QPointF(20, 7), QPointF(viewport->mapToGlobal(QPoint(20, 7))), QPoint(),
                   QPoint(0, -240), Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
  QCoreApplication::sendEvent(viewport, &turn);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].wheel, -2);
  EXPECT_EQ(seen[0].shift, kShiftCtrl);
  EXPECT_EQ(seen[0].x, 20);
  EXPECT_EQ(seen[0].y, 7);
  std::vector<InputKind> kinds = Kinds(canvas);
  EXPECT_NE(std::find(kinds.begin(), kinds.end(), InputKind::kWheel), kinds.end());
}

// Keys reach a canvas as they reach the window's routine: a key pressed with Alt (or F10) is a
// system key there too, and types no character.
TEST_F(QtWindowTest, CanvasKeysCarryTheSystemKeyMark) {
  CanvasControl* canvas = window_->CreateCanvas(At(100, Rect{1, 4, 300, 150}), CanvasStyle{});
  std::vector<InputEvent> seen;
  canvas->on_input = [&](const InputEvent& e) {
    if (e.kind != InputKind::kFocusGained && e.kind != InputKind::kFocusLost) seen.push_back(e);
  };
  QWidget* viewport = QtCommonOf(canvas)->ContainerWidget();
  QTest::keyClick(viewport, Qt::Key_A, Qt::AltModifier);  // Alt down, A down, A up, Alt up
  std::vector<InputEvent> a_keys;
  for (const InputEvent& e : seen) {
    if (e.key == 'A') a_keys.push_back(e);
    EXPECT_NE(e.kind, InputKind::kChar);
  }
  ASSERT_EQ(a_keys.size(), 2u);
  EXPECT_EQ(a_keys[0].kind, InputKind::kKeyDown);
  EXPECT_EQ(a_keys[0].shift, kShiftAlt);
  EXPECT_TRUE(a_keys[0].system_key);
  EXPECT_EQ(a_keys[1].kind, InputKind::kKeyUp);
  EXPECT_TRUE(a_keys[1].system_key);
  seen.clear();
  QTest::keyClick(viewport, Qt::Key_B);
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_FALSE(seen[0].system_key);
  EXPECT_EQ(seen[1].kind, InputKind::kChar);
  EXPECT_EQ(seen[1].key, 'b');
  // The window's routine was offered the same key, marked the same way.
  bool offered = false;
  for (const auto& [who, e] : events_) {
    if (who == canvas && e.kind == InputKind::kKeyDown && e.key == 'A') offered = e.system_key;
  }
  EXPECT_TRUE(offered);
}

TEST_F(QtWindowTest, StaticTextShowsLinesWithoutCarriageReturns) {
  StaticStyle style;
  style.text_gbk = Utf8ToGbk("软件名称:备忘录\r\n\r\n版本号码:2.11");
  style.transparent = true;
  StaticControl* label = window_->CreateStatic(At(100, Rect{8, 8, 264, 135}), style);
  EXPECT_EQ(WidgetOf<QLabel>(label)->text(), QString::fromUtf8("软件名称:备忘录\n\n版本号码:2.11"));
  EXPECT_EQ(label->Text(), style.text_gbk);
  EXPECT_FALSE(WidgetOf<QLabel>(label)->autoFillBackground());
}

TEST_F(QtWindowTest, UpDownReportsArrowClicks) {
  UpDownControl* spin = window_->CreateUpDown(At(130, Rect{4, 4, 16, 24}), UpDownStyle{});
  ASSERT_NE(spin, nullptr);
  std::vector<int> arrows;
  spin->on_arrow = [&](int delta) { arrows.push_back(delta); };
  QWidget* widget = QtCommonOf(spin)->widget();
  auto* up = widget->findChild<QToolButton*>(QStringLiteral("up"));
  auto* down = widget->findChild<QToolButton*>(QStringLiteral("down"));
  ASSERT_NE(up, nullptr);
  ASSERT_NE(down, nullptr);
  QTest::mouseClick(up, Qt::LeftButton);
  QTest::mouseClick(down, Qt::LeftButton);
  EXPECT_EQ(arrows, (std::vector<int>{1, -1}));
}

}  // namespace
}  // namespace memo::platform::qt
