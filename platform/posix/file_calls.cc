#include "platform/file_calls.h"

#include <atomic>

namespace memo::platform {
namespace {

std::atomic<bool> g_counting{false};
constexpr int kKinds = 8;
std::atomic<uint64_t> g_counts[kKinds];

uint64_t Load(FileCall kind) {
  return g_counts[static_cast<int>(kind)].load(std::memory_order_relaxed);
}

}  // namespace

FileCallCounts FileCallCounts::Since(const FileCallCounts& earlier) const {
  FileCallCounts d;
  d.reads = reads - earlier.reads;
  d.writes = writes - earlier.writes;
  d.locks = locks - earlier.locks;
  d.unlocks = unlocks - earlier.unlocks;
  d.lock_tests = lock_tests - earlier.lock_tests;
  d.opens = opens - earlier.opens;
  d.closes = closes - earlier.closes;
  d.others = others - earlier.others;
  return d;
}

void EnableFileCallCounting(bool on) { g_counting.store(on, std::memory_order_relaxed); }

bool FileCallCountingEnabled() { return g_counting.load(std::memory_order_relaxed); }

FileCallCounts ReadFileCallCounts() {
  FileCallCounts c;
  c.reads = Load(FileCall::kRead);
  c.writes = Load(FileCall::kWrite);
  c.locks = Load(FileCall::kLock);
  c.unlocks = Load(FileCall::kUnlock);
  c.lock_tests = Load(FileCall::kLockTest);
  c.opens = Load(FileCall::kOpen);
  c.closes = Load(FileCall::kClose);
  c.others = Load(FileCall::kOther);
  return c;
}

void ResetFileCallCounts() {
  for (auto& count : g_counts) count.store(0, std::memory_order_relaxed);
}

void CountFileCall(FileCall kind) {
  if (!g_counting.load(std::memory_order_relaxed)) return;
  g_counts[static_cast<int>(kind)].fetch_add(1, std::memory_order_relaxed);
}

}  // namespace memo::platform
