// Interned GBK literals.
//
// Each distinct UTF-8 literal is converted once; its GBK text goes into an arena of chunks that
// are registered as constant data as a whole and never freed, so a literal pointer stays valid
// and constant for the life of the process and releasing it does nothing.
#include "runtime/literal.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

#include "platform/codec.h"
#include "runtime/heap.h"

namespace memo {

const char kEmptyText[1] = {'\0'};

namespace {

constexpr int32_t kEmptyByteSetBlock[2] = {1, 0};

class LiteralPool {
 public:
  const char* Intern(const char* utf8) {
    std::lock_guard lock(mutex_);
    auto it = texts_.find(utf8);
    if (it != texts_.end()) return it->second;
    std::string gbk = Utf8ToGbk(utf8);
    const char* text = Store(gbk);
    texts_.emplace(utf8, text);
    return text;
  }

 private:
  static constexpr size_t kChunkSize = 4096;

  // Copies the text with its NUL into the current chunk, opening a new one when it does not fit.
  // Chunks are zero-filled, so reading a constant up to its region end reads defined bytes.
  const char* Store(const std::string& gbk) {
    size_t need = gbk.size() + 1;
    if (need > chunk_left_) {
      size_t size = need > kChunkSize ? need : kChunkSize;
      chunk_ = static_cast<char*>(std::calloc(1, size));
      if (chunk_ == nullptr) std::abort();  // start-up literals: no way to report anything
      RegisterConstant(chunk_, size);
      chunk_left_ = size;
    }
    char* text = chunk_;
    std::memcpy(text, gbk.c_str(), need);
    chunk_ += need;
    chunk_left_ -= need;
    return text;
  }

  std::mutex mutex_;
  std::unordered_map<std::string, const char*> texts_;
  char* chunk_ = nullptr;
  size_t chunk_left_ = 0;
};

LiteralPool& Pool() {
  static LiteralPool* pool = new LiteralPool;  // lives until the process ends
  return *pool;
}

}  // namespace

// Routines intern the same literals over and over (a field name on every record). Each thread
// remembers the pointers it interned last, in a small table by address, so that a repeated
// literal costs neither the pool's lock nor a hash of its text. The bytes the pointer showed are
// kept and compared too: a pointer that is not a literal may come back with other bytes.
const char* Gbk(const char* utf8) {
  if (utf8 == nullptr || utf8[0] == '\0') return kEmptyText;
  struct Seen {
    const char* pointer = nullptr;
    std::string utf8;
    const char* gbk = nullptr;
  };
  constexpr size_t kSeen = 64;
  thread_local Seen seen[kSeen];
  Seen& slot = seen[(reinterpret_cast<uintptr_t>(utf8) >> 3) % kSeen];
  if (slot.pointer == utf8 && slot.utf8 == utf8) return slot.gbk;
  const char* text = Pool().Intern(utf8);
  slot.pointer = utf8;
  slot.utf8 = utf8;
  slot.gbk = text;
  return text;
}

const void* EmptyByteSet() { return kEmptyByteSetBlock; }

}  // namespace memo
