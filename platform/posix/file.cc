// Files with Windows semantics on Linux: access and share modes enforced between handles and
// processes, handle-owned byte-range locks, positional and sequential I/O.
//
// Descriptors. A handle opens its data descriptor (fd_) with exactly the access asked for, so that
// permissions are checked as the caller expects and a read handle can never write. Its locks —
// the share marks of share_lock.h and the byte-range locks of Lock() — live on one open file
// description, the lock descriptor:
//   - fd_ itself when the access is read/write (it can take read and write locks);
//   - otherwise a companion descriptor opened read/write on the same inode (reopened through
//     /proc/self/fd so that a rename in between cannot make it another file);
//   - when the user may not open the file read/write (a read-only file, a read-only file
//     system), fd_ itself in a reduced form: a read-only fd_ takes shared byte-range locks and
//     opens without the gate; a write-only fd_ (a file the user may write but not read) cannot
//     publish share marks. Both cases are rare for the program's own data files.
//
// Locks are open-file-description locks (F_OFD_SETLK): they belong to the handle, never conflict
// with the same handle's locks, conflict with every other handle's in this or another process,
// stay when another descriptor of the file is closed, and go when the handle is closed. Classic
// record locks (F_SETLK) would belong to the process and vanish on any close: never used here.
//
// Every descriptor is opened O_CLOEXEC. A forked child shares the parent's open file descriptions,
// so a handle's locks last until both have closed it.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <string>

#include "platform/file.h"
#include "platform/file_calls.h"
#include "platform/posix/path_util.h"
#include "platform/posix/share_lock.h"
#include "platform/posix/syscalls.h"

namespace memo::platform {
namespace {

constexpr uint64_t kMaxOffset = static_cast<uint64_t>(INT64_MAX);

int OpenRetrying(const char* path, int flags, mode_t mode) {
  for (;;) {
    CountFileCall(FileCall::kOpen);
    int fd = posix::Syscalls().open(path, flags, mode);
    if (fd >= 0 || errno != EINTR) return fd;
  }
}

// I/O calls report EINVAL for offsets the system refuses.
FileError IoError(int err) {
  return err == EINVAL ? FileError::kSeekFailed : FileErrorFromErrno(err);
}

bool Readable(FileAccess a) { return a != FileAccess::kWrite; }
bool Writable(FileAccess a) { return a != FileAccess::kRead; }

// Errors of the companion open that mean "this user may not have the file read/write"; the
// handle then keeps its locks on its own descriptor. Any other failure fails the open.
bool IsPermissionError(int err) {
  return err == EACCES || err == EPERM || err == EROFS || err == ETXTBSY;
}

// Opens a second, read/write open file description of the inode behind `fd`. Returns the
// descriptor, or -1 with errno set.
int OpenCompanion(int fd, const std::string& path) {
  const int flags = O_RDWR | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
  std::string proc = "/proc/self/fd/" + std::to_string(fd);
  int companion = OpenRetrying(proc.c_str(), flags, 0);
  if (companion >= 0 || (errno != ENOENT && errno != ENOTDIR)) return companion;

  // No /proc: open by name and make sure it is still the same file.
  companion = OpenRetrying(path.c_str(), flags, 0);
  if (companion < 0) return -1;
  struct stat a {
  }, b{};
  CountFileCall(FileCall::kOther);
  CountFileCall(FileCall::kOther);
  if (posix::Syscalls().fstat(fd, &a) != 0 || posix::Syscalls().fstat(companion, &b) != 0 ||
      a.st_dev != b.st_dev || a.st_ino != b.st_ino) {
    CountFileCall(FileCall::kClose);
    posix::Syscalls().close(companion);
    errno = ENOENT;
    return -1;
  }
  return companion;
}

}  // namespace

File::~File() { Close(); }

File::File(File&& other) noexcept { *this = std::move(other); }

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = other.fd_;
    lock_fd_ = other.lock_fd_;
    access_ = other.access_;
    lock_shared_ = other.lock_shared_;
    lock_exclusive_ = other.lock_exclusive_;
    path_ = std::move(other.path_);
    other.fd_ = -1;
    other.lock_fd_ = -1;
    other.lock_shared_ = other.lock_exclusive_ = false;
    other.path_.clear();
  }
  return *this;
}

