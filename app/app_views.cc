// The application's access to the combo boxes, the main window's grid chain and the record cursor
// of the current database: every call goes through a library command.
#include "app/app_support.h"
#include "app/window_units.h"
#include "db/db_commands.h"
#include "runtime/dispatch.h"
#include "runtime/fatal.h"
#include "runtime/literal.h"
#include "ui/controls/combo_commands.h"
#include "ui/data_units/data_commands.h"
#include "ui/window/window_commands.h"

namespace memo::app {

namespace {

namespace mw = main_window;

TypedValue Combo(uint32_t window_id, uint32_t unit_id) {
  return Ref(window_id, unit_id, ui::unit_type::kComboBox);
}
TypedValue DataSource() { return Ref(mw::kWindow, mw::kDataSource, ui::unit_type::kDataSrc); }
TypedValue Grid() { return Ref(mw::kWindow, mw::kGrid, ui::unit_type::kGrid); }

}  // namespace

int32_t ComboFind(uint32_t window_id, uint32_t unit_id, const char* text) {
  ArgList args{Combo(window_id, unit_id), TextValue(NonNullText(text))};
  return CallInt(ui::ComboFindItem, args);
}

void ComboAdd(uint32_t window_id, uint32_t unit_id, const char* text) {
  ArgList args{Combo(window_id, unit_id), TextValue(NonNullText(text))};
  CallCommand(ui::ComboAddItem, args);
}

void ComboClearItems(uint32_t window_id, uint32_t unit_id) {
  ArgList args{Combo(window_id, unit_id)};
  CallCommand(ui::ComboClear, args);
}

char* CellText(int32_t row, int32_t column) {
  ArgList args{DataSource(), IntValue(row), IntValue(column)};
  return CallText(ui::DataSrcGetCellText, args).Take();
}

bool SetCellText(int32_t row, int32_t column, const char* text) {
  ArgList args{DataSource(), IntValue(row), IntValue(column), TextValue(NonNullText(text))};
  return CallBool(ui::DataSrcSetCellText, args);
}

int32_t RowCount() {
  ArgList args{DataSource()};
  return CallInt(ui::DataSrcRowCount, args);
}

bool RowShowsMemo(int32_t row, const char* category, const char* time, const char* text) {
  {
    TextOwner shown(CellText(row, 2));
    if (!SameText(shown.get(), time)) return false;
  }
  {
    TextOwner shown(CellText(row, 3));
    if (!SameText(shown.get(), text)) return false;
  }
  TextOwner shown(CellText(row, 1));
  return SameText(shown.get(), category);
}

bool DeleteRow(int32_t row) {
  ArgList args{DataSource(), IntValue(row)};
  return CallBool(ui::DataSrcDeleteRows, args);
}

bool LockRow(int32_t row) {
  ArgList args{DataSource(), IntValue(row)};
  return CallBool(ui::DataSrcLockRow, args);
}

bool UnlockRow(int32_t row) {
  ArgList args{DataSource(), IntValue(row)};
  return CallBool(ui::DataSrcUnlockRow, args);
}

void SaveDataSource() {
  ArgList args{DataSource()};
  CallCommand(ui::DataSrcSave, args);
}

void MoveToRow(int32_t row) {
  ArgList args{DataSource(), IntValue(row)};
  CallCommand(ui::DataSrcMoveTo, args);
}

int32_t GridCursorRow() {
  ArgList args{Grid()};
  return CallInt(ui::GridCursorRow, args);
}

int32_t GridCursorColumn() {
  ArgList args{Grid()};
  return CallInt(ui::GridCursorColumn, args);
}

void RefreshProvider() {
  ArgList args{Ref(mw::kWindow, mw::kProvider, ui::unit_type::kDBProvider)};
  CallCommand(ui::RefreshCommand, args);
}

void RefreshGrid() {
  ArgList args{Grid()};
  CallCommand(ui::RefreshCommand, args);
}

char* ProviderFile() { return ReadText(mw::kWindow, mw::kProvider); }

void SetProviderFile(const char* name) { WriteText(mw::kWindow, mw::kProvider, name); }

int32_t RecordCount() {
  ArgList args;
  return CallInt(db::GetRecordCount, args);
}

void SkipRecord() {
  ArgList args{IntValue(1)};
  CallCommand(db::SkipRecords, args);
}

void MoveToFirstRecord() {
  ArgList args;
  CallCommand(db::MoveToFirstRecord, args);
}

bool ClearRecords() {
  ArgList args;
  return CallBool(db::ClearAllRecords, args);
}

}  // namespace memo::app
