// Text and byte-set blocks.
#include "runtime/text.h"

#include <cstring>

#include "runtime/heap.h"

namespace memo {

char* CopyText(const char* source) {
  if (source == nullptr || source[0] == '\0') return nullptr;
  size_t n = std::strlen(source);
  char* copy = static_cast<char*>(Allocate(n + 1));
  std::memcpy(copy, source, n + 1);
  return copy;
}

char* CopyBytesAsText(const void* source, int32_t n) {
  if (n < 1) return nullptr;
  char* copy = static_cast<char*>(Allocate(static_cast<size_t>(n) + 1));
  std::memcpy(copy, source, static_cast<size_t>(n));
  copy[n] = '\0';
  return copy;
}

char* CopyStringAsText(std::string_view bytes) {
  if (bytes.empty()) return nullptr;
  char* copy = static_cast<char*>(Allocate(bytes.size() + 1));
  std::memcpy(copy, bytes.data(), bytes.size());
  copy[bytes.size()] = '\0';
  return copy;
}

void* MakeByteSet(const void* source, int32_t n) {
  if (n <= 0) return nullptr;
  auto* block = static_cast<uint8_t*>(Allocate(kByteSetHeaderSize + static_cast<size_t>(n)));
  const int32_t header[2] = {1, n};
  std::memcpy(block, header, sizeof header);
  std::memcpy(block + kByteSetHeaderSize, source, static_cast<size_t>(n));
  return block;
}

int CompareTexts(const char* a, const char* b) {
  if (a == nullptr) a = "";
  if (b == nullptr) b = "";
  auto* x = reinterpret_cast<const unsigned char*>(a);
  auto* y = reinterpret_cast<const unsigned char*>(b);
  while (*x == *y) {
    if (*x == '\0') return 0;
    ++x;
    ++y;
  }
  return *x < *y ? -1 : 1;
}

int32_t TextLength(const char* text) {
  return text == nullptr ? 0 : static_cast<int32_t>(std::strlen(text));
}

char* JoinTexts(std::initializer_list<const char*> parts) {
  return JoinTextList(parts.begin(), parts.size());
}

char* JoinTextList(const char* const* parts, size_t count) {
  size_t total = 0;
  for (size_t i = 0; i < count; ++i) {
    if (parts[i] != nullptr) total += std::strlen(parts[i]);
  }
  char* joined = static_cast<char*>(Allocate(total + 1));
  char* out = joined;
  for (size_t i = 0; i < count; ++i) {
    if (parts[i] == nullptr) continue;
    size_t n = std::strlen(parts[i]);
    std::memcpy(out, parts[i], n);
    out += n;
  }
  *out = '\0';
  return joined;
}

int32_t ByteSetSize(const void* byte_set) {
  if (byte_set == nullptr) return 0;
  int32_t n;
  std::memcpy(&n, static_cast<const uint8_t*>(byte_set) + 4, sizeof n);
  return n < 0 ? 0 : n;
}

const uint8_t* ByteSetData(const void* byte_set) {
  if (byte_set == nullptr) return nullptr;
  return static_cast<const uint8_t*>(byte_set) + kByteSetHeaderSize;
}

uint8_t* MutableByteSetData(void* byte_set) {
  if (byte_set == nullptr) return nullptr;
  return static_cast<uint8_t*>(byte_set) + kByteSetHeaderSize;
}

}  // namespace memo
