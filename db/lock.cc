#include "db/lock.h"

#include <algorithm>
#include <vector>

#include "db/engine_code.h"

namespace memo::db {
namespace {

using platform::FileError;

// Runs `attempt` until it succeeds, fails with something other than a lock violation, or the
// wait time has passed; sleeps 20 + (tick mod 20) ms between attempts.
template <typename Attempt>
FileError RetryLock(int32_t wait_ms, Attempt attempt) {
  FileError error = attempt();
  if (error != FileError::kLockViolation || wait_ms == 0) return error;
  // The clock is read only once there is something to wait for.
  const uint32_t start = platform::TickCount();
  for (;;) {
    if (wait_ms > 0 && platform::TickCount() - start >= static_cast<uint32_t>(wait_ms)) {
      return error;
    }
    platform::SleepMs(20 + platform::TickCount() % 20);
    error = attempt();
    if (error != FileError::kLockViolation) return error;
  }
}

}  // namespace

int32_t LongerWait(int32_t a, int32_t b) {
  if (a < 0 || b < 0) return kWaitForever;
  return a > b ? a : b;
}

LockTable::Held::iterator LockTable::Find(uint64_t offset) {
  return std::lower_bound(held_.begin(), held_.end(), offset,
                          [](const auto& entry, uint64_t key) { return entry.first < key; });
}

LockTable::Held::const_iterator LockTable::Find(uint64_t offset) const {
  return std::lower_bound(held_.begin(), held_.end(), offset,
                          [](const auto& entry, uint64_t key) { return entry.first < key; });
}

EngineCode LockTable::Lock(uint64_t offset, int32_t wait_ms) {
  if (policy_->lock_free) return kOk;
  auto it = Find(offset);
  if (it != held_.end() && it->first == offset) {
    ++it->second;
    return kOk;
  }
  if (!Covered(offset)) {
    FileError error = RetryLock(wait_ms, [&] { return file_->Lock(offset, 1); });
    if (error != FileError::kNone) return kLockFailed;
  }
  held_.insert(Find(offset), {offset, 1});
  return kOk;
}

EngineCode LockTable::Unlock(uint64_t offset) {
  if (policy_->lock_free) return kOk;
  auto it = Find(offset);
  if (it == held_.end() || it->first != offset) return kUnlockFailed;
  if (--it->second > 0) return kOk;
  held_.erase(it);
  if (Covered(offset)) return kOk;  // stays locked as part of the whole range
  return SystemUnlock(offset, 1) ? kOk : kUnlockFailed;
}

bool LockTable::SystemUnlock(uint64_t offset, uint64_t count) {
  if (file_->Unlock(offset, count) == FileError::kNone) return true;
  // Reported either way; the second attempt keeps a passing failure from leaving the range
  // locked for every other handle until this one closes.
  (void)file_->Unlock(offset, count);
  return false;
}

FileError LockTable::LockGaps(uint64_t begin, uint64_t end) {
  std::vector<std::pair<uint64_t, uint64_t>> taken;
  uint64_t from = begin;
  auto lock_range = [&](uint64_t first, uint64_t limit) {
    if (limit <= first) return FileError::kNone;
    FileError error = file_->Lock(first, limit - first);
    if (error == FileError::kNone) taken.emplace_back(first, limit - first);
    return error;
  };
  FileError error = FileError::kNone;
  for (auto it = Find(begin); it != held_.end() && it->first < end; ++it) {
    error = lock_range(from, it->first);
    if (error != FileError::kNone) break;
    from = it->first + 1;
  }
  if (error == FileError::kNone) error = lock_range(from, end);
  if (error != FileError::kNone) {
    for (const auto& [first, length] : taken) (void)SystemUnlock(first, length);
  }
  return error;
}

bool LockTable::UnlockGaps(uint64_t begin, uint64_t end) {
  bool ok = true;
  uint64_t from = begin;
  for (auto it = Find(begin); it != held_.end() && it->first < end; ++it) {
    if (it->first > from && !SystemUnlock(from, it->first - from)) ok = false;
    from = it->first + 1;
  }
  if (end > from && !SystemUnlock(from, end - from)) ok = false;
  return ok;
}

EngineCode LockTable::LockRange(uint64_t offset, uint64_t length, int32_t wait_ms) {
  if (policy_->lock_free || length == 0) return kOk;
  if (whole_depth_ > 0 && offset + length <= kWholeFileLockLength) return kOk;
  FileError error = RetryLock(wait_ms, [&] { return LockGaps(offset, offset + length); });
  return error == FileError::kNone ? kOk : kLockFailed;
}

EngineCode LockTable::UnlockRange(uint64_t offset, uint64_t length) {
  if (policy_->lock_free || length == 0) return kOk;
  if (whole_depth_ > 0 && offset + length <= kWholeFileLockLength) return kOk;
  return UnlockGaps(offset, offset + length) ? kOk : kUnlockFailed;
}

EngineCode LockTable::LockWhole(int32_t wait_ms) {
  if (policy_->lock_free) return kOk;
  if (whole_depth_ > 0) {
    ++whole_depth_;
    return kOk;
  }
  FileError error = RetryLock(wait_ms, [&] { return LockGaps(0, kWholeFileLockLength); });
  if (error != FileError::kNone) return kLockFailed;
  whole_depth_ = 1;
  return kOk;
}

EngineCode LockTable::UnlockWhole() {
  if (policy_->lock_free) return kOk;
  if (whole_depth_ == 0) return kUnlockFailed;
  if (--whole_depth_ > 0) return kOk;
  return UnlockGaps(0, kWholeFileLockLength) ? kOk : kUnlockFailed;
}

void LockTable::ReleaseAll() {
  if (whole_depth_ > 0) {
    whole_depth_ = 0;
    (void)file_->Unlock(0, kWholeFileLockLength);
  }
  for (const auto& [offset, count] : held_) (void)file_->Unlock(offset, 1);
  held_.clear();
}

int LockTable::ReferenceCount(uint64_t offset) const {
  auto it = Find(offset);
  return it == held_.end() || it->first != offset ? 0 : it->second;
}

EngineCode ByteLock::Acquire(LockTable* table, uint64_t offset, int32_t wait_ms) {
  IgnoreCode(Release());
  EngineCode rc = table->Lock(offset, wait_ms);
  if (rc == kOk) {
    table_ = table;
    offset_ = offset;
  }
  return rc;
}

EngineCode ByteLock::Acquire(LockTable* table, uint64_t offset) {
  IgnoreCode(Release());
  EngineCode rc = table->Lock(offset);
  if (rc == kOk) {
    table_ = table;
    offset_ = offset;
  }
  return rc;
}

EngineCode ByteLock::Release() {
  if (table_ == nullptr) return kOk;
  LockTable* table = table_;
  table_ = nullptr;
  return table->Unlock(offset_);
}

EngineCode WholeFileLock::Acquire(LockTable* table, int32_t wait_ms) {
  IgnoreCode(Release());
  EngineCode rc = table->LockWhole(wait_ms);
  if (rc == kOk) table_ = table;
  return rc;
}

EngineCode WholeFileLock::Acquire(LockTable* table) {
  IgnoreCode(Release());
  EngineCode rc = table->LockWhole();
  if (rc == kOk) table_ = table;
  return rc;
}

EngineCode WholeFileLock::Release() {
  if (table_ == nullptr) return kOk;
  LockTable* table = table_;
  table_ = nullptr;
  return table->UnlockWhole();
}

}  // namespace memo::db
