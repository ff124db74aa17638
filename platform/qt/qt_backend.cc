#include "platform/qt/qt_backend.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QDateTime>
#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QSpacerItem>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include <cstdio>
#include <cstdlib>

#include "platform/message_box.h"
#include "platform/qt/qt_convert.h"
#include "platform/qt/qt_window.h"

namespace memo::platform::qt {

namespace {

// What a title bar holds beside its text: the window's icon, three buttons and the margins
// (a window manager may draw minimise and maximise buttons whatever the window asks for).
constexpr int kTitleBarFurniture = 4 * 28 + 24;

// Builds a menu's items; chosen actions carry their command id as data.
void FillMenu(QMenu* menu, const std::vector<MenuEntry>& items) {
  for (const MenuEntry& item : items) {
    if (item.separator) {
      menu->addSeparator();
      continue;
    }
    QString caption = FromGbk(item.caption_gbk);
    if (!item.shortcut_gbk.empty()) caption += QChar('\t') + FromGbk(item.shortcut_gbk);
    if (!item.children.empty()) {
      QMenu* sub = menu->addMenu(caption);
      sub->setEnabled(!item.disabled);
      FillMenu(sub, item.children);
      continue;
    }
    QAction* action = menu->addAction(caption);
    action->setData(item.command_id);
    action->setEnabled(!item.disabled);
    if (item.checked) {
      action->setCheckable(true);
      action->setChecked(true);
    }
  }
}

QElapsedTimer& TickClock() {
  static QElapsedTimer* clock = [] {
    auto* timer = new QElapsedTimer();  // lives until the process ends
    timer->start();
    return timer;
  }();
  return *clock;
}

}  // namespace

void FillQMenu(QMenu* menu, const std::vector<MenuEntry>& items) { FillMenu(menu, items); }

QString ClipboardMimeType(std::string_view format_name) {
  return QStringLiteral("application/x-memo-") +
         QString::fromLatin1(format_name.data(), format_name.size());
}

QtBackend::QtBackend() {
  TickClock();
  idle_timer_ = new QTimer(this);
  idle_timer_->setSingleShot(true);
  idle_timer_->setInterval(0);
  connect(idle_timer_, &QTimer::timeout, this, [this] { RunIdle(); });
  // Every event delivered anywhere marks idle work as due; when the loop is about to wait with
  // idle work due, a zero-timer runs it once the queue is empty.
  qApp->installEventFilter(this);
  if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance()) {
    connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this,
            [this] { LoopAboutToWait(); });
  }
}

QtBackend::~QtBackend() {
  if (qApp) qApp->removeEventFilter(this);
}

bool QtBackend::eventFilter(QObject* watched, QEvent* event) {
  if (watched != idle_timer_ || event->type() != QEvent::Timer) idle_due_ = true;
  return false;
}

void QtBackend::LoopAboutToWait() {
  if (idle_ && idle_due_ && !idle_timer_->isActive()) idle_timer_->start();
}

void QtBackend::RunIdle() {
  idle_due_ = false;
  if (!idle_) return;
  std::function<bool()> idle = idle_;
  if (idle()) idle_due_ = true;
}

std::unique_ptr<Window> QtBackend::CreateWindow(const WindowStyle& style) {
  return std::make_unique<QtWindow>(this, style);
}

int QtBackend::TrackPopupMenu(Window* owner, const std::vector<MenuEntry>& items, Point screen) {
  QWidget* parent = owner ? static_cast<QtWindow*>(owner)->widget() : nullptr;
  QMenu menu(parent);
  FillMenu(&menu, items);
  QAction* chosen = menu.exec(QPoint(screen.x, screen.y));
  return chosen ? chosen->data().toInt() : 0;
}

