// Clearing a database and packing it (removing deleted records, or a range of records), under
// the whole-file lock.
//
// Clear all writes the record count 0 first: from then on no record names a chain, and the
// MemoFile's blocks are merely leaked until its header is reset and the file cut.
//
// Pack moves the kept records down in batches. A moved record must never be seen twice (two
// records would name one chain, and a later change of one would change the other), so each
// batch is one write that covers both the slots the batch's records move into and the slots
// they leave, the latter written as blank deleted records (serial -1, no values). Between two
// batches the file holds: the kept records placed so far, then blank deleted records and records
// not yet passed over, then the untouched rest; every kept record exactly once. When many records
// go away the slots between the placed records and the unread ones grow; a batch then reads on
// until it moves at least half of what its write covers, so the bytes written stay below twice
// the bytes moved. Finally the count drops to the kept records, the file is cut after them, and
// the chains of the removed records are freed.
//
// A batch is one call, and a call cut short inside (a kill between two pages of the kernel's
// copy, a full disk) would leave some records moved and their old slots not yet blank: two
// records naming one chain. So each batch, like every overwrite here, goes through the journal
// (journal.h), whose entry lets the next opener complete the cut call.
#include <algorithm>
#include <cstring>

#include "db/buffer.h"
#include "db/chain_write.h"
#include "db/coding.h"
#include "db/database.h"
#include "db/file_io.h"

namespace memo::db {
namespace {

constexpr size_t kChunkBytes = 163840;

}  // namespace

EngineCode DatabaseHandle::ClearAll() {
  if (!IsOpen()) return kNoDatabaseOpen;
  EndWalk();
  WholeFileLock whole;
  EngineCode rc = whole.Acquire(&locks_, BusyWait());
  if (rc != kOk) return rc;
  char zero[4] = {};
  rc = journal_.Overwrite(JournalTarget::kRecordFile, &file_, kRecordCountOffset, zero, sizeof zero,
                          nullptr, kUnknownError);
  if (rc == kOk) {
    rc = journal_.SetLength(JournalTarget::kRecordFile, &file_, records_start_, kUnknownError);
  }
  if (rc == kOk && memo_) rc = memo_->Reset();
  if (rc != kOk) return rc;
  current_ = 0;
  return whole.Release();
}

EngineCode DatabaseHandle::PackDeleted() { return Pack(PackMode::kDeleted, 0, 0); }

EngineCode DatabaseHandle::PackRange(int32_t first, int32_t count) {
  return Pack(PackMode::kRange, first, count);
}

EngineCode DatabaseHandle::Pack(PackMode mode, int32_t first, int32_t remove_count) {
  if (!IsOpen()) return kNoDatabaseOpen;
  EndWalk();
  WholeFileLock whole;
  EngineCode rc = whole.Acquire(&locks_, BusyWait());
  if (rc != kOk) return rc;
  int32_t total = 0, serial = 1;
  char stored_count[8];
  rc = ReadCountLocked(&total, &serial, stored_count);
  if (rc != kOk) return rc;
  const bool range = mode == PackMode::kRange;
  int64_t range_end = 0;
  if (range) {
    if (first < 0 || first >= total || remove_count <= 0) return kNoSuchRecord;
    range_end = std::min<int64_t>(total, int64_t{first} + remove_count);
  }

  const size_t record_size = static_cast<uint32_t>(header_.record_size);
  const int64_t chunk = std::max<int64_t>(1, static_cast<int64_t>(kChunkBytes / record_size));
  std::string blank;
  if (!TryResize(&blank, record_size)) return kAllocationFailed;
  EncodeInt32(blank.data(), kBlankDeletedSerial);

  std::vector<uint32_t> released_chains;
  std::string buffer;
  std::string pending;  // kept records read but not placed yet
  // Records before `write_at` are placed; nothing before the first removed one moves.
  int64_t write_at = range ? first : 0;
  int64_t read_at = write_at;
  bool moved = false;  // a record has gone away, so every later kept one moves
  while (read_at < total) {
    const int64_t n = std::min<int64_t>(chunk, total - read_at);
    if (!TryResize(&buffer, static_cast<size_t>(n) * record_size)) return kAllocationFailed;
    rc = ReadRecordsAt(read_at, &buffer);
    if (rc != kOk) return rc;
    for (int64_t k = 0; k < n; ++k) {
      const char* record = buffer.data() + static_cast<size_t>(k) * record_size;
      const int64_t index = read_at + k;
      const bool drop = range ? (index >= first && index < range_end) : DecodeInt32(record) < 0;
      if (drop) {
        moved = true;
        for (const FieldDescriptor& field : fields_) {
          if (!IsChainField(field.type)) continue;
          uint32_t block = DecodeFixed32(record + field.offset);
          if (block != 0) released_chains.push_back(block);
        }
      } else if (!moved) {
        ++write_at;  // stays where it is
      } else {
        if (!TryReserve(&pending, pending.size() + record_size)) return kAllocationFailed;
        pending.append(record, record_size);
      }
    }
    read_at += n;

    const int64_t placed = static_cast<int64_t>(pending.size() / record_size);
    const int64_t span = read_at - write_at;  // slots the batch's one write covers
    if (placed == 0 || (placed * 2 < span && read_at < total)) continue;
    // The slots the records leave become blank deleted records in the same write.
    std::string out;
    if (!TryReserve(&out, static_cast<size_t>(span) * record_size)) return kAllocationFailed;
    out.append(pending);
    for (int64_t s = placed; s < span; ++s) out.append(blank);
    // One call, cut anywhere, is completed from the journal by the next opener.
    rc = journal_.Overwrite(JournalTarget::kRecordFile, &file_, RecordOffset(write_at), out.data(),
                            out.size(), nullptr, kWriteRecordFailed);
    if (rc != kOk) return rc;
    write_at += placed;
    pending.clear();
  }
  if (write_at != total) {
    char count_bytes[4];
    EncodeInt32(count_bytes, static_cast<int32_t>(write_at));
    rc = journal_.Overwrite(JournalTarget::kRecordFile, &file_, kRecordCountOffset, count_bytes,
                            sizeof count_bytes, stored_count, kWriteRecordFailed);
    if (rc != kOk) return rc;
    rc = journal_.SetLength(JournalTarget::kRecordFile, &file_, RecordOffset(write_at),
                            kWriteRecordFailed);
    if (rc != kOk) return rc;
  }
  current_ = 0;
  // No record names the removed chains now: freeing them can only leak blocks if it fails.
  if (memo_ && !released_chains.empty()) rc = ReleaseChains(released_chains);
  KeepFirst(&rc, whole.Release());
  return rc;
}

EngineCode DatabaseHandle::ReleaseChains(const std::vector<uint32_t>& firsts) {
  ChainWrite chains(memo_.get());
  EngineCode rc = kOk;
  for (uint32_t first : firsts) {
    // A damaged chain stays where it is (its blocks leak); the others are still freed.
    KeepFirst(&rc, chains.Release(first));
  }
  EngineCode written = chains.WriteBlocks();
  if (written == kOk) written = chains.Finish();
  KeepFirst(&rc, written);
  KeepFirst(&rc, chains.ReleaseLocks());
  return rc;
}

}  // namespace memo::db
