#include "ui/advanced_grid/egrid_layout.h"

#include <algorithm>

namespace memo::ui {

namespace {

// Rows and columns follow the same rules; an axis is one of the two.
struct Axis {
  const EGridModel& model;
  bool rows;

  int count() const { return rows ? model.rows() : model.columns(); }
  int fixed() const { return rows ? model.fixed_rows() : model.fixed_columns(); }
  int first() const { return rows ? model.top_row() : model.left_column(); }
  int size(int i) const { return rows ? model.row_height(i) : model.column_width(i); }

  // Pixels the fixed rows (columns) take.
  int FixedExtent() const {
    int total = 0;
    for (int i = 0; i < fixed(); ++i) total += size(i);
    return total;
  }
};

std::vector<EGridBand> Visible(const Axis& axis, int extent) {
  std::vector<EGridBand> bands;
  int pos = 0;
  for (int i = 0; i < axis.fixed() && pos < extent; ++i) {
    bands.push_back(EGridBand{i, pos, axis.size(i)});
    pos += axis.size(i);
  }
  for (int i = axis.first(); i < axis.count() && pos < extent; ++i) {
    bands.push_back(EGridBand{i, pos, axis.size(i)});
    pos += axis.size(i);
  }
  return bands;
}

int LastFirst(const Axis& axis, int extent) {
  int fixed = axis.fixed();
  int count = axis.count();
  if (count <= fixed) return fixed;
  int room = extent - axis.FixedExtent();
  int first = count;
  int used = 0;
  while (first > fixed) {
    int size = axis.size(first - 1);
    if (used + size > room) break;
    used += size;
    --first;
  }
  return std::min(first, count - 1);
}

int FirstShowing(const Axis& axis, int extent, int target) {
  int fixed = axis.fixed();
  int first = axis.first();
  if (target < fixed || target >= axis.count()) return first;
  if (target < first) return target;
  int room = extent - axis.FixedExtent();
  int used = 0;
  for (int i = first; i <= target && used <= room; ++i) used += axis.size(i);
  if (used <= room) return first;
  // Make `target` the last one fully shown (or the first, when even it alone is too big).
  int start = target;
  used = axis.size(target);
  while (start - 1 >= fixed && used + axis.size(start - 1) <= room) {
    --start;
    used += axis.size(start);
  }
  return std::max(start, first);
}

EGridScroll ScrollOf(const Axis& axis, int extent) {
  EGridScroll scroll;
  int fixed = axis.fixed();
  int count = axis.count();
  if (count <= fixed) return scroll;
  int last = LastFirst(axis, extent);
  scroll.needed = last > fixed;
  scroll.info.minimum = 0;
  scroll.info.maximum = count - fixed - 1;
  scroll.info.page = count - last;
  scroll.info.position = std::min(axis.first(), last) - fixed;
  return scroll;
}

int PerPage(const Axis& axis, int extent) {
  int room = extent - axis.FixedExtent();
  int shown = 0;
  int used = 0;
  for (int i = axis.first(); i < axis.count(); ++i) {
    used += axis.size(i);
    if (used > room) break;
    ++shown;
  }
  return std::max(shown, 1);
}

const EGridBand* BandAt(const std::vector<EGridBand>& bands, int pos) {
  for (const EGridBand& band : bands) {
    if (pos >= band.start && pos < band.end()) return &band;
  }
  return nullptr;
}

const EGridBand* BandOf(const std::vector<EGridBand>& bands, int index) {
  for (const EGridBand& band : bands) {
    if (band.index == index) return &band;
  }
  return nullptr;
}

}  // namespace

std::vector<EGridBand> VisibleRows(const EGridModel& model, int height) {
  return Visible(Axis{model, true}, height);
}

std::vector<EGridBand> VisibleColumns(const EGridModel& model, int width) {
  return Visible(Axis{model, false}, width);
}

CellPos CellAtPoint(const EGridModel& model, platform::Size client, platform::Point point) {
  if (point.x < 0 || point.y < 0 || point.x >= client.width || point.y >= client.height) {
    return CellPos{};
  }
  std::vector<EGridBand> rows = VisibleRows(model, client.height);
  std::vector<EGridBand> columns = VisibleColumns(model, client.width);
  const EGridBand* row = BandAt(rows, point.y);
  const EGridBand* column = BandAt(columns, point.x);
  if (!row || !column) return CellPos{};
  return CellPos{row->index, column->index};
}

std::optional<platform::Rect> CellRect(const EGridModel& model, platform::Size client,
                                       CellPos cell) {
  if (!model.Contains(cell.row, cell.column)) return std::nullopt;
  std::vector<EGridBand> rows = VisibleRows(model, client.height);
  std::vector<EGridBand> columns = VisibleColumns(model, client.width);
  const EGridBand* row = BandOf(rows, cell.row);
  const EGridBand* column = BandOf(columns, cell.column);
  if (!row || !column) return std::nullopt;
  return platform::Rect{column->start, row->start, column->size, row->size};
}

int LastTopRow(const EGridModel& model, int height) { return LastFirst(Axis{model, true}, height); }

int LastLeftColumn(const EGridModel& model, int width) {
  return LastFirst(Axis{model, false}, width);
}

int TopRowShowing(const EGridModel& model, int height, int row) {
  return FirstShowing(Axis{model, true}, height, row);
}

int LeftColumnShowing(const EGridModel& model, int width, int column) {
  return FirstShowing(Axis{model, false}, width, column);
}

EGridScroll VerticalScroll(const EGridModel& model, int height) {
  return ScrollOf(Axis{model, true}, height);
}

EGridScroll HorizontalScroll(const EGridModel& model, int width) {
  return ScrollOf(Axis{model, false}, width);
}

int RowsPerPage(const EGridModel& model, int height) { return PerPage(Axis{model, true}, height); }

int ColumnsPerPage(const EGridModel& model, int width) {
  return PerPage(Axis{model, false}, width);
}

}  // namespace memo::ui
