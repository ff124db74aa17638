// The desktop program's start, between main() and the application's entry routine: its two
// options, the data directory made ready, one program per book, then the book itself.
#pragma once

#include <string>

#include "platform/data_directory.h"

namespace memo::platform {
class Backend;
}

namespace memo::desktop {

enum class EarlyRequest {
  kRun,      // no option of ours: start the program
  kHelp,     // --help or -h
  kVersion,  // --version
};

// Looks for --help/-h and --version before anything else (in particular before the windowing
// system is reached, so that both work without a display). The first of them wins; every other
// argument is left for the windowing toolkit's own options and CheckLeftoverArguments.
EarlyRequest FindEarlyRequest(int argc, char** argv);

// What `memo --help` prints: usage, the options, where the book lives (the chosen directory and
// why), how the directory is chosen, the files, and the related programs.
std::string HelpText(const platform::DataDirectoryChoice& choice);

// What `memo --version` prints: name and version, licence-free one-liner.
std::string VersionText();

// Arguments left after the windowing toolkit took its own: none is ours. Empty when none is
// left, else the message for standard error.
std::string CheckLeftoverArguments(int argc, char** argv);

// Prepares the data directory, makes sure no other memo runs on it (else asks that one to come to
// the front and returns 0), makes it the program's run directory and runs the memo book. A data
// directory that cannot be used is reported on standard error and in a message box, and gives
// exit code 1. REQUIRES: the Qt backend is installed and a QApplication exists.
int RunDesktop(const platform::DataDirectoryChoice& choice,
               const std::string& runtime_directory = std::string());

}  // namespace memo::desktop
