// Rewriting and releasing MemoFile chains so that a writer stopped at any point (killed, or
// failing on a full disk) leaves a MemoFile that every reader opens and that still holds every
// chain a record names, whole. The worst it can leave is leaked blocks: blocks on no chain and
// not on the free list.
//
// The blocks each chain gets are the classic ones: first the old chain's blocks in chain order,
// then the head of the free list, then new blocks at the end; surplus blocks join the front of
// the free list and trailing free blocks are trimmed. What changes is when each byte is written.
// A ChainWrite runs in phases, and the owner of the record commits between them:
//
//   1. Plan (Rewrite, Release): walk the old chains, take the header byte when blocks are
//      allocated or freed, pick every block, read the links that will change, and take every
//      lock the writes need. Nothing is written, so a failure here (-28 from another process's
//      lock, -59 from a damaged chain) leaves everything as it was.
//   2. WriteBlocks: first the rest of the plan (what the releases and the trim will change, read
//      and locked), then, in this order:
//        a. new blocks past the end of the file (the header does not count them yet);
//        b. the header, counting the new blocks and no longer listing the free blocks taken.
//           When only part of the free list is taken, its new head's back link must become 0,
//           which no single write can do together with the header: the header first lists no
//           free blocks at all (they are leaked for a moment), then the back link is cleared,
//           then the header lists the rest;
//        c. the free blocks taken, which nothing names now;
//        d. the old chain's blocks that are reused, in place, their old bytes kept in memory.
//   3. The caller writes the record that names the new first blocks (its commit).
//   4. Finish: the surplus blocks, which nothing names any more, get their free-list links; the
//      header lists them (with the same detour through an empty list when blocks already on the
//      list get new links); the file is cut after the last used block, once the header no longer
//      counts the blocks cut off.
//   Undo, instead of 4, when 2 or 3 failed: the reused blocks get their old bytes back and the
//   header its old counts where that can be done soundly; blocks past the old end are cut off.
//
// The header, back links and reused blocks are overwrites of bytes a reader relies on: they go
// through the journal (journal.h), so a call cut short inside is completed by the next opener;
// everything else is written where nothing names it yet. Consecutive reused blocks go out in one
// call (up to 128 of them), so a chain whose reused blocks take one call (one block, or a run of
// consecutive ones) changes from its old value to its new one at once. A chain whose reused
// blocks take several calls is the one case where a writer stopped in step d leaves a value made
// of old and new pieces (still a whole, readable chain).
//
// Releases of surplus blocks wait for step 4, so a later chain of the same ChainWrite never takes
// a block that the record still names until its commit; such a chain takes other free blocks or
// new ones instead.
//
// REQUIRES: the caller holds the owning record's lock (or the whole-file lock) from the plan to
// the end of Finish or Undo; `memo` outlives the ChainWrite.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "db/engine_code.h"
#include "db/lock.h"
#include "db/memo_format.h"

namespace memo::db {

class MemoFile;

class ChainWrite {
 public:
  explicit ChainWrite(MemoFile* memo);
  ~ChainWrite();  // drops every lock still held, silently
  ChainWrite(const ChainWrite&) = delete;
  ChainWrite& operator=(const ChainWrite&) = delete;

  // Plans the rewrite of the chain starting at `old_first` (0 = none) to hold `value`, whose
  // bytes must stay valid until WriteBlocks returns. *new_first receives the first block the
  // chain will have (0 for an empty value): the record names it from its commit on.
  EngineCode Rewrite(uint32_t old_first, std::string_view value, uint32_t* new_first);

  // Plans the release of a whole chain (a record that is going away).
  EngineCode Release(uint32_t first);

  // Phase 2. On failure call Undo.
  EngineCode WriteBlocks();

  // Phase 4. A failure leaves the surplus blocks leaked (and, when it stops between the steps
  // through an empty list, every free block): the file stays sound and the committed record
  // reads its new values.
  EngineCode Finish();

  // Instead of Finish, after WriteBlocks or the caller's commit failed. Best effort: what it
  // cannot restore stays leaked.
  void Undo();

  // Drops the header byte and every block lock; the first unlock failure (-29).
  EngineCode ReleaseLocks();

 private:
  struct Planned {
    std::string_view value;
    std::vector<uint32_t> blocks;  // the new chain
    size_t reused = 0;             // blocks[0 .. reused) are the old chain's, rewritten in place
    std::string images;            // the old 512 bytes of each reused block
  };
  enum class HeaderState { kAsRead, kEmptyList, kAllocated };

  EngineCode LockHeader();
  EngineCode Hold(uint32_t block);
  bool TryHold(uint32_t block);
  EngineCode ReadLinks(uint32_t block, BlockLinks* links);
  // The links `block` has once step 2 is done (read from the file unless step 2 changes them).
  EngineCode AllocatedLinks(uint32_t block, BlockLinks* links);
  // The links `block` will have after Finish, loaded into final_links_ on first use; a block that
  // is on the free list now is marked as touched.
  EngineCode FinalLinks(uint32_t block, BlockLinks** links);
  EngineCode PlanReleases();
  EngineCode PlanTrim();
  // True when `block` (free, links given) is on the free list as it will be after the releases.
  EngineCode OnFinalList(uint32_t block, const BlockLinks& links, bool* listed);

  // Where bytes go: over bytes a reader may rely on (through a journal entry), or where nothing
  // names them yet.
  enum class Placement { kInPlace, kFresh };
  EngineCode WriteHeader(const MemoHeader& header);
  EngineCode WriteBackLink(uint32_t block, uint32_t prev);
  // The links of a block that no chain and no list reaches.
  EngineCode WriteLinks(uint32_t block, const BlockLinks& links);
  // Writes whole blocks, consecutive ones with one call each.
  EngineCode WriteRuns(const std::pair<uint32_t, const char*>* blocks, size_t count,
                       Placement placement);

  MemoFile* memo_;
  LockTable* locks_;
  std::vector<Planned> chains_;
  std::vector<std::vector<uint32_t>> releases_;  // surplus runs, in the order they were freed
  std::set<uint32_t> freed_;                     // every block of releases_
  std::vector<uint32_t> held_;                   // blocks whose locks this write holds
  ByteLock header_lock_;
  bool header_read_ = false;
  MemoHeader as_read_;    // the header when the plan began
  MemoHeader allocated_;  // after step 2
  MemoHeader final_;      // after Finish
  MemoHeader on_disk_;    // the counts the file holds, while on_disk_known_
  bool on_disk_known_ = false;
  std::set<uint32_t> taken_;                                  // free blocks the new chains take
  std::vector<std::pair<uint32_t, BlockLinks>> taken_links_;  // their links as read
  uint32_t new_head_ = 0;      // the free list's head after step 2 when its link changes
  BlockLinks new_head_links_;  // ... and its links as read
  std::map<uint32_t, BlockLinks> final_links_;  // the links Finish writes
  std::set<uint32_t> touched_;  // blocks of final_links_ that are on the list after step 2
  bool trim_ = false;
  bool prepared_ = false;

  // How far phase 2 and Undo got.
  HeaderState header_state_ = HeaderState::kAsRead;
  bool head_link_cleared_ = false;
  bool appended_ = false;
  bool reused_written_ = false;
};

}  // namespace memo::db
