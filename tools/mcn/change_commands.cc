// The commands that change files: create, add, import.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "db/check.h"
#include "db/coding.h"
#include "db/create.h"
#include "db/engine_code.h"
#include "db/file_names.h"
#include "db/lock.h"
#include "platform/codec.h"
#include "platform/file.h"
#include "tools/mcn/cli.h"
#include "tools/mcn/convert.h"
#include "tools/mcn/format.h"
#include "tools/mcn/new_pair.h"

namespace memo::mcn {

namespace {

struct TypeName {
  const char* word;
  uint32_t type;
};

const TypeName kTypeNames[] = {
    {"byte", db::kFieldByte},     {"short", db::kFieldShort},       {"int", db::kFieldInt},
    {"long", db::kFieldLong},     {"float", db::kFieldFloat},       {"double", db::kFieldDouble},
    {"bool", db::kFieldBool},     {"datetime", db::kFieldDateTime}, {"text", db::kFieldText},
    {"bytes", db::kFieldByteSet}, {"memo", db::kFieldMemo},
};

// "NAME:TYPE" or "text" with ":LENGTH". The name is everything before the last type part, so a
// name may not contain ':'.
bool ParseFieldSpec(const std::string& spec, db::FieldSpec* field, std::string* error) {
  size_t colon = spec.find(':');
  if (colon == std::string::npos || colon == 0) {
    *error = "field " + spec + ": expected NAME:TYPE[:LENGTH]";
    return false;
  }
  std::string rest = spec.substr(colon + 1);
  std::string type_word = rest, length_text;
  if (size_t second = rest.find(':'); second != std::string::npos) {
    type_word = rest.substr(0, second);
    length_text = rest.substr(second + 1);
  }
  if (!Utf8ToGbkStrict(spec.substr(0, colon), &field->name)) {
    *error = "field " + spec + ": the name has characters that GBK cannot hold";
    return false;
  }
  field->type = 0;
  for (const TypeName& name : kTypeNames) {
    if (type_word == name.word) field->type = name.type;
  }
  if (field->type == 0) {
    *error = "field " + spec + ": unknown type " + type_word +
             " (byte short int long float double bool datetime text:N bytes memo)";
    return false;
  }
  if (field->type == db::kFieldText) {
    char* end = nullptr;
    long length = length_text.empty() ? 0 : std::strtol(length_text.c_str(), &end, 10);
    if (length_text.empty() || *end != '\0' || length <= 0 || length > 0x7FFFFFFF) {
      *error = "field " + spec + ": text needs a positive length (text:N)";
      return false;
    }
    field->length = static_cast<uint32_t>(length);
  } else if (!length_text.empty()) {
    *error = "field " + spec + ": only text fields take a length";
    return false;
  }
  return true;
}

// Converts one row of texts into values for the fields named by `columns` (field numbers), every
// one checked before any is used. Every FieldValue of `values` (one per field) starts omitted.
// `where` names the row for messages ("" for the command line). Warnings go to stderr at once.
bool RowValues(const db::DatabaseHandle& handle, const std::vector<int>& columns,
               const std::vector<std::string>& texts, const std::string& where,
               std::vector<FieldValue>* values, std::string* error) {
  for (FieldValue& value : *values) value.cell = TypedValue{};
  for (size_t i = 0; i < texts.size() && i < columns.size(); ++i) {
    const db::FieldDescriptor& field = handle.fields()[static_cast<size_t>(columns[i])];
    const std::string place =
        where.empty() ? "field " + Utf8(field.Name()) : where + " column " + Utf8(field.Name());
    std::string why, warning;
    if (!MakeFieldValue(field, texts[i], &(*values)[static_cast<size_t>(columns[i])], &why,
                        &warning)) {
      *error = place + ": " + why;
      return false;
    }
    if (!warning.empty()) {
      std::fprintf(stderr, "mcn: warning: %s: %s\n", place.c_str(), warning.c_str());
    }
  }
  return true;
}

int AddValues(db::DatabaseHandle* handle, const std::vector<FieldValue>& values) {
  std::vector<TypedValue> cells;
  for (const FieldValue& value : values) cells.push_back(value.cell);
  return handle->AddRecord(cells.data(), static_cast<int>(cells.size()));
}

}  // namespace

int CreateCommand(const Invocation& invocation) {
  std::vector<db::FieldSpec> fields;
  for (const std::string& spec : invocation.operands) {
    db::FieldSpec field;
    std::string error;
    if (!ParseFieldSpec(spec, &field, &error)) return ReportError(error, kExitUsage);
    fields.push_back(std::move(field));
  }
  std::string path;
  if (!FullPathOf(invocation, &path)) return ReportEngineError(db::kInvalidPath);
  const bool needs_memo = std::any_of(fields.begin(), fields.end(), [](const db::FieldSpec& f) {
    return db::IsChainField(f.type);
  });
  // Creating would replace files of these names; from the command line that is more likely a
  // slip than a wish. Both names are claimed before anything is written, so that a concurrent
  // create of the same name fails instead of writing over this one.
  std::string error;
  if (!ClaimNewPair(path, needs_memo, DefaultPermissions(), &error)) {
    return ReportError(error, kExitFailure);
  }
  int rc = db::CreateDatabase(path, fields, Utf8ToGbk(invocation.password));
  if (rc != db::kOk) {
    // Nothing of a failed create stays behind.
    RemoveNewPair(path, needs_memo);
    return ReportEngineError(rc);
  }
  std::printf("created %s with %zu field%s\n", Utf8(path).c_str(), fields.size(),
              fields.size() == 1 ? "" : "s");
  return kExitOk;
}

int AddCommand(const Invocation& invocation) {
  std::unique_ptr<db::DatabaseHandle> handle;
  int rc = OpenDatabase(invocation, OpenPurpose::kChange, &handle);
  if (rc != db::kOk) return ReportEngineError(rc);
  const size_t given = invocation.operands.size();
  const auto fields = static_cast<size_t>(handle->field_count());
  if (given > fields || (given < fields && !invocation.partial)) {
    return ReportError("the database has " + std::to_string(fields) + " field" +
                           (fields == 1 ? "" : "s") + ", " + std::to_string(given) + " value" +
                           (given == 1 ? "" : "s") + " given" +
                           (given < fields ? " (--partial leaves the rest empty)" : ""),
                       kExitUsage);
  }
  std::vector<int> columns;
  for (int f = 0; f < handle->field_count(); ++f) columns.push_back(f);
  std::vector<FieldValue> values(fields);
  std::string error;
  if (!RowValues(*handle, columns, invocation.operands, "", &values, &error)) {
    return ReportError(error, kExitFailure);
  }
  rc = AddValues(handle.get(), values);
  if (rc != db::kOk) return ReportEngineError(rc);
  std::string raw;
  if (handle->ReadRecordBytes(handle->current_record(), &raw) == db::kOk && raw.size() >= 4) {
    int32_t serial = db::DecodeInt32(raw.data());
    std::printf("added record %d (serial %d)\n", handle->current_record() + 1, serial);
  }
  return kExitOk;
}

int ImportCommand(const Invocation& invocation) {
  const std::string& csv_path = invocation.operands[0];
  std::ifstream file;
  if (csv_path != "-") {
    file.open(csv_path, std::ios::binary);
    if (!file) return ReportError("cannot read " + csv_path, kExitFailure);
  }
  std::istream& in = csv_path == "-" ? std::cin : file;

  // The whole CSV is read and every value checked before the database is touched, so a file
  // with one bad cell adds nothing.
  CsvReader reader(in);
  std::vector<std::vector<std::string>> rows;
  std::vector<std::string> row;
  std::string error;
  while (reader.Next(&row, &error)) {
    if (row.size() == 1 && row[0].empty()) continue;  // blank line
    rows.push_back(row);
  }
  if (!error.empty()) {
    return ReportError(csv_path + " line " + std::to_string(reader.line()) + ": " + error,
                       kExitFailure);
  }
  if (rows.empty()) return ReportError(csv_path + ": no heading row", kExitFailure);

  std::unique_ptr<db::DatabaseHandle> handle;
  int rc = OpenDatabase(invocation, OpenPurpose::kChange, &handle);
  if (rc != db::kOk) return ReportEngineError(rc);

  std::vector<int> columns;
  std::map<int, bool> seen;
  for (const std::string& name : rows[0]) {
    std::string gbk_name;
    int field = Utf8ToGbkStrict(name, &gbk_name) ? handle->FindField(gbk_name) : -1;
    if (field < 0) {
      return ReportError(csv_path + ": column " + name + " names no field of the database",
                         kExitFailure);
    }
    if (seen[field]) {
      return ReportError(csv_path + ": column " + name + " appears twice", kExitFailure);
    }
    seen[field] = true;
    columns.push_back(field);
  }
  const auto field_count = static_cast<size_t>(handle->field_count());
  std::vector<std::vector<FieldValue>> converted;
  converted.reserve(rows.size() - 1);
  for (size_t r = 1; r < rows.size(); ++r) {
    const std::string where = csv_path + " row " + std::to_string(r + 1);
    if (rows[r].size() > columns.size()) {
      return ReportError(where + " has more cells than the heading", kExitFailure);
    }
    converted.emplace_back(field_count);
    if (!RowValues(*handle, columns, rows[r], where, &converted.back(), &error)) {
      return ReportError(error, kExitFailure);
    }
  }

  // All rows or none: the whole-file lock keeps every other writer and reader out while the rows
  // go in, so that a failure part-way can take back exactly the rows added here.
  db::WholeFileLock whole;
  rc = whole.Acquire(handle->locks());
  if (rc != db::kOk) return ReportEngineError(rc);
  int32_t before = 0;
  rc = handle->ReadRecordCount(&before);
  if (rc != db::kOk) return ReportEngineError(rc);
  for (size_t r = 0; r < converted.size(); ++r) {
    rc = AddValues(handle.get(), converted[r]);
    if (rc == db::kOk) continue;
    std::fprintf(stderr, "mcn: %s row %zu could not be added: %d %s\n", csv_path.c_str(), r + 2, rc,
                 db::EngineMessageUtf8(rc));
    int undo = r == 0 ? db::kOk : handle->PackRange(before, static_cast<int32_t>(r));
    if (undo == db::kOk) {
      std::fprintf(stderr, "mcn: nothing imported (the %zu row%s added before it were removed)\n",
                   r, r == 1 ? "" : "s");
    } else {
      std::fprintf(stderr, "mcn: the %zu row%s added before it could not be removed: %d %s\n", r,
                   r == 1 ? "" : "s", undo, db::EngineMessageUtf8(undo));
    }
    return kExitFailure;
  }
  rc = whole.Release();
  if (rc != db::kOk) return ReportEngineError(rc);
  std::printf("imported %zu record%s\n", converted.size(), converted.size() == 1 ? "" : "s");
  return kExitOk;
}

}  // namespace memo::mcn