int QtBackend::ShowMessageBox(std::string_view text_gbk, std::string_view title_gbk,
                              uint32_t style) {
  BoxLayout layout = DecodeBoxStyle(style);
  QMessageBox box;
  box.setWindowTitle(FromGbk(title_gbk));
  box.setTextFormat(Qt::PlainText);
  box.setText(ToQtLineBreaks(FromGbk(text_gbk)));
  switch (layout.icon) {
    case BoxIcon::kStop: box.setIcon(QMessageBox::Critical); break;
    case BoxIcon::kQuestion: box.setIcon(QMessageBox::Question); break;
    case BoxIcon::kWarning: box.setIcon(QMessageBox::Warning); break;
    case BoxIcon::kInformation: box.setIcon(QMessageBox::Information); break;
    case BoxIcon::kNone: box.setIcon(QMessageBox::NoIcon); break;
  }
  // Roles decide the order Qt lays the buttons out in and which one Esc and the close box take:
  // only Cancel rejects, so a box without Cancel and with several buttons cannot be closed.
  std::vector<std::pair<QPushButton*, int>> buttons;
  for (int id : layout.buttons) {
    QMessageBox::ButtonRole role = QMessageBox::ActionRole;
    if (id == kIdOk) role = QMessageBox::AcceptRole;
    if (id == kIdCancel) role = QMessageBox::RejectRole;
    if (layout.buttons.size() == 1) role = QMessageBox::AcceptRole;
    QPushButton* button = box.addButton(QString::fromUtf8(ButtonCaptionUtf8(id)), role);
    buttons.emplace_back(button, id);
  }
  box.setDefaultButton(buttons[static_cast<size_t>(layout.default_index)].first);
  if (layout.close_result) {
    for (const auto& [button, id] : buttons) {
      if (id == *layout.close_result) box.setEscapeButton(button);
    }
  }
  // At least as wide as its title needs beside the frame's icon and buttons, which a window
  // manager draws whatever the box asks for: a box as narrow as a short text would show its
  // title as "..." or not at all. QMessageBox sizes itself from its layout, so the width goes in
  // as a spacer across the layout's columns.
  if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
    QFontMetrics title_metrics(QApplication::font("QWorkspaceTitleBar"));
    const int title = title_metrics.horizontalAdvance(box.windowTitle());
    grid->addItem(
        new QSpacerItem(title + kTitleBarFurniture, 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
        grid->rowCount(), 0, 1, grid->columnCount());
  }
  box.setWindowModality(Qt::ApplicationModal);
  if (layout.modality == BoxModality::kSystem) {
    box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
  }
  box.exec();
  QAbstractButton* clicked = box.clickedButton();
  for (const auto& [button, id] : buttons) {
    if (button == clicked) return id;
  }
  // Closed without a button (only possible where the close control answers).
  return layout.close_result ? *layout.close_result
                             : layout.buttons[static_cast<size_t>(layout.default_index)];
}

std::optional<std::string> QtBackend::AskPassword(std::string_view caption_gbk,
                                                  std::string_view prompt_gbk) {
  QDialog dialog;
  dialog.setWindowTitle(FromGbk(caption_gbk));
  dialog.setWindowModality(Qt::ApplicationModal);
  auto* layout = new QVBoxLayout(&dialog);
  if (!prompt_gbk.empty()) {
    auto* prompt = new QLabel(ToQtLineBreaks(FromGbk(prompt_gbk)), &dialog);
    prompt->setTextFormat(Qt::PlainText);
    prompt->setWordWrap(true);
    layout->addWidget(prompt);
  }
  auto* edit = new QLineEdit(&dialog);
  edit->setEchoMode(QLineEdit::Password);
  edit->setObjectName(QStringLiteral("password"));
  layout->addWidget(edit);
  auto* buttons = new QDialogButtonBox(&dialog);
  buttons->addButton(QString::fromUtf8(ButtonCaptionUtf8(kIdOk)), QDialogButtonBox::AcceptRole)
      ->setDefault(true);
  buttons->addButton(QString::fromUtf8(ButtonCaptionUtf8(kIdCancel)), QDialogButtonBox::RejectRole);
  layout->addWidget(buttons);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  edit->setFocus();
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return ToGbk(edit->text());
}

