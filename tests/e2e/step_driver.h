// A person at the program, as a list of steps: each waits until what it needs is on the screen
// (a window shown, a box asking, a menu open), then acts through real input events.
//
// The program runs its own message loop and nested ones (modal windows, message boxes, pop-up
// menus), and an action often does not return until a later step has answered what it opened.
// So the steps are run from single-shot timers of whichever loop is running: the next check is
// scheduled before a step acts, and goes on inside any loop that step enters. A single-shot per
// check, because Qt does not fire a timer again while its previous timeout is still running.
#pragma once

#include <QElapsedTimer>
#include <QObject>

#include <functional>
#include <string>
#include <vector>

namespace memo::e2e {

class StepDriver {
 public:
  using Condition = std::function<bool()>;
  using Action = std::function<void()>;

  // A step: waits until `ready` holds, then runs `act` once.
  void Then(std::string name, Condition ready, Action act);

  // Starts checking from the first step (the checks run while some loop is running).
  void Start();

  bool finished() const { return next_ == steps_.size(); }
  // The name of the step being waited for, or "" when all have run.
  std::string waiting_for() const;

  // How long a step may wait for what it needs before the program counts as stuck. A guard
  // against a hang, not a measurement: a stuck program ends the test process with a report of
  // the step and of what is on the screen.
  static constexpr int kStuckAfterMs = 60000;

 private:
  struct Step {
    std::string name;
    Condition ready;
    Action act;
  };

  void Check();
  void Schedule(int delay_ms);
  [[noreturn]] void Stuck() const;

  std::vector<Step> steps_;
  size_t next_ = 0;
  QElapsedTimer waiting_;
  // The checks' timers belong to this object: a check still pending when the driver goes (the
  // one scheduled before the last step acted) is dropped instead of running on a freed driver
  // during the next test.
  QObject timers_;
};

// What is on the screen now, for a report: the visible top-level widgets and their texts.
std::string DescribeScreen();

}  // namespace memo::e2e
