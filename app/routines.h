// The application's routines, each bound to an event in the window definitions. They take the
// event call (its arguments) and, like every routine of this program, return nothing.
#pragma once

#include "ui/window/events.h"

namespace memo::app {

// login window
void LoginWindowCreated(ui::EventCall& call);
void Login(ui::EventCall& call);
void LoginAccountKey(ui::EventCall& call);
void LoginPasswordKey(ui::EventCall& call);

// main window
void MainWindowCreated(ui::EventCall& call);
void AddMemoClicked(ui::EventCall& call);
void MemoTextKey(ui::EventCall& call);
void DeleteMemoClicked(ui::EventCall& call);
void QueryClicked(ui::EventCall& call);
void ShowGridMenu(ui::EventCall& call);
void OpenFollowUp(ui::EventCall& call);
void OpenPasswordWindow(ui::EventCall& call);
void OpenIntroduction(ui::EventCall& call);
void CheckGridEdit(ui::EventCall& call);

// follow-up window
void FollowUpWindowCreated(ui::EventCall& call);
void ShowFollowUpEntry(ui::EventCall& call);
void AppendFollowUpClicked(ui::EventCall& call);
void FollowUpEntryKey(ui::EventCall& call);

// password change window
void PasswordWindowCreated(ui::EventCall& call);
void ChangePassword(ui::EventCall& call);

// introduction window
void CloseIntroduction(ui::EventCall& call);

// The routine table, in the order of ui::ProgramRoutine.
const ui::EventRoutine* RoutineTable();

}  // namespace memo::app
