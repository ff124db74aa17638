// mcn recover: copies what can be read of a damaged pair into a new pair, for files that repair
// refuses.
//
// The source is only read (under its RecordFile's whole-file lock, so no writer changes it
// meanwhile). Every record the header counts and the file holds, whole or in part, is copied with
// its serial and its deleted mark; every value whose bytes can be read is copied as it is stored.
// A value that cannot be read becomes the field's empty value and is reported with its record and
// field: a memo or byte-set whose chain the walk found broken, a field that lies outside the
// record, a part of a record that the file does not hold.
//
// The new pair is sound whatever the source was: fields are laid out afresh from offset 4 (a
// field whose type is unknown is left out; an empty or repeated name gets a new one), a serial of
// 0, one that repeats an earlier live record's, or one that leaves no room for a next serial above
// it (2147483647, or -2147483648 on a deleted record) gets a new serial: above every other while
// there is room, else the lowest one no record uses. The next serial lies above all of them, and
// every chain is written fresh. Before it reports success recover walks the new pair as `check`
// does; damage found there fails the command.
//
// The new pair is never much larger than the source: a field is at most as large as the part of a
// record the source file holds from its offset on (a text field claiming 1 GiB in a 30-byte record
// keeps 26 bytes), a field no record holds any byte of is left out, the new record is at most
// twice the source's, and a memo block is copied into at most one value (the walk gives a block
// on two chains to one of them). A count of the bytes written guards that bound as well: a copy
// that would pass it stops and leaves nothing behind.
//
// The names of the new pair are claimed before anything is written, with the source's permission
// bits (readable by the owner alone until then), and removed again if the copy fails.
#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "db/buffer.h"
#include "db/check.h"
#include "db/coding.h"
#include "db/create.h"
#include "db/database.h"
#include "db/engine_code.h"
#include "db/file_names.h"
#include "db/memo_file.h"
#include "platform/codec.h"
#include "platform/file.h"
#include "platform/gbk.h"
#include "tools/mcn/cli.h"
#include "tools/mcn/findings.h"
#include "tools/mcn/new_pair.h"

