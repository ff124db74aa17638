// Read-ahead of a handle that walks its records: a chunk of consecutive records, and the memo and
// byte-set values of the fields the walk reads, read in bulk and served to the walk's next field
// reads and skips (record_io.cc, read_ahead.cc).
//
// A walk: the handle reads a field of the record right after the one whose field it read last,
// having moved there by Skip(1) (the category scan, the dump: read the fields, skip, ...). Any
// other call on the handle — a move elsewhere, a write, an explicit record count, a record lock —
// ends the walk and drops its chunk.
//
// How a chunk is read (the same locks the reads it stands for would take, taken once):
//   1. the count byte (offset 16), with the record count's lock wait; the count and next serial
//      are read under it, as every skip of the protocol reads them;
//   2. one range lock over [first record's serial, last record's serial]: it conflicts with every
//      record lock in it (every writer of a record or of its chains holds that record's lock)
//      and with the whole-file lock (clear, pack, sort);
//   3. the records with one read; then the chains of the walk's memo and byte-set fields of those
//      records, under the same range lock: where the chains' blocks lie together (records
//      appended one after another), the span of blocks with one read, each chain then walked in
//      memory with the checks of a chain read; any chain that leaves the span, or whose blocks
//      do not look sound, is read from the file as a chain read would read it (its error kept
//      and given to the field read);
//   4. the range, then the count byte, released.
// Blocks of the span that belong to other records' chains may be changing as they are read
// (their writers hold other records' locks); their bytes are never used, since a link of a chain
// held still by the range lock leads only to blocks of that chain.
//
// What a chunk may be trusted for. The values in it were all committed when it was read. Serving
// them later within the same walk is what a walk that read each record a little earlier would
// have seen. It must not outlive the walk, since another process may change a record in place at
// any time and nothing in the file says so (the count and next serial at offset 16 see appends,
// packs and clears, not modifications), so a chunk is dropped:
//   - when the walk ends (see above) and when the handle writes (any write of any handle in this
//     process, counted by ProcessWriteCount, also makes every chunk read before it stale);
//   - when it is older than kReadAheadTrustMs: a walk that pauses (a program that waits for a
//     person or a timer between two steps) reads its next records anew, as after a pause the
//     next step belongs to another action. A walk that keeps going reads a fresh chunk where the
//     old one went stale.
// A lock-free handle (share modes 2 and 4: no other opener) takes no locks and has no other
// writer, so only its own writes make its chunks stale.
// The count byte is waited for as a skip waits for it; the range is tried once (never waited for
// while the count byte is held). When another handle holds a record of the range, the walk reads
// its current record through the plain protocol, which waits or fails exactly as it always did,
// and tries a chunk again at the next record.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "db/engine_code.h"

namespace memo::db {

// The records of one chunk: at most this many bytes (at least one record).
constexpr uint64_t kReadAheadBytes = 163840;
// The first chunk of a walk holds this many records; each next one twice as many, up to
// kReadAheadBytes.
constexpr int64_t kReadAheadFirstRecords = 64;
// The chains' values of one chunk: past this many bytes the chunk ends after the record that
// crossed it.
constexpr uint64_t kReadAheadValueBytes = uint64_t{4} << 20;
// The span of memo blocks read with one call: at most this many blocks (8 MB: a full chunk of the
// memo table's records with both memos), and only when the chains' first blocks lie close
// together (kReadAheadSpanSlack blocks per chain, plus a tail for chains of several blocks). The
// buffer is kept while the handle is open.
constexpr uint64_t kReadAheadSpanBlocks = 16384;
constexpr uint64_t kReadAheadSpanSlack = 2;
constexpr uint64_t kReadAheadSpanTail = 16;
// A chunk older than this (milliseconds) is not served.
constexpr uint32_t kReadAheadTrustMs = 10;

// The process-wide count of writes to record and memo files (every write of the engine's handles
// goes through a journal, which counts it; open's repairs count themselves).
uint64_t ProcessWriteCount();
void CountProcessWrite();

struct ReadAhead {
  // One chain value of one record: where it lies in `values`, or the code its read failed with.
  struct Chain {
    uint64_t offset = 0;
    uint64_t length = 0;
    EngineCode code = kOk;
  };

  bool Holds(int64_t position) const {
    return records > 0 && position >= first && position - first < records;
  }
  const char* Record(int64_t position, size_t record_size) const {
    return bytes.data() + static_cast<size_t>(position - first) * record_size;
  }
  // The value of chain field `field` of the record at `position`, or null when the chunk did not
  // read that field.
  const Chain* ChainOf(int64_t position, int field) const;
  void Drop() { records = 0; }

  int64_t first = 0;
  int64_t records = 0;            // 0: no chunk
  int32_t count = 0;              // the record count read with the chunk
  uint32_t tick = 0;              // when the chunk was read (platform::TickCount)
  uint64_t writes = 0;            // ProcessWriteCount() when it was read
  std::string bytes;              // the records, one after another
  std::vector<int> chain_fields;  // the chain fields read, in field order
  std::vector<Chain> chains;      // records × chain_fields
  std::string values;
  std::string span;  // the memo blocks read with one call (kept from one chunk to the next)
};

}  // namespace memo::db
