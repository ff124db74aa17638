// The database commands, each a CommandRoutine working on the DatabaseRegistry and its current
// database. Every command first clears the calling thread's last-error cell and leaves the engine
// code of its work there; a logical result is false exactly when that code is not 0. Only
// ReadField reports run-time errors (no current database; a field that does not exist).
#pragma once

#include <cstdint>

#include "runtime/value.h"

namespace memo::db {

// file name (Text), [alias (Text)], [access (Int) = 0], [share mode (Int) = 1], [ignored],
// [password (Text); "?" asks], [index file names (Text or Text array) ...] -> Bool.
// On success the new database becomes current.
void OpenDatabase(TypedValue* result, int32_t arg_count, TypedValue* args);

// [name (Text)] -> nothing. Without a name the current database is closed.
void CloseDatabase(TypedValue* result, int32_t arg_count, TypedValue* args);

// -> Int: the current database's record count (0 and -67 when there is none).
void GetRecordCount(TypedValue* result, int32_t arg_count, TypedValue* args);

// -> nothing: current record 0 (-67 when there is no current database).
void MoveToFirstRecord(TypedValue* result, int32_t arg_count, TypedValue* args);

// [count (Int) = 1] -> Bool.
void SkipRecords(TypedValue* result, int32_t arg_count, TypedValue* args);

// field (Text name, or 1-based number) -> the field's value of the current record, tagged by the
// field's type (the empty value of that type on failure). No current database: run-time error
// "未指定当前数据库或者指定数据库未打开"; no such field: run-time error "指定字段不存在".
void ReadFieldValue(TypedValue* result, int32_t arg_count, TypedValue* args);

// [values ...] in field order -> Bool.
void AddRecordValues(TypedValue* result, int32_t arg_count, TypedValue* args);
void ModifyRecordValues(TypedValue* result, int32_t arg_count, TypedValue* args);

// -> Bool: every record removed (the next serial stays).
void ClearAllRecords(TypedValue* result, int32_t arg_count, TypedValue* args);

// target file name (Text), key field name(s) (Text or Text array), [ascending flag(s) (Bool or
// Bool array)], [condition (Bool or SubStatement)], [names of the fields to copy (Text) ...]
// -> Bool.
void SortIntoFile(TypedValue* result, int32_t arg_count, TypedValue* args);

}  // namespace memo::db
