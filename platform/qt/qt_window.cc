#include "platform/qt/qt_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPixmap>
#include <QShortcut>
#include <QWheelEvent>
#include <QWindow>

#include <algorithm>

#include "platform/handler.h"
#include "platform/qt/qt_backend.h"
#include "platform/qt/qt_controls.h"
#include "platform/qt/qt_convert.h"

namespace memo::platform::qt {

namespace {

// The estimated frame of a top-level window: window definitions give outer sizes, Qt sizes the
// inside of the frame.
constexpr int kFrame = 3;
constexpr int kCaption = 23;
// Room kept between the controls and the client area's right and bottom edges.
constexpr int kClientMargin = 4;

InputEvent MouseInput(InputKind kind, QWidget* control_widget, QObject* watched,
                      const QMouseEvent& event) {
  InputEvent input;
  input.kind = kind;
  QPoint p = event.position().toPoint();
  if (auto* from = qobject_cast<QWidget*>(watched);
      from && control_widget && from != control_widget && control_widget->isAncestorOf(from)) {
    p = from->mapTo(control_widget, p);
  }
  input.x = p.x();
  input.y = p.y();
  input.shift = ShiftStateOf(event.modifiers());
  return input;
}

bool IsWithin(QWidget* widget, QWidget* container) {
  return widget && container && (widget == container || container->isAncestorOf(widget));
}

}  // namespace

// --- Input ---------------------------------------------------------------------------------------

InputRouter::InputRouter(QtWindow* window, Control* target, QWidget* control_widget)
    : window_(window), target_(target), control_widget_(control_widget) {}

void InputRouter::Watch(QWidget* widget) {
  if (widget) widget->installEventFilter(this);
}

InputDecision InputRouter::Offer(const InputEvent& input) {
  // The routine may close the window: the window object, and this router, may be gone after.
  return window_->Deliver(target_, input);
}

bool InputRouter::OfferCharacters(const QString& text, QString* passed, bool* changed) {
  QPointer<InputRouter> alive(this);
  for (const QString& one : SplitCharacters(text)) {
    InputEvent typed;
    typed.kind = InputKind::kChar;
    typed.key = static_cast<int>(QStringToChar(one));
    if (typed.key == 0) {  // no character of the code page: the widget gets it as it is
      *passed += one;
      continue;
    }
    InputDecision decision = Offer(typed);
    if (!alive) return false;
    if (decision.action == InputDecision::Action::kSwallow) {
      *changed = true;
    } else if (decision.action == InputDecision::Action::kReplace) {
      *passed += CharToQString(decision.replacement);
      *changed = true;
    } else {
      *passed += one;
    }
  }
  return true;
}

// Every return after an Offer reads no member unless `alive` says the router still exists.
bool InputRouter::eventFilter(QObject* watched, QEvent* event) {
  if (forwarding_) return false;
  QWidget* control_widget = control_widget_;
  switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick: {
      auto* mouse = static_cast<QMouseEvent*>(event);
      bool left = mouse->button() == Qt::LeftButton;
      bool right = mouse->button() == Qt::RightButton;
      if (!left && !right) return false;
      InputKind kind;
      if (event->type() == QEvent::MouseButtonRelease) {
        kind = left ? InputKind::kLeftUp : InputKind::kRightUp;
      } else if (event->type() == QEvent::MouseButtonDblClick && left) {
        kind = InputKind::kLeftDoubleClick;
      } else {
        kind = left ? InputKind::kLeftDown : InputKind::kRightDown;
      }
      InputEvent input = MouseInput(kind, control_widget, watched, *mouse);
      QPointer<InputRouter> alive(this);
      if (Offer(input).action != InputDecision::Action::kPass) return true;
      if (!alive) return true;
      if (kind == InputKind::kLeftDown && click_focus_ && target_ && !target_->HasFocus()) {
        target_->SetFocus();
        if (!alive) return true;
      }
      return false;
    }
    case QEvent::MouseMove: {
      auto* mouse = static_cast<QMouseEvent*>(event);
      InputEvent input = MouseInput(InputKind::kMouseMove, control_widget, watched, *mouse);
      return Offer(input).action != InputDecision::Action::kPass;
    }
    case QEvent::Wheel:
      return Offer(WheelInput(*static_cast<QWheelEvent*>(event))).action !=
             InputDecision::Action::kPass;
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
      auto* key = static_cast<QKeyEvent*>(event);
      InputEvent input = KeyInput(
          event->type() == QEvent::KeyPress ? InputKind::kKeyDown : InputKind::kKeyUp, *key);
      QPointer<InputRouter> alive(this);
      if (input.key != 0 && Offer(input).action != InputDecision::Action::kPass) return true;
      if (!alive) return true;
      if (event->type() != QEvent::KeyPress || input.system_key) return false;
      // The characters the key types, each offered to the runtime before the widget gets it.
      const QString text = TypedText(*key);
      if (text.isEmpty()) return false;
      const std::vector<QString> characters = SplitCharacters(text);
      for (const QString& one : characters) {
        QString passed;
        bool changed = false;
        if (!OfferCharacters(one, &passed, &changed)) return true;
        if (characters.size() == 1 && !changed) return false;  // the key as it came
        if (passed.isEmpty()) continue;
        QKeyEvent replaced(QEvent::KeyPress, key->key(), key->modifiers(), passed,
                           key->isAutoRepeat(), static_cast<ushort>(key->count()));
        forwarding_ = true;
        QCoreApplication::sendEvent(watched, &replaced);
        if (!alive) return true;
        forwarding_ = false;
      }
      return true;
    }
    case QEvent::InputMethod: {
      // Text composed by an input method arrives here, not as key presses.
      auto* im = static_cast<QInputMethodEvent*>(event);
      const QString text = im->commitString();
      if (text.isEmpty()) return false;
      QPointer<InputRouter> alive(this);
      const std::vector<QString> characters = SplitCharacters(text);
      // Each character is offered and, if it passes, handed to the widget before the next one is
      // offered, as the classic input-method characters come one by one: the runtime judges each
      // against the text the ones before it made (a length limit takes those that fit).
      bool replacement_pending = true;  // the first character sent replaces the given range
      for (size_t i = 0; i < characters.size(); ++i) {
        QString passed;
        bool changed = false;
        if (!OfferCharacters(characters[i], &passed, &changed)) return true;
        bool last = i + 1 == characters.size();
        if (characters.size() == 1 && !changed) return false;  // the event as it came
        if (passed.isEmpty() && !last) continue;
        // The last one also carries the text still being composed.
        QInputMethodEvent one(last ? im->preeditString() : QString(),
                              last ? im->attributes() : QList<QInputMethodEvent::Attribute>());
        one.setCommitString(passed, replacement_pending ? im->replacementStart() : 0,
                            replacement_pending ? im->replacementLength() : 0);
        if (!passed.isEmpty()) replacement_pending = false;
        forwarding_ = true;
        QCoreApplication::sendEvent(watched, &one);
        if (!alive) return true;
        forwarding_ = false;
      }
      return true;
    }
    case QEvent::FocusIn:
      if (!has_focus_) {
        has_focus_ = true;
        InputEvent input;
        input.kind = InputKind::kFocusGained;
        Offer(input);
      }
      return false;
    case QEvent::FocusOut:
      // Focus moving between the inner widgets of one control is no change for the runtime.
      if (has_focus_ && !IsWithin(QApplication::focusWidget(), control_widget)) {
        has_focus_ = false;
        InputEvent input;
        input.kind = InputKind::kFocusLost;
        Offer(input);
      }
      return false;
    default: return false;
  }
}

