// Steps that set up the world the program sees: its clock and mouse, the answers of the boxes and
// pop-up menus still to come, and files of the run directory.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "tools/script/runner.h"
#include "tools/script/step_routines.h"

namespace memo::script {

namespace {

std::string PathOf(ScriptRunner& runner, const std::string& name) {
  return runner.run_directory() + "/" + name;
}

}  // namespace

void RunClock(ScriptRunner& runner, const Step& step) { runner.backend().SetClock(step.clock); }

void RunMouse(ScriptRunner& runner, const Step& step) {
  runner.backend().SetCursorPosition(
      platform::Point{static_cast<int>(step.number), static_cast<int>(step.number2)});
}

void RunAnswer(ScriptRunner& runner, const Step& step) { runner.QueueAnswer(step.button); }

void RunChoose(ScriptRunner& runner, const Step& step) {
  runner.backend().QueuePopupChoice(step.text);
}

void RunPutFile(ScriptRunner& runner, const Step& step) {
  std::string path = PathOf(runner, step.file_name);
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) runner.Fail("cannot write " + step.file_name + ": " + std::strerror(errno));
  const char* p = step.text.data();
  size_t left = step.text.size();
  while (left > 0) {
    ssize_t n = write(fd, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      int error = errno;
      close(fd);
      runner.Fail("cannot write " + step.file_name + ": " + std::strerror(error));
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
  close(fd);
}

void RunCopyFile(ScriptRunner& runner, const Step& step) {
  std::string from = PathOf(runner, step.file_name);
  std::string to = PathOf(runner, step.text);
  int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) runner.Fail("cannot read " + step.file_name + ": " + std::strerror(errno));
  std::string bytes;
  char buffer[1 << 14];
  for (;;) {
    ssize_t n = read(in, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      int error = errno;
      close(in);
      runner.Fail("cannot read " + step.file_name + ": " + std::strerror(error));
    }
    if (n == 0) break;
    bytes.append(buffer, static_cast<size_t>(n));
  }
  close(in);
  Step put = step;
  put.file_name = step.text;
  put.text = std::move(bytes);
  RunPutFile(runner, put);
}

// Copies of the program run side by side keep in step by files: one makes a file when it has
// come so far, the others wait here until it is there. Not a pause of a fixed length: the step
// ends as soon as the file exists, and fails only when it never comes (two minutes).
void RunWaitFile(ScriptRunner& runner, const Step& step) {
  const std::string path = PathOf(runner, step.file_name);
  constexpr int kPollMs = 5;
  constexpr int kGiveUpMs = 120000;
  for (int waited = 0; access(path.c_str(), F_OK) != 0; waited += kPollMs) {
    if (waited >= kGiveUpMs) runner.Fail(step.file_name + " did not appear within two minutes");
    usleep(kPollMs * 1000);
  }
}

void RunRemoveFile(ScriptRunner& runner, const Step& step) {
  if (unlink(PathOf(runner, step.file_name).c_str()) != 0) {
    runner.Fail("cannot remove " + step.file_name + ": " + std::strerror(errno));
  }
}

// Another program busy with the file for longer than any lock wait: a handle that holds the
// whole-file lock range (a query sorting it, a repair), kept until `release-file`.
void RunHoldFile(ScriptRunner& runner, const Step& step) {
  constexpr uint64_t kWholeFileRange = 0x7FFFFFFF;
  platform::File file;
  platform::FileError error = platform::File::Open(
      PathOf(runner, step.file_name), platform::FileAccess::kRead, platform::FileShare::kDenyNone,
      platform::FileCreate::kOpenExisting, &file);
  if (error == platform::FileError::kNone) error = file.Lock(0, kWholeFileRange);
  if (error != platform::FileError::kNone) {
    runner.Fail("cannot hold " + step.file_name + " (file error " +
                std::to_string(static_cast<int>(error)) + ")");
  }
  runner.held_files()[step.file_name] = std::move(file);
}

void RunReleaseFile(ScriptRunner& runner, const Step& step) {
  if (runner.held_files().erase(step.file_name) == 0) {
    runner.Fail(step.file_name + " is not held");
  }
}

// No write permission bit left: every writer is refused (platform/file.h), as with a file that
// another user owns.
void RunReadOnly(ScriptRunner& runner, const Step& step) {
  if (chmod(PathOf(runner, step.file_name).c_str(), 0444) != 0) {
    runner.Fail("cannot make " + step.file_name + " read-only: " + std::strerror(errno));
  }
}

}  // namespace memo::script
