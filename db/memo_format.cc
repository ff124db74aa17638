#include "db/memo_format.h"

#include <algorithm>
#include <cstring>

#include "db/coding.h"

namespace memo::db {

bool MemoHeader::IsValid() const {
  if (std::memcmp(magic, kMemoMagic, 4) != 0) return false;
  if (block_count <= 0) return false;
  if (free_count < 0 || free_count > block_count - 1) return false;
  if (free_head < 0 || free_head > block_count - 1) return false;
  return true;
}

void DecodeMemoHeader(const char* src, MemoHeader* header) {
  std::memcpy(header->magic, src + kMemoMagicOffset, 4);
  header->version = DecodeFixed32(src + kMemoVersionOffset);
  header->creation_time = DecodeDouble(src + kMemoCreationTimeOffset);
  header->block_count = DecodeInt32(src + kMemoBlockCountOffset);
  header->free_count = DecodeInt32(src + kMemoFreeCountOffset);
  header->free_head = DecodeInt32(src + kMemoFreeHeadOffset);
}

void EncodeMemoHeader(const MemoHeader& header, char* dst) {
  std::memset(dst, 0, kMemoHeaderSize);
  std::memcpy(dst + kMemoMagicOffset, header.magic, 4);
  EncodeFixed32(dst + kMemoVersionOffset, header.version);
  EncodeDouble(dst + kMemoCreationTimeOffset, header.creation_time);
  EncodeInt32(dst + kMemoBlockCountOffset, header.block_count);
  EncodeInt32(dst + kMemoFreeCountOffset, header.free_count);
  EncodeInt32(dst + kMemoFreeHeadOffset, header.free_head);
}

void DecodeBlockLinks(const char* src, BlockLinks* links) {
  links->prev = DecodeFixed32(src + kBlockPrevOffset);
  links->next = DecodeFixed32(src + kBlockNextOffset);
  links->used = DecodeFixed32(src + kBlockUsedOffset);
}

void EncodeBlockLinks(const BlockLinks& links, char* dst) {
  EncodeFixed32(dst + kBlockPrevOffset, links.prev);
  EncodeFixed32(dst + kBlockNextOffset, links.next);
  EncodeFixed32(dst + kBlockUsedOffset, links.used);
}

void EncodeChainBlock(std::string_view value, uint64_t piece, uint32_t prev, uint32_t next,
                      char* dst) {
  const size_t begin = static_cast<size_t>(piece) * kMemoBlockDataSize;
  const size_t used = std::min(kMemoBlockDataSize, value.size() - begin);
  BlockLinks links;
  links.prev = prev;
  links.next = next;
  links.used = static_cast<uint32_t>(used);
  EncodeBlockLinks(links, dst);
  std::memcpy(dst + kMemoBlockHeaderSize, value.data() + begin, used);
  std::memset(dst + kMemoBlockHeaderSize + used, 0, kMemoBlockDataSize - used);
}

}  // namespace memo::db
