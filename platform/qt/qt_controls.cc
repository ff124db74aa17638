#include "platform/qt/qt_controls.h"

#include <QApplication>
#include <QComboBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTextBrowser>
#include <QTextCursor>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <limits>

#include "platform/handler.h"
#include "platform/qt/qt_convert.h"

namespace memo::platform::qt {

namespace {

Qt::Alignment ToQtAlign(Align align) {
  switch (align) {
    case Align::kCentre: return Qt::AlignHCenter;
    case Align::kRight: return Qt::AlignRight;
    case Align::kLeft:
    default: return Qt::AlignLeft;
  }
}

Qt::Alignment ToQtVAlign(VAlign align) {
  switch (align) {
    case VAlign::kCentre: return Qt::AlignVCenter;
    case VAlign::kBottom: return Qt::AlignBottom;
    case VAlign::kTop:
    default: return Qt::AlignTop;
  }
}

// The character a password box shows for each character.
class PasswordStyle : public QProxyStyle {
 public:
  explicit PasswordStyle(QChar shown) : shown_(shown) {}
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* data) const override {
    if (hint == SH_LineEdit_PasswordCharacter) return shown_.unicode();
    return QProxyStyle::styleHint(hint, option, widget, data);
  }

 private:
  QChar shown_;
};

// Positions in a multi-line box's plain text (LF line ends) and byte offsets of its GBK text
// (CR LF line ends), character by character.
int BytesOfPlainPosition(const QString& plain, int position) {
  return GbkLength(ToCrLf(plain.left(position)));
}

int PlainPositionOfBytes(const QString& plain, int byte_offset) {
  int bytes = 0;
  int position = 0;
  for (const QString& one : SplitCharacters(plain)) {
    int width = one == QStringLiteral("\n") ? 2 : GbkLength(one);
    if (bytes + width > byte_offset) break;
    bytes += width;
    position += static_cast<int>(one.size());
  }
  return position;
}

// Holds `flag` true for the life of the guard.
class Calling {
 public:
  explicit Calling(bool* flag) : flag_(flag), before_(*flag) { *flag_ = true; }
  ~Calling() { *flag_ = before_; }
  Calling(const Calling&) = delete;
  Calling& operator=(const Calling&) = delete;

 private:
  bool* flag_;
  bool before_;
};

bool IsWithin(QWidget* widget, QWidget* container) {
  return widget && container && (widget == container || container->isAncestorOf(widget));
}

QWidget* MakeEditWidget(const EditStyle& style) {
  if (style.multi_line) return new QPlainTextEdit();
  return new QLineEdit();
}

QWidget* MakeUpDownWidget(const UpDownStyle& style) {
  auto* widget = new QWidget();
  QBoxLayout* layout = style.horizontal ? static_cast<QBoxLayout*>(new QHBoxLayout(widget))
                                        : static_cast<QBoxLayout*>(new QVBoxLayout(widget));
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  auto* up = new QToolButton(widget);
  up->setObjectName(QStringLiteral("up"));
  up->setArrowType(style.horizontal ? Qt::RightArrow : Qt::UpArrow);
  up->setAutoRepeat(true);
  auto* down = new QToolButton(widget);
  down->setObjectName(QStringLiteral("down"));
  down->setArrowType(style.horizontal ? Qt::LeftArrow : Qt::DownArrow);
  down->setAutoRepeat(true);
  if (style.horizontal) {
    layout->addWidget(down);
    layout->addWidget(up);
  } else {
    layout->addWidget(up);
    layout->addWidget(down);
  }
  return widget;
}

}  // namespace

// --- Common
// ---------------------------------------------------------------------------------------

QtControlCommon::QtControlCommon(QtWindow* window, Control* self, QWidget* widget,
                                 const ControlPlacement& placement)
    : window_(window), widget_(widget), rect_(placement.rect) {
  widget->setParent(window->ParentWidget(placement.parent));
  widget->setGeometry(ToQRect(placement.rect));
  widget->setEnabled(!placement.disabled);
  // Qt would give a clicked widget the focus before anyone sees the press; a native control takes
  // it while handling the press, after the runtime let the press pass. So no widget takes the
  // focus on a click by itself: the router gives it (InputRouter::SetClickFocus).
  widget->setFocusPolicy(placement.tab_stop ? Qt::TabFocus : Qt::NoFocus);
  widget->setVisible(placement.visible);
  router_ = std::make_unique<InputRouter>(window, self, widget);
  router_->Watch(widget);
}