void File::Close() {
  // Closing the lock descriptor drops the share marks and every byte-range lock of the handle.
  if (lock_fd_ >= 0) {
    CountFileCall(FileCall::kClose);
    posix::Syscalls().close(lock_fd_);
  }
  if (fd_ >= 0) {
    CountFileCall(FileCall::kClose);
    posix::Syscalls().close(fd_);
  }
  fd_ = lock_fd_ = -1;
  lock_shared_ = lock_exclusive_ = false;
  path_.clear();
}

FileError File::Open(std::string_view path_gbk, FileAccess access, FileShare share,
                     FileCreate create, File* out, uint32_t create_mode) {
  out->Close();
  if (path_gbk.empty() || path_gbk.find('\0') != std::string_view::npos)
    return FileError::kInvalidPath;
  std::string path;
  if (!posix::ResolvePath(path_gbk, &path) || path.empty()) return FileError::kInvalidPath;

  // O_TRUNC is never used: truncation waits until the share check has passed, so that an open
  // refused for sharing leaves another handle's file untouched.
  int flags = O_CLOEXEC | O_NOCTTY | O_NONBLOCK;  // O_NONBLOCK: never hang on a FIFO
  flags |= access == FileAccess::kRead    ? O_RDONLY
           : access == FileAccess::kWrite ? O_WRONLY
                                          : O_RDWR;
  switch (create) {
    case FileCreate::kOpenExisting: break;
    case FileCreate::kCreateAlways:
    case FileCreate::kOpenAlways: flags |= O_CREAT; break;
    case FileCreate::kCreateNew: flags |= O_CREAT | O_EXCL; break;
  }

  File file;
  file.access_ = access;
  file.path_ = path;
  file.fd_ = OpenRetrying(path.c_str(), flags, static_cast<mode_t>(create_mode & 0777));
  if (file.fd_ < 0) {
    int err = errno;
    if (err == ENOENT && !posix::ParentDirectoryExists(path)) return FileError::kInvalidPath;
    return FileErrorFromErrno(err);
  }
  FileError e = file.FinishOpen(access, share, create);
  if (e != FileError::kNone) {
    // A file this call created (O_EXCL) and could not finish opening goes again, unless another
    // handle has it open by now (the share check says so).
    file.Close();
    if (create == FileCreate::kCreateNew && e != FileError::kSharingViolation) {
      (void)posix::Syscalls().unlink(path.c_str());
    }
    return e;
  }
  *out = std::move(file);
  return FileError::kNone;
}

FileError File::FinishOpen(FileAccess access, FileShare share, FileCreate create) {
  File& file = *this;
  const std::string& path = path_;
  struct stat st {};
  CountFileCall(FileCall::kOther);
  if (posix::Syscalls().fstat(file.fd_, &st) != 0) return FileErrorFromErrno(errno);
  if (!S_ISREG(st.st_mode)) return FileError::kAccessDenied;  // directories, devices, pipes
  // A file without any write permission bit is read-only for every opener, as a file with the
  // read-only attribute is on Windows — the superuser included, whom the permission bits alone
  // would let write. A file this open has just created is exempt.
  if (Writable(access) && create != FileCreate::kCreateNew && (st.st_mode & 0222) == 0) {
    return FileError::kAccessDenied;
  }
  CountFileCall(FileCall::kOther);
  CountFileCall(FileCall::kOther);
  fcntl(file.fd_, F_SETFL, fcntl(file.fd_, F_GETFL) & ~O_NONBLOCK);

  if (access == FileAccess::kReadWrite) {
    file.lock_shared_ = file.lock_exclusive_ = true;
  } else {
    int companion = OpenCompanion(file.fd_, path);
    if (companion >= 0) {
      CountFileCall(FileCall::kOther);
      CountFileCall(FileCall::kOther);
      fcntl(companion, F_SETFL, fcntl(companion, F_GETFL) & ~O_NONBLOCK);
      file.lock_fd_ = companion;
      file.lock_shared_ = file.lock_exclusive_ = true;
    } else if (IsPermissionError(errno)) {
      file.lock_shared_ = Readable(access);
      file.lock_exclusive_ = Writable(access);
    } else {
      return FileErrorFromErrno(errno);
    }
  }

  FileError claim = posix::ClaimShare(file.LockDescriptor(),
                                      {file.lock_shared_, file.lock_exclusive_}, access, share);
  if (claim != FileError::kNone) return claim;

  if (create == FileCreate::kCreateAlways) {
    int writable_fd = Writable(access) ? file.fd_ : file.lock_fd_;
    if (writable_fd >= 0) {
      CountFileCall(FileCall::kOther);
      if (posix::Syscalls().ftruncate(writable_fd, 0) != 0) return FileErrorFromErrno(errno);
    } else if (posix::Syscalls().fstat(file.fd_, &st) != 0 || st.st_size != 0) {
      return FileError::kAccessDenied;  // a read-only handle on a file it may not write
    }
  }
  return FileError::kNone;
}

