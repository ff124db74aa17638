// The platform backend: everything the runtime needs from the windowing system, reached through
// one installed object. main() picks the backend (Qt for memo, headless for memo-script and the
// tests) and installs it before the runtime starts; nothing above platform/ names a backend.
//
// Everything here is called on the program's one thread. Texts are GBK.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/font.h"
#include "platform/geometry.h"
#include "platform/menu.h"
#include "platform/window.h"

namespace memo::platform {

// The local clock, in calendar fields.
struct LocalTime {
  int year = 2000;
  int month = 1;  // 1..12
  int day = 1;    // 1..31
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
  int day_of_week = 6;  // 0 Sunday ... 6 Saturday
  friend bool operator==(const LocalTime&, const LocalTime&) = default;
};

// Sizes of the system's window parts that layout rules refer to.
struct SystemMetrics {
  int edge_width = 2;  // a 3-D edge
  int edge_height = 2;
  int border_width = 1;
  int border_height = 1;
  int scroll_bar_width = 17;   // of a vertical bar
  int scroll_bar_height = 17;  // of a horizontal bar
  int caption_height = 23;
  int menu_height = 20;
  int double_click_ms = 500;
};

// What is put on the clipboard at once.
struct ClipboardContent {
  std::optional<std::string> text_gbk;
  std::vector<std::pair<std::string, std::string>> formats;  // (format name, bytes)
  // Without text_gbk: the plain text is the bytes of formats[text_in_format] from text_offset
  // on, so that a large copy holds its text once (-1: no plain text).
  int text_in_format = -1;
  size_t text_offset = 0;
  // The plain text, wherever it is held (valid while the content lives); nullopt when none.
  std::optional<std::string_view> Text() const {
    if (text_gbk) return std::string_view(*text_gbk);
    if (text_in_format < 0 || static_cast<size_t>(text_in_format) >= formats.size()) {
      return std::nullopt;
    }
    std::string_view bytes = formats[static_cast<size_t>(text_in_format)].second;
    return bytes.substr(text_offset < bytes.size() ? text_offset : bytes.size());
  }
};

class Backend {
 public:
  virtual ~Backend() = default;

  // --- Windows -----------------------------------------------------------------------------------

  // A new top-level window, hidden until shown; null when it cannot be created.
  virtual std::unique_ptr<Window> CreateWindow(const WindowStyle& style) = 0;

  // Shows a pop-up menu with its top-left corner at `screen` and waits for the choice: the
  // chosen item's command id, or 0 when the menu was dismissed. Either mouse button chooses.
  virtual int TrackPopupMenu(Window* owner, const std::vector<MenuEntry>& items, Point screen) = 0;

  // Shows a modal message box and returns the button pressed (kIdOk ... kIdNo of
  // platform/message_box.h). `style` is the classic style word: buttons, icon, default button and
  // modality. The box has no owner window.
  virtual int ShowMessageBox(std::string_view text_gbk, std::string_view title_gbk,
                             uint32_t style) = 0;

  // Asks for a password in a modal dialog: caption, a prompt line (may be empty), a password
  // edit box, OK and Cancel. Returns the text on OK (possibly empty), nullopt on Cancel or close.
  virtual std::optional<std::string> AskPassword(std::string_view caption_gbk,
                                                 std::string_view prompt_gbk) = 0;

  // Opens a help file at a topic (0: its contents); false when it cannot be opened.
  virtual bool OpenHelp(std::string_view file_gbk, int topic) = 0;

  // --- Message loop ------------------------------------------------------------------------------
  // Loops nest: the program's loop is depth 1, a modal window's loop inside it depth 2, and so on.

  // How a loop ended.
  enum class LoopExit {
    kQuit,     // a quit was posted; it ends every loop out to the outermost one
    kEnded,    // EndLoop named this loop (or one around it)
    kStalled,  // headless only: nothing left to run and nobody to drive the program
  };
  struct LoopResult {
    LoopExit exit = LoopExit::kQuit;
    int code = 0;  // the quit code for kQuit
  };

  // Runs a message loop one level deeper than the current one: dispatches input and posted
  // tasks, and calls the idle handler whenever the queue is empty. A quit posted before the call
  // and not yet taken ends it at once.
  virtual LoopResult RunLoop() = 0;

  // Depth of the innermost running loop; 0 when none runs.
  virtual int LoopDepth() const = 0;

  // Makes the loop at `depth`, and every loop nested in it, return kEnded as soon as control
  // gets back to it. No effect when no loop runs at that depth.
  virtual void EndLoop(int depth) = 0;

  // Posts the quit message with `code`. It is taken by the innermost running loop (or the next
  // one to run) and ends every loop out to the outermost.
  virtual void PostQuit(int code) = 0;

  // Runs `task` from the message loop after the current routine has returned (FIFO, in whichever
  // loop runs then, nested ones included). The one call that may come from any thread.
  virtual void PostTask(std::function<void()> task) = 0;

  // Called whenever the loop's queue is empty; returns true while it has more idle work (it is
  // then called again before the loop waits). Empty: no idle work.
  virtual void SetIdleHandler(std::function<bool()> idle) = 0;

  // A repeating timer calling `tick` from the loop every `interval_ms`; returns its id (> 0).
  virtual int StartTimer(int interval_ms, std::function<void()> tick) = 0;
  virtual void StopTimer(int timer_id) = 0;

  // Ends the process (or, for the headless backend, unwinds to its driver) with `code`.
  // The runtime's end sequence has already run.
  [[noreturn]] virtual void Terminate(int code) = 0;

  // --- System ------------------------------------------------------------------------------------

  // The mouse pointer's position on the screen.
  virtual Point CursorPosition() = 0;
  virtual Size ScreenSize() = 0;
  virtual SystemMetrics Metrics() = 0;

  // The default GUI font, and measurements of a font and of a text in it.
  virtual FontSpec DefaultGuiFont() = 0;
  virtual FontMetrics MeasureFont(const FontSpec& font) = 0;
  virtual Size MeasureText(const FontSpec& font, std::string_view text_gbk) = 0;

  // The clipboard: a text and private formats registered by name (e.g. "MGridCells"). Setting
  // replaces the whole content; reading gives nullopt when the clipboard has no such data.
  // Takes the content by value: a caller that moves it in hands over its bytes without a copy.
  virtual bool SetClipboard(ClipboardContent content) = 0;
  virtual std::optional<std::string> ClipboardText() = 0;
  virtual std::optional<std::string> ClipboardData(std::string_view format_name) = 0;

  // The full path of the running executable (GBK; `/` separates on Linux).
  virtual std::string ExecutablePath() = 0;

  // The local clock; a millisecond tick count from an arbitrary start; a sleep.
  virtual LocalTime Now() = 0;
  virtual uint32_t TickCount() = 0;
  virtual void Sleep(uint32_t milliseconds) = 0;
};

// The installed backend, or null when none is (tools that show no windows, and unit tests of
// layers that do not need one).
Backend* CurrentBackend();

// Installs `backend` (not owned; must outlive its installation) and returns the previous one.
// Pass null to uninstall.
Backend* InstallBackend(Backend* backend);

}  // namespace memo::platform
