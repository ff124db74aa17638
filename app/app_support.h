// The small vocabulary the application's routines are written in: unit references, property
// reads and writes with the type checks the routines make, message boxes in the application's
// own style, and the database commands it calls. Everything goes through library commands and
// the runtime's property services; texts are runtime-heap blocks owned by the caller (TextOwner).
#pragma once

#include <cstdint>

#include "runtime/heap.h"
#include "runtime/value.h"
#include "ui/window/property_numbers.h"
#include "ui/window/window_runtime.h"

namespace memo::app {

// A unit reference of the given type.
TypedValue Ref(uint32_t window_id, uint32_t unit_id, uint32_t type);

// A property of a unit as text: by default the type's first own property (an edit box's
// content, a label's text, a window's caption, a provider's file name). A value that is not text
// is a type-mismatch run-time error.
char* ReadText(uint32_t window_id, uint32_t unit_id, int32_t number = ui::property::kFirstOwn);
void WriteText(uint32_t window_id, uint32_t unit_id, const char* text,
               int32_t number = ui::property::kFirstOwn);
void WriteInt(uint32_t window_id, uint32_t unit_id, int32_t number, int32_t value);

// Gives a unit the input focus.
void Focus(uint32_t window_id, uint32_t unit_id, uint32_t type);

// Loads one of the program's windows, without a parent, through the load-window command.
void OpenWindow(uint32_t window_id, ui::WindowMode mode);

// A message box titled "温馨提示" with the application's buttons (0 OK, 1 OK and Cancel);
// returns the button pressed (0 OK, 1 Cancel).
int32_t Remind(const char* text, int32_t buttons = 0);

// A save or a query that could not be completed, told the user in one box titled "温馨提示" with
// the warning icon: "保存失败：" (or "查询失败："), the file's name, a line break and the engine's
// message for `code` (for example "保存失败：a.mcn\n加锁失败"). The caller keeps what was typed.
void ReportSaveFailure(const char* file, int code);
void ReportQueryFailure(const char* file, int code);
// The engine code the latest database command left in this thread's last-error cell.
int LastEngineCode();

// Opens a database file with every optional argument omitted; true when it opened (it is then
// the current database).
bool OpenDatabase(const char* name);
// The same with access 1: read-only, for a routine that writes nothing.
bool OpenDatabaseForReading(const char* name);
// Opens a database file for writing and closes it again: 0 when it can be written now, else the
// engine code of the open (missing, write-protected, held by another program). The registry's
// current database is none afterwards.
int ProbeForWriting(const char* name);
// Closes the current database.
void CloseDatabase();
// A field of the current record as text; a value that is not text is run-time error 5.
char* ReadTextField(const char* field);

// Texts equal by the application's comparison (byte for byte; null equals the empty text).
bool SameText(const char* a, const char* b);

}  // namespace memo::app

namespace memo::app {

// --- Combo boxes (through the library's combo box commands) ---
// The index of the first item that equals `text` by the application's comparison, or -1.
int32_t ComboFind(uint32_t window_id, uint32_t unit_id, const char* text);
void ComboAdd(uint32_t window_id, uint32_t unit_id, const char* text);
void ComboClearItems(uint32_t window_id, uint32_t unit_id);

// --- The main window's grid chain: the data source 数据源1 (1-based rows and columns), the grid
// 表格1 and the provider 数据库提供者1 ---
char* CellText(int32_t row, int32_t column);
bool SetCellText(int32_t row, int32_t column, const char* text);
int32_t RowCount();
// Whether data-source row `row` shows the memo with that category, time and text. The time is
// read first and the other cells only when it matches: a search over the table then reads one
// cell of every other row instead of three.
bool RowShowsMemo(int32_t row, const char* category, const char* time, const char* text);
bool DeleteRow(int32_t row);
// Holds / gives back the record lock of data-source row `row` across a read and a write of it.
bool LockRow(int32_t row);
bool UnlockRow(int32_t row);
void SaveDataSource();
// Moves the data source's current row, and with it the grid's cursor, to `row` (clamped), and
// scrolls it into view.
void MoveToRow(int32_t row);
int32_t GridCursorRow();
int32_t GridCursorColumn();
// Redraws the provider and the grid at once.
void RefreshProvider();
void RefreshGrid();
// The provider's file name (property 8): "a.mcn", "b.mcn" or empty.
char* ProviderFile();
void SetProviderFile(const char* name);

// --- The current database ---
int32_t RecordCount();
void SkipRecord();
void MoveToFirstRecord();
// Clears every record of the current database; true when it did.
bool ClearRecords();

}  // namespace memo::app
