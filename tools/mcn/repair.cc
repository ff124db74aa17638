// mcn repair: mends a database's bookkeeping in place, after keeping copies of both files.
//
// What it mends is only ever numbers and links that can be worked out again from what the files
// hold, so no value is lost: the record count (when the file holds fewer whole records than the
// header counts and no part of another), the next serial (set above every serial), the MemoFile's
// block count (set from the blocks the file holds), back links along chains, and the free list
// (built again from every block that is on no chain, in block order, which reclaims leaked blocks
// and replaces a list that loops or runs into a chain), after which free blocks at the end are
// trimmed. Anything else — a chain that leaves the file, loops or shares a block, a bad used
// count, a serial of 0 or two live records with one serial, a damaged field table, a missing or
// foreign MemoFile, a record cut short — would need a guess about which bytes are right, and
// repair refuses it, changing nothing.
//
// Locks: the whole-file locks of both files, taken before the walk and held until the last write,
// so no engine writer (they work under record locks) and no block-lock reader sees a half-mended
// pair. Order of writes: the copies first (complete before the first change), then the free
// blocks' links and back links, then the MemoFile header, then the cut, then the RecordFile's
// count and serial.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "db/check.h"
#include "db/coding.h"
#include "db/engine_code.h"
#include "platform/codec.h"
#include "platform/file.h"
#include "tools/mcn/cli.h"
#include "tools/mcn/findings.h"
#include "tools/mcn/new_pair.h"

