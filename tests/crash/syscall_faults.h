// A system-call table for tests (platform/posix/syscalls.h): counts the calls of each kind and
// makes a chosen one fail with a chosen errno, stops the process (SIGKILL) just before a chosen
// call that changes a file, or cuts a chosen write short inside the call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/posix/syscalls.h"

namespace memo::crash {

enum class Call {
  kRead,      // pread, read
  kWrite,     // pwrite, write
  kLock,      // taking a byte-range lock
  kUnlock,    // dropping one
  kTruncate,  // ftruncate
  kLength,    // fstat
  kOpen,
  kRename,
  kUnlink,
};
constexpr int kCallKinds = 9;

const char* CallName(Call kind);

// What follows a write cut short: the process dies at once (as a kill between two pages of the
// kernel's copy), or the call reports a full disk (as when space runs out in the middle).
enum class AfterCut { kKill, kDiskFull };

// One positional write as it was asked for.
struct WriteCall {
  size_t count = 0;
  int64_t offset = 0;
};

// Installs the counting table for its lifetime (one at a time). Counts start at 0.
class SyscallFaults {
 public:
  SyscallFaults();
  ~SyscallFaults();
  SyscallFaults(const SyscallFaults&) = delete;
  SyscallFaults& operator=(const SyscallFaults&) = delete;

  // The n-th call of `kind` from now on (1-based) fails with `err` without doing anything; with
  // `sticky`, every later call of that kind fails too.
  void FailAt(Call kind, int64_t n, int err, bool sticky = false);

  // Just before the n-th call from now on that changes a file (a write, truncate, rename or
  // unlink) the process sends itself SIGKILL.
  void KillBeforeChange(int64_t n);

  // The n-th pwrite from now on writes only its first `keep` bytes (0 < keep < its count), then
  // the process sends itself SIGKILL or the call fails with ENOSPC.
  void CutWrite(int64_t n, size_t keep, AfterCut after);

  // Every pwrite since the table was installed (or Reset), in order.
  const std::vector<WriteCall>& pwrites() const;

  // Forgets the counts and the planned fault.
  void Reset();

  int64_t count(Call kind) const;
  int64_t changes() const;  // writes, truncates, renames and unlinks
  bool fired() const;       // the planned failure happened
};

}  // namespace memo::crash
