// The data units of a window: the data-bound grid (`Grid`), the data source (`DataSrc`, whose
// window is a bar of six navigation buttons) and the database provider (`DBProvider`, which has
// no control). Each is created from its type block; once every unit of the window exists, the
// grid finds its data source and the data source its provider by unit name in the same window.
//
// Type properties (number 8 + k, named in ui/window/property_numbers.h):
//   Grid        k 0..8 the block's nine words (k 2 the display scale, held within 20..1000;
//               k 3 range selection; k 4 heading selection), k 9 the data source's unit name
//               (writing it binds the grid to that unit).
//   DataSrc     k 0 read-only, k 1 inserting allowed, k 2 deleting allowed (logical), k 3 the
//               provider's unit name (writing it connects to that unit).
//   DBProvider  k 0 the database file name (reading gives the name, writing connects), k 1 the
//               byte-set display flag, k 2 the password used by later connections.
//
// Grid events: 0 when the first corner of the selection (the anchor, where a selection starts)
// changed, 1 when the second corner (the moving end) changed, each with that corner's row and
// column (data numbering, from 1) as its two arguments; raised after a mouse button is released
// or a key has moved the selection, event 0 first. A move to a single new cell changes both.
// Event 2 (kGridCellEditing) before the grid writes a cell the user edited in place or pasted,
// with the cell's row and column (data numbering) and the new text: a routine that returns false
// keeps the cell as it is (and tells the user why); the cell still holds its old text while the
// routine runs.
#pragma once

#include <memory>

#include "data/data_source.h"
#include "data/db_provider.h"
#include "ui/format/type_blocks.h"
#include "ui/grid/grid.h"
#include "ui/window/unit.h"

namespace memo::ui {

constexpr int32_t kGridCellEditing = 2;

// The unit types' create operations (UnitFactory): read the type block (an unreadable or newer
// block fails the creation) and create the unit.
std::unique_ptr<Unit> CreateGridUnit(const UnitCreation& creation);
std::unique_ptr<Unit> CreateDataSrcUnit(const UnitCreation& creation);
std::unique_ptr<Unit> CreateDBProviderUnit(const UnitCreation& creation);

// The same from a block already read.
std::unique_ptr<Unit> CreateGridUnitFromBlock(const UnitCreation& creation, const GridBlock& block);
std::unique_ptr<Unit> CreateDataSrcUnitFromBlock(const UnitCreation& creation,
                                                 const DataSrcBlock& block);
std::unique_ptr<Unit> CreateDBProviderUnitFromBlock(const UnitCreation& creation,
                                                    const DBProviderBlock& block);

// The model behind a unit; null when the unit is null or of another type. The grid's model is
// also the inspection interface for memo-script and tests (cell rectangles, cursor, row count,
// cell texts, the editor).
Grid* GridOfUnit(Unit* unit);
db::DataSource* DataSourceOfUnit(Unit* unit);
db::DBProvider* ProviderOfUnit(Unit* unit);

}  // namespace memo::ui
