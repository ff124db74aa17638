#include <array>

#include "app/routines.h"
#include "app/windows/program_routines.h"

namespace memo::app {

namespace {

using ui::ProgramRoutine;

// Routines by their number; a number without an entry resolves to no routine.
std::array<ui::EventRoutine, ui::kProgramRoutineCount> MakeTable() {
  std::array<ui::EventRoutine, ui::kProgramRoutineCount> table{};
  auto set = [&table](ProgramRoutine number, ui::EventRoutine routine) {
    table[static_cast<size_t>(number)] = routine;
  };
  set(ProgramRoutine::kLoginWindowCreated, LoginWindowCreated);
  set(ProgramRoutine::kLogin, Login);
  set(ProgramRoutine::kLoginAccountKey, LoginAccountKey);
  set(ProgramRoutine::kLoginPasswordKey, LoginPasswordKey);
  set(ProgramRoutine::kRefreshMainWindow, MainWindowCreated);
  set(ProgramRoutine::kAddMemo, AddMemoClicked);
  set(ProgramRoutine::kMemoTextKey, MemoTextKey);
  set(ProgramRoutine::kDeleteMemo, DeleteMemoClicked);
  set(ProgramRoutine::kQueryByCategory, QueryClicked);
  set(ProgramRoutine::kShowGridMenu, ShowGridMenu);
  set(ProgramRoutine::kOpenFollowUp, OpenFollowUp);
  set(ProgramRoutine::kOpenPasswordWindow, OpenPasswordWindow);
  set(ProgramRoutine::kOpenIntroduction, OpenIntroduction);
  set(ProgramRoutine::kFollowUpWindowCreated, FollowUpWindowCreated);
  set(ProgramRoutine::kShowFollowUpEntry, ShowFollowUpEntry);
  set(ProgramRoutine::kAppendFollowUp, AppendFollowUpClicked);
  set(ProgramRoutine::kFollowUpEntryKey, FollowUpEntryKey);
  set(ProgramRoutine::kPasswordWindowCreated, PasswordWindowCreated);
  set(ProgramRoutine::kChangePassword, ChangePassword);
  set(ProgramRoutine::kCloseIntroduction, CloseIntroduction);
  set(ProgramRoutine::kCheckGridEdit, CheckGridEdit);
  return table;
}

}  // namespace

const ui::EventRoutine* RoutineTable() {
  static const std::array<ui::EventRoutine, ui::kProgramRoutineCount> table = MakeTable();
  return table.data();
}

}  // namespace memo::app
