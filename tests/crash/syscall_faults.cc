#include "tests/crash/syscall_faults.h"

#include <errno.h>
#include <signal.h>
#include <unistd.h>

namespace memo::crash {
namespace {

using platform::posix::DefaultSyscalls;
using platform::posix::InstallSyscalls;
using platform::posix::SyscallTable;

// The table's entries are plain functions, so the plan lives here.
struct Plan {
  int64_t counts[kCallKinds] = {};
  int64_t changes = 0;
  bool fail_planned = false;
  Call fail_kind = Call::kRead;
  int64_t fail_at = 0;
  int fail_errno = 0;
  bool sticky = false;
  bool fired = false;
  int64_t kill_at = 0;  // 0: never
  int64_t cut_at = 0;   // pwrite number; 0: never
  size_t cut_keep = 0;
  AfterCut cut_after = AfterCut::kKill;
  std::vector<WriteCall> pwrites;
};

Plan g_plan;
bool g_installed = false;
SyscallTable g_previous;

// Counts a call and says whether it is to fail (errno set).
bool Fails(Call kind) {
  const int64_t n = ++g_plan.counts[static_cast<int>(kind)];
  if (kind == Call::kWrite || kind == Call::kTruncate || kind == Call::kRename ||
      kind == Call::kUnlink) {
    if (++g_plan.changes == g_plan.kill_at) kill(getpid(), SIGKILL);
  }
  if (!g_plan.fail_planned || kind != g_plan.fail_kind) return false;
  if (n == g_plan.fail_at || (g_plan.sticky && n > g_plan.fail_at)) {
    g_plan.fired = true;
    errno = g_plan.fail_errno;
    return true;
  }
  return false;
}

const SyscallTable& Real() { return DefaultSyscalls(); }

int Open(const char* path, int flags, mode_t mode) {
  return Fails(Call::kOpen) ? -1 : Real().open(path, flags, mode);
}
ssize_t Pread(int fd, void* buffer, size_t count, off_t offset) {
  return Fails(Call::kRead) ? -1 : Real().pread(fd, buffer, count, offset);
}
ssize_t Pwrite(int fd, const void* buffer, size_t count, off_t offset) {
  g_plan.pwrites.push_back(WriteCall{count, static_cast<int64_t>(offset)});
  if (Fails(Call::kWrite)) return -1;
  if (g_plan.cut_at != 0 && static_cast<int64_t>(g_plan.pwrites.size()) == g_plan.cut_at &&
      g_plan.cut_keep < count) {
    g_plan.fired = true;
    (void)Real().pwrite(fd, buffer, g_plan.cut_keep, offset);
    if (g_plan.cut_after == AfterCut::kKill) kill(getpid(), SIGKILL);
    errno = ENOSPC;
    return -1;
  }
  return Real().pwrite(fd, buffer, count, offset);
}
ssize_t Read(int fd, void* buffer, size_t count) {
  return Fails(Call::kRead) ? -1 : Real().read(fd, buffer, count);
}
ssize_t Write(int fd, const void* buffer, size_t count) {
  return Fails(Call::kWrite) ? -1 : Real().write(fd, buffer, count);
}
int Ftruncate(int fd, off_t length) {
  return Fails(Call::kTruncate) ? -1 : Real().ftruncate(fd, length);
}
int Fstat(int fd, struct stat* st) { return Fails(Call::kLength) ? -1 : Real().fstat(fd, st); }
int SetLock(int fd, struct flock* lock) {
  return Fails(lock->l_type == F_UNLCK ? Call::kUnlock : Call::kLock) ? -1
                                                                      : Real().set_lock(fd, lock);
}
int Rename(const char* from, const char* to) {
  return Fails(Call::kRename) ? -1 : Real().rename(from, to);
}
int Unlink(const char* path) { return Fails(Call::kUnlink) ? -1 : Real().unlink(path); }

}  // namespace

const char* CallName(Call kind) {
  static const char* const kNames[kCallKinds] = {"read",   "write", "lock",   "unlock", "truncate",
                                                 "length", "open",  "rename", "unlink"};
  return kNames[static_cast<int>(kind)];
}

SyscallFaults::SyscallFaults() {
  g_plan = Plan();
  SyscallTable table = Real();
  table.open = Open;
  table.pread = Pread;
  table.pwrite = Pwrite;
  table.read = Read;
  table.write = Write;
  table.ftruncate = Ftruncate;
  table.fstat = Fstat;
  table.set_lock = SetLock;
  table.rename = Rename;
  table.unlink = Unlink;
  if (!g_installed) g_previous = InstallSyscalls(table);
  g_installed = true;
}

SyscallFaults::~SyscallFaults() {
  InstallSyscalls(g_previous);
  g_installed = false;
}

void SyscallFaults::FailAt(Call kind, int64_t n, int err, bool sticky) {
  g_plan.fail_planned = true;
  g_plan.fail_kind = kind;
  g_plan.fail_at = g_plan.counts[static_cast<int>(kind)] + n;
  g_plan.fail_errno = err;
  g_plan.sticky = sticky;
  g_plan.fired = false;
}

void SyscallFaults::KillBeforeChange(int64_t n) { g_plan.kill_at = g_plan.changes + n; }

void SyscallFaults::CutWrite(int64_t n, size_t keep, AfterCut after) {
  g_plan.cut_at = static_cast<int64_t>(g_plan.pwrites.size()) + n;
  g_plan.cut_keep = keep;
  g_plan.cut_after = after;
  g_plan.fired = false;
}

const std::vector<WriteCall>& SyscallFaults::pwrites() const { return g_plan.pwrites; }

void SyscallFaults::Reset() { g_plan = Plan(); }

int64_t SyscallFaults::count(Call kind) const { return g_plan.counts[static_cast<int>(kind)]; }

int64_t SyscallFaults::changes() const { return g_plan.changes; }

bool SyscallFaults::fired() const { return g_plan.fired; }

}  // namespace memo::crash
