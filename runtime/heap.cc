// The runtime heap and the constant-data registry.
//
// Invariants:
// 1. Every block handed out comes from malloc/realloc and goes back through free, once.
// 2. A pointer inside the executable image or inside a registered region is never freed and
//    never written; Reallocate copies it instead, never reading past the end of its region.
// 3. Registered regions never overlap one another and are never removed, so a region a lookup
//    found stays valid; lookups take no lock (see ConstantRegistry).
#include "runtime/heap.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "runtime/array.h"
#include "runtime/fatal.h"
#include "runtime/literal.h"

// Provided by the GNU linker for the executable: its first byte and the end of its bss.
extern "C" char __executable_start[];
extern "C" char _end[];

namespace memo {
namespace {

struct Region {
  const char* begin;
  const char* end;
};

// Lookups run on every release of a block, so they take no lock: the regions live in an
// immutable sorted vector that Add replaces by a copy with the new region (registration is rare:
// the literal arena's chunks and the carried images). Replaced vectors are kept, since a lookup
// may still be reading one.
class ConstantRegistry {
 public:
  void Add(const void* p, size_t n) {
    if (p == nullptr || n == 0) return;
    auto begin = reinterpret_cast<const char*>(p);
    std::lock_guard lock(mutex_);
    const std::vector<Region>* current = snapshot_.load(std::memory_order_relaxed);
    auto next = std::make_unique<std::vector<Region>>();
    if (current) *next = *current;
    auto it = std::lower_bound(
        next->begin(), next->end(), begin,
        [](const Region& r, const char* key) { return std::less<>()(r.begin, key); });
    if (it != next->end() && it->begin == begin) {
      it->end = begin + n;
    } else {
      next->insert(it, Region{begin, begin + n});
    }
    snapshot_.store(next.get(), std::memory_order_release);
    kept_.push_back(std::move(next));
  }

  // The registered region holding p, if any.
  bool Find(const void* p, Region* region) const {
    const std::vector<Region>* regions = snapshot_.load(std::memory_order_acquire);
    if (regions == nullptr || regions->empty()) return false;
    auto address = static_cast<const char*>(p);
    auto it = std::upper_bound(
        regions->begin(), regions->end(), address,
        [](const char* key, const Region& r) { return std::less<>()(key, r.begin); });
    if (it == regions->begin()) return false;
    --it;
    if (!std::less<>()(address, it->end)) return false;
    *region = *it;
    return true;
  }

 private:
  std::mutex mutex_;  // serialises Add
  std::atomic<const std::vector<Region>*> snapshot_{nullptr};
  std::vector<std::unique_ptr<std::vector<Region>>> kept_;
};

ConstantRegistry& Registry() {
  static ConstantRegistry* registry = new ConstantRegistry;  // lives until the process ends
  return *registry;
}

bool InExecutableImage(const void* p) {
  auto address = reinterpret_cast<uintptr_t>(p);
  return address >= reinterpret_cast<uintptr_t>(__executable_start) &&
         address < reinterpret_cast<uintptr_t>(_end);
}

[[noreturn]] void AllocationFailed(size_t n) {
  // The message names the requested size; the format's "%d" is filled with the full value.
  std::string format = Gbk("分配 %d 字节内存失败!");
  size_t at = format.find("%d");
  format.replace(at, 2, std::to_string(n));
  FatalError(format, 0);
}

}  // namespace

void* AllocateNoCheck(size_t n) { return std::malloc(n == 0 ? 1 : n); }

void* Allocate(size_t n) {
  void* block = AllocateNoCheck(n);
  if (block == nullptr) AllocationFailed(n);
  return block;
}

void* Reallocate(void* block, size_t n) {
  if (block == nullptr) return Allocate(n);
  Region region;
  bool registered = Registry().Find(block, &region);
  if (registered || InExecutableImage(block)) {
    const char* source = static_cast<const char*>(block);
    size_t available;
    if (registered) {
      available = static_cast<size_t>(region.end - source);
    } else {
      // The extent of an unregistered object in the image is unknown: take it as a text.
      size_t limit = static_cast<size_t>(_end - source);
      available = strnlen(source, limit) + 1;
      available = std::min(available, limit);
    }
    size_t copied = std::min(n, available);
    char* copy = static_cast<char*>(Allocate(n));
    std::memcpy(copy, source, copied);
    if (n > copied) std::memset(copy + copied, 0, n - copied);
    return copy;
  }
  void* moved = std::realloc(block, n == 0 ? 1 : n);
  if (moved == nullptr) AllocationFailed(n);
  return moved;
}

void Release(void* block) {
  if (block == nullptr || IsConstant(block)) return;
  std::free(block);
}

void ReleaseArray(uint32_t element_tag, void* block) {
  if (block == nullptr || IsConstant(block)) return;
  uint32_t element = ElementTag(element_tag);
  if (element == TypeTag::kText || element == TypeTag::kByteSet) {
    int64_t count = ArrayElementCount(block);
    for (int64_t i = 0; i < count; ++i) Release(PointerElementAt(block, i));
  }
  std::free(block);
}

void ReleaseValue(TypedValue* value) {
  // The array flag marks arrays of basic and library types; the class 0x40000000-0x7FFFFFFF
  // (which the flag would also fall into) holds no blocks.
  if ((value->tag & kArrayFlag) && ClassOfTag(value->tag) != TagClass::kSecond) {
    ReleaseArray(value->tag, value->Pointer());
  } else if (value->tag == TypeTag::kText || value->tag == TypeTag::kByteSet) {
    Release(value->Pointer());
  }
  *value = TypedValue{};
}

void RegisterConstant(const void* p, size_t n) { Registry().Add(p, n); }

bool IsConstant(const void* p) {
  if (p == nullptr) return false;
  if (InExecutableImage(p)) return true;
  Region region;
  return Registry().Find(p, &region);
}

}  // namespace memo
