// The integrity walk over a database's two files, as `mcn check`, `mcn repair` and `mcn recover`
// run it, and as tests and the fuzz target run it after an engine open.
//
// The walk reads the files as bytes, without the engine's reader, so that it can say what is
// wrong with a file the engine refuses. What a sound pair keeps, and what each kind of finding
// means when it does not:
//   RecordFile
//     R1. A header of 112 bytes with magic "WEDB" or "WCDB", a version the engine reads and, for
//         "WCDB", the password whose digest it stores. (Without these nothing else is read.)
//     R2. A positive record size, a record count >= 0, a next serial > 0, a field count > 0 and
//         a field table inside the file.
//     R3. Every descriptor: a NUL within its first 17 name bytes, a type 1..12, a text length
//         > 0; names non-empty and unique ignoring case; no field overlapping the serial (bytes
//         0..3) or another field; the record size holding every field.
//     R4. The file holds every record the header counts.
//     R5. Every serial non-zero; no two live records with the same serial; the next serial
//         above the magnitude of every serial (deleted records included).
//   MemoFile (when a field is memo or byte-set)
//     M1. It exists, with magic "WEDT" and the RecordFile's version.
//     M2. Its block count equals the whole 512-byte blocks the file holds.
//     M3. Every chain that a record's field starts links blocks in 1 .. block count - 1, each
//         naming the block before it as its previous block, each with a used count of 1..500,
//         none twice, none on another chain.
//     M4. The free list, from the header's first free block, links blocks of used count 0
//         with mutual links, without loops and off every chain, and holds exactly the header's
//         free count.
//     M5. Every data block is on a chain or on the free list.
// Kinds of finding:
//   damage  breaks an invariant a reader or a later write depends on. `mendable` says whether
//           repair can set it right without losing data (the bookkeeping of R4, R5's next serial,
//           M2, M3's back links, M4); the rest can only be copied around (recover).
//   leak    a block on no chain and not on the free list (M5): space lost, nothing misread. What
//           a writer that was stopped part-way leaves behind.
//   note    harmless leftovers: bytes after the last counted record, a partial block at the end
//           of the MemoFile, whole blocks beyond the block count, free blocks at the end.
// The walk reads each block at most once per visit and stops a chain at its first bad link, so
// any bytes at all end in a bounded list of findings (nothing hangs, nothing reads out of
// bounds); findings of one sort after the first 20 are counted in one summary line.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "db/lock.h"
#include "db/memo_format.h"
#include "db/record_format.h"
#include "platform/file.h"

namespace memo::db {

class DatabaseHandle;

enum class FindingKind { kDamage, kLeak, kNote };

struct Finding {
  FindingKind kind = FindingKind::kDamage;
  bool mendable = false;  // damage only: repair can set it right without losing data
  std::string text;       // one UTF-8 line
};

// One memo or byte-set field of one record, with the first block it names (0 = empty value).
struct ChainHead {
  int64_t record = 0;  // 0-based record position
  uint32_t field = 0;  // 0-based field number
  uint32_t block = 0;
};

// Reads block `block` into `out` (512 bytes): at least its first kMemoBlockHeaderSize bytes, the
// links and used count, which are all the walk looks at; false when the file does not hold them.
using BlockReader = std::function<bool(uint32_t block, char* out)>;

struct MemoWalk {
  MemoHeader header;             // as read from the file
  uint64_t whole_blocks = 0;     // 512-byte blocks the file holds, the header block included
  std::vector<ChainHead> heads;  // every chain field of every record, deleted ones included
  std::vector<std::string> field_names;  // UTF-8, for the messages; may be empty
};

// Who a block belongs to after the walk: the index of a chain head, or one of these.
constexpr int64_t kUnclaimedBlock = -1;
constexpr int64_t kFreeListBlock = -2;

struct MemoWalkResult {
  std::vector<int64_t> owner;  // per block of the file; block 0 (the header) stays unclaimed
  // Per head: empty when its chain reads whole (from its first block to a next link of 0), else
  // why not. A block on two chains goes to the chain whose links agree with its previous link
  // (the first such chain in record order); the other chain cannot be read.
  std::vector<std::string> chain_problem;
  // Chain blocks whose previous link is wrong while everything else about the chain is sound:
  // (block, the previous block it should name).
  std::vector<std::pair<uint32_t, uint32_t>> back_link_fixes;
  uint64_t leaked_blocks = 0;         // M5
  uint64_t trailing_free_blocks = 0;  // free-list blocks after the last chain block
  std::vector<Finding> findings;
};

// Checks M2 to M5 and fills *result.
void WalkMemoChains(const MemoWalk& walk, const BlockReader& read_block, MemoWalkResult* result);

// Everything the walk over a pair of files found.
struct CheckReport {
  // kOk, or the engine code for a pair that cannot be walked at all (R1, or R2 where the records
  // cannot be found): -22, -23, -78, or a file error. Findings say why where they can.
  EngineCode code = kOk;
  RecordHeader header;
  std::vector<FieldDescriptor> fields;
  uint64_t records_start = 0;
  uint64_t record_file_length = 0;
  int64_t whole_records = 0;          // counted records the file holds whole
  uint64_t partial_record_bytes = 0;  // bytes of the next counted record, when it is cut short
  int64_t highest_serial = 0;         // the largest serial magnitude of any record
  bool needs_memo = false;            // some readable field is memo or byte-set
  bool memo_present = false;
  bool memo_header_read = false;  // the MemoFile's header was read and its magic is right
  uint64_t memo_length = 0;
  MemoWalk walk;
  MemoWalkResult chains;
  // What repair would write (-1: stays as it is).
  int64_t mended_record_count = -1;
  int64_t mended_next_serial = -1;

