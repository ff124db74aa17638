// Reading and writing records: the record count, moving, field reads and writes, and appending,
// adding and modifying records.
//
// Order of the writes of one change (each step is one write call, so a writer stopped between
// two of them leaves one of these states, all of which every reader opens):
//   append / add   the new chains (chain_write.h), the record past the counted ones, then the
//                  count and serial (or the serial, then the count): until the count's write the
//                  file simply has one record fewer
//   modify         the new chains, then the record's bytes after its serial in one write; the
//                  surplus blocks of the old chains are freed after that
//   write field    as modify, for one field
// A failure before the record is written takes back what was written (chain_write.h: Undo) and
// leaves the record with its old values; a failed add also cuts off what it wrote past the
// counted records.
// A call cut short inside is covered by the journal (journal.h): the count and the record's bytes
// are overwrites of saved bytes and go through it; the appended record is fresh. An add's count
// and serial, when each changes in one byte only (nearly always), are two writes that need no
// entry (WriteCountAndSerial), the serial first.
#include <algorithm>
#include <climits>
#include <cstring>
#include <optional>

#include "db/buffer.h"
#include "db/chain_write.h"
#include "db/coding.h"
#include "db/database.h"
#include "db/file_io.h"
#include "db/file_names.h"
#include "db/value_codec.h"

