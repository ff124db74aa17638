// Array blocks.
//
// Layout: dimension count d (int32), d dimension sizes (int32), then the elements in row order.
// Elements of text and byte-set arrays are pointers to their own blocks (or null); on this 64-bit
// build such an element is pointer-sized (8 bytes) rather than the 4 bytes of a 32-bit cell.
// Elements may be unaligned (d even): read and write them through the helpers here.
// The element count is the product of the dimension sizes, 0 for d = 0 or a null block.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace memo {

// Size of one element of an array of the given element tag (kArrayFlag may be set): pointer
// size for Text and ByteSet, the type size otherwise (0 for tags with no basic size).
size_t ElementSize(uint32_t element_tag);

int32_t ArrayDimensionCount(const void* block);
int64_t ArrayElementCount(const void* block);

// First element byte, or null for a null block.
void* ArrayElements(void* block);
const void* ArrayElements(const void* block);

// The element at a 1-based index. Index - 1 < 0: run-time error 4; index - 1 >= count: run-time
// error 1 (both end the program).
void* ArrayElement(void* block, uint32_t element_tag, int32_t index_1_based);

// The text at a 1-based index of a text array (same errors as ArrayElement). Null = empty text.
const char* TextArrayElement(const void* block, int32_t index_1_based);

// A pointer element at a 0-based position, unchecked. REQUIRES: position < count.
void* PointerElementAt(const void* block, int64_t position);

// A new one-dimension text array {1, n, pointers}; takes ownership of the texts.
[[nodiscard]] void* MakeTextArray(const std::vector<char*>& texts);

// A heap copy of {1, 0}: one dimension, no elements (how an array variable starts).
[[nodiscard]] void* NewEmptyArray();

}  // namespace memo
