#include "db/check.h"

#include <algorithm>
#include <cstdio>

#include "db/coding.h"

namespace memo::db {

namespace {

// Who a block belongs to, while the walk runs.
constexpr int64_t kUnclaimed = -1;
constexpr int64_t kFreeList = -2;

std::string Describe(const MemoWalk& walk, const ChainHead& head) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "record %lld", static_cast<long long>(head.record) + 1);
  std::string text = buffer;
  text += " field ";
  if (head.field < walk.field_names.size() && !walk.field_names[head.field].empty()) {
    text += walk.field_names[head.field];
  } else {
    text += std::to_string(head.field + 1);
  }
  return text;
}

std::string Format(const char* format, long long a, long long b = 0, long long c = 0) {
  char buffer[160];
  std::snprintf(buffer, sizeof buffer, format, a, b, c);
  return buffer;
}

}  // namespace

void WalkMemoChains(const MemoWalk& walk, const BlockReader& read_block,
                    std::vector<std::string>* problems) {
  // Only blocks below both the header's count and the file's length can be visited; the reader
  // checks make the header's count the smaller one, but the walk does not rely on that.
  uint64_t header_count = walk.header.block_count > 0 ? static_cast<uint64_t>(walk.header.block_count) : 0;
  uint64_t limit = std::min<uint64_t>(header_count, walk.whole_blocks);
  if (walk.whole_blocks < header_count) {
    problems->push_back(Format("memo file holds %lld whole blocks, its header counts %lld",
                               static_cast<long long>(walk.whole_blocks),
                               static_cast<long long>(header_count)));
  }
  std::vector<int64_t> owner(limit, kUnclaimed);
  char block[kMemoBlockSize];

  for (size_t h = 0; h < walk.heads.size(); ++h) {
    const ChainHead& head = walk.heads[h];
    uint32_t previous = 0;
    uint32_t current = head.block;
    while (current != 0) {
      if (current >= limit) {
        problems->push_back(Describe(walk, head) +
                            Format(": link to block %lld, outside the memo file (%lld blocks)",
                                   current, static_cast<long long>(limit)));
        break;
      }
      if (owner[current] == static_cast<int64_t>(h)) {
        problems->push_back(Describe(walk, head) +
                            Format(": chain loops back to block %lld", current));
        break;
      }
      if (owner[current] != kUnclaimed) {
        problems->push_back(Describe(walk, head) + Format(": block %lld is also on the chain of ", current) +
                            Describe(walk, walk.heads[static_cast<size_t>(owner[current])]));
        break;
      }
      owner[current] = static_cast<int64_t>(h);
      if (!read_block(current, block)) {
        problems->push_back(Describe(walk, head) + Format(": block %lld cannot be read", current));
        break;
      }
      BlockLinks links;
      DecodeBlockLinks(block, &links);
      if (links.prev != previous) {
        problems->push_back(Describe(walk, head) +
                            Format(": block %lld links back to %lld, expected %lld", current,
                                   links.prev, previous));
      }
      if (links.used == 0 || links.used > kMemoBlockDataSize) {
        problems->push_back(Describe(walk, head) +
                            Format(": block %lld has used count %lld (1..500 on a chain)", current,
                                   links.used));
      }
      previous = current;
      current = links.next;
    }
  }

  // The free list.
  int64_t on_list = 0;
  uint32_t previous = 0;
  uint32_t current = walk.header.free_head > 0 ? static_cast<uint32_t>(walk.header.free_head) : 0;
  while (current != 0) {
    if (current >= limit) {
      problems->push_back(Format("free list: link to block %lld, outside the memo file (%lld blocks)",
                                 current, static_cast<long long>(limit)));
      break;
    }
    if (owner[current] == kFreeList) {
      problems->push_back(Format("free list loops back to block %lld", current));
      break;
    }
    if (owner[current] != kUnclaimed) {
      problems->push_back(Format("free list: block %lld is also on the chain of ", current) +
                          Describe(walk, walk.heads[static_cast<size_t>(owner[current])]));
      break;
    }
    owner[current] = kFreeList;
    ++on_list;
    if (!read_block(current, block)) {
      problems->push_back(Format("free list: block %lld cannot be read", current));
      break;
    }
    BlockLinks links;
    DecodeBlockLinks(block, &links);
    if (links.prev != previous) {
      problems->push_back(Format("free list: block %lld links back to %lld, expected %lld", current,
                                 links.prev, previous));
    }
    if (links.used != 0) {
      problems->push_back(Format("free list: block %lld has used count %lld (0 when free)", current,
                                 links.used));
    }
    previous = current;
    current = links.next;
  }
  if (on_list != walk.header.free_count) {
    problems->push_back(Format("free list holds %lld blocks, the header counts %lld", on_list,
                               walk.header.free_count));
  }

  // Blocks nobody reaches, reported as runs.
  for (uint64_t k = 1; k < limit;) {
    if (owner[k] != kUnclaimed) {
      ++k;
      continue;
    }
    uint64_t end = k;
    while (end + 1 < limit && owner[end + 1] == kUnclaimed) ++end;
    if (end == k) {
      problems->push_back(Format("block %lld is on no chain and not on the free list",
                                 static_cast<long long>(k)));
    } else {
      problems->push_back(Format("blocks %lld..%lld are on no chain and not on the free list",
                                 static_cast<long long>(k), static_cast<long long>(end)));
    }
    k = end + 1;
  }
}

}  // namespace memo::db
