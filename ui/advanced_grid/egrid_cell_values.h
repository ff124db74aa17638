// Cell contents as value cells: what the get-cell command returns and what the set-cell command
// takes, with every conversion and refusal.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "runtime/value.h"
#include "ui/advanced_grid/egrid_model.h"

namespace memo::ui {

// Content kinds of the set-cell command.
namespace egrid_content {
constexpr int32_t kText = 1;
constexpr int32_t kCheck = 5;
constexpr int32_t kPicture = 6;
}  // namespace egrid_content

// The text a value gives a cell: a text as it is (null as empty); Byte, Short and Int "%d"; Long
// its signed decimal; Float "%.6g"; Double "%.13g". nullopt for every other type.
std::optional<std::string> CellTextOf(const TypedValue& value);

// A cell's content with its tag set (any block belongs to the caller):
//   - outside the grid: an empty byte-set (null) when the column is a picture column, else
//     logical false;
//   - a non-fixed cell of a check-box column: logical, its check state;
//   - a non-fixed cell of a picture column: a byte-set, its picture (null when it has none);
//   - any other cell: its text (null when empty).
TypedValue CellContent(const EGridModel& model, int row, int column);

// Sets a cell's content by kind: 1 text (CellTextOf; refused where the model refuses a text),
// 5 check state (a logical value), 6 picture (a byte-set, or a text naming a bitmap file that
// is read whole). False when refused; any other kind is refused.
bool SetCellContent(EGridModel& model, int row, int column, int32_t kind, const TypedValue& value);

}  // namespace memo::ui