  // Damage repair can mend in the MemoFile's bookkeeping (M2, M3's back links, M4).
  bool memo_bookkeeping_off = false;
  // Leaks or leftovers in the MemoFile that repair reclaims or trims.
  bool memo_tidyable = false;
  std::vector<Finding> findings;

  bool HasDamage() const;
  bool HasUnmendableDamage() const;
  uint64_t leaked_blocks() const { return chains.leaked_blocks; }
};

// True when a field's value can be read from a record of `record_size` bytes: a valid type with
// a non-zero size, lying inside the record.
bool FieldReadable(const FieldDescriptor& field, int32_t record_size);

// Walks the pair: `record` and, when open, `memo`. `password` (GBK) is checked against a
// protected file's digest; null skips that check (the caller has opened the file through the
// engine). REQUIRES: the caller keeps writers out (the RecordFile's whole-file lock) while it
// runs.
void AnalyzeFiles(const platform::File& record, const platform::File* memo,
                  const std::string* password, CheckReport* report);

// The files of one database opened without the engine, for walking and mending: the RecordFile
// and, when it exists, its MemoFile (named as the engine names it), with a lock table each.
class DatabaseFiles {
 public:
  DatabaseFiles();
  DatabaseFiles(const DatabaseFiles&) = delete;
  DatabaseFiles& operator=(const DatabaseFiles&) = delete;

  // Opens `full_path` (GBK, complete) and its MemoFile, sharing both with every other opener. A
  // missing MemoFile is no error (memo_open() is then false). Lock requests retry for
  // `lock_wait_ms`. Returns an engine code.
  EngineCode Open(std::string_view full_path, platform::FileAccess access, int32_t lock_wait_ms);

  // Takes the RecordFile's whole-file lock, which keeps out every writer of records and chains
  // (they hold record locks), and the MemoFile's when `memo_too`, which keeps out readers that
  // read chains under block locks. Released by Unlock or the destructor.
  EngineCode LockWhole(bool memo_too);
  EngineCode Unlock();

  const std::string& record_path() const { return record_path_; }  // GBK
  const std::string& memo_path() const { return memo_path_; }      // GBK
  platform::File& record() { return record_; }
  platform::File& memo() { return memo_; }
  bool memo_open() const { return memo_.IsOpen(); }

  void Analyze(const std::string& password, CheckReport* report) const;

 private:
  LockPolicy policy_;
  platform::File record_;
  platform::File memo_;
  LockTable record_locks_;
  LockTable memo_locks_;
  std::unique_ptr<WholeFileLock> record_whole_;
  std::unique_ptr<WholeFileLock> memo_whole_;
  std::string record_path_;
  std::string memo_path_;
};

// The MemoFile name that the engine pairs with a RecordFile's full path.
std::string MemoPathFor(std::string_view record_full_path);

// Reads the value of a chain that the walk found readable (its chain_problem is empty).
// A chain that has changed since, or cannot be read now, is -59.
EngineCode ReadWalkedChain(const platform::File& memo, uint32_t first, std::string* value);

// The whole walk over a database open through the engine, under its whole-file lock. Appends one
// UTF-8 line per damage and leak finding (notes are left out) and returns an engine code (kOk
// when the walk could run; findings are not an error of the walk).
EngineCode CheckDatabase(DatabaseHandle* handle, std::vector<std::string>* problems);
// The same with every finding, kinds included.
EngineCode CheckDatabase(DatabaseHandle* handle, CheckReport* report);

}  // namespace memo::db
