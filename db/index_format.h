// The IndexFile header, as far as the engine checks it when an index is named at open. The
// engine keeps no index nodes of its own: it validates the header and key fields and holds the
// file open for the life of the database.
//
// Header (224 bytes): magic "WENX" (4), version (u32), 8 bytes unused, a value kept with the
// index (8 bytes at 0x10), block count (i32 at 0x18, >= 2), two block numbers (i32 at 0x1C and
// 0x20, each in 0 .. count - 1), a block number (i32 at 0x24, in 1 .. count - 1), block size (i32
// at 0x28, >= 512), key size (i32 at 0x2C, 1..80), key field count (i32 at 0x30, >= 1), then one
// 21-byte entry per key field from 0x34: type code (i32; -n is a text key of n bytes) and name (17
// bytes, NUL-padded). At most 8 entries fit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "db/engine_code.h"
#include "db/record_format.h"

namespace memo::db {

constexpr size_t kIndexHeaderSize = 224;
constexpr char kIndexMagic[4] = {'W', 'E', 'N', 'X'};
constexpr uint64_t kIndexVersionOffset = 0x04;
constexpr uint64_t kIndexKeptValueOffset = 0x10;
constexpr uint64_t kIndexBlockCountOffset = 0x18;
constexpr uint64_t kIndexBlockAOffset = 0x1C;
constexpr uint64_t kIndexBlockBOffset = 0x20;
constexpr uint64_t kIndexBlockCOffset = 0x24;
constexpr uint64_t kIndexBlockSizeOffset = 0x28;
constexpr uint64_t kIndexKeySizeOffset = 0x2C;
constexpr uint64_t kIndexKeyCountOffset = 0x30;
constexpr uint64_t kIndexKeyTableOffset = 0x34;
constexpr size_t kIndexKeyEntrySize = 21;
constexpr size_t kIndexKeyNameSize = 17;
constexpr size_t kMaxIndexKeyFields =
    (kIndexHeaderSize - kIndexKeyTableOffset) / kIndexKeyEntrySize;
constexpr int32_t kMaxIndexKeySize = 80;
constexpr int32_t kMinIndexBlockSize = 512;

struct IndexKeyField {
  int32_t type_code = 0;  // a field type code, or -n for a text key of n bytes
  std::string name;
};

struct IndexHeader {
  uint32_t version = 0;
  int32_t block_count = 0;
  int32_t block_size = 0;
  int32_t key_size = 0;
  std::vector<IndexKeyField> keys;
};

// Checks the header bytes (kIndexHeaderSize of them) of an index file of `file_length` bytes
// against the database it is opened with. Returns kOk, or -31 (not an index file), -32 (version
// differs), -49 (file shorter than its block count), -43 (key field missing), -42 (key field is
// memo or byte-set), -54 (type differs), -53 (size differs).
EngineCode CheckIndexHeader(const char* header_bytes, uint64_t file_length,
                            uint32_t database_version, const std::vector<FieldDescriptor>& fields,
                            IndexHeader* header);

// Bytes a key of this type code occupies (n for -n), 0 for an invalid code.
uint32_t IndexKeySize(int32_t type_code);

}  // namespace memo::db
