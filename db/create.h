// Creating new databases: the empty RecordFile (header and field table) and, when a field keeps
// its value in chains, its MemoFile holding only the header block.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "db/engine_code.h"
#include "db/record_format.h"

namespace memo::db {

struct FieldSpec {
  std::string name;     // GBK
  uint32_t type = 0;    // FieldType
  uint32_t length = 0;  // declared length, text fields only
};

// Creates (or replaces) the database `name` (default extension "EDB") with the fields in order,
// each at the next free offset from 4. A non-empty password makes it a protected ("WCDB") file.
// Checks, before anything is created: -16 no fields, -17 a type outside 1..12, -18 a name that
// is not a valid name or is 16 characters or longer (or over 16 bytes), -19 a text length <= 0 or
// a record that would not fit, -20 two names equal ignoring case. Then -2 / -50 (and the file
// error) when a file cannot be created.
EngineCode CreateDatabase(std::string_view name, const std::vector<FieldSpec>& fields,
                          std::string_view password = {});

// Gives each field its offset, from 4 in order, and returns the record size (-1 when it would
// exceed the 32-bit range). Names and types are taken as they are.
int64_t LayOutFields(std::vector<FieldDescriptor>* fields);

// Writes a new empty RecordFile at `full_path` (replacing any file) with the given header
// (record count 0, next serial 1 are forced) and laid-out fields, and its MemoFile when a field
// needs one. -2, -50 and file errors.
EngineCode WriteEmptyDatabase(const std::string& full_path, RecordHeader header,
                              const std::vector<FieldDescriptor>& fields);

// The bytes of an empty RecordFile (header with record count 0 and next serial 1, and the field
// table).
std::string EmptyRecordFileBytes(RecordHeader header, const std::vector<FieldDescriptor>& fields);

}  // namespace memo::db
