// The advanced grid's library commands, each a CommandRoutine whose first argument is the grid's
// unit reference (data low the window id, data high the unit id). The live grid is reached
// through UnitObject: a window that is not open, or a unit that does not exist or is no advanced
// grid, ends the program with "指定窗口或窗口组件不存在或尚未载入". The arguments after the
// reference are those of ui/advanced_grid/egrid_command_ops.h.
#pragma once

#include <cstdint>

#include "runtime/value.h"

namespace memo::ui {

void EGridCurrentRow(TypedValue* result, int32_t arg_count, TypedValue* args);
void EGridCurrentColumn(TypedValue* result, int32_t arg_count, TypedValue* args);
void EGridGetCell(TypedValue* result, int32_t arg_count, TypedValue* args);
void EGridSetCell(TypedValue* result, int32_t arg_count, TypedValue* args);
void EGridSetColumnWidth(TypedValue* result, int32_t arg_count, TypedValue* args);
void EGridInsertRow(TypedValue* result, int32_t arg_count, TypedValue* args);
void EGridReset(TypedValue* result, int32_t arg_count, TypedValue* args);

}  // namespace memo::ui
