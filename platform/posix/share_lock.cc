// The share-mode protocol; the layout and invariants are in share_lock.h.
#include "platform/posix/share_lock.h"

#include <fcntl.h>
#include <sched.h>

#include <cerrno>

#include "platform/file_calls.h"
#include "platform/posix/syscalls.h"

namespace memo::platform::posix {
namespace {

bool Reads(FileAccess a) { return a != FileAccess::kWrite; }
bool Writes(FileAccess a) { return a != FileAccess::kRead; }
bool DeniesRead(FileShare s) { return s == FileShare::kDenyRead || s == FileShare::kExclusive; }
bool DeniesWrite(FileShare s) { return s == FileShare::kDenyWrite || s == FileShare::kExclusive; }

void FillLock(struct flock* fl, short type, uint64_t offset, uint64_t count) {
  *fl = {};
  fl->l_type = type;
  fl->l_whence = SEEK_SET;
  fl->l_start = static_cast<off_t>(offset);
  fl->l_len = static_cast<off_t>(count);
  fl->l_pid = 0;  // required to be 0 for OFD locks
}

// Other openers hold the gate for a few system calls. Waiting is bounded so that a stopped or
// stuck process can never hang an open: after kGateWaitMs the open goes on ungated, which
// invariant 2 keeps safe.
constexpr uint32_t kGateWaitMs = 1000;

bool TakeGate(int lock_fd) {
  const uint32_t start = TickCount();
  for (int attempt = 0;; ++attempt) {
    int err = SetOfdLock(lock_fd, F_WRLCK, kGateByte, 1);
    if (err == 0) return true;
    if (err != EAGAIN && err != EACCES) return false;
    if (TickCount() - start >= kGateWaitMs) return false;
    if (attempt < 64) {
      sched_yield();
    } else {
      SleepMs(1);
    }
  }
}

}  // namespace

int SetOfdLock(int fd, short type, uint64_t offset, uint64_t count) {
  struct flock fl;
  FillLock(&fl, type, offset, count);
  const FileCall kind = type == F_UNLCK ? FileCall::kUnlock : FileCall::kLock;
  for (;;) {
    CountFileCall(kind);
    if (Syscalls().set_lock(fd, &fl) == 0) return 0;
    if (errno != EINTR) return errno;
  }
}

bool OtherHolds(int fd, uint64_t offset, uint64_t count, int* err) {
  struct flock fl;
  FillLock(&fl, F_WRLCK, offset, count);  // a write lock conflicts with every other lock
  CountFileCall(FileCall::kLockTest);
  if (Syscalls().get_lock(fd, &fl) != 0) {
    *err = errno;
    return false;
  }
  *err = 0;
  return fl.l_type != F_UNLCK;
}

FileError ClaimShare(int lock_fd, LockAbility ability, FileAccess access, FileShare share) {
  // The gate needs a write lock; a descriptor that cannot take one (a file this user may not
  // write) goes without it and relies on mark-before-check alone (invariant 2).
  bool gated = ability.exclusive && TakeGate(lock_fd);

  // Marks are shared read locks. A descriptor that cannot take read locks (write-only access to
  // a file this user may not read) cannot publish marks; it still checks the others' marks.
  struct Mark {
    bool wanted;
    uint64_t byte;
  };
  const Mark marks[] = {{Reads(access), kHasReadByte},
                        {Writes(access), kHasWriteByte},
                        {DeniesRead(share), kDeniesReadByte},
                        {DeniesWrite(share), kDeniesWriteByte}};
  int err = 0;
  if (ability.shared) {
    for (const Mark& m : marks) {
      if (m.wanted && (err = SetOfdLock(lock_fd, F_RDLCK, m.byte, 1)) != 0) break;
    }
  }

  bool conflict = false;
  const Mark checks[] = {{Reads(access), kDeniesReadByte},
                         {Writes(access), kDeniesWriteByte},
                         {DeniesRead(share), kHasReadByte},
                         {DeniesWrite(share), kHasWriteByte}};
  for (const Mark& c : checks) {
    if (err != 0 || conflict) break;
    if (c.wanted) conflict = OtherHolds(lock_fd, c.byte, 1, &err);
  }

  if (err != 0 || conflict) {
    // Drop the marks at once rather than when the caller closes the descriptor, so that a
    // refused open never refuses anyone else.
    SetOfdLock(lock_fd, F_UNLCK, kHasReadByte, 4);
  }
  if (gated) SetOfdLock(lock_fd, F_UNLCK, kGateByte, 1);
  if (err != 0) return FileErrorFromErrno(err);
  return conflict ? FileError::kSharingViolation : FileError::kNone;
}

}  // namespace memo::platform::posix
