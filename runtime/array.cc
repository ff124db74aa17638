// Array blocks: {d, d dimension sizes, elements}, all int32 header words.
#include "runtime/array.h"

#include <cstring>

#include "runtime/convert.h"
#include "runtime/fatal.h"
#include "runtime/heap.h"

namespace memo {
namespace {

int32_t ReadWord(const void* p) {
  int32_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

size_t HeaderSize(const void* block) {
  int32_t d = ArrayDimensionCount(block);
  return sizeof(int32_t) * (1 + static_cast<size_t>(d));
}

}  // namespace

size_t ElementSize(uint32_t element_tag) {
  uint32_t element = ElementTag(element_tag);
  if (element == TypeTag::kText || element == TypeTag::kByteSet) return sizeof(void*);
  return TypeSize(element);
}

int32_t ArrayDimensionCount(const void* block) {
  if (block == nullptr) return 0;
  int32_t d = ReadWord(block);
  return d < 0 ? 0 : d;
}

int64_t ArrayElementCount(const void* block) {
  int32_t d = ArrayDimensionCount(block);
  if (d == 0) return 0;
  const auto* dims = static_cast<const uint8_t*>(block) + sizeof(int32_t);
  int64_t count = 1;
  for (int32_t i = 0; i < d; ++i) {
    int32_t size = ReadWord(dims + sizeof(int32_t) * static_cast<size_t>(i));
    if (size <= 0) return 0;
    count *= size;
    if (count > (int64_t{1} << 40)) return 0;  // no real array is this large: a corrupt header
  }
  return count;
}

void* ArrayElements(void* block) {
  if (block == nullptr) return nullptr;
  return static_cast<uint8_t*>(block) + HeaderSize(block);
}

const void* ArrayElements(const void* block) {
  if (block == nullptr) return nullptr;
  return static_cast<const uint8_t*>(block) + HeaderSize(block);
}

void* ArrayElement(void* block, uint32_t element_tag, int32_t index_1_based) {
  int64_t position = static_cast<int64_t>(index_1_based) - 1;
  if (position < 0) ReportRuntimeError(RuntimeError::kIndexBelowOne);
  if (position >= ArrayElementCount(block)) ReportRuntimeError(RuntimeError::kIndexOutOfRange);
  return static_cast<uint8_t*>(ArrayElements(block)) +
         static_cast<size_t>(position) * ElementSize(element_tag);
}

const char* TextArrayElement(const void* block, int32_t index_1_based) {
  void* element = ArrayElement(const_cast<void*>(block), TypeTag::kText, index_1_based);
  char* text;
  std::memcpy(&text, element, sizeof text);
  return text;
}

void* PointerElementAt(const void* block, int64_t position) {
  const auto* elements = static_cast<const uint8_t*>(ArrayElements(block));
  void* p;
  std::memcpy(&p, elements + static_cast<size_t>(position) * sizeof(void*), sizeof p);
  return p;
}

void* MakeTextArray(const std::vector<char*>& texts) {
  size_t n = texts.size();
  auto* block = static_cast<uint8_t*>(Allocate(2 * sizeof(int32_t) + n * sizeof(char*)));
  const int32_t header[2] = {1, static_cast<int32_t>(n)};
  std::memcpy(block, header, sizeof header);
  if (n > 0) std::memcpy(block + sizeof header, texts.data(), n * sizeof(char*));
  return block;
}

void* NewEmptyArray() {
  auto* block = static_cast<uint8_t*>(Allocate(2 * sizeof(int32_t)));
  const int32_t header[2] = {1, 0};
  std::memcpy(block, header, sizeof header);
  return block;
}

}  // namespace memo
