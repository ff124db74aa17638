// Share modes and handle-owned byte-range locks, emulated with open-file-description (OFD) locks.
//
// Layout of the reserved range (all offsets from kReservedBase = 2^62, far beyond the engine's
// whole-file lock range 0..0x7FFFFFFF and beyond any real file size):
//   +0 has read     shared lock held by every handle with read access
//   +1 has write    shared lock held by every handle with write access
//   +2 denies read  shared lock held by every handle whose share mode denies reading
//   +3 denies write shared lock held by every handle whose share mode denies writing
//   +4 gate         exclusive lock held for a moment around an open's mark-and-check (waited
//                   for at most a second, then the open goes on without it)
//
// Invariants:
//   1. A handle holds its marks from the end of a successful open until it is closed; closing the
//      descriptor that holds them (its "lock descriptor") drops them, also when the process dies.
//   2. An open first marks, then checks the opposite bytes for marks of other handles
//      (F_OFD_GETLK ignores the asking descriptor's own locks). Because every opener marks before
//      it checks, of two racing opens that conflict at least one sees the other: the check can
//      never let both through. The gate makes the pair strictly ordered so that exactly one of
//      them fails; without the gate (see below) both may fail, never both succeed.
//   3. Nothing is truncated before the check has passed.
//
// Locks are advisory: they only bind code that goes through this layer.
#pragma once

#include <cstdint>

#include "platform/file.h"

namespace memo::platform::posix {

constexpr uint64_t kReservedBase = uint64_t{1} << 62;
constexpr uint64_t kHasReadByte = kReservedBase + 0;
constexpr uint64_t kHasWriteByte = kReservedBase + 1;
constexpr uint64_t kDeniesReadByte = kReservedBase + 2;
constexpr uint64_t kDeniesWriteByte = kReservedBase + 3;
constexpr uint64_t kGateByte = kReservedBase + 4;

// What the lock descriptor may do: an OFD read lock needs a descriptor open for reading, a write
// lock one open for writing.
struct LockAbility {
  bool shared = false;
  bool exclusive = false;
};

// Marks the handle's access and denials on `lock_fd` and checks for conflicts with other handles.
// The rule: an open is refused when it wants read and another handle denies read, wants write and
// another denies write, denies read and another has read, or denies write and another has write.
// kNone with the marks held, kSharingViolation with none held, or the system error.
FileError ClaimShare(int lock_fd, LockAbility ability, FileAccess access, FileShare share);

// Sets (F_OFD_SETLK, failing at once on conflict) or removes a lock; returns 0 or errno.
int SetOfdLock(int fd, short type, uint64_t offset, uint64_t count);

// True when a handle other than the one owning `fd` holds any lock overlapping the range.
// Returns errno through *err (0 on success).
bool OtherHolds(int fd, uint64_t offset, uint64_t count, int* err);

}  // namespace memo::platform::posix