QtControlCommon::~QtControlCommon() {
  router_.reset();  // no more input to the runtime from here on
  if (widget_) {
    // Hiding a focused widget would hand the focus to the next control (and its focus event to
    // the runtime) in the middle of this destruction; a destroyed control leaves no focus.
    QWidget* focus = QApplication::focusWidget();
    if (focus && (focus == widget_ || widget_->isAncestorOf(focus))) focus->clearFocus();
    widget_->hide();
    widget_->deleteLater();  // this may run inside one of the widget's own handlers
  }
}

QtControlCommon* QtCommonOf(Control* control) { return dynamic_cast<QtControlCommon*>(control); }

template <typename Base>
void QtControl<Base>::SetGeometry(const Rect& rect) {
  rect_ = rect;
  if (!widget_) return;
  widget_->setGeometry(rect.left, rect.top, rect.width, ShownHeight(rect.height));
  window_->ControlsChanged();
}

template <typename Base>
void QtControl<Base>::SetVisible(bool visible) {
  if (!widget_) return;
  widget_->setVisible(visible);
  window_->ControlsChanged();
}

template <typename Base>
bool QtControl<Base>::IsVisible() const {
  return widget_ && !widget_->isHidden();
}

template <typename Base>
void QtControl<Base>::SetEnabled(bool enabled) {
  if (widget_) widget_->setEnabled(enabled);
}

template <typename Base>
bool QtControl<Base>::IsEnabled() const {
  // Its own state: a control of a disabled window stays enabled in itself.
  return widget_ && !widget_->testAttribute(Qt::WA_ForceDisabled);
}

template <typename Base>
void QtControl<Base>::SetFocus() {
  if (!widget_) return;
  QWidget* top = widget_->window();
  if (top && top->isVisible() && !top->isActiveWindow()) top->activateWindow();
  // The runtime moves the focus for the keyboard (Tab, Enter, a window's load): the window then
  // counts as used from the keyboard, so that the style rings the focused button or combo box.
  if (top) top->setAttribute(Qt::WA_KeyboardFocusChange);
  widget_->setFocus(Qt::OtherFocusReason);
}

template <typename Base>
bool QtControl<Base>::HasFocus() const {
  return IsWithin(QApplication::focusWidget(), widget_);
}

template <typename Base>
void QtControl<Base>::SetFont(const FontSpec& font) {
  if (widget_) widget_->setFont(ToQFont(font, QApplication::font()));
}

template <typename Base>
void QtControl<Base>::SetColors(Color text, Color background) {
  if (!widget_) return;
  QPalette palette = widget_->palette();
  const QPalette& defaults = QApplication::palette();
  QColor fore = text == kDefaultColor ? defaults.color(QPalette::Text) : ToQColor(text);
  palette.setColor(QPalette::Text, fore);
  palette.setColor(QPalette::WindowText, fore);
  palette.setColor(QPalette::ButtonText, fore);
  if (background != kDefaultColor) {
    QColor back = ToQColor(background);
    palette.setColor(QPalette::Base, back);
    palette.setColor(QPalette::Window, back);
    palette.setColor(QPalette::Button, back);
  }
  widget_->setPalette(palette);
}

template <typename Base>
void QtControl<Base>::SetCursor(CursorShape shape) {
  if (widget_) widget_->setCursor(ToQtCursor(shape));
}

template <typename Base>
bool QtControl<Base>::SetCursorImage(std::string_view image_bytes) {
  if (!widget_) return false;
  if (image_bytes.empty()) {
    widget_->unsetCursor();
    return true;
  }
  QPixmap pixmap;
  if (!pixmap.loadFromData(reinterpret_cast<const uchar*>(image_bytes.data()),
                           static_cast<uint>(image_bytes.size()))) {
    widget_->unsetCursor();
    return false;
  }
  widget_->setCursor(QCursor(pixmap));
  return true;
}

template <typename Base>
void QtControl<Base>::SetParent(Control* parent) {
  if (!widget_) return;
  bool hidden = widget_->isHidden();
  widget_->setParent(window_->ParentWidget(parent));
  SetGeometry(rect_);
  if (!hidden) widget_->show();
  window_->ControlsChanged();
}

