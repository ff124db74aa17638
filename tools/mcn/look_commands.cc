// The commands that only look: info, dump, check, export. Each opens the file read-only, so a
// damaged file is reported as it is and never repaired.
#include <cinttypes>
#include <cstdio>
#include <string>
#include <vector>

#include "db/check.h"
#include "db/coding.h"
#include "db/engine_code.h"
#include "db/memo_format.h"
#include "platform/file.h"
#include "tools/mcn/cli.h"
#include "tools/mcn/format.h"
#include "tools/mcn/records.h"

namespace memo::mcn {

namespace {

// Tabs and line breaks in a plain listing would break its lines.
std::string PlainCell(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\\': out += "\\\\"; break;
      default: out += c;
    }
  }
  return out;
}

std::string FieldName(const db::FieldDescriptor& field) { return Utf8(field.Name()); }

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
  std::string raw;
  for (int32_t i = 0; i < count; ++i) {
    rc = handle->ReadRecordBytes(i, &raw);
    if (rc != db::kOk) return ReportEngineError(rc);
    (db::DecodeInt32(raw.data()) < 0 ? deleted : live) += 1;
  }

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
    memo->file()->Length(&length);
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
      out += "{\"name\":" + JsonString(FieldName(fields[f])) + ",\"type\":" +
             JsonString(TypeWord(fields[f].type)) + ",\"offset\":" +
             std::to_string(fields[f].offset) + ",\"length\":" + std::to_string(fields[f].Size()) +
             "}";
    }
    out += "],\n\"records\":[";
    std::fputs(out.c_str(), stdout);
    bool first = true;
    rc = ForEachRecord(handle.get(), invocation.all, Notation::kJson,
                       [&](const PrintedRecord& record) {
      std::string line = first ? "\n" : ",\n";
      first = false;
      int64_t serial = record.serial < 0 ? -int64_t{record.serial} : record.serial;
      line += "{\"serial\":" + std::to_string(serial) + ",\"deleted\":" +
              (record.deleted ? "true" : "false") + ",\"values\":{";
      for (size_t f = 0; f < fields.size(); ++f) {
        if (f > 0) line += ",";
        line += JsonString(FieldName(fields[f])) + ":" + record.values[f];
      }
      line += "}}";
      std::fputs(line.c_str(), stdout);
    });
    std::fputs("\n]}\n", stdout);
  } else if (invocation.csv) {
    std::vector<std::string> heading = {"serial", "deleted"};
    for (const db::FieldDescriptor& field : fields) heading.push_back(FieldName(field));
    std::fputs(CsvRow(heading).c_str(), stdout);
    rc = ForEachRecord(handle.get(), invocation.all, Notation::kCsv,
                       [&](const PrintedRecord& record) {
      int64_t serial = record.serial < 0 ? -int64_t{record.serial} : record.serial;
      std::vector<std::string> row = {std::to_string(serial), record.deleted ? "true" : "false"};
      row.insert(row.end(), record.values.begin(), record.values.end());
      std::fputs(CsvRow(row).c_str(), stdout);
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
  std::vector<std::string> heading;
  for (const db::FieldDescriptor& field : handle->fields()) heading.push_back(FieldName(field));
  std::fputs(CsvRow(heading).c_str(), stdout);
  rc = ForEachRecord(handle.get(), false, Notation::kCsv, [&](const PrintedRecord& record) {
    std::fputs(CsvRow(record.values).c_str(), stdout);
  });
  return rc == db::kOk ? kExitOk : kExitFailure;
}

int CheckCommand(const Invocation& invocation) {
  std::unique_ptr<db::DatabaseHandle> handle;
  int rc = OpenDatabase(invocation, OpenPurpose::kLook, &handle);
  if (rc != db::kOk) return ReportEngineError(rc);
  std::vector<std::string> problems;
  rc = db::CheckDatabase(handle.get(), &problems);
  if (rc != db::kOk) return ReportEngineError(rc);

  // A partial record after the last whole one is what an interrupted append leaves; an open with
  // access 0 cuts it, so it is worth a note but is no damage.
  int32_t count = 0;
  platform::File file;
  uint64_t length = 0;
  if (handle->ReadRecordCount(&count) == db::kOk &&
      platform::File::Open(handle->full_path(), platform::FileAccess::kRead,
                           platform::FileShare::kDenyNone, platform::FileCreate::kOpenExisting,
                           &file) == platform::FileError::kNone &&
      file.Length(&length) == platform::FileError::kNone) {
    uint64_t end = handle->records_start() +
                   static_cast<uint64_t>(count) * static_cast<uint32_t>(handle->record_size());
    if (length > end) {
      std::printf("note: %" PRIu64 " bytes after the last record\n", length - end);
    }
  }

  for (const std::string& problem : problems) std::printf("%s\n", problem.c_str());
  if (!problems.empty()) {
    std::printf("%zu problem%s found\n", problems.size(), problems.size() == 1 ? "" : "s");
    return kExitFailure;
  }
  std::printf("ok: %d records, no problems found\n", count);
  return kExitOk;
}

}  // namespace memo::mcn
