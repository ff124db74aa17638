// NewFile: a file that appears under its name whole or not at all, and never over another.
//
// The bytes go to a passing name in the same directory ("NAME.~newPID-N", created with O_EXCL,
// so two writers never share one), are flushed, and the file then gets its final name by link(),
// which fails with EEXIST instead of replacing an entry of that name; the passing name is removed
// afterwards. rename() would replace a file that appeared in between, and renameat2's
// RENAME_NOREPLACE is not offered by every file system; link() is. A kill between the link and
// the removal leaves a stray passing name beside a whole final file, never a partial one.
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <string>

#include "platform/file.h"
#include "platform/file_calls.h"
#include "platform/posix/path_util.h"
#include "platform/posix/syscalls.h"

namespace memo::platform {
namespace {

std::atomic<unsigned> g_serial{0};

int CloseCounted(int fd) {
  CountFileCall(FileCall::kClose);
  return posix::Syscalls().close(fd);
}

}  // namespace

FileError NewFile::Write(std::string_view path_gbk, std::string_view bytes, unsigned mode) {
  Discard();
  std::string final_path;
  if (path_gbk.empty() || !posix::ResolvePath(path_gbk, &final_path) || final_path.empty()) {
    return FileError::kInvalidPath;
  }
  std::string passing = final_path + ".~new" + std::to_string(getpid()) + "-" +
                        std::to_string(g_serial.fetch_add(1, std::memory_order_relaxed));
  CountFileCall(FileCall::kOpen);
  int fd =
      posix::Syscalls().open(passing.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY,
                             static_cast<mode_t>(mode));
  if (fd < 0) {
    int err = errno;
    if (err == ENOENT && !posix::ParentDirectoryExists(passing)) return FileError::kInvalidPath;
    return FileErrorFromErrno(err);
  }
  FileError result = FileError::kNone;
  size_t done = 0;
  while (done < bytes.size()) {
    CountFileCall(FileCall::kWrite);
    ssize_t n = posix::Syscalls().pwrite(fd, bytes.data() + done, bytes.size() - done,
                                         static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      result = n < 0 ? FileErrorFromErrno(errno) : FileError::kDiskFull;
      break;
    }
    done += static_cast<size_t>(n);
  }
  if (result == FileError::kNone) {
    CountFileCall(FileCall::kOther);
    if (fsync(fd) != 0) result = FileErrorFromErrno(errno);
  }
  if (CloseCounted(fd) != 0 && result == FileError::kNone) result = FileErrorFromErrno(errno);
  if (result != FileError::kNone) {
    CountFileCall(FileCall::kOther);
    posix::Syscalls().unlink(passing.c_str());
    return result == FileError::kUnknown ? FileError::kCreateFailed : result;
  }
  passing_ = std::move(passing);
  final_gbk_ = std::string(path_gbk);
  return FileError::kNone;
}

FileError NewFile::Publish() {
  if (passing_.empty()) return FileError::kInvalidHandle;
  // The final name resolved again: a file in another case of its letters may have appeared
  // meanwhile, and the link must meet it to refuse.
  std::string final_path;
  if (!posix::ResolvePath(final_gbk_, &final_path) || final_path.empty()) {
    return FileError::kInvalidPath;
  }
  CountFileCall(FileCall::kOther);
  if (posix::Syscalls().link(passing_.c_str(), final_path.c_str()) != 0) {
    int err = errno;
    return err == EEXIST ? FileError::kCreateFailed : FileErrorFromErrno(err);
  }
  Discard();
  return FileError::kNone;
}

void NewFile::Discard() {
  if (passing_.empty()) return;
  CountFileCall(FileCall::kOther);
  posix::Syscalls().unlink(passing_.c_str());
  passing_.clear();
}

}  // namespace memo::platform