namespace memo::db {

using platform::FileError;

int DatabaseHandle::FindField(std::string_view name) const {
  if (last_lookup_index_ >= 0 && name == last_lookup_) return last_lookup_index_;
  for (size_t i = 0; i < field_names_.size(); ++i) {
    if (EqualsIgnoreCase(field_names_[i], name)) {
      last_lookup_.assign(name);
      last_lookup_index_ = static_cast<int>(i);
      return last_lookup_index_;
    }
  }
  return -1;
}

EngineCode DatabaseHandle::ReadCountLocked(int32_t* count, int32_t* next_serial, char* raw) {
  char bytes[8];
  EngineCode rc = ReadExactly(file_, kRecordCountOffset, bytes, sizeof bytes, kRecordCountFailed);
  if (rc != kOk) return rc;
  if (raw != nullptr) std::memcpy(raw, bytes, sizeof bytes);
  *count = std::max(DecodeInt32(bytes), 0);
  *next_serial = std::max(DecodeInt32(bytes + 4), 1);
  return kOk;
}

EngineCode DatabaseHandle::ReadRecordsAt(int64_t position, std::string* buffer) {
  return ReadExactly(file_, RecordOffset(position), buffer->data(), buffer->size(),
                     kReadRecordFailed);
}

EngineCode DatabaseHandle::WriteCountAndSerial(int32_t count, int32_t next_serial, const char* old,
                                               bool* maybe_counted) {
  *maybe_counted = false;
  char bytes[8];
  EncodeInt32(bytes, count);
  EncodeInt32(bytes + 4, next_serial);
  auto differing = [&](int from) {
    int n = 0;
    for (int i = from; i < from + 4; ++i) n += bytes[i] != old[i];
    return n;
  };
  if (old != nullptr && differing(0) <= 1 && differing(4) <= 1) {
    // Nearly every add: each half changes in one byte, so each half on its own is whole or not
    // written at all however its write is cut, and needs no journal entry. The serial goes
    // first: a writer stopped between the two leaves the new record uncounted and one serial
    // skipped, never a counted record whose serial the next add would give again.
    EngineCode rc = journal_.Overwrite(JournalTarget::kRecordFile, &file_, kRecordCountOffset + 4,
                                       bytes + 4, 4, old + 4, kWriteRecordFailed);
    if (rc != kOk) return rc;  // the serial old or new: either is sound with the old count
    for (int attempt = 0; attempt < 2; ++attempt) {
      rc = journal_.Overwrite(JournalTarget::kRecordFile, &file_, kRecordCountOffset, bytes, 4, old,
                              kWriteRecordFailed);
      if (rc == kOk) return kOk;
    }
    // A failed write may still have put the new count there: what the file says decides.
    char stored[4];
    if (ReadExactly(file_, kRecordCountOffset, stored, sizeof stored, kReadRecordFailed) != kOk) {
      *maybe_counted = true;
      return rc;
    }
    if (std::memcmp(stored, bytes, 4) == 0) return kOk;  // the add happened
    return rc;
  }
  return journal_.Overwrite(JournalTarget::kRecordFile, &file_, kRecordCountOffset, bytes,
                            sizeof bytes, old, kWriteRecordFailed);
}

EngineCode DatabaseHandle::ReadRecordCount(int32_t* count, int32_t* next_serial) {
  EndWalk();
  return ReadRecordCountLocked(count, next_serial);
}

EngineCode DatabaseHandle::ReadRecordCountLocked(int32_t* count, int32_t* next_serial) {
  if (!IsOpen()) return kNoDatabaseOpen;
  ByteLock lock;
  EngineCode rc =
      lock.Acquire(&locks_, kRecordCountOffset, LongerWait(policy_.wait_ms, kRecordCountLockWait));
  if (rc != kOk) return rc;
  int32_t c = 0, s = 1;
  rc = ReadCountLocked(&c, &s);
  if (rc != kOk) return rc;
  rc = lock.Release();
  if (rc != kOk) return rc;
  *count = c;
  if (next_serial != nullptr) *next_serial = s;
  return kOk;
}

EngineCode DatabaseHandle::Skip(int32_t n) {
  if (n == 0) return kOk;
  if (!IsOpen()) return kNoDatabaseOpen;
  int32_t count = 0;
  if (n == 1 && ReadAheadServes(current_)) {
    count = ahead_.count;  // read under the chunk's hold
  } else {
    if (n != 1) EndWalk();
    EngineCode rc = ReadRecordCountLocked(&count, nullptr);
    if (rc != kOk) return rc;
  }
  if (n > 0) {
    if (count == 0 || current_ >= count) return kAfterLastRecord;
  } else {
    if (count == 0 || current_ < 0) return kBeforeFirstRecord;
  }
  int64_t target = std::min<int64_t>(count, int64_t{current_} + n);
  current_ = static_cast<int32_t>(std::max<int64_t>(target, -1));
  return kOk;
}

EngineCode DatabaseHandle::ReadFieldBytes(int field_index, std::string* bytes) {
  bytes->clear();
  std::string storage;
  std::string_view value;
  EngineCode rc = ReadFieldView(field_index, &storage, &value);
  if (rc != kOk) return rc;
  if (value.data() == storage.data()) {
    // The value is a prefix of the bytes read: keep that buffer instead of copying it.
    storage.resize(value.size());
    bytes->swap(storage);
  } else {
    bytes->assign(value);
  }
  return kOk;
}

EngineCode DatabaseHandle::ReadFieldView(int field_index, std::string* storage,
                                         std::string_view* value) {
  if (!IsOpen()) return kNoDatabaseOpen;
  if (field_index < 0 || field_index >= field_count()) return kNoSuchField;
  if (current_ < 0) return kNoCurrentRecord;
  const FieldDescriptor& field = fields_[field_index];
  const uint32_t size = field.Size();

  if (memory_record_ == nullptr) {
    bool served = false;
    std::string_view raw;
    EngineCode rc = ReadAheadField(field_index, &raw, &served);
    if (rc != kOk) return rc;
    if (served) {
      *value = StoredValueBytes(field, raw);
      return kOk;
    }
  }
  std::string& raw = *storage;
  ByteLock record_lock;  // held until the memo chain has been read as well
  if (memory_record_ != nullptr) {
    if (uint64_t{field.offset} + size > memory_record_->size()) return kReadFieldFailed;
    if (!TryResize(&raw, size)) return kAllocationFailed;
    std::memcpy(raw.data(), memory_record_->data() + field.offset, size);
  } else {
    EngineCode rc = record_lock.Acquire(&locks_, RecordOffset(current_));
    if (rc != kOk) return rc;
    if (!TryResize(&raw, size)) return kAllocationFailed;
    rc = ReadExactly(file_, RecordOffset(current_) + field.offset, raw.data(), size,
                     kReadFieldFailed, kSeekFailed);
    if (rc != kOk) return rc;
  }
  if (IsChainField(field.type)) {
    if (!memo_) return kReadFieldFailed;
    std::string chain;
    EngineCode rc = memo_->ReadChain(DecodeFixed32(raw.data()), &chain);
    if (rc != kOk) return rc;
    raw.swap(chain);
  }
  EngineCode rc = record_lock.Release();
  if (rc != kOk) return rc;
  if (memory_record_ == nullptr) {
    // A step of a walk: the next record's read may read ahead, with this field's chain.
    walk_last_ = current_;
    if (IsChainField(field.type) && field_index < 64) {
      walk_chain_fields_ |= uint64_t{1} << field_index;
    }
  }
  *value = StoredValueBytes(field, raw);
  return kOk;
}

EngineCode DatabaseHandle::ReadField(int field_index, TypedValue* value) {
  if (field_index < 0 || field_index >= field_count()) {
    *value = TypedValue{};
    return IsOpen() ? kNoSuchField : kNoDatabaseOpen;
  }
  std::string storage;
  std::string_view bytes;
  EngineCode rc = ReadFieldView(field_index, &storage, &bytes);
  *value = rc == kOk ? MakeFieldValue(fields_[field_index], bytes)
                     : EmptyFieldValue(fields_[field_index]);
  return rc;
}

EngineCode DatabaseHandle::WriteField(int field_index, const TypedValue& value) {
  if (!IsOpen()) return kNoDatabaseOpen;
  if (field_index < 0 || field_index >= field_count()) return kNoSuchField;
  if (current_ < 0) return kNoCurrentRecord;
  EndWalk();
  const FieldDescriptor& field = fields_[field_index];
  EngineCode rc = CheckValueForField(field, value);
  if (rc != kOk) return rc;

  ByteLock record_lock;
  rc = record_lock.Acquire(&locks_, RecordOffset(current_), BusyWait());
  if (rc != kOk) return rc;
  const uint64_t position = RecordOffset(current_) + field.offset;
  uint64_t length = 0;
  FileError error = file_.Length(&length);
  if (error != FileError::kNone) return FileErrorCode(error, kWriteFieldFailed);
  if (position >= length) return kNoCurrentRecord;

  std::string bytes;
  if (!TryResize(&bytes, field.Size())) return kAllocationFailed;
  if (!IsChainField(field.type)) {
    EncodeFixedValue(field, value, bytes.data());
    rc = journal_.Overwrite(JournalTarget::kRecordFile, &file_, position, bytes.data(),
                            bytes.size(), nullptr, kWriteFieldFailed);
    if (rc != kOk) return rc;
    return record_lock.Release();
  }

  if (!memo_) return kWriteFieldFailed;
  rc = ReadExactly(file_, position, bytes.data(), bytes.size(), kReadFieldFailed);
  if (rc != kOk) return rc;
  ChainWrite chain(memo_.get());
  uint32_t first = 0;
  rc = chain.Rewrite(DecodeFixed32(bytes.data()), ChainBytesOf(value), &first);
  if (rc == kOk) rc = chain.WriteBlocks();
  if (rc == kOk) {
    char pointer[4];
    EncodeFixed32(pointer, first);
    rc = journal_.Overwrite(JournalTarget::kRecordFile, &file_, position, pointer, sizeof pointer,
                            bytes.data(), kWriteFieldFailed);
  }
  if (rc != kOk) {
    chain.Undo();
    return rc;
  }
  IgnoreCode(chain.Finish());  // committed: a failure here only leaks the surplus blocks
  rc = chain.ReleaseLocks();
  KeepFirst(&rc, record_lock.Release());
  return rc;
}

EngineCode DatabaseHandle::AppendBlank() {
  return PutRecord(RecordWrite::kAppendBlank, nullptr, 0);
}

EngineCode DatabaseHandle::AddRecord(const TypedValue* values, int count) {
  return PutRecord(RecordWrite::kAdd, values, count);
}

EngineCode DatabaseHandle::ModifyRecord(const TypedValue* values, int count) {
  return PutRecord(RecordWrite::kModify, values, count);
}

EngineCode DatabaseHandle::PutRecord(RecordWrite what, const TypedValue* values, int value_count) {
  if (!IsOpen()) return kNoDatabaseOpen;
  EndWalk();
  const bool add = what != RecordWrite::kModify;
  if (!add && current_ < 0) return kNoCurrentRecord;
  const int given = std::max(0, std::min(value_count, field_count()));
  for (int i = 0; i < given; ++i) {
    if (!values[i].Present()) continue;
    EngineCode rc = CheckValueForField(fields_[i], values[i]);
    if (rc != kOk) return rc;
  }

  const size_t record_size = static_cast<uint32_t>(header_.record_size);
  std::string record;
  if (!TryResize(&record, record_size)) return kAllocationFailed;
  ByteLock count_lock;
  ByteLock record_lock;
  int32_t count = 0, serial = 1;
  char stored_count[8];
  uint64_t position = 0;
  EngineCode rc = kOk;
  if (add) {
    rc = count_lock.Acquire(&locks_, kRecordCountOffset, BusyWait());
    if (rc != kOk) return rc;
    rc = ReadCountLocked(&count, &serial, stored_count);
    if (rc != kOk) return rc;
    if (count == INT32_MAX || serial == INT32_MAX) return kWriteRecordFailed;
    position = RecordOffset(count);
    rc = record_lock.Acquire(&locks_, position, BusyWait());
    if (rc != kOk) return rc;
    if (what == RecordWrite::kAppendBlank) {
      // A header that promises more records than the file holds: never leave a hole.
      uint64_t length = 0;
      FileError error = file_.Length(&length);
      if (error != FileError::kNone) return FileErrorCode(error, kWriteRecordFailed);
      if (length < position) return kSeekFailed;
    }
  } else {
    position = RecordOffset(current_);
    rc = record_lock.Acquire(&locks_, position, BusyWait());
    if (rc != kOk) return rc;
    rc = ReadExactly(file_, position, record.data(), record.size(), kReadRecordFailed,
                     kNoCurrentRecord);
    if (rc != kOk) return rc;
  }
  const std::string old_record = add ? std::string() : record;

  // Plan every chain before anything is written: a lock that cannot be had or a damaged chain
  // fails the command here, with the files untouched.
  std::optional<ChainWrite> chains;
  if (memo_) chains.emplace(memo_.get());
  for (int i = 0; i < given; ++i) {
    if (!values[i].Present()) continue;
    const FieldDescriptor& field = fields_[i];
    char* slot = record.data() + field.offset;
    if (IsChainField(field.type)) {
      if (!chains) return kWriteFieldFailed;
      uint32_t first = 0;
      rc = chains->Rewrite(add ? 0 : DecodeFixed32(slot), ChainBytesOf(values[i]), &first);
      if (rc != kOk) return rc;
      EncodeFixed32(slot, first);
    } else {
      EncodeFixedValue(field, values[i], slot);
    }
  }
  if (chains) rc = chains->WriteBlocks();

  if (add) {
    EncodeInt32(record.data(), serial);
    if (rc == kOk) {
      // Past the counted records: nothing names these bytes until the count below.
      rc = journal_.WriteFresh(JournalTarget::kRecordFile, &file_, position, record.data(),
                               record.size(), kWriteRecordFailed);
    }
    bool maybe_counted = false;
    if (rc == kOk) rc = WriteCountAndSerial(count + 1, serial + 1, stored_count, &maybe_counted);
    if (rc != kOk) {
      if (maybe_counted) return rc;  // the record may be counted: leave it and its chains be
      if (chains) chains->Undo();
      // Bytes past the counted records mean nothing; leave none behind (never extending a
      // file that is short of its counted records).
      uint64_t length = 0;
      if (file_.Length(&length) == FileError::kNone && length > position) {
        IgnoreCode(
            journal_.SetLength(JournalTarget::kRecordFile, &file_, position, kWriteRecordFailed));
      }
      return rc;
    }
    current_ = count;
  } else {
    if (rc == kOk) {
      rc = journal_.Overwrite(JournalTarget::kRecordFile, &file_, position + kSerialSize,
                              record.data() + kSerialSize, record.size() - kSerialSize,
                              old_record.data() + kSerialSize, kWriteRecordFailed);
      if (rc != kOk) {
        // The write may have stopped part-way: put the old bytes back before the old chains.
        IgnoreCode(journal_.Overwrite(JournalTarget::kRecordFile, &file_, position + kSerialSize,
                                      old_record.data() + kSerialSize,
                                      old_record.size() - kSerialSize, nullptr,
                                      kWriteRecordFailed));
      }
    }
    if (rc != kOk) {
      if (chains) chains->Undo();
      return rc;
    }
  }
  if (chains) {
    IgnoreCode(chains->Finish());  // committed: a failure here only leaks the surplus blocks
    rc = chains->ReleaseLocks();
  }
  KeepFirst(&rc, record_lock.Release());
  KeepFirst(&rc, count_lock.Release());
  return rc;
}

EngineCode DatabaseHandle::LockRecord(int32_t position) {
  if (!IsOpen()) return kNoDatabaseOpen;
  EndWalk();  // the reads under the held lock come from the file
  int32_t count = 0;
  EngineCode rc = ReadRecordCount(&count);
  if (rc != kOk) return rc;
  if (position < 0 || position >= count) return kNoSuchRecord;
  return locks_.Lock(RecordOffset(position), LongerWait(policy_.wait_ms, kRecordLockWait));
}

EngineCode DatabaseHandle::UnlockRecord(int32_t position) {
  if (!IsOpen()) return kNoDatabaseOpen;
  if (position < 0) return kUnlockFailed;
  return locks_.Unlock(RecordOffset(position));
}

EngineCode DatabaseHandle::ReadRecordBytes(int32_t position, std::string* bytes) {
  bytes->clear();
  if (!IsOpen()) return kNoDatabaseOpen;
  int32_t count = 0;
  EngineCode rc = ReadRecordCount(&count);
  if (rc != kOk) return rc;
  if (position < 0 || position >= count) return kNoSuchRecord;
  ByteLock lock;
  rc = lock.Acquire(&locks_, RecordOffset(position));
  if (rc != kOk) return rc;
  if (!TryResize(bytes, static_cast<uint32_t>(header_.record_size))) return kAllocationFailed;
  rc = ReadExactly(file_, RecordOffset(position), bytes->data(), bytes->size(), kReadRecordFailed);
  if (rc != kOk) {
    bytes->clear();
    return rc;
  }
  return lock.Release();
}

}  // namespace memo::db
