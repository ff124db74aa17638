#include "tests/e2e/step_driver.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <utility>

namespace memo::e2e {

namespace {

// Between two checks of the same step: often enough that the test does not linger, seldom
// enough that a slow sanitised build gets on with its work.
constexpr int kCheckIntervalMs = 20;

}  // namespace

void StepDriver::Then(std::string name, Condition ready, Action act) {
  steps_.push_back(Step{std::move(name), std::move(ready), std::move(act)});
}

void StepDriver::Start() {
  next_ = 0;
  waiting_.start();
  Schedule(0);
}

std::string StepDriver::waiting_for() const {
  return finished() ? std::string() : steps_[next_].name;
}

void StepDriver::Schedule(int delay_ms) {
  QTimer::singleShot(delay_ms, &timers_, [this] { Check(); });
}

void StepDriver::Check() {
  if (finished()) return;
  Step& step = steps_[next_];
  if (!step.ready()) {
    if (waiting_.elapsed() > kStuckAfterMs) Stuck();
    Schedule(kCheckIntervalMs);
    return;
  }
  ++next_;
  waiting_.restart();
  // Before acting: the action may enter a loop that only a later step ends.
  Schedule(kCheckIntervalMs);
  step.act();
}

void StepDriver::Stuck() const {
  std::fprintf(stderr, "e2e: stuck waiting for step \"%s\"\n%s", steps_[next_].name.c_str(),
               DescribeScreen().c_str());
  std::fflush(nullptr);
  // A loop of the program is running and cannot be left from here in good order.
  std::_Exit(3);
}

std::string DescribeScreen() {
  std::string out;
  for (QWidget* top : QApplication::topLevelWidgets()) {
    if (!top->isVisible()) continue;
    out += "  window \"" + top->windowTitle().toStdString() + "\" (" +
           top->metaObject()->className() + ")";
    if (auto* box = qobject_cast<QMessageBox*>(top)) {
      out += " says \"" + box->text().toStdString() + "\"";
    }
    out += "\n";
  }
  if (QWidget* modal = QApplication::activeModalWidget()) {
    out += "  active modal: \"" + modal->windowTitle().toStdString() + "\"\n";
  }
  if (QWidget* popup = QApplication::activePopupWidget()) {
    out += std::string("  open pop-up: ") + popup->metaObject()->className() + "\n";
  }
  return out;
}

}  // namespace memo::e2e
