// Text and byte-set blocks.
//
// Text block: the bytes (GBK) and one NUL, nothing before them. The empty text is the null
// pointer; every function here treats null and a pointer to a NUL alike. Every producer returns
// null instead of an empty block, except JoinTexts.
// Byte-set block: dimension count (int32, always 1), byte count n (int32), the n bytes. The empty
// byte-set is null or a block with n = 0.
// All results are runtime-heap blocks owned by the caller (release with Release()).
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string_view>

#include "platform/gbk.h"  // IsLeadByte: the one definition of a GBK lead byte

namespace memo {

// A new text block with the same bytes, or null when source is null or empty.
[[nodiscard]] char* CopyText(const char* source);

// A new text block of the n bytes at source plus a NUL, or null when n < 1.
[[nodiscard]] char* CopyBytesAsText(const void* source, int32_t n);

// A new text block holding the bytes of a string view (null when empty).
[[nodiscard]] char* CopyStringAsText(std::string_view bytes);

// A new byte-set block {1, n, bytes}, or null when n <= 0.
[[nodiscard]] void* MakeByteSet(const void* source, int32_t n);

// Byte comparison as unsigned values, no case folding: negative, 0 or positive (-1, 0, 1).
// Null counts as the empty text.
int CompareTexts(const char* a, const char* b);

// Bytes before the NUL; 0 for null.
int32_t TextLength(const char* text);

// One new block holding the parts one after the other and a NUL (null parts count as empty).
// Always a block, of 1 byte when every part is empty.
[[nodiscard]] char* JoinTexts(std::initializer_list<const char*> parts);
// The same for a list whose length is known only at run time.
[[nodiscard]] char* JoinTextList(const char* const* parts, size_t count);

// Byte count of a byte-set block: 0 for null (and for a corrupt negative count).
int32_t ByteSetSize(const void* byte_set);
// The bytes of a byte-set block, or null for a null block.
const uint8_t* ByteSetData(const void* byte_set);
uint8_t* MutableByteSetData(void* byte_set);

// Header size of a byte-set block (dimension count and byte count).
constexpr size_t kByteSetHeaderSize = 8;

}  // namespace memo
