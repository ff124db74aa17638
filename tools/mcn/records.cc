// Records are read in chunks of about 160 KB. Each chunk is read under one byte-range lock of
// the RecordFile that covers the serial bytes of all its records: it conflicts with the lock a
// writer holds on any of those records while it writes the record and its memo chains, and with
// the whole-file lock of clear, pack and sort, so while it is held none of the chunk's records or
// chains can change. The record count is read again under it (as every record read reads it),
// the records are read with one call, and their chains from memory windows of the MemoFile read
// with one call each; then the lock is given back before anything is printed, so that a slow
// reader of the output never holds up a writer. A window may hold blocks of other records'
// chains that are being written right now; those bytes are never used, as a link of a chain only
// ever leads to a block of that chain, and a window is dropped with the chunk's lock.
//
// Where the chunk cannot be read that way (a file cut short under the records, fields reaching
// past the record, a file that is not the one the engine opened), records are read one at a time
// through the engine, as before, with its messages.
#include "tools/mcn/records.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>

#include "db/buffer.h"
#include "db/coding.h"
#include "db/engine_code.h"
#include "db/file_io.h"
#include "db/memo_format.h"
#include "db/value_codec.h"
#include "platform/codec.h"
#include "runtime/heap.h"

namespace memo::mcn {

namespace {

using platform::File;
using platform::FileError;

// Records per chunk: about this many bytes of them.
constexpr uint64_t kChunkBytes = 160 * 1024;
// A chunk ends early, after the record that passes it, once its values add up to this many bytes,
// so that long memos do not pile up in memory.
constexpr size_t kChunkValueBytes = 4 << 20;
// A memo window grows by doubling while chains go on into the blocks after it, up to this many
// blocks (128 KB).
constexpr uint64_t kMaxWindowBlocks = 256;

void ReportFieldFailure(int32_t position, const db::FieldDescriptor& field, int rc) {
  std::fprintf(stderr, "record %d field %s: %d %s\n", position + 1, GbkToUtf8(field.Name()).c_str(),
               rc, db::EngineMessageUtf8(rc));
}

void ReportRecordFailure(int32_t position, int rc) {
  std::fprintf(stderr, "record %d: %d %s\n", position + 1, rc, db::EngineMessageUtf8(rc));
}

// One record read through the engine, field by field: the walk's way where a chunk cannot be
// read whole. Returns kOk, or the code that ends the walk; field failures go to *first_failure.
int ReadOneRecord(db::DatabaseHandle* handle, int32_t position, bool include_deleted,
                  Notation notation, PrintedRecord* record, bool* visible, int* first_failure) {
  *visible = false;
  std::string raw;
  int rc = handle->ReadRecordBytes(position, &raw);
  if (rc != db::kOk) {
    ReportRecordFailure(position, rc);
    return rc;
  }
  record->position = position;
  record->serial = raw.size() >= 4 ? db::DecodeInt32(raw.data()) : 0;
  record->deleted = record->serial < 0;
  if (record->deleted && !include_deleted) return db::kOk;
  record->values.resize(static_cast<size_t>(handle->field_count()));
  handle->set_current_record(position);
  for (int f = 0; f < handle->field_count(); ++f) {
    const db::FieldDescriptor& field = handle->fields()[static_cast<size_t>(f)];
    TypedValue value;
    int field_rc = handle->ReadField(f, &value);
    if (field_rc != db::kOk) {
      ReportFieldFailure(position, field, field_rc);
      if (*first_failure == db::kOk) *first_failure = field_rc;
    }
    record->values[static_cast<size_t>(f)] = FormatValue(field.type, value, notation);
    ReleaseValue(&value);
  }
  *visible = true;
  return db::kOk;
}

// Blocks of the MemoFile as chains ask for them, read in windows of consecutive blocks.
class MemoWindow {
 public:
  explicit MemoWindow(const File* memo) : memo_(memo) {}

  // Forgets every block read (they may change once the chunk's lock is given back) and learns
  // the file's length.
  db::EngineCode Reset() {
    count_ = 0;
    next_size_ = 1;
    uint64_t length = 0;
    FileError error = memo_->Length(&length);
    if (error != FileError::kNone) return db::FileErrorCode(error, db::kMemoAccessFailed);
    file_blocks_ = length / db::kMemoBlockSize;
    return db::kOk;
  }

