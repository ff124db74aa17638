// The commands that only look: info, dump, check, export. Each opens the file read-only, so a
// damaged file is reported as it is and never repaired.
#include <unistd.h>

#include <cinttypes>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "db/check.h"
#include "db/engine_code.h"
#include "db/memo_format.h"
#include "platform/codec.h"
#include "platform/file.h"
#include "tools/mcn/cli.h"
#include "tools/mcn/findings.h"
#include "tools/mcn/format.h"
#include "tools/mcn/leftovers.h"
#include "tools/mcn/records.h"

namespace memo::mcn {

namespace {

// A plain listing's cells escape what would break its lines or columns, as JSON strings do.
std::string PlainCell(const std::string& text) { return EscapedCell(text); }

std::string FieldName(const db::FieldDescriptor& field) { return Utf8(field.Name()); }

// A CSV row as it goes to standard output. On a terminal, each cell's control characters are
// escaped as the plain and JSON forms escape them, so that a stored escape sequence cannot steer
// the terminal; into a file or a pipe the bytes stay exactly as stored, for import to read back.
// Rows are gathered and written in large pieces.
class CsvOutput {
 public:
  CsvOutput() : terminal_(::isatty(STDOUT_FILENO) == 1) {}
  ~CsvOutput() { Flush(); }
  CsvOutput(const CsvOutput&) = delete;
  CsvOutput& operator=(const CsvOutput&) = delete;

  void Cell(std::string_view cell) {
    if (!row_start_) buffer_ += ',';
    row_start_ = false;
    if (terminal_) {
      AppendCsvField(EscapedCell(cell), &buffer_);
    } else {
      AppendCsvField(cell, &buffer_);
    }
  }
  void EndRow() {
    buffer_ += "\r\n";
    row_start_ = true;
    if (buffer_.size() >= kFlushBytes) Flush();
  }
  void Row(const std::vector<std::string>& cells) {
    for (const std::string& cell : cells) Cell(cell);
    EndRow();
  }
  void Flush() {
    if (!buffer_.empty()) std::fwrite(buffer_.data(), 1, buffer_.size(), stdout);
    buffer_.clear();
  }

