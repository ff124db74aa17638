#include "db/memo_file.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <unordered_set>

#include "db/buffer.h"
#include "db/coding.h"
#include "db/engine_code.h"

namespace memo::db {
namespace {

using platform::File;
using platform::FileError;

constexpr uint64_t BlockOffset(uint32_t block) { return uint64_t{block} * kMemoBlockSize; }

// A chain walk asks for the file's length (its loop bound) once it has visited this many blocks.
constexpr uint64_t kChainLengthCheck = 64;

// At most this many consecutive blocks go through one read (chain reads, and every walk of a
// lock-free handle) or one write (lock-free chain writes): 64 KB.
constexpr uint64_t kMaxRunBlocks = 128;

}  // namespace

int MemoFile::Open(std::string_view path, platform::FileAccess access, platform::FileShare share,
                   int access_argument, uint32_t expected_version) {
  Close();
  FileError error = File::Open(path, access, share, platform::FileCreate::kOpenExisting, &file_);
  if (error == FileError::kNotFound || error == FileError::kInvalidPath) return kMemoReadFailed;
  if (error != FileError::kNone) return FileErrorCode(error, kMemoReadFailed);

  int rc = kOk;
  {
    WholeFileLock whole;
    rc = whole.Acquire(&locks_);
    if (rc == kOk) {
      char bytes[kMemoHeaderSize];
      size_t done = 0;
      MemoHeader header;
      uint64_t length = 0;
      if (file_.ReadAt(0, bytes, sizeof bytes, &done) != FileError::kNone ||
          done != sizeof bytes) {
        rc = kMemoReadFailed;
      } else if (DecodeMemoHeader(bytes, &header), !header.IsValid()) {
        rc = kMemoReadFailed;
      } else if (header.version != expected_version) {
        rc = kMemoVersionMismatch;
      } else if (file_.Length(&length) != FileError::kNone) {
        rc = kMemoReadFailed;
      } else if (length / kMemoBlockSize < static_cast<uint64_t>(header.block_count)) {
        const uint64_t whole_blocks = length / kMemoBlockSize;
        if (access_argument != 0 || whole_blocks == 0) {
          rc = kNotMemoFile;
        } else {
          char count[4];
          EncodeInt32(count, static_cast<int32_t>(whole_blocks));
          error = file_.WriteAt(kMemoBlockCountOffset, count, sizeof count);
          if (error != FileError::kNone) rc = FileErrorCode(error, kMemoReadFailed);
        }
      }
      int unlock_rc = whole.Release();
      if (rc == kOk) rc = unlock_rc;
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

int MemoFile::ReadHeader(MemoHeader* header) {
  char bytes[kMemoHeaderSize];
  size_t done = 0;
  FileError error = file_.ReadAt(0, bytes, sizeof bytes, &done);
  if (error != FileError::kNone) return FileErrorCode(error, kMemoAccessFailed);
  if (done != sizeof bytes) return kMemoAccessFailed;
  DecodeMemoHeader(bytes, header);
  return kOk;
}

int MemoFile::WriteHeaderCounts(const MemoHeader& header) {
  char bytes[12];
  EncodeInt32(bytes, header.block_count);
  EncodeInt32(bytes + 4, header.free_count);
  EncodeInt32(bytes + 8, header.free_head);
  FileError error = file_.WriteAt(kMemoBlockCountOffset, bytes, sizeof bytes);
  return FileErrorCode(error, kMemoAccessFailed);
}

int MemoFile::ReadLinks(uint32_t block, BlockLinks* links) {
  ByteLock lock;
  int rc = lock.Acquire(&locks_, BlockOffset(block));
  if (rc != kOk) return rc;
  char bytes[kMemoBlockHeaderSize];
  size_t done = 0;
  FileError error = file_.ReadAt(BlockOffset(block), bytes, sizeof bytes, &done);
  if (error != FileError::kNone) return FileErrorCode(error, kMemoAccessFailed);
  if (done != sizeof bytes) return kMemoAccessFailed;
  DecodeBlockLinks(bytes, links);
  return lock.Release();
}

int MemoFile::WriteLinks(uint32_t block, const BlockLinks& links) {
  ByteLock lock;
  int rc = lock.Acquire(&locks_, BlockOffset(block));
  if (rc != kOk) return rc;
  char bytes[kMemoBlockHeaderSize];
  EncodeBlockLinks(links, bytes);
  FileError error = file_.WriteAt(BlockOffset(block), bytes, sizeof bytes);
  if (error != FileError::kNone) return FileErrorCode(error, kMemoAccessFailed);
  return lock.Release();
}

int MemoFile::WriteLink(uint32_t block, size_t link_offset, uint32_t value) {
  ByteLock lock;
  int rc = lock.Acquire(&locks_, BlockOffset(block));
  if (rc != kOk) return rc;
  char bytes[4];
  EncodeFixed32(bytes, value);
  FileError error = file_.WriteAt(BlockOffset(block) + link_offset, bytes, sizeof bytes);
  if (error != FileError::kNone) return FileErrorCode(error, kMemoAccessFailed);
  return lock.Release();
}

int MemoFile::ReadBlock(uint32_t block, BlockLinks* links, std::string* data) {
  if (block == 0) return kMemoAccessFailed;
  ByteLock lock;
  int rc = lock.Acquire(&locks_, BlockOffset(block));
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

int MemoFile::ReadChain(uint32_t first, std::string* value) {
  value->clear();
  // The caller's record lock (or whole-file lock) keeps every writer of this chain out, so its
  // blocks cannot change while they are read: no block lock would add anything.
  return WalkChain(first, ChainRead::kRuns, nullptr, value);
}

int MemoFile::WalkChain(uint32_t first, ChainRead how, std::vector<uint32_t>* blocks,
                        std::string* value) {
  if (blocks != nullptr) blocks->clear();
  if (first == 0) return kOk;
  const bool runs = how == ChainRead::kRuns;
  // A block past the end of the file fails as a short read. A loop is caught by the bound: a
  // sound chain visits each block of the file at most once. The file's length is asked for only
  // once a chain gets long, as most chains are a block or two.
  uint64_t file_blocks = UINT64_MAX;
  uint64_t visited = 0;
  char single[kMemoBlockSize];
  std::string run;  // kRuns: blocks run_first .. run_first + run_count - 1, read at once
  uint32_t run_first = 0;
  uint64_t run_count = 0;
  const char* run_data = nullptr;
  uint64_t next_run = 1;  // grows while the chain keeps to consecutive blocks
  for (uint32_t block = first; block != 0;) {
    if (visited == kChainLengthCheck) {
      uint64_t length = 0;
      FileError error = file_.Length(&length);
      if (error != FileError::kNone) return FileErrorCode(error, kMemoAccessFailed);
      file_blocks = length / kMemoBlockSize;
    }
    if (block >= file_blocks || visited >= file_blocks) return kMemoAccessFailed;
    ++visited;
    const char* bytes = nullptr;
    if (runs) {
      // A run may take in blocks of other chains that are being written right now; their bytes
      // are never used, as a link of this chain only ever leads to a block of this chain.
      if (run_count == 0 || block < run_first || block - run_first >= run_count) {
        // Past the end of the run: a chain that went on to the next block likely goes on further.
        next_run = run_count > 0 && block == run_first + run_count
                       ? std::min(next_run * 2, kMaxRunBlocks)
                       : 1;
        const uint64_t want = std::min(next_run, file_blocks - block);
        char* into = single;
        if (want > 1) {
          if (!TryResize(&run, want * kMemoBlockSize)) return kAllocationFailed;
          into = run.data();
        }
        size_t done = 0;
        FileError error = file_.ReadAt(BlockOffset(block), into, want * kMemoBlockSize, &done);
        if (error != FileError::kNone) return FileErrorCode(error, kMemoAccessFailed);
        run_first = block;
        run_count = done / kMemoBlockSize;
        run_data = into;
        if (run_count == 0) return kMemoAccessFailed;
      }
      bytes = run_data + (block - run_first) * kMemoBlockSize;
    } else {
      const size_t size = value != nullptr ? kMemoBlockSize : kMemoBlockHeaderSize;
      ByteLock lock;
      int rc = lock.Acquire(&locks_, BlockOffset(block));
      if (rc != kOk) return rc;
      size_t done = 0;
      FileError error = file_.ReadAt(BlockOffset(block), single, size, &done);
      if (error != FileError::kNone) return FileErrorCode(error, kMemoAccessFailed);
      if (done != size) return kMemoAccessFailed;
      rc = lock.Release();
      if (rc != kOk) return rc;
      bytes = single;
    }
    BlockLinks links;
    DecodeBlockLinks(bytes, &links);
    if (links.used == 0 || links.used > kMemoBlockDataSize) return kMemoAccessFailed;
    if (blocks != nullptr) blocks->push_back(block);
    if (value != nullptr) value->append(bytes + kMemoBlockHeaderSize, links.used);
    block = links.next;
  }
  return kOk;
}

int MemoFile::WriteChain(uint32_t old_first, std::string_view value, uint32_t* new_first) {
  std::vector<uint32_t> old_chain;
  // In shared mode a writer keeps the block locks, on this walk as on its writes: other programs
  // may read a chain block by block under block locks alone, without the record lock, and must
  // never find a block half written.
  int rc = WalkChain(old_first, locks_.lock_free() ? ChainRead::kRuns : ChainRead::kLockedBlocks,
                     &old_chain, nullptr);
  if (rc != kOk) return rc;

  const uint64_t need = BlocksForBytes(value.size());
  if (need > static_cast<uint64_t>(INT32_MAX)) return kMemoAccessFailed;
  std::vector<uint32_t> blocks(old_chain.begin(),
                               old_chain.begin() + std::min<uint64_t>(need, old_chain.size()));

  // Allocation and freeing change the header: hold its lock and work on a fresh copy.
  const bool resizes = need != old_chain.size();
  ByteLock header_lock;
  MemoHeader header;
  if (resizes) {
    rc = header_lock.Acquire(&locks_, 0);
    if (rc != kOk) return rc;
    rc = ReadHeader(&header);
    if (rc != kOk) return rc;
    if (!header.IsValid()) return kMemoAccessFailed;
  }

  if (blocks.size() < need) {
    std::unordered_set<uint32_t> taken;  // a free list that loops must not hand a block out twice
    while (blocks.size() < need) {
      if (header.free_head != 0) {
        const uint32_t block = static_cast<uint32_t>(header.free_head);
        BlockLinks links;
        rc = ReadLinks(block, &links);
        if (rc != kOk) return rc;
        if (links.used != 0 || links.next >= static_cast<uint32_t>(header.block_count) ||
            !taken.insert(block).second) {
          return kMemoAccessFailed;
        }
        if (links.next != 0) {
          rc = WriteLink(links.next, kBlockPrevOffset, 0);
          if (rc != kOk) return rc;
        }
        header.free_head = static_cast<int32_t>(links.next);
        header.free_count = std::max(0, header.free_count - 1);
        blocks.push_back(block);
      } else {
        if (header.block_count == INT32_MAX) return kMemoAccessFailed;
        blocks.push_back(static_cast<uint32_t>(header.block_count++));
      }
    }
    // Record the allocation before the data goes in, so a failure below leaks blocks at worst
    // and never leaves the free list pointing at a used block.
    rc = WriteHeaderCounts(header);
    if (rc != kOk) return rc;
  }

  // Lock-free, consecutive blocks go to the file together (at most kMaxRunBlocks at a time).
  const bool gather = locks_.lock_free() && need > 1;
  std::string run;
  uint32_t run_first = 0;
  uint64_t run_count = 0;
  auto write_run = [&]() -> int {
    if (run_count == 0) return kOk;
    FileError error =
        file_.WriteAt(BlockOffset(run_first), run.data(), run_count * kMemoBlockSize);
    run_count = 0;
    return FileErrorCode(error, kMemoAccessFailed);
  };
  if (gather &&
      !TryResize(&run, std::min<uint64_t>(need, kMaxRunBlocks) * kMemoBlockSize)) {
    return kAllocationFailed;
  }
  char single[kMemoBlockSize];
  for (size_t i = 0; i < need; ++i) {
    if (gather && run_count > 0 &&
        (blocks[i] != run_first + run_count || run_count == kMaxRunBlocks)) {
      rc = write_run();
      if (rc != kOk) return rc;
    }
    if (gather && run_count == 0) run_first = blocks[i];
    char* bytes = gather ? run.data() + run_count * kMemoBlockSize : single;
    const size_t begin = i * kMemoBlockDataSize;
    const size_t piece = std::min(kMemoBlockDataSize, value.size() - begin);
    BlockLinks links;
    links.prev = i == 0 ? 0 : blocks[i - 1];
    links.next = i + 1 < need ? blocks[i + 1] : 0;
    links.used = static_cast<uint32_t>(piece);
    EncodeBlockLinks(links, bytes);
    std::memcpy(bytes + kMemoBlockHeaderSize, value.data() + begin, piece);
    std::memset(bytes + kMemoBlockHeaderSize + piece, 0, kMemoBlockDataSize - piece);
    if (gather) {
      ++run_count;
      continue;
    }
    ByteLock lock;
    rc = lock.Acquire(&locks_, BlockOffset(blocks[i]));
    if (rc != kOk) return rc;
    FileError error = file_.WriteAt(BlockOffset(blocks[i]), bytes, kMemoBlockSize);
    if (error != FileError::kNone) return FileErrorCode(error, kMemoAccessFailed);
    rc = lock.Release();
    if (rc != kOk) return rc;
  }
  rc = write_run();
  if (rc != kOk) return rc;

  if (old_chain.size() > need) {
    // The surplus keeps its order and joins the front of the free list.
    const size_t first_released = need;
    const uint32_t last_block_of_file = static_cast<uint32_t>(header.block_count - 1);
    bool released_last = false;
    for (size_t j = first_released; j < old_chain.size(); ++j) {
      BlockLinks links;
      links.prev = j == first_released ? 0 : old_chain[j - 1];
      links.next = j + 1 < old_chain.size() ? old_chain[j + 1]
                                            : static_cast<uint32_t>(header.free_head);
      links.used = 0;
      rc = WriteLinks(old_chain[j], links);
      if (rc != kOk) return rc;
      if (old_chain[j] == last_block_of_file) released_last = true;
    }
    if (header.free_head != 0) {
      rc = WriteLink(static_cast<uint32_t>(header.free_head), kBlockPrevOffset, old_chain.back());
      if (rc != kOk) return rc;
    }
    header.free_head = static_cast<int32_t>(old_chain[first_released]);
    header.free_count += static_cast<int32_t>(old_chain.size() - first_released);
    if (released_last) {
      rc = TrimTrailingFree(&header);
      if (rc != kOk) return rc;
    }
    rc = WriteHeaderCounts(header);
    if (rc != kOk) return rc;
  }

  if (resizes) {
    rc = header_lock.Release();
    if (rc != kOk) return rc;
  }
  *new_first = need == 0 ? 0 : blocks[0];
  return kOk;
}

int MemoFile::TrimTrailingFree(MemoHeader* header) {
  const uint32_t count = static_cast<uint32_t>(header->block_count);
  int32_t last = header->block_count - 1;
  while (last >= 1) {
    const uint32_t block = static_cast<uint32_t>(last);
    BlockLinks links;
    int rc = ReadLinks(block, &links);
    if (rc != kOk) return rc;
    if (links.used != 0) break;
    if (links.prev >= count || links.next >= count) return kMemoAccessFailed;
    const bool listed = links.prev != 0 || header->free_head == last;
    if (listed) {
      if (links.prev != 0) {
        rc = WriteLink(links.prev, kBlockNextOffset, links.next);
      } else {
        header->free_head = static_cast<int32_t>(links.next);
      }
      if (rc == kOk && links.next != 0) rc = WriteLink(links.next, kBlockPrevOffset, links.prev);
      if (rc != kOk) return rc;
      header->free_count = std::max(0, header->free_count - 1);
    }
    --last;
  }
  header->block_count = last + 1;
  FileError error = file_.SetLength(BlockOffset(static_cast<uint32_t>(header->block_count)));
  return FileErrorCode(error, kMemoAccessFailed);
}

int MemoFile::ReleaseChain(uint32_t first) {
  uint32_t unused = 0;
  return WriteChain(first, std::string_view(), &unused);
}

int MemoFile::Reset() {
  ByteLock header_lock;
  int rc = header_lock.Acquire(&locks_, 0);
  if (rc != kOk) return rc;
  MemoHeader header;
  header.block_count = 1;
  header.free_count = 0;
  header.free_head = 0;
  rc = WriteHeaderCounts(header);
  if (rc != kOk) return rc;
  FileError error = file_.SetLength(kMemoBlockSize);
  if (error != FileError::kNone) return FileErrorCode(error, kMemoAccessFailed);
  return header_lock.Release();
}

int MemoFile::Create(std::string_view path, uint32_t version, double creation_time) {
  File file;
  FileError error = File::Open(path, platform::FileAccess::kReadWrite,
                               platform::FileShare::kDenyNone, platform::FileCreate::kCreateAlways,
                               &file);
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
