#include "platform/qt/qt_painter.h"

#include <QApplication>
#include <QImage>
#include <QPalette>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionFocusRect>

#include "platform/qt/qt_convert.h"

namespace memo::platform::qt {

void QtPainter::FillRect(const Rect& rect, Color color) {
  painter_->fillRect(ToQRect(rect), ToQColor(color));
}

void QtPainter::FrameRect(const Rect& rect, Color color, int width) {
  if (width < 1 || rect.width <= 0 || rect.height <= 0) return;
  QColor c = ToQColor(color);
  painter_->fillRect(QRect(rect.left, rect.top, rect.width, width), c);
  painter_->fillRect(QRect(rect.left, rect.bottom() - width, rect.width, width), c);
  painter_->fillRect(QRect(rect.left, rect.top, width, rect.height), c);
  painter_->fillRect(QRect(rect.right() - width, rect.top, width, rect.height), c);
}

void QtPainter::DrawLine(Point from, Point to, Color color, LineStyle style) {
  QPen pen(ToQColor(color));
  pen.setWidth(0);  // cosmetic: one pixel
  pen.setStyle(style == LineStyle::kDot ? Qt::DotLine : Qt::SolidLine);
  painter_->save();
  painter_->setPen(pen);
  painter_->drawLine(QPoint(from.x, from.y), QPoint(to.x, to.y));
  painter_->restore();
}

void QtPainter::DrawEdge(const Rect& rect, EdgeStyle style) {
  const QPalette& palette = QApplication::palette();
  QColor light = palette.color(QPalette::Light);
  QColor dark = palette.color(QPalette::Dark);
  if (style == EdgeStyle::kSunken) std::swap(light, dark);
  painter_->save();
  painter_->setPen(light);
  painter_->drawLine(rect.left, rect.top, rect.right() - 1, rect.top);
  painter_->drawLine(rect.left, rect.top, rect.left, rect.bottom() - 1);
  painter_->setPen(dark);
  painter_->drawLine(rect.left, rect.bottom() - 1, rect.right() - 1, rect.bottom() - 1);
  painter_->drawLine(rect.right() - 1, rect.top, rect.right() - 1, rect.bottom() - 1);
  painter_->restore();
}

void QtPainter::DrawFocusRect(const Rect& rect) {
  QPen pen(Qt::black);
  pen.setStyle(Qt::DotLine);
  painter_->save();
  painter_->setPen(pen);
  painter_->setBrush(Qt::NoBrush);
  painter_->drawRect(QRect(rect.left, rect.top, rect.width - 1, rect.height - 1));
  painter_->restore();
}

void QtPainter::DrawText(const Rect& rect, std::string_view text_gbk, const TextFormat& format) {
  QRect box = ToQRect(rect);
  painter_->save();
  if (format.background != kDefaultColor) painter_->fillRect(box, ToQColor(format.background));
  painter_->setFont(ToQFont(format.font, QApplication::font()));
  painter_->setPen(ToQColor(format.color));
  if (format.clip) painter_->setClipRect(box, Qt::IntersectClip);
  int flags = 0;
  switch (format.align) {
    case Align::kLeft: flags |= Qt::AlignLeft; break;
    case Align::kCentre: flags |= Qt::AlignHCenter; break;
    case Align::kRight: flags |= Qt::AlignRight; break;
  }
  switch (format.valign) {
    case VAlign::kTop: flags |= Qt::AlignTop; break;
    case VAlign::kCentre: flags |= Qt::AlignVCenter; break;
    case VAlign::kBottom: flags |= Qt::AlignBottom; break;
  }
  QString text = FromGbk(text_gbk);
  if (format.single_line) {
    flags |= Qt::TextSingleLine;
    if (format.end_ellipsis) {
      text = painter_->fontMetrics().elidedText(text, Qt::ElideRight, box.width());
    }
  } else {
    text = ToQtLineBreaks(text);
    flags |= Qt::TextWordWrap;
  }
  painter_->drawText(box, flags, text);
  painter_->restore();
}

bool QtPainter::DrawImage(const Rect& rect, std::string_view image_bytes) {
  if (image_bytes.empty()) return false;
  QImage image;
  if (!image.loadFromData(reinterpret_cast<const uchar*>(image_bytes.data()),
                          static_cast<int>(image_bytes.size()))) {
    return false;
  }
  painter_->drawImage(ToQRect(rect), image);
  return true;
}

void QtPainter::DrawCheckBox(const Rect& rect, bool checked) {
  QStyleOptionButton option;
  int side = std::min(rect.width, rect.height);
  side = std::min(side, 13);
  option.rect =
      QRect(rect.left + (rect.width - side) / 2, rect.top + (rect.height - side) / 2, side, side);
  option.state = QStyle::State_Enabled | (checked ? QStyle::State_On : QStyle::State_Off);
  QApplication::style()->drawPrimitive(QStyle::PE_IndicatorCheckBox, &option, painter_);
}

void QtPainter::SetClip(const Rect& rect) { painter_->setClipRect(ToQRect(rect)); }

void QtPainter::ResetClip() { painter_->setClipping(false); }

}  // namespace memo::platform::qt