namespace memo::mcn {

namespace {

using platform::File;
using platform::FileError;

constexpr int kMaxCopyNumber = 9999;

// Copies the whole of `from` into the new file `to`, created only if no such file exists and with
// the permission bits of `from` (a copy of private data stays private). kOk, kCreateFailed when
// `to` exists, or the engine code of the failure.
int CopyInto(const File& from, const std::string& to) {
  mode_t mode = 0600;
  if (!PermissionsOf(from, &mode)) return db::kReadRecordFailed;
  File out;
  int rc = CreateWithPermissions(to, mode, &out);
  if (rc != db::kOk) return rc;
  FileError error = FileError::kNone;
  std::string buffer(1 << 20, '\0');
  for (uint64_t offset = 0;;) {
    size_t done = 0;
    error = from.ReadAt(offset, buffer.data(), buffer.size(), &done);
    if (error != FileError::kNone) return db::FileErrorCode(error, db::kReadRecordFailed);
    if (done == 0) return db::kOk;
    error = out.WriteAt(offset, buffer.data(), done);
    if (error != FileError::kNone) return db::FileErrorCode(error, db::kWriteRecordFailed);
    offset += done;
  }
}

// Keeps copies of both files beside them as NAME.bakN, NAME as the file is called on disk (the
// memo file of "a.mcn" is found as "a.EDT" but may be called "a.edt"), with the first N that
// neither file's copy has taken, so an earlier copy is never overwritten. The copies are complete
// or removed.
int KeepCopies(db::DatabaseFiles* files, std::vector<std::string>* copies) {
  const std::string record_name = NameOnDisk(files->record_path());
  const std::string memo_name = NameOnDisk(files->memo_path());
  for (int n = 1; n <= kMaxCopyNumber; ++n) {
    const std::string suffix = ".bak" + std::to_string(n);
    const std::string record_copy = record_name + suffix;
    const std::string memo_copy = memo_name + suffix;
    if (platform::FileExists(record_copy) || platform::FileExists(memo_copy)) continue;
    int rc = CopyInto(files->record(), record_copy);
    if (rc == db::kCreateFailed && platform::FileExists(record_copy)) continue;  // taken just now
    // A copy cut short is removed on a best-effort basis: the copy's own failure is reported.
    if (rc != db::kOk) {
      platform::IgnoreError(platform::RemoveFile(record_copy));
      return rc;
    }
    if (files->memo_open()) {
      rc = CopyInto(files->memo(), memo_copy);
      if (rc != db::kOk) {
        platform::IgnoreError(platform::RemoveFile(record_copy));
        if (!(rc == db::kCreateFailed && platform::FileExists(memo_copy))) {
          platform::IgnoreError(platform::RemoveFile(memo_copy));
          return rc;
        }
        continue;
      }
    }
    copies->push_back(record_copy);
    if (files->memo_open()) copies->push_back(memo_copy);
    return db::kOk;
  }
  return db::kCreateFailed;
}

int WriteLinks(File* memo, uint32_t block, const db::BlockLinks& links) {
  char bytes[db::kMemoBlockHeaderSize];
  db::EncodeBlockLinks(links, bytes);
  return db::FileErrorCode(memo->WriteAt(uint64_t{block} * db::kMemoBlockSize, bytes, sizeof bytes),
                           db::kMemoAccessFailed);
}

// Builds the MemoFile's bookkeeping again from the walk: the free list from every block on no
// chain, the block count from the last block in use, the file cut after it.
int RebuildMemo(File* memo, const db::CheckReport& report, std::vector<std::string>* done) {
  const std::vector<int64_t>& owner = report.chains.owner;
  const db::MemoHeader& old = report.walk.header;
  uint32_t last_used = 0;
  for (uint32_t k = 1; k < owner.size(); ++k) {
    if (owner[k] >= 0) last_used = k;
  }
  std::vector<uint32_t> free_blocks;
  for (uint32_t k = 1; k < last_used; ++k) {
    if (owner[k] < 0) free_blocks.push_back(k);
  }
  for (size_t i = 0; i < free_blocks.size(); ++i) {
    db::BlockLinks links;
    links.prev = i == 0 ? 0 : free_blocks[i - 1];
    links.next = i + 1 < free_blocks.size() ? free_blocks[i + 1] : 0;
    links.used = 0;
    int rc = WriteLinks(memo, free_blocks[i], links);
    if (rc != db::kOk) return rc;
  }
  for (const auto& [block, prev] : report.chains.back_link_fixes) {
    char bytes[4];
    db::EncodeFixed32(bytes, prev);
    int rc = db::FileErrorCode(
        memo->WriteAt(uint64_t{block} * db::kMemoBlockSize + db::kBlockPrevOffset, bytes, 4),
        db::kMemoAccessFailed);
    if (rc != db::kOk) return rc;
  }

  db::MemoHeader header = old;
  header.block_count = static_cast<int32_t>(last_used + 1);
  header.free_count = static_cast<int32_t>(free_blocks.size());
  header.free_head = free_blocks.empty() ? 0 : static_cast<int32_t>(free_blocks.front());
  char counts[12];
  db::EncodeInt32(counts, header.block_count);
  db::EncodeInt32(counts + 4, header.free_count);
  db::EncodeInt32(counts + 8, header.free_head);
  int rc = db::FileErrorCode(memo->WriteAt(db::kMemoBlockCountOffset, counts, sizeof counts),
                             db::kMemoAccessFailed);
  if (rc != db::kOk) return rc;
  const uint64_t length = uint64_t{last_used + 1} * db::kMemoBlockSize;
  rc = db::FileErrorCode(memo->SetLength(length), db::kMemoAccessFailed);
  if (rc != db::kOk) return rc;

  // What changed, for the user.
  if (report.chains.leaked_blocks > 0) {
    done->push_back("reclaimed " + std::to_string(report.chains.leaked_blocks) + " leaked block" +
                    (report.chains.leaked_blocks == 1 ? "" : "s"));
  }
  if (!report.chains.back_link_fixes.empty()) {
    done->push_back("set " + std::to_string(report.chains.back_link_fixes.size()) + " back link" +
                    (report.chains.back_link_fixes.size() == 1 ? "" : "s") + " along chains");
  }
  const uint64_t trimmed = report.memo_length > length ? report.memo_length - length : 0;
  done->push_back("memo file: block count " + std::to_string(header.block_count) + " (was " +
                  std::to_string(old.block_count) + "), " + std::to_string(header.free_count) +
                  " free block" + (header.free_count == 1 ? "" : "s") + " listed from block " +
                  std::to_string(header.free_head) + " (was " + std::to_string(old.free_count) +
                  " from " + std::to_string(old.free_head) + ")" +
                  (trimmed > 0 ? ", " + std::to_string(trimmed) + " bytes trimmed from its end"
                               : std::string()));
  return db::kOk;
}

int FixRecordHeader(File* record, const db::CheckReport& report, std::vector<std::string>* done) {
  int32_t count = report.header.record_count;
  int32_t next = report.header.next_serial;
  if (report.mended_record_count >= 0) {
    count = static_cast<int32_t>(report.mended_record_count);
    done->push_back("record count " + std::to_string(count) + " (was " +
                    std::to_string(report.header.record_count) + "), the records the file holds");
  }
  if (report.mended_next_serial >= 0) {
    next = static_cast<int32_t>(report.mended_next_serial);
    done->push_back("next serial " + std::to_string(next) + " (was " +
                    std::to_string(report.header.next_serial) + "), above every serial");
  }
  char bytes[8];
  db::EncodeInt32(bytes, count);
  db::EncodeInt32(bytes + 4, next);
  return db::FileErrorCode(record->WriteAt(db::kRecordCountOffset, bytes, sizeof bytes),
                           db::kWriteRecordFailed);
}

}  // namespace

int RepairCommand(const Invocation& invocation) {
  std::string full_path;
  if (!FullPathOf(invocation, &full_path)) return ReportEngineError(db::kInvalidPath);
  db::DatabaseFiles files;
  int rc = files.Open(full_path, platform::FileAccess::kReadWrite, kLockWaitMs);
  if (rc != db::kOk) return ReportEngineError(rc);
  rc = files.LockWhole(true);
  if (rc != db::kOk) return ReportEngineError(rc);
  const std::string password = Utf8ToGbk(invocation.password);
  db::CheckReport report;
  files.Analyze(password, &report);
  if (report.code != db::kOk) {
    PrintFindings(report, stderr);
    return ReportEngineError(report.code);
  }

  const bool fix_record = report.mended_record_count >= 0 || report.mended_next_serial >= 0;
  const bool fix_memo = files.memo_open() && report.memo_header_read &&
                        (report.memo_bookkeeping_off || report.memo_tidyable);
  if (report.HasUnmendableDamage()) {
    std::fprintf(stderr, "mcn: repair refused, nothing changed. Mending this would lose data:\n");
    for (const db::Finding& finding : report.findings) {
      if (finding.kind == db::FindingKind::kDamage && !finding.mendable) {
        std::fprintf(stderr, "  %s\n", finding.text.c_str());
      }
    }
    std::fprintf(stderr,
                 "It cannot tell which bytes are right. `mcn recover %s NEWFILE` copies every "
                 "record and every value that can be read into a new pair.\n",
                 invocation.file.c_str());
    return kExitFailure;
  }
  if (!fix_record && !fix_memo) {
    std::printf("nothing to repair: %lld record%s, no damage, no leaked blocks\n",
                static_cast<long long>(report.whole_records), report.whole_records == 1 ? "" : "s");
    return kExitOk;
  }

  std::vector<std::string> copies;
  rc = KeepCopies(&files, &copies);
  if (rc != db::kOk) {
    std::fprintf(stderr, "mcn: repair refused, nothing changed: the copies could not be kept\n");
    return ReportEngineError(rc);
  }
  for (const std::string& copy : copies) std::printf("kept a copy as %s\n", Utf8(copy).c_str());

  std::vector<std::string> done;
  if (fix_memo) rc = RebuildMemo(&files.memo(), report, &done);
  if (rc == db::kOk && fix_record) rc = FixRecordHeader(&files.record(), report, &done);
  for (const std::string& line : done) std::printf("repaired: %s\n", line.c_str());
  if (rc != db::kOk) {
    std::fprintf(stderr, "mcn: repair stopped part-way; the copies hold the files as they were\n");
    return ReportEngineError(rc);
  }

  // The walk again, still under the locks: what repair leaves must be sound.
  db::CheckReport after;
  files.Analyze(password, &after);
  if (after.code != db::kOk || after.HasDamage() || after.leaked_blocks() > 0) {
    PrintFindings(after, stderr);
    std::fprintf(stderr, "mcn: the files still have problems after the repair\n");
    return kExitFailure;
  }
  rc = files.Unlock();
  if (rc != db::kOk) return ReportEngineError(rc);
  std::printf("ok: %lld record%s, no problems found\n", static_cast<long long>(after.whole_records),
              after.whole_records == 1 ? "" : "s");
  return kExitOk;
}

}  // namespace memo::mcn
