// The combo box commands of the library, each a CommandRoutine taking the combo box's unit
// reference first (a closed window is the fatal "指定窗口或窗口组件不存在或尚未载入").
#pragma once

#include <cstdint>

#include "runtime/value.h"

namespace memo::ui {

// -> Int: the number of list items.
void ComboItemCount(TypedValue* result, int32_t arg_count, TypedValue* args);
// index (Int, 0-based) -> Text: the item's text; empty outside the list.
void ComboItemText(TypedValue* result, int32_t arg_count, TypedValue* args);
// text (Text) -> Int: the index of the first item whose text is exactly that text (bytes,
// case-sensitive; null counts as the empty text, another value as its text), or -1 when no item
// is. The same answer as reading every item's text in turn and comparing it, without a copy of
// any item.
void ComboFindItem(TypedValue* result, int32_t arg_count, TypedValue* args);
// text (Text), [item data (Int) = 0] -> Int: the new item's index (its place in order for a
// sorted box), or -1 when it cannot be added.
void ComboAddItem(TypedValue* result, int32_t arg_count, TypedValue* args);
// -> nothing: every item removed.
void ComboClear(TypedValue* result, int32_t arg_count, TypedValue* args);

}  // namespace memo::ui
