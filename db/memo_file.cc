#include "db/memo_file.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "db/buffer.h"
#include "db/chain_write.h"
#include "db/coding.h"
#include "db/engine_code.h"
#include "db/read_ahead.h"

namespace memo::db {
namespace {

using platform::File;
using platform::FileError;

constexpr uint64_t BlockOffset(uint32_t block) { return uint64_t{block} * kMemoBlockSize; }

// A chain walk asks for the file's length (its loop bound) once it has visited this many blocks.
constexpr uint64_t kChainLengthCheck = 64;

// At most this many consecutive blocks go through one read: 64 KB.
constexpr uint64_t kMaxRunBlocks = 128;

}  // namespace

EngineCode MemoFile::Open(std::string_view path, OpenAccess access, OpenShare share,
                          uint32_t expected_version) {
  Close();
  FileError error = File::Open(path, FileAccessFor(access), FileShareFor(share),
                               platform::FileCreate::kOpenExisting, &file_);
  if (error == FileError::kNotFound || error == FileError::kInvalidPath) return kMemoReadFailed;
  if (error != FileError::kNone) return FileErrorCode(error, kMemoReadFailed);

  EngineCode rc = kOk;
  {
    WholeFileLock whole;
    rc = whole.Acquire(&locks_, locks_.busy_wait());
    if (rc == kOk) {
      char bytes[kMemoHeaderSize];
      size_t done = 0;
      MemoHeader header;
      uint64_t length = 0;
      if (file_.ReadAt(0, bytes, sizeof bytes, &done) != FileError::kNone || done != sizeof bytes) {
        rc = kMemoReadFailed;
      } else if (DecodeMemoHeader(bytes, &header), !header.IsValid()) {
        rc = kMemoReadFailed;
      } else if (header.version != expected_version) {
        rc = kMemoVersionMismatch;
      } else if (file_.Length(&length) != FileError::kNone) {
        rc = kMemoReadFailed;
      } else if (length / kMemoBlockSize < static_cast<uint64_t>(header.block_count)) {
        const uint64_t whole_blocks = length / kMemoBlockSize;
        if (!AllowsRepair(access) || whole_blocks == 0) {
          rc = kNotMemoFile;
        } else {
          // The file lost its last blocks: the count comes down to the blocks it still holds.
          // A free list may lead into the lost blocks (its head may even lie past the new end,
          // which no later open would accept), so it is dropped first: its blocks held no data
          // and are only leaked. The count goes last, so a write cut short anywhere leaves a
          // count above the blocks the file holds, and the next open repairs again: a cut
          // free list write leaves the old count; a cut count write leaves one at least the new
          // one (its low bytes new, its high bytes old and larger). A torn head meanwhile names
          // at worst a block in use, which the allocator refuses to hand out.
          CountProcessWrite();
          if (header.free_count != 0 || header.free_head != 0) {
            const char no_free_list[8] = {};
            error = file_.WriteAt(kMemoFreeCountOffset, no_free_list, sizeof no_free_list);
          }
          if (error == FileError::kNone) {
            char count[4];
            EncodeInt32(count, static_cast<int32_t>(whole_blocks));
            error = file_.WriteAt(kMemoBlockCountOffset, count, sizeof count);
          }
          if (error != FileError::kNone) rc = FileErrorCode(error, kMemoReadFailed);
        }
      }
      KeepFirst(&rc, whole.Release());
    }
  }
  if (rc != kOk) Close();
  return rc;
}

void MemoFile::Close() {
  if (!file_.IsOpen()) return;
  locks_.ReleaseAll();
  file_.Close();
}

EngineCode MemoFile::ReadHeader(MemoHeader* header) {
  char bytes[kMemoHeaderSize];
  size_t done = 0;
  FileError error = file_.ReadAt(0, bytes, sizeof bytes, &done);
  if (error != FileError::kNone) return FileErrorCode(error, kMemoAccessFailed);
  if (done != sizeof bytes) return kMemoAccessFailed;
  DecodeMemoHeader(bytes, header);
  return kOk;
}

EngineCode MemoFile::ReadBlock(uint32_t block, BlockLinks* links, std::string* data) {
  if (block == 0) return kMemoAccessFailed;
  ByteLock lock;
  EngineCode rc = lock.Acquire(&locks_, BlockOffset(block));
  if (rc != kOk) return rc;
  char bytes[kMemoBlockSize];
  size_t done = 0;
  FileError error = file_.ReadAt(BlockOffset(block), bytes, sizeof bytes, &done);
  if (error != FileError::kNone) return FileErrorCode(error, kMemoAccessFailed);
  if (done != sizeof bytes) return kMemoAccessFailed;
  DecodeBlockLinks(bytes, links);
  if (data != nullptr) {
    size_t used = std::min<size_t>(links->used, kMemoBlockDataSize);
    data->assign(bytes + kMemoBlockHeaderSize, used);
  }
  return lock.Release();
}

EngineCode MemoFile::ReadChain(uint32_t first, std::string* value) {
  value->clear();
  // The caller's record lock (or whole-file lock) keeps every writer of this chain out, so its
  // blocks cannot change while they are read: no block lock would add anything.
  return WalkChain(first, nullptr, value, 0, nullptr);
}

EngineCode MemoFile::WalkChain(uint32_t first, std::vector<uint32_t>* blocks, std::string* value,
                               size_t images_wanted, std::string* images) {
  if (blocks != nullptr) blocks->clear();
  if (first == 0) return kOk;
  // A block past the end of the file fails as a short read. A loop is caught by the bound: a
  // sound chain visits each block of the file at most once. The file's length is asked for only
  // once a chain gets long, as most chains are a block or two.
  uint64_t file_blocks = UINT64_MAX;
  uint64_t visited = 0;
  char single[kMemoBlockSize];
  std::string& run = scratch_.run;  // blocks run_first .. run_first + run_count - 1
  uint32_t run_first = 0;
  uint64_t run_count = 0;
  const char* run_data = nullptr;
  uint64_t next_run = 1;  // grows while the chain keeps to consecutive blocks
  // Runs that hold wanted images are read straight into *images, each block where its image
  // belongs, while the chain keeps to consecutive blocks (a jump back inside a run reads again).
  uint64_t imaged = 0;
  bool run_in_images = false;
  uint64_t run_slot = 0;  // the image slot of run_first when run_in_images
  for (uint32_t block = first; block != 0;) {
    if (visited == kChainLengthCheck) {
      uint64_t length = 0;
      FileError error = file_.Length(&length);
      if (error != FileError::kNone) return FileErrorCode(error, kMemoAccessFailed);
      file_blocks = length / kMemoBlockSize;
    }
    if (block >= file_blocks || visited >= file_blocks) return kMemoAccessFailed;
    const bool image = images != nullptr && visited < images_wanted;
    // A run may take in blocks of other chains that are being written right now; their bytes
    // are never used, as a link of this chain only ever leads to a block of this chain.
    bool in_run = run_count > 0 && block >= run_first && block - run_first < run_count;
    if (in_run && image && !(run_in_images && block - run_first == imaged - run_slot)) {
      in_run = false;
    }
    if (!in_run) {
      // Past the end of the run: a chain that went on to the next block likely goes on further.
      next_run = run_count > 0 && block == run_first + run_count
                     ? std::min(next_run * 2, kMaxRunBlocks)
                     : 1;
      const uint64_t want = std::min(next_run, file_blocks - block);
      char* into = single;
      if (image) {
        const size_t bytes = (imaged + want) * kMemoBlockSize;
        if (images->size() < bytes && !TryResize(images, bytes)) return kAllocationFailed;
        into = images->data() + imaged * kMemoBlockSize;
      } else if (want > 1) {
        if (run.size() < want * kMemoBlockSize && !TryResize(&run, want * kMemoBlockSize)) {
          return kAllocationFailed;
        }
        into = run.data();
      }
      size_t done = 0;
      FileError error = file_.ReadAt(BlockOffset(block), into, want * kMemoBlockSize, &done);
      if (error != FileError::kNone) return FileErrorCode(error, kMemoAccessFailed);
      run_first = block;
      run_count = done / kMemoBlockSize;
      run_data = into;
      run_in_images = image;
      run_slot = imaged;
      if (run_count == 0) return kMemoAccessFailed;
    }
    const char* bytes = run_data + (block - run_first) * kMemoBlockSize;
    ++visited;
    if (image) ++imaged;
    BlockLinks links;
    DecodeBlockLinks(bytes, &links);
    if (links.used == 0 || links.used > kMemoBlockDataSize) return kMemoAccessFailed;
    if (blocks != nullptr) blocks->push_back(block);
    if (value != nullptr) value->append(bytes + kMemoBlockHeaderSize, links.used);
    block = links.next;
  }
  return kOk;
}

EngineCode MemoFile::WriteChain(uint32_t old_first, std::string_view value, uint32_t* new_first) {
  ChainWrite write(this);
  EngineCode rc = write.Rewrite(old_first, value, new_first);
  if (rc == kOk) rc = write.WriteBlocks();
  if (rc != kOk) {
    write.Undo();
    return rc;
  }
  // Nothing else names the chain: it is committed as soon as its blocks are in place.
  rc = write.Finish();
  KeepFirst(&rc, write.ReleaseLocks());
  return rc;
}

EngineCode MemoFile::ReleaseChain(uint32_t first) {
  uint32_t unused = 0;
  return WriteChain(first, std::string_view(), &unused);
}

EngineCode MemoFile::Reset() {
  ByteLock header_lock;
  EngineCode rc = header_lock.Acquire(&locks_, 0, locks_.busy_wait());
  if (rc != kOk) return rc;
  // The header stops counting the blocks before they are cut off.
  char bytes[12];
  EncodeInt32(bytes, 1);
  EncodeInt32(bytes + 4, 0);
  EncodeInt32(bytes + 8, 0);
  rc = journal_->Overwrite(JournalTarget::kMemoFile, &file_, kMemoBlockCountOffset, bytes,
                           sizeof bytes, nullptr, kMemoAccessFailed);
  if (rc == kOk) {
    rc = journal_->SetLength(JournalTarget::kMemoFile, &file_, kMemoBlockSize, kMemoAccessFailed);
  }
  if (rc != kOk) return rc;
  return header_lock.Release();
}

EngineCode MemoFile::Create(std::string_view path, uint32_t version, double creation_time,
                            platform::FileCreate create) {
  File file;
  FileError error = File::Open(path, platform::FileAccess::kReadWrite,
                               platform::FileShare::kDenyNone, create, &file);
  if (error != FileError::kNone) return FileErrorCode(error, kMemoCreateFailed);
  char bytes[kMemoBlockSize] = {};
  MemoHeader header;
  header.version = version;
  header.creation_time = creation_time;
  header.block_count = 1;
  EncodeMemoHeader(header, bytes);
  if (file.WriteAt(0, bytes, sizeof bytes) != FileError::kNone) return kMemoCreateFailed;
  return kOk;
}

}  // namespace memo::db
