// Byte-range locks of one open database file, as the engine takes them.
//
// Locks taken (all single bytes, apart from the whole-file lock):
//   RecordFile byte 16          guards the record count and the next serial
//   RecordFile first byte of a record (its serial)  guards that record and its memo chains
//   MemoFile byte 0             guards the MemoFile header while blocks are allocated or freed
//   MemoFile first byte of a block  taken by writers while they walk or write that block (for
//                               other programs that read chains block by block under these
//                               locks); the engine's chain reads rely on the record lock alone
//   whole-file lock [0, 0x7FFFFFFF) of the RecordFile  clear, pack, sort; open's checks
//   a range of records [first record's serial, last record's serial]  a read-ahead (the handle's
//                               bulk read of consecutive records, record_io.cc) while it reads
//                               them: it conflicts with every record lock in it and with the
//                               whole-file lock, as the record locks it stands for would
// Order, when several are held: header byte before record byte (or a range of records); record
// before MemoFile header.
// A chain writer takes its old chain's block locks (blocks of its own record, which no other
// writer touches) before the MemoFile header, and free blocks and blocks past the end after it;
// while holding the header it waits for no block that another writer may hold (a block it only
// needs to look at is tried once), so no two writers ever wait for each other.
// Every holder releases in reverse order.
//
// Invariants of a LockTable:
//   1. The bytes the system holds for this handle are exactly: the held table's keys, plus the
//      whole range while the whole-file depth is above 0, plus a range between its LockRange and
//      UnlockRange (which one operation pairs, taking no other lock in between).
//   2. A byte is locked with the system once, on its first reference; later references count.
//   3. Taking the whole-file lock locks only the gaps between bytes already held (the system
//      would otherwise merge them into the range and drop them with it); releasing it unlocks the
//      gaps between the bytes still held.
//   4. With the policy's lock-free flag set no system lock is taken or released at all.
// An unlock the system refuses is reported (-29) and tried once more at once, so that a passing
// failure leaves no byte locked; a byte whose second unlock fails too stays locked in the system
// (against invariant 1) until the handle is closed, which drops every lock it has.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "db/engine_code.h"
#include "platform/file.h"

namespace memo::db {

// The whole-file lock covers bytes 0 .. 0x7FFFFFFE.
constexpr uint64_t kWholeFileLockLength = 0x7FFFFFFF;

// A lock request that fails with a lock violation is retried until this many milliseconds have
// passed since the first attempt; 0 = fail at once, -1 = wait without limit.
constexpr int32_t kNoLockWait = 0;
constexpr int32_t kWaitForever = -1;

// Opens and writes wait at least this long for a lock that another handle holds (a reader's
// record lock, another program's open or dump) before they fail with -28: such locks are held
// for moments, and a write that gave up at once would lose what it was to store. Each retry
// sleeps 20 + (tick mod 20) ms, so the wait is some 65 attempts.
constexpr int32_t kBusyLockWait = 2000;

// Settings shared by the lock tables of one handle.
struct LockPolicy {
  bool lock_free = false;  // no other opener can reach the file: take no locks
  int32_t wait_ms = kNoLockWait;
};

// The longer of two lock-wait times (-1, forever, is the longest).
int32_t LongerWait(int32_t a, int32_t b);

class LockTable {
 public:
  // REQUIRES: file and policy outlive the table.
  LockTable(platform::File* file, const LockPolicy* policy) : file_(file), policy_(policy) {}
  LockTable(const LockTable&) = delete;
  LockTable& operator=(const LockTable&) = delete;

  // One more reference to the byte at `offset`. kOk or kLockFailed (-28).
  EngineCode Lock(uint64_t offset, int32_t wait_ms);
  EngineCode Lock(uint64_t offset) { return Lock(offset, policy_->wait_ms); }
  // One reference fewer. kOk or kUnlockFailed (-29), also for a byte that is not held.
  EngineCode Unlock(uint64_t offset);

  // The whole-file lock; nests by a counter. Releasing the last level reports -29 when the
  // system refused to unlock any of the gaps (each is still tried twice).
  EngineCode LockWhole(int32_t wait_ms);
  EngineCode LockWhole() { return LockWhole(policy_->wait_ms); }
  EngineCode UnlockWhole();

  // A range of bytes for the span of one operation (not counted, not nested): locks only the gaps
  // between bytes already held, as the whole-file lock does, and nothing under the whole-file
  // lock, which covers it already. kOk, kLockFailed (-28); UnlockRange kUnlockFailed (-29).
  EngineCode LockRange(uint64_t offset, uint64_t length, int32_t wait_ms);
  EngineCode UnlockRange(uint64_t offset, uint64_t length);

  // Drops every lock this table holds (used when the handle closes).
  void ReleaseAll();

  // How long an open or a write waits: kBusyLockWait, or the policy's time when that is longer.
  int32_t busy_wait() const { return LongerWait(policy_->wait_ms, kBusyLockWait); }

  int ReferenceCount(uint64_t offset) const;
  int whole_depth() const { return whole_depth_; }
  bool lock_free() const { return policy_->lock_free; }
  size_t held_count() const { return held_.size(); }

 private:
  bool Covered(uint64_t offset) const { return whole_depth_ > 0 && offset < kWholeFileLockLength; }
  using Held = std::vector<std::pair<uint64_t, int>>;  // offset -> references, by offset
  // The entry for `offset`, or where it would go.
  Held::iterator Find(uint64_t offset);
  Held::const_iterator Find(uint64_t offset) const;
  // Locks [begin, end) minus held bytes, all or nothing; platform error on failure.
  platform::FileError LockGaps(uint64_t begin, uint64_t end);
  // Unlocks [begin, end) minus held bytes; false when some gap's unlock failed (twice).
  bool UnlockGaps(uint64_t begin, uint64_t end);
  // One system unlock, tried twice; false when the first attempt failed.
  bool SystemUnlock(uint64_t offset, uint64_t count);

  platform::File* file_;
  const LockPolicy* policy_;
  // A handle holds a few bytes at a time: a sorted vector keeps its capacity from one command to
  // the next, where a map would allocate and free a node for every lock.
  Held held_;
  int whole_depth_ = 0;
};

// Holds one byte lock for a scope. Release() reports an unlock failure; the destructor releases
// silently on early returns.
class ByteLock {
 public:
  ByteLock() = default;
  ~ByteLock() { IgnoreCode(Release()); }
  ByteLock(const ByteLock&) = delete;
  ByteLock& operator=(const ByteLock&) = delete;

  EngineCode Acquire(LockTable* table, uint64_t offset, int32_t wait_ms);
  EngineCode Acquire(LockTable* table, uint64_t offset);
  EngineCode Release();
  bool held() const { return table_ != nullptr; }

 private:
  LockTable* table_ = nullptr;
  uint64_t offset_ = 0;
};

// Holds the whole-file lock for a scope.
class WholeFileLock {
 public:
  WholeFileLock() = default;
  ~WholeFileLock() { IgnoreCode(Release()); }
  WholeFileLock(const WholeFileLock&) = delete;
  WholeFileLock& operator=(const WholeFileLock&) = delete;

  EngineCode Acquire(LockTable* table, int32_t wait_ms);
  EngineCode Acquire(LockTable* table);
  EngineCode Release();

 private:
  LockTable* table_ = nullptr;
};

}  // namespace memo::db
