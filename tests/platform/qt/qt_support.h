// Helpers of the Qt tests: answering modal dialogs from a timer.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <functional>

namespace memo::platform::qt::testing {

// Calls `act` with the active modal widget as soon as one is shown (polling from a timer), once.
inline void WhenModal(std::function<void(QWidget*)> act) {
  auto* timer = new QTimer();
  timer->setInterval(5);
  QObject::connect(timer, &QTimer::timeout, [timer, act = std::move(act)] {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible()) return;
    timer->stop();
    timer->deleteLater();
    act(modal);
  });
  timer->start();
}

// The button of a message box whose caption starts with `caption` (UTF-8), or null.
inline QAbstractButton* BoxButton(QWidget* modal, const char* caption) {
  auto* box = qobject_cast<QMessageBox*>(modal);
  if (!box) return nullptr;
  for (QAbstractButton* button : box->buttons()) {
    if (button->text().startsWith(QString::fromUtf8(caption))) return button;
  }
  return nullptr;
}

}  // namespace memo::platform::qt::testing
