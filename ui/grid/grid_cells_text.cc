#include "ui/grid/grid_cells_text.h"

#include <cstdint>
#include <cstring>

#include "db/coding.h"
#include "ui/format/byte_cursor.h"

namespace memo::ui {

namespace {

uint32_t GetU32(const char* p) { return db::DecodeFixed32(p); }

bool EndsField(char c) { return c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

GridCellsTextWriter::GridCellsTextWriter(int rows, int columns) : columns_(columns) {
  data_.append(kGridCellsTextMagic, sizeof kGridCellsTextMagic);
  PutU32(&data_, static_cast<uint32_t>(rows));
  PutU32(&data_, static_cast<uint32_t>(columns));
}

void GridCellsTextWriter::Reserve(size_t bytes) { data_.reserve(data_.size() + bytes); }

void GridCellsTextWriter::AddCell(std::string_view cell) {
  if (column_ > 0) data_.push_back('\t');
  AppendCellAsText(&data_, cell);
  if (++column_ == columns_) {
    data_.append("\r\n");
    column_ = 0;
    ++row_;
  }
}

std::string GridCellsTextWriter::Finish() { return std::move(data_); }

std::optional<CellBlock> DecodeGridCellsText(std::string_view data) {
  if (data.size() < kGridCellsHeaderSize) return std::nullopt;
  if (std::memcmp(data.data(), kGridCellsTextMagic, sizeof kGridCellsTextMagic) != 0) {
    return std::nullopt;
  }
  const uint64_t rows = GetU32(data.data() + 4);
  const uint64_t columns = GetU32(data.data() + 8);
  if (rows == 0 || columns == 0) return std::nullopt;
  // Every cell takes at least one byte (its tab or its row's line break): more cells than that
  // cannot be there, which also bounds what is allocated below by the data's own size.
  const std::string_view text = data.substr(kGridCellsHeaderSize);
  if (rows * columns > text.size()) return std::nullopt;

  CellBlock block;
  block.cells.reserve(static_cast<size_t>(rows));
  size_t at = 0;
  for (uint64_t r = 0; r < rows; ++r) {
    std::vector<std::string> row;
    row.reserve(static_cast<size_t>(columns));
    for (uint64_t c = 0; c < columns; ++c) {
      std::string cell;
      if (at < text.size() && text[at] == '"') {
        ++at;
        for (;;) {
          if (at >= text.size()) return std::nullopt;  // a quote left open
          if (text[at] == '"') {
            if (at + 1 < text.size() && text[at + 1] == '"') {
              cell.push_back('"');
              at += 2;
              continue;
            }
            ++at;
            break;
          }
          cell.push_back(text[at++]);
        }
      } else {
        const size_t start = at;
        while (at < text.size() && !EndsField(text[at]) && text[at] != '"') ++at;
        cell.assign(text.substr(start, at - start));
      }
      // The cell ends with a tab, or the row's last with CR LF.
      const bool last = c + 1 == columns;
      if (!last) {
        if (at >= text.size() || text[at] != '\t') return std::nullopt;
        ++at;
      } else {
        if (text.substr(at, 2) != "\r\n") return std::nullopt;
        at += 2;
      }
      row.push_back(std::move(cell));
    }
    block.cells.push_back(std::move(row));
  }
  if (at != text.size()) return std::nullopt;
  return block;
}

}  // namespace memo::ui
