// DatabaseHandle: one open database (a RecordFile, its MemoFile when a field needs one, and any
// index files named at open) with its current record.
//
// Nothing is cached between operations: the record count and next serial are re-read from the
// file header whenever they matter, and every change is written through at once, so several
// handles (in this process or others) can share one file. The one exception is a walk (field
// reads and Skip(1) from one record to the next): it reads ahead a chunk of records under one
// range lock and serves its next steps from it, for as long as the walk goes on without a pause
// (read_ahead.h). They meet only through the file and its
// byte-range locks (lock.h). Every operation returns an engine code (engine_code.h), 0 on success.
//
// Every change is ordered so that a writer stopped at any point (killed, or failing on a full
// disk) leaves files that open with any access argument and read back every value committed
// before it started: a record's new memo chains are complete before the record names them
// (chain_write.h), an appended record is complete before the count includes it, and a failed
// operation leaves the record it was changing with its old values. (The one exception: a memo
// whose chain keeps two or more of its old blocks is rewritten in them in place, so a writer
// killed in the middle of those writes leaves that one value made of old and new pieces, still
// readable.) Once the record is written the operation has happened; a failure in the clean-up
// after it (freeing surplus blocks) leaves those blocks leaked and is not reported as a failure
// of the operation.
//
// Locks per operation (order of taking; released in reverse):
//   record count      byte 16 (lock wait at least 2000 ms)
//   read/write field  the record's serial byte, held while its memo chain is read or written
//                     (a chain read takes no MemoFile lock under it; a chain write takes the
//                     MemoFile header byte to allocate or free, and each block's byte)
//   append, add       byte 16, then the new record's serial byte
//   modify            the record's serial byte
//   LockRecord        the record's serial byte, held by the caller across its reads and writes
//                     of the record (which then nest in it)
//   a walk's chunk    byte 16, then one range over the chunk's record serial bytes (read_ahead.h)
//   clear, pack, sort the whole-file lock
//   open              the whole-file lock while the header is checked
// Opens and writes wait for each of these (and a chain write for the MemoFile header byte) at
// least kBusyLockWait, or the handle's lock-wait time when that is longer; reads wait only the
// handle's lock-wait time (the record count at least kRecordCountLockWait).
// With the lock-free flag (share modes 2 and 4: nobody else can open the file) no locks are taken.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/engine_code.h"
#include "db/index_format.h"
#include "db/journal.h"
#include "db/lock.h"
#include "db/memo_file.h"
#include "db/open_mode.h"
#include "db/read_ahead.h"
#include "db/record_format.h"
#include "platform/file.h"
#include "runtime/value.h"

