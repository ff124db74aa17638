// The run routines of the step table (step_world.cc, step_actions.cc, step_grids.cc,
// step_checks.cc).
#pragma once

#include "tools/script/steps.h"

namespace memo::script {

// The world and the queues.
void RunClock(ScriptRunner& runner, const Step& step);
void RunMouse(ScriptRunner& runner, const Step& step);
void RunAnswer(ScriptRunner& runner, const Step& step);
void RunChoose(ScriptRunner& runner, const Step& step);
void RunPutFile(ScriptRunner& runner, const Step& step);
void RunRemoveFile(ScriptRunner& runner, const Step& step);
void RunWaitFile(ScriptRunner& runner, const Step& step);
void RunCopyFile(ScriptRunner& runner, const Step& step);
void RunHoldFile(ScriptRunner& runner, const Step& step);
void RunReleaseFile(ScriptRunner& runner, const Step& step);
void RunReadOnly(ScriptRunner& runner, const Step& step);

// A person acting.
void RunType(ScriptRunner& runner, const Step& step);
void RunKey(ScriptRunner& runner, const Step& step);
void RunClick(ScriptRunner& runner, const Step& step);
void RunSelect(ScriptRunner& runner, const Step& step);
void RunMenu(ScriptRunner& runner, const Step& step);
void RunClose(ScriptRunner& runner, const Step& step);

// The grids (step_grids.cc).
void RunCell(ScriptRunner& runner, const Step& step);
void RunEdit(ScriptRunner& runner, const Step& step);
void RunExpectRows(ScriptRunner& runner, const Step& step);
void RunExpectCell(ScriptRunner& runner, const Step& step);
void RunExpectCursor(ScriptRunner& runner, const Step& step);
void RunExpectInView(ScriptRunner& runner, const Step& step);

// Expectations.
void RunExpectBox(ScriptRunner& runner, const Step& step);
void RunExpectNoBox(ScriptRunner& runner, const Step& step);
void RunExpectProperty(ScriptRunner& runner, const Step& step);
void RunExpectTitle(ScriptRunner& runner, const Step& step);
void RunExpectOpen(ScriptRunner& runner, const Step& step);
void RunExpectClosed(ScriptRunner& runner, const Step& step);
void RunExpectFocus(ScriptRunner& runner, const Step& step);
void RunExpectItems(ScriptRunner& runner, const Step& step);
void RunExpectSel(ScriptRunner& runner, const Step& step);
void RunExpectPopup(ScriptRunner& runner, const Step& step);
void RunExpectFile(ScriptRunner& runner, const Step& step);
void RunExpectNoFile(ScriptRunner& runner, const Step& step);
void RunExpectMd5(ScriptRunner& runner, const Step& step);
void RunExpectShown(ScriptRunner& runner, const Step& step);
void RunExpectExit(ScriptRunner& runner, const Step& step);

}  // namespace memo::script
