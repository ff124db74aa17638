// General library commands that reach the platform: the message box, the local clock, the run
// directory and the mouse position. Each is a CommandRoutine; none reports a run-time error
// (allocation failure of a result block aside).
#pragma once

#include <cstdint>

#include "runtime/value.h"

namespace memo {

// message (any type), [buttons (Int) = 0], [title (Text) = "信息："] -> Int: the button pressed
// (OK 0, Cancel 1, Abort 2, Retry 3, Ignore 4, Yes 5, No 6; -1 when no box could be shown).
// The message is converted by the value-to-text rules (other types show an empty message); the
// box is ownerless and task-modal unless the buttons argument asks for system-modal (4096).
void ShowMessageBox(TypedValue* result, int32_t arg_count, TypedValue* args);

// -> DateTime: the local date and time in whole seconds.
void CurrentDateTime(TypedValue* result, int32_t arg_count, TypedValue* args);

// -> Text: the directory of the running executable, without a trailing separator (null when it
// is the root directory).
void GetRunDirectory(TypedValue* result, int32_t arg_count, TypedValue* args);

// -> Int: the mouse pointer's horizontal screen coordinate.
void GetMouseX(TypedValue* result, int32_t arg_count, TypedValue* args);

// The style word ShowMessageBox passes for a buttons argument: task-modal (8192) added unless
// system-modal (4096) is asked for.
uint32_t MessageBoxStyle(int32_t buttons);

// The command's result for a box's button id (IDOK 1 ... IDNO 7 -> 0 ... 6; anything else -1).
int32_t MessageBoxResult(int button_id);

}  // namespace memo