namespace memo::db {

constexpr int kMaxIndexFiles = 10;
constexpr int32_t kRecordCountLockWait = 2000;
// The least wait of LockRecord: a program that holds a record across a read and a write holds it
// for a moment only, and one that waits for it must not give up and lose its change.
constexpr int32_t kRecordLockWait = 2000;

// The lock-wait time new handles start with (0 unless changed): how long a lock request retries
// on conflict before failing with -28. -1 waits without limit.
int32_t DefaultLockWait();
void SetDefaultLockWait(int32_t wait_ms);

// Asks the user for a database password. `notice_gbk` is empty on the first attempt and the retry
// text ("密码错误，您还有 %d 次重新输入的机会。") after a wrong one. Returns the password, or
// nullopt when the user cancels. Without one installed, the installed platform backend's password
// dialog asks; with neither, asking counts as cancelling.
using PasswordPrompt = std::function<std::optional<std::string>(std::string_view notice_gbk)>;
void SetPasswordPrompt(PasswordPrompt prompt);
PasswordPrompt InstalledPasswordPrompt();  // empty when none is installed

// How many times "?" asks before giving up with -78.
constexpr int kPasswordAttempts = 3;

struct OpenOptions {
  OpenAccess access = OpenAccess::kRepairing;
  OpenShare share = OpenShare::kDenyNone;
  std::string password;                  // GBK; "?" asks through the PasswordPrompt
  std::vector<std::string> index_names;  // empty names are skipped
  std::optional<int32_t> lock_wait_ms;   // default: DefaultLockWait()
};

// What to sort into a new file (SortInto).
struct SortRequest {
  std::string target;                  // file name; default extension "EDB"
  std::vector<std::string> key_names;  // at least one; no memo or byte-set fields
  std::vector<bool> ascending;         // per key; keys beyond the flags sort ascending
  // Called once per source record with that record current and served from memory; records for
  // which it returns false are left out. Empty: every record is kept.
  std::function<bool()> condition;
  std::vector<std::string> copy_fields;  // fields of the target in this order; empty = all
  // When set, receives the serial each target record's source record carries (as stored:
  // negative when marked deleted), in target order: the target numbers its records afresh, and
  // this says which record of the source each one came from.
  std::vector<int32_t>* source_serials = nullptr;
};

class DatabaseHandle {
 public:
  // Opens the database `name` (completed with "EDB", made absolute) and runs the reader checks in
  // their order, making the repairs only with access 0. On failure every file opened is closed
  // again and *out is left empty. Errors: -3 for an empty name; file errors -2..-15 (fallback
  // -21); -22, -78, -23, -48 header; -35, -36, -37 MemoFile; -34, -30, -33, -31, -32, -49, -43,
  // -42, -54, -53 index files; -28 when the whole-file lock cannot be taken.
  static EngineCode Open(std::string_view name, const OpenOptions& options,
                         std::unique_ptr<DatabaseHandle>* out);

  ~DatabaseHandle();
  DatabaseHandle(const DatabaseHandle&) = delete;
  DatabaseHandle& operator=(const DatabaseHandle&) = delete;

  // Releases every lock and closes every file. Later operations fail with -27.
  void Close();
  bool IsOpen() const { return file_.IsOpen(); }

  const std::string& full_path() const { return full_path_; }
  const std::string& title() const { return title_; }
  const std::string& alias() const { return alias_; }
  void set_alias(std::string alias) { alias_ = std::move(alias); }

  // The header as read at open (its count and serial are not kept current: use ReadRecordCount).
  const RecordHeader& header() const { return header_; }
  const std::vector<FieldDescriptor>& fields() const { return fields_; }
  int field_count() const { return static_cast<int>(fields_.size()); }
  uint64_t records_start() const { return records_start_; }
  int32_t record_size() const { return header_.record_size; }
  bool lock_free() const { return policy_.lock_free; }

  // 0-based index of a field by name (ASCII case ignored), or -1.
  int FindField(std::string_view name) const;

  // -1 before the first record, count after the last. Setting it ends a walk (read_ahead.h).
  int32_t current_record() const { return current_; }
  void set_current_record(int32_t position) {
    EndWalk();
    current_ = position;
  }

  int32_t lock_wait() const { return policy_.wait_ms; }
  void set_lock_wait(int32_t wait_ms) { policy_.wait_ms = wait_ms; }

  // Record count (deleted records included, at least 0) and next serial (at least 1), read under
  // the count byte's lock. -27, -28, -65. Ends a walk.
  EngineCode ReadRecordCount(int32_t* count, int32_t* next_serial = nullptr);

  // Current record 0.
  void MoveFirst() { set_current_record(0); }

  // Moves by n records: forward fails with -26 on an empty file or at/after the end; backward
  // with -25 on an empty file or before the start. Stops at count (after the last) or at -1.
  // Skip(1) inside a walk's chunk takes the count read with the chunk; any other n ends a walk.
  EngineCode Skip(int32_t n);

  // The stored value of a field of the current record (see StoredValueBytes in value_codec.h):
  // text and memo without NULs, byte-sets as their bytes, other types as their raw little-endian
  // bytes. -27, -61 bad field, -60 no current record, -10 position at or beyond the end of the
  // file, -46 short read or no MemoFile, -59 damaged chain, -28 lock.
  EngineCode ReadFieldBytes(int field, std::string* bytes);