namespace memo::mcn {

namespace {

using platform::File;
using platform::FileError;

// The new pair stays within kGrowthFactor times its source's bytes plus kGrowthAllowance.
constexpr uint64_t kGrowthFactor = 4;
constexpr uint64_t kGrowthAllowance = 64 * 1024;

// One field of the new pair and where its value comes from.
struct CopiedField {
  size_t source = 0;           // field number in the source
  uint32_t read_size = 0;      // bytes read from the source record at the source offset
  db::FieldDescriptor target;  // name, type, length and new offset
};

// The most bytes of one record that the source file holds: a whole record when it holds one,
// else the part of the one it cuts short; for a file without records, the record size as far as
// the file's own length could ever hold it.
uint64_t ReadableRecordBytes(const db::CheckReport& report) {
  const auto record_size = static_cast<uint64_t>(std::max<int32_t>(report.header.record_size, 0));
  if (report.whole_records > 0) return record_size;
  if (report.partial_record_bytes > 0) return std::min(record_size, report.partial_record_bytes);
  return std::min(record_size, report.record_file_length);
}

// The fields of the new pair: every source field of a known type, in order, renamed where the
// name is empty, repeated (ignoring case) or has no NUL in its place; no field larger than the
// source's records allow (see the head of this file).
std::vector<CopiedField> PlanFields(const db::CheckReport& report) {
  const std::vector<db::FieldDescriptor>& fields = report.fields;
  const uint64_t readable = ReadableRecordBytes(report);
  const uint64_t record_budget = 2 * std::max<uint64_t>(readable, 8);
  uint64_t planned = db::kSerialSize;
  std::vector<CopiedField> plan;
  std::map<std::string, bool> taken;
  for (size_t f = 0; f < fields.size(); ++f) {
    const db::FieldDescriptor& field = fields[f];
    if (!db::IsValidFieldType(field.type) || field.Size() == 0 ||
        (field.type == db::kFieldText && static_cast<int32_t>(field.declared_length) <= 0)) {
      std::fprintf(stderr, "mcn: field %zu has type code %u and length %u: it is left out\n", f + 1,
                   field.type, field.declared_length);
      continue;
    }
    if (field.offset >= readable) {
      std::fprintf(stderr,
                   "mcn: field %zu (%s) at byte %u lies outside every record the file holds "
                   "(%llu bytes): it is left out\n",
                   f + 1, GbkToUtf8(field.Name()).c_str(), field.offset,
                   static_cast<unsigned long long>(readable));
      continue;
    }
    uint32_t size = field.Size();
    if (field.type == db::kFieldText && field.offset + uint64_t{size} > readable) {
      size = static_cast<uint32_t>(readable - field.offset);
      std::fprintf(stderr,
                   "mcn: field %zu (%s) claims %u bytes, the records hold %u of them: it keeps "
                   "%u bytes in the new pair\n",
                   f + 1, GbkToUtf8(field.Name()).c_str(), field.declared_length, size, size);
    }
    if (planned + size > record_budget) {
      std::fprintf(stderr,
                   "mcn: field %zu (%s) overlaps other fields and would make the new record more "
                   "than twice the source's: it is left out\n",
                   f + 1, GbkToUtf8(field.Name()).c_str());
      continue;
    }
    planned += size;
    std::string name = field.Name();
    name.resize(db::CutWithoutSplitting(name, db::kMaxFieldNameBytes));
    std::string base = name;
    if (name.empty() || taken[GbkAsciiToLower(name)]) {
      base = Utf8ToGbk("字段") + std::to_string(f + 1);
      name = base;
      for (char extra = 'a'; taken[GbkAsciiToLower(name)] && extra <= 'z'; ++extra) {
        name = base + extra;
      }
      std::fprintf(stderr, "mcn: field %zu (%s) is called %s in the new pair\n", f + 1,
                   GbkToUtf8(field.Name()).c_str(), GbkToUtf8(name).c_str());
    }
    taken[GbkAsciiToLower(name)] = true;
    CopiedField copied;
    copied.source = f;
    copied.read_size = size;
    copied.target = field;
    if (field.type == db::kFieldText) copied.target.declared_length = size;
    copied.target.SetName(name);
    plan.push_back(copied);
  }
  return plan;
}

// The serials of the new pair, decided before any record is written so that every new serial
// can be told apart from every kept one.
class SerialPlan {
 public:
  // `stored` holds each record's serial as stored (0 when the file cuts the record off before it).
  explicit SerialPlan(const std::vector<int32_t>& stored) {
    const size_t n = stored.size();
    final_.assign(n, 0);
    why_.assign(n, nullptr);
    std::unordered_set<int32_t> live;
    for (size_t i = 0; i < n; ++i) {
      const int32_t serial = stored[i];
      const int64_t magnitude = serial < 0 ? -int64_t{serial} : serial;
      if (serial == 0) {
        why_[i] = "marks it neither live nor deleted";
      } else if (magnitude >= INT32_MAX) {
        why_[i] = "leaves no room for a next serial above it";
      } else if (serial > 0 && !live.insert(serial).second) {
        why_[i] = "repeats an earlier record's";
      } else {
        final_[i] = serial;
        used_.insert(static_cast<int32_t>(magnitude));
        highest_ = std::max(highest_, magnitude);
      }
    }
    for (size_t i = 0; i < n; ++i) {
      if (why_[i] == nullptr) continue;
      const int32_t fresh = Fresh();
      // A deleted record stays deleted; one with serial 0 counts as live.
      final_[i] = stored[i] < 0 ? -fresh : fresh;
    }
  }

