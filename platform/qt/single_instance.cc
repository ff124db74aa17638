#include "platform/qt/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QThread>
#include <QWidget>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace memo::platform::qt {

namespace {

// The one request a later start sends.
constexpr char kRaiseRequest[] = "raise\n";

// How long a later start tries to reach the first one: the first may hold the lock but not be
// listening yet (it is between the two steps of Claim), or be busy in a routine.
constexpr int kConnectAttempts = 50;
constexpr int kConnectWaitMs = 100;

}  // namespace

QString SingleInstance::ServerNameFor(const std::string& data_directory,
                                      const std::string& runtime_directory) {
  QString directory = QString::fromStdString(runtime_directory);
  if (directory.isEmpty()) directory = QString::fromLocal8Bit(qgetenv("XDG_RUNTIME_DIR"));
  if (directory.isEmpty() || !QFileInfo(directory).isDir()) directory = QDir::tempPath();
  // The canonical path when the directory exists (it does by now: it was prepared before).
  QString data = QString::fromStdString(data_directory);
  QString canonical = QFileInfo(data).canonicalFilePath();
  if (!canonical.isEmpty()) data = canonical;
  QByteArray digest = QCryptographicHash::hash(data.toUtf8(), QCryptographicHash::Sha256);
  // The user's id keeps two users of one shared directory (a portable copy) apart in /tmp.
  return directory + QStringLiteral("/memo-%1-%2.socket")
                         .arg(getuid())
                         .arg(QString::fromLatin1(digest.toHex().left(16)));
}

SingleInstance::SingleInstance(const std::string& data_directory,
                               const std::string& runtime_directory)
    : server_name_(ServerNameFor(data_directory, runtime_directory)),
      lock_path_(server_name_ + QStringLiteral(".lock")) {
  server_.setSocketOptions(QLocalServer::UserAccessOption);
  connect(&server_, &QLocalServer::newConnection, this, &SingleInstance::Accept);
}

SingleInstance::~SingleInstance() {
  if (server_.isListening()) server_.close();  // removes the socket file
  if (lock_fd_ >= 0) close(lock_fd_);          // drops the lock
}

SingleInstance::Role SingleInstance::Claim() {
  QByteArray lock_path = QFile::encodeName(lock_path_);
  lock_fd_ = open(lock_path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (lock_fd_ < 0) {
    error_ = QStringLiteral("cannot open %1: %2")
                 .arg(lock_path_, QString::fromLocal8Bit(strerror(errno)));
    return Role::kFailed;
  }
  if (flock(lock_fd_, LOCK_EX | LOCK_NB) == 0) {
    // First: whatever socket file is there was left by a program that is gone.
    QLocalServer::removeServer(server_name_);
    if (!server_.listen(server_name_)) {
      error_ = QStringLiteral("cannot listen on %1: %2").arg(server_name_, server_.errorString());
      return Role::kFailed;
    }
    return Role::kFirst;
  }
  close(lock_fd_);
  lock_fd_ = -1;
  for (int attempt = 0; attempt < kConnectAttempts; ++attempt) {
    QLocalSocket socket;
    socket.connectToServer(server_name_);
    if (socket.waitForConnected(kConnectWaitMs)) {
      socket.write(kRaiseRequest);
      bool sent = socket.waitForBytesWritten(2000);
      socket.disconnectFromServer();
      if (sent) return Role::kHandedOver;
    }
    QThread::msleep(kConnectWaitMs);
  }
  error_ = QStringLiteral("another memo holds %1 but does not answer on %2")
               .arg(lock_path_, server_name_);
  return Role::kUnanswered;
}

void SingleInstance::Accept() {
  while (QLocalSocket* socket = server_.nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    auto handle = [this, socket] {
      if (!socket->canReadLine()) return;
      QByteArray line = socket->readLine();
      if (line == kRaiseRequest) {
        if (on_raise) {
          on_raise();
        } else {
          RaiseTopLevelWindows();
        }
      }
      socket->disconnectFromServer();
    };
    connect(socket, &QLocalSocket::readyRead, this, handle);
    handle();  // the request may be there already
  }
}

void SingleInstance::RaiseTopLevelWindows() {
  QWidget* last = nullptr;
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (!widget->isVisible() || widget->windowType() == Qt::Popup) continue;
    if (widget->isMinimized()) widget->setWindowState(widget->windowState() & ~Qt::WindowMinimized);
    widget->raise();
    last = widget;
  }
  // A modal window (the follow-up log, a message box) is the one that takes input.
  QWidget* target = QApplication::activeModalWidget();
  if (target == nullptr) target = QApplication::activeWindow();
  if (target == nullptr) target = last;
  if (target != nullptr) {
    target->raise();
    target->activateWindow();
  }
}

}  // namespace memo::platform::qt