  // The same as a typed value of the field's value kind (text and byte-set blocks from the runtime
  // heap, owned by the caller). On failure *value is the empty value of the field's type.
  EngineCode ReadField(int field, TypedValue* value);

  // Writes one field of the current record. -27, -61, -60 (no current record, or the field lies
  // at or beyond the end of the file), -72 value kind, -47, -59, -28. On failure the field
  // keeps its old value.
  EngineCode WriteField(int field, const TypedValue& value);

  // Appends an all-zero record carrying the next serial; it becomes current. -27, -28, -65, -10,
  // -63.
  EngineCode AppendBlank();

  // Add a record / modify the current one with values in field order (an omitted value, tag 0,
  // leaves its field alone). Every value is checked (-72) before anything is written; on any
  // failure the record (and the record count) stay as they were.
  EngineCode AddRecord(const TypedValue* values, int count);
  EngineCode ModifyRecord(const TypedValue* values, int count);

  // Empties the database (the next serial stays); current record 0. -27, -28, file errors.
  EngineCode ClearAll();

  // Removes every deleted record (negative serial), or the records first .. first + count - 1
  // (-44 when first is not a record or count <= 0), releasing their memo chains. Current record 0.
  // Records move down batch by batch; a writer stopped between two batches leaves every kept
  // record exactly once, records not yet reached as they were, and blank deleted records (serial
  // -1) in the slots in between, which the next pack removes.
  EngineCode PackDeleted();
  EngineCode PackRange(int32_t first, int32_t count);

  // Sorts the records into a new database (see SortRequest). -71 key field missing or
  // memo/byte-set, -40 copy field missing, -3 empty target, -2/-50 and file errors creating, -62
  // short read. The target is built under a passing name beside it and then takes the target's
  // name, so the target's name always names a whole database (the old one, the new one, or none
  // while the old one is being replaced).
  EngineCode SortInto(const SortRequest& request);

  // Holds the lock of the record at `position` (the lock its reads and writes take) until
  // UnlockRecord, so that a program can read a field, build a new value from it and write it
  // back without another program writing the record in between: its own reads and writes of the
  // record nest in the held lock. Waits for another holder up to the longer of the handle's
  // lock wait and kRecordLockWait. -27, -44 for a position outside 0 .. count - 1, -28.
  EngineCode LockRecord(int32_t position);
  // Gives back one LockRecord of that record. -27, -29 (also when it was not held).
  EngineCode UnlockRecord(int32_t position);

  // For tools and tests: the raw bytes of the record at `position` (serial first), read under its
  // lock. -44 for a position outside 0 .. count - 1, -62 short read.
  EngineCode ReadRecordBytes(int32_t position, std::string* bytes);
  MemoFile* memo_file() { return memo_.get(); }
  LockTable* locks() { return &locks_; }

  // While set, field reads of the current record take its bytes from `record` instead of the file
  // (the sort serves each record from memory this way while its condition runs). Null clears it.
  void ServeFromMemory(const std::string* record) { memory_record_ = record; }

  // True while a sort runs its condition routine on this handle (it must not be closed then).
  bool running_condition() const { return running_condition_ > 0; }

 private:
  // What PutRecord writes.
  enum class RecordWrite {
    kAppendBlank,  // a new all-zero record; first checks that the file holds every counted one
    kAdd,          // a new record with values
    kModify,       // the current record, with values
  };
  enum class PackMode { kDeleted, kRange };

