#include "app/entry.h"

#include "app/program_state.h"
#include "app/routines.h"
#include "app/windows/carried_segment.h"
#include "app/windows/program_routines.h"
#include "runtime/program.h"
#include "ui/window/events.h"
#include "ui/window/window_runtime.h"

namespace memo::app {

int RunMemo() {
  ui::SetRoutineTable(RoutineTable(), ui::kProgramRoutineCount);
  ui::InstallWindowRuntime(ui::kCarriedSegment, ui::kCarriedSegmentSize);
  return RunProgram(ui::kLoginWindowId, ExitRoutine);
}

}  // namespace memo::app
