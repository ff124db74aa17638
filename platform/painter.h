// The small drawing interface of custom-drawn children (the two grids, the data-source bar).
// Coordinates are client pixels of the canvas being painted. Texts are GBK.
#pragma once

#include <string_view>

#include "platform/font.h"
#include "platform/geometry.h"

namespace memo::platform {

enum class LineStyle { kSolid, kDot };
enum class EdgeStyle { kRaised, kSunken };

struct TextFormat {
  FontSpec font;
  Color color = 0;                   // 0x00BBGGRR
  Color background = kDefaultColor;  // kDefaultColor: transparent (the background shows through)
  Align align = Align::kLeft;
  VAlign valign = VAlign::kCentre;
  bool single_line = true;  // false: CR LF and LF break lines, long lines wrap at words
  bool end_ellipsis = false;
  bool clip = true;  // clip to the rectangle
};

class Painter {
 public:
  virtual ~Painter() = default;

  virtual void FillRect(const Rect& rect, Color color) = 0;
  // A rectangle outline `width` pixels wide, inside `rect`.
  virtual void FrameRect(const Rect& rect, Color color, int width = 1) = 0;
  // A line from `from` to `to`, both ends included.
  virtual void DrawLine(Point from, Point to, Color color, LineStyle style = LineStyle::kSolid) = 0;
  // A three-dimensional edge (heading cells, buttons of a bar).
  virtual void DrawEdge(const Rect& rect, EdgeStyle style) = 0;
  virtual void DrawFocusRect(const Rect& rect) = 0;
  virtual void DrawText(const Rect& rect, std::string_view text_gbk, const TextFormat& format) = 0;
  // A picture from encoded bytes (BMP, PNG, JPEG, GIF, ICO), scaled into `rect`. Bytes that do
  // not decode draw nothing and return false.
  virtual bool DrawImage(const Rect& rect, std::string_view image_bytes) = 0;
  // A check box in `rect`.
  virtual void DrawCheckBox(const Rect& rect, bool checked) = 0;

  // Drawing outside the clip rectangle has no effect; the initial clip is the area being painted.
  virtual void SetClip(const Rect& rect) = 0;
  virtual void ResetClip() = 0;
};

}  // namespace memo::platform
