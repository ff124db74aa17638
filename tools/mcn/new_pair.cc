#include "tools/mcn/new_pair.h"

#include "db/check.h"
#include "db/engine_code.h"
#include "platform/codec.h"
#include "platform/file.h"

namespace memo::mcn {

namespace {

// kOk, or the engine code of the failure (kCreateFailed when the name is taken).
int CreateExclusively(const std::string& path) {
  platform::File file;
  platform::FileError error =
      platform::File::Open(path, platform::FileAccess::kReadWrite, platform::FileShare::kDenyNone,
                           platform::FileCreate::kCreateNew, &file);
  return db::FileErrorCode(error, db::kCreateFailed);
}

std::string Why(const std::string& path, int rc) {
  if (rc == db::kCreateFailed && platform::FileExists(path)) {
    return GbkToUtf8(path) + " already exists; remove it first";
  }
  return GbkToUtf8(path) + ": " + std::to_string(rc) + " " + db::EngineMessageUtf8(rc);
}

}  // namespace

bool ClaimNewPair(const std::string& record_path, bool needs_memo, std::string* error) {
  const std::string memo_path = db::MemoPathFor(record_path);
  if (platform::FileExists(memo_path)) {
    *error = "the memo file " + Why(memo_path, db::kCreateFailed);
    return false;
  }
  int rc = CreateExclusively(record_path);
  if (rc != db::kOk) {
    *error = Why(record_path, rc);
    return false;
  }
  if (needs_memo) {
    rc = CreateExclusively(memo_path);
    if (rc != db::kOk) {
      platform::RemoveFile(record_path);
      *error = "the memo file " + Why(memo_path, rc);
      return false;
    }
  }
  return true;
}

void RemoveNewPair(const std::string& record_path, bool needs_memo) {
  platform::RemoveFile(record_path);
  if (needs_memo) platform::RemoveFile(db::MemoPathFor(record_path));
}

}  // namespace memo::mcn
