#include "platform/posix/syscalls.h"

#include <stdio.h>
#include <unistd.h>

namespace memo::platform::posix {
namespace {

int RealOpen(const char* path, int flags, mode_t mode) { return ::open(path, flags, mode); }
int RealSetLock(int fd, struct flock* lock) { return ::fcntl(fd, F_OFD_SETLK, lock); }
int RealGetLock(int fd, struct flock* lock) { return ::fcntl(fd, F_OFD_GETLK, lock); }

constexpr SyscallTable kDefaults = {
    RealOpen, ::close,     ::pread,     ::pwrite, ::read,   ::write, ::lseek,         ::ftruncate,
    ::fstat,  RealSetLock, RealGetLock, ::rename, ::unlink, ::link,  ::clock_gettime, ::nanosleep,
};

SyscallTable g_table = kDefaults;

}  // namespace

const SyscallTable& Syscalls() { return g_table; }

const SyscallTable& DefaultSyscalls() { return kDefaults; }

SyscallTable InstallSyscalls(const SyscallTable& table) {
  SyscallTable previous = g_table;
  g_table = table;
  return previous;
}

}  // namespace memo::platform::posix
