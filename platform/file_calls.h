// How many system calls the file layer has made, by kind: a hook for benchmarks and tests that
// check what an operation costs in calls (the engine's rules fix a locked read per field and per
// record count, so the count of calls is what an operation's time is measured against).
//
// Counting is off until EnableFileCallCounting(true); while off, each call costs one relaxed load
// of a flag. The counters are process-wide and may be read from any thread.
#pragma once

#include <cstdint>

namespace memo::platform {

struct FileCallCounts {
  uint64_t reads = 0;       // pread and read
  uint64_t writes = 0;      // pwrite and write
  uint64_t locks = 0;       // byte-range locks taken (fcntl F_OFD_SETLK with a lock type)
  uint64_t unlocks = 0;     // byte-range locks released (F_OFD_SETLK with F_UNLCK)
  uint64_t lock_tests = 0;  // F_OFD_GETLK (share-mode checks at open)
  uint64_t opens = 0;       // open, including a handle's companion descriptor
  uint64_t closes = 0;
  uint64_t others = 0;  // fstat, stat, lstat, ftruncate, lseek, fcntl flags, directory reads

  uint64_t Total() const {
    return reads + writes + locks + unlocks + lock_tests + opens + closes + others;
  }
  // The calls made between `earlier` and this reading.
  FileCallCounts Since(const FileCallCounts& earlier) const;
};

enum class FileCall { kRead, kWrite, kLock, kUnlock, kLockTest, kOpen, kClose, kOther };

void EnableFileCallCounting(bool on);
bool FileCallCountingEnabled();
// The counts so far (zero while counting never ran).
FileCallCounts ReadFileCallCounts();
void ResetFileCallCounts();

// Called by platform/posix next to each system call.
void CountFileCall(FileCall kind);

}  // namespace memo::platform
