// Small helpers shared by the runtime tests.
#pragma once

#include <string>

#include "runtime/heap.h"
#include "runtime/literal.h"

namespace memo::testing {

// The bytes of a text (null = empty) as a string, for comparisons with Gbk("...").
inline std::string Bytes(const char* text) { return text ? std::string(text) : std::string(); }

// Takes a text block, returns its bytes and releases the block.
inline std::string Consume(char* text) {
  std::string bytes = Bytes(text);
  Release(text);
  return bytes;
}

}  // namespace memo::testing
