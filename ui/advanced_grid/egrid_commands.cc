#include "ui/advanced_grid/egrid_commands.h"

#include "runtime/fatal.h"
#include "runtime/literal.h"
#include "ui/advanced_grid/egrid_command_ops.h"
#include "ui/advanced_grid/egrid_unit.h"
#include "ui/window/window_runtime.h"

namespace memo::ui {

namespace {

// The live grid the first argument names; fatal when there is none.
EGrid& GridOf(int32_t arg_count, const TypedValue* args) {
  TypedValue reference = arg_count > 0 ? args[0] : TypedValue{};
  EGrid* grid = EGridOf(UnitObject(reference.low, reference.high));
  // A reference to a unit of another type names no grid either.
  if (!grid) FatalError(Gbk("指定窗口或窗口组件不存在或尚未载入"));
  return *grid;
}

int32_t Rest(int32_t arg_count) { return arg_count > 0 ? arg_count - 1 : 0; }

}  // namespace

void EGridCurrentRow(TypedValue* result, int32_t arg_count, TypedValue* args) {
  egrid_ops::CurrentRow(GridOf(arg_count, args), result);
}

void EGridCurrentColumn(TypedValue* result, int32_t arg_count, TypedValue* args) {
  egrid_ops::CurrentColumn(GridOf(arg_count, args), result);
}

void EGridGetCell(TypedValue* result, int32_t arg_count, TypedValue* args) {
  egrid_ops::GetCell(GridOf(arg_count, args), result, Rest(arg_count), args + 1);
}

void EGridSetCell(TypedValue* result, int32_t arg_count, TypedValue* args) {
  egrid_ops::SetCell(GridOf(arg_count, args), result, Rest(arg_count), args + 1);
}

void EGridSetColumnWidth(TypedValue* result, int32_t arg_count, TypedValue* args) {
  egrid_ops::SetColumnWidth(GridOf(arg_count, args), result, Rest(arg_count), args + 1);
}

void EGridInsertRow(TypedValue* result, int32_t arg_count, TypedValue* args) {
  egrid_ops::InsertRow(GridOf(arg_count, args), result, Rest(arg_count), args + 1);
}

void EGridReset(TypedValue* result, int32_t arg_count, TypedValue* args) {
  egrid_ops::Reset(GridOf(arg_count, args), result);
}

}  // namespace memo::ui
