#include "db/database.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>

#include "db/buffer.h"
#include "db/coding.h"
#include "db/digest.h"
#include "db/engine_code.h"
#include "db/file_names.h"
#include "db/value_codec.h"
#include "platform/backend.h"
#include "runtime/convert.h"
#include "runtime/literal.h"

namespace memo::db {
namespace {

using platform::File;
using platform::FileAccess;
using platform::FileError;
using platform::FileShare;

std::mutex g_settings_mutex;
int32_t g_default_lock_wait = kNoLockWait;
PasswordPrompt g_password_prompt;

FileShare ShareFor(int share) {
  switch (share) {
    case 1: return FileShare::kDenyNone;
    case 2: return FileShare::kDenyRead;
    case 3: return FileShare::kDenyWrite;
    default: return FileShare::kExclusive;
  }
}

// Reads exactly `count` bytes or reports why not: the file error's code, `short_code` for a short
// read, and `empty_code` (when not 0) for a read that finds nothing at all (position at or beyond
// the end of the file).
int ReadExactly(const File& file, uint64_t offset, void* buffer, size_t count, int short_code,
                int empty_code = 0) {
  size_t done = 0;
  FileError error = file.ReadAt(offset, buffer, count, &done);
  if (error != FileError::kNone) return FileErrorCode(error, short_code);
  if (done == 0 && count > 0 && empty_code != 0) return empty_code;
  return done == count ? kOk : short_code;
}

int WriteAll(File* file, uint64_t offset, const void* buffer, size_t count, int fallback) {
  return FileErrorCode(file->WriteAt(offset, buffer, count), fallback);
}

// The platform's password dialog, when a backend is installed; nullopt (cancel) otherwise.
std::optional<std::string> AskThroughBackend(std::string_view notice_gbk) {
  platform::Backend* backend = platform::CurrentBackend();
  if (backend == nullptr) return std::nullopt;
  return backend->AskPassword(Gbk("请输入数据库访问密码"), notice_gbk);
}

// Keeps the first failure of a sequence of steps.
void KeepFirst(int* rc, int next) {
  if (*rc == kOk) *rc = next;
}

}  // namespace

int32_t DefaultLockWait() {
  std::lock_guard<std::mutex> guard(g_settings_mutex);
  return g_default_lock_wait;
}

void SetDefaultLockWait(int32_t wait_ms) {
  std::lock_guard<std::mutex> guard(g_settings_mutex);
  g_default_lock_wait = wait_ms;
}

void SetPasswordPrompt(PasswordPrompt prompt) {
  std::lock_guard<std::mutex> guard(g_settings_mutex);
  g_password_prompt = std::move(prompt);
}

double CurrentDayNumber() {
  CalendarTime when;
  if (platform::Backend* backend = platform::CurrentBackend()) {
    platform::LocalTime now = backend->Now();
    when = {now.year, now.month, now.day, now.hour, now.minute, now.second};
  } else {
    std::time_t seconds = std::time(nullptr);
    std::tm local{};
    localtime_r(&seconds, &local);
    when = {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
            local.tm_hour,        local.tm_min,     std::min(local.tm_sec, 59)};
  }
  return MakeDateTime(when);
}

DatabaseHandle::DatabaseHandle() : locks_(&file_, &policy_) {}

DatabaseHandle::~DatabaseHandle() { Close(); }

void DatabaseHandle::Close() {
  if (memo_) {
    memo_->Close();
    memo_.reset();
  }
  for (File& index : index_files_) index.Close();
  index_files_.clear();
  index_headers_.clear();
  if (file_.IsOpen()) {
    locks_.ReleaseAll();
    file_.Close();
  }
  memory_record_ = nullptr;
}

int DatabaseHandle::Open(std::string_view name, const OpenOptions& options,
                         std::unique_ptr<DatabaseHandle>* out) {
  out->reset();
  if (name.empty()) return kFileNotFound;
  const std::string full_path = FullPathOf(name, kRecordFileExtension);

  auto attempt = [&](const std::string& password) {
    std::unique_ptr<DatabaseHandle> handle(new DatabaseHandle());
    int rc = handle->OpenChecked(full_path, options, password);
    if (rc == kOk) *out = std::move(handle);
    return rc;
  };

  if (options.password != "?") return attempt(options.password);

  PasswordPrompt prompt;
  {
    std::lock_guard<std::mutex> guard(g_settings_mutex);
    prompt = g_password_prompt;
  }
  for (int failures = 0; failures < kPasswordAttempts; ++failures) {
    std::string notice;
    if (failures > 0) {
      char text[128];
      std::snprintf(text, sizeof text, Gbk("密码错误，您还有 %d 次重新输入的机会。"),
                    kPasswordAttempts - failures);
      notice = text;
    }
    std::optional<std::string> password = prompt ? prompt(notice) : AskThroughBackend(notice);
    if (!password) return kWrongPassword;
    int rc = attempt(*password);
    if (rc != kWrongPassword) return rc;
  }
  return kWrongPassword;
}

int DatabaseHandle::OpenChecked(const std::string& full_path, const OpenOptions& options,
                                const std::string& password) {
  policy_.wait_ms = options.lock_wait_ms.value_or(DefaultLockWait());
  policy_.lock_free = options.share == 2 || options.share == 4;
  const FileAccess access = options.access == 1 ? FileAccess::kRead : FileAccess::kReadWrite;
  const FileShare share = ShareFor(options.share);

  FileError error =
      File::Open(full_path, access, share, platform::FileCreate::kOpenExisting, &file_);
  if (error != FileError::kNone) return FileErrorCode(error, kOpenFailed);
  full_path_ = full_path;
  title_ = FileTitle(full_path);

  int rc = kOk;
  {
    WholeFileLock whole;
    rc = whole.Acquire(&locks_);
    if (rc == kOk) {
      rc = CheckRecordFile(options.access, password);
      if (rc == kOk && std::any_of(fields_.begin(), fields_.end(),
                                   [](const FieldDescriptor& f) { return IsChainField(f.type); })) {
        memo_ = std::make_unique<MemoFile>(&policy_);
        rc = memo_->Open(ReplaceExtension(full_path_, kMemoFileExtension), access, share,
                         options.access, header_.version);
      }
      if (rc == kOk) rc = OpenIndexes(options, access, share);
      KeepFirst(&rc, whole.Release());
    }
  }
  if (rc != kOk) Close();
  current_ = 0;
  return rc;
}

int DatabaseHandle::CheckRecordFile(int access_argument, const std::string& password) {
  char bytes[kRecordHeaderSize];
  int rc = ReadExactly(file_, 0, bytes, sizeof bytes, kNotDatabaseFile);
  if (rc != kOk) return rc;
  DecodeRecordHeader(bytes, &header_);
  if (!header_.IsPlain() && !header_.IsProtected()) return kNotDatabaseFile;
  if (header_.IsProtected()) {
    if (!DigestMatches(password, header_.DigestText())) return kWrongPassword;
  } else if (!password.empty()) {
    return kWrongPassword;
  }
  if (header_.record_size <= 0 || header_.record_count < 0 || header_.next_serial <= 0) {
    return kNotDatabaseFile;
  }
  if (header_.version > kFormatVersion) return kVersionTooHigh;

  char count_bytes[4];
  rc = ReadExactly(file_, kFieldCountOffset, count_bytes, sizeof count_bytes, kNotDatabaseFile);
  if (rc != kOk) return rc;
  const int32_t field_count = DecodeInt32(count_bytes);
  if (field_count <= 0) return kNotDatabaseFile;
  uint64_t length = 0;
  FileError error = file_.Length(&length);
  if (error != FileError::kNone) return FileErrorCode(error, kOpenFailed);
  records_start_ = RecordsStart(static_cast<uint64_t>(field_count));
  if (length < records_start_) return kNotDatabaseFile;  // the table cannot be read whole
  std::string table(kDescriptorSize * static_cast<size_t>(field_count), '\0');
  rc = ReadExactly(file_, kFieldTableOffset, table.data(), table.size(), kNotDatabaseFile);
  if (rc != kOk) return rc;
  fields_.resize(static_cast<size_t>(field_count));
  field_names_.resize(static_cast<size_t>(field_count));
  for (int32_t i = 0; i < field_count; ++i) {
    DecodeFieldDescriptor(table.data() + kDescriptorSize * i, &fields_[i]);
    field_names_[i] = fields_[i].Name();
  }

  // Size reconciliation: the header may promise more records than the file holds.
  const uint64_t record_size = static_cast<uint32_t>(header_.record_size);
  const uint64_t available = (length - records_start_) / record_size;
  if (available < static_cast<uint64_t>(header_.record_count)) {
    if (access_argument != 0) return kWrongFileSize;
    header_.record_count = static_cast<int32_t>(available);
    char count[4];
    EncodeInt32(count, header_.record_count);
    rc = WriteAll(&file_, kRecordCountOffset, count, sizeof count, kOpenFailed);
    if (rc != kOk) return rc;
  }
  if (access_argument == 0) {
    const uint64_t exact = RecordOffset(header_.record_count);
    if (length != exact) {
      rc = FileErrorCode(file_.SetLength(exact), kOpenFailed);
      if (rc != kOk) return rc;
    }
  }

  // A record must hold its serial; every field must lie inside the record.
  if (header_.record_size < static_cast<int32_t>(kSerialSize)) return kNotDatabaseFile;
  for (const FieldDescriptor& field : fields_) {
    if (!DescriptorIsValid(field, header_.record_size)) return kNotDatabaseFile;
  }
  return kOk;
}

int DatabaseHandle::OpenIndexes(const OpenOptions& options, FileAccess access, FileShare share) {
  std::vector<std::string> names;
  for (const std::string& name : options.index_names) {
    if (!name.empty()) names.push_back(name);
  }
  if (names.size() > static_cast<size_t>(kMaxIndexFiles)) return kTooManyIndexes;
  std::vector<std::string> paths;
  for (const std::string& name : names) {
    std::string completed = CompleteName(name, kIndexFileExtension);
    if (DirectoryPart(completed).empty()) completed = DirectoryPart(full_path_) + completed;
    std::string path = platform::FullPath(completed);
    for (const std::string& earlier : paths) {
      if (EqualsIgnoreCase(earlier, path)) return kIndexAlreadyOpen;
    }
    paths.push_back(path);
    File index;
    if (File::Open(path, access, share, platform::FileCreate::kOpenExisting, &index) !=
        FileError::kNone) {
      return kIndexOpenFailed;
    }
    char bytes[kIndexHeaderSize];
    int rc = ReadExactly(index, 0, bytes, sizeof bytes, kNotIndexFile);
    if (rc != kOk) return rc;
    uint64_t length = 0;
    if (index.Length(&length) != FileError::kNone) return kIndexOpenFailed;
    IndexHeader header;
    rc = CheckIndexHeader(bytes, length, header_.version, fields_, &header);
    if (rc != kOk) return rc;
    index_files_.push_back(std::move(index));
    index_headers_.push_back(std::move(header));
  }
  return kOk;
}

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

int DatabaseHandle::ReadCountLocked(int32_t* count, int32_t* next_serial) {
  char bytes[8];
  int rc = ReadExactly(file_, kRecordCountOffset, bytes, sizeof bytes, kRecordCountFailed);
  if (rc != kOk) return rc;
  *count = std::max(DecodeInt32(bytes), 0);
  *next_serial = std::max(DecodeInt32(bytes + 4), 1);
  return kOk;
}

int DatabaseHandle::ReadRecordsAt(int64_t position, std::string* buffer) {
  return ReadExactly(file_, RecordOffset(position), buffer->data(), buffer->size(),
                     kReadRecordFailed);
}

int DatabaseHandle::WriteCountAndSerial(int32_t count, int32_t next_serial) {
  char bytes[8];
  EncodeInt32(bytes, count);
  EncodeInt32(bytes + 4, next_serial);
  return WriteAll(&file_, kRecordCountOffset, bytes, sizeof bytes, kWriteRecordFailed);
}

int DatabaseHandle::ReadRecordCount(int32_t* count, int32_t* next_serial) {
  if (!IsOpen()) return kNoDatabaseOpen;
  ByteLock lock;
  int rc = lock.Acquire(&locks_, kRecordCountOffset,
                        LongerWait(policy_.wait_ms, kRecordCountLockWait));
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

int DatabaseHandle::Skip(int32_t n) {
  if (n == 0) return kOk;
  int32_t count = 0;
  int rc = ReadRecordCount(&count);
  if (rc != kOk) return rc;
  if (n > 0) {
    if (count == 0 || current_ >= count) return kAfterLastRecord;
  } else {
    if (count == 0 || current_ < 0) return kBeforeFirstRecord;
  }
  int64_t target = std::min<int64_t>(count, int64_t{current_} + n);
  current_ = static_cast<int32_t>(std::max<int64_t>(target, -1));
  return kOk;
}

int DatabaseHandle::ReadFieldBytes(int field_index, std::string* bytes) {
  bytes->clear();
  if (!IsOpen()) return kNoDatabaseOpen;
  if (field_index < 0 || field_index >= field_count()) return kNoSuchField;
  if (current_ < 0) return kNoCurrentRecord;
  const FieldDescriptor& field = fields_[field_index];
  const uint32_t size = field.Size();

  std::string raw;
  ByteLock record_lock;  // held until the memo chain has been read as well
  if (memory_record_ != nullptr) {
    if (uint64_t{field.offset} + size > memory_record_->size()) return kReadFieldFailed;
    if (!TryResize(&raw, size)) return kAllocationFailed;
    std::memcpy(raw.data(), memory_record_->data() + field.offset, size);
  } else {
    int rc = record_lock.Acquire(&locks_, RecordOffset(current_));
    if (rc != kOk) return rc;
    if (!TryResize(&raw, size)) return kAllocationFailed;
    rc = ReadExactly(file_, RecordOffset(current_) + field.offset, raw.data(), size,
                     kReadFieldFailed, kSeekFailed);
    if (rc != kOk) return rc;
  }
  if (IsChainField(field.type)) {
    if (!memo_) return kReadFieldFailed;
    std::string chain;
    int rc = memo_->ReadChain(DecodeFixed32(raw.data()), &chain);
    if (rc != kOk) return rc;
    raw.swap(chain);
  }
  int rc = record_lock.Release();
  if (rc != kOk) return rc;
  // The value is a prefix of the raw bytes: keep that buffer instead of copying it.
  raw.resize(StoredValueBytes(field, raw).size());
  bytes->swap(raw);
  return kOk;
}

int DatabaseHandle::ReadField(int field_index, TypedValue* value) {
  std::string bytes;
  int rc = ReadFieldBytes(field_index, &bytes);
  if (field_index < 0 || field_index >= field_count()) {
    *value = TypedValue{};
    return rc;
  }
  *value = rc == kOk ? MakeFieldValue(fields_[field_index], bytes)
                     : EmptyFieldValue(fields_[field_index]);
  return rc;
}

int DatabaseHandle::WriteField(int field_index, const TypedValue& value) {
  if (!IsOpen()) return kNoDatabaseOpen;
  if (field_index < 0 || field_index >= field_count()) return kNoSuchField;
  if (current_ < 0) return kNoCurrentRecord;
  const FieldDescriptor& field = fields_[field_index];
  int rc = CheckValueForField(field, value);
  if (rc != kOk) return rc;

  ByteLock record_lock;
  rc = record_lock.Acquire(&locks_, RecordOffset(current_));
  if (rc != kOk) return rc;
  const uint64_t position = RecordOffset(current_) + field.offset;
  uint64_t length = 0;
  FileError error = file_.Length(&length);
  if (error != FileError::kNone) return FileErrorCode(error, kWriteFieldFailed);
  if (position >= length) return kNoCurrentRecord;

  std::string bytes;
  if (!TryResize(&bytes, field.Size())) return kAllocationFailed;
  if (IsChainField(field.type)) {
    if (!memo_) return kWriteFieldFailed;
    rc = ReadExactly(file_, position, bytes.data(), bytes.size(), kReadFieldFailed);
    if (rc != kOk) return rc;
    uint32_t first = 0;
    rc = memo_->WriteChain(DecodeFixed32(bytes.data()), ChainBytesOf(value), &first);
    if (rc != kOk) return rc;
    EncodeFixed32(bytes.data(), first);
  } else {
    EncodeFixedValue(field, value, bytes.data());
  }
  rc = WriteAll(&file_, position, bytes.data(), bytes.size(), kWriteFieldFailed);
  if (rc != kOk) return rc;
  return record_lock.Release();
}

int DatabaseHandle::AppendBlank() { return PutRecord(true, nullptr, 0, true); }

int DatabaseHandle::AddRecord(const TypedValue* values, int count) {
  return PutRecord(true, values, count, false);
}

int DatabaseHandle::ModifyRecord(const TypedValue* values, int count) {
  return PutRecord(false, values, count, false);
}

int DatabaseHandle::PutRecord(bool add, const TypedValue* values, int value_count,
                              bool blank) {
  if (!IsOpen()) return kNoDatabaseOpen;
  if (!add && current_ < 0) return kNoCurrentRecord;
  const int given = std::max(0, std::min(value_count, field_count()));
  for (int i = 0; i < given; ++i) {
    if (!values[i].Present()) continue;
    int rc = CheckValueForField(fields_[i], values[i]);
    if (rc != kOk) return rc;
  }

  const size_t record_size = static_cast<uint32_t>(header_.record_size);
  std::string record;
  if (!TryResize(&record, record_size)) return kAllocationFailed;
  ByteLock count_lock;
  ByteLock record_lock;
  int32_t count = 0, serial = 1;
  uint64_t position = 0;
  int rc = kOk;
  if (add) {
    rc = count_lock.Acquire(&locks_, kRecordCountOffset);
    if (rc != kOk) return rc;
    rc = ReadCountLocked(&count, &serial);
    if (rc != kOk) return rc;
    if (count == INT32_MAX || serial == INT32_MAX) return kWriteRecordFailed;
    position = RecordOffset(count);
    rc = record_lock.Acquire(&locks_, position);
    if (rc != kOk) return rc;
    if (blank) {
      // A header that promises more records than the file holds: never leave a hole.
      uint64_t length = 0;
      FileError error = file_.Length(&length);
      if (error != FileError::kNone) return FileErrorCode(error, kWriteRecordFailed);
      if (length < position) return kSeekFailed;
    }
  } else {
    position = RecordOffset(current_);
    rc = record_lock.Acquire(&locks_, position);
    if (rc != kOk) return rc;
    rc = ReadExactly(file_, position, record.data(), record.size(), kReadRecordFailed,
                     kNoCurrentRecord);
    if (rc != kOk) return rc;
  }

  for (int i = 0; i < given; ++i) {
    if (!values[i].Present()) continue;
    const FieldDescriptor& field = fields_[i];
    char* slot = record.data() + field.offset;
    if (IsChainField(field.type)) {
      if (!memo_) return kWriteFieldFailed;
      uint32_t first = 0;
      rc = memo_->WriteChain(add ? 0 : DecodeFixed32(slot), ChainBytesOf(values[i]), &first);
      if (rc != kOk) return rc;
      EncodeFixed32(slot, first);
    } else {
      EncodeFixedValue(field, values[i], slot);
    }
  }

  if (add) {
    EncodeInt32(record.data(), serial);
    rc = WriteAll(&file_, position, record.data(), record.size(), kWriteRecordFailed);
    if (rc != kOk) return rc;
    rc = WriteCountAndSerial(count + 1, serial + 1);
    if (rc != kOk) return rc;
    current_ = count;
  } else {
    rc = WriteAll(&file_, position + kSerialSize, record.data() + kSerialSize,
                  record.size() - kSerialSize, kWriteRecordFailed);
    if (rc != kOk) return rc;
  }
  rc = record_lock.Release();
  KeepFirst(&rc, count_lock.Release());
  return rc;
}

int DatabaseHandle::ReadRecordBytes(int32_t position, std::string* bytes) {
  bytes->clear();
  if (!IsOpen()) return kNoDatabaseOpen;
  int32_t count = 0;
  int rc = ReadRecordCount(&count);
  if (rc != kOk) return rc;
  if (position < 0 || position >= count) return kNoSuchRecord;
  ByteLock lock;
  rc = lock.Acquire(&locks_, RecordOffset(position));
  if (rc != kOk) return rc;
  if (!TryResize(bytes, static_cast<uint32_t>(header_.record_size))) return kAllocationFailed;
  rc = ReadExactly(file_, RecordOffset(position), bytes->data(), bytes->size(),
                   kReadRecordFailed);
  if (rc != kOk) {
    bytes->clear();
    return rc;
  }
  return lock.Release();
}

int DatabaseHandle::ClearAll() {
  if (!IsOpen()) return kNoDatabaseOpen;
  WholeFileLock whole;
  int rc = whole.Acquire(&locks_);
  if (rc != kOk) return rc;
  char zero[4] = {};
  rc = WriteAll(&file_, kRecordCountOffset, zero, sizeof zero, kUnknownError);
  if (rc == kOk) rc = FileErrorCode(file_.SetLength(records_start_), kUnknownError);
  if (rc == kOk && memo_) rc = memo_->Reset();
  if (rc != kOk) return rc;
  current_ = 0;
  return whole.Release();
}

int DatabaseHandle::PackDeleted() { return Pack(false, 0, 0); }

int DatabaseHandle::PackRange(int32_t first, int32_t count) { return Pack(true, first, count); }

int DatabaseHandle::Pack(bool range, int32_t first, int32_t remove_count) {
  if (!IsOpen()) return kNoDatabaseOpen;
  WholeFileLock whole;
  int rc = whole.Acquire(&locks_);
  if (rc != kOk) return rc;
  int32_t total = 0, serial = 1;
  rc = ReadCountLocked(&total, &serial);
  if (rc != kOk) return rc;
  int64_t range_end = 0;
  if (range) {
    if (first < 0 || first >= total || remove_count <= 0) return kNoSuchRecord;
    range_end = std::min<int64_t>(total, int64_t{first} + remove_count);
  }

  const size_t record_size = static_cast<uint32_t>(header_.record_size);
  const int64_t chunk = std::max<int64_t>(1, 163840 / static_cast<int64_t>(record_size));
  std::vector<uint32_t> released_chains;
  std::string buffer;
  std::string kept;
  // Records before `write_at` are final; nothing before the first removed one moves.
  int64_t write_at = range ? first : 0;
  for (int64_t read_at = write_at; read_at < total; read_at += chunk) {
    const int64_t n = std::min<int64_t>(chunk, total - read_at);
    if (!TryResize(&buffer, static_cast<size_t>(n) * record_size)) return kAllocationFailed;
    rc = ReadRecordsAt(read_at, &buffer);
    if (rc != kOk) return rc;
    kept.clear();
    if (!TryReserve(&kept, buffer.size())) return kAllocationFailed;
    const int64_t kept_from = write_at;
    for (int64_t k = 0; k < n; ++k) {
      const char* record = buffer.data() + static_cast<size_t>(k) * record_size;
      const int64_t index = read_at + k;
      const bool drop = range ? (index >= first && index < range_end) : DecodeInt32(record) < 0;
      if (drop) {
        for (const FieldDescriptor& field : fields_) {
          if (!IsChainField(field.type)) continue;
          uint32_t block = DecodeFixed32(record + field.offset);
          if (block != 0) released_chains.push_back(block);
        }
      } else {
        kept.append(record, record_size);
        ++write_at;
      }
    }
    // Kept records only ever move down, into slots already read.
    if (!kept.empty() && (kept_from != read_at || kept.size() != buffer.size())) {
      rc = WriteAll(&file_, RecordOffset(kept_from), kept.data(), kept.size(), kWriteRecordFailed);
      if (rc != kOk) return rc;
    }
  }
  if (write_at != total) {
    char count_bytes[4];
    EncodeInt32(count_bytes, static_cast<int32_t>(write_at));
    rc = WriteAll(&file_, kRecordCountOffset, count_bytes, sizeof count_bytes, kWriteRecordFailed);
    if (rc != kOk) return rc;
    rc = FileErrorCode(file_.SetLength(RecordOffset(write_at)), kWriteRecordFailed);
    if (rc != kOk) return rc;
  }
  current_ = 0;
  // The records are consistent now; a damaged chain of a removed record only leaks its blocks.
  for (uint32_t block : released_chains) {
    if (memo_) KeepFirst(&rc, memo_->ReleaseChain(block));
  }
  KeepFirst(&rc, whole.Release());
  return rc;
}

}  // namespace memo::db