FileError File::ReadAt(uint64_t offset, void* buffer, size_t count, size_t* done) const {
  size_t total = 0;
  if (done != nullptr) *done = 0;
  if (fd_ < 0) return FileError::kInvalidHandle;
  if (!Readable(access_)) return FileError::kAccessDenied;
  if (offset > kMaxOffset) return FileError::kSeekFailed;
  char* out = static_cast<char*>(buffer);
  while (total < count) {
    if (total > kMaxOffset - offset) break;  // nothing lies beyond the largest offset
    CountFileCall(FileCall::kRead);
    ssize_t n = posix::Syscalls().pread(fd_, out + total, count - total,
                                        static_cast<off_t>(offset + total));
    if (n < 0) {
      if (errno == EINTR) continue;
      if (done != nullptr) *done = total;
      return IoError(errno);
    }
    if (n == 0) break;  // end of file
    total += static_cast<size_t>(n);
  }
  if (done != nullptr) *done = total;
  return FileError::kNone;
}

FileError File::WriteAt(uint64_t offset, const void* buffer, size_t count) {
  if (fd_ < 0) return FileError::kInvalidHandle;
  if (!Writable(access_)) return FileError::kAccessDenied;
  if (offset > kMaxOffset || count > kMaxOffset - offset) return FileError::kSeekFailed;
  const char* in = static_cast<const char*>(buffer);
  size_t total = 0;
  while (total < count) {
    CountFileCall(FileCall::kWrite);
    ssize_t n = posix::Syscalls().pwrite(fd_, in + total, count - total,
                                         static_cast<off_t>(offset + total));
    if (n < 0) {
      if (errno == EINTR) continue;
      return IoError(errno);
    }
    if (n == 0) return FileError::kDiskFull;  // no progress: treat as a full device
    total += static_cast<size_t>(n);
  }
  return FileError::kNone;
}

FileError File::Seek(int64_t offset, int whence, uint64_t* new_position) {
  if (fd_ < 0) return FileError::kInvalidHandle;
  // 0, 1, 2 are both the classic begin/current/end codes and SEEK_SET/CUR/END.
  if (whence != SEEK_SET && whence != SEEK_CUR && whence != SEEK_END) return FileError::kSeekFailed;
  CountFileCall(FileCall::kOther);
  off_t pos = posix::Syscalls().lseek(fd_, static_cast<off_t>(offset), whence);
  if (pos < 0) return IoError(errno);
  if (new_position != nullptr) *new_position = static_cast<uint64_t>(pos);
  return FileError::kNone;
}

FileError File::Read(void* buffer, size_t count, size_t* done) {
  size_t total = 0;
  if (done != nullptr) *done = 0;
  if (fd_ < 0) return FileError::kInvalidHandle;
  if (!Readable(access_)) return FileError::kAccessDenied;
  char* out = static_cast<char*>(buffer);
  while (total < count) {
    CountFileCall(FileCall::kRead);
    ssize_t n = posix::Syscalls().read(fd_, out + total, count - total);
    if (n < 0) {
      if (errno == EINTR) continue;
      if (done != nullptr) *done = total;
      return IoError(errno);
    }
    if (n == 0) break;
    total += static_cast<size_t>(n);
  }
  if (done != nullptr) *done = total;
  return FileError::kNone;
}

FileError File::Write(const void* buffer, size_t count) {
  if (fd_ < 0) return FileError::kInvalidHandle;
  if (!Writable(access_)) return FileError::kAccessDenied;
  const char* in = static_cast<const char*>(buffer);
  size_t total = 0;
  while (total < count) {
    CountFileCall(FileCall::kWrite);
    ssize_t n = posix::Syscalls().write(fd_, in + total, count - total);
    if (n < 0) {
      if (errno == EINTR) continue;
      return IoError(errno);
    }
    if (n == 0) return FileError::kDiskFull;
    total += static_cast<size_t>(n);
  }
  return FileError::kNone;
}

