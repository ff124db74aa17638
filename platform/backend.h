// The platform backend: everything the runtime needs from the windowing system, reached through
// one installed object. main() picks the backend (Qt for memo, headless for memo-script and the
// tests) and installs it before the runtime starts; nothing above platform/ names a backend.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace memo::platform {

class Backend {
 public:
  virtual ~Backend() = default;

  // Shows a modal message box and returns the button pressed (kIdOk ... kIdNo of
  // platform/message_box.h). `style` is the classic style word: buttons, icon, default button and
  // modality. The box has no owner window. Texts are GBK.
  virtual int ShowMessageBox(std::string_view text_gbk, std::string_view title_gbk,
                             uint32_t style) = 0;

  // The full path of the running executable (GBK; `/` separates on Linux).
  virtual std::string ExecutablePath() = 0;

  // --- Message loop -----------------------------------------------------------------------------
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

  // Posts the quit message with `code`.
  virtual void PostQuit(int code) = 0;

  // Runs `task` from the message loop after the current routine has returned (FIFO).
  virtual void PostTask(std::function<void()> task) = 0;

  // Called whenever the loop's queue is empty; returns true while it has more idle work (it is
  // called again before the loop waits). Empty: no idle work.
  virtual void SetIdleHandler(std::function<bool()> idle) = 0;

  // Ends the process (or, for the headless backend, unwinds to its driver) with `code`.
  // The runtime's end sequence has already run.
  [[noreturn]] virtual void Terminate(int code) = 0;
};

// The installed backend, or null when none is (tools that show no windows, and unit tests of
// layers that do not need one).
Backend* CurrentBackend();

// Installs `backend` (not owned; must outlive its installation) and returns the previous one.
// Pass null to uninstall.
Backend* InstallBackend(Backend* backend);

}  // namespace memo::platform
