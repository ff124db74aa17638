#include "tests/crash/crash_db.h"

#include <cstdlib>

#include "db/check.h"
#include "db/coding.h"
#include "db/create.h"
#include "db/file_names.h"
#include "tests/support/test_util.h"

namespace memo::crash {
namespace {

using db::testing::ReadAll;
using db::testing::WriteAll;

constexpr int kMemoFields[] = {2, 3};

std::string Abbreviated(const std::string& text) {
  if (text.size() <= 12) return text;
  return text.substr(0, 6) + "..(" + std::to_string(text.size()) + ")";
}

bool IsBlankDeleted(const Row& row) { return row.serial == -1 && row == Row{-1, "", 0, "", ""}; }

std::string MemoOf(const Row& row, int field) { return field == 2 ? row.m : row.f; }

// A chain rewritten in place may be caught with some of its reused blocks written: each reused
// block but the last holds its old or its new piece, and the last reused block either still
// leads to the old rest or already to the new one.
bool IsMix(const std::string& old_value, const std::string& new_value, const std::string& got) {
  if (got == old_value || got == new_value) return true;
  const size_t old_blocks = (old_value.size() + 499) / 500;
  const size_t new_blocks = (new_value.size() + 499) / 500;
  const size_t reused = std::min(old_blocks, new_blocks);
  if (reused < 2) return false;
  size_t at = 0;
  for (size_t i = 0; i + 1 < reused; ++i, at += 500) {
    if (got.size() < at + 500) return false;
    const std::string piece = got.substr(at, 500);
    if (piece != old_value.substr(at, 500) && piece != new_value.substr(at, 500)) return false;
  }
  const std::string rest = got.substr(at);
  return rest == old_value.substr(at) || rest == new_value.substr(at);
}

}  // namespace

std::string Describe(const Rows& rows) {
  std::string out;
  for (const Row& row : rows) {
    out += "[" + std::to_string(row.serial) + " " + row.k + " " + std::to_string(row.n) + " " +
           Abbreviated(row.m) + " " + Abbreviated(row.f) + "] ";
  }
  return out;
}

std::string Text(size_t length, int seed) {
  std::string text(length, 'a');
  for (size_t i = 0; i < length; ++i) {
    text[i] = static_cast<char>('a' + (i * 7 + static_cast<size_t>(seed) * 5 + i / 500 * 3) % 26);
  }
  return text;
}

void PrintTo(const Row& row, std::ostream* out) { *out << Describe(Rows{row}); }

void CreateTable(const std::string& path, uint32_t key_length) {
  db::testing::MustCreate(path, {{"k", db::kFieldText, key_length},
                                 {"n", db::kFieldInt, 0},
                                 {"m", db::kFieldMemo, 0},
                                 {"f", db::kFieldMemo, 0}});
}

Snapshot Snapshot::Take(const std::string& path) {
  return {ReadAll(path), ReadAll(db::MemoFileName(path))};
}

void Snapshot::Restore(const std::string& path) const {
  WriteAll(path, record);
  WriteAll(db::MemoFileName(path), memo);
}

const char* KindName(Op::Kind kind) {
  switch (kind) {
    case Op::kAdd: return "add";
    case Op::kModify: return "modify";
    case Op::kWriteField: return "write field";
    case Op::kAppendBlank: return "append blank";
    case Op::kPackRange: return "pack range";
    case Op::kPackDeleted: return "pack deleted";
    case Op::kClear: return "clear";
  }
  return "?";
}

db::EngineCode Apply(db::DatabaseHandle* handle, const Op& op) {
  TypedValue values[4];
  const Row& v = op.values;
  if (op.given & 1) values[0] = db::testing::TextCell(v.k);
  if (op.given & 2) values[1] = db::testing::IntCell(v.n);
  if (op.given & 4) values[2] = db::testing::TextCell(v.m);
  if (op.given & 8) values[3] = db::testing::TextCell(v.f);
  switch (op.kind) {
    case Op::kAdd: return handle->AddRecord(values, 4);
    case Op::kModify:
      handle->set_current_record(op.position);
      return handle->ModifyRecord(values, 4);
    case Op::kWriteField:
      handle->set_current_record(op.position);
      return handle->WriteField(op.field, values[op.field]);
    case Op::kAppendBlank: return handle->AppendBlank();
    case Op::kPackRange: return handle->PackRange(op.position, op.count);
    case Op::kPackDeleted: return handle->PackDeleted();
    case Op::kClear: return handle->ClearAll();
  }
  return db::kUnknownError;
}

std::string ReadRows(const std::string& path, db::OpenAccess access, Rows* rows) {
  rows->clear();
  db::OpenOptions options;
  options.access = access;
  std::unique_ptr<db::DatabaseHandle> handle;
  db::EngineCode rc = db::DatabaseHandle::Open(path, options, &handle);
  if (rc != db::kOk) return "open failed with " + std::to_string(rc);
  int32_t count = 0;
  rc = handle->ReadRecordCount(&count);
  if (rc != db::kOk) return "record count failed with " + std::to_string(rc);
  for (int32_t i = 0; i < count; ++i) {
    Row row;
    std::string bytes;
    rc = handle->ReadRecordBytes(i, &bytes);
    if (rc != db::kOk) return "record " + std::to_string(i) + " failed with " + std::to_string(rc);
    row.serial = db::DecodeInt32(bytes.data());
    handle->set_current_record(i);
    std::string* texts[] = {&row.k, nullptr, &row.m, &row.f};
    for (int field = 0; field < 4; ++field) {
      std::string value;
      rc = handle->ReadFieldBytes(field, &value);
      if (rc != db::kOk) {
        return "field " + std::to_string(field) + " of record " + std::to_string(i) +
               " failed with " + std::to_string(rc);
      }
      if (texts[field] != nullptr) {
        *texts[field] = value;
      } else {
        row.n = value.size() == 4 ? db::DecodeInt32(value.data()) : -12345;
      }
    }
    rows->push_back(row);
  }
  return "";
}

std::vector<std::string> NonLeakProblems(const std::string& path) {
  db::OpenOptions options;
  options.access = db::OpenAccess::kReadOnly;
  std::unique_ptr<db::DatabaseHandle> handle;
  db::EngineCode rc = db::DatabaseHandle::Open(path, options, &handle);
  if (rc != db::kOk) return {"open for the walk failed with " + std::to_string(rc)};
  db::CheckReport report;
  int walk = db::CheckDatabase(handle.get(), &report);
  if (walk != db::kOk) return {"the walk failed with " + std::to_string(walk)};
  std::vector<std::string> others;
  for (const db::Finding& finding : report.findings) {
    if (finding.kind == db::FindingKind::kDamage) others.push_back(finding.text);
  }
  return others;
}

std::string CheckStopped(const Op& op, const Rows& before, const Rows& after, const Rows& got) {
  switch (op.kind) {
    case Op::kAdd:
    case Op::kAppendBlank:
      return got == before || got == after ? "" : "neither the rows before nor after";
    case Op::kClear: return got == before || got.empty() ? "" : "neither the rows before nor none";
    case Op::kModify:
    case Op::kWriteField: {
      if (got.size() != before.size()) return "the record count changed";
      const size_t p = static_cast<size_t>(op.position);
      for (size_t i = 0; i < got.size(); ++i) {
        if (i != p && !(got[i] == before[i])) return "record " + std::to_string(i) + " changed";
      }
      const Row &old_row = before[p], &new_row = after[p], &row = got[p];
      const bool fixed_old =
          row.serial == old_row.serial && row.k == old_row.k && row.n == old_row.n;
      const bool fixed_new =
          row.serial == new_row.serial && row.k == new_row.k && row.n == new_row.n;
      if (!fixed_old && !fixed_new) return "fixed fields neither old nor new";
      for (int field : kMemoFields) {
        const std::string got_value = MemoOf(row, field);
        if (fixed_new && !fixed_old && got_value != MemoOf(new_row, field)) {
          return "the record was written before its chain";
        }
        if (!IsMix(MemoOf(old_row, field), MemoOf(new_row, field), got_value)) {
          return "memo field " + std::to_string(field) + " is neither old, new nor a mix";
        }
      }
      return "";
    }
    case Op::kPackRange:
    case Op::kPackDeleted: {
      // Every kept record exactly once, in order; records not yet passed over as they were;
      // blank deleted records between them.
      std::vector<bool> kept(before.size(), false);
      size_t a = 0;
      for (size_t b = 0; b < before.size() && a < after.size(); ++b) {
        if (before[b] == after[a]) {
          kept[b] = true;
          ++a;
        }
      }
      if (a != after.size()) return "the packed rows are not a part of the rows before";
      size_t b = 0;
      for (const Row& row : got) {
        if (IsBlankDeleted(row)) continue;
        while (b < before.size() && !(before[b] == row)) {
          if (kept[b]) return "kept record " + std::to_string(b) + " is missing";
          ++b;
        }
        if (b == before.size()) return "a record that was not there before, or twice";
        ++b;
      }
      for (; b < before.size(); ++b) {
        if (kept[b]) return "kept record " + std::to_string(b) + " is missing at the end";
      }
      return "";
    }
  }
  return "unknown operation";
}

std::string CheckFiles(const std::string& path, const Op& op, const Rows& before, const Rows& after,
                       bool unchanged) {
  Rows read_only, repairing;
  std::string why = ReadRows(path, db::OpenAccess::kReadOnly, &read_only);
  if (!why.empty()) return "read-only: " + why;
  std::vector<std::string> problems = NonLeakProblems(path);
  if (!problems.empty()) return "integrity: " + problems.front();
  why = ReadRows(path, db::OpenAccess::kRepairing, &repairing);
  if (!why.empty()) return "default access: " + why;
  // The default access drops the blank deleted records that a stopped pack left after the last
  // record (they are never memos); it reads every other row as the read-only access does.
  Rows expected = read_only;
  while (!expected.empty() && IsBlankDeleted(expected.back())) expected.pop_back();
  if (!(repairing == expected)) return "the default access reads other rows";
  if (unchanged) {
    return read_only == before ? ""
                               : "changed by a failed " + std::string(KindName(op.kind)) + ": " +
                                     Describe(read_only);
  }
  why = CheckStopped(op, before, after, read_only);
  if (!why.empty()) {
    return std::string(KindName(op.kind)) + ": " + why + "; got " + Describe(read_only) +
           " before " + Describe(before) + " after " + Describe(after);
  }
  return "";
}

Rows RowsAfter(const Snapshot& base, const std::string& scratch, const Op& op) {
  base.Restore(scratch);
  Rows rows;
  {
    std::unique_ptr<db::DatabaseHandle> handle = db::testing::MustOpen(scratch);
    if (handle) db::IgnoreCode(Apply(handle.get(), op));
  }
  std::string why = ReadRows(scratch, db::OpenAccess::kReadOnly, &rows);
  if (!why.empty()) rows.clear();
  return rows;
}

std::string StatesAfterEach(const Snapshot& base, const std::string& path,
                            const std::string& scratch, const std::vector<Op>& ops,
                            std::vector<Rows>* states) {
  states->assign(1, Rows{});
  std::string why = ReadRows(path, db::OpenAccess::kReadOnly, &states->front());
  if (!why.empty()) return "before: " + why;
  base.Restore(scratch);
  for (const Op& op : ops) {
    {
      std::unique_ptr<db::DatabaseHandle> handle = db::testing::MustOpen(scratch);
      if (!handle) return "cannot open the copy";
      const db::EngineCode rc = Apply(handle.get(), op);
      if (rc != db::kOk)
        return std::string(KindName(op.kind)) + " failed with " + std::to_string(rc);
    }
    states->emplace_back();
    why = ReadRows(scratch, db::OpenAccess::kReadOnly, &states->back());
    if (!why.empty()) return "after " + std::string(KindName(op.kind)) + ": " + why;
  }
  return "";
}

int Rounds(int fallback) {
  const char* value = std::getenv("MEMO_CRASH_ROUNDS");
  if (value == nullptr) return fallback;
  const int rounds = std::atoi(value);
  return rounds > 0 ? rounds : fallback;
}

}  // namespace memo::crash
