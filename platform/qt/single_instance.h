// One window per book: the first memo started on a data directory listens on a local socket
// named after that directory; a later start on the same directory connects, asks the first to
// bring its window to the front, and ends. Starts on other directories use other names and run
// side by side. Other programs sharing the files (mcn, memo-script) do not take part: the engine's
// locks govern them.
//
// Who is first is decided by an exclusive lock (flock) on a file beside the socket, held for the
// life of the first program: a socket file left behind by a killed program is then known to be
// stale and is replaced, and two programs started at the same moment cannot both take the name.
#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>

#include <functional>
#include <string>

namespace memo::platform::qt {

class SingleInstance : public QObject {
  Q_OBJECT

 public:
  // `data_directory` is UTF-8 and absolute; symbolic links in it are resolved, so that two
  // spellings of one directory name one book. `runtime_directory` holds the socket and its lock
  // file (empty: $XDG_RUNTIME_DIR, else the system's temporary directory).
  explicit SingleInstance(const std::string& data_directory,
                          const std::string& runtime_directory = std::string());
  ~SingleInstance() override;
  SingleInstance(const SingleInstance&) = delete;
  SingleInstance& operator=(const SingleInstance&) = delete;

  enum class Role {
    kFirst,       // no other program runs on this directory; this one now listens
    kHandedOver,  // another one runs and was asked to raise its window
    kUnanswered,  // another one holds the lock but did not take the request (see error())
    kFailed,      // neither: the lock file or the socket could not be used (see error())
  };

  // Takes the lock or hands over to its holder. A program that is kFirst keeps listening until
  // this object is destroyed; each request raises the windows through on_raise.
  Role Claim();

  // Called on the program's thread for every later start on the same directory. Default: every
  // visible top-level window is restored if minimised and raised, and the active modal window (or
  // else the most recently shown window) is activated.
  std::function<void()> on_raise;

  const QString& server_name() const { return server_name_; }
  const QString& error() const { return error_; }

  // The socket's full path for a data directory (exposed for tests).
  static QString ServerNameFor(const std::string& data_directory,
                               const std::string& runtime_directory);

  // What on_raise does by default.
  static void RaiseTopLevelWindows();

 private:
  void Accept();

  QString server_name_;
  QString lock_path_;
  int lock_fd_ = -1;
  QLocalServer server_;
  QString error_;
};

}  // namespace memo::platform::qt