bool QtBackend::OpenHelp(std::string_view file_gbk, int /*topic*/) {
  QString path = FromGbk(file_gbk);
  if (!QFileInfo::exists(path)) return false;
  return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

Backend::LoopResult QtBackend::RunLoop() {
  // A quit already pending is taken before the loop would start.
  if (std::optional<int> quit = loops_.TakeQuit(loops_.depth() + 1)) {
    return LoopResult{LoopExit::kQuit, *quit};
  }
  QEventLoop loop;
  const int depth = loops_.Enter();
  event_loops_.push_back(&loop);
  idle_due_ = true;
  loop.exec();
  loops_.Leave(depth);
  event_loops_.resize(static_cast<size_t>(depth) - 1);
  if (std::optional<int> quit = loops_.TakeQuit(depth)) return LoopResult{LoopExit::kQuit, *quit};
  return LoopResult{LoopExit::kEnded, 0};
}

void QtBackend::EndLoop(int depth) {
  const int first = loops_.End(depth);
  if (first == 0) return;
  for (size_t i = static_cast<size_t>(first) - 1; i < event_loops_.size(); ++i) {
    event_loops_[i]->exit(0);
  }
}

void QtBackend::PostQuit(int code) {
  loops_.PostQuit(code);
  for (QEventLoop* loop : event_loops_) loop->exit(code);
}

void QtBackend::PostTask(std::function<void()> task) {
  QMetaObject::invokeMethod(this, std::move(task), Qt::QueuedConnection);
}

void QtBackend::SetIdleHandler(std::function<bool()> idle) {
  idle_ = std::move(idle);
  idle_due_ = true;
}

int QtBackend::StartTimer(int interval_ms, std::function<void()> tick) {
  int id = next_timer_++;
  auto* timer = new QTimer(this);
  timer->setInterval(interval_ms > 0 ? interval_ms : 1);
  connect(timer, &QTimer::timeout, this, [tick = std::move(tick)] { tick(); });
  timers_[id] = timer;
  timer->start();
  return id;
}

void QtBackend::StopTimer(int timer_id) {
  auto it = timers_.find(timer_id);
  if (it == timers_.end()) return;
  it->second->stop();
  it->second->deleteLater();  // the timer may be the one whose tick is running now
  timers_.erase(it);
}

void QtBackend::Terminate(int code) {
  // The end sequence has released what the program holds; nothing of Qt's needs tearing down
  // for the process to end, and windows must not run routines any more.
  std::fflush(nullptr);
  std::_Exit(code);
}

Point QtBackend::CursorPosition() {
  QPoint p = QCursor::pos();
  return Point{p.x(), p.y()};
}

Size QtBackend::ScreenSize() {
  QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return Size{1024, 768};
  QSize size = screen->size();
  return Size{size.width(), size.height()};
}

SystemMetrics QtBackend::Metrics() {
  SystemMetrics metrics;
  QFontMetrics font(QApplication::font());
  metrics.menu_height = font.height() + 8;
  metrics.double_click_ms = QApplication::doubleClickInterval();
  return metrics;
}

FontSpec QtBackend::DefaultGuiFont() { return FontSpec{}; }

FontMetrics QtBackend::MeasureFont(const FontSpec& font) {
  QFontMetrics metrics(ToQFont(font, QApplication::font()));
  FontMetrics out;
  out.height = metrics.height();
  out.ascent = metrics.ascent();
  out.descent = metrics.descent();
  out.average_char_width = metrics.averageCharWidth();
  return out;
}

Size QtBackend::MeasureText(const FontSpec& font, std::string_view text_gbk) {
  QFontMetrics metrics(ToQFont(font, QApplication::font()));
  QSize size = metrics.size(0, ToQtLineBreaks(FromGbk(text_gbk)));
  return Size{size.width(), size.height()};
}

bool QtBackend::SetClipboard(ClipboardContent content) {
  QClipboard* clipboard = QGuiApplication::clipboard();
  if (!clipboard) return false;
  auto* data = new QMimeData();  // the clipboard takes ownership
  if (std::optional<std::string_view> text = content.Text()) {
    data->setText(ToQtLineBreaks(FromGbk(*text)));
  }
  for (const auto& [name, bytes] : content.formats) {
    data->setData(ClipboardMimeType(name),
                  QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
  }
  clipboard->setMimeData(data);
  return true;
}

std::optional<std::string> QtBackend::ClipboardText() {
  QClipboard* clipboard = QGuiApplication::clipboard();
  const QMimeData* data = clipboard ? clipboard->mimeData() : nullptr;
  if (!data || !data->hasText()) return std::nullopt;
  return ToGbk(ToCrLf(data->text()));
}

std::optional<std::string> QtBackend::ClipboardData(std::string_view format_name) {
  QClipboard* clipboard = QGuiApplication::clipboard();
  const QMimeData* data = clipboard ? clipboard->mimeData() : nullptr;
  QString type = ClipboardMimeType(format_name);
  if (!data || !data->hasFormat(type)) return std::nullopt;
  QByteArray bytes = data->data(type);
  return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

std::string QtBackend::ExecutablePath() { return ToGbk(QCoreApplication::applicationFilePath()); }

LocalTime QtBackend::Now() {
  QDateTime now = QDateTime::currentDateTime();
  QDate date = now.date();
  QTime time = now.time();
  LocalTime out;
  out.year = date.year();
  out.month = date.month();
  out.day = date.day();
  out.hour = time.hour();
  out.minute = time.minute();
  out.second = time.second();
  out.millisecond = time.msec();
  out.day_of_week = date.dayOfWeek() % 7;  // Qt counts Monday 1 ... Sunday 7
  return out;
}

uint32_t QtBackend::TickCount() { return static_cast<uint32_t>(TickClock().elapsed()); }

void QtBackend::Sleep(uint32_t milliseconds) { QThread::msleep(milliseconds); }

}  // namespace memo::platform::qt
