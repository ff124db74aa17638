// Opening a database: the reader's rules, checked in this order (the first that fails decides).
//
//   1. The 112-byte header reads whole and begins with "WEDB" or "WCDB": else -22.
//   2. "WCDB" needs the password whose digest is stored; "WEDB" takes no password: else -78.
//   3. Record size > 0, record count >= 0, next serial > 0: else -22.
//   4. Version <= 0x00010000: else -23.
//   5. The field count (> 0) and its descriptors read whole: else -22. Records start where the
//      table ends.
//   6. The file holds the counted records: when it holds fewer whole ones, the default access
//      lowers the count to them and writes it back, any other access fails with -48. With the
//      default access the file is then cut to exactly the counted records.
//   7. Every descriptor has its NUL within 17 bytes, a type 1..12, a text length > 0 and lies
//      inside the record: else -22.
//   8. With a memo or byte-set field, the MemoFile opens with the same access and share mode and
//      passes its own checks (memo_file.h): -35, -36, -37, or a lowered block count.
//   Then the named index files (-34, -30, -33, -31, -32, -49, -43, -42, -54, -53).
// The checks run under the whole-file lock (unless the handle is lock-free), so no writer changes
// the header in between; an open waits for it as a write does (kBusyLockWait), since any other
// handle's passing record lock holds it off. A failed open closes every file it opened and adds
// nothing.
#include <algorithm>
#include <cstdio>

#include "db/coding.h"
#include "db/database.h"
#include "db/digest.h"
#include "db/file_io.h"
#include "db/file_names.h"
#include "platform/backend.h"
#include "runtime/literal.h"

namespace memo::db {
namespace {

using platform::File;
using platform::FileError;

// The platform's password dialog, when a backend is installed; nullopt (cancel) otherwise.
std::optional<std::string> AskThroughBackend(std::string_view notice_gbk) {
  platform::Backend* backend = platform::CurrentBackend();
  if (backend == nullptr) return std::nullopt;
  return backend->AskPassword(Gbk("请输入数据库访问密码"), notice_gbk);
}

}  // namespace

DatabaseHandle::DatabaseHandle() : locks_(&file_, &policy_) {}

DatabaseHandle::~DatabaseHandle() { Close(); }

void DatabaseHandle::Close() {
  EndWalk();
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
  journal_.Close();
  memory_record_ = nullptr;
}

EngineCode DatabaseHandle::Open(std::string_view name, const OpenOptions& options,
                                std::unique_ptr<DatabaseHandle>* out) {
  out->reset();
  if (name.empty()) return kFileNotFound;
  const std::string full_path = FullPathOf(name, kRecordFileExtension);

  auto attempt = [&](const std::string& password) {
    std::unique_ptr<DatabaseHandle> handle(new DatabaseHandle());
    EngineCode rc = handle->OpenChecked(full_path, options, password);
    if (rc == kOk) *out = std::move(handle);
    return rc;
  };

  if (options.password != "?") return attempt(options.password);

  PasswordPrompt prompt = InstalledPasswordPrompt();
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
    EngineCode rc = attempt(*password);
    if (rc != kWrongPassword) return rc;
  }
  return kWrongPassword;
}

EngineCode DatabaseHandle::OpenChecked(const std::string& full_path, const OpenOptions& options,
                                       const std::string& password) {
  policy_.wait_ms = options.lock_wait_ms.value_or(DefaultLockWait());
  policy_.lock_free = IsLockFree(options.share);

  // A writer that stopped in the middle of an overwrite left its bytes in the journal.
  Journal::Recover(full_path, MemoFileName(full_path));
  FileError error =
      File::Open(full_path, FileAccessFor(options.access), FileShareFor(options.share),
                 platform::FileCreate::kOpenExisting, &file_);
  if (error != FileError::kNone) return FileErrorCode(error, kOpenFailed);
  full_path_ = full_path;
  title_ = FileTitle(full_path);

  EngineCode rc = kOk;
  {
    WholeFileLock whole;
    rc = whole.Acquire(&locks_, BusyWait());
    if (rc == kOk) {
      rc = CheckRecordFile(options.access, password);
      if (rc == kOk && std::any_of(fields_.begin(), fields_.end(),
                                   [](const FieldDescriptor& f) { return IsChainField(f.type); })) {
        memo_ = std::make_unique<MemoFile>(&policy_);
        rc = memo_->Open(MemoFileName(full_path_), options.access, options.share, header_.version);
        memo_->set_journal(&journal_);
      }
      if (rc == kOk) rc = OpenIndexes(options);
      KeepFirst(&rc, whole.Release());
    }
  }
  if (rc != kOk) Close();
  if (rc == kOk && options.access != OpenAccess::kReadOnly) {
    journal_.Bind(full_path_, MemoFileName(full_path_), options.share == OpenShare::kDenyNone);
  }
  current_ = 0;
  return rc;
}