  // The value of the chain from `first` into *value, checked as the engine's chain read checks
  // it: every block inside the file, no more blocks than the file holds, used counts 1..500.
  db::EngineCode ReadChain(uint32_t first, std::string* value) {
    uint64_t visited = 0;
    for (uint32_t block = first; block != 0;) {
      if (block >= file_blocks_ || visited >= file_blocks_) return db::kMemoAccessFailed;
      const char* bytes = nullptr;
      db::EngineCode rc = Block(block, &bytes);
      if (rc != db::kOk) return rc;
      ++visited;
      db::BlockLinks links;
      db::DecodeBlockLinks(bytes, &links);
      if (links.used == 0 || links.used > db::kMemoBlockDataSize) return db::kMemoAccessFailed;
      value->append(bytes + db::kMemoBlockHeaderSize, links.used);
      block = links.next;
    }
    return db::kOk;
  }

 private:
  db::EngineCode Block(uint32_t block, const char** bytes) {
    if (count_ == 0 || block < first_ || block - first_ >= count_) {
      // A chain that went on into the block after the window likely goes on further; the chains
      // of records appended one after another lie one after another too.
      next_size_ =
          count_ > 0 && block == first_ + count_ ? std::min(next_size_ * 2, kMaxWindowBlocks) : 1;
      const uint64_t want = std::min(next_size_, file_blocks_ - block);
      if (buffer_.size() < want * db::kMemoBlockSize &&
          !db::TryResize(&buffer_, want * db::kMemoBlockSize)) {
        return db::kAllocationFailed;
      }
      size_t done = 0;
      FileError error = memo_->ReadAt(uint64_t{block} * db::kMemoBlockSize, buffer_.data(),
                                      want * db::kMemoBlockSize, &done);
      if (error != FileError::kNone) return db::FileErrorCode(error, db::kMemoAccessFailed);
      first_ = block;
      count_ = done / db::kMemoBlockSize;
      if (count_ == 0) return db::kMemoAccessFailed;
    }
    *bytes = buffer_.data() + (block - first_) * db::kMemoBlockSize;
    return db::kOk;
  }

  const File* memo_;
  std::string buffer_;
  uint32_t first_ = 0;
  uint64_t count_ = 0;
  uint64_t next_size_ = 1;
  uint64_t file_blocks_ = 0;
};

// The chunked reader of one handle's records.
class ChunkReader {
 public:
  // `values`: read and format every field (else only the serials); `report`: say on stderr why
  // the walk ends.
  ChunkReader(db::DatabaseHandle* handle, bool values, bool report)
      : handle_(handle), values_(values), report_(report) {}

  // False when chunks cannot be read: the walk then reads every record through the engine.
  bool Open() {
    const int32_t record_size = handle_->record_size();
    for (const db::FieldDescriptor& field : handle_->fields()) {
      // The engine reads such a field's bytes from the file wherever they lie.
      if (uint64_t{field.offset} + field.Size() > static_cast<uint64_t>(record_size)) return false;
    }
    if (platform::File::Open(handle_->full_path(), platform::FileAccess::kRead,
                             platform::FileShare::kDenyNone, platform::FileCreate::kOpenExisting,
                             &file_) != FileError::kNone) {
      return false;
    }
    // The same file as the engine's, not one put in its place since (as a sort into it does):
    // the same creation time and field table.
    const size_t table = db::RecordsStart(handle_->fields().size());
    std::string bytes;
    if (table != handle_->records_start() || !db::TryResize(&bytes, table) ||
        db::ReadExactly(file_, 0, bytes.data(), bytes.size(), db::kReadRecordFailed) != db::kOk) {
      return false;
    }
    db::RecordHeader header;
    db::DecodeRecordHeader(bytes.data(), &header);
    if (header.record_size != record_size ||
        std::memcmp(&header.creation_time, &handle_->header().creation_time,
                    sizeof header.creation_time) != 0 ||
        db::DecodeInt32(bytes.data() + db::kFieldCountOffset) != handle_->field_count()) {
      return false;
    }
    for (size_t f = 0; f < handle_->fields().size(); ++f) {
      db::FieldDescriptor field;
      db::DecodeFieldDescriptor(bytes.data() + db::kFieldTableOffset + db::kDescriptorSize * f,
                                &field);
      const db::FieldDescriptor& open = handle_->fields()[f];
      if (field.type != open.type || field.offset != open.offset ||
          field.declared_length != open.declared_length) {
        return false;
      }
    }
    if (handle_->memo_file() != nullptr) memo_.emplace(handle_->memo_file()->file());
    per_chunk_ = std::max<uint64_t>(1, kChunkBytes / static_cast<uint32_t>(record_size));
    return true;
  }