// --- The top-level widget
// -------------------------------------------------------------------------

WindowWidget::WindowWidget(QtWindow* owner) : QWidget(nullptr, Qt::Window), owner_(owner) {
  client_ = new QWidget(this);
  client_->setObjectName(QStringLiteral("client"));
}

QMenuBar* WindowWidget::EnsureMenuBar() {
  if (!menu_bar_) {
    menu_bar_ = new QMenuBar(this);
    menu_bar_->show();
  }
  return menu_bar_;
}

void WindowWidget::RemoveMenuBar() {
  if (!menu_bar_) return;
  menu_bar_->hide();
  menu_bar_->deleteLater();
  menu_bar_ = nullptr;
  Relayout();
}

void WindowWidget::Relayout() {
  int top = 0;
  if (menu_bar_) {
    top = menu_bar_->sizeHint().height();
    menu_bar_->setGeometry(0, 0, width(), top);
  }
  client_->setGeometry(0, top, width(), std::max(0, height() - top));
}

bool WindowWidget::focusNextPrevChild(bool /*next*/) {
  // Tab moves the focus only as the runtime decides (it sees every Tab first and moves the focus
  // through SetFocus); a Tab it lets pass does what it does in a native window: nothing.
  return false;
}

void WindowWidget::closeEvent(QCloseEvent* event) {
  // The runtime decides whether the window goes; a disabled window (under a modal one) cannot be
  // closed by the user at all.
  event->ignore();
  if (owner_ && isEnabled()) owner_->CloseRequested();
}

