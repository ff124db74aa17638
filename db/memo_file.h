// One open MemoFile: the chains of 512-byte blocks that hold a database's memo and byte-set
// values (layout in memo_format.h).
//
// Invariants (of a sound file; the reader never relies on them, it checks):
//   1. Every block 1 .. block count - 1 is on exactly one chain or on the free list.
//   2. Chain blocks have used in 1..500, free blocks used = 0; prev/next links are mutual.
//   3. The free count is the free list's length; the last block of the file is never free after a
//      write (trailing free blocks are trimmed).
// Locks (see lock.h): callers hold the owning record's lock (or the whole-file lock, which
// excludes every record lock) around every chain read and write, so a chain never changes under
// a reader. Allocation and freeing hold the header byte (0). A block that is written holds its
// first byte, and so does each block a writer walks to find the old chain, as other programs
// may read a chain block by block under block locks alone. A chain read takes no block lock:
// the record lock already keeps every writer of that chain out, so its blocks are read in runs
// of consecutive blocks, one call per run, as a lock-free handle reads them.
// State changes: WriteChain (reuse, allocate, release, trim), Reset (clear all).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "db/lock.h"
#include "db/memo_format.h"
#include "platform/file.h"

namespace memo::db {

class MemoFile {
 public:
  // REQUIRES: policy outlives the MemoFile.
  explicit MemoFile(const LockPolicy* policy) : locks_(&file_, policy) {}
  MemoFile(const MemoFile&) = delete;
  MemoFile& operator=(const MemoFile&) = delete;

  // Opens the file and runs the reader checks, in order, while the whole file is locked: a file
  // that is missing or has no readable header, a wrong magic, a block count <= 0, a free count or
  // free head outside 0 .. block count - 1: -35; a version other than `expected_version`: -36;
  // fewer whole blocks than the block count: -37 when `access_argument` is not 0, else the block
  // count is lowered to the whole blocks and written back. Other open failures give their file
  // error code.
  int Open(std::string_view path, platform::FileAccess access, platform::FileShare share,
           int access_argument, uint32_t expected_version);
  void Close();
  bool IsOpen() const { return file_.IsOpen(); }

  // The value held by the chain starting at `first` (0 = empty). A chain that leaves the file,
  // loops, or holds a block whose used count is not 1..500 is -59. Takes no lock of its own.
  // REQUIRES: the caller holds the owning record's lock (or the whole-file lock); without it a
  // concurrent writer in another process can make the value a mix of two versions.
  int ReadChain(uint32_t first, std::string* value);

  // Rewrites the chain starting at `old_first` (0 = none) to hold `value`, reusing its blocks in
  // chain order, then free blocks, then new blocks at the end; surplus blocks go to the free list
  // and trailing free blocks are trimmed. *new_first receives the first block (0 for an empty
  // value). A damaged old chain or free list is -59; nothing is written before that is known.
  // REQUIRES: as ReadChain.
  int WriteChain(uint32_t old_first, std::string_view value, uint32_t* new_first);

  // Returns a whole chain to the free list (WriteChain with the empty value).
  int ReleaseChain(uint32_t first);

  // Clear all: block count 1, no free blocks, the file cut to the header block.
  int Reset();

  // For tools and tests: the header as stored now, and one block's links and used data.
  int ReadHeader(MemoHeader* header);
  int ReadBlock(uint32_t block, BlockLinks* links, std::string* data);

  // Writes a new MemoFile holding only its header block (replacing any file of that name).
  // Open failures give their file error code (fallback -50); a failed write is -50.
  static int Create(std::string_view path, uint32_t version, double creation_time);

  LockTable* locks() { return &locks_; }
  platform::File* file() { return &file_; }

 private:
  // How a chain walk reads the blocks.
  enum class ChainRead {
    kRuns,          // consecutive blocks with one call each, no block locks
    kLockedBlocks,  // block by block, each under its block lock
  };
  // Walks the chain from `first`, validating as ReadChain describes, and collects its blocks
  // and/or its value (either may be null). kLockedBlocks reads only a block's links when the
  // value is not wanted; a lock that cannot be taken is -28.
  int WalkChain(uint32_t first, ChainRead how, std::vector<uint32_t>* blocks,
                std::string* value);
  int ReadLinks(uint32_t block, BlockLinks* links);
  int WriteLinks(uint32_t block, const BlockLinks& links);
  int WriteLink(uint32_t block, size_t link_offset, uint32_t value);
  int WriteHeaderCounts(const MemoHeader& header);
  // Unlinks trailing free blocks from the list and cuts the file after the last used block.
  int TrimTrailingFree(MemoHeader* header);

  platform::File file_;
  LockTable locks_;
};

}  // namespace memo::db
