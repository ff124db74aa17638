// The headless backend: the whole windowing system in memory, deterministic, and driven by a
// program (memo-script or a test) instead of a person.
//
// - Message boxes, pop-up menus and password dialogs are answered from queues that the driver
//   fills beforehand, and every one shown is recorded.
// - The clock, the mouse position, the executable's path and the tick count are whatever the
//   driver set; time moves only when the driver (or Sleep) moves it.
// - The message loop runs posted tasks, then idle work, then asks the driver for the next step;
//   with no driver, or when the driver has nothing more, the loop returns kStalled.
// - Ending the program throws ProgramEnded{code}, which unwinds to the driver.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/backend.h"
#include "platform/headless/headless_window.h"
#include "platform/loop_nest.h"

namespace memo::platform {

// Thrown by HeadlessBackend::Terminate: the program has ended with `code`.
struct ProgramEnded {
  int code = 0;
};

// A message box as it was shown.
struct ShownBox {
  std::string title_gbk;
  std::string text_gbk;
  uint32_t style = 0;
  int result = 0;  // the button id it was answered with
  // The queued answer was not one of its buttons (or `close` for a box whose close control is
  // disabled); the box was answered with its close result or its default button instead.
  bool answer_refused = false;
};

// A pop-up menu as it was shown.
struct ShownPopup {
  std::vector<std::string> captions_gbk;  // its items, top level, in order ("-" for separators)
  Point position;
  int result = 0;               // the command id chosen, 0 when dismissed
  std::string choice_gbk;       // the queued choice taken for it, or empty
  bool choice_missing = false;  // a choice was queued but no enabled item had its caption
};

// A password dialog as it was shown.
struct ShownPasswordDialog {
  std::string caption_gbk;
  std::string prompt_gbk;
  bool answered = false;  // true: OK with a text; false: cancelled
};

class HeadlessBackend : public Backend {
 public:
  HeadlessBackend();
  ~HeadlessBackend() override;
  HeadlessBackend(const HeadlessBackend&) = delete;
  HeadlessBackend& operator=(const HeadlessBackend&) = delete;

  // --- Answers, queued in order.

  // The next box is answered with button `id`; nullopt answers it with the close control.
  void QueueBoxAnswer(std::optional<int> id);
  // The next pop-up menu picks the enabled item with this caption (searched depth first, "&"
  // marks ignored); an empty caption dismisses it.
  void QueuePopupChoice(std::string caption_gbk);
  // The next password dialog is answered with this text (OK) or cancelled (nullopt).
  void QueuePasswordAnswer(std::optional<std::string> text_gbk);
  size_t pending_box_answers() const { return box_answers_.size(); }
  size_t pending_popup_choices() const { return popup_choices_.size(); }

  // --- Records.
  const std::vector<ShownBox>& boxes() const { return boxes_; }
  const std::vector<ShownPopup>& popups() const { return popups_; }
  const std::vector<ShownPasswordDialog>& password_dialogs() const { return password_dialogs_; }
  // Called as each box / pop-up is shown and answered (tracing).
  std::function<void(const ShownBox&)> on_box;
  std::function<void(const ShownPopup&)> on_popup;

  // --- The world.
  void SetClock(const LocalTime& time) { clock_ = time; }
  void SetCursorPosition(Point position) { cursor_ = position; }
  void SetExecutablePath(std::string path_gbk) { executable_path_ = std::move(path_gbk); }
  void SetScreenSize(Size size) { screen_ = size; }
  // Moves the tick count on and fires the timers that fall due (the clock stays as set).
  void AdvanceTime(uint32_t milliseconds);

  // --- The loop's driver: called when the loop has nothing else to do; returns false when it has
  // no more input (the loop then returns kStalled).
  void SetDriver(std::function<bool()> driver) { driver_ = std::move(driver); }
  size_t pending_tasks() const;
  // Runs posted tasks until none is left (outside any loop; tests).
  void RunPendingTasks();
  // A quit posted and not yet taken by a loop.
  std::optional<int> pending_quit() const;

