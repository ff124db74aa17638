#include "db/index_format.h"

#include <cstring>

#include "db/coding.h"
#include "db/engine_code.h"
#include "db/file_names.h"

namespace memo::db {

uint32_t IndexKeySize(int32_t type_code) {
  if (type_code < 0) return static_cast<uint32_t>(-static_cast<int64_t>(type_code));
  // A positive text code has no size; memo and byte-set codes get their record size, so that the
  // key-field check can name them (-42).
  if (type_code == kFieldText) return 0;
  return FieldSize(static_cast<uint32_t>(type_code), 0);
}

EngineCode CheckIndexHeader(const char* p, uint64_t file_length, uint32_t database_version,
                            const std::vector<FieldDescriptor>& fields, IndexHeader* header) {
  if (std::memcmp(p, kIndexMagic, 4) != 0) return kNotIndexFile;
  header->version = DecodeFixed32(p + kIndexVersionOffset);
  if (header->version != database_version) return kIndexVersionMismatch;

  header->block_count = DecodeInt32(p + kIndexBlockCountOffset);
  int32_t block_a = DecodeInt32(p + kIndexBlockAOffset);
  int32_t block_b = DecodeInt32(p + kIndexBlockBOffset);
  int32_t block_c = DecodeInt32(p + kIndexBlockCOffset);
  header->block_size = DecodeInt32(p + kIndexBlockSizeOffset);
  header->key_size = DecodeInt32(p + kIndexKeySizeOffset);
  int32_t key_count = DecodeInt32(p + kIndexKeyCountOffset);
  const int32_t count = header->block_count;
  if (count < 2) return kNotIndexFile;
  if (block_a < 0 || block_a > count - 1 || block_b < 0 || block_b > count - 1) {
    return kNotIndexFile;
  }
  if (block_c < 1 || block_c > count - 1) return kNotIndexFile;
  if (header->block_size < kMinIndexBlockSize) return kNotIndexFile;
  if (header->key_size < 1 || header->key_size > kMaxIndexKeySize) return kNotIndexFile;
  if (key_count < 1 || static_cast<size_t>(key_count) > kMaxIndexKeyFields) return kNotIndexFile;

  header->keys.clear();
  int64_t key_bytes = 0;
  for (int32_t i = 0; i < key_count; ++i) {
    const char* entry = p + kIndexKeyTableOffset + kIndexKeyEntrySize * i;
    IndexKeyField key;
    key.type_code = DecodeInt32(entry);
    const char* name = entry + 4;
    size_t length = 0;
    while (length < kIndexKeyNameSize && name[length] != '\0') ++length;
    key.name.assign(name, length);
    uint32_t size = IndexKeySize(key.type_code);
    if (size == 0) return kNotIndexFile;
    key_bytes += size;
    header->keys.push_back(std::move(key));
  }
  if (key_bytes != header->key_size) return kNotIndexFile;
  if (file_length / static_cast<uint64_t>(header->block_size) <
      static_cast<uint64_t>(header->block_count)) {
    return kWrongIndexFileSize;
  }

  for (const IndexKeyField& key : header->keys) {
    const FieldDescriptor* field = nullptr;
    for (const FieldDescriptor& candidate : fields) {
      if (EqualsIgnoreCase(candidate.Name(), key.name)) {
        field = &candidate;
        break;
      }
    }
    if (field == nullptr) return kIndexFieldMissing;
    if (IsChainField(field->type)) return kIndexFieldIsMemo;
    bool key_is_text = key.type_code < 0;
    if (key_is_text != (field->type == kFieldText) ||
        (!key_is_text && static_cast<uint32_t>(key.type_code) != field->type)) {
      return kIndexFieldTypeMismatch;
    }
    if (IndexKeySize(key.type_code) != field->Size()) return kIndexFieldSizeMismatch;
  }
  return kOk;
}

}  // namespace memo::db