FileError File::Length(uint64_t* length) const {
  if (fd_ < 0) return FileError::kInvalidHandle;
  struct stat st {};
  CountFileCall(FileCall::kOther);
  if (posix::Syscalls().fstat(fd_, &st) != 0) return FileErrorFromErrno(errno);
  *length = static_cast<uint64_t>(st.st_size);
  return FileError::kNone;
}

FileError File::SetLength(uint64_t length) {
  if (fd_ < 0) return FileError::kInvalidHandle;
  if (!Writable(access_)) return FileError::kAccessDenied;
  if (length > kMaxOffset) return FileError::kSeekFailed;
  for (;;) {
    CountFileCall(FileCall::kOther);
    if (posix::Syscalls().ftruncate(fd_, static_cast<off_t>(length)) == 0) return FileError::kNone;
    if (errno != EINTR) return IoError(errno);
  }
}

FileError File::Permissions(uint32_t* mode) const {
  if (fd_ < 0) return FileError::kInvalidHandle;
  struct stat st {};
  CountFileCall(FileCall::kOther);
  if (posix::Syscalls().fstat(fd_, &st) != 0) return FileErrorFromErrno(errno);
  *mode = static_cast<uint32_t>(st.st_mode) & 0777u;
  return FileError::kNone;
}

FileError File::SetPermissions(uint32_t mode) {
  if (fd_ < 0) return FileError::kInvalidHandle;
  CountFileCall(FileCall::kOther);
  if (fchmod(fd_, static_cast<mode_t>(mode & 0777u)) != 0) return FileErrorFromErrno(errno);
  return FileError::kNone;
}

FileError ReplaceFileContent(std::string_view path_gbk, std::string_view bytes, uint32_t mode) {
  const std::string passing = std::string(path_gbk) + ".~new";
  File file;
  FileError error = File::Open(passing, FileAccess::kWrite, FileShare::kExclusive,
                               FileCreate::kCreateAlways, &file, mode);
  if (error != FileError::kNone) return error;
  // A passing file left by an earlier writer keeps the bits it was created with.
  error = file.SetPermissions(mode);
  if (error == FileError::kNone) error = file.WriteAt(0, bytes.data(), bytes.size());
  if (error != FileError::kNone) {
    file.Close();
    (void)RemoveFile(passing);
    return error;
  }
  // Renamed while still held: no other writer can have the passing file in between.
  error = RenameFile(passing, path_gbk);
  if (error != FileError::kNone) (void)RemoveFile(passing);
  return error;
}

// The reserved range holds the share marks; a byte-range lock or unlock there would forge or
// drop them, so ranges reaching it are refused.
static bool ReachesReserved(uint64_t offset, uint64_t count) {
  return offset >= posix::kReservedBase || count > posix::kReservedBase - offset;
}

FileError File::Lock(uint64_t offset, uint64_t count) {
  if (fd_ < 0) return FileError::kInvalidHandle;
  if (count == 0) return FileError::kNone;  // an OFD length of 0 would mean "to the end": never
  if (ReachesReserved(offset, count)) return FileError::kLockViolation;
  // A lock descriptor that cannot take write locks (a file this user may not write) takes a
  // shared lock: it still conflicts with every exclusive lock of other handles.
  short type = lock_exclusive_ ? F_WRLCK : F_RDLCK;
  int err = posix::SetOfdLock(LockDescriptor(), type, offset, count);
  if (err == 0) return FileError::kNone;
  if (err == EAGAIN || err == EACCES) return FileError::kLockViolation;
  return FileErrorFromErrno(err);
}

FileError File::Unlock(uint64_t offset, uint64_t count) {
  if (fd_ < 0) return FileError::kInvalidHandle;
  if (count == 0) return FileError::kNone;
  if (ReachesReserved(offset, count)) return FileError::kLockViolation;
  int err = posix::SetOfdLock(LockDescriptor(), F_UNLCK, offset, count);
  return err == 0 ? FileError::kNone : FileErrorFromErrno(err);
}

}  // namespace memo::platform