void WindowWidget::moveEvent(QMoveEvent* event) {
  QWidget::moveEvent(event);
  if (owner_) owner_->Moved();
}

void WindowWidget::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  Relayout();
  if (owner_) owner_->Resized();
}

void WindowWidget::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::ActivationChange && isActiveWindow() && owner_) {
    owner_->Activated();
  }
}

// --- The window
// ------------------------------------------------------------------------------------

QtWindow::QtWindow(QtBackend* backend, const WindowStyle& style)
    : backend_(backend), style_(style) {
  widget_ = new WindowWidget(this);
  Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
  if (style.border == WindowBorder::kNone) flags |= Qt::FramelessWindowHint;
  if (style.border == WindowBorder::kNarrowCaptionFixed ||
      style.border == WindowBorder::kNarrowCaptionResizable || !style.show_in_taskbar) {
    flags |= Qt::Tool;
  }
  if (style.control_box) flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
  if (style.minimize_button) flags |= Qt::WindowMinimizeButtonHint;
  if (style.maximize_button) flags |= Qt::WindowMaximizeButtonHint;
  if (style.always_on_top) flags |= Qt::WindowStaysOnTopHint;
  widget_->setWindowFlags(flags);
  widget_->setWindowTitle(FromGbk(style.caption_gbk));
  if (!style.icon_bytes.empty()) {
    QPixmap icon;
    if (icon.loadFromData(reinterpret_cast<const uchar*>(style.icon_bytes.data()),
                          static_cast<uint>(style.icon_bytes.size()))) {
      widget_->setWindowIcon(QIcon(icon));
    }
  }
  if (style.background != kDefaultColor) SetBackground(style.background);
  client_router_ = std::make_unique<InputRouter>(this, nullptr, widget_->client());
  client_router_->Watch(widget_->client());
  client_router_->Watch(widget_);
  ApplyGeometry();
}

QtWindow::~QtWindow() {
  // Nothing reaches the runtime from a window being destroyed.
  on_input = nullptr;
  on_close_request = nullptr;
  on_moved = nullptr;
  on_resized = nullptr;
  on_activated = nullptr;
  on_command = nullptr;
  controls_.clear();
  client_router_.reset();
  if (widget_) {
    widget_->ForgetOwner();
    widget_->hide();
    widget_->deleteLater();
  }
}

QWidget* QtWindow::ParentWidget(Control* parent) const {
  if (parent) {
    if (QtControlCommon* common = QtCommonOf(parent)) {
      if (QWidget* inside = common->ContainerWidget()) return inside;
      if (common->widget()) return common->widget();
    }
  }
  return client();
}

QSize QtWindow::InnerSize(const Rect& outer) const {
  bool framed = style_.border != WindowBorder::kNone;
  int width = outer.width - (framed ? 2 * kFrame : 0);
  int height = outer.height - (framed ? 2 * kFrame + kCaption : 0);
  return QSize(std::max(1, width), std::max(1, height));
}

