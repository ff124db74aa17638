// Sorting a database into a new file (DatabaseHandle::SortInto).
//
// Under the source's whole-file lock: create the target, read the source in chunks, keep the
// records the condition accepts (each served from memory as the current record while the
// condition runs), sort them by their key fields, and write them to the target with fresh serials
// (negated for records marked deleted) and fresh copies of their memo chains.
//
// The target is built under passing names beside it ("<name>.~sort<n>", for the RecordFile and
// its MemoFile; passing_files.h) and takes its real names only when it is complete: first the old
// target's RecordFile goes, then its MemoFile, then the new MemoFile takes its name, then the new
// RecordFile. So the target's name names the old database, no database, or the new one, whole,
// and never a RecordFile with another database's MemoFile. A sort that stops before that leaves
// its passing files behind and the target as it was; the next sort into the same target removes
// them. The target's files take the permission bits of the source's.
#include <algorithm>
#include <atomic>
#include <climits>
#include <cmath>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "db/buffer.h"
#include "db/coding.h"
#include "db/create.h"
#include "db/database.h"
#include "db/engine_code.h"
#include "db/file_io.h"
#include "db/file_names.h"
#include "db/memo_file.h"
#include "db/memo_format.h"
#include "db/passing_files.h"
#include "platform/codec.h"

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
    case kFieldByte: return Order(static_cast<uint8_t>(*a), static_cast<uint8_t>(*b));
    case kFieldShort:
      return Order(static_cast<int16_t>(DecodeFixed16(a)), static_cast<int16_t>(DecodeFixed16(b)));
    case kFieldInt: return Order(DecodeInt32(a), DecodeInt32(b));
    case kFieldLong:
      return Order(static_cast<int64_t>(DecodeFixed64(a)), static_cast<int64_t>(DecodeFixed64(b)));
    case kFieldFloat: return OrderDouble(DecodeFloat(a), DecodeFloat(b));
    case kFieldDouble: return OrderDouble(DecodeDouble(a), DecodeDouble(b));
    case kFieldBool: return Order(*a != 0, *b != 0);
    case kFieldDateTime:
      return OrderDouble(CalendarValue(DecodeDouble(a)), CalendarValue(DecodeDouble(b)));
    case kFieldRoutine: return Order(DecodeFixed32(a), DecodeFixed32(b));
    case kFieldText: {
      int c = std::memcmp(a, b, field.declared_length);
      return c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    default: return 0;
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

  EngineCode Open(const std::string& path) {
    FileError error =
        File::Open(path, platform::FileAccess::kReadWrite, platform::FileShare::kDenyNone,
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
  EngineCode Append(std::string_view value, uint32_t* first) {
    *first = 0;
    const uint64_t need = BlocksForBytes(value.size());
    if (need == 0) return kOk;
    if (need > static_cast<uint64_t>(INT32_MAX - header_.block_count)) return kMemoAccessFailed;
    const uint32_t start = static_cast<uint32_t>(header_.block_count);
    const size_t at = pending_.size();
    if (!TryResize(&pending_, at + need * kMemoBlockSize)) return kAllocationFailed;
    char* out = pending_.data() + at;
    for (uint64_t i = 0; i < need; ++i, out += kMemoBlockSize) {
      EncodeChainBlock(value, i, i == 0 ? 0 : static_cast<uint32_t>(start + i - 1),
                       i + 1 < need ? static_cast<uint32_t>(start + i + 1) : 0, out);
    }
    header_.block_count += static_cast<int32_t>(need);
    *first = start;
    return pending_.size() >= kFlushBytes ? Flush() : kOk;
  }

  void Close() { file_.Close(); }

  // Writes what is still in memory, then the header's counts.
  EngineCode Finish() {
    EngineCode rc = Flush();
    if (rc != kOk) return rc;
    char bytes[12];
    EncodeInt32(bytes, header_.block_count);
    EncodeInt32(bytes + 4, header_.free_count);
    EncodeInt32(bytes + 8, header_.free_head);
    return FileErrorCode(file_.WriteAt(kMemoBlockCountOffset, bytes, sizeof bytes),
                         kMemoAccessFailed);
  }

 private:
  EngineCode Flush() {
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

// The passing files a sort builds its target in, removed again unless they took the target's
// names. Each is held with the builder's lock (passing_files.h) from its creation until it has
// its real name, so that a later sort can tell them from the passing files of a sort that was
// stopped, which it removes.
class TargetFiles {
 public:
  // `record_mode`, `memo_mode`: the permission bits of the source's files, which the target's
  // files take.
  TargetFiles(std::string target_path, bool has_memo, uint32_t record_mode, uint32_t memo_mode)
      : target_path_(std::move(target_path)),
        target_memo_(MemoFileName(target_path_)),
        has_memo_(has_memo),
        record_mode_(record_mode),
        memo_mode_(memo_mode) {}
  ~TargetFiles() {
    if (record_created_) (void)platform::RemoveFile(record_path_);
    if (memo_created_) (void)platform::RemoveFile(memo_path_);
  }
  TargetFiles(const TargetFiles&) = delete;
  TargetFiles& operator=(const TargetFiles&) = delete;

  const std::string& record_path() const { return record_path_; }
  const std::string& memo_path() const { return memo_path_; }
  const std::string& target_memo() const { return target_memo_; }

  // Creates the empty database under names nobody uses yet.
  EngineCode Create(const RecordHeader& header, const std::vector<FieldDescriptor>& fields) {
    static std::atomic<uint32_t> next{0};
    const std::string bytes = EmptyRecordFileBytes(header, fields);
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
      const uint32_t number = (platform::TickCount() & 0xFFFFu) * 1000u + next++ % 1000u;
      record_path_ = SortPassingName(target_path_, number);
      memo_path_ = SortPassingName(target_memo_, number);
      EngineCode rc = CreatePassingFile(record_path_, record_mode_, &record_guard_);
      if (rc == kCreateFailed) continue;  // the name is taken
      if (rc != kOk) return rc;
      record_created_ = true;
      if (record_guard_.WriteAt(0, bytes.data(), bytes.size()) != FileError::kNone) {
        return kCreateFailed;
      }
      if (!has_memo_) return kOk;
      rc = CreatePassingFile(memo_path_, memo_mode_, &memo_guard_);
      if (rc == kCreateFailed) {  // the name is taken: another pair of names
        record_guard_.Close();
        (void)platform::RemoveFile(record_path_);
        record_created_ = false;
        continue;
      }
      if (rc != kOk) return rc;
      memo_created_ = true;
      char block[kMemoBlockSize] = {};
      MemoHeader memo_header;
      memo_header.version = header.version;
      memo_header.creation_time = header.creation_time;
      memo_header.block_count = 1;
      EncodeMemoHeader(memo_header, block);
      if (memo_guard_.WriteAt(0, block, sizeof block) != FileError::kNone) {
        return kMemoCreateFailed;
      }
      return kOk;
    }
    return kCreateFailed;
  }

  // Gives the complete database the target's names. A handle whose share mode forbids writing
  // the target forbids replacing it too.
  EngineCode Commit() {
    EngineCode rc = CheckReplaceable(target_path_, kCreateFailed);
    if (rc == kOk && has_memo_) rc = CheckReplaceable(target_memo_, kMemoCreateFailed);
    if (rc != kOk) return rc;
    // The names as they are on disk ("B.MCN" stays "B.MCN"), found before the old files go.
    const std::string record_name = NameOnDisk(target_path_);
    const std::string memo_name = NameOnDisk(target_memo_);
    // The old files go first, the RecordFile before its MemoFile: never a moment with the old
    // RecordFile beside the new MemoFile. (Taking a name that is free, rather than replacing a
    // file, also spares the file system the flush it makes for a rename over a file.)
    rc = Remove(record_name, kCreateFailed);
    if (rc == kOk && has_memo_) rc = Remove(memo_name, kMemoCreateFailed);
    if (rc != kOk) return rc;
    // Each file is held until it has its name: a passing file never stands unheld.
    if (has_memo_) {
      FileError error = platform::RenameFile(memo_path_, memo_name);
      if (error != FileError::kNone) return FileErrorCode(error, kMemoCreateFailed);
      memo_created_ = false;
      memo_guard_.Close();
    }
    FileError error = platform::RenameFile(record_path_, record_name);
    if (error != FileError::kNone) return FileErrorCode(error, kCreateFailed);
    record_created_ = false;
    record_guard_.Close();
    return kOk;
  }

 private:
  static constexpr int kAttempts = 16;

  static std::string NameOnDisk(const std::string& path) {
    return Utf8ToGbk(platform::ResolveOnDisk(path));
  }

  static EngineCode Remove(const std::string& path, EngineCode fallback) {
    FileError error = platform::RemoveFile(path);
    if (error == FileError::kNone || error == FileError::kNotFound) return kOk;
    return FileErrorCode(error, fallback);
  }

  static EngineCode CheckReplaceable(const std::string& path, EngineCode fallback) {
    File probe;
    FileError error =
        File::Open(path, platform::FileAccess::kReadWrite, platform::FileShare::kDenyNone,
                   platform::FileCreate::kOpenExisting, &probe);
    if (error == FileError::kNone || error == FileError::kNotFound) return kOk;
    return FileErrorCode(error, fallback);
  }

  std::string target_path_;
  std::string target_memo_;
  bool has_memo_;
  uint32_t record_mode_;
  uint32_t memo_mode_;
  std::string record_path_;
  std::string memo_path_;
  File record_guard_;  // the builder's lock on each passing file
  File memo_guard_;
  bool record_created_ = false;
  bool memo_created_ = false;
};

}  // namespace

EngineCode DatabaseHandle::SortInto(const SortRequest& request) {
  if (!IsOpen()) return kNoDatabaseOpen;
  EndWalk();
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
  const bool target_has_chains =
      std::any_of(target_fields.begin(), target_fields.end(),
                  [](const FieldDescriptor& f) { return IsChainField(f.type); });
  // Replacing a file the source reads from would destroy it before it is read: the source
  // itself, or its MemoFile (a.mcn and a.edb share a.EDT).
  const std::string source_memo = MemoFileName(full_path_);
  if (EqualsIgnoreCase(target_path, full_path_) ||
      (memo_ && EqualsIgnoreCase(target_path, source_memo)) ||
      (memo_ && target_has_chains && EqualsIgnoreCase(MemoFileName(target_path), source_memo))) {
    return kCreateFailed;
  }

  RecordHeader target_header;
  if (header_.IsProtected()) {
    std::memcpy(target_header.magic, kProtectedMagic, 4);
    std::memcpy(target_header.digest, header_.digest, kDigestFieldSize);
  }
  target_header.version = kFormatVersion;
  target_header.creation_time = CurrentDayNumber();
  target_header.record_size = static_cast<int32_t>(target_record_size);

  // The target's files get the permission bits of the source's: a copy of private records stays
  // private.
  uint32_t record_mode = platform::kPrivateFileMode;
  if (file_.Permissions(&record_mode) != FileError::kNone) record_mode = platform::kPrivateFileMode;
  uint32_t memo_mode = record_mode;
  if (memo_ && memo_->file()->Permissions(&memo_mode) != FileError::kNone) memo_mode = record_mode;

  WholeFileLock whole;
  EngineCode rc = whole.Acquire(&locks_, BusyWait());
  if (rc != kOk) return rc;
  // What sorts into this target that were stopped before their commit left behind.
  (void)RemoveStalePassingFiles(target_path);
  TargetFiles files(target_path, target_has_chains, record_mode, memo_mode);
  rc = files.Create(target_header, target_fields);
  if (rc != kOk) return rc;
  File target;
  FileError error =
      File::Open(files.record_path(), platform::FileAccess::kReadWrite,
                 platform::FileShare::kDenyNone, platform::FileCreate::kOpenExisting, &target);
  if (error != FileError::kNone) return FileErrorCode(error, kCreateFailed);
  // The target's MemoFile was just created, holding only its header, and nobody else knows it:
  // its chains are built in memory and written in large pieces.
  TargetMemo target_memo;
  if (target_has_chains) {
    rc = target_memo.Open(files.memo_path());
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
  if (request.source_serials) {
    request.source_serials->clear();
    try {
      request.source_serials->reserve(order.size());
    } catch (const std::exception&) {
      return kAllocationFailed;
    }
  }
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
    const int32_t source_serial = DecodeInt32(source);
    EncodeInt32(record, source_serial < 0 ? -serial : serial);
    if (request.source_serials) request.source_serials->push_back(source_serial);
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
  target.Close();
  target_memo.Close();
  rc = files.Commit();
  if (rc != kOk) return rc;
  return whole.Release();
}

}  // namespace memo::db
