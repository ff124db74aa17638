#include "db/create.h"

#include <algorithm>
#include <cstring>

#include "db/coding.h"
#include "db/database.h"
#include "db/digest.h"
#include "db/engine_code.h"
#include "db/file_names.h"
#include "db/memo_file.h"
#include "platform/file.h"

namespace memo::db {
namespace {

constexpr size_t kMaxNameCharacters = 15;  // "shorter than 16 characters"

}  // namespace

int64_t LayOutFields(std::vector<FieldDescriptor>* fields) {
  int64_t offset = kSerialSize;
  for (FieldDescriptor& field : *fields) {
    field.offset = static_cast<uint32_t>(offset);
    offset += field.Size();
    if (offset > INT32_MAX) return -1;
  }
  return offset;
}

std::string EmptyRecordFileBytes(RecordHeader header, const std::vector<FieldDescriptor>& fields) {
  header.record_count = 0;
  header.next_serial = 1;
  std::string bytes(RecordsStart(fields.size()), '\0');
  EncodeRecordHeader(header, bytes.data());
  EncodeFixed32(bytes.data() + kFieldCountOffset, static_cast<uint32_t>(fields.size()));
  for (size_t i = 0; i < fields.size(); ++i) {
    EncodeFieldDescriptor(fields[i], bytes.data() + kFieldTableOffset + kDescriptorSize * i);
  }
  return bytes;
}

EngineCode WriteEmptyDatabase(const std::string& full_path, RecordHeader header,
                              const std::vector<FieldDescriptor>& fields) {
  const std::string bytes = EmptyRecordFileBytes(header, fields);
  platform::File file;
  platform::FileError error = platform::File::Open(full_path, platform::FileAccess::kReadWrite,
                                                   platform::FileShare::kDenyNone,
                                                   platform::FileCreate::kCreateAlways, &file);
  if (error != platform::FileError::kNone) return FileErrorCode(error, kCreateFailed);
  if (file.WriteAt(0, bytes.data(), bytes.size()) != platform::FileError::kNone) {
    return kCreateFailed;
  }
  file.Close();

  if (std::any_of(fields.begin(), fields.end(),
                  [](const FieldDescriptor& f) { return IsChainField(f.type); })) {
    return MemoFile::Create(MemoFileName(full_path), header.version, header.creation_time);
  }
  return kOk;
}

EngineCode CreateDatabase(std::string_view name, const std::vector<FieldSpec>& specs,
                          std::string_view password) {
  if (specs.empty()) return kNoFields;
  std::vector<FieldDescriptor> fields;
  for (const FieldSpec& spec : specs) {
    if (!IsValidFieldType(spec.type)) return kInvalidFieldType;
    if (!IsValidName(spec.name) || spec.name.size() > kMaxFieldNameBytes ||
        CharacterCount(spec.name) > kMaxNameCharacters) {
      return kInvalidFieldName;
    }
    if (spec.type == kFieldText && (spec.length == 0 || spec.length > INT32_MAX)) {
      return kInvalidFieldSize;
    }
    for (const FieldDescriptor& earlier : fields) {
      if (EqualsIgnoreCase(earlier.Name(), spec.name)) return kDuplicateFieldName;
    }
    FieldDescriptor field;
    field.SetName(spec.name);
    field.type = spec.type;
    field.declared_length = spec.type == kFieldText ? spec.length : 0;
    fields.push_back(field);
  }
  const int64_t record_size = LayOutFields(&fields);
  if (record_size < 0) return kInvalidFieldSize;
  if (name.empty()) return kFileNotFound;

  RecordHeader header;
  header.version = kFormatVersion;
  header.creation_time = CurrentDayNumber();
  header.record_size = static_cast<int32_t>(record_size);
  if (!password.empty()) {
    std::memcpy(header.magic, kProtectedMagic, 4);
    std::string digest = PasswordDigest(password);
    std::memcpy(header.digest, digest.data(), std::min(digest.size(), kDigestFieldSize - 1));
  }
  return WriteEmptyDatabase(FullPathOf(name, kRecordFileExtension), header, fields);
}

}  // namespace memo::db
