// The custom-drawn canvas: a framed viewport that paints through the seam's painter and hands
// it the input the runtime let pass, with scroll bars laid out beside it.
#include <QApplication>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>

#include "platform/handler.h"
#include "platform/qt/qt_controls.h"
#include "platform/qt/qt_convert.h"
#include "platform/qt/qt_painter.h"

namespace memo::platform::qt {

// The painted area of a canvas; hands paints and the input the runtime let pass to its owner.
class CanvasViewport : public QWidget {
 public:
  CanvasViewport(QWidget* parent, QtCanvas* owner, bool wants_all_keys)
      : QWidget(parent), owner_(owner), wants_all_keys_(wants_all_keys) {
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
  }
  void ForgetOwner() { owner_ = nullptr; }

 protected:
  bool focusNextPrevChild(bool next) override {
    if (wants_all_keys_) return false;  // Tab is the grid's key
    return QWidget::focusNextPrevChild(next);
  }
  void paintEvent(QPaintEvent* event) override {
    if (owner_) owner_->Paint(event->rect());
  }
  void resizeEvent(QResizeEvent* event) override {
    QWidget::resizeEvent(event);
    if (owner_) Fire(owner_->on_resize, owner_->ClientSize());
  }
  void mousePressEvent(QMouseEvent* event) override {
    Mouse(event->button() == Qt::RightButton ? InputKind::kRightDown : InputKind::kLeftDown, event);
  }
  void mouseReleaseEvent(QMouseEvent* event) override {
    Mouse(event->button() == Qt::RightButton ? InputKind::kRightUp : InputKind::kLeftUp, event);
  }
  void mouseDoubleClickEvent(QMouseEvent* event) override {
    Mouse(event->button() == Qt::RightButton ? InputKind::kRightDown : InputKind::kLeftDoubleClick,
          event);
  }
  void mouseMoveEvent(QMouseEvent* event) override { Mouse(InputKind::kMouseMove, event); }
  void leaveEvent(QEvent* event) override {
    QWidget::leaveEvent(event);
    if (owner_) owner_->PointerLeft();
  }
  void wheelEvent(QWheelEvent* event) override { Send(WheelInput(*event)); }
  void keyPressEvent(QKeyEvent* event) override {
    InputEvent input = KeyInput(InputKind::kKeyDown, *event);
    QPointer<CanvasViewport> alive(this);
    if (input.key != 0) Send(input);
    if (!alive || (event->modifiers() & Qt::AltModifier)) return;
    for (const QString& one : SplitCharacters(event->text())) {
      uint32_t character = QStringToChar(one);
      if (character == 0) continue;
      InputEvent typed;
      typed.kind = InputKind::kChar;
      typed.key = static_cast<int>(character);
      Send(typed);
      if (!alive) return;
    }
  }
  void keyReleaseEvent(QKeyEvent* event) override {
    InputEvent input = KeyInput(InputKind::kKeyUp, *event);
    if (input.key != 0) Send(input);
  }
  void focusInEvent(QFocusEvent* event) override {
    QWidget::focusInEvent(event);
    InputEvent input;
    input.kind = InputKind::kFocusGained;
    Send(input);
  }
  void focusOutEvent(QFocusEvent* event) override {
    QWidget::focusOutEvent(event);
    InputEvent input;
    input.kind = InputKind::kFocusLost;
    Send(input);
  }

 private:
  void Mouse(InputKind kind, QMouseEvent* event) {
    InputEvent input;
    input.kind = kind;
    QPoint p = event->position().toPoint();
    input.x = p.x();
    input.y = p.y();
    input.shift = ShiftStateOf(event->modifiers());
    Send(input);
  }
  void Send(const InputEvent& input) {
    if (owner_) owner_->Input(input);
  }

  QtCanvas* owner_;
  bool wants_all_keys_;
};

namespace {

// The canvas's outer widget: its border, and the viewport and scroll bars laid out inside.
class CanvasFrame : public QFrame {
 public:
  std::function<void()> on_layout;

