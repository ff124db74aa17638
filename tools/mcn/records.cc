#include "tools/mcn/records.h"

#include <cstdio>

#include "db/coding.h"
#include "db/engine_code.h"
#include "platform/codec.h"
#include "runtime/heap.h"

namespace memo::mcn {

int ForEachRecord(db::DatabaseHandle* handle, bool include_deleted, Notation notation,
                  const std::function<void(const PrintedRecord&)>& visit) {
  int32_t count = 0;
  int rc = handle->ReadRecordCount(&count);
  if (rc != db::kOk) {
    std::fprintf(stderr, "%d %s\n", rc, db::EngineMessageUtf8(rc));
    return rc;
  }
  int first_failure = db::kOk;
  std::string raw;
  PrintedRecord record;
  for (int32_t position = 0; position < count; ++position) {
    rc = handle->ReadRecordBytes(position, &raw);
    if (rc != db::kOk) {
      std::fprintf(stderr, "record %d: %d %s\n", position + 1, rc, db::EngineMessageUtf8(rc));
      return rc;
    }
    record.position = position;
    record.serial = raw.size() >= 4 ? db::DecodeInt32(raw.data()) : 0;
    record.deleted = record.serial < 0;
    if (record.deleted && !include_deleted) continue;
    record.values.clear();
    handle->set_current_record(position);
    for (int f = 0; f < handle->field_count(); ++f) {
      const db::FieldDescriptor& field = handle->fields()[static_cast<size_t>(f)];
      TypedValue value;
      int field_rc = handle->ReadField(f, &value);
      if (field_rc != db::kOk) {
        std::fprintf(stderr, "record %d field %s: %d %s\n", position + 1,
                     GbkToUtf8(field.Name()).c_str(), field_rc, db::EngineMessageUtf8(field_rc));
        if (first_failure == db::kOk) first_failure = field_rc;
      }
      record.values.push_back(FormatValue(field.type, value, notation));
      ReleaseValue(&value);
    }
    visit(record);
  }
  return first_failure;
}

}  // namespace memo::mcn
