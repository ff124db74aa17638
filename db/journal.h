// The write journal of one database handle: it makes every overwrite of bytes that a reader relies
// on survive a write call that stops part-way, at any byte (a writer killed while the kernel copies
// the buffer page by page, or a disk that fills up in the middle of the call).
//
// Without it, the order of the engine's writes (record_io.cc, chain_write.h, pack.cc) makes the
// files consistent after any prefix of WHOLE write calls; a call cut in the middle could still
// leave a record that is a mix of two, a count whose bytes are half old and half new, or a chain
// block with a torn link. So every such overwrite goes through Overwrite below:
//
//   1. The new bytes go to the journal first, as one entry that replaces the previous one:
//        "MJNL" | target u32 | offset u64 | count u64 | sequence u64 | new bytes | sequence u64
//      An entry counts only when both sequence numbers agree, so an entry whose own write was cut
//      (the trailer missing, or left over from an older entry) is ignored: its overwrite never
//      began.
//   2. Then the bytes are written in place.
//   3. A handle whose files other handles may write (share mode 1) makes the entry void again
//      (zeroes its first sequence number) before it lets go of the lock that guards the bytes, so
//      an entry is never replayed over what another writer wrote later. A handle that no other
//      writer can share files with keeps the entry until its next write needs the journal, and
//      makes it void first whenever a later write or a cut of the file touches its bytes.
//
// A valid entry whose owner is gone is replayed by the next Open of the database (Recover): the
// new bytes are written again, which completes the cut call. The state is then that of a writer
// stopped between two whole calls, which the engine's write order makes consistent.
//
// Writes that need no entry: bytes nothing names yet (records past the counted ones, MemoFile
// blocks past the counted ones or taken off the free list, links of blocks no list reaches),
// WriteFresh; and overwrites whose old and new bytes differ in at most one byte, since every
// prefix of such a write is the old bytes or the new ones.
//
// The journal is a file beside the RecordFile, "<name>.~j<slot>" (slot 0, 1, ...): each handle
// that writes takes the lowest slot it can lock (a byte lock on the journal file, held until the
// handle closes), so a slot whose lock can be taken belongs to nobody alive. A handle removes its
// slot when it closes (or empties it when a higher slot exists, so that the slots stay gapless
// and an opener can stop looking at the first missing one). Programs that do not know the
// journal never look at it; the RecordFile and MemoFile keep their format and lock protocol.
//
// The journal protects against a writer that stops (killed, or failing calls); it does not make
// writes durable against a power loss (nothing is flushed to the device).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "db/engine_code.h"
#include "platform/file.h"

namespace memo::db {

enum class JournalTarget : uint32_t { kRecordFile = 1, kMemoFile = 2 };

class Journal {
 public:
  Journal() = default;
  ~Journal() { Close(); }
  Journal(const Journal&) = delete;
  Journal& operator=(const Journal&) = delete;

  // Binds the journal to the RecordFile at `record_path` (full path) and its MemoFile, and takes
  // a slot. With `others_may_write`, an entry is made void right after its overwrite. A journal
  // that is not bound, or found no slot, writes in place without entries.
  // REQUIRES: the handle may write the files.
  void Bind(std::string record_path, std::string memo_path, bool others_may_write);

  // Writes `count` bytes at `offset` of `file` (the target named) through an entry. `old_bytes`,
  // when not null, are the `count` bytes the file holds there now: an overwrite that changes at
  // most one of them needs no entry. A failed write is tried once more; if that fails too the
  // entry stays valid, so that the next opener completes the write.
  EngineCode Overwrite(JournalTarget target, platform::File* file, uint64_t offset,
                       const void* bytes, size_t count, const void* old_bytes, EngineCode fallback);

  // Writes bytes that nothing names yet (see above).
  EngineCode WriteFresh(JournalTarget target, platform::File* file, uint64_t offset,
                        const void* bytes, size_t count, EngineCode fallback);

  // Cuts (or extends) `file`.
  EngineCode SetLength(JournalTarget target, platform::File* file, uint64_t length,
                       EngineCode fallback);

  // Gives the slot up (every write of the handle is complete).
  void Close();

  // Replays the entries that handles which are gone left for the database at `record_path`
  // (full path), whose MemoFile is `memo_path`, and removes their slots. Slots in use by live
  // handles, and entries that cannot be applied (a file that cannot be opened for writing), stay.
  static void Recover(const std::string& record_path, const std::string& memo_path);

  // The name of slot `slot` of the database at `record_path`.
  static std::string SlotName(const std::string& record_path, int slot);

 private:
  EngineCode TakeSlot();
  // Makes the entry void: no later replay writes its bytes.
  void Void();
  bool Touches(JournalTarget target, uint64_t offset, uint64_t end) const {
    return live_ && target == live_target_ && offset < live_end_ && end > live_offset_;
  }

  std::string record_path_;
  std::string memo_path_;
  bool others_may_write_ = true;
  platform::File slot_;
  int slot_index_ = -1;
  uint64_t sequence_ = 0;
  bool written_ = false;  // an entry went to the slot since it was taken
  std::string entry_;     // kept from one entry to the next
  // The entry on disk that a replay would apply.
  bool live_ = false;
  JournalTarget live_target_ = JournalTarget::kRecordFile;
  uint64_t live_offset_ = 0, live_end_ = 0;
};

}  // namespace memo::db
