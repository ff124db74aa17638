// The one rule of nested message loops and the quit message, kept by every backend's RunLoop,
// EndLoop and PostQuit so that a modal window behaves the same on each:
//
//   - Loops nest: the program's loop is depth 1, a modal window's loop inside it depth 2, ...
//   - EndLoop(d) ends loop d and every loop nested in it; each returns kEnded as soon as control
//     gets back to it. Ending a depth that does not run (or < 1) does nothing.
//   - A posted quit ends every loop out to the outermost: each loop that sees it returns kQuit
//     with the code, and the outermost (depth 1) takes it for good. A quit posted while no loop
//     runs is taken by the next loop to run, which is then the outermost.
//
// LoopNest holds the state of that rule (the ended flags of the running loops and the pending
// quit); the backend keeps whatever it needs beside it to wake a loop (Qt's QEventLoop).
#pragma once

#include <optional>
#include <vector>

namespace memo::platform {

class LoopNest {
 public:
  // Depth of the innermost running loop; 0 when none runs.
  int depth() const { return static_cast<int>(ended_.size()); }

  // A loop starts one level deeper; returns its depth.
  int Enter();
  // The loop at `depth` returns: it and any loop still marked inside it are gone.
  void Leave(int depth);

  // Marks the loop at `depth` and every loop nested in it ended. Returns the depth of the first
  // loop marked (the rest follow up to depth()), or 0 when none was.
  int End(int depth);
  bool ended(int depth) const;

  void PostQuit(int code);
  std::optional<int> pending_quit() const;
  // What the loop at `depth` does with a pending quit: the code when there is one (the loop
  // returns kQuit with it), which the outermost loop takes for good; nullopt when none is pending.
  std::optional<int> TakeQuit(int depth);

 private:
  std::vector<bool> ended_;  // one per running loop, outermost first
  bool quit_pending_ = false;
  int quit_code_ = 0;
};

}  // namespace memo::platform
