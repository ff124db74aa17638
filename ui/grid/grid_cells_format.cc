#include "ui/grid/grid_cells_format.h"

#include <cstdint>
#include <cstring>

#include "db/coding.h"
#include "ui/format/byte_cursor.h"
#include "ui/grid/grid_cells_text.h"

namespace memo::ui {
namespace {

uint32_t GetU32(const char* p) { return db::DecodeFixed32(p); }

}  // namespace

std::string EncodeGridCells(const CellBlock& block) {
  std::string out(kGridCellsMagic, sizeof kGridCellsMagic);
  PutU32(&out, static_cast<uint32_t>(block.rows()));
  PutU32(&out, static_cast<uint32_t>(block.columns()));
  for (const auto& row : block.cells) {
    for (const std::string& cell : row) {
      PutU32(&out, static_cast<uint32_t>(cell.size()));
      out += cell;
    }
  }
  return out;
}

std::optional<CellBlock> DecodeGridCells(std::string_view data) {
  if (data.size() < kGridCellsHeaderSize) return std::nullopt;
  if (std::memcmp(data.data(), kGridCellsTextMagic, sizeof kGridCellsTextMagic) == 0) {
    return DecodeGridCellsText(data);
  }
  if (std::memcmp(data.data(), kGridCellsMagic, sizeof kGridCellsMagic) != 0) return std::nullopt;
  const uint64_t rows = GetU32(data.data() + 4);
  const uint64_t columns = GetU32(data.data() + 8);
  if (rows == 0 || columns == 0) return std::nullopt;
  // Every cell takes at least its 4-byte count: more cells than that cannot be there. This also
  // keeps the allocation below within what the data itself could fill.
  const uint64_t body = data.size() - kGridCellsHeaderSize;
  if (rows * columns > body / 4) return std::nullopt;

  CellBlock block;
  block.cells.resize(static_cast<size_t>(rows));
  size_t at = kGridCellsHeaderSize;
  for (auto& row : block.cells) {
    row.reserve(static_cast<size_t>(columns));
    for (uint64_t c = 0; c < columns; ++c) {
      if (data.size() - at < 4) return std::nullopt;
      const uint32_t length = GetU32(data.data() + at);
      at += 4;
      if (length > data.size() - at) return std::nullopt;
      row.emplace_back(data.substr(at, length));
      at += length;
    }
  }
  if (at != data.size()) return std::nullopt;
  return block;
}

void AppendCellAsText(std::string* out, std::string_view cell) {
  if (cell.find_first_of("\t\r\n\"") == std::string_view::npos) {
    out->append(cell);
    return;
  }
  out->push_back('"');
  for (char c : cell) {
    if (c == '"') out->push_back('"');
    out->push_back(c);
  }
  out->push_back('"');
}

std::string GridCellsAsText(const CellBlock& block) {
  std::string out;
  for (const auto& row : block.cells) {
    for (size_t c = 0; c < row.size(); ++c) {
      if (c > 0) out += '\t';
      AppendCellAsText(&out, row[c]);
    }
    out += "\r\n";
  }
  return out;
}

}  // namespace memo::ui
