// The person at the Qt backend: real events sent to the widgets (mouse and keys through QTest,
// input-method commits, drag-and-drop events), and what the widgets show read back from them.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTest>
#include <QToolButton>

#include "platform/gbk.h"
#include "platform/qt/qt_backend.h"
#include "platform/qt/qt_controls.h"
#include "platform/qt/qt_convert.h"
#include "platform/qt/qt_window.h"
#include "tests/contract/person.h"

namespace memo::contract {
namespace {

using namespace memo::platform;
using namespace memo::platform::qt;

Qt::KeyboardModifiers ModifiersOf(int shift) {
  Qt::KeyboardModifiers modifiers;
  if (shift & kShiftCtrl) modifiers |= Qt::ControlModifier;
  if (shift & kShiftShift) modifiers |= Qt::ShiftModifier;
  if (shift & kShiftAlt) modifiers |= Qt::AltModifier;
  return modifiers;
}

class QtPerson : public Person {
 public:
  Backend& backend() override { return backend_; }

  void Show(Window* window) override {
    window->Show(ShowMode::kNormal);
    QWidget* widget = static_cast<QtWindow*>(window)->widget();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(widget));
    widget->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(widget));
  }

  void Settle() override {
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }

  void Click(Control* control) override {
    QWidget* widget = WidgetOf(control);
    ClickAt(control, Point{widget->width() / 2, widget->height() / 2});
  }
  void ClickAt(Control* control, Point at) override {
    QTest::mouseClick(WidgetOf(control), Qt::LeftButton, Qt::NoModifier, QPoint(at.x, at.y));
  }

  void Key(Control* control, int virtual_key, int shift) override {
    control->SetFocus();
    QWidget* target = InputWidget(control);
    Qt::KeyboardModifiers modifiers = ModifiersOf(shift);
    bool letter = virtual_key >= 'A' && virtual_key <= 'Z';
    if (letter && !(shift & kShiftCtrl)) {
      // The character overload gives the event the text a keyboard would.
      char typed = static_cast<char>((shift & kShiftShift) ? virtual_key : virtual_key - 'A' + 'a');
      QTest::keyClick(target, typed, modifiers);
    } else if (virtual_key >= '0' && virtual_key <= '9' && shift == 0) {
      QTest::keyClick(target, static_cast<char>(virtual_key));
    } else {
      QTest::keyClick(target, static_cast<Qt::Key>(QtKeyOf(virtual_key)), modifiers);
    }
  }

  void Type(Control* control, std::string_view text_gbk) override {
    control->SetFocus();
    QWidget* target = InputWidget(control);
    for (size_t i = 0; i < text_gbk.size(); i = NextGbkChar(text_gbk, i)) {
      std::string_view one = text_gbk.substr(i, GbkCharSize(text_gbk, i));
      if (IsKeyboardCharacter(text_gbk, i)) {
        bool upper = one[0] >= 'A' && one[0] <= 'Z';
        QTest::keyClick(target, one[0], upper ? Qt::ShiftModifier : Qt::NoModifier);
      } else {
        Commit(target, FromGbk(one));
      }
    }
  }

  void Compose(Control* control, std::string_view text_gbk) override {
    control->SetFocus();
    Commit(InputWidget(control), FromGbk(text_gbk));
  }

  void Paste(Control* control, std::string_view text_gbk) override {
    ClipboardContent content;
    content.text_gbk = std::string(text_gbk);
    backend_.SetClipboard(content);
    Key(control, 'V', kShiftCtrl);
  }

  void Drop(Control* edit, std::string_view text_gbk, int at) override {
    auto* line = qobject_cast<QLineEdit*>(WidgetOf(edit));
    ASSERT_NE(line, nullptr) << "drops are driven on single-line boxes";
    line->setCursorPosition(QtPositionOfByte(line->text(), at));
    QPoint point = line->inputMethodQuery(Qt::ImCursorRectangle).toRect().center();
    QMimeData data;
    data.setText(FromGbk(text_gbk));
    QDragEnterEvent enter(point, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(line, &enter);
    QDragMoveEvent move(point, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(line, &move);
    QDropEvent drop(point, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(line, &drop);
  }

  void Pick(Control* combo, int index) override {
    // From the dropped list, with the keyboard of the list itself.
    QComboBox* box = ComboOf(combo);
    box->showPopup();
    QAbstractItemView* view = box->view();
    view->setCurrentIndex(box->model()->index(index, box->modelColumn()));
    QTest::keyClick(view, Qt::Key_Return);
    Settle();
  }

  void Arrow(Control* up_down, int delta) override {
    auto* button = WidgetOf(up_down)->findChild<QToolButton*>(delta > 0 ? QStringLiteral("up")
                                                                        : QStringLiteral("down"));
    ASSERT_NE(button, nullptr);
    QTest::mouseClick(button, Qt::LeftButton);
  }

  std::string ShownText(Control* edit) override {
    QWidget* widget = WidgetOf(edit);
    if (auto* line = qobject_cast<QLineEdit*>(widget)) return ToGbk(line->displayText());
    return ToGbk(ToCrLf(qobject_cast<QPlainTextEdit*>(widget)->toPlainText()));
  }
  std::vector<std::string> ShownItems(Control* combo) override {
    std::vector<std::string> items;
    QComboBox* box = ComboOf(combo);
    for (int i = 0; i < box->count(); ++i) items.push_back(ToGbk(box->itemText(i)));
    return items;
  }
  int ShownCurrent(Control* combo) override { return ComboOf(combo)->currentIndex(); }
  std::string ShownComboText(Control* combo) override {
    QComboBox* box = ComboOf(combo);
    if (box->lineEdit()) return ToGbk(box->lineEdit()->text());
    return box->currentIndex() >= 0 ? ToGbk(box->currentText()) : std::string();
  }
  std::string ShownStatic(Control* label) override {
    return ToGbk(ToCrLf(qobject_cast<QLabel*>(WidgetOf(label))->text()));
  }

 private:
  static QWidget* WidgetOf(Control* control) { return QtCommonOf(control)->widget(); }
  static QComboBox* ComboOf(Control* control) {
    return qobject_cast<QComboBox*>(WidgetOf(control));
  }
  // The widget that takes the control's keys.
  static QWidget* InputWidget(Control* control) {
    QWidget* widget = WidgetOf(control);
    if (auto* box = qobject_cast<QComboBox*>(widget); box && box->lineEdit()) {
      return box->lineEdit();
    }
    return widget;
  }
  static void Commit(QWidget* target, const QString& text) {
    QInputMethodEvent composed;
    composed.setCommitString(text);
    QCoreApplication::sendEvent(target, &composed);
  }

  QtBackend backend_;
};

}  // namespace

std::unique_ptr<Person> MakeQtPerson() { return std::make_unique<QtPerson>(); }

}  // namespace memo::contract