  enum class Outcome {
    kRead,      // records [first, *next) are in the chunk's rows
    kOneByOne,  // the chunk could not be read whole: read record `first` through the engine
    kEnd,       // the walk ends with *rc
  };

  // Reads the records from `first` on, as many as one chunk holds and no further than `end`,
  // each with every field formatted, into rows() (deleted ones only when `include_deleted`).
  Outcome Read(int32_t first, int32_t end, bool include_deleted, Notation notation, int32_t* next,
               int* first_failure, int* rc) {
    rows_used_ = 0;
    const int64_t planned = std::min<int64_t>(static_cast<int64_t>(per_chunk_), end - first);
    const uint64_t lock_start = RecordOffset(first);
    // Every serial byte of the chunk: from the first record's to the last one's.
    const uint64_t lock_length = RecordOffset(first + planned - 1) - lock_start + 1;
    *rc = LockRange(lock_start, lock_length);
    if (*rc != db::kOk) {
      if (report_) ReportRecordFailure(first, *rc);
      return Outcome::kEnd;
    }
    Outcome outcome =
        ReadLocked(first, planned, include_deleted, notation, next, first_failure, rc);
    if (!handle_->lock_free()) {
      // A refused unlock is tried again at once; one that fails twice stays until the file is
      // closed at the end of the command.
      if (file_.Unlock(lock_start, lock_length) != FileError::kNone) {
        IgnoreFileError(file_.Unlock(lock_start, lock_length));
      }
    }
    return outcome;
  }

  const std::vector<PrintedRecord>& rows() const { return rows_; }
  size_t rows_used() const { return rows_used_; }

 private:
  static void IgnoreFileError(FileError) {}

  uint64_t RecordOffset(int64_t position) const {
    return handle_->records_start() +
           static_cast<uint64_t>(position) * static_cast<uint32_t>(handle_->record_size());
  }

  // The engine's retry: a lock that another handle holds is asked for again every 20..39 ms
  // until the handle's lock-wait time has passed.
  int LockRange(uint64_t offset, uint64_t length) {
    if (handle_->lock_free()) return db::kOk;
    const int32_t wait = handle_->lock_wait();
    FileError error = file_.Lock(offset, length);
    const uint32_t start = platform::TickCount();
    while (error == FileError::kLockViolation && wait != 0 &&
           (wait < 0 || platform::TickCount() - start < static_cast<uint32_t>(wait))) {
      platform::SleepMs(20 + platform::TickCount() % 20);
      error = file_.Lock(offset, length);
    }
    return error == FileError::kNone ? db::kOk : db::kLockFailed;
  }

  Outcome ReadLocked(int32_t first, int64_t planned, bool include_deleted, Notation notation,
                     int32_t* next, int* first_failure, int* rc) {
    // A pack or a clear may have run between the walk's count read and the lock: as the engine's
    // record read, a record the count no longer holds ends the walk.
    int32_t count = 0;
    *rc = handle_->ReadRecordCount(&count);
    if (*rc != db::kOk) {
      if (report_) ReportRecordFailure(first, *rc);
      return Outcome::kEnd;
    }
    if (first >= count) {
      *rc = db::kNoSuchRecord;
      if (report_) ReportRecordFailure(first, *rc);
      return Outcome::kEnd;
    }
    const int64_t records = std::min<int64_t>(planned, count - first);
    const size_t record_size = static_cast<uint32_t>(handle_->record_size());
    if (!db::TryResize(&chunk_, static_cast<size_t>(records) * record_size) ||
        db::ReadExactly(file_, RecordOffset(first), chunk_.data(), chunk_.size(),
                        db::kReadRecordFailed) != db::kOk) {
      return Outcome::kOneByOne;
    }
    if (memo_ && values_) {
      *rc = memo_->Reset();
      if (*rc != db::kOk) return Outcome::kOneByOne;
    }
    const std::vector<db::FieldDescriptor>& fields = handle_->fields();
    size_t value_bytes = 0;
    int64_t i = 0;
    while (i < records && value_bytes < kChunkValueBytes) {
      const char* raw = chunk_.data() + static_cast<size_t>(i) * record_size;
      const int32_t position = first + static_cast<int32_t>(i);
      ++i;
      const int32_t serial = db::DecodeInt32(raw);
      if (serial < 0 && !include_deleted) continue;
      if (rows_used_ == rows_.size()) rows_.emplace_back();
      PrintedRecord& row = rows_[rows_used_++];
      row.position = position;
      row.serial = serial;
      row.deleted = serial < 0;
      row.values.resize(values_ ? fields.size() : 0);
      for (size_t f = 0; f < row.values.size(); ++f) {
        const db::FieldDescriptor& field = fields[f];
        std::string& cell = row.values[f];
        cell.clear();
        std::string_view stored(raw + field.offset, field.Size());
        if (db::IsChainField(field.type)) {
          int field_rc = db::kReadFieldFailed;  // as the engine: a chain field needs the MemoFile
          chain_.clear();
          if (memo_) field_rc = memo_->ReadChain(db::DecodeFixed32(stored.data()), &chain_);
          if (field_rc != db::kOk) {
            ReportFieldFailure(position, field, field_rc);
            if (*first_failure == db::kOk) *first_failure = field_rc;
            chain_.clear();
          }
          stored = chain_;
        }
        stored = db::StoredValueBytes(field, stored);
        value_bytes += stored.size();
        AppendStoredValue(field, stored, notation, &cell);
      }
    }
    *next = first + static_cast<int32_t>(i);
    return Outcome::kRead;
  }