EngineCode DatabaseHandle::CheckRecordFile(OpenAccess access, const std::string& password) {
  // Rules 1 to 4.
  char bytes[kRecordHeaderSize];
  EngineCode rc = ReadExactly(file_, 0, bytes, sizeof bytes, kNotDatabaseFile);
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

  // Rule 5.
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

  // Rule 6: the header may promise more records than the file holds.
  const uint64_t record_size = static_cast<uint32_t>(header_.record_size);
  const uint64_t available = (length - records_start_) / record_size;
  if (available < static_cast<uint64_t>(header_.record_count)) {
    if (!AllowsRepair(access)) return kWrongFileSize;
    header_.record_count = static_cast<int32_t>(available);
    char count[4];
    EncodeInt32(count, header_.record_count);
    CountProcessWrite();
    rc = WriteAll(&file_, kRecordCountOffset, count, sizeof count, kOpenFailed);
    if (rc != kOk) return rc;
  }
  if (AllowsRepair(access)) {
    const uint64_t exact = RecordOffset(header_.record_count);
    if (length != exact) {
      CountProcessWrite();
      rc = FileErrorCode(file_.SetLength(exact), kOpenFailed);
      if (rc != kOk) return rc;
    }
  }

  // Rule 7; a record must also hold its serial, and every field must lie inside the record.
  if (header_.record_size < static_cast<int32_t>(kSerialSize)) return kNotDatabaseFile;
  for (const FieldDescriptor& field : fields_) {
    if (!DescriptorIsValid(field, header_.record_size)) return kNotDatabaseFile;
  }

  // A pack stopped after moving its records but before lowering the count leaves blank deleted
  // records after them; a reader must not show them as memos.
  if (AllowsRepair(access)) return DropTrailingBlankRecords();
  return kOk;
}

EngineCode DatabaseHandle::DropTrailingBlankRecords() {
  const size_t record_size = static_cast<uint32_t>(header_.record_size);
  constexpr size_t kChunkBytes = 163840;
  const int64_t chunk = std::max<int64_t>(1, static_cast<int64_t>(kChunkBytes / record_size));
  int64_t kept = header_.record_count;
  // The last record alone first: an open that finds a record there pays for one small read.
  int64_t batch = 1;
  std::string buffer;
  while (kept > 0) {
    const int64_t n = std::min(batch, kept);
    buffer.resize(static_cast<size_t>(n) * record_size);
    EngineCode rc = ReadRecordsAt(kept - n, &buffer);
    if (rc != kOk) return rc;
    int64_t k = n;
    while (k > 0 && IsBlankDeletedRecord(buffer.data() + static_cast<size_t>(k - 1) * record_size,
                                         record_size)) {
      --k;
    }
    kept -= n - k;
    if (k > 0) break;
    batch = chunk;
  }
  if (kept == header_.record_count) return kOk;
  // The count first, then the cut: a writer stopped between the two leaves bytes past the
  // counted records, which the next open cuts off.
  char count[4];
  EncodeInt32(count, static_cast<int32_t>(kept));
  CountProcessWrite();
  EngineCode rc = WriteAll(&file_, kRecordCountOffset, count, sizeof count, kOpenFailed);
  if (rc != kOk) return rc;
  header_.record_count = static_cast<int32_t>(kept);
  return FileErrorCode(file_.SetLength(RecordOffset(kept)), kOpenFailed);
}

EngineCode DatabaseHandle::OpenIndexes(const OpenOptions& options) {
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
    if (File::Open(path, FileAccessFor(options.access), FileShareFor(options.share),
                   platform::FileCreate::kOpenExisting, &index) != FileError::kNone) {
      return kIndexOpenFailed;
    }
    char bytes[kIndexHeaderSize];
    EngineCode rc = ReadExactly(index, 0, bytes, sizeof bytes, kNotIndexFile);
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

}  // namespace memo::db
