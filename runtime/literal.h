// Constant GBK texts made from the UTF-8 literals of the source code, and the constant empty text
// and byte-set that stand in for null where a command needs a pointer.
#pragma once

#include <cstdint>

namespace memo {

// The GBK form of a UTF-8 literal, interned: converted once, registered as constant data (never
// released, never written) and returned as the same pointer for the same input ever after.
// Characters with no GBK form become '?'. Thread-safe. Gbk("") is kEmptyText.
const char* Gbk(const char* utf8);

// The constant empty text: a single NUL byte.
extern const char kEmptyText[1];

// The constant empty byte-set block {1, 0}.
const void* EmptyByteSet();

// A null text or byte-set replaced by the constant empty one (the form commands receive).
inline const char* NonNullText(const char* text) { return text ? text : kEmptyText; }
inline const void* NonNullByteSet(const void* byte_set) {
  return byte_set ? byte_set : EmptyByteSet();
}

}  // namespace memo
