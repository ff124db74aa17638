#include "db/journal.h"

#include <chrono>
#include <cstring>
#include <random>

#include "db/buffer.h"
#include "db/coding.h"
#include "db/read_ahead.h"

namespace memo::db {
namespace {

using platform::File;
using platform::FileError;

constexpr char kMagic[4] = {'M', 'J', 'N', 'L'};
// Entry: magic, target u32, offset u64, count u64, sequence u64 | new bytes | sequence u64.
constexpr size_t kHeaderSize = 32;
constexpr size_t kSequenceOffset = 24;
constexpr size_t kTrailerSize = 8;
// An entry larger than this is not one this engine wrote (its largest overwrite is a pack batch
// of a few hundred KB).
constexpr uint64_t kMaxEntryBytes = uint64_t{1} << 30;
// Slots an opener looks at and a writer may take.
constexpr int kMaxSlots = 64;

bool AtMostOneByteDiffers(const char* a, const char* b, size_t count) {
  int differing = 0;
  for (size_t i = 0; i < count; ++i) {
    if (a[i] != b[i] && ++differing > 1) return false;
  }
  return true;
}

// A sequence base that another handle's entry in the same slot file will not share: the entry's
// two copies of it are what tells a whole entry from a cut one, so it must not be a value that
// old bytes at the trailer's place could hold by chance.
uint64_t SequenceBase() {
  static thread_local std::mt19937_64 generator([] {
    std::random_device device;
    const uint64_t now =
        static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    return (uint64_t{device()} << 32) ^ device() ^ now;
  }());
  return generator() | 1;
}

// Applies the entry in `slot` (a slot file whose lock the caller holds): true when nothing is
// left to do (no valid entry, or its bytes are in place), false when it could not be applied.
bool ReplaySlot(const File& slot, const std::string& record_path, const std::string& memo_path) {
  uint64_t length = 0;
  if (slot.Length(&length) != FileError::kNone) return false;
  if (length < kHeaderSize + kTrailerSize) return true;
  char header[kHeaderSize];
  size_t done = 0;
  if (slot.ReadAt(0, header, sizeof header, &done) != FileError::kNone) return false;
  if (done != sizeof header || std::memcmp(header, kMagic, sizeof kMagic) != 0) return true;
  const uint32_t target = DecodeFixed32(header + 4);
  const uint64_t offset = DecodeFixed64(header + 8);
  const uint64_t count = DecodeFixed64(header + 16);
  const uint64_t sequence = DecodeFixed64(header + kSequenceOffset);
  if (count == 0 || count > kMaxEntryBytes || kHeaderSize + count + kTrailerSize > length ||
      offset > kMaxEntryBytes * 64) {
    return true;
  }
  std::string bytes;
  if (!TryResize(&bytes, static_cast<size_t>(count + kTrailerSize))) return false;
  if (slot.ReadAt(kHeaderSize, bytes.data(), bytes.size(), &done) != FileError::kNone) {
    return false;
  }
  if (done != bytes.size()) return true;
  if (DecodeFixed64(bytes.data() + count) != sequence || sequence == 0) return true;
  bytes.resize(static_cast<size_t>(count));

  const std::string* path = nullptr;
  if (target == static_cast<uint32_t>(JournalTarget::kRecordFile)) path = &record_path;
  if (target == static_cast<uint32_t>(JournalTarget::kMemoFile)) path = &memo_path;
  if (path == nullptr) return true;
  if (path->empty()) return false;
  File file;
  if (File::Open(*path, platform::FileAccess::kReadWrite, platform::FileShare::kDenyNone,
                 platform::FileCreate::kOpenExisting, &file) != FileError::kNone) {
    return false;
  }
  std::string current;
  if (!TryResize(&current, bytes.size())) return false;
  if (file.ReadAt(offset, current.data(), current.size(), &done) != FileError::kNone) {
    return false;
  }
  if (done == current.size() && current == bytes) return true;
  return file.WriteAt(offset, bytes.data(), bytes.size()) == FileError::kNone;
}

// Removes slot `slot` (whose lock the caller holds) unless the next one exists; true if removed.
bool RemoveSlot(const std::string& record_path, int slot) {
  return !platform::FileExists(Journal::SlotName(record_path, slot + 1)) &&
         platform::RemoveFile(Journal::SlotName(record_path, slot)) == FileError::kNone;
}

}  // namespace

std::string Journal::SlotName(const std::string& record_path, int slot) {
  return record_path + ".~j" + std::to_string(slot);
}

void Journal::Bind(std::string record_path, std::string memo_path, bool others_may_write) {
  Close();
  record_path_ = std::move(record_path);
  memo_path_ = std::move(memo_path);
  others_may_write_ = others_may_write;
  // Taken now rather than at the first write, so that a write makes no calls beyond its own
  // and its entries'. Where no slot can be had (a directory nobody may create files in), the
  // handle writes in place without entries, as a program that knows no journal does.
  IgnoreCode(TakeSlot());
}

void Journal::Close() {
  if (!slot_.IsOpen()) return;
  // Every write of the handle is whole: the entry has nothing left to complete. The slot goes
  // away unless a higher one exists (then it stays, empty, so that the slots have no gap).
  if (!RemoveSlot(record_path_, slot_index_) && written_) (void)slot_.SetLength(0);
  written_ = false;
  slot_.Close();
  slot_index_ = -1;
  live_ = false;
}

void Journal::Recover(const std::string& record_path, const std::string& memo_path) {
  // Slots have no gaps but for a race of two handles closing; one missing name more is looked at.
  int missing = 0;
  for (int i = 0; i < kMaxSlots && missing < 2; ++i) {
    const std::string name = SlotName(record_path, i);
    if (!platform::FileExists(name)) {
      ++missing;
      continue;
    }
    missing = 0;
    File slot;
    if (File::Open(name, platform::FileAccess::kReadWrite, platform::FileShare::kDenyNone,
                   platform::FileCreate::kOpenExisting, &slot) != FileError::kNone) {
      continue;
    }
    if (slot.Lock(0, 1) != FileError::kNone) continue;  // its handle is alive
    uint64_t length = 0;
    if (slot.Length(&length) != FileError::kNone || length == 0) continue;
    if (ReplaySlot(slot, record_path, memo_path) && !RemoveSlot(record_path, i)) {
      (void)slot.SetLength(0);
    }
  }
}

EngineCode Journal::TakeSlot() {
  if (slot_.IsOpen()) return kOk;
  if (record_path_.empty()) return kUnknownError;
  FileError last = FileError::kNone;
  int retries = 0;
  for (int i = 0; i < kMaxSlots; ++i) {
    File slot;
    last = File::Open(SlotName(record_path_, i), platform::FileAccess::kReadWrite,
                      platform::FileShare::kDenyNone, platform::FileCreate::kOpenAlways, &slot);
    if (last != FileError::kNone) break;
    if (slot.Lock(0, 1) != FileError::kNone) continue;
    // The slot may have been removed by its owner between our open and our lock.
    if (!platform::FileExists(SlotName(record_path_, i)) && ++retries < 8) {
      --i;
      continue;
    }
    // A slot left by a handle that is gone: what it holds is completed before it is reused.
    uint64_t length = 0;
    if (slot.Length(&length) == FileError::kNone && length > 0) {
      if (!ReplaySlot(slot, record_path_, memo_path_)) continue;
      if (slot.SetLength(0) != FileError::kNone) continue;
    }
    slot_ = std::move(slot);
    slot_index_ = i;
    sequence_ = SequenceBase();
    return kOk;
  }
  return last != FileError::kNone ? FileErrorCode(last, kUnknownError) : kLockFailed;
}

void Journal::Void() {
  if (!live_) return;
  live_ = false;
  const char zero[8] = {};
  if (slot_.WriteAt(kSequenceOffset, zero, sizeof zero) != FileError::kNone) {
    (void)slot_.SetLength(0);
  }
}

EngineCode Journal::Overwrite(JournalTarget target, File* file, uint64_t offset, const void* bytes,
                              size_t count, const void* old_bytes, EngineCode fallback) {
  if (count == 0) return kOk;
  CountProcessWrite();
  const uint64_t end = offset + count;
  if (!slot_.IsOpen()) {  // not bound to a database, or no slot to be had: plain writes
    return FileErrorCode(file->WriteAt(offset, bytes, count), fallback);
  }
  if (old_bytes != nullptr && AtMostOneByteDiffers(static_cast<const char*>(old_bytes),
                                                   static_cast<const char*>(bytes), count)) {
    // Every prefix of this write is the old bytes or the new ones.
    if (Touches(target, offset, end)) Void();
    return FileErrorCode(file->WriteAt(offset, bytes, count), fallback);
  }
  if (!TryResize(&entry_, kHeaderSize + count + kTrailerSize)) return kAllocationFailed;
  const uint64_t sequence = sequence_++;
  char* out = entry_.data();
  std::memcpy(out, kMagic, sizeof kMagic);
  EncodeFixed32(out + 4, static_cast<uint32_t>(target));
  EncodeFixed64(out + 8, offset);
  EncodeFixed64(out + 16, count);
  EncodeFixed64(out + kSequenceOffset, sequence);
  std::memcpy(out + kHeaderSize, bytes, count);
  EncodeFixed64(out + kHeaderSize + count, sequence);
  // From the first byte of this entry on, the previous one can no longer be replayed.
  live_ = false;
  written_ = true;
  FileError error = slot_.WriteAt(0, entry_.data(), entry_.size());
  if (error != FileError::kNone) return FileErrorCode(error, fallback);
  live_ = true;
  live_target_ = target;
  live_offset_ = offset;
  live_end_ = end;
  error = file->WriteAt(offset, bytes, count);
  // A write cut short is tried again whole; if that fails too, the entry stays for the next
  // opener, which completes the write.
  if (error != FileError::kNone) error = file->WriteAt(offset, bytes, count);
  if (error != FileError::kNone) return FileErrorCode(error, fallback);
  if (others_may_write_) Void();
  return kOk;
}

EngineCode Journal::WriteFresh(JournalTarget target, File* file, uint64_t offset, const void* bytes,
                               size_t count, EngineCode fallback) {
  if (count == 0) return kOk;
  CountProcessWrite();
  if (Touches(target, offset, offset + count)) Void();
  return FileErrorCode(file->WriteAt(offset, bytes, count), fallback);
}

EngineCode Journal::SetLength(JournalTarget target, File* file, uint64_t length,
                              EngineCode fallback) {
  CountProcessWrite();
  if (live_ && target == live_target_ && live_end_ > length) Void();
  return FileErrorCode(file->SetLength(length), fallback);
}

}  // namespace memo::db