 private:
  static constexpr size_t kFlushBytes = 256 * 1024;
  bool terminal_;
  bool row_start_ = true;
  std::string buffer_;
};

}  // namespace

int InfoCommand(const Invocation& invocation) {
  std::unique_ptr<db::DatabaseHandle> handle;
  int rc = OpenDatabase(invocation, OpenPurpose::kLook, &handle);
  if (rc != db::kOk) return ReportEngineError(rc);
  const db::RecordHeader& header = handle->header();
  int32_t count = 0, next_serial = 1;
  rc = handle->ReadRecordCount(&count, &next_serial);
  if (rc != db::kOk) return ReportEngineError(rc);
  int32_t live = 0, deleted = 0;
  rc = CountRecords(handle.get(), count, &live, &deleted);
  if (rc != db::kOk) return ReportEngineError(rc);

  std::printf("file:          %s\n", Utf8(handle->full_path()).c_str());
  std::printf("magic:         %.4s (%s)\n", header.magic,
              header.IsProtected() ? "password required" : "no password");
  std::printf("version:       0x%08" PRIx32 "\n", header.version);
  std::printf("created:       %s\n", IsoDateTime(header.creation_time).c_str());
  std::printf("records:       %d (%d live, %d deleted)\n", count, live, deleted);
  std::printf("next serial:   %d\n", next_serial);
  std::printf("record size:   %d\n", header.record_size);
  std::printf("records start: %" PRIu64 "\n", handle->records_start());
  std::printf("fields:        %d\n", handle->field_count());
  for (int f = 0; f < handle->field_count(); ++f) {
    const db::FieldDescriptor& field = handle->fields()[static_cast<size_t>(f)];
    std::printf("  %2d  %-16s %-8s offset %-6" PRIu32 " length %" PRIu32 "\n", f + 1,
                FieldName(field).c_str(), TypeWord(field.type), field.offset, field.Size());
  }
  if (db::MemoFile* memo = handle->memo_file()) {
    db::MemoHeader memo_header;
    rc = memo->ReadHeader(&memo_header);
    if (rc != db::kOk) return ReportEngineError(rc);
    uint64_t length = 0;
    rc = db::FileErrorCode(memo->file()->Length(&length), db::kUnknownError);
    if (rc != db::kOk) return ReportEngineError(rc);
    std::printf("memo file:     %s\n", memo->file()->Path().c_str());
    std::printf("  blocks:      %d (header block included; the file holds %" PRIu64 ")\n",
                memo_header.block_count, length / db::kMemoBlockSize);
    std::printf("  free:        %d, first free block %d\n", memo_header.free_count,
                memo_header.free_head);
  } else {
    std::printf("memo file:     none (no memo or byte-set field)\n");
  }
  return kExitOk;
}

int DumpCommand(const Invocation& invocation) {
  std::unique_ptr<db::DatabaseHandle> handle;
  int rc = OpenDatabase(invocation, OpenPurpose::kLook, &handle);
  if (rc != db::kOk) return ReportEngineError(rc);
  const std::vector<db::FieldDescriptor>& fields = handle->fields();

  if (invocation.json) {
    std::string out = "{\"fields\":[";
    for (size_t f = 0; f < fields.size(); ++f) {
      if (f > 0) out += ",";
      out += "{\"name\":" + JsonString(FieldName(fields[f])) +
             ",\"type\":" + JsonString(TypeWord(fields[f].type)) +
             ",\"offset\":" + std::to_string(fields[f].offset) +
             ",\"length\":" + std::to_string(fields[f].Size()) + "}";
    }
    out += "],\n\"records\":[";
    std::fputs(out.c_str(), stdout);
    bool first = true;
    rc = ForEachRecord(
        handle.get(), invocation.all, Notation::kJson, [&](const PrintedRecord& record) {
          std::string line = first ? "\n" : ",\n";
          first = false;
          int64_t serial = record.serial < 0 ? -int64_t{record.serial} : record.serial;
          line += "{\"serial\":" + std::to_string(serial) +
                  ",\"deleted\":" + (record.deleted ? "true" : "false") + ",\"values\":{";
          for (size_t f = 0; f < fields.size(); ++f) {
            if (f > 0) line += ",";
            line += JsonString(FieldName(fields[f])) + ":" + record.values[f];
          }
          line += "}}";
          std::fputs(line.c_str(), stdout);
        });
    std::fputs("\n]}\n", stdout);
  } else if (invocation.csv) {
    CsvOutput csv;
    std::vector<std::string> heading = {"serial", "deleted"};
    for (const db::FieldDescriptor& field : fields) heading.push_back(FieldName(field));
    csv.Row(heading);
    rc = ForEachRecord(
        handle.get(), invocation.all, Notation::kCsv, [&](const PrintedRecord& record) {
          int64_t serial = record.serial < 0 ? -int64_t{record.serial} : record.serial;
          csv.Cell(std::to_string(serial));
          csv.Cell(record.deleted ? "true" : "false");
          for (const std::string& value : record.values) csv.Cell(value);
          csv.EndRow();
        });
  } else {
    std::string heading = "serial";
    for (const db::FieldDescriptor& field : fields) {
      heading += '\t';
      heading += PlainCell(FieldName(field));
    }
    std::printf("%s\n", heading.c_str());
    rc = ForEachRecord(handle.get(), invocation.all, Notation::kPlain,
                       [&](const PrintedRecord& record) {
                         // A deleted record shows its serial negated, as the file stores it.
                         std::string line = std::to_string(record.serial);
                         if (record.deleted) line += " (deleted)";
                         for (const std::string& value : record.values) {
                           line += '\t';
                           line += PlainCell(value);
                         }
                         std::printf("%s\n", line.c_str());
                       });
  }
  return rc == db::kOk ? kExitOk : kExitFailure;
}

int ExportCommand(const Invocation& invocation) {
  std::unique_ptr<db::DatabaseHandle> handle;
  int rc = OpenDatabase(invocation, OpenPurpose::kLook, &handle);
  if (rc != db::kOk) return ReportEngineError(rc);
  CsvOutput csv;
  std::vector<std::string> heading;
  for (const db::FieldDescriptor& field : handle->fields()) heading.push_back(FieldName(field));
  csv.Row(heading);
  rc = ForEachRecord(handle.get(), false, Notation::kCsv,
                     [&](const PrintedRecord& record) { csv.Row(record.values); });
  return rc == db::kOk ? kExitOk : kExitFailure;
}

int CheckCommand(const Invocation& invocation) {
  std::string full_path;
  if (!FullPathOf(invocation, &full_path)) return ReportEngineError(db::kInvalidPath);
  db::CheckReport report;
  {
    db::DatabaseFiles files;
    int rc = files.Open(full_path, platform::FileAccess::kRead, kLockWaitMs);
    if (rc != db::kOk) return ReportEngineError(rc);
    // The RecordFile's whole-file lock keeps every writer out while the walk runs; chain readers
    // elsewhere may go on.
    rc = files.LockWhole(false);
    if (rc != db::kOk) return ReportEngineError(rc);
    files.Analyze(Utf8ToGbk(invocation.password), &report);
  }
  // A sort stopped before its commit leaves its passing files beside the target; nothing reads
  // them, but they hold copies of the records and memos, so the user should know.
  for (const Leftover& leftover : SortLeftovers(full_path)) {
    db::Finding note;
    note.kind = db::FindingKind::kNote;
    note.text = leftover.name + " (" + std::to_string(leftover.bytes) +
                " bytes) is left from a sort into this file that did not finish; unless a query "
                "is running now, it is a stale copy of records and memos that can be removed";
    report.findings.push_back(std::move(note));
  }
  PrintFindings(report);
  if (report.code != db::kOk) return ReportEngineError(report.code);

  // The walk covers every rule of the engine's reader; should they ever part, the engine's word
  // counts as damage.
  if (!report.HasDamage()) {
    std::unique_ptr<db::DatabaseHandle> handle;
    int rc = OpenDatabase(invocation, OpenPurpose::kLook, &handle);
    if (rc != db::kOk && rc != db::kLockFailed) {
      std::printf("damage: the engine refuses to open it: %d %s\n", rc, db::EngineMessageUtf8(rc));
      std::printf("1 problem found\n");
      return kExitFailure;
    }
  }

  const std::string& file = invocation.file;
  if (report.HasDamage()) {
    size_t damage = 0;
    for (const db::Finding& finding : report.findings) {
      if (finding.kind == db::FindingKind::kDamage) ++damage;
    }
    std::printf("%zu problem%s found; ", damage, damage == 1 ? "" : "s");
    if (report.HasUnmendableDamage()) {
      std::printf(
          "mcn repair cannot mend %s without losing data: `mcn recover %s NEWFILE` "
          "copies every value that can be read\n",
          damage == 1 ? "it" : "all of them", file.c_str());
    } else {
      std::printf("`mcn repair %s` mends %s\n", file.c_str(), damage == 1 ? "it" : "them");
    }
    return kExitFailure;
  }
  std::printf("ok: %lld record%s, ", static_cast<long long>(report.whole_records),
              report.whole_records == 1 ? "" : "s");
  const uint64_t leaked = report.leaked_blocks();
  if (leaked > 0) {
    std::printf("no damage; %llu leaked block%s can be reclaimed with `mcn repair %s`\n",
                static_cast<unsigned long long>(leaked), leaked == 1 ? "" : "s", file.c_str());
  } else if (report.memo_tidyable) {
    std::printf("no damage; `mcn repair %s` tidies the memo file\n", file.c_str());
  } else {
    std::printf("no problems found\n");
  }
  return kExitOk;
}

}  // namespace memo::mcn
