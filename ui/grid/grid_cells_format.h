// The grid's private clipboard format, registered under the name "MGridCells": a rectangle of
// cell texts as the grid copies them, pasted back with its top-left cell at the selection's
// top-left cell.
//
// Layout (integers little-endian):
//   magic "MGC1" (4 bytes) | rows (u32) | columns (u32) | rows × columns cells in row order,
//   each a byte count (u32) followed by that many bytes of GBK text (no NUL).
// A reader refuses — never reads past the end, never allocates more than the data can hold —
// anything else: another magic, no rows or no columns, more cells than the bytes could describe,
// a count running past the end, or bytes left over after the last cell.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace memo::ui {

inline constexpr char kGridCellsFormat[] = "MGridCells";
inline constexpr char kGridCellsMagic[4] = {'M', 'G', 'C', '1'};
constexpr size_t kGridCellsHeaderSize = 12;

// A rectangle of texts: cells[r][c]; every row has the same number of columns.
struct CellBlock {
  std::vector<std::vector<std::string>> cells;
  int rows() const { return static_cast<int>(cells.size()); }
  int columns() const { return cells.empty() ? 0 : static_cast<int>(cells[0].size()); }
  friend bool operator==(const CellBlock&, const CellBlock&) = default;
};

// REQUIRES: at least one row and column, every row as long as the first.
std::string EncodeGridCells(const CellBlock& block);
// nullopt for data that is not a valid rectangle (see above). Reads this layout and the one the
// grid writes now (grid_cells_text.h).
std::optional<CellBlock> DecodeGridCells(std::string_view data);

// The plain-text form put beside it, as spreadsheets read tab-separated text: cells separated
// by a tab, rows ended by CR LF; a cell holding a tab, a line break (CR or LF) or a double quote
// is written in double quotes with each of its double quotes doubled. (In GBK none of these
// bytes can be the second byte of a character, so the bytes are looked at one by one.)
std::string GridCellsAsText(const CellBlock& block);
// Appends one cell of that form (quoted when it needs to be).
void AppendCellAsText(std::string* out, std::string_view cell);

}  // namespace memo::ui
