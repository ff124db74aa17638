// Drawing the advanced grid through the seam's painter: only the rows and columns on the canvas,
// and of those only the cells that meet the area being painted.
#pragma once

#include "platform/font.h"
#include "platform/geometry.h"
#include "platform/painter.h"
#include "ui/advanced_grid/egrid_model.h"

namespace memo::ui {

// Colours the type block leaves to the system: heading cells and texts.
constexpr platform::Color kEGridHeadingFace = 0xC8D0D4;
constexpr platform::Color kEGridText = 0x000000;
constexpr platform::Color kEGridSelectedText = 0xFFFFFF;
// Pixels between a cell's edge and its text.
constexpr int kEGridTextInset = 3;

struct EGridPaintOptions {
  platform::FontSpec font;  // the grid's font (a cell's own font replaces it)
  bool focused = false;     // the canvas has the keyboard focus: the focus cell gets a focus frame
};

// Paints the part `dirty` of a canvas whose client area is `client`.
void PaintEGrid(const EGridModel& model, platform::Size client, const platform::Rect& dirty,
                const EGridPaintOptions& options, platform::Painter& painter);

// The room a cell's rectangle leaves for its text.
platform::Rect TextArea(const platform::Rect& cell);

}  // namespace memo::ui