template <typename Base>
void QtControl<Base>::PlaceAfter(Control* previous) {
  if (!widget_) return;
  QtControlCommon* other = previous ? QtCommonOf(previous) : nullptr;
  QWidget* before = other ? other->widget() : nullptr;
  if (before && before->parentWidget() == widget_->parentWidget()) {
    widget_->stackUnder(before);
    QWidget::setTabOrder(before, widget_);
  } else if (!previous) {
    widget_->raise();
  }
}

template <typename Base>
void QtControl<Base>::Invalidate() {
  if (widget_) widget_->update();
}

template <typename Base>
void QtControl<Base>::RepaintNow() {
  if (widget_) widget_->repaint();
}

template class QtControl<EditControl>;
template class QtControl<ButtonControl>;
template class QtControl<ComboControl>;
template class QtControl<StaticControl>;
template class QtControl<UpDownControl>;
template class QtControl<BrowserControl>;
template class QtControl<CanvasControl>;

// --- Edit box ------------------------------------------------------------------------------------

QtEdit::QtEdit(QtWindow* window, const ControlPlacement& placement, const EditStyle& style)
    : QtControl(window, MakeEditWidget(style), placement), style_(style) {
  line_ = qobject_cast<QLineEdit*>(widget());
  lines_ = qobject_cast<QPlainTextEdit*>(widget());
  router()->SetClickFocus(true);
  Calling calling(&calling_);
  if (line_) {
    line_->setFrame(style.border != 0);
    line_->setText(FromGbk(style.text_gbk));
    line_->setAlignment(ToQtAlign(style.align) | Qt::AlignVCenter);
    // textEdited comes from the user's edits alone, whatever way they arrive (keys, paste,
    // drop, undo, input methods).
    QObject::connect(line_, &QLineEdit::textEdited, router(), [this] { Changed(); });
  } else {
    router()->Watch(lines_->viewport());
    lines_->setFrameShape(style.border != 0 ? QFrame::StyledPanel : QFrame::NoFrame);
    lines_->setPlainText(ToQtLineBreaks(FromGbk(style.text_gbk)));
    last_text_ = lines_->toPlainText();
    bool vertical =
        style.scroll_bars == ScrollBars::kVertical || style.scroll_bars == ScrollBars::kBoth;
    bool horizontal =
        style.scroll_bars == ScrollBars::kHorizontal || style.scroll_bars == ScrollBars::kBoth;
    lines_->setVerticalScrollBarPolicy(vertical ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    lines_->setHorizontalScrollBarPolicy(horizontal ? Qt::ScrollBarAlwaysOn
                                                    : Qt::ScrollBarAlwaysOff);
    lines_->setLineWrapMode(horizontal ? QPlainTextEdit::NoWrap : QPlainTextEdit::WidgetWidth);
    QObject::connect(lines_, &QPlainTextEdit::textChanged, router(), [this] { Changed(); });
  }
  SetColors(style.text_color, style.background);
  if (!style.font.IsDefault()) SetFont(style.font);
  SetReadOnly(style.read_only);
  SetPasswordChar(style.password_char);
  SetSelection(style.selection_start, style.selection_length);
}

void QtEdit::Changed() {
  if (lines_) {
    // The document also reports changes of formatting alone; only a new text counts.
    QString text = lines_->toPlainText();
    if (text == last_text_) return;
    last_text_ = text;
  }
  if (!calling_) Fire(on_user_change);
}

void QtEdit::SetText(std::string_view text_gbk) {
  Calling calling(&calling_);
  if (line_) {
    line_->setText(FromGbk(text_gbk));
    line_->setCursorPosition(0);
  } else {
    lines_->setPlainText(ToQtLineBreaks(FromGbk(text_gbk)));
    last_text_ = lines_->toPlainText();
  }
}

std::string QtEdit::Text() const {
  if (line_) return ToGbk(line_->text());
  return ToGbk(ToCrLf(lines_->toPlainText()));
}

void QtEdit::SetSelection(int start, int length) {
  Calling calling(&calling_);
  start = std::max(0, start);
  long long end = length < 0 ? std::numeric_limits<int>::max()
                             : std::min<long long>(static_cast<long long>(start) + length,
                                                   std::numeric_limits<int>::max());
  if (line_) {
    QString text = line_->text();
    int from = QtPositionOfByte(text, start);
    int to =
        length < 0 ? static_cast<int>(text.size()) : QtPositionOfByte(text, static_cast<int>(end));
    // An end inside a two-byte character takes the whole character, as the headless box does.
    if (to < text.size() && ByteOfQtPosition(text, to) < end) ++to;
    line_->setSelection(from, std::max(0, to - from));
    return;
  }
  QString plain = lines_->toPlainText();
  int from = PlainPositionOfBytes(plain, start);
  int to = length < 0 ? static_cast<int>(plain.size())
                      : PlainPositionOfBytes(plain, static_cast<int>(end));
  if (to < plain.size() && BytesOfPlainPosition(plain, to) < end) ++to;
  QTextCursor cursor = lines_->textCursor();
  cursor.setPosition(from);
  cursor.setPosition(std::max(from, to), QTextCursor::KeepAnchor);
  lines_->setTextCursor(cursor);
  lines_->ensureCursorVisible();
}

void QtEdit::GetSelection(int* start, int* length) const {
  int from = 0, to = 0;
  if (line_) {
    QString text = line_->text();
    if (line_->hasSelectedText()) {
      from = line_->selectionStart();
      to = from + static_cast<int>(line_->selectedText().size());
    } else {
      from = to = line_->cursorPosition();
    }
    if (start) *start = ByteOfQtPosition(text, from);
    if (length) *length = ByteOfQtPosition(text, to) - ByteOfQtPosition(text, from);
    return;
  }
  QString plain = lines_->toPlainText();
  QTextCursor cursor = lines_->textCursor();
  from = cursor.selectionStart();
  to = cursor.selectionEnd();
  if (start) *start = BytesOfPlainPosition(plain, from);
  if (length) *length = BytesOfPlainPosition(plain, to) - BytesOfPlainPosition(plain, from);
}

void QtEdit::ReplaceSelection(std::string_view text_gbk) {
  if (style_.read_only) return;
  Calling calling(&calling_);
  if (line_) {
    line_->insert(FromGbk(text_gbk));
  } else {
    lines_->insertPlainText(ToQtLineBreaks(FromGbk(text_gbk)));
    last_text_ = lines_->toPlainText();
  }
}

void QtEdit::SetReadOnly(bool read_only) {
  style_.read_only = read_only;
  if (line_) line_->setReadOnly(read_only);
  if (lines_) lines_->setReadOnly(read_only);
}

void QtEdit::SetPasswordChar(uint16_t password_char) {
  style_.password_char = password_char;
  if (!line_) return;  // multi-line boxes show their text
  if (password_char == 0) {
    line_->setEchoMode(QLineEdit::Normal);
    return;
  }
  QString shown = CharToQString(password_char);
  auto* style = new PasswordStyle(shown.isEmpty() ? QChar('*') : shown.at(0));
  style->setParent(line_);
  line_->setStyle(style);
  line_->setEchoMode(QLineEdit::Password);
}

void QtEdit::SetAlign(Align align) {
  style_.align = align;
  if (line_) line_->setAlignment(ToQtAlign(align) | Qt::AlignVCenter);
}

// --- Button --------------------------------------------------------------------------------------

QtButton::QtButton(QtWindow* window, const ControlPlacement& placement, const ButtonStyle& style)
    : QtControl(window, new QPushButton(), placement) {
  button_ = static_cast<QPushButton*>(widget());
  button_->setAutoDefault(false);
  router()->SetClickFocus(true);
  SetCaption(style.caption_gbk);
  SetDefault(style.default_button);
  if (!style.font.IsDefault()) SetFont(style.font);
  if (!style.picture_bytes.empty()) {
    QPixmap pixmap;
    if (pixmap.loadFromData(reinterpret_cast<const uchar*>(style.picture_bytes.data()),
                            static_cast<uint>(style.picture_bytes.size()))) {
      button_->setIcon(QIcon(pixmap));
    }
  }
  QObject::connect(button_, &QPushButton::clicked, router(), [this] { Fire(on_click); });
}

void QtButton::SetCaption(std::string_view caption_gbk) {
  caption_ = caption_gbk;
  if (button_) button_->setText(FromGbk(caption_gbk));
}

void QtButton::SetDefault(bool default_button) {
  if (button_) button_->setDefault(default_button);
}

void QtButton::Click() {
  if (button_) button_->click();
}

// --- Combo box -----------------------------------------------------------------------------------

QtCombo::QtCombo(QtWindow* window, const ControlPlacement& placement, const ComboStyle& style)
    : QtControl(window, new QComboBox(), placement), style_(style) {
  combo_ = static_cast<QComboBox*>(widget());
  combo_->setEditable(style.kind != ComboKind::kDropDownList);
  combo_->setInsertPolicy(QComboBox::NoInsert);
  router()->SetClickFocus(true);
  if (QLineEdit* edit = combo_->lineEdit()) {
    edit->setFocusPolicy(Qt::NoFocus);  // it gets the focus as the box's focus proxy
    // The edit field shows what the user types and nothing more: no completion from the list,
    // and no item picked because the text finished (Enter, focus leaving) matches one.
    combo_->setCompleter(nullptr);
    QObject::disconnect(edit, &QLineEdit::editingFinished, combo_, nullptr);
    QObject::disconnect(edit, &QLineEdit::returnPressed, combo_, nullptr);
    router()->Watch(edit);
    QObject::connect(edit, &QLineEdit::textEdited, router(), [this](const QString& text) {
      edit_text_ = text;
      Fire(on_edit, ToGbk(text));
    });
  }
  QObject::connect(combo_, &QComboBox::activated, router(), [this](int index) {
    Reassert();
    Fire(on_pick, index);
  });
  SetColors(style.text_color, style.background);
  if (!style.font.IsDefault()) SetFont(style.font);
  Reassert();
  SetGeometry(rect_);  // now that the shown height can be asked
}

int QtCombo::ShownHeight(int height) const {
  // For the drop-down kinds the rectangle covers the dropped list too; the box is as tall as
  // the style draws it.
  if (style_.kind == ComboKind::kSimple || !combo_) return height;
  return std::min(height, combo_->sizeHint().height());
}

void QtCombo::Reassert() {
  QSignalBlocker blocker(combo_);
  if (combo_->currentIndex() != current_) combo_->setCurrentIndex(current_);
  QLineEdit* edit = combo_->lineEdit();
  if (edit && edit->text() != edit_text_) edit->setText(edit_text_);
}

void QtCombo::InsertItem(int index, std::string_view text_gbk) {
  if (index < 0 || index > combo_->count()) return;
  {
    QSignalBlocker blocker(combo_);
    combo_->insertItem(index, FromGbk(text_gbk));
  }
  if (current_ >= index) ++current_;
  Reassert();
}

void QtCombo::RemoveItem(int index) {
  if (index < 0 || index >= combo_->count()) return;
  {
    QSignalBlocker blocker(combo_);
    combo_->removeItem(index);
  }
  if (current_ == index) {
    current_ = -1;
  } else if (current_ > index) {
    --current_;
  }
  Reassert();
}

void QtCombo::ClearItems() {
  {
    QSignalBlocker blocker(combo_);
    combo_->clear();
  }
  current_ = -1;
  Reassert();
}

void QtCombo::ShowCurrent(int index) {
  current_ = index >= 0 && index < combo_->count() ? index : -1;
  Reassert();
}

void QtCombo::ShowEditText(std::string_view text_gbk) {
  if (!combo_->lineEdit()) return;
  edit_text_ = FromGbk(text_gbk);
  Reassert();
  combo_->lineEdit()->end(false);
}

void QtCombo::SetEditSelection(int start, int length) {
  QLineEdit* edit = combo_->lineEdit();
  if (!edit) return;
  QString text = edit->text();
  start = std::max(0, start);
  long long end = length < 0 ? std::numeric_limits<int>::max()
                             : std::min<long long>(static_cast<long long>(start) + length,
                                                   std::numeric_limits<int>::max());
  int from = QtPositionOfByte(text, start);
  int to =
      length < 0 ? static_cast<int>(text.size()) : QtPositionOfByte(text, static_cast<int>(end));
  if (to < text.size() && ByteOfQtPosition(text, to) < end) ++to;
  edit->setSelection(from, std::max(0, to - from));
}

void QtCombo::GetEditSelection(int* start, int* length) const {
  QLineEdit* edit = combo_->lineEdit();
  int from = 0, to = 0;
  if (edit) {
    QString text = edit->text();
    if (edit->hasSelectedText()) {
      from = edit->selectionStart();
      to = from + static_cast<int>(edit->selectedText().size());
    } else {
      from = to = edit->cursorPosition();
    }
    from = ByteOfQtPosition(text, from);
    to = ByteOfQtPosition(text, to);
  }
  if (start) *start = from;
  if (length) *length = to - from;
}

void QtCombo::ShowDropDown(bool show) {
  if (show) {
    combo_->showPopup();
  } else {
    combo_->hidePopup();
  }
}

// --- Static text ---------------------------------------------------------------------------------

QtStatic::QtStatic(QtWindow* window, const ControlPlacement& placement, const StaticStyle& style)
    : QtControl(window, new QLabel(), placement) {
  label_ = static_cast<QLabel*>(widget());
  label_->setTextFormat(Qt::PlainText);
  label_->setWordWrap(style.word_wrap);
  label_->setAlignment(ToQtAlign(style.align) | ToQtVAlign(style.valign));
  if (style.border != 0) label_->setFrameStyle(QFrame::Box | QFrame::Plain);
  SetColors(style.text_color, style.background);
  // A transparent label lets the window show through; a plain one fills its rectangle.
  label_->setAutoFillBackground(!style.transparent);
  if (!style.font.IsDefault()) SetFont(style.font);
  SetText(style.text_gbk);
}

void QtStatic::SetText(std::string_view text_gbk) {
  text_ = text_gbk;
  if (!label_) return;
  label_->setText(ToQtLineBreaks(FromGbk(text_gbk)));
  SetGeometry(rect_);  // the text may need more height than the last one
}

void QtStatic::SetFont(const FontSpec& font) {
  QtControl::SetFont(font);
  SetGeometry(rect_);
}

int QtStatic::ShownHeight(int height) const {
  // The definitions' rectangles hold their texts in the other system's font; where this one's
  // lines are taller the label grows downwards, so that no line is cut off (the window then grows
  // around it). It never shrinks below its rectangle.
  if (!label_ || label_->text().isEmpty()) return height;
  QString shown = label_->text();
  while (shown.endsWith(QChar('\n'))) shown.chop(1);  // a final line break shows no line
  if (shown.isEmpty()) return height;
  const int edges = 2 * (label_->frameWidth() + label_->margin());
  const int width = std::max(1, rect_.width - edges);
  int flags = Qt::AlignLeft | Qt::AlignTop;
  if (label_->wordWrap()) flags |= Qt::TextWordWrap;
  QRect needed = label_->fontMetrics().boundingRect(
      QRect(0, 0, width, std::numeric_limits<int>::max() / 2), flags, shown);
  return std::max(height, needed.height() + edges);
}

void QtStatic::SetAlign(Align align, VAlign valign) {
  if (label_) label_->setAlignment(ToQtAlign(align) | ToQtVAlign(valign));
}

// --- Up-down -------------------------------------------------------------------------------------

QtUpDown::QtUpDown(QtWindow* window, const ControlPlacement& placement, const UpDownStyle& style)
    : QtControl(window, MakeUpDownWidget(style), placement) {
  auto* up = widget()->findChild<QToolButton*>(QStringLiteral("up"));
  auto* down = widget()->findChild<QToolButton*>(QStringLiteral("down"));
  router()->Watch(up);
  router()->Watch(down);
  QObject::connect(up, &QToolButton::clicked, router(), [this] { Fire(on_arrow, 1); });
  QObject::connect(down, &QToolButton::clicked, router(), [this] { Fire(on_arrow, -1); });
}

// --- Browser -------------------------------------------------------------------------------------

QtBrowser::QtBrowser(QtWindow* window, const ControlPlacement& placement,
                     std::string_view address_gbk)
    : QtControl(window, new QTextBrowser(), placement) {
  browser_ = static_cast<QTextBrowser*>(widget());
  browser_->setOpenExternalLinks(true);
  router()->Watch(browser_->viewport());
  Navigate(address_gbk);
}

void QtBrowser::Navigate(std::string_view address_gbk) {
  if (address_gbk.empty()) return;
  address_ = address_gbk;
  QString address = FromGbk(address_gbk);
  QUrl url = QUrl::fromUserInput(address);
  if (url.isLocalFile()) {
    browser_->setSource(url);
    return;
  }
  // Pages from the network are not fetched here: the view offers the address as a link that
  // opens in the desktop's browser.
  browser_->setHtml(QStringLiteral("<a href=\"%1\">%2</a>")
                        .arg(url.toString().toHtmlEscaped(), address.toHtmlEscaped()));
}

}  // namespace memo::platform::qt
