// The window commands of the library, each a CommandRoutine: load and close windows, focus and
// repaint units, and pop up a menu. Window and unit arguments are unit references (a window also
// by its id as an Int).
#pragma once

#include <cstdint>

#include "runtime/value.h"

namespace memo::ui {

// window (Int id or window reference), [parent (unit reference)], [modal (Bool) = false] -> Bool.
void LoadWindowCommand(TypedValue* result, int32_t arg_count, TypedValue* args);
// window or control reference, [at once (Bool/Int) = false] -> nothing.
void CloseWindowCommand(TypedValue* result, int32_t arg_count, TypedValue* args);
// unit reference -> nothing. A window that is not open: fatal error.
void SetFocusCommand(TypedValue* result, int32_t arg_count, TypedValue* args);
void RefreshCommand(TypedValue* result, int32_t arg_count, TypedValue* args);
// window reference, menu item reference, [x (Int)], [y (Int)] -> nothing. Shows the popup of the
// item's sub-items at the mouse pointer moved 3 pixels right and down, x and y replacing the
// respective screen coordinate when given; the chosen item's routine runs. Nothing is shown for
// an item without sub-items or of another window.
void PopupMenuCommand(TypedValue* result, int32_t arg_count, TypedValue* args);

// A unit reference cell: data low the window id, data high the unit id, tag the unit's type.
TypedValue UnitReference(uint32_t window_id, uint32_t unit_id, uint32_t type);

}  // namespace memo::ui
