#include "app/query_copy.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "db/coding.h"
#include "db/database.h"
#include "db/engine_code.h"
#include "db/memo_format.h"
#include "db/record_format.h"
#include "platform/file.h"

namespace memo::app {

namespace {

using platform::File;
using platform::FileError;

// A whole copy goes through memory in pieces of this size.
constexpr size_t kCopyPiece = size_t{1} << 20;
// A field table longer than this (some 14 000 fields) is no memo table: such a file is copied
// whole, like any other that would not open.
constexpr uint64_t kMaxTableHead = uint64_t{1} << 20;

// The permission bits a copy of `from` takes: the source's (a copy of the memos is as private as
// they are), or owner-only when they cannot be read.
uint32_t CopyMode(const char* from) {
  uint32_t mode = platform::kPrivateFileMode;
  if (platform::FilePermissions(from, &mode) != FileError::kNone) {
    mode = platform::kPrivateFileMode;
  }
  return mode;
}

// Opens a source for reading, denying writers while it is open (as reading a file whole does);
// false when it cannot be opened or holds nothing.
bool OpenSource(const char* path, File* file, uint64_t* length) {
  if (File::Open(path, platform::FileAccess::kRead, platform::FileShare::kDenyWrite,
                 platform::FileCreate::kOpenExisting, file) != FileError::kNone) {
    return false;
  }
  return file->Length(length) == FileError::kNone && *length > 0;
}

// Reads up to `count` bytes from `offset`, to the file's end when it is shorter. False when a
// read fails: the bytes before the failure are not the file.
bool ReadUpTo(const File& file, uint64_t offset, uint64_t count, std::string* bytes) {
  bytes->resize(static_cast<size_t>(count));
  size_t done = 0;
  if (file.ReadAt(offset, bytes->data(), bytes->size(), &done) != FileError::kNone) return false;
  bytes->resize(done);
  return true;
}

// Copies `from` to `to` whole, in pieces. A source that cannot be read gives an empty copy; a
// copy that cannot be written leaves `to` as it was.
void CopyWhole(const char* from, const char* to) {
  const uint32_t mode = CopyMode(from);
  File source;
  uint64_t length = 0;
  if (!OpenSource(from, &source, &length)) {
    platform::IgnoreError(platform::ReplaceFileContent(to, std::string_view(), mode));
    return;
  }
  const std::string passing = std::string(to) + ".~new";
  File target;
  if (File::Open(passing, platform::FileAccess::kWrite, platform::FileShare::kExclusive,
                 platform::FileCreate::kCreateAlways, &target, mode) != FileError::kNone) {
    return;
  }
  // A passing file left by an earlier writer keeps the bits it was created with.
  bool written = target.SetPermissions(mode) == FileError::kNone;
  std::string piece;
  uint64_t at = 0;
  bool read_whole = true;
  while (written && at < length) {
    if (!ReadUpTo(source, at, std::min<uint64_t>(kCopyPiece, length - at), &piece)) {
      read_whole = false;
      break;
    }
    if (piece.empty()) break;  // the file shrank since its length was taken: read to its end
    written = target.WriteAt(at, piece.data(), piece.size()) == FileError::kNone;
    at += piece.size();
  }
  // A read that fails part way yields nothing, as one that reads nothing does.
  if (written && (!read_whole || at == 0)) written = target.SetLength(0) == FileError::kNone;
  // Renamed while still held: no other writer can have the passing file in between.
  if (!written || platform::RenameFile(passing, to) != FileError::kNone) {
    target.Close();
    platform::IgnoreError(platform::RemoveFile(passing));
  }
}

// `head` (the first bytes of `from`) as the whole content of `to`. False when the copy could not
// be written.
bool CopyHead(const char* from, const char* to, const std::string& head) {
  return platform::ReplaceFileContent(to, head, CopyMode(from)) == FileError::kNone;
}

// The memo table's header and field table (everything before record 0), and whether a field
// keeps its values in the memo file. False when the file cannot be read or does not read as a
// table of fields: it is then copied whole.
bool ReadTableHead(const char* table, std::string* head, bool* has_chains) {
  File source;
  uint64_t length = 0;
  if (!OpenSource(table, &source, &length)) return false;
  if (!ReadUpTo(source, 0, db::kFieldTableOffset, head) || head->size() < db::kFieldTableOffset) {
    return false;
  }
  const int32_t field_count = db::DecodeInt32(head->data() + db::kFieldCountOffset);
  if (field_count <= 0) return false;
  const uint64_t records_start = db::RecordsStart(static_cast<uint64_t>(field_count));
  if (records_start > length || records_start > kMaxTableHead) return false;
  if (!ReadUpTo(source, 0, records_start, head) || head->size() != records_start) return false;
  *has_chains = false;
  for (int32_t i = 0; i < field_count; ++i) {
    db::FieldDescriptor field;
    db::DecodeFieldDescriptor(head->data() + db::kFieldTableOffset + db::kDescriptorSize * i,
                              &field);
    if (db::IsChainField(field.type)) *has_chains = true;
  }
  return true;
}

// The memo file's first block (all of it when shorter); empty when it cannot be read.
bool ReadMemoHead(const char* memo, std::string* head) {
  File source;
  uint64_t length = 0;
  head->clear();
  if (!OpenSource(memo, &source, &length)) return true;
  return ReadUpTo(source, 0, db::kMemoBlockSize, head);
}

// Opens the copy as the routine's open of it will (every optional argument omitted) and, when it
// opens, clears it as the routine will: its open repairs the header of a short copy (a count of
// records or blocks it does not hold) in a way a second open would refuse (a free list beyond
// the lowered block count), so the clear must follow that very open. The routine's own open and
// clear after it then find a cleared copy and write the same bytes again. False when it does not
// open or does not clear (the copy is then made whole, and the routine clears that).
bool OpenAndClear(const char* copy) {
  std::unique_ptr<db::DatabaseHandle> handle;
  return db::DatabaseHandle::Open(copy, db::OpenOptions{}, &handle) == db::kOk &&
         handle->ClearAll() == db::kOk;
}

}  // namespace

void MakeQueryCopy(const char* table, const char* table_memo, const char* copy,
                   const char* copy_memo) {
  std::string head;
  bool has_chains = true;
  if (!ReadTableHead(table, &head, &has_chains)) {
    CopyWhole(table, copy);
    CopyWhole(table_memo, copy_memo);
    return;
  }
  // A memo file that the table does not use is not cut by the clear: it is copied whole.
  if (!has_chains) CopyWhole(table_memo, copy_memo);
  std::string memo_head;
  if (CopyHead(table, copy, head) &&
      (!has_chains ||
       (ReadMemoHead(table_memo, &memo_head) && CopyHead(table_memo, copy_memo, memo_head))) &&
      OpenAndClear(copy)) {
    return;
  }
  CopyWhole(table, copy);
  if (has_chains) CopyWhole(table_memo, copy_memo);
}

}  // namespace memo::app
