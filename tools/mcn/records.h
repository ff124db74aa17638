// Walking a database's records for the commands that print them.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "db/database.h"
#include "tools/mcn/convert.h"

namespace memo::mcn {

struct PrintedRecord {
  int32_t position = 0;  // 0-based slot
  int32_t serial = 0;    // as stored (negative when deleted)
  bool deleted = false;
  std::vector<std::string> values;  // one per field, in the given notation
};

// Calls `visit` for each record (deleted ones only when `include_deleted`), with every field read
// through the engine and formatted. A field that cannot be read is printed as its empty value and
// reported on stderr ("record N field NAME: <code> <message>"). A record that cannot be read at
// all ends the walk, reported the same way. Returns kOk, or the engine code of the first failure.
int ForEachRecord(db::DatabaseHandle* handle, bool include_deleted, Notation notation,
                  const std::function<void(const PrintedRecord&)>& visit);

// Counts the first `count` records by their serials (deleted: negative; live: the rest), read
// as ForEachRecord reads them. Prints nothing. Returns kOk, or the engine code of the failure.
int CountRecords(db::DatabaseHandle* handle, int32_t count, int32_t* live, int32_t* deleted);

}  // namespace memo::mcn