  db::DatabaseHandle* handle_;
  const bool values_;
  const bool report_;
  File file_;  // the RecordFile again: its own descriptor for the chunk locks and reads
  std::optional<MemoWindow> memo_;
  uint64_t per_chunk_ = 1;
  std::string chunk_;
  std::string chain_;
  std::vector<PrintedRecord> rows_;  // kept from chunk to chunk with their buffers
  size_t rows_used_ = 0;
};

}  // namespace

int ForEachRecord(db::DatabaseHandle* handle, bool include_deleted, Notation notation,
                  const std::function<void(const PrintedRecord&)>& visit) {
  int32_t count = 0;
  int rc = handle->ReadRecordCount(&count);
  if (rc != db::kOk) {
    std::fprintf(stderr, "%d %s\n", rc, db::EngineMessageUtf8(rc));
    return rc;
  }
  int first_failure = db::kOk;
  ChunkReader chunks(handle, true, true);
  const bool chunked = chunks.Open();
  PrintedRecord single;
  for (int32_t position = 0; position < count;) {
    if (chunked) {
      int32_t next = position;
      switch (chunks.Read(position, count, include_deleted, notation, &next, &first_failure, &rc)) {
        case ChunkReader::Outcome::kRead:
          for (size_t r = 0; r < chunks.rows_used(); ++r) visit(chunks.rows()[r]);
          position = next;
          continue;
        case ChunkReader::Outcome::kEnd: return rc;
        case ChunkReader::Outcome::kOneByOne: break;
      }
    }
    bool visible = false;
    rc = ReadOneRecord(handle, position, include_deleted, notation, &single, &visible,
                       &first_failure);
    if (rc != db::kOk) return rc;
    if (visible) visit(single);
    ++position;
  }
  return first_failure;
}

int CountRecords(db::DatabaseHandle* handle, int32_t count, int32_t* live, int32_t* deleted) {
  *live = *deleted = 0;
  ChunkReader chunks(handle, false, false);
  const bool chunked = chunks.Open();
  for (int32_t position = 0; position < count;) {
    if (chunked) {
      int32_t next = position;
      int unused = db::kOk, rc = db::kOk;
      switch (chunks.Read(position, count, true, Notation::kPlain, &next, &unused, &rc)) {
        case ChunkReader::Outcome::kRead:
          for (size_t r = 0; r < chunks.rows_used(); ++r) {
            (chunks.rows()[r].deleted ? *deleted : *live) += 1;
          }
          position = next;
          continue;
        case ChunkReader::Outcome::kEnd: return rc;
        case ChunkReader::Outcome::kOneByOne: break;
      }
    }
    std::string raw;
    int rc = handle->ReadRecordBytes(position, &raw);
    if (rc != db::kOk) return rc;
    (db::DecodeInt32(raw.data()) < 0 ? *deleted : *live) += 1;
    ++position;
  }
  return db::kOk;
}

}  // namespace memo::mcn
