#include "db/check.h"

#include <algorithm>
#include <cstdio>

#include <cstring>

#include "db/coding.h"
#include "db/database.h"
#include "db/engine_code.h"
#include "db/lock.h"
#include "platform/codec.h"

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

namespace memo::db {

int CheckDatabase(DatabaseHandle* handle, std::vector<std::string>* problems) {
  if (handle == nullptr || !handle->IsOpen()) return kNoDatabaseOpen;
  // Writers change records and chains only under record locks, which the whole-file lock keeps
  // out: the walk sees one consistent state.
  WholeFileLock whole;
  int rc = whole.Acquire(handle->locks());
  if (rc != kOk) return rc;

  int32_t count = 0, next_serial = 1;
  rc = handle->ReadRecordCount(&count, &next_serial);
  if (rc != kOk) return rc;

  MemoWalk walk;
  for (const FieldDescriptor& field : handle->fields()) {
    walk.field_names.push_back(GbkToUtf8(field.Name()));
  }
  std::string record;
  for (int32_t position = 0; position < count; ++position) {
    rc = handle->ReadRecordBytes(position, &record);
    if (rc != kOk) return rc;
    if (record.size() < kSerialSize) return kReadRecordFailed;
    int64_t serial = DecodeInt32(record.data());
    int64_t magnitude = serial < 0 ? -serial : serial;
    if (serial == 0) {
      problems->push_back(Format("record %lld has serial 0 (neither live nor deleted)",
                                 static_cast<long long>(position) + 1));
    } else if (magnitude >= next_serial) {
      problems->push_back(Format("record %lld has serial %lld, not below the next serial %lld",
                                 static_cast<long long>(position) + 1, serial, next_serial));
    }
    for (size_t f = 0; f < handle->fields().size(); ++f) {
      const FieldDescriptor& field = handle->fields()[f];
      if (!IsChainField(field.type)) continue;
      // The reader's descriptor checks keep every field inside the record.
      if (static_cast<uint64_t>(field.offset) + 4 > record.size()) return kReadRecordFailed;
      uint32_t block = DecodeFixed32(record.data() + field.offset);
      walk.heads.push_back({position, static_cast<uint32_t>(f), block});
    }
  }

  MemoFile* memo = handle->memo_file();
  if (memo == nullptr || !memo->IsOpen()) {
    // No field keeps its value in chains (the open would have failed otherwise).
    return whole.Release();
  }
  rc = memo->ReadHeader(&walk.header);
  if (rc != kOk) return rc;
  uint64_t length = 0;
  platform::FileError error = memo->file()->Length(&length);
  if (error != platform::FileError::kNone) return FileErrorCode(error, kMemoAccessFailed);
  walk.whole_blocks = length / kMemoBlockSize;
  if (length % kMemoBlockSize != 0) {
    problems->push_back(Format("memo file ends with %lld bytes of a partial block",
                               static_cast<long long>(length % kMemoBlockSize)));
  }

  WalkMemoChains(walk, [memo](uint32_t block, char* out) {
    BlockLinks links;
    if (memo->ReadBlock(block, &links, nullptr) != kOk) return false;
    std::memset(out, 0, kMemoBlockSize);
    EncodeBlockLinks(links, out);
    return true;
  }, problems);
  return whole.Release();
}

}  // namespace memo::db
