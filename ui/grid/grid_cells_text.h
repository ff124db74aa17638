// The form of the "MGridCells" clipboard data the grid writes: its header and then the very
// text that other programs get as plain text, so that a copy of a large selection holds its
// cells once (the backend hands out the bytes after the header as the clipboard's text).
//
// Layout: magic "MGC2" (4 bytes) | rows (u32) | columns (u32) | text, little-endian integers.
// The text is tab-separated as spreadsheets read it (grid_cells_format.h): rows ended by CR LF,
// cells by a tab, a cell holding a tab, CR, LF or a double quote in double quotes with its
// quotes doubled. Being private data it comes back byte for byte (the clipboard's plain text
// may have its line breaks changed by the platform), so every cell pastes exactly as copied.
// A reader refuses anything but exactly rows × columns cells in that form.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "ui/grid/grid_cells_format.h"

namespace memo::ui {

inline constexpr char kGridCellsTextMagic[4] = {'M', 'G', 'C', '2'};

// Writes the data cell by cell, row by row. REQUIRES: exactly rows × columns calls of AddCell,
// then Finish().
class GridCellsTextWriter {
 public:
  GridCellsTextWriter(int rows, int columns);
  // Room for `bytes` more bytes of text, so that the one buffer grows once, not by doubling.
  void Reserve(size_t bytes);
  void AddCell(std::string_view cell);
  // The data; the plain text starts at kGridCellsHeaderSize.
  std::string Finish();
  size_t text_size() const { return data_.size() - kGridCellsHeaderSize; }
  int rows_written() const { return row_; }

 private:
  int columns_;
  int row_ = 0;
  int column_ = 0;
  std::string data_;
};

// Reads "MGC2" data; nullopt for anything else.
std::optional<CellBlock> DecodeGridCellsText(std::string_view data);

}  // namespace memo::ui
