// main() of memo: the desktop program on the Qt backend. The entry routine initialises the
// runtime, registers the application's exit routine, loads the login window as the start-up
// window and runs the message loop; the program ends when its last window closes (exit code 0)
// or with the run-time error report (exit code -1).
#include <QApplication>

#include <cstdint>

#include "platform/backend.h"
#include "platform/qt/qt_backend.h"
#include "runtime/program.h"

namespace {

// The start-up window: the login window.
constexpr uint32_t kLoginWindowId = 0x52010009;

// The application's exit routine, which releases its program-wide texts. The application layer
// supplies it; until it does, the end sequence has no exit routine to call.
constexpr memo::ExitRoutine kApplicationExitRoutine = nullptr;

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  memo::platform::qt::QtBackend backend;
  memo::platform::InstallBackend(&backend);
  // The window runtime installs its hooks (window definitions, start-up window) here once it
  // exists; without them loading the start-up window is the fatal error "载入启动窗口失败".
  return memo::RunProgram(kLoginWindowId, kApplicationExitRoutine);
}