  // --- Windows, newest last; the window with the focus.
  const std::vector<HeadlessWindow*>& windows() const { return windows_; }
  HeadlessWindow* active_window() const { return active_; }
  Control* focus() const { return focus_; }

  // Backend
  std::unique_ptr<Window> CreateWindow(const WindowStyle& style) override;
  int TrackPopupMenu(Window* owner, const std::vector<MenuEntry>& items, Point screen) override;
  int ShowMessageBox(std::string_view text_gbk, std::string_view title_gbk,
                     uint32_t style) override;
  std::optional<std::string> AskPassword(std::string_view caption_gbk,
                                         std::string_view prompt_gbk) override;
  bool OpenHelp(std::string_view file_gbk, int topic) override;
  LoopResult RunLoop() override;
  int LoopDepth() const override { return loops_.depth(); }
  void EndLoop(int depth) override;
  void PostQuit(int code) override;
  void PostTask(std::function<void()> task) override;
  void SetIdleHandler(std::function<bool()> idle) override { idle_ = std::move(idle); }
  int StartTimer(int interval_ms, std::function<void()> tick) override;
  void StopTimer(int timer_id) override;
  [[noreturn]] void Terminate(int code) override;
  Point CursorPosition() override { return cursor_; }
  Size ScreenSize() override { return screen_; }
  SystemMetrics Metrics() override { return SystemMetrics{}; }
  FontSpec DefaultGuiFont() override;
  FontMetrics MeasureFont(const FontSpec& font) override;
  Size MeasureText(const FontSpec& font, std::string_view text_gbk) override;
  bool SetClipboard(ClipboardContent content) override;
  std::optional<std::string> ClipboardText() override;
  std::optional<std::string> ClipboardData(std::string_view format_name) override;
  std::string ExecutablePath() override { return executable_path_; }
  LocalTime Now() override { return clock_; }
  uint32_t TickCount() override { return static_cast<uint32_t>(ticks_); }
  void Sleep(uint32_t milliseconds) override { AdvanceTime(milliseconds); }

  // Help files opened (file, topic), in order.
  const std::vector<std::pair<std::string, int>>& help_opened() const { return help_opened_; }

 private:
  friend class HeadlessWindow;
  template <typename Base>
  friend class HeadlessControl;

  // The oldest posted task, or an empty function.
  std::function<void()> TakeTask();

  // Moves the focus, sending focus-lost and focus-gained through the windows' on_input.
  void MoveFocus(Control* to);
  void WindowDestroyed(HeadlessWindow* window);
  void ControlDestroyed(Control* control);
  void SetActive(HeadlessWindow* window) { active_ = window; }
  uint64_t NextWindowSerial() { return ++last_window_serial_; }
  bool WindowAlive(uint64_t serial) const;

  struct Timer {
    int interval = 1;
    uint64_t due = 0;
    std::function<void()> tick;
  };

  std::deque<std::optional<int>> box_answers_;
  std::deque<std::string> popup_choices_;
  std::deque<std::optional<std::string>> password_answers_;
  std::vector<ShownBox> boxes_;
  std::vector<ShownPopup> popups_;
  std::vector<ShownPasswordDialog> password_dialogs_;
  std::vector<std::pair<std::string, int>> help_opened_;

  LocalTime clock_;
  Point cursor_;
  Size screen_{1024, 768};
  std::string executable_path_ = "/memo";
  uint64_t ticks_ = 0;

  LoopNest loops_;
  // Posted tasks; PostTask may come from any thread.
  mutable std::mutex tasks_mutex_;
  std::deque<std::function<void()>> tasks_;
  std::function<bool()> idle_;
  std::function<bool()> driver_;
  std::map<int, Timer> timers_;
  int next_timer_ = 1;

  std::vector<HeadlessWindow*> windows_;
  uint64_t last_window_serial_ = 0;
  HeadlessWindow* active_ = nullptr;
  Control* focus_ = nullptr;
  ClipboardContent clipboard_;
};

}  // namespace memo::platform
