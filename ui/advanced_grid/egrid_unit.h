// The advanced grid as a unit of a window (type code 0x00020001): its canvas, its properties
// 15 to 20 and its events 0, 5 and 8 (ui/advanced_grid/egrid.h).
#pragma once

#include <memory>

#include "ui/advanced_grid/egrid.h"
#include "ui/format/type_blocks.h"
#include "ui/window/unit.h"

namespace memo::ui {

// Reads the unit's type block and creates the grid on a new canvas. Null when the block is of a
// newer version, truncated, has an extension whose format is neither 0 nor 1, asks for more
// rows, columns or pixels than a grid takes, or when the canvas cannot be created.
std::unique_ptr<Unit> CreateEGridUnit(const UnitCreation& creation);
// The same from a block already read.
std::unique_ptr<Unit> CreateEGridUnitFromBlock(const UnitCreation& creation,
                                               const EGridBlock& block);

// The grid of a unit, or null when the unit is no advanced grid.
EGrid* EGridOf(Unit* unit);

}  // namespace memo::ui