  int32_t Final(size_t position) const { return final_[position]; }
  // Why the record's stored serial was replaced, or null when it was kept.
  const char* Why(size_t position) const { return why_[position]; }
  // Above the magnitude of every serial of the new pair, and at most INT32_MAX: the stored next
  // serial when it lies above them all and leaves room for another record, else the one right
  // above the highest.
  int32_t Next(int32_t stored_next) const {
    if (stored_next > highest_ && stored_next < INT32_MAX) return stored_next;
    return static_cast<int32_t>(highest_ + 1);
  }

 private:
  // Above every serial while the next serial still fits above it, else the lowest unused one.
  int32_t Fresh() {
    if (highest_ + 1 < INT32_MAX) {
      ++highest_;
      used_.insert(static_cast<int32_t>(highest_));
      return static_cast<int32_t>(highest_);
    }
    while (used_.count(lowest_free_) > 0) ++lowest_free_;
    used_.insert(lowest_free_);
    return lowest_free_;
  }

  std::vector<int32_t> final_;
  std::vector<const char*> why_;
  std::unordered_set<int32_t> used_;  // magnitudes of the new pair's serials
  int64_t highest_ = 0;
  int32_t lowest_free_ = 1;
};

class Recovery {
 public:
  Recovery(db::DatabaseFiles* source, const db::CheckReport* report, uint64_t byte_budget)
      : source_(source), report_(report), target_memo_(&policy_), budget_(byte_budget) {
    policy_.lock_free = true;  // the new pair is nobody else's yet
  }

  int Run(const std::string& target_path, std::vector<CopiedField>* plan);
  int64_t records() const { return written_; }
  int64_t lost_values() const { return lost_; }
  // True when the copy stopped because it would have grown past its byte budget.
  bool over_budget() const { return over_budget_; }

 private:
  int ReadSerials(int64_t total, std::vector<int32_t>* serials);
  int CopyRecord(int64_t position, const std::string& bytes, uint64_t available, std::string* out);
  // Counts bytes about to be written; false (and over_budget_) when they pass the budget.
  bool Spend(uint64_t bytes) {
    spent_ += bytes;
    if (spent_ <= budget_) return true;
    over_budget_ = true;
    return false;
  }
  void Lost(int64_t position, const CopiedField& field, const std::string& why) {
    ++lost_;
    std::fprintf(stderr, "mcn: record %lld field %s: %s; left empty\n",
                 static_cast<long long>(position) + 1, GbkToUtf8(field.target.Name()).c_str(),
                 why.c_str());
  }

