#include "tools/mcn/password.h"

#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

#include "db/record_format.h"
#include "platform/codec.h"
#include "platform/file.h"

namespace memo::mcn {

namespace {

// Strips one trailing line break (LF or CR LF).
void StripLineBreak(std::string* line) {
  if (!line->empty() && line->back() == '\n') line->pop_back();
  if (!line->empty() && line->back() == '\r') line->pop_back();
}

// True when the file the invocation names starts with the protected magic. A file that cannot
// be read is left to the command, which reports why.
bool IsProtected(const Invocation& invocation) {
  std::string full_path;
  if (!FullPathOf(invocation, &full_path)) return false;
  platform::File file;
  if (platform::File::Open(full_path, platform::FileAccess::kRead, platform::FileShare::kDenyNone,
                           platform::FileCreate::kOpenExisting,
                           &file) != platform::FileError::kNone) {
    return false;
  }
  char magic[4];
  size_t done = 0;
  if (file.ReadAt(0, magic, sizeof magic, &done) != platform::FileError::kNone ||
      done != sizeof magic) {
    return false;
  }
  return std::memcmp(magic, db::kProtectedMagic, sizeof magic) == 0;
}

// The terminal's modes while the prompt has its echo turned off, for the signal handler.
termios g_saved_modes;

// An interrupt (Ctrl-C) or termination at the prompt turns the echo back on before mcn ends as
// the signal would have ended it, so the user's shell is not left typing blind.
void RestoreEchoAndDie(int signal_number) {
  ::tcsetattr(STDIN_FILENO, TCSANOW, &g_saved_modes);
  std::signal(signal_number, SIG_DFL);
  std::raise(signal_number);
}

constexpr int kPromptSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGTSTP};

// Asks on the terminal with its echo turned off; the line typed, or false when nothing could be
// read (end of input, or the terminal refused to stop echoing).
bool Prompt(const std::string& file, std::string* password) {
  termios saved;
  if (::tcgetattr(STDIN_FILENO, &saved) != 0) return false;
  g_saved_modes = saved;
  void (*previous[std::size(kPromptSignals)])(int);
  for (size_t i = 0; i < std::size(kPromptSignals); ++i) {
    previous[i] = std::signal(kPromptSignals[i], RestoreEchoAndDie);
  }
  termios quiet = saved;
  quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
  quiet.c_lflag |= ICANON;
  // Echo goes off before the prompt shows, so nothing typed after it is ever echoed.
  if (::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) != 0) return false;
  std::fprintf(stderr, "mcn: password for %s: ", file.c_str());
  std::fflush(stderr);
  std::string line;
  bool ended = false;
  for (char c; !ended;) {
    const ssize_t n = ::read(STDIN_FILENO, &c, 1);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    if (c == '\n') {
      ended = true;
    } else {
      line += c;
    }
  }
  ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
  for (size_t i = 0; i < std::size(kPromptSignals); ++i) {
    std::signal(kPromptSignals[i], previous[i]);
  }
  std::fputs("\n", stderr);
  StripLineBreak(&line);
  if (!ended && line.empty()) return false;
  *password = std::move(line);
  return true;
}

}  // namespace

bool ReadPasswordFile(const std::string& path, std::string* password, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = "cannot read the password file " + path + ": " + std::strerror(errno);
    return false;
  }
  std::string line;
  std::getline(in, line);
  if (in.bad()) {
    *error = "cannot read the password file " + path;
    return false;
  }
  StripLineBreak(&line);
  *password = std::move(line);
  return true;
}

int FillInPassword(Invocation* invocation) {
  if (!invocation->password_file.empty()) {
    std::string error;
    if (!ReadPasswordFile(invocation->password_file, &invocation->password, &error)) {
      return ReportError(error, kExitFailure);
    }
    invocation->has_password = true;
    return kExitOk;
  }
  if (invocation->has_password || invocation->command == "create" ||
      invocation->command == "help" || !IsProtected(*invocation)) {
    return kExitOk;
  }
  if (const char* from_environment = std::getenv(kPasswordVariable);
      from_environment != nullptr && *from_environment != '\0') {
    invocation->password = from_environment;
    invocation->has_password = true;
    return kExitOk;
  }
  if (::isatty(STDIN_FILENO) && Prompt(invocation->file, &invocation->password)) {
    invocation->has_password = true;
  }
  return kExitOk;
}

}  // namespace memo::mcn
