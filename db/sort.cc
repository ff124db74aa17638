// Sorting a database into a new file (DatabaseHandle::SortInto).
//
// Under the source's whole-file lock: create the target, read the source in chunks, keep the
// records the condition accepts (each served from memory as the current record while the
// condition runs), sort them by their key fields, and write them to the target with fresh serials
// (negated for records marked deleted) and fresh copies of their memo chains.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

#include "db/buffer.h"
#include "db/coding.h"
#include "db/create.h"
#include "db/database.h"
#include "db/engine_code.h"
#include "db/file_names.h"
#include "db/memo_format.h"

namespace memo::db {
namespace {

using platform::File;
using platform::FileError;

constexpr size_t kChunkBytes = 163840;

template <typename T>
int Order(T a, T b) {
  return a < b ? -1 : (b < a ? 1 : 0);
}

// Numbers with NaN first, so that the order stays strict and weak.
int OrderDouble(double a, double b) {
  const bool nan_a = std::isnan(a), nan_b = std::isnan(b);
  if (nan_a || nan_b) return Order(!nan_a, !nan_b);
  return Order(a, b);
}

// A day number as a point in time: before day 0 the fraction counts forward from the date.
double CalendarValue(double day_number) {
  if (!(day_number < 0)) return day_number;
  double date = std::trunc(day_number);
  return date + std::fabs(day_number - date);
}

// Compares the key bytes of two records by the field's sort rule.
int CompareKey(const FieldDescriptor& field, const char* a, const char* b) {
  switch (field.type) {
    case kFieldByte:
      return Order(static_cast<uint8_t>(*a), static_cast<uint8_t>(*b));
    case kFieldShort:
      return Order(static_cast<int16_t>(DecodeFixed16(a)), static_cast<int16_t>(DecodeFixed16(b)));
    case kFieldInt:
      return Order(DecodeInt32(a), DecodeInt32(b));
    case kFieldLong:
      return Order(static_cast<int64_t>(DecodeFixed64(a)), static_cast<int64_t>(DecodeFixed64(b)));
    case kFieldFloat:
      return OrderDouble(DecodeFloat(a), DecodeFloat(b));
    case kFieldDouble:
      return OrderDouble(DecodeDouble(a), DecodeDouble(b));
    case kFieldBool:
      return Order(*a != 0, *b != 0);
    case kFieldDateTime:
      return OrderDouble(CalendarValue(DecodeDouble(a)), CalendarValue(DecodeDouble(b)));
    case kFieldRoutine:
      return Order(DecodeFixed32(a), DecodeFixed32(b));
    case kFieldText: {
      int c = std::memcmp(a, b, field.declared_length);
      return c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    default:
      return 0;
  }
}

// Clears the handle's in-memory record and restores its current record on every way out.
class ConditionScope {
 public:
  explicit ConditionScope(DatabaseHandle* handle)
      : handle_(handle), saved_current_(handle->current_record()) {}
  ~ConditionScope() {
    handle_->ServeFromMemory(nullptr);
    handle_->set_current_record(saved_current_);
  }
  ConditionScope(const ConditionScope&) = delete;
  ConditionScope& operator=(const ConditionScope&) = delete;

 private:
  DatabaseHandle* handle_;
  int32_t saved_current_;
};

// The MemoFile of a sort's target, which the sort has just created (header block only) and
// nobody else uses yet. Chains go one after the other from block 1, exactly as a chain write
// into that file would place them (no free blocks, new blocks at the end), but the blocks are
// gathered in memory and written in pieces of about kFlushBytes, and the header's counts are
// written once, at the end.
class TargetMemo {
 public:
  static constexpr size_t kFlushBytes = size_t{4} << 20;

  int Open(const std::string& path) {
    FileError error = File::Open(path, platform::FileAccess::kReadWrite,
                                 platform::FileShare::kDenyNone,
                                 platform::FileCreate::kOpenExisting, &file_);
    if (error != FileError::kNone) return FileErrorCode(error, kMemoCreateFailed);
    char bytes[kMemoHeaderSize];
    size_t done = 0;
    error = file_.ReadAt(0, bytes, sizeof bytes, &done);
    if (error != FileError::kNone || done != sizeof bytes) return kMemoCreateFailed;
    DecodeMemoHeader(bytes, &header_);
    if (!header_.IsValid() || header_.free_count != 0) return kMemoCreateFailed;
    flushed_blocks_ = static_cast<uint32_t>(header_.block_count);
    return kOk;
  }

  // Adds a chain holding `value` after the last block; *first receives its first block (0 for
  // the empty value).
  int Append(std::string_view value, uint32_t* first) {
    *first = 0;
    const uint64_t need = BlocksForBytes(value.size());
    if (need == 0) return kOk;
    if (need > static_cast<uint64_t>(INT32_MAX - header_.block_count)) return kMemoAccessFailed;
    const uint32_t start = static_cast<uint32_t>(header_.block_count);
    const size_t at = pending_.size();
    if (!TryResize(&pending_, at + need * kMemoBlockSize)) return kAllocationFailed;
    char* out = pending_.data() + at;
    for (uint64_t i = 0; i < need; ++i, out += kMemoBlockSize) {
      const size_t begin = i * kMemoBlockDataSize;
      const size_t piece = std::min(kMemoBlockDataSize, value.size() - begin);
      BlockLinks links;
      links.prev = i == 0 ? 0 : static_cast<uint32_t>(start + i - 1);
      links.next = i + 1 < need ? static_cast<uint32_t>(start + i + 1) : 0;
      links.used = static_cast<uint32_t>(piece);
      EncodeBlockLinks(links, out);
      std::memcpy(out + kMemoBlockHeaderSize, value.data() + begin, piece);
      std::memset(out + kMemoBlockHeaderSize + piece, 0, kMemoBlockDataSize - piece);
    }
    header_.block_count += static_cast<int32_t>(need);
    *first = start;
    return pending_.size() >= kFlushBytes ? Flush() : kOk;
  }

  // Writes what is still in memory, then the header's counts.
  int Finish() {
    int rc = Flush();
    if (rc != kOk) return rc;
    char bytes[12];
    EncodeInt32(bytes, header_.block_count);
    EncodeInt32(bytes + 4, header_.free_count);
    EncodeInt32(bytes + 8, header_.free_head);
    return FileErrorCode(file_.WriteAt(kMemoBlockCountOffset, bytes, sizeof bytes),
                         kMemoAccessFailed);
  }

 private:
  int Flush() {
    if (pending_.empty()) return kOk;
    FileError error =
        file_.WriteAt(uint64_t{flushed_blocks_} * kMemoBlockSize, pending_.data(), pending_.size());
    if (error != FileError::kNone) return FileErrorCode(error, kMemoAccessFailed);
    flushed_blocks_ += static_cast<uint32_t>(pending_.size() / kMemoBlockSize);
    pending_.clear();
    return kOk;
  }

  File file_;
  MemoHeader header_;
  uint32_t flushed_blocks_ = 1;  // blocks already in the file
  std::string pending_;          // blocks flushed_blocks_ .. block count - 1
};

}  // namespace

int DatabaseHandle::SortInto(const SortRequest& request) {
  if (!IsOpen()) return kNoDatabaseOpen;
  if (request.target.empty()) return kFileNotFound;
  if (request.key_names.empty()) return kBadKeyField;
  std::vector<int> keys;
  for (const std::string& name : request.key_names) {
    int index = FindField(name);
    if (index < 0 || IsChainField(fields_[index].type)) return kBadKeyField;
    keys.push_back(index);
  }
  std::vector<int> copied;
  if (request.copy_fields.empty()) {
    for (int i = 0; i < field_count(); ++i) copied.push_back(i);
  } else {
    for (const std::string& name : request.copy_fields) {
      int index = FindField(name);
      if (index < 0) return kFieldNotFound;
      copied.push_back(index);
    }
  }
  std::vector<FieldDescriptor> target_fields;
  for (int index : copied) target_fields.push_back(fields_[index]);
  const int64_t target_record_size = LayOutFields(&target_fields);
  if (target_record_size < 0) return kCreateFailed;
  const std::string target_path = FullPathOf(request.target, kRecordFileExtension);
  // Replacing the source with its own copy would destroy it before it is read.
  if (EqualsIgnoreCase(target_path, full_path_)) return kCreateFailed;

  RecordHeader target_header;
  if (header_.IsProtected()) {
    std::memcpy(target_header.magic, kProtectedMagic, 4);
    std::memcpy(target_header.digest, header_.digest, kDigestFieldSize);
  }
  target_header.version = kFormatVersion;
  target_header.creation_time = CurrentDayNumber();
  target_header.record_size = static_cast<int32_t>(target_record_size);

  WholeFileLock whole;
  int rc = whole.Acquire(&locks_);
  if (rc != kOk) return rc;
  rc = WriteEmptyDatabase(target_path, target_header, target_fields);
  if (rc != kOk) return rc;
  File target;
  FileError error = File::Open(target_path, platform::FileAccess::kReadWrite,
                               platform::FileShare::kDenyNone,
                               platform::FileCreate::kOpenExisting, &target);
  if (error != FileError::kNone) return FileErrorCode(error, kCreateFailed);
  const bool target_has_chains =
      std::any_of(target_fields.begin(), target_fields.end(),
                  [](const FieldDescriptor& f) { return IsChainField(f.type); });
  // The target's MemoFile was just created, holding only its header, and nobody else knows it:
  // its chains are built in memory and written in large pieces.
  TargetMemo target_memo;
  if (target_has_chains) {
    rc = target_memo.Open(ReplaceExtension(target_path, kMemoFileExtension));
    if (rc != kOk) return rc;
  }

  int32_t total = 0, next_serial = 1;
  rc = ReadCountLocked(&total, &next_serial);
  if (rc != kOk) return rc;

  // Pass 1: the records to keep, in file order.
  const size_t record_size = static_cast<uint32_t>(header_.record_size);
  const int64_t chunk = std::max<int64_t>(1, static_cast<int64_t>(kChunkBytes / record_size));
  std::string kept;           // the kept records, one after the other
  std::vector<size_t> order;  // offsets into `kept`
  {
    ConditionScope scope(this);
    std::string buffer;
    std::string current;
    for (int64_t read_at = 0; read_at < total; read_at += chunk) {
      const int64_t n = std::min<int64_t>(chunk, total - read_at);
      if (!TryResize(&buffer, static_cast<size_t>(n) * record_size)) return kAllocationFailed;
      rc = ReadRecordsAt(read_at, &buffer);
      if (rc != kOk) return rc;
      for (int64_t k = 0; k < n; ++k) {
        const char* record = buffer.data() + static_cast<size_t>(k) * record_size;
        if (request.condition) {
          if (!TryResize(&current, record_size)) return kAllocationFailed;
          std::memcpy(current.data(), record, record_size);
          bool keep = false;
          {
            // Undone on every way out, also when a fatal error unwinds through the condition.
            struct Running {
              DatabaseHandle* handle;
              int* depth;
              ~Running() {
                --*depth;
                handle->ServeFromMemory(nullptr);
              }
            } running{this, &running_condition_};
            ++running_condition_;
            ServeFromMemory(&current);
            set_current_record(static_cast<int32_t>(read_at + k));
            keep = request.condition();
          }
          if (!keep) continue;
        }
        order.push_back(kept.size());
        if (!TryResize(&kept, kept.size() + record_size)) return kAllocationFailed;
        std::memcpy(kept.data() + order.back(), record, record_size);
      }
    }
  }

  // Pass 2: sort. Keys compare in the given order; a false ascending flag reverses its key.
  auto before = [&](size_t a, size_t b) {
    for (size_t i = 0; i < keys.size(); ++i) {
      const FieldDescriptor& field = fields_[keys[i]];
      int c = CompareKey(field, kept.data() + a + field.offset, kept.data() + b + field.offset);
      if (c == 0) continue;
      const bool ascending = i >= request.ascending.size() || request.ascending[i];
      return ascending ? c < 0 : c > 0;
    }
    return false;
  };
  std::stable_sort(order.begin(), order.end(), before);

  // Pass 3: write the target.
  const size_t out_size = static_cast<size_t>(target_record_size);
  const uint64_t target_start = RecordsStart(target_fields.size());
  std::string out;
  std::string chain;
  uint64_t written = 0;  // records already in the file
  for (size_t i = 0; i < order.size(); ++i) {
    const char* source = kept.data() + order[i];
    const size_t at = out.size();
    if (!TryResize(&out, at + out_size)) return kAllocationFailed;
    char* record = out.data() + at;
    const int32_t serial = static_cast<int32_t>(i + 1);
    EncodeInt32(record, DecodeInt32(source) < 0 ? -serial : serial);
    for (size_t f = 0; f < copied.size(); ++f) {
      const FieldDescriptor& from = fields_[copied[f]];
      const FieldDescriptor& to = target_fields[f];
      if (!IsChainField(from.type)) {
        std::memcpy(record + to.offset, source + from.offset, from.Size());
        continue;
      }
      uint32_t first = 0;
      const uint32_t source_first = DecodeFixed32(source + from.offset);
      if (source_first != 0) {
        if (!memo_) return kMemoAccessFailed;
        rc = memo_->ReadChain(source_first, &chain);
        if (rc != kOk) return rc;
        rc = target_memo.Append(chain, &first);
        if (rc != kOk) return rc;
      }
      EncodeFixed32(record + to.offset, first);
    }
    if (out.size() >= kChunkBytes || i + 1 == order.size()) {
      error = target.WriteAt(target_start + written * out_size, out.data(), out.size());
      if (error != FileError::kNone) return FileErrorCode(error, kWriteRecordFailed);
      written += out.size() / out_size;
      out.clear();
    }
  }
  if (target_has_chains) {
    rc = target_memo.Finish();
    if (rc != kOk) return rc;
  }
  char counts[8];
  EncodeInt32(counts, static_cast<int32_t>(order.size()));
  EncodeInt32(counts + 4, static_cast<int32_t>(order.size() + 1));
  error = target.WriteAt(kRecordCountOffset, counts, sizeof counts);
  if (error != FileError::kNone) return FileErrorCode(error, kWriteRecordFailed);
  return whole.Release();
}

}  // namespace memo::db