bool QtWindow::IsFixedSize() const {
  return style_.border == WindowBorder::kFixed ||
         style_.border == WindowBorder::kNarrowCaptionFixed ||
         style_.border == WindowBorder::kSunkenFixed;
}

QSize QtWindow::ControlsExtent() const {
  QWidget* area = client();
  int right = 0;
  int bottom = 0;
  for (const auto& control : controls_) {
    QWidget* w = QtCommonOf(control.get())->widget();
    // Controls inside a container count through the container; hidden ones take no room.
    if (!w || w->parentWidget() != area || w->isHidden()) continue;
    QRect shown = w->geometry();
    right = std::max(right, shown.x() + shown.width());
    bottom = std::max(bottom, shown.y() + shown.height());
  }
  if (right == 0 && bottom == 0) return QSize(0, 0);
  return QSize(right + kClientMargin, bottom + kClientMargin);
}

void QtWindow::FitClient() {
  if (!widget_) return;
  // The definitions' outer sizes were measured on a system whose frame, caption and menu bar may
  // be smaller than this one's: the client area grows until every control is fully visible.
  QSize needed = ControlsExtent();
  int menu = widget_->menu_bar() ? widget_->menu_bar()->sizeHint().height() : 0;
  QSize base = IsFixedSize() ? InnerSize(style_.rect) : widget_->size();
  QSize size(std::max(base.width(), needed.width()),
             std::max(base.height(), needed.height() + menu));
  if (IsFixedSize()) {
    if (widget_->minimumSize() != size || widget_->maximumSize() != size) {
      widget_->setFixedSize(size);
    }
  } else if (widget_->size() != size) {
    widget_->resize(size);
  }
  widget_->Relayout();
}

void QtWindow::ControlsChanged() { FitClient(); }

void QtWindow::ApplyGeometry() {
  if (!widget_) return;
  widget_->move(style_.rect.left, style_.rect.top);
  if (!IsFixedSize()) widget_->resize(InnerSize(style_.rect));
  FitClient();
}

void QtWindow::SetCaption(std::string_view caption_gbk) {
  style_.caption_gbk = caption_gbk;
  if (widget_) widget_->setWindowTitle(FromGbk(caption_gbk));
}

std::string QtWindow::Caption() const { return style_.caption_gbk; }

void QtWindow::SetGeometry(const Rect& rect) {
  style_.rect = rect;
  ApplyGeometry();
}

Rect QtWindow::Geometry() const {
  if (!widget_) return style_.rect;
  bool framed = style_.border != WindowBorder::kNone;
  QPoint position = widget_->pos();
  QSize inner = widget_->size();
  return Rect{position.x(), position.y(), inner.width() + (framed ? 2 * kFrame : 0),
              inner.height() + (framed ? 2 * kFrame + kCaption : 0)};
}

Size QtWindow::ClientSize() const {
  QWidget* area = client();
  return area ? Size{area->width(), area->height()} : Size{};
}

Point QtWindow::ClientToScreen(Point client_point) const {
  QWidget* area = client();
  if (!area) return client_point;
  QPoint p = area->mapToGlobal(QPoint(client_point.x, client_point.y));
  return Point{p.x(), p.y()};
}

Point QtWindow::ScreenToClient(Point screen) const {
  QWidget* area = client();
  if (!area) return screen;
  QPoint p = area->mapFromGlobal(QPoint(screen.x, screen.y));
  return Point{p.x(), p.y()};
}

void QtWindow::Show(ShowMode mode) {
  if (!widget_) return;
  switch (mode) {
    case ShowMode::kMinimized: widget_->showMinimized(); break;
    case ShowMode::kMaximized: widget_->showMaximized(); break;
    case ShowMode::kNormal:
      widget_->show();
      widget_->raise();
      widget_->activateWindow();
      break;
  }
  if (style_.owner) {
    // Stays above its owner (without Qt owning it: the runtime destroys windows).
    auto* owner = static_cast<QtWindow*>(style_.owner);
    if (owner->widget() && widget_->windowHandle() && owner->widget()->windowHandle()) {
      widget_->windowHandle()->setTransientParent(owner->widget()->windowHandle());
    }
  }
}

