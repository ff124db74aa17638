#include "db/record_format.h"

#include <cstring>

#include "db/coding.h"

namespace memo::db {

bool IsBlankDeletedRecord(const char* record, size_t record_size) {
  if (record_size < kSerialSize || DecodeInt32(record) != kBlankDeletedSerial) return false;
  for (size_t i = kSerialSize; i < record_size; ++i) {
    if (record[i] != 0) return false;
  }
  return true;
}

uint32_t FieldSize(uint32_t type, uint32_t declared_length) {
  switch (type) {
    case kFieldByte: return 1;
    case kFieldShort: return 2;
    case kFieldInt: return 4;
    case kFieldLong: return 8;
    case kFieldFloat: return 4;
    case kFieldDouble: return 8;
    case kFieldBool: return 1;
    case kFieldDateTime: return 8;
    case kFieldRoutine: return 4;
    case kFieldText: return declared_length;
    case kFieldByteSet: return 4;
    case kFieldMemo: return 4;
    default: return 0;
  }
}

uint32_t FieldValueTag(uint32_t type) {
  switch (type) {
    case kFieldByte: return TypeTag::kByte;
    case kFieldShort: return TypeTag::kShort;
    case kFieldInt: return TypeTag::kInt;
    case kFieldLong: return TypeTag::kLong;
    case kFieldFloat: return TypeTag::kFloat;
    case kFieldDouble: return TypeTag::kDouble;
    case kFieldBool: return TypeTag::kBool;
    case kFieldDateTime: return TypeTag::kDateTime;
    case kFieldRoutine: return TypeTag::kSubroutinePtr;
    case kFieldText: return TypeTag::kText;
    case kFieldByteSet: return TypeTag::kByteSet;
    case kFieldMemo: return TypeTag::kText;
    default: return TypeTag::kNone;
  }
}

bool RecordHeader::IsPlain() const { return std::memcmp(magic, kPlainMagic, 4) == 0; }
bool RecordHeader::IsProtected() const { return std::memcmp(magic, kProtectedMagic, 4) == 0; }

std::string RecordHeader::DigestText() const {
  size_t n = 0;
  while (n < kDigestFieldSize && digest[n] != '\0') ++n;
  return std::string(digest, n);
}

void DecodeRecordHeader(const char* src, RecordHeader* header) {
  std::memcpy(header->magic, src + kMagicOffset, 4);
  header->version = DecodeFixed32(src + kVersionOffset);
  header->creation_time = DecodeDouble(src + kCreationTimeOffset);
  header->record_count = DecodeInt32(src + kRecordCountOffset);
  header->next_serial = DecodeInt32(src + kNextSerialOffset);
  header->record_size = DecodeInt32(src + kRecordSizeOffset);
  std::memcpy(header->digest, src + kDigestOffset, kDigestFieldSize);
}

void EncodeRecordHeader(const RecordHeader& header, char* dst) {
  std::memcpy(dst + kMagicOffset, header.magic, 4);
  EncodeFixed32(dst + kVersionOffset, header.version);
  EncodeDouble(dst + kCreationTimeOffset, header.creation_time);
  EncodeInt32(dst + kRecordCountOffset, header.record_count);
  EncodeInt32(dst + kNextSerialOffset, header.next_serial);
  EncodeInt32(dst + kRecordSizeOffset, header.record_size);
  std::memcpy(dst + kDigestOffset, header.digest, kDigestFieldSize);
}

std::string FieldDescriptor::Name() const {
  size_t n = 0;
  while (n < kFieldNameSize && raw_name[n] != '\0') ++n;
  return std::string(raw_name, n);
}

void FieldDescriptor::SetName(const std::string& name) {
  std::memset(raw_name, 0, sizeof raw_name);
  std::memcpy(raw_name, name.data(),
              name.size() < kMaxFieldNameBytes ? name.size() : kMaxFieldNameBytes);
}

void DecodeFieldDescriptor(const char* src, FieldDescriptor* field) {
  std::memcpy(field->raw_name, src, kFieldNameSize);
  field->type = DecodeFixed32(src + kDescriptorTypeOffset);
  field->offset = DecodeFixed32(src + kDescriptorOffsetOffset);
  field->declared_length = DecodeFixed32(src + kDescriptorLengthOffset);
}

void EncodeFieldDescriptor(const FieldDescriptor& field, char* dst) {
  std::memset(dst, 0, kDescriptorSize);
  std::memcpy(dst, field.raw_name, kFieldNameSize);
  EncodeFixed32(dst + kDescriptorTypeOffset, field.type);
  EncodeFixed32(dst + kDescriptorOffsetOffset, field.offset);
  EncodeFixed32(dst + kDescriptorLengthOffset, field.declared_length);
}

bool DescriptorIsValid(const FieldDescriptor& field, int32_t record_size) {
  if (std::memchr(field.raw_name, '\0', kFieldNameNulLimit) == nullptr) return false;
  if (static_cast<int32_t>(field.offset) < 0) return false;
  if (!IsValidFieldType(field.type)) return false;
  if (field.type == kFieldText && static_cast<int32_t>(field.declared_length) <= 0) return false;
  uint64_t end = uint64_t{field.offset} + field.Size();
  return record_size > 0 && end <= static_cast<uint64_t>(record_size);
}

}  // namespace memo::db
