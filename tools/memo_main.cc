// main() of memo: the desktop program on the Qt backend. The application's entry routine does
// the rest; the program ends when its last window closes (exit code 0) or with the run-time error
// report (exit code -1).
#include <QApplication>

#include "app/entry.h"
#include "platform/backend.h"
#include "platform/qt/qt_backend.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  memo::platform::qt::QtBackend backend;
  memo::platform::InstallBackend(&backend);
  return memo::app::RunMemo();
}
