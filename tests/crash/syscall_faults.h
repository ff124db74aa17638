// A system-call table for tests (platform/posix/syscalls.h): counts the calls of each kind and
// makes a chosen one fail with a chosen errno, or stops the process (SIGKILL) just before a
// chosen call that changes a file.
#pragma once

#include <cstdint>

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

  // Forgets the counts and the planned fault.
  void Reset();

  int64_t count(Call kind) const;
  int64_t changes() const;   // writes, truncates, renames and unlinks
  bool fired() const;        // the planned failure happened
};

}  // namespace memo::crash
