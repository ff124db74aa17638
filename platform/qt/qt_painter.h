// The seam's painter on a QPainter.
#pragma once

#include <QPainter>

#include "platform/painter.h"

namespace memo::platform::qt {

class QtPainter : public Painter {
 public:
  // REQUIRES: `painter` is active for the whole life of this object.
  explicit QtPainter(QPainter* painter) : painter_(painter) {}

  void FillRect(const Rect& rect, Color color) override;
  void FrameRect(const Rect& rect, Color color, int width) override;
  void DrawLine(Point from, Point to, Color color, LineStyle style) override;
  void DrawEdge(const Rect& rect, EdgeStyle style) override;
  void DrawFocusRect(const Rect& rect) override;
  void DrawText(const Rect& rect, std::string_view text_gbk, const TextFormat& format) override;
  bool DrawImage(const Rect& rect, std::string_view image_bytes) override;
  void DrawCheckBox(const Rect& rect, bool checked) override;
  void SetClip(const Rect& rect) override;
  void ResetClip() override;

 private:
  QPainter* painter_;
};

}  // namespace memo::platform::qt
