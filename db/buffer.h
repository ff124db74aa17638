// Buffers whose size comes from a file (a record size, a field length): a file may declare sizes
// that this machine cannot hold, and an allocation that fails must become an engine error
// (-45, "分配内存空间失败"), never an exception that ends the program.
#pragma once

#include <cstddef>
#include <new>
#include <stdexcept>
#include <string>

namespace memo::db {

// Resizes *buffer (new bytes zero); false when the memory cannot be had.
inline bool TryResize(std::string* buffer, size_t size) noexcept {
  try {
    buffer->resize(size);
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::length_error&) {
    return false;
  }
}

// Makes room for `size` bytes without changing the contents; false as above.
inline bool TryReserve(std::string* buffer, size_t size) noexcept {
  try {
    buffer->reserve(size);
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::length_error&) {
    return false;
  }
}

}  // namespace memo::db
