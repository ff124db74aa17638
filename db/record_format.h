// The RecordFile layout, shared by the reader (database.cc), the writers (create.cc, sort.cc) and
// the carried images (images.cc).
//
// Header (112 bytes) is magic (4), version (u32), creation time (f64), record count (i32),
// next record serial (i32), record size (i32), password digest (84 bytes, NUL-terminated text).
// Then the field count (u32) at 0x70 and one 72-byte descriptor per field from 0x74; records
// follow the table. A descriptor is name (20 bytes), type code (u32), offset in the record (u32),
// declared length (u32, text fields only), 40 reserved bytes. A record is its serial (i32,
// negated when deleted) followed by the field values at their offsets.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "runtime/value.h"

namespace memo::db {

constexpr uint32_t kFormatVersion = 0x00010000;

constexpr size_t kRecordHeaderSize = 112;
constexpr uint64_t kMagicOffset = 0x00;
constexpr uint64_t kVersionOffset = 0x04;
constexpr uint64_t kCreationTimeOffset = 0x08;
constexpr uint64_t kRecordCountOffset = 0x10;  // also the byte that guards count and serial
constexpr uint64_t kNextSerialOffset = 0x14;
constexpr uint64_t kRecordSizeOffset = 0x18;
constexpr uint64_t kDigestOffset = 0x1C;
constexpr size_t kDigestFieldSize = 84;
constexpr size_t kDigestTextLength = 32;

constexpr char kPlainMagic[4] = {'W', 'E', 'D', 'B'};
constexpr char kProtectedMagic[4] = {'W', 'C', 'D', 'B'};

constexpr uint64_t kFieldCountOffset = 0x70;
constexpr uint64_t kFieldTableOffset = 0x74;
constexpr size_t kDescriptorSize = 72;
constexpr size_t kFieldNameSize = 20;
constexpr size_t kFieldNameNulLimit = 17;  // the name's NUL must lie within these bytes
constexpr size_t kMaxFieldNameBytes = 16;
constexpr size_t kDescriptorTypeOffset = 20;
constexpr size_t kDescriptorOffsetOffset = 24;
constexpr size_t kDescriptorLengthOffset = 28;

constexpr size_t kSerialSize = 4;  // the serial at the start of every record

// A pack fills the slots its records leave with blank deleted records: serial -1, every other
// byte zero. They are never memos; a pack removes them, and so does an open that finds them after
// the last record that holds anything (a pack stopped before it lowered the count).
constexpr int32_t kBlankDeletedSerial = -1;
bool IsBlankDeletedRecord(const char* record, size_t record_size);

// Where record 0 starts for a table of n fields.
constexpr uint64_t RecordsStart(uint64_t field_count) {
  return kFieldTableOffset + kDescriptorSize * field_count;
}

// Field type codes as stored.
enum FieldType : uint32_t {
  kFieldByte = 1,
  kFieldShort = 2,
  kFieldInt = 3,
  kFieldLong = 4,
  kFieldFloat = 5,
  kFieldDouble = 6,
  kFieldBool = 7,
  kFieldDateTime = 8,
  kFieldRoutine = 9,
  kFieldText = 10,
  kFieldByteSet = 11,
  kFieldMemo = 12,
};

constexpr bool IsValidFieldType(uint32_t type) { return type >= 1 && type <= 12; }

// Memo and byte-set values live in MemoFile chains; the record holds the first block number.
constexpr bool IsChainField(uint32_t type) { return type == kFieldByteSet || type == kFieldMemo; }

// Bytes a field occupies in a record (the declared length for text). 0 for an invalid type.
uint32_t FieldSize(uint32_t type, uint32_t declared_length);

// The value tag that reading a field of this type yields (Text for text and memo fields).
uint32_t FieldValueTag(uint32_t type);

// Date-time values read from a file are held within the days of 0100-01-01 and 9999-12-31.
constexpr double kMinDateTime = -657434.0;
constexpr double kMaxDateTime = 2958465.0;

struct RecordHeader {
  char magic[4] = {'W', 'E', 'D', 'B'};
  uint32_t version = kFormatVersion;
  double creation_time = 0;
  int32_t record_count = 0;
  int32_t next_serial = 1;
  int32_t record_size = 0;
  char digest[kDigestFieldSize] = {};

  bool IsPlain() const;
  bool IsProtected() const;
  // The stored digest text, up to its NUL (at most 84 bytes).
  std::string DigestText() const;
};

// REQUIRES: src holds kRecordHeaderSize bytes / dst has room for them.
void DecodeRecordHeader(const char* src, RecordHeader* header);
void EncodeRecordHeader(const RecordHeader& header, char* dst);

struct FieldDescriptor {
  char raw_name[kFieldNameSize] = {};
  uint32_t type = 0;
  uint32_t offset = 0;
  uint32_t declared_length = 0;

  // The name up to its NUL (GBK), at most kFieldNameSize bytes.
  std::string Name() const;
  // Sets the stored name. REQUIRES: name.size() <= kMaxFieldNameBytes.
  void SetName(const std::string& name);
  uint32_t Size() const { return FieldSize(type, declared_length); }
};

// REQUIRES: src holds kDescriptorSize bytes / dst has room for them (reserved bytes are zeroed).
void DecodeFieldDescriptor(const char* src, FieldDescriptor* field);
void EncodeFieldDescriptor(const FieldDescriptor& field, char* dst);

// The reader's descriptor rules: a NUL within the first 17 name bytes, a type code 1..12, an
// offset that is not negative as a signed number, a positive declared length for text; and the
// whole value inside the record (offset + size <= record size), so that no record write can
// reach into the next record.
bool DescriptorIsValid(const FieldDescriptor& field, int32_t record_size);

}  // namespace memo::db
