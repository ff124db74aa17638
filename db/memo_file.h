// One open MemoFile: the chains of 512-byte blocks that hold a database's memo and byte-set
// values (layout in memo_format.h).
//
// Invariants of a sound file (the reader never relies on them, it checks):
//   1. Every block 1 .. block count - 1 is on exactly one chain or on the free list, or is
//      leaked (on neither) after a writer stopped part-way; nothing worse is ever on disk.
//   2. Chain blocks have used in 1..500, free blocks used = 0; prev/next links are mutual.
//   3. The free count is the free list's length; the last block of the file is never free after a
//      completed write (trailing free blocks are trimmed).
//   4. The header never counts a block the file does not hold whole: blocks past the end are
//      written before the header counts them, and the header stops counting blocks before the
//      file is cut. Bytes past the counted blocks mean nothing.
// Chain writes keep these at every instant, between any two of their system calls: see
// chain_write.h for the order of their writes.
// Locks (see lock.h): callers hold the owning record's lock (or the whole-file lock, which
// excludes every record lock, or a walk's range lock over the record's serial byte, which
// excludes that record's lock: read_ahead.h) around every chain read and write, so a chain never
// changes under a reader. Allocation and freeing hold the header byte (0). Every block a writer
// writes is held under its first byte's lock from before its first write until the write is
// complete, as other programs may read a chain block by block under block locks alone. A chain read
// takes no block lock: the record lock already keeps every writer of that chain out, so its blocks
// are read in runs of consecutive blocks, one call per run. State changes: ChainWrite
// (chain_write.h) for rewrites and releases; Reset for clear all.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "db/engine_code.h"
#include "db/journal.h"
#include "db/lock.h"
#include "db/memo_format.h"
#include "db/open_mode.h"
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
  // fewer whole blocks than the block count: -37 unless `access` allows repairs, in which case
  // the block count is lowered to the whole blocks and written back. Other open failures give
  // their file error code.
  EngineCode Open(std::string_view path, OpenAccess access, OpenShare share,
                  uint32_t expected_version);
  void Close();
  bool IsOpen() const { return file_.IsOpen(); }

  // The value held by the chain starting at `first` (0 = empty). A chain that leaves the file,
  // loops, or holds a block whose used count is not 1..500 is -59. Takes no lock of its own.
  // REQUIRES: the caller holds the owning record's lock (or the whole-file lock); without it a
  // concurrent writer in another process can make the value a mix of two versions.
  EngineCode ReadChain(uint32_t first, std::string* value);

  // Rewrites the chain starting at `old_first` (0 = none) to hold `value` and returns its first
  // block (0 for an empty value) in *new_first; a ChainWrite with nothing else to commit. A
  // damaged old chain or free list is -59; nothing is written before that is known.
  // REQUIRES: as ReadChain.
  EngineCode WriteChain(uint32_t old_first, std::string_view value, uint32_t* new_first);

  // Returns a whole chain to the free list (WriteChain with the empty value).
  EngineCode ReleaseChain(uint32_t first);

  // Clear all: block count 1, no free blocks, the file cut to the header block.
  EngineCode Reset();

  // For tools and tests: the header as stored now, and one block's links and used data.
  EngineCode ReadHeader(MemoHeader* header);
  EngineCode ReadBlock(uint32_t block, BlockLinks* links, std::string* data);

  // Writes a new MemoFile holding only its header block (replacing any file of that name, or,
  // with kCreateNew, failing when there is one). Open failures give their file error code
  // (fallback -50); a failed write is -50.
  static EngineCode Create(std::string_view path, uint32_t version, double creation_time,
                           platform::FileCreate create = platform::FileCreate::kCreateAlways);

  // Walks the chain from `first`, validating as ReadChain describes, without locks, reading
  // consecutive blocks with one call. Collects the chain's blocks, its value and the whole
  // 512-byte images of its first `images_wanted` blocks, one after the other from the start of
  // *images (each output may be null). *images keeps its size when that is larger than the
  // images need, so that a buffer kept from one walk to the next is never filled again.
  // REQUIRES: as ReadChain.
  EngineCode WalkChain(uint32_t first, std::vector<uint32_t>* blocks, std::string* value,
                       size_t images_wanted, std::string* images);

  LockTable* locks() { return &locks_; }
  platform::File* file() { return &file_; }
  // The journal every overwrite of the file goes through; the owning handle's, or an unbound one.
  // REQUIRES: `journal` outlives the MemoFile.
  void set_journal(Journal* journal) { journal_ = journal; }
  Journal* journal() { return journal_; }

  // Buffers kept from one chain walk or write to the next, so that a long chain does not cost a
  // fresh allocation (and the page faults of fresh memory) every time. One user at a time.
  struct Scratch {
    std::string run;                  // WalkChain's runs of blocks (at most 64 KB)
    std::string encoded;              // ChainWrite's blocks to write
    std::vector<std::string> images;  // ChainWrite's old bytes of reused blocks, one per chain
    std::vector<std::vector<uint32_t>> block_lists;        // ChainWrite's chains' block numbers
    std::vector<std::pair<uint32_t, const char*>> writes;  // ChainWrite's writes in order
  };
  Scratch* scratch() { return &scratch_; }

  // Buffers larger than this go back to the system after use instead of being kept.
  static constexpr size_t kScratchKept = size_t{4} << 20;

 private:
  platform::File file_;
  LockTable locks_;
  Scratch scratch_;
  Journal unbound_;
  Journal* journal_ = &unbound_;
};

}  // namespace memo::db
