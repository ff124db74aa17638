#include "tests/e2e/program_person.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QTest>
#include <QWidget>
#include <QWindow>

#include "platform/codec.h"
#include "platform/qt/qt_controls.h"
#include "platform/qt/qt_window.h"
#include "ui/advanced_grid/egrid_unit.h"
#include "ui/data_units/data_units.h"
#include "ui/window/unit.h"
#include "ui/window/window_runtime.h"

namespace memo::e2e {

namespace {

QAction* ActionCaptioned(const QList<QAction*>& actions, const QString& caption) {
  for (QAction* action : actions) {
    // A shortcut is shown after a tab; the caption is what comes before it, read as a person
    // reads it: without a keyboard letter "(&Z)" and without the marks of a marked letter.
    QString shown = action->text().section(QChar('\t'), 0, 0);
    if (shown.size() >= 4 && shown.endsWith(QChar(')')) &&
        shown.mid(shown.size() - 4, 2) == QStringLiteral("(&")) {
      shown.chop(4);
    }
    shown.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    shown.remove(QChar('&'));
    shown.replace(QStringLiteral("\x01"), QStringLiteral("&"));
    if (shown == caption) return action;
  }
  return nullptr;
}

// The widget that takes the keys of a control's widget.
QWidget* KeyTarget(QWidget* widget) {
  if (auto* combo = qobject_cast<QComboBox*>(widget); combo && combo->lineEdit()) {
    return combo->lineEdit();
  }
  return widget;
}

}  // namespace

QWidget* WindowWidgetOf(uint32_t window_id) {
  ui::LiveWindow* live = ui::FindLiveWindow(window_id);
  if (!live || !live->native()) return nullptr;
  return static_cast<platform::qt::QtWindow*>(live->native())->widget();
}

bool WindowReady(uint32_t window_id) {
  ui::LiveWindow* live = ui::FindLiveWindow(window_id);
  if (!live || !live->loaded() || live->closing()) return false;
  QWidget* widget = WindowWidgetOf(window_id);
  if (!widget || !widget->isVisible() || !widget->isEnabled()) return false;
  if (!widget->windowHandle() || !widget->windowHandle()->isExposed()) return false;
  QWidget* modal = QApplication::activeModalWidget();
  return (!modal || modal == widget) && !QApplication::activePopupWidget();
}

bool WindowGone(uint32_t window_id) { return ui::FindLiveWindow(window_id) == nullptr; }

ui::Unit* UnitNamed(uint32_t window_id, const char* name_utf8) {
  ui::LiveWindow* live = ui::FindLiveWindow(window_id);
  return live ? live->FindUnitByName(Utf8ToGbk(name_utf8)) : nullptr;
}

QWidget* WidgetNamed(uint32_t window_id, const char* name_utf8) {
  ui::Unit* unit = UnitNamed(window_id, name_utf8);
  if (!unit || !unit->control()) return nullptr;
  platform::qt::QtControlCommon* common = platform::qt::QtCommonOf(unit->control());
  return common ? common->widget() : nullptr;
}

ui::Grid* GridNamed(uint32_t window_id, const char* name_utf8) {
  return ui::GridOfUnit(UnitNamed(window_id, name_utf8));
}

ui::EGrid* EGridNamed(uint32_t window_id, const char* name_utf8) {
  return ui::EGridOf(UnitNamed(window_id, name_utf8));
}

QWidget* GridViewportNamed(uint32_t window_id, const char* name_utf8) {
  ui::Unit* unit = UnitNamed(window_id, name_utf8);
  if (!unit || !unit->control()) return nullptr;
  platform::qt::QtControlCommon* common = platform::qt::QtCommonOf(unit->control());
  return common ? common->ContainerWidget() : nullptr;
}

QMessageBox* BoxSaying(const char* text_utf8) {
  auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
  if (!box || !box->isVisible() || box->text() != QString::fromUtf8(text_utf8)) return nullptr;
  return box;
}

bool PressBoxButton(QMessageBox* box, const char* caption_utf8) {
  for (QAbstractButton* button : box->buttons()) {
    if (button->text() == QString::fromUtf8(caption_utf8)) {
      Click(button);
      return true;
    }
  }
  return false;
}

QMenu* MenuOffering(const char* item_utf8) {
  auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
  if (!menu || !menu->isVisible()) return nullptr;
  return ActionCaptioned(menu->actions(), QString::fromUtf8(item_utf8)) ? menu : nullptr;
}

bool ClickMenuItem(QMenu* menu, const char* item_utf8) {
  QAction* action = ActionCaptioned(menu->actions(), QString::fromUtf8(item_utf8));
  if (!action) return false;
  ClickAt(menu, menu->actionGeometry(action).center());
  return true;
}

bool ClickMenuBarEntry(QWidget* window, const char* entry_utf8) {
  auto* bar = window ? window->findChild<QMenuBar*>() : nullptr;
  if (!bar) return false;
  QAction* action = ActionCaptioned(bar->actions(), QString::fromUtf8(entry_utf8));
  if (!action) return false;
  ClickAt(bar, bar->actionGeometry(action).center());
  return true;
}

void Click(QWidget* widget) { ClickAt(widget, widget->rect().center()); }

void ClickAt(QWidget* widget, QPoint at) {
  QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, at);
}

void Type(QWidget* widget, const char* text_utf8) {
  QWidget* target = KeyTarget(widget);
  const QString text = QString::fromUtf8(text_utf8);
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar one = text[i];
    if (one.unicode() >= 0x20 && one.unicode() < 0x7F) {
      QTest::keyClick(target, static_cast<char>(one.unicode()));
      continue;
    }
    QInputMethodEvent composed;
    composed.setCommitString(QString(one));
    QCoreApplication::sendEvent(target, &composed);
  }
}

void PressEnter(QWidget* widget) { QTest::keyClick(KeyTarget(widget), Qt::Key_Return); }

std::string ShownText(QWidget* widget) {
  QWidget* target = KeyTarget(widget);
  if (auto* line = qobject_cast<QLineEdit*>(target)) return line->text().toStdString();
  if (auto* lines = qobject_cast<QPlainTextEdit*>(target)) {
    return lines->toPlainText().toStdString();
  }
  if (auto* label = qobject_cast<QLabel*>(target)) return label->text().toStdString();
  if (auto* combo = qobject_cast<QComboBox*>(target)) return combo->currentText().toStdString();
  return std::string();
}

bool SaveScreenshot(QWidget* window, const std::string& dir, const std::string& name) {
  if (!window || !QDir().mkpath(QString::fromStdString(dir))) return false;
  QPixmap shot = window->grab();
  return !shot.isNull() && shot.save(QString::fromStdString(dir + "/" + name + ".png"), "PNG");
}

}  // namespace memo::e2e
