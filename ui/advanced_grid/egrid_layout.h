// Where the advanced grid's rows and columns lie on its canvas: the fixed rows (columns) first,
// then the scrolled ones from the first visible cell on. Every function here walks only the rows
// and columns it shows or the ones between the first visible cell and the one asked about, never
// the whole grid (except while everything fits on the canvas).
#pragma once

#include <optional>
#include <vector>

#include "platform/controls.h"
#include "platform/geometry.h"
#include "ui/advanced_grid/egrid_model.h"

namespace memo::ui {

// One row (or column) on the canvas: its index and its first pixel and size along the axis.
struct EGridBand {
  int index = 0;
  int start = 0;
  int size = 0;
  int end() const { return start + size; }
};

// The rows that start inside a client area `height` pixels high: the fixed rows, then the rows
// from top_row() on. Likewise the columns across `width` pixels.
std::vector<EGridBand> VisibleRows(const EGridModel& model, int height);
std::vector<EGridBand> VisibleColumns(const EGridModel& model, int width);

// The cell under a client point, or none (outside every shown row or column).
CellPos CellAtPoint(const EGridModel& model, platform::Size client, platform::Point point);

// The client rectangle of a cell as the grid is scrolled now (it may reach past the client
// area), or nullopt when the cell is not shown.
std::optional<platform::Rect> CellRect(const EGridModel& model, platform::Size client,
                                       CellPos cell);

// The last useful first visible row: the smallest one with which the last row is fully shown
// (the last row itself when it is taller than the room below the fixed rows).
int LastTopRow(const EGridModel& model, int height);
int LastLeftColumn(const EGridModel& model, int width);

// The first visible row that shows `row` completely, moving as little as possible from top_row()
// (unchanged for a fixed row or one already in full view). Likewise for columns.
int TopRowShowing(const EGridModel& model, int height, int row);
int LeftColumnShowing(const EGridModel& model, int width, int column);

// The scroll bar of each direction: positions count the scrollable rows (columns), the page is
// the number shown once scrolled to the end. `needed` is false when everything fits.
struct EGridScroll {
  bool needed = false;
  platform::ScrollInfo info;
};
EGridScroll VerticalScroll(const EGridModel& model, int height);
EGridScroll HorizontalScroll(const EGridModel& model, int width);

// Scrollable rows (columns) fully shown now below the fixed ones, at least 1: a page's step.
int RowsPerPage(const EGridModel& model, int height);
int ColumnsPerPage(const EGridModel& model, int width);

}  // namespace memo::ui