void QtWindow::Hide() {
  if (widget_) widget_->hide();
}

bool QtWindow::IsVisible() const { return widget_ && widget_->isVisible(); }

bool QtWindow::IsMinimized() const { return widget_ && widget_->isMinimized(); }

void QtWindow::Restore() {
  if (widget_) widget_->showNormal();
}

void QtWindow::Activate() {
  if (!widget_) return;
  widget_->raise();
  widget_->activateWindow();
}

bool QtWindow::IsActive() const { return widget_ && widget_->isActiveWindow(); }

void QtWindow::SetEnabled(bool enabled) {
  if (widget_) widget_->setEnabled(enabled);
}

bool QtWindow::IsEnabled() const { return widget_ && widget_->isEnabled(); }

void QtWindow::SetAlwaysOnTop(bool on_top) {
  style_.always_on_top = on_top;
  if (!widget_) return;
  bool visible = widget_->isVisible();
  widget_->setWindowFlag(Qt::WindowStaysOnTopHint, on_top);
  if (visible) widget_->show();  // changing window flags hides the window
}

void QtWindow::SetBackground(Color color) {
  style_.background = color;
  if (!widget_) return;
  QPalette palette = widget_->palette();
  palette.setColor(QPalette::Window, color == kDefaultColor
                                         ? QApplication::palette().color(QPalette::Window)
                                         : ToQColor(color));
  widget_->setPalette(palette);
  widget_->setAutoFillBackground(true);
}

void QtWindow::SetCursor(CursorShape shape) {
  if (widget_) widget_->setCursor(ToQtCursor(shape));
}

void QtWindow::Invalidate() {
  if (widget_) widget_->update();
}

void QtWindow::RepaintNow() {
  if (widget_) widget_->repaint();
}

void QtWindow::SetMenuBar(const std::vector<MenuEntry>& bar) {
  if (!widget_) return;
  if (bar.empty()) {
    widget_->RemoveMenuBar();
    FitClient();
    return;
  }
  QMenuBar* menu_bar = widget_->EnsureMenuBar();
  menu_bar->clear();
  for (const MenuEntry& item : bar) {
    if (item.separator) continue;
    QString caption = FromGbk(item.caption_gbk);
    if (item.children.empty()) {
      QAction* action = menu_bar->addAction(caption);
      action->setData(item.command_id);
      action->setEnabled(!item.disabled);
      continue;
    }
    QMenu* menu = menu_bar->addMenu(caption);
    menu->setEnabled(!item.disabled);
    FillQMenu(menu, item.children);
  }
  QObject::disconnect(menu_bar, &QMenuBar::triggered, this, nullptr);
  connect(menu_bar, &QMenuBar::triggered, this, [this](QAction* action) {
    int id = action->data().toInt();
    if (id != 0) Fire(on_command, id);
  });
  FitClient();
}

void QtWindow::OpenMenuBar(int index) {
  if (!widget_) return;
  QMenuBar* menu_bar = widget_->findChild<QMenuBar*>(QString(), Qt::FindDirectChildrenOnly);
  if (!menu_bar) return;
  const QList<QAction*> actions = menu_bar->actions();
  int seen = 0;
  for (QAction* action : actions) {
    if (action->isSeparator()) continue;
    if (seen++ != index) continue;
    menu_bar->setFocus(Qt::MenuBarFocusReason);
    menu_bar->setActiveAction(action);  // drops its popup, the keyboard in it
    return;
  }
}

