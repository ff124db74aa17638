// The system calls of the POSIX file layer, reached through one table that a test can swap.
//
// Every call a File makes on a descriptor goes through Syscalls(): opening and closing, reads and
// writes, the length and its change, the open-file-description locks and their queries, the
// renames and removals of whole files; and the clock that lock retries read and sleep on. A test
// installs a table whose entries wrap the real ones (the defaults below) to make the n-th call of
// some kind fail with a chosen errno, or to stop the process at a chosen call, and so drives
// every failure path of the code above, or lets time pass without waiting.
//
// Entries keep the system's own contract: -1 with errno set on failure. Path lookups (stat,
// lstat, directory scans) are not in the table: they decide which name a call uses, never what a
// file holds.
//
// The table is process-wide and not synchronised: swap it only while no other thread uses files.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <time.h>

namespace memo::platform::posix {

struct SyscallTable {
  int (*open)(const char* path, int flags, mode_t mode);
  int (*close)(int fd);
  ssize_t (*pread)(int fd, void* buffer, size_t count, off_t offset);
  ssize_t (*pwrite)(int fd, const void* buffer, size_t count, off_t offset);
  ssize_t (*read)(int fd, void* buffer, size_t count);
  ssize_t (*write)(int fd, const void* buffer, size_t count);
  off_t (*lseek)(int fd, off_t offset, int whence);
  int (*ftruncate)(int fd, off_t length);
  int (*fstat)(int fd, struct stat* st);
  // fcntl(fd, F_OFD_SETLK, lock): takes (F_RDLCK, F_WRLCK) or drops (F_UNLCK) a lock.
  int (*set_lock)(int fd, struct flock* lock);
  // fcntl(fd, F_OFD_GETLK, lock): asks which lock, if any, would conflict.
  int (*get_lock)(int fd, struct flock* lock);
  int (*rename)(const char* from, const char* to);
  int (*unlink)(const char* path);
  // link(from, to): a second name that never replaces an existing one (EEXIST).
  int (*link)(const char* from, const char* to);
  // The monotonic clock and the sleep between lock retries (TickCount, SleepMs): a test can let
  // a wait's time pass without waiting it.
  int (*clock_gettime)(clockid_t clock, struct timespec* now);
  int (*nanosleep)(const struct timespec* wanted, struct timespec* left);
};

// The table in use.
const SyscallTable& Syscalls();

// The table of the real calls.
const SyscallTable& DefaultSyscalls();

// Installs `table` (copied) and returns the one it replaces.
SyscallTable InstallSyscalls(const SyscallTable& table);

}  // namespace memo::platform::posix
