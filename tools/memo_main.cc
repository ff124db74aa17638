// main() of memo: the desktop program on the Qt backend. --help and --version are answered before
// the windowing system is reached (they work without a display); the data directory is chosen
// first, since --help names it. The application's entry routine does the rest; the program ends
// when its last window closes (exit code 0) or with the run-time error report (exit code -1).
#include <cstdio>

#include "platform/backend.h"
#include "platform/data_directory.h"
#include "platform/qt/qt_application.h"
#include "platform/qt/qt_backend.h"
#include "tools/desktop/desktop_start.h"

int main(int argc, char** argv) {
  using memo::desktop::EarlyRequest;
  const memo::platform::DataDirectoryChoice choice =
      memo::platform::ChooseDataDirectory(memo::platform::ProcessDataDirectoryInputs());
  switch (memo::desktop::FindEarlyRequest(argc, argv)) {
    case EarlyRequest::kHelp: std::fputs(memo::desktop::HelpText(choice).c_str(), stdout); return 0;
    case EarlyRequest::kVersion: std::fputs(memo::desktop::VersionText().c_str(), stdout); return 0;
    case EarlyRequest::kRun: break;
  }
  memo::platform::qt::QtApplication application(argc, argv);  // takes the toolkit's own options
  std::string leftover = memo::desktop::CheckLeftoverArguments(argc, argv);
  if (!leftover.empty()) {
    std::fputs(leftover.c_str(), stderr);
    return 2;
  }
  memo::platform::qt::QtBackend backend;
  memo::platform::InstallBackend(&backend);
  return memo::desktop::RunDesktop(choice);
}
