// Plain geometry and colour types of the seam. Coordinates are pixels; a window's rectangle is in
// screen coordinates, a control's in its parent's client coordinates.
#pragma once

#include <cstdint>

namespace memo::platform {

struct Point {
  int x = 0;
  int y = 0;
  friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
  int width = 0;
  int height = 0;
  friend bool operator==(const Size&, const Size&) = default;
};

struct Rect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;

  int right() const { return left + width; }   // one past the last column
  int bottom() const { return top + height; }  // one past the last row
  bool Contains(Point p) const {
    return p.x >= left && p.x < right() && p.y >= top && p.y < bottom();
  }
  Point Centre() const { return Point{left + width / 2, top + height / 2}; }
  friend bool operator==(const Rect&, const Rect&) = default;
};

// A colour as 0x00BBGGRR, the layout the window definitions store.
using Color = uint32_t;
// "The default colour" (of the control or of the system).
constexpr Color kDefaultColor = 0xFF000000u;

constexpr Color Rgb(int r, int g, int b) {
  return static_cast<Color>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
constexpr int RedOf(Color c) { return static_cast<int>(c & 0xFF); }
constexpr int GreenOf(Color c) { return static_cast<int>((c >> 8) & 0xFF); }
constexpr int BlueOf(Color c) { return static_cast<int>((c >> 16) & 0xFF); }

enum class Align { kLeft, kCentre, kRight };
enum class VAlign { kTop, kCentre, kBottom };
enum class Orientation { kHorizontal, kVertical };

}  // namespace memo::platform
