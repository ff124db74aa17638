// The integrity walk over a database's MemoFile and records, as `mcn check` and the fuzz target
// run it after an open has passed every reader check.
//
// What a sound pair of files keeps, and what the walk reports when it does not:
//   1. Every record's serial is non-zero and its magnitude is below the header's next serial.
//   2. Every chain that a record's memo or byte-set field starts lies inside the MemoFile: each
//      link names a block in 1 .. block count - 1 that the file holds whole.
//   3. Along a chain, each block's previous link names the block before it (0 for the first) and
//      its used count lies in 1..500.
//   4. No block is on two chains, twice on one chain (a loop), or on a chain and the free list.
//   5. The free list, from the header's first free block, is a doubly linked list of blocks with
//      used count 0, without loops, and holds exactly the header's free block count.
//   6. Every data block is on some chain or on the free list.
// The walk reads each block at most once per visit and stops a chain at the first bad link, so
// any bytes at all end in a bounded list of problems (nothing hangs, nothing reads out of bounds).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "db/memo_format.h"

namespace memo::db {

class DatabaseHandle;

// One memo or byte-set field of one record, with the first block it names (0 = empty value).
struct ChainHead {
  int64_t record = 0;   // 0-based record position
  uint32_t field = 0;   // 0-based field number
  uint32_t block = 0;
};

// Reads the 512 bytes of block `block`; false when the file does not hold them whole.
using BlockReader = std::function<bool(uint32_t block, char* out)>;

struct MemoWalk {
  MemoHeader header;             // as read from the file (already passed the reader's checks)
  uint64_t whole_blocks = 0;     // 512-byte blocks the file holds
  std::vector<ChainHead> heads;  // every chain field of every record, deleted ones included
  std::vector<std::string> field_names;  // UTF-8, for the messages; may be empty
};

// Runs checks 2 to 6 and appends one UTF-8 line per problem to *problems.
void WalkMemoChains(const MemoWalk& walk, const BlockReader& read_block,
                    std::vector<std::string>* problems);

// The whole walk over an open database: reads every record (under the whole-file lock unless the
// handle is lock-free), runs check 1 on the serials, collects the chain heads and walks them in
// the handle's MemoFile. Returns an engine code (kOk when the walk could run; problems found are
// not an error of the walk) and appends the problems.
int CheckDatabase(DatabaseHandle* handle, std::vector<std::string>* problems);

}  // namespace memo::db
