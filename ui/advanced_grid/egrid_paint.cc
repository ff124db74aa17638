#include "ui/advanced_grid/egrid_paint.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "ui/advanced_grid/egrid_layout.h"

namespace memo::ui {

namespace {

using platform::Color;
using platform::Painter;
using platform::Rect;

bool Meets(const Rect& a, const Rect& b) {
  return a.left < b.right() && b.left < a.right() && a.top < b.bottom() && b.top < a.bottom();
}

// A cell without the pixel column and row its grid lines take (its right and bottom edges).
Rect Inner(const Rect& cell) {
  return Rect{cell.left, cell.top, std::max(0, cell.width - 1), std::max(0, cell.height - 1)};
}

Rect Inset(const Rect& rect, int by) {
  return Rect{rect.left + by, rect.top + by, std::max(0, rect.width - 2 * by),
              std::max(0, rect.height - 2 * by)};
}

void FillPart(Painter& painter, const Rect& rect, Color color, const Rect& dirty) {
  if (rect.width > 0 && rect.height > 0 && Meets(rect, dirty)) painter.FillRect(rect, color);
}

void PaintCell(const EGridModel& model, int row, int column, const Rect& rect,
               const EGridPaintOptions& options, Painter& painter) {
  Rect inner = Inner(rect);
  bool fixed = model.IsFixed(row, column);
  bool selected = !fixed && model.focus() == CellPos{row, column};
  const EGridCell* cell = model.Cell(row, column);
  const EGridCellStyle* style = cell && cell->style ? cell->style.get() : nullptr;

  Color face = model.background_color();
  if (fixed) {
    face = kEGridHeadingFace;
  } else if (selected) {
    face = model.selection_color();
  } else if (style && style->background != platform::kDefaultColor) {
    face = style->background;
  }
  painter.FillRect(inner, face);
  if (fixed) painter.DrawEdge(inner, platform::EdgeStyle::kRaised);

  EGridColumnKind kind = fixed ? EGridColumnKind::kText : model.column_kind(column);
  if (kind == EGridColumnKind::kCheckBox) {
    painter.DrawCheckBox(Inset(inner, 1), cell && cell->checked);
    return;
  }
  if (kind == EGridColumnKind::kPicture) {
    if (cell && !cell->picture.empty()) painter.DrawImage(Inset(inner, 1), cell->picture);
    return;
  }
  std::string text = model.DisplayText(row, column);
  if (text.empty()) return;
  platform::TextFormat format;
  format.font = style && style->font ? *style->font : options.font;
  format.color = kEGridText;
  if (selected) {
    format.color = kEGridSelectedText;
  } else if (style && style->text_color != platform::kDefaultColor) {
    format.color = style->text_color;
  }
  format.align = fixed ? platform::Align::kCentre
                       : (model.column_decimals(column) >= 0 ? platform::Align::kRight
                                                             : platform::Align::kLeft);
  format.valign = platform::VAlign::kCentre;
  format.single_line = true;
  format.clip = true;
  painter.DrawText(TextArea(rect), text, format);
}

}  // namespace

Rect TextArea(const Rect& cell) {
  return Rect{cell.left + kEGridTextInset, cell.top,
              std::max(0, cell.width - 1 - 2 * kEGridTextInset), std::max(0, cell.height - 1)};
}

void PaintEGrid(const EGridModel& model, platform::Size client, const Rect& dirty,
                const EGridPaintOptions& options, Painter& painter) {
  std::vector<EGridBand> rows = VisibleRows(model, client.height);
  std::vector<EGridBand> columns = VisibleColumns(model, client.width);
  int right = columns.empty() ? 0 : std::min(columns.back().end(), client.width);
  int bottom = rows.empty() ? 0 : std::min(rows.back().end(), client.height);

  // What lies beyond the last column and below the last row.
  FillPart(painter, Rect{right, 0, client.width - right, client.height}, model.background_color(),
           dirty);
  FillPart(painter, Rect{0, bottom, right, client.height - bottom}, model.background_color(),
           dirty);

  for (const EGridBand& row : rows) {
    if (row.size == 0 || row.end() <= dirty.top || row.start >= dirty.bottom()) continue;
    for (const EGridBand& column : columns) {
      if (column.size == 0 || column.end() <= dirty.left || column.start >= dirty.right()) {
        continue;
      }
      PaintCell(model, row.index, column.index,
                Rect{column.start, row.start, column.size, row.size}, options, painter);
    }
  }

  // Grid lines on the last pixel column and row of every cell, across the whole table.
  Color line = model.grid_line_color();
  for (const EGridBand& column : columns) {
    int x = column.end() - 1;
    if (column.size == 0 || x < dirty.left || x >= dirty.right() || bottom == 0) continue;
    painter.DrawLine(platform::Point{x, 0}, platform::Point{x, bottom - 1}, line);
  }
  for (const EGridBand& row : rows) {
    int y = row.end() - 1;
    if (row.size == 0 || y < dirty.top || y >= dirty.bottom() || right == 0) continue;
    painter.DrawLine(platform::Point{0, y}, platform::Point{right - 1, y}, line);
  }

  if (options.focused) {
    std::optional<Rect> focus = CellRect(model, client, model.focus());
    if (focus && Meets(*focus, dirty)) painter.DrawFocusRect(Inset(Inner(*focus), 1));
  }
}

}  // namespace memo::ui