 protected:
  void resizeEvent(QResizeEvent* event) override {
    QFrame::resizeEvent(event);
    if (on_layout) on_layout();
  }
};

ScrollAction ToScrollAction(int action) {
  switch (action) {
    case QAbstractSlider::SliderSingleStepAdd: return ScrollAction::kLineDown;
    case QAbstractSlider::SliderSingleStepSub: return ScrollAction::kLineUp;
    case QAbstractSlider::SliderPageStepAdd: return ScrollAction::kPageDown;
    case QAbstractSlider::SliderPageStepSub: return ScrollAction::kPageUp;
    case QAbstractSlider::SliderToMinimum: return ScrollAction::kTop;
    case QAbstractSlider::SliderToMaximum: return ScrollAction::kBottom;
    case QAbstractSlider::SliderMove:
    default: return ScrollAction::kThumbTrack;
  }
}

}  // namespace

QtCanvas::QtCanvas(QtWindow* window, const ControlPlacement& placement, const CanvasStyle& style)
    : QtControl(window, new CanvasFrame(), placement), style_(style) {
  auto* frame = static_cast<CanvasFrame*>(widget());
  frame_ = frame;
  if (style.border == 0) {
    frame->setFrameStyle(QFrame::NoFrame);
  } else if (style.border == 1) {
    frame->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  } else {
    frame->setFrameStyle(QFrame::Box | QFrame::Plain);
  }
  frame->setFocusPolicy(Qt::NoFocus);
  viewport_ = new CanvasViewport(frame, this, style.wants_all_keys);
  viewport_->show();  // a child added after its parent was shown starts hidden
  router()->Watch(viewport_);
  shown_[0] = style.horizontal_scroll_bar;
  shown_[1] = style.vertical_scroll_bar;
  for (int i = 0; i < 2; ++i) {
    Orientation which = i == 0 ? Orientation::kHorizontal : Orientation::kVertical;
    bars_[i] = new QScrollBar(i == 0 ? Qt::Horizontal : Qt::Vertical, frame);
    bars_[i]->setFocusPolicy(Qt::NoFocus);
    bars_[i]->setVisible(shown_[i]);
    QObject::connect(bars_[i], &QAbstractSlider::actionTriggered, router(),
                     [this, which, i](int action) {
                       if (setting_scroll_ || !on_scroll) return;
                       auto handler = on_scroll;
                       handler(which, ToScrollAction(action), bars_[i]->sliderPosition());
                     });
    QObject::connect(bars_[i], &QAbstractSlider::sliderReleased, router(), [this, which, i] {
      if (setting_scroll_ || !on_scroll) return;
      auto handler = on_scroll;
      handler(which, ScrollAction::kThumbPosition, bars_[i]->sliderPosition());
    });
  }
  if (style.background != kDefaultColor) SetColors(kDefaultColor, style.background);
  frame->on_layout = [this] { Layout(); };
  Layout();
}

QtCanvas::~QtCanvas() {
  if (viewport_) viewport_->ForgetOwner();
  if (tip_) tip_->deleteLater();
}

void QtCanvas::Layout() {
  if (!frame_ || !viewport_) return;
  QRect inside = frame_->contentsRect();
  int bar_width = shown_[1] ? bars_[1]->sizeHint().width() : 0;
  int bar_height = shown_[0] ? bars_[0]->sizeHint().height() : 0;
  viewport_->setGeometry(inside.x(), inside.y(), std::max(0, inside.width() - bar_width),
                         std::max(0, inside.height() - bar_height));
  if (shown_[1]) {
    bars_[1]->setGeometry(inside.right() + 1 - bar_width, inside.y(), bar_width,
                          std::max(0, inside.height() - bar_height));
  }
  if (shown_[0]) {
    bars_[0]->setGeometry(inside.x(), inside.bottom() + 1 - bar_height,
                          std::max(0, inside.width() - bar_width), bar_height);
  }
}

Size QtCanvas::ClientSize() const {
  if (!viewport_) return Size{};
  return Size{viewport_->width(), viewport_->height()};
}

void QtCanvas::InvalidateRect(const Rect& rect) {
  if (viewport_) viewport_->update(ToQRect(rect));
}

void QtCanvas::Invalidate() {
  if (viewport_) viewport_->update();
}

void QtCanvas::RepaintNow() {
  if (viewport_) viewport_->repaint();
}

void QtCanvas::SetFocus() {
  if (!viewport_) return;
  QWidget* top = viewport_->window();
  if (top && top->isVisible() && !top->isActiveWindow()) top->activateWindow();
  viewport_->setFocus(Qt::OtherFocusReason);
}

QWidget* QtCanvas::ContainerWidget() const { return viewport_; }

void QtCanvas::SetScrollBar(Orientation which, bool shown, const ScrollInfo& info) {
  int i = which == Orientation::kHorizontal ? 0 : 1;
  setting_scroll_ = true;
  // The classic bar's maximum is its last position; with a page, the thumb stops a page short.
  int last = std::max(info.minimum, info.maximum - std::max(0, info.page - 1));
  bars_[i]->setRange(info.minimum, last);
  bars_[i]->setPageStep(std::max(1, info.page));
  bars_[i]->setValue(info.position);
  bool changed = shown_[i] != shown;
  shown_[i] = shown;
  bars_[i]->setVisible(shown);
  setting_scroll_ = false;
  if (changed) Layout();
}

ScrollInfo QtCanvas::ScrollBar(Orientation which) const {
  int i = which == Orientation::kHorizontal ? 0 : 1;
  ScrollInfo info;
  info.minimum = bars_[i]->minimum();
  info.page = bars_[i]->pageStep();
  info.maximum = bars_[i]->maximum() + std::max(0, info.page - 1);
  info.position = bars_[i]->value();
  return info;
}

void QtCanvas::SetMouseCapture(bool capture) {
  if (!viewport_) return;
  if (capture) {
    viewport_->grabMouse();
  } else {
    viewport_->releaseMouse();
  }
}

void QtCanvas::ShowTip(const Rect& rect, std::string_view text_gbk, const FontSpec& font) {
  if (text_gbk.empty()) {
    if (tip_) tip_->hide();
    return;
  }
  if (!tip_) {
    // The tip lies over the cell it explains: clicks must pass through it to the canvas.
    tip_ = new QLabel(viewport_,
                      Qt::ToolTip | Qt::WindowTransparentForInput | Qt::WindowDoesNotAcceptFocus);
    tip_->setTextFormat(Qt::PlainText);
    tip_->setAutoFillBackground(true);
  }
  tip_->setFont(ToQFont(font, QApplication::font()));
  // The runtime has broken a long text into lines (CR LF) and sized the tip for them.
  tip_->setText(ToQtLineBreaks(FromGbk(text_gbk)));
  QPoint at = viewport_->mapToGlobal(QPoint(rect.left, rect.top));
  tip_->move(at);
  QSize hint = tip_->sizeHint();
  tip_->resize(std::max(rect.width, hint.width()), std::max(rect.height, hint.height()));
  tip_->show();
}

// A tip belongs to the pointer's place on the canvas; it goes when the pointer leaves.
void QtCanvas::PointerLeft() {
  if (tip_) tip_->hide();
}

void QtCanvas::Paint(const QRect& dirty) {
  QPainter painter(viewport_);
  if (!on_paint) {
    painter.fillRect(dirty, viewport_->palette().color(QPalette::Base));
    return;
  }
  QtPainter seam(&painter);
  auto handler = on_paint;
  handler(seam, FromQRect(dirty));
}

void QtCanvas::Input(const InputEvent& event) { Fire(on_input, event); }

}  // namespace memo::platform::qt
