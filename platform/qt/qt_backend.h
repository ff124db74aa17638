// The Qt backend: the seam mapped onto Qt 6 Widgets. Message boxes are QMessageBox, nested loops
// QEventLoop, idle work a zero-timer armed when the event loop is about to wait, texts GBK
// converted at every widget. REQUIRES: a QApplication exists for the backend's whole life.
#pragma once

#include <QObject>
#include <QPointer>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/backend.h"
#include "platform/loop_nest.h"

class QEventLoop;
class QTimer;

namespace memo::platform::qt {

class QtBackend : public QObject, public Backend {
 public:
  QtBackend();
  ~QtBackend() override;
  QtBackend(const QtBackend&) = delete;
  QtBackend& operator=(const QtBackend&) = delete;

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
  void SetIdleHandler(std::function<bool()> idle) override;
  int StartTimer(int interval_ms, std::function<void()> tick) override;
  void StopTimer(int timer_id) override;
  [[noreturn]] void Terminate(int code) override;
  Point CursorPosition() override;
  Size ScreenSize() override;
  SystemMetrics Metrics() override;
  FontSpec DefaultGuiFont() override;
  FontMetrics MeasureFont(const FontSpec& font) override;
  Size MeasureText(const FontSpec& font, std::string_view text_gbk) override;
  bool SetClipboard(ClipboardContent content) override;
  std::optional<std::string> ClipboardText() override;
  std::optional<std::string> ClipboardData(std::string_view format_name) override;
  std::string ExecutablePath() override;
  LocalTime Now() override;
  uint32_t TickCount() override;
  void Sleep(uint32_t milliseconds) override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void LoopAboutToWait();
  void RunIdle();

  LoopNest loops_;
  std::vector<QEventLoop*> event_loops_;  // one per running loop, as loops_ counts them
  std::function<bool()> idle_;
  bool idle_due_ = true;           // something happened since the idle work last ran
  QTimer* idle_timer_ = nullptr;   // owned (child)
  std::map<int, QTimer*> timers_;  // owned (children)
  int next_timer_ = 1;
};

// The MIME type under which a private clipboard format of that name is kept.
QString ClipboardMimeType(std::string_view format_name);

}  // namespace memo::platform::qt
