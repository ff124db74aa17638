// The window definition segment the programs carry: the program's five windows in the stored
// layout, generated at build time from app/windows/ (make_window_segment). Constant data that
// lives as long as the program; the window runtime reads it at start like any stored segment.
#pragma once

#include <cstddef>
#include <cstdint>

namespace memo::ui {

extern const uint8_t kCarriedSegment[];
extern const size_t kCarriedSegmentSize;

}  // namespace memo::ui
