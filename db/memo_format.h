// The MemoFile layout: an array of 512-byte blocks.
//
// Block 0 is the header: magic "WEDT" (4), version (u32), creation time (f64), block count (i32,
// header block included), free block count (i32), first free block (i32), reserved (4); the rest
// of the block is zero. Every other block is previous link (u32), next link (u32), used bytes
// (u32, 1..500; 0 marks a free block) and 500 data bytes, zero-filled after the used ones. A
// value is the concatenation of the used bytes along a chain of next links; on the free list
// the same links chain the free blocks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace memo::db {

constexpr uint64_t kMemoBlockSize = 512;
constexpr size_t kMemoBlockHeaderSize = 12;
constexpr size_t kMemoBlockDataSize = 500;

constexpr size_t kMemoHeaderSize = 32;
constexpr uint64_t kMemoMagicOffset = 0x00;
constexpr uint64_t kMemoVersionOffset = 0x04;
constexpr uint64_t kMemoCreationTimeOffset = 0x08;
constexpr uint64_t kMemoBlockCountOffset = 0x10;
constexpr uint64_t kMemoFreeCountOffset = 0x14;
constexpr uint64_t kMemoFreeHeadOffset = 0x18;

constexpr char kMemoMagic[4] = {'W', 'E', 'D', 'T'};

// Block link fields within a data block.
constexpr size_t kBlockPrevOffset = 0;
constexpr size_t kBlockNextOffset = 4;
constexpr size_t kBlockUsedOffset = 8;

struct MemoHeader {
  char magic[4] = {'W', 'E', 'D', 'T'};
  uint32_t version = 0;
  double creation_time = 0;
  int32_t block_count = 1;
  int32_t free_count = 0;
  int32_t free_head = 0;

  // The reader's header rules: magic, block count > 0, free count and free head within
  // 0 .. block count - 1. (The version is judged against the RecordFile by the caller.)
  bool IsValid() const;
};

// REQUIRES: src holds kMemoHeaderSize bytes / dst has room for them (reserved bytes zeroed).
void DecodeMemoHeader(const char* src, MemoHeader* header);
void EncodeMemoHeader(const MemoHeader& header, char* dst);

struct BlockLinks {
  uint32_t prev = 0;
  uint32_t next = 0;
  uint32_t used = 0;
};

void DecodeBlockLinks(const char* src, BlockLinks* links);
void EncodeBlockLinks(const BlockLinks& links, char* dst);

// Fills the kMemoBlockSize bytes at `dst` with the block that holds piece `piece` (the bytes
// piece * 500 .. piece * 500 + 499) of `value`: the links, the used count and the data, zero after
// the used bytes. The one encoder of chain blocks, for chain writes and for the sort's new files.
// REQUIRES: piece < BlocksForBytes(value.size()).
void EncodeChainBlock(std::string_view value, uint64_t piece, uint32_t prev, uint32_t next,
                      char* dst);

// Data blocks needed for a value of n bytes (0 for the empty value).
constexpr uint64_t BlocksForBytes(uint64_t n) {
  return (n + kMemoBlockDataSize - 1) / kMemoBlockDataSize;
}

}  // namespace memo::db
