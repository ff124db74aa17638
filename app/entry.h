// The application's entry routine, as every program that runs the memo book calls it: the
// installed platform backend decides whether that is the desktop (Qt) or memo-script (headless).
#pragma once

namespace memo::app {

// Hands the routine table and the carried window definitions to the window runtime, then runs
// the program: the runtime's initialisation, the exit routine registered, the login window loaded
// as the start-up window, the message loop until the last window closes. Returns the exit code 0;
// a fatal condition ends the program through the run-time error report instead.
int RunMemo();

}  // namespace memo::app
