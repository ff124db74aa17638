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
// 0 or one that repeats an earlier live record's gets a new serial above every other, the next
// serial lies above all of them, and every chain is written fresh. The names of the new pair are
// claimed before anything is written and removed again if the copy fails.
#include <algorithm>
#include <cstdio>
#include <map>
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
#include "tools/mcn/new_pair.h"

namespace memo::mcn {

namespace {

using platform::File;
using platform::FileError;

// One field of the new pair and where its value comes from.
struct CopiedField {
  size_t source = 0;           // field number in the source
  db::FieldDescriptor target;  // name, type, length and new offset
};

// The fields of the new pair: every source field of a known type, in order, renamed where the
// name is empty, repeated (ignoring case) or has no NUL in its place.
std::vector<CopiedField> PlanFields(const std::vector<db::FieldDescriptor>& fields) {
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
    copied.target = field;
    copied.target.SetName(name);
    plan.push_back(copied);
  }
  return plan;
}

class Recovery {
 public:
  Recovery(db::DatabaseFiles* source, const db::CheckReport* report)
      : source_(source), report_(report), target_memo_(&policy_) {
    policy_.lock_free = true;  // the new pair is nobody else's yet
  }

  int Run(const std::string& target_path, std::vector<CopiedField>* plan);
  int64_t records() const { return written_; }
  int64_t lost_values() const { return lost_; }

 private:
  int CopyRecord(int64_t position, const std::string& bytes, uint64_t available,
                 std::string* out);
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
  size_t next_head_ = 0;  // the walk's chain heads come in record order
  std::unordered_set<int32_t> live_serials_;
  int64_t highest_ = 0;
  int64_t written_ = 0;
  int64_t lost_ = 0;
};

int Recovery::Run(const std::string& target_path, std::vector<CopiedField>* plan) {
  plan_ = plan;
  std::vector<db::FieldDescriptor> fields;
  for (const CopiedField& field : *plan) fields.push_back(field.target);
  const int64_t record_size = db::LayOutFields(&fields);
  if (record_size < 0) return db::kInvalidFieldSize;
  for (size_t i = 0; i < plan->size(); ++i) (*plan)[i].target = fields[i];

  // The same password guards the new pair.
  db::RecordHeader header = report_->header;
  header.version = db::kFormatVersion;
  header.creation_time = db::CurrentDayNumber();
  header.record_size = static_cast<int32_t>(record_size);
  int rc = db::WriteEmptyDatabase(target_path, header, fields);
  if (rc != db::kOk) return rc;
  const bool needs_memo = std::any_of(fields.begin(), fields.end(), [](const auto& f) {
    return db::IsChainField(f.type);
  });
  if (needs_memo) {
    rc = target_memo_.Open(db::MemoPathFor(target_path), db::OpenAccess::kReadWrite,
                           db::OpenShare::kDenyBoth, db::kFormatVersion);
    if (rc != db::kOk) return rc;
  }
  File target;
  FileError error = File::Open(target_path, platform::FileAccess::kReadWrite,
                               platform::FileShare::kExclusive, platform::FileCreate::kOpenExisting,
                               &target);
  if (error != FileError::kNone) return db::FileErrorCode(error, db::kOpenFailed);

  highest_ = report_->highest_serial;
  const auto source_size = static_cast<uint64_t>(report_->header.record_size);
  const uint64_t records_start = db::RecordsStart(fields.size());
  const int64_t total = report_->whole_records + (report_->partial_record_bytes > 0 ? 1 : 0);
  std::string bytes, out;
  for (int64_t position = 0; position < total; ++position) {
    const uint64_t available =
        position < report_->whole_records ? source_size : report_->partial_record_bytes;
    if (!db::TryResize(&bytes, static_cast<size_t>(available))) return db::kAllocationFailed;
    size_t done = 0;
    error = source_->record().ReadAt(report_->records_start + position * source_size,
                                     bytes.data(), bytes.size(), &done);
    if (error != FileError::kNone) return db::FileErrorCode(error, db::kReadRecordFailed);
    if (done != bytes.size()) return db::kReadRecordFailed;
    rc = CopyRecord(position, bytes, available, &out);
    if (rc != db::kOk) return rc;
    error = target.WriteAt(records_start + static_cast<uint64_t>(written_) * out.size(),
                           out.data(), out.size());
    if (error != FileError::kNone) return db::FileErrorCode(error, db::kWriteRecordFailed);
    ++written_;
  }
  // The count and next serial last: until then the new file holds no records.
  const int64_t next = std::max<int64_t>(report_->header.next_serial, highest_ + 1);
  char counts[8];
  db::EncodeInt32(counts, static_cast<int32_t>(written_));
  db::EncodeInt32(counts + 4, static_cast<int32_t>(std::min<int64_t>(next, INT32_MAX)));
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

  // The serial and the deleted mark, unless the serial is missing, 0 or taken.
  int32_t serial = available >= 4 ? db::DecodeInt32(bytes.data()) : 0;
  if (serial == 0 || (serial > 0 && live_serials_.count(serial) > 0)) {
    const int32_t fresh = highest_ < INT32_MAX ? static_cast<int32_t>(++highest_) : serial;
    std::fprintf(stderr, "mcn: record %lld: serial %d %s; it gets serial %d\n",
                 static_cast<long long>(position) + 1, serial,
                 serial == 0 ? "marks it neither live nor deleted" : "repeats an earlier record's",
                 fresh);
    serial = fresh;
  }
  if (serial > 0) live_serials_.insert(serial);
  db::EncodeInt32(out->data(), serial);

  for (const CopiedField& field : *plan_) {
    const db::FieldDescriptor& from = fields[field.source];
    char* to = out->data() + field.target.offset;
    const uint64_t end = uint64_t{from.offset} + from.Size();
    const bool inside = db::FieldReadable(from, report_->header.record_size);
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
      std::memcpy(to, bytes.data() + from.offset, from.Size());
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

  std::vector<CopiedField> plan = PlanFields(report.fields);
  if (plan.empty()) {
    return ReportError("no field of a known type: nothing can be recovered", kExitFailure);
  }
  const bool needs_memo = std::any_of(plan.begin(), plan.end(), [](const CopiedField& f) {
    return db::IsChainField(f.target.type);
  });
  std::string error;
  if (!ClaimNewPair(target_path, needs_memo, &error)) return ReportError(error, kExitFailure);
  Recovery recovery(&files, &report);
  rc = recovery.Run(target_path, &plan);
  if (rc != db::kOk) {
    RemoveNewPair(target_path, needs_memo);
    std::fprintf(stderr, "mcn: recovery failed; nothing was left behind\n");
    return ReportEngineError(rc);
  }
  std::printf("recovered %lld record%s into %s", static_cast<long long>(recovery.records()),
              recovery.records() == 1 ? "" : "s", Utf8(target_path).c_str());
  if (recovery.lost_values() > 0) {
    std::printf(" (%lld value%s could not be read and %s empty)",
                static_cast<long long>(recovery.lost_values()),
                recovery.lost_values() == 1 ? "" : "s", recovery.lost_values() == 1 ? "is" : "are");
  }
  std::printf("\n");
  return kExitOk;
}

}  // namespace memo::mcn
