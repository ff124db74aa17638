#include "ui/data_units/data_commands.h"

#include <string>
#include <string_view>

#include "runtime/text.h"
#include "ui/data_units/data_units.h"
#include "ui/window/property_values.h"
#include "ui/window/window_runtime.h"

namespace memo::ui {

namespace {

bool Given(int32_t arg_count, const TypedValue* args, int32_t i) {
  return i < arg_count && args[i].Present();
}

// The unit the first argument refers to (fatal when its window is not open), or null when no
// reference was passed.
Unit* UnitOf(int32_t arg_count, const TypedValue* args) {
  if (!Given(arg_count, args, 0)) return nullptr;
  return UnitObject(args[0].low, args[0].high);
}

int32_t IntArgument(int32_t arg_count, const TypedValue* args, int32_t i, int32_t fallback) {
  return Given(arg_count, args, i) ? PropertyInt(args[i]) : fallback;
}

}  // namespace

char* CellTextOfUnit(Unit* unit, int32_t row, int32_t column) {
  db::DataSource* source = DataSourceOfUnit(unit);
  if (!source) return nullptr;
  return CopyStringAsText(source->CellText(row - 1, column - 1));
}

bool SetCellTextOfUnit(Unit* unit, int32_t row, int32_t column, const char* text) {
  db::DataSource* source = DataSourceOfUnit(unit);
  if (!source) return false;
  return source->SetCellText(row - 1, column - 1,
                             text ? std::string_view(text) : std::string_view());
}

int32_t RowCountOfUnit(Unit* unit) {
  db::DataSource* source = DataSourceOfUnit(unit);
  return source ? source->RowCount() : 0;
}

bool DeleteRowsOfUnit(Unit* unit, int32_t row, int32_t count) {
  db::DataSource* source = DataSourceOfUnit(unit);
  return source && source->DeleteRows(row - 1, count);
}

void SaveOfUnit(Unit* unit) {
  if (db::DataSource* source = DataSourceOfUnit(unit)) source->Save();
}

bool LockRowOfUnit(Unit* unit, int32_t row) {
  db::DataSource* source = DataSourceOfUnit(unit);
  return source && source->LockRow(row - 1);
}

bool UnlockRowOfUnit(Unit* unit, int32_t row) {
  db::DataSource* source = DataSourceOfUnit(unit);
  return source && source->UnlockRow(row - 1);
}

bool MoveToRowOfUnit(Unit* unit, int32_t row) {
  db::DataSource* source = DataSourceOfUnit(unit);
  return source && source->MoveTo(row - 1);
}

int32_t CursorRowOfUnit(Unit* unit) {
  Grid* grid = GridOfUnit(unit);
  return grid ? grid->cursor().row : 0;
}

int32_t CursorColumnOfUnit(Unit* unit) {
  Grid* grid = GridOfUnit(unit);
  return grid ? grid->cursor().column : 0;
}

void DataSrcGetCellText(TypedValue* result, int32_t arg_count, TypedValue* args) {
  Unit* unit = UnitOf(arg_count, args);
  result->SetPointer(
      CellTextOfUnit(unit, IntArgument(arg_count, args, 1, 0), IntArgument(arg_count, args, 2, 0)));
}

void DataSrcSetCellText(TypedValue* result, int32_t arg_count, TypedValue* args) {
  Unit* unit = UnitOf(arg_count, args);
  std::string text = Given(arg_count, args, 3) ? PropertyText(args[3]) : std::string();
  result->low = SetCellTextOfUnit(unit, IntArgument(arg_count, args, 1, 0),
                                  IntArgument(arg_count, args, 2, 0), text.c_str())
                    ? 1
                    : 0;
}

void DataSrcRowCount(TypedValue* result, int32_t arg_count, TypedValue* args) {
  result->low = static_cast<uint32_t>(RowCountOfUnit(UnitOf(arg_count, args)));
}

void DataSrcDeleteRows(TypedValue* result, int32_t arg_count, TypedValue* args) {
  Unit* unit = UnitOf(arg_count, args);
  result->low =
      DeleteRowsOfUnit(unit, IntArgument(arg_count, args, 1, 0), IntArgument(arg_count, args, 2, 1))
          ? 1
          : 0;
}

void DataSrcLockRow(TypedValue* result, int32_t arg_count, TypedValue* args) {
  Unit* unit = UnitOf(arg_count, args);
  result->low = LockRowOfUnit(unit, IntArgument(arg_count, args, 1, 0)) ? 1 : 0;
}

void DataSrcUnlockRow(TypedValue* result, int32_t arg_count, TypedValue* args) {
  Unit* unit = UnitOf(arg_count, args);
  result->low = UnlockRowOfUnit(unit, IntArgument(arg_count, args, 1, 0)) ? 1 : 0;
}

void DataSrcSave(TypedValue* result, int32_t arg_count, TypedValue* args) {
  (void)result;
  SaveOfUnit(UnitOf(arg_count, args));
}

void DataSrcMoveTo(TypedValue* result, int32_t arg_count, TypedValue* args) {
  Unit* unit = UnitOf(arg_count, args);
  result->low = MoveToRowOfUnit(unit, IntArgument(arg_count, args, 1, 0)) ? 1 : 0;
}

void GridCursorRow(TypedValue* result, int32_t arg_count, TypedValue* args) {
  result->low = static_cast<uint32_t>(CursorRowOfUnit(UnitOf(arg_count, args)));
}

void GridCursorColumn(TypedValue* result, int32_t arg_count, TypedValue* args) {
  result->low = static_cast<uint32_t>(CursorColumnOfUnit(UnitOf(arg_count, args)));
}

}  // namespace memo::ui
