// The runtime heap: every text, byte-set and array block of every value comes from here.
//
// Blocks are plain malloc blocks. Constant data is shared and never written or freed: the
// executable's own image (string literals, static tables) and every region registered with
// RegisterConstant (interned GBK literals, carried file images). Releasing a constant does
// nothing; reallocating one copies it into a fresh heap block and leaves it untouched.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>

#include "runtime/value.h"

namespace memo {

// A new block of n bytes (at least one byte is taken for n == 0). On failure the fatal error
// "分配 %d 字节内存失败!" (code 0) ends the program.
[[nodiscard]] void* Allocate(size_t n);

// As Allocate, but returns null on failure instead of ending the program.
[[nodiscard]] void* AllocateNoCheck(size_t n);

// Null block: as Allocate(n). A block inside constant data: a new heap block receiving
// min(n, bytes from the block to the end of its constant region); the constant stays as it was.
// (A pointer into the executable image that was never registered counts as a NUL-terminated
// text: the copy takes at most its bytes and the NUL.) Otherwise the block is resized in place
// or moved. Failure as Allocate. Bytes beyond the copied ones are zero for copies of constants.
[[nodiscard]] void* Reallocate(void* block, size_t n);

// Returns the block to the heap. Null and constant pointers: nothing.
void Release(void* block);

// Releases an array block. For a Text or ByteSet element tag (kArrayFlag may be set) every
// element is released first. Null and constant blocks: nothing.
void ReleaseArray(uint32_t element_tag, void* block);

// Releases the block a value cell holds, by its tag: text and byte-set blocks, arrays (with their
// elements) and nothing for every other tag. The cell is zeroed afterwards.
void ReleaseValue(TypedValue* value);

// Marks [p, p + n) as constant data: never released, never written. Thread-safe. Regions stay
// registered for the life of the process.
void RegisterConstant(const void* p, size_t n);

// True for a pointer inside a registered region or inside the executable image.
bool IsConstant(const void* p);

// Owns one heap block (or a constant, or null) and releases it on destruction.
template <typename T>
class BlockOwner {
 public:
  BlockOwner() = default;
  explicit BlockOwner(T* block) : block_(block) {}
  ~BlockOwner() { Release(const_cast<void*>(static_cast<const void*>(block_))); }
  BlockOwner(const BlockOwner&) = delete;
  BlockOwner& operator=(const BlockOwner&) = delete;
  BlockOwner(BlockOwner&& other) noexcept : block_(other.Take()) {}
  BlockOwner& operator=(BlockOwner&& other) noexcept {
    if (this != &other) Reset(other.Take());
    return *this;
  }

  T* get() const { return block_; }
  // Gives up ownership: the caller now releases the block.
  T* Take() { return std::exchange(block_, nullptr); }
  void Reset(T* block = nullptr) {
    Release(const_cast<void*>(static_cast<const void*>(block_)));
    block_ = block;
  }

 private:
  T* block_ = nullptr;
};

using TextOwner = BlockOwner<char>;

// Owns an array block with its elements.
class ArrayOwner {
 public:
  ArrayOwner(uint32_t element_tag, void* block) : element_tag_(element_tag), block_(block) {}
  ~ArrayOwner() { ReleaseArray(element_tag_, block_); }
  ArrayOwner(const ArrayOwner&) = delete;
  ArrayOwner& operator=(const ArrayOwner&) = delete;

  void* get() const { return block_; }
  void* Take() { return std::exchange(block_, nullptr); }

 private:
  uint32_t element_tag_;
  void* block_;
};

// Owns the block held by a value cell (a command result, say) and releases it by the cell's tag.
// A fixed-type command result leaves the tag 0: set the tag before handing the cell over.
class ValueOwner {
 public:
  ValueOwner() = default;
  explicit ValueOwner(const TypedValue& value) : value_(value) {}
  ~ValueOwner() { ReleaseValue(&value_); }
  ValueOwner(const ValueOwner&) = delete;
  ValueOwner& operator=(const ValueOwner&) = delete;

  const TypedValue& get() const { return value_; }
  TypedValue Take() { return std::exchange(value_, TypedValue{}); }

 private:
  TypedValue value_;
};

}  // namespace memo