  DatabaseHandle();
  EngineCode OpenChecked(const std::string& full_path, const OpenOptions& options,
                         const std::string& password);
  EngineCode CheckRecordFile(OpenAccess access, const std::string& password);
  // The walk (read_ahead.h): ends it and drops its chunk.
  void EndWalk() {
    ahead_.Drop();
    walk_last_ = kNoWalk;
    walk_chain_fields_ = 0;
    walk_chunk_records_ = kReadAheadFirstRecords;
  }
  // Whether the chunk may serve the record at `position` now.
  bool ReadAheadServes(int64_t position) const;
  // Serves field `field_index` of the current record from the walk's chunk, reading a chunk first
  // when the walk has just stepped past the one it has. *served false: the caller reads the
  // field as the protocol does (no chunk, or a chain field the chunk did not read).
  // *raw points into the chunk until the next call on the handle.
  EngineCode ReadAheadField(int field_index, std::string_view* raw, bool* served);
  // The stored bytes of a field of the current record (as ReadFieldBytes gives them), from the
  // walk's chunk or read into *storage by the protocol; *value points at them.
  EngineCode ReadFieldView(int field_index, std::string* storage, std::string_view* value);
  // Reads a chunk from `position` on; leaves none when the locks or the reads fail (the caller
  // then reads by the protocol, which reports its own failure). Only a failed unlock is an error.
  EngineCode FillReadAhead(int64_t position);
  // The chains of the walk's chain fields of the chunk's first *records records, under the
  // chunk's locks; may lower *records to keep the values within kReadAheadValueBytes. May throw
  // std::bad_alloc.
  EngineCode ReadAheadChains(int64_t* records);
  // The record count under its lock, leaving a walk as it is.
  EngineCode ReadRecordCountLocked(int32_t* count, int32_t* next_serial);
  // Lowers the count below the blank deleted records that end the file (record_format.h) and cuts
  // them off. REQUIRES: the whole-file lock; the file holds the counted records.
  EngineCode DropTrailingBlankRecords();
  EngineCode OpenIndexes(const OpenOptions& options);
  uint64_t RecordOffset(int64_t position) const {
    return records_start_ +
           static_cast<uint64_t>(position) * static_cast<uint32_t>(header_.record_size);
  }
  // How long an open or a write waits for a lock: kBusyLockWait, or the handle's lock-wait time
  // when that is longer.
  int32_t BusyWait() const { return locks_.busy_wait(); }
  // `raw`, when not null, receives the 8 bytes as stored (the old bytes of a later overwrite).
  EngineCode ReadCountLocked(int32_t* count, int32_t* next_serial, char* raw = nullptr);
  // Fills `buffer` (sized by the caller) with records from `position` on; -62 when short.
  EngineCode ReadRecordsAt(int64_t position, std::string* buffer);
  // `old`, when not null, holds the 8 bytes stored now. On failure *maybe_counted says that the
  // file may hold the new count after all (it could not be read back).
  EngineCode WriteCountAndSerial(int32_t count, int32_t next_serial, const char* old,
                                 bool* maybe_counted);
  EngineCode PutRecord(RecordWrite what, const TypedValue* values, int count);
  EngineCode Pack(PackMode mode, int32_t first, int32_t count);
  // Removes the record chains of records that a pack has dropped.
  EngineCode ReleaseChains(const std::vector<uint32_t>& firsts);

  LockPolicy policy_;
  platform::File file_;
  LockTable locks_;
  std::unique_ptr<MemoFile> memo_;
  // Every overwrite of the two files goes through it (journal.h).
  Journal journal_;
  std::vector<platform::File> index_files_;
  std::vector<IndexHeader> index_headers_;

  std::string full_path_;
  std::string title_;
  std::string alias_;
  RecordHeader header_;
  std::vector<FieldDescriptor> fields_;
  std::vector<std::string> field_names_;  // fields_[i].Name(), decoded once at open
  // The last name looked up and what it gave: programs name the same field on every read.
  mutable std::string last_lookup_;
  mutable int last_lookup_index_ = -1;
  uint64_t records_start_ = 0;
  int32_t current_ = 0;
  // The walk: the record whose field was read last (kNoWalk when no walk goes on), the chain
  // fields it has read (bit i: field i), the next chunk's size in records, and its chunk.
  static constexpr int64_t kNoWalk = -2;
  int64_t walk_last_ = kNoWalk;
  uint64_t walk_chain_fields_ = 0;
  int64_t walk_chunk_records_ = kReadAheadFirstRecords;
  ReadAhead ahead_;
  const std::string* memory_record_ = nullptr;
  int running_condition_ = 0;
};

// "now" as a day number in local time (the backend's clock when one is installed).
double CurrentDayNumber();

}  // namespace memo::db
