// A walk's read-ahead: reading a chunk of records and their chains under one range lock, and
// serving the walk's field reads and skips from it (the rules are in read_ahead.h).
//
// The count byte is waited for as a skip waits for it. The range is tried once and never waited
// for while the count byte is held: a program holding a record of the range may ask for the count
// next (the data source checks its row against the count under a held row).
#include "db/read_ahead.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstring>
#include <new>

#include "db/buffer.h"
#include "db/coding.h"
#include "db/database.h"
#include "db/memo_format.h"
#include "db/value_codec.h"

namespace memo::db {
namespace {

std::atomic<uint64_t> g_process_writes{0};

}  // namespace

uint64_t ProcessWriteCount() { return g_process_writes.load(std::memory_order_acquire); }

void CountProcessWrite() { g_process_writes.fetch_add(1, std::memory_order_acq_rel); }

const ReadAhead::Chain* ReadAhead::ChainOf(int64_t position, int field) const {
  for (size_t k = 0; k < chain_fields.size(); ++k) {
    if (chain_fields[k] == field) {
      return &chains[static_cast<size_t>(position - first) * chain_fields.size() + k];
    }
  }
  return nullptr;
}

bool DatabaseHandle::ReadAheadServes(int64_t position) const {
  if (!ahead_.Holds(position)) return false;
  // Any write of this process since the chunk was read may have changed what it holds.
  if (ahead_.writes != ProcessWriteCount()) return false;
  // Nobody else can open a lock-free handle's files: only its own writes change them.
  if (policy_.lock_free) return true;
  return platform::CoarseTickCount() - ahead_.tick < kReadAheadTrustMs;
}

EngineCode DatabaseHandle::ReadAheadField(int field_index, std::string_view* raw, bool* served) {
  *served = false;
  const int64_t position = current_;
  if (!ReadAheadServes(position)) {
    if (ahead_.Holds(position)) {
      // Gone stale before the walk used it up: the next chunk holds what this walk reads in the
      // time a chunk stays fresh, twice over.
      walk_chunk_records_ = std::max(kReadAheadFirstRecords, 2 * (position - ahead_.first));
    }
    ahead_.Drop();
    // Only a walk that has just stepped to the next record reads ahead.
    if (walk_last_ != position - 1) return kOk;
    EngineCode rc = FillReadAhead(position);
    if (rc != kOk) return rc;
    if (!ahead_.Holds(position)) return kOk;
  }
  const FieldDescriptor& field = fields_[field_index];
  if (IsChainField(field.type)) {
    const ReadAhead::Chain* chain = ahead_.ChainOf(position, field_index);
    if (chain == nullptr) return kOk;  // read from the file; the next chunk reads it too
    *served = true;
    walk_last_ = position;
    if (chain->code != kOk) return chain->code;
    *raw = std::string_view(ahead_.values).substr(chain->offset, chain->length);
    return kOk;
  }
  // Open checked that every field lies inside the record.
  *raw = std::string_view(
      ahead_.Record(position, static_cast<uint32_t>(header_.record_size)) + field.offset,
      field.Size());
  *served = true;
  walk_last_ = position;
  return kOk;
}

EngineCode DatabaseHandle::FillReadAhead(int64_t position) {
  ahead_.Drop();
  const size_t record_size = static_cast<uint32_t>(header_.record_size);
  const int64_t most = std::max<int64_t>(1, static_cast<int64_t>(kReadAheadBytes / record_size));
  const int64_t wanted = std::min(walk_chunk_records_, most);

  ByteLock count_lock;
  if (count_lock.Acquire(&locks_, kRecordCountOffset,
                         LongerWait(policy_.wait_ms, kRecordCountLockWait)) != kOk) {
    return kOk;  // the protocol's read of this record says what is wrong, if anything
  }
  int32_t count = 0, serial = 1;
  if (ReadCountLocked(&count, &serial) != kOk || position >= count) return count_lock.Release();
  int64_t records = std::min<int64_t>(wanted, count - position);
  // Every record's serial byte from the first to the last: the locks of all their writers.
  const uint64_t begin = RecordOffset(position);
  const uint64_t span = static_cast<uint64_t>(records - 1) * record_size + 1;
  // Tried once: waiting for it while holding the count byte could wait for a program that holds
  // a record and asks for the count next.
  if (locks_.LockRange(begin, span, kNoLockWait) != kOk) {
    // Someone holds a record of the range: this record by the protocol (which waits for it as it
    // always did), a small chunk next.
    walk_chunk_records_ = kReadAheadFirstRecords;
    return count_lock.Release();
  }
  size_t done = 0;
  const size_t bytes = static_cast<size_t>(records) * record_size;
  bool read = (ahead_.bytes.size() >= bytes || TryResize(&ahead_.bytes, bytes)) &&
              file_.ReadAt(begin, ahead_.bytes.data(), bytes, &done) == platform::FileError::kNone;
  // A file shorter than its count holds fewer whole records: the rest by the protocol.
  records = read ? static_cast<int64_t>(done / record_size) : 0;
  if (records > 0) {
    try {
      if (ReadAheadChains(&records) != kOk) records = 0;
    } catch (const std::bad_alloc&) {
      records = 0;
    }
  }
  EngineCode rc = locks_.UnlockRange(begin, span);
  KeepFirst(&rc, count_lock.Release());
  if (rc != kOk || records == 0) return rc;
  ahead_.first = position;
  ahead_.records = records;
  ahead_.count = count;
  ahead_.writes = ProcessWriteCount();
  ahead_.tick = policy_.lock_free ? 0 : platform::CoarseTickCount();
  walk_chunk_records_ = std::min(wanted * 2, most);
  return kOk;
}

EngineCode DatabaseHandle::ReadAheadChains(int64_t* records) {
  ReadAhead& a = ahead_;
  a.chain_fields.clear();
  a.chains.clear();
  a.values.clear();
  for (int f = 0; f < field_count() && f < 64; ++f) {
    if ((walk_chain_fields_ >> f & 1) != 0) a.chain_fields.push_back(f);
  }
  if (a.chain_fields.empty()) return kOk;
  const size_t record_size = static_cast<uint32_t>(header_.record_size);
  const size_t per_record = a.chain_fields.size();
  auto first_block = [&](int64_t r, size_t k) {
    return DecodeFixed32(a.bytes.data() + static_cast<size_t>(r) * record_size +
                         fields_[a.chain_fields[k]].offset);
  };
  a.chains.resize(static_cast<size_t>(*records) * per_record);

  // The span of blocks from the lowest first block on, when the chains lie close together.
  uint64_t low = UINT64_MAX, high = 0, chains = 0;
  for (int64_t r = 0; r < *records; ++r) {
    for (size_t k = 0; k < per_record; ++k) {
      const uint32_t block = first_block(r, k);
      if (block == 0) continue;
      low = std::min<uint64_t>(low, block);
      high = std::max<uint64_t>(high, block);
      ++chains;
    }
  }
  uint64_t span_blocks = 0;
  if (memo_ && chains > 0) {
    const uint64_t wanted = high - low + 1 + kReadAheadSpanTail;
    if (wanted <= chains * kReadAheadSpanSlack + kReadAheadSpanTail &&
        wanted <= kReadAheadSpanBlocks &&
        (a.span.size() >= wanted * kMemoBlockSize || TryResize(&a.span, wanted * kMemoBlockSize))) {
      size_t done = 0;
      if (memo_->file()->ReadAt(low * kMemoBlockSize, a.span.data(), wanted * kMemoBlockSize,
                                &done) == platform::FileError::kNone) {
        span_blocks = done / kMemoBlockSize;
      }
    }
  }

  std::string chain_value;
  for (int64_t r = 0; r < *records; ++r) {
    for (size_t k = 0; k < per_record; ++k) {
      ReadAhead::Chain& chain = a.chains[static_cast<size_t>(r) * per_record + k];
      chain.offset = a.values.size();
      if (!memo_) {
        chain.code = kReadFieldFailed;  // as the protocol's read of a chain field without one
        continue;
      }
      const uint32_t first = first_block(r, k);
      // In the span: each block's links and used count checked as a chain read checks them; a
      // chain that leaves the span or does not look sound is read from the file instead, which
      // gives its value or its error exactly as a chain read does.
      bool whole = true;
      uint64_t visited = 0;
      for (uint32_t block = first; block != 0;) {
        if (block < low || block - low >= span_blocks || ++visited > span_blocks) {
          whole = false;
          break;
        }
        const char* bytes = a.span.data() + (block - low) * kMemoBlockSize;
        BlockLinks links;
        DecodeBlockLinks(bytes, &links);
        if (links.used == 0 || links.used > kMemoBlockDataSize) {
          whole = false;
          break;
        }
        a.values.append(bytes + kMemoBlockHeaderSize, links.used);
        block = links.next;
      }
      if (!whole) {
        a.values.resize(chain.offset);
        chain.code = memo_->ReadChain(first, &chain_value);
        if (chain.code == kOk) a.values.append(chain_value);
      }
      chain.length = a.values.size() - chain.offset;
    }
    if (a.values.size() > kReadAheadValueBytes && r + 1 < *records) {
      *records = r + 1;
      a.chains.resize(static_cast<size_t>(*records) * per_record);
      break;
    }
  }
  return kOk;
}

}  // namespace memo::db