void QtWindow::SetAccelerators(const std::vector<Accelerator>& accelerators) {
  for (QShortcut* shortcut : shortcuts_) shortcut->deleteLater();
  shortcuts_.clear();
  if (!widget_) return;
  for (const Accelerator& accelerator : accelerators) {
    int key = QtKeyOf(accelerator.key);
    if (key == Qt::Key_unknown) continue;
    Qt::KeyboardModifiers modifiers;
    if (accelerator.shift & kShiftCtrl) modifiers |= Qt::ControlModifier;
    if (accelerator.shift & kShiftShift) modifiers |= Qt::ShiftModifier;
    if (accelerator.shift & kShiftAlt) modifiers |= Qt::AltModifier;
    auto* shortcut = new QShortcut(QKeySequence(QKeyCombination(modifiers, Qt::Key(key))), widget_);
    shortcut->setContext(Qt::WindowShortcut);
    int id = accelerator.command_id;
    connect(shortcut, &QShortcut::activated, this, [this, id] { Fire(on_command, id); });
    shortcuts_.push_back(shortcut);
  }
}

template <typename T>
T* QtWindow::Adopt(std::unique_ptr<T> control) {
  T* raw = control.get();
  controls_.push_back(std::move(control));
  FitClient();
  return raw;
}

EditControl* QtWindow::CreateEdit(const ControlPlacement& placement, const EditStyle& style) {
  return Adopt(std::make_unique<QtEdit>(this, placement, style));
}

ButtonControl* QtWindow::CreateButton(const ControlPlacement& placement, const ButtonStyle& style) {
  return Adopt(std::make_unique<QtButton>(this, placement, style));
}

ComboControl* QtWindow::CreateCombo(const ControlPlacement& placement, const ComboStyle& style) {
  return Adopt(std::make_unique<QtCombo>(this, placement, style));
}

StaticControl* QtWindow::CreateStatic(const ControlPlacement& placement, const StaticStyle& style) {
  return Adopt(std::make_unique<QtStatic>(this, placement, style));
}

UpDownControl* QtWindow::CreateUpDown(const ControlPlacement& placement, const UpDownStyle& style) {
  return Adopt(std::make_unique<QtUpDown>(this, placement, style));
}

BrowserControl* QtWindow::CreateBrowser(const ControlPlacement& placement,
                                        std::string_view address_gbk) {
  return Adopt(std::make_unique<QtBrowser>(this, placement, address_gbk));
}

CanvasControl* QtWindow::CreateCanvas(const ControlPlacement& placement, const CanvasStyle& style) {
  return Adopt(std::make_unique<QtCanvas>(this, placement, style));
}

void QtWindow::DestroyControl(Control* control) {
  auto it =
      std::find_if(controls_.begin(), controls_.end(),
                   [control](const std::unique_ptr<Control>& c) { return c.get() == control; });
  if (it == controls_.end()) return;
  // Controls inside it go with it.
  QWidget* inside = QtCommonOf(control)->widget();
  std::vector<Control*> children;
  for (const auto& other : controls_) {
    QWidget* w = QtCommonOf(other.get())->widget();
    if (other.get() != control && w && inside && inside->isAncestorOf(w))
      children.push_back(other.get());
  }
  for (Control* child : children) DestroyControl(child);
  it = std::find_if(controls_.begin(), controls_.end(),
                    [control](const std::unique_ptr<Control>& c) { return c.get() == control; });
  if (it != controls_.end()) controls_.erase(it);
  FitClient();
}

Control* QtWindow::FocusedControl() const {
  if (!widget_) return nullptr;
  QWidget* focus = widget_->focusWidget();
  if (!focus || !widget_->isActiveWindow()) return nullptr;
  for (const auto& control : controls_) {
    if (IsWithin(focus, QtCommonOf(control.get())->widget())) return control.get();
  }
  return nullptr;
}

InputDecision QtWindow::Deliver(Control* target, const InputEvent& event) {
  if (!on_input) return InputDecision::Pass();
  auto handler = on_input;  // the routine may destroy this window
  return handler(target, event);
}

void QtWindow::CloseRequested() { Fire(on_close_request); }

void QtWindow::Moved() { Fire(on_moved); }

void QtWindow::Resized() { Fire(on_resized); }

void QtWindow::Activated() { Fire(on_activated); }

}  // namespace memo::platform::qt