  db::DatabaseFiles* source_;
  const db::CheckReport* report_;
  db::LockPolicy policy_;
  db::MemoFile target_memo_;
  std::vector<CopiedField>* plan_ = nullptr;
  std::unique_ptr<SerialPlan> serials_;
  size_t next_head_ = 0;  // the walk's chain heads come in record order
  uint64_t budget_;
  uint64_t spent_ = 0;
  bool over_budget_ = false;
  int64_t written_ = 0;
  int64_t lost_ = 0;
};

int Recovery::ReadSerials(int64_t total, std::vector<int32_t>* serials) {
  const auto source_size = static_cast<uint64_t>(report_->header.record_size);
  serials->assign(static_cast<size_t>(total), 0);
  for (int64_t position = 0; position < total; ++position) {
    const uint64_t available =
        position < report_->whole_records ? source_size : report_->partial_record_bytes;
    if (available < db::kSerialSize) continue;
    char word[4];
    size_t done = 0;
    FileError error = source_->record().ReadAt(report_->records_start + position * source_size,
                                               word, sizeof word, &done);
    if (error != FileError::kNone) return db::FileErrorCode(error, db::kReadRecordFailed);
    if (done != sizeof word) return db::kReadRecordFailed;
    (*serials)[static_cast<size_t>(position)] = db::DecodeInt32(word);
  }
  return db::kOk;
}

int Recovery::Run(const std::string& target_path, std::vector<CopiedField>* plan) {
  plan_ = plan;
  std::vector<db::FieldDescriptor> fields;
  for (const CopiedField& field : *plan) fields.push_back(field.target);
  const int64_t record_size = db::LayOutFields(&fields);
  if (record_size < 0) return db::kInvalidFieldSize;
  for (size_t i = 0; i < plan->size(); ++i) (*plan)[i].target = fields[i];

  const auto source_size = static_cast<uint64_t>(report_->header.record_size);
  const int64_t total = report_->whole_records + (report_->partial_record_bytes > 0 ? 1 : 0);
  std::vector<int32_t> stored;
  int rc = ReadSerials(total, &stored);
  if (rc != db::kOk) return rc;
  serials_ = std::make_unique<SerialPlan>(stored);

  // The same password guards the new pair.
  db::RecordHeader header = report_->header;
  header.version = db::kFormatVersion;
  header.creation_time = db::CurrentDayNumber();
  header.record_size = static_cast<int32_t>(record_size);
  const uint64_t records_start = db::RecordsStart(fields.size());
  if (!Spend(records_start)) return db::kDiskFull;
  rc = db::WriteEmptyDatabase(target_path, header, fields);
  if (rc != db::kOk) return rc;
  const bool needs_memo = std::any_of(fields.begin(), fields.end(),
                                      [](const auto& f) { return db::IsChainField(f.type); });
  if (needs_memo) {
    if (!Spend(db::kMemoBlockSize)) return db::kDiskFull;
    rc = target_memo_.Open(db::MemoPathFor(target_path), db::OpenAccess::kReadWrite,
                           db::OpenShare::kDenyBoth, db::kFormatVersion);
    if (rc != db::kOk) return rc;
  }
  File target;
  FileError error =
      File::Open(target_path, platform::FileAccess::kReadWrite, platform::FileShare::kExclusive,
                 platform::FileCreate::kOpenExisting, &target);
  if (error != FileError::kNone) return db::FileErrorCode(error, db::kOpenFailed);

  std::string bytes, out;
  for (int64_t position = 0; position < total; ++position) {
    const uint64_t available =
        position < report_->whole_records ? source_size : report_->partial_record_bytes;
    if (!db::TryResize(&bytes, static_cast<size_t>(available))) return db::kAllocationFailed;
    size_t done = 0;
    error = source_->record().ReadAt(report_->records_start + position * source_size, bytes.data(),
                                     bytes.size(), &done);
    if (error != FileError::kNone) return db::FileErrorCode(error, db::kReadRecordFailed);
    if (done != bytes.size()) return db::kReadRecordFailed;
    if (!Spend(static_cast<uint64_t>(record_size))) return db::kDiskFull;
    rc = CopyRecord(position, bytes, available, &out);
    if (rc != db::kOk) return rc;
    error = target.WriteAt(records_start + static_cast<uint64_t>(written_) * out.size(), out.data(),
                           out.size());
    if (error != FileError::kNone) return db::FileErrorCode(error, db::kWriteRecordFailed);
    ++written_;
  }
  // The count and next serial last: until then the new file holds no records.
  char counts[8];
  db::EncodeInt32(counts, static_cast<int32_t>(written_));
  db::EncodeInt32(counts + 4, serials_->Next(report_->header.next_serial));
  error = target.WriteAt(db::kRecordCountOffset, counts, sizeof counts);
  return db::FileErrorCode(error, db::kWriteRecordFailed);
}

int Recovery::CopyRecord(int64_t position, const std::string& bytes, uint64_t available,
                         std::string* out) {
  const std::vector<db::FieldDescriptor>& fields = report_->fields;
  uint64_t size = db::kSerialSize;
  for (const CopiedField& field : *plan_) size += field.target.Size();
  if (!db::TryResize(out, static_cast<size_t>(size))) return db::kAllocationFailed;
  std::fill(out->begin(), out->end(), '\0');

  // The serial and the deleted mark, unless the serial is missing, 0, taken or too high.
  const auto at = static_cast<size_t>(position);
  const int32_t serial = serials_->Final(at);
  if (const char* why = serials_->Why(at)) {
    const int32_t stored = available >= db::kSerialSize ? db::DecodeInt32(bytes.data()) : 0;
    std::fprintf(stderr, "mcn: record %lld: serial %d %s; it gets serial %d\n",
                 static_cast<long long>(position) + 1, stored, why, serial < 0 ? -serial : serial);
  }
  db::EncodeInt32(out->data(), serial);

  for (const CopiedField& field : *plan_) {
    const db::FieldDescriptor& from = fields[field.source];
    char* to = out->data() + field.target.offset;
    const uint64_t end = uint64_t{from.offset} + field.read_size;
    const bool inside = end <= static_cast<uint64_t>(report_->header.record_size);
    // The walk saw this field's chain head exactly when its four bytes could be read.
    const bool head_here = next_head_ < report_->walk.heads.size() &&
                           report_->walk.heads[next_head_].record == position &&
                           report_->walk.heads[next_head_].field == field.source;
    if (!inside || end > available) {
      Lost(position, field,
           !inside ? "the field lies outside the record (" +
                         std::to_string(report_->header.record_size) + " bytes)"
                   : "the file ends inside the record");
      continue;
    }
    if (!db::IsChainField(from.type)) {
      std::memcpy(to, bytes.data() + from.offset, field.read_size);
      continue;
    }
    if (!head_here) {
      Lost(position, field, "its chain head was not read");
      continue;
    }
    const size_t head_index = next_head_++;
    const uint32_t first = report_->walk.heads[head_index].block;
    if (first == 0) continue;
    const std::string& problem = head_index < report_->chains.chain_problem.size()
                                     ? report_->chains.chain_problem[head_index]
                                     : std::string();
    if (!source_->memo_open() || !report_->memo_header_read) {
      Lost(position, field, "the memo file cannot be read");
      continue;
    }
    if (!problem.empty()) {
      Lost(position, field, problem);
      continue;
    }
    std::string value;
    int rc = db::ReadWalkedChain(source_->memo(), first, &value);
    if (rc == db::kAllocationFailed) return rc;
    if (rc != db::kOk) {
      Lost(position, field, "its chain cannot be read: " + std::to_string(rc));
      continue;
    }
    const uint64_t blocks = (value.size() + db::kMemoBlockDataSize - 1) / db::kMemoBlockDataSize;
    if (!Spend(blocks * db::kMemoBlockSize)) return db::kDiskFull;
    uint32_t new_first = 0;
    rc = target_memo_.WriteChain(0, value, &new_first);
    if (rc != db::kOk) return rc;
    db::EncodeFixed32(to, new_first);
  }
  // Heads of fields that were left out of the new pair.
  while (next_head_ < report_->walk.heads.size() &&
         report_->walk.heads[next_head_].record == position) {
    ++next_head_;
  }
  return db::kOk;
}

// Walks the new pair as `check` does (and opens it through the engine, whose reader must accept
// it); prints what is wrong and returns false when it is not sound.
bool NewPairIsSound(const std::string& target_path, const std::string& password_gbk,
                    const Invocation& invocation) {
  db::CheckReport report;
  {
    db::DatabaseFiles files;
    int rc = files.Open(target_path, platform::FileAccess::kRead, kLockWaitMs);
    if (rc != db::kOk) {
      std::fprintf(stderr, "mcn: the new pair cannot be opened for its check: %d %s\n", rc,
                   db::EngineMessageUtf8(rc));
      return false;
    }
    files.Analyze(password_gbk, &report);
  }
  if (report.code != db::kOk || report.HasDamage() || report.leaked_blocks() > 0) {
    PrintFindings(report, stderr);
    return false;
  }
  Invocation copy = invocation;
  copy.file = GbkToUtf8(target_path);
  std::unique_ptr<db::DatabaseHandle> handle;
  int rc = OpenDatabase(copy, OpenPurpose::kLook, &handle);
  if (rc != db::kOk) {
    std::fprintf(stderr, "mcn: the engine refuses to open the new pair: %d %s\n", rc,
                 db::EngineMessageUtf8(rc));
    return false;
  }
  return true;
}

}  // namespace

int RecoverCommand(const Invocation& invocation) {
  std::string source_path;
  if (!FullPathOf(invocation, &source_path)) return ReportEngineError(db::kInvalidPath);
  std::string target_name;
  if (!Utf8ToGbkStrict(invocation.operands[0], &target_name) || target_name.empty()) {
    return ReportEngineError(db::kInvalidPath);
  }
  const std::string target_path = db::FullPathOf(target_name, db::kRecordFileExtension);

  db::DatabaseFiles files;
  int rc = files.Open(source_path, platform::FileAccess::kRead, kLockWaitMs);
  if (rc != db::kOk) return ReportEngineError(rc);
  rc = files.LockWhole(false);
  if (rc != db::kOk) return ReportEngineError(rc);
  db::CheckReport report;
  files.Analyze(Utf8ToGbk(invocation.password), &report);
  if (report.code == db::kWrongPassword) return ReportEngineError(report.code);
  if (report.code != db::kOk) {
    for (const db::Finding& finding : report.findings) {
      std::fprintf(stderr, "mcn: %s\n", finding.text.c_str());
    }
    std::fprintf(stderr, "mcn: nothing can be recovered: the records cannot be found\n");
    return ReportEngineError(report.code);
  }

  std::vector<CopiedField> plan = PlanFields(report);
  if (plan.empty()) {
    return ReportError("no field of a known type: nothing can be recovered", kExitFailure);
  }
  const bool needs_memo = std::any_of(plan.begin(), plan.end(), [](const CopiedField& f) {
    return db::IsChainField(f.target.type);
  });
  // The copy is as private as its source.
  mode_t mode = 0600;
  if (!PermissionsOf(files.record(), &mode)) {
    return ReportError("the permissions of " + Utf8(source_path) + " cannot be read", kExitFailure);
  }
  std::string error;
  if (!ClaimNewPair(target_path, needs_memo, mode, &error)) {
    return ReportError(error, kExitFailure);
  }
  const uint64_t budget =
      kGrowthFactor * (report.record_file_length + report.memo_length) + kGrowthAllowance;
  // The recovery holds the new memo file open, denying others, until it goes out of scope.
  auto recovery = std::make_unique<Recovery>(&files, &report, budget);
  rc = recovery->Run(target_path, &plan);
  const int64_t records = recovery->records();
  const int64_t lost_values = recovery->lost_values();
  const bool over_budget = recovery->over_budget();
  recovery.reset();
  if (rc != db::kOk) {
    RemoveNewPair(target_path, needs_memo);
    if (over_budget) {
      std::fprintf(stderr,
                   "mcn: the copy would grow past %llu bytes, more than its source can "
                   "hold; nothing was left behind\n",
                   static_cast<unsigned long long>(budget));
      return kExitFailure;
    }
    std::fprintf(stderr, "mcn: recovery failed; nothing was left behind\n");
    return ReportEngineError(rc);
  }
  // Writers of the new pair may have replaced a file; its permissions stay the source's.
  if (!SetPermissions(target_path, mode) ||
      (needs_memo && !SetPermissions(db::MemoPathFor(target_path), mode))) {
    return ReportError("the permissions of " + Utf8(target_path) + " cannot be set", kExitFailure);
  }
  if (!NewPairIsSound(target_path, Utf8ToGbk(invocation.password), invocation)) {
    std::fprintf(stderr, "mcn: the new pair %s still has damage; it is kept for inspection\n",
                 Utf8(target_path).c_str());
    return kExitFailure;
  }
  std::printf("recovered %lld record%s into %s", static_cast<long long>(records),
              records == 1 ? "" : "s", Utf8(target_path).c_str());
  if (lost_values > 0) {
    std::printf(" (%lld value%s could not be read and %s empty)",
                static_cast<long long>(lost_values), lost_values == 1 ? "" : "s",
                lost_values == 1 ? "is" : "are");
  }
  std::printf("\n");
  return kExitOk;
}

}  // namespace memo::mcn
