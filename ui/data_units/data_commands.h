// The data units' library commands, each a CommandRoutine whose first argument is the unit
// reference (data low the WindowId, data high the UnitId). The unit is reached through
// UnitObject: a window that is not open, or a unit it does not have, is the fatal error
// "指定窗口或窗口组件不存在或尚未载入"; a unit of another type gives the empty result.
// Rows and columns are numbered from 1. Text results are new blocks owned by the caller.
#pragma once

#include <cstdint>

#include "runtime/value.h"

namespace memo::ui {

class Unit;

// data source, row (Int), column (Int) -> Text: the cell, "" when the row or column is outside
// the table.
void DataSrcGetCellText(TypedValue* result, int32_t arg_count, TypedValue* args);
// data source, row, column, text (a missing text counts as empty) -> Bool: the cell was written.
void DataSrcSetCellText(TypedValue* result, int32_t arg_count, TypedValue* args);
// data source -> Int.
void DataSrcRowCount(TypedValue* result, int32_t arg_count, TypedValue* args);
// data source, row, [count (Int) = 1] -> Bool (see DataSource::DeleteRows).
void DataSrcDeleteRows(TypedValue* result, int32_t arg_count, TypedValue* args);
// data source, row -> Bool: the row's record is held locked (DataSource::LockRow) / given back.
void DataSrcLockRow(TypedValue* result, int32_t arg_count, TypedValue* args);
void DataSrcUnlockRow(TypedValue* result, int32_t arg_count, TypedValue* args);
// data source -> nothing: the bound views get the save notice.
void DataSrcSave(TypedValue* result, int32_t arg_count, TypedValue* args);
// data source, row (Int) -> Bool: a navigation move to the row (clamped to the table); the bound
// grid puts its cursor there and scrolls it into view. True when the current row changed.
void DataSrcMoveTo(TypedValue* result, int32_t arg_count, TypedValue* args);
// grid -> Int: the row / column of the cursor (the selection's top-left cell).
void GridCursorRow(TypedValue* result, int32_t arg_count, TypedValue* args);
void GridCursorColumn(TypedValue* result, int32_t arg_count, TypedValue* args);

// What the commands do once the unit is found (1-based rows and columns; arguments as above,
// `count` 1 when omitted). For units of another type: "", false, 0.
char* CellTextOfUnit(Unit* unit, int32_t row, int32_t column);
bool SetCellTextOfUnit(Unit* unit, int32_t row, int32_t column, const char* text);
int32_t RowCountOfUnit(Unit* unit);
bool DeleteRowsOfUnit(Unit* unit, int32_t row, int32_t count);
void SaveOfUnit(Unit* unit);
bool LockRowOfUnit(Unit* unit, int32_t row);
bool UnlockRowOfUnit(Unit* unit, int32_t row);
bool MoveToRowOfUnit(Unit* unit, int32_t row);
int32_t CursorRowOfUnit(Unit* unit);
int32_t CursorColumnOfUnit(Unit* unit);

}  // namespace memo::ui
