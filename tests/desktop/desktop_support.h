// Helpers of the desktop tests: scratch directories and the built memo run as a child.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <QEventLoop>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTimer>

#include <filesystem>
#include <fstream>
#include <string>

namespace memo::desktop::testing {

namespace fs = std::filesystem;

// A fresh directory, removed with its contents at the end of the scope. Made beside the build
// tree, so that a hard link to the built program can be made into it.
class Scratch {
 public:
  Scratch() {
    std::string pattern = std::string(MEMO_TEST_SCRATCH) + "/scratch-XXXXXX";
    path_ = mkdtemp(pattern.data()) ? pattern : std::string();
  }
  ~Scratch() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

inline void Touch(const std::string& path, const std::string& bytes = std::string()) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

inline unsigned ModeOf(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

// The built memo placed in `dir` as the file `dir`/memo: a hard link where the file system allows
// one, else a copy (the program finds its directory through /proc/self/exe, which a symbolic link
// would not change).
inline std::string PlaceProgram(const std::string& dir) {
  const std::string target = dir + "/memo";
  if (link(MEMO_BINARY, target.c_str()) != 0) {
    fs::copy_file(MEMO_BINARY, target, fs::copy_options::overwrite_existing);
    fs::permissions(target, fs::perms::owner_all);
  }
  return target;
}

struct ProgramRun {
  int exit_code = -1;
  bool finished = false;
  std::string out;
  std::string err;
};

// Runs `program` with `args` and an environment whose HOME, XDG_DATA_HOME and XDG_RUNTIME_DIR are
// the given ones (empty: unset). The caller's event loop keeps running while it waits, so a
// server in this process can answer the child. Gives up after `timeout_ms`.
inline ProgramRun RunProgram(const std::string& program, const QStringList& args,
                             const std::string& home, const std::string& xdg_data_home,
                             const std::string& runtime_dir, int timeout_ms = 120000) {
  QProcess process;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  auto set = [&env](const char* name, const std::string& value) {
    if (value.empty()) {
      env.remove(name);
    } else {
      env.insert(name, QString::fromStdString(value));
    }
  };
  set("HOME", home);
  set("XDG_DATA_HOME", xdg_data_home);
  set("XDG_RUNTIME_DIR", runtime_dir);
  env.insert("QT_QPA_PLATFORM", "offscreen");
  process.setProcessEnvironment(env);
  QEventLoop loop;
  QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
  QObject::connect(&process, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
  QTimer::singleShot(timeout_ms, &loop, &QEventLoop::quit);
  process.start(QString::fromStdString(program), args);
  ProgramRun run;
  if (process.state() != QProcess::NotRunning || process.waitForStarted(10000)) loop.exec();
  run.finished =
      process.state() == QProcess::NotRunning && process.exitStatus() == QProcess::NormalExit;
  if (!run.finished) {
    process.kill();
    process.waitForFinished(10000);
  }
  run.exit_code = process.exitCode();
  run.out = process.readAllStandardOutput().toStdString();
  run.err = process.readAllStandardError().toStdString();
  return run;
}

}  // namespace memo::desktop::testing
