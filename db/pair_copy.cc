#include "db/pair_copy.h"

#include <string>

#include "db/check.h"
#include "db/engine_code.h"
#include "platform/codec.h"
#include "platform/directory.h"
#include "platform/file.h"

namespace memo::db {

namespace {

using platform::File;
using platform::FileError;

constexpr size_t kChunk = 1 << 20;

// The file name of a full path ('/' or '\' separates; neither is a GBK trail byte below 0x40).
std::string_view BaseName(std::string_view path) {
  size_t slash = path.find_last_of("/\\");
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// Writes the whole of `from` into the passing file `to` (created or truncated), flushed and with
// the source's permission bits. Fills `copy` with the failure.
bool WritePassing(const File& from, const std::string& to, std::string* buffer, PairCopy* copy) {
  File out;
  FileError error = File::Open(to, platform::FileAccess::kReadWrite, platform::FileShare::kDenyNone,
                               platform::FileCreate::kCreateAlways, &out);
  if (error != FileError::kNone) {
    copy->code = FileErrorCode(error, kCreateFailed);
    copy->failed_path = to;
    return false;
  }
  for (uint64_t offset = 0;;) {
    size_t done = 0;
    error = from.ReadAt(offset, buffer->data(), buffer->size(), &done);
    if (error != FileError::kNone) {
      copy->code = FileErrorCode(error, kReadRecordFailed);
      copy->failed_path = from.Path();
      return false;
    }
    if (done == 0) break;
    error = out.WriteAt(offset, buffer->data(), done);
    if (error != FileError::kNone) {
      copy->code = FileErrorCode(error, kWriteRecordFailed);
      copy->failed_path = to;
      return false;
    }
    offset += done;
  }
  error = platform::CopyPermissions(from, out);
  if (error == FileError::kNone) error = platform::SyncFile(out);
  if (error != FileError::kNone) {
    copy->code = FileErrorCode(error, kWriteRecordFailed);
    copy->failed_path = to;
    return false;
  }
  return true;
}

}  // namespace

std::string PassingName(std::string_view final_path) {
  return std::string(final_path) + ".partial";
}

PairCopy CopyDatabasePair(std::string_view record_full_path, std::string_view target_directory,
                          int32_t lock_wait_ms) {
  PairCopy copy;
  std::string target(target_directory);
  while (target.size() > 1 && (target.back() == '/' || target.back() == '\\')) target.pop_back();

  DatabaseFiles files;
  copy.code = files.Open(record_full_path, platform::FileAccess::kRead, lock_wait_ms);
  if (copy.code != kOk) {
    copy.failed_path = std::string(record_full_path);
    return copy;
  }
  // (source, final copy) for each file of the pair. A copy takes the name its source has on
  // disk: the engine finds "a.edt" under the name "a.EDT" too, a later reader of the copy as well.
  std::vector<std::pair<const File*, std::string>> plan;
  auto copy_name = [&target](const File& source) {
    return target + "/" + std::string(BaseName(Utf8ToGbk(source.Path())));
  };
  plan.emplace_back(&files.record(), copy_name(files.record()));
  if (files.memo_open()) plan.emplace_back(&files.memo(), copy_name(files.memo()));
  auto remove_passing = [&plan] {
    // After a failure that is reported on its own: a ".partial" file that stays is no copy
    // under its final name, and the next copy writes over it.
    for (const auto& [source, final_path] : plan) {
      platform::IgnoreError(platform::RemoveFile(PassingName(final_path)));
    }
  };

  copy.code = files.LockWhole(true);
  if (copy.code != kOk) {
    copy.failed_path = files.record_path();
    return copy;
  }
  std::string buffer(kChunk, '\0');
  for (const auto& [source, final_path] : plan) {
    if (!WritePassing(*source, PassingName(final_path), &buffer, &copy)) {
      IgnoreCode(files.Unlock());  // the copy's failure is the one reported
      remove_passing();
      return copy;
    }
  }
  copy.code = files.Unlock();
  if (copy.code != kOk) {
    copy.failed_path = files.record_path();
    remove_passing();
    return copy;
  }
  for (const auto& [source, final_path] : plan) {
    FileError error = platform::RenameFile(PassingName(final_path), final_path);
    if (error != FileError::kNone) {
      copy.code = FileErrorCode(error, kWriteRecordFailed);
      copy.failed_path = final_path;
      remove_passing();
      return copy;
    }
    copy.copied.push_back(final_path);
  }
  FileError error = platform::SyncDirectory(target);
  if (error != FileError::kNone) {
    copy.code = FileErrorCode(error, kWriteRecordFailed);
    copy.failed_path = target;
  }
  return copy;
}

}  // namespace memo::db
