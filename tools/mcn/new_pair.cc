#include "tools/mcn/new_pair.h"

#include <sys/stat.h>

#include "db/check.h"
#include "db/engine_code.h"
#include "platform/codec.h"

namespace memo::mcn {

namespace {

constexpr mode_t kPermissionBits = 0777;

// Sets the process's file-creation mask for its lifetime; mcn runs one thread, so no other
// creation sees the narrowed mask.
class CreationMask {
 public:
  explicit CreationMask(mode_t mask) : old_(::umask(mask)) {}
  ~CreationMask() { ::umask(old_); }
  CreationMask(const CreationMask&) = delete;
  CreationMask& operator=(const CreationMask&) = delete;

 private:
  mode_t old_;
};

std::string Why(const std::string& path, int rc) {
  if (rc == db::kCreateFailed && platform::FileExists(path)) {
    return GbkToUtf8(path) + " already exists; remove it first";
  }
  return GbkToUtf8(path) + ": " + std::to_string(rc) + " " + db::EngineMessageUtf8(rc);
}

}  // namespace

bool PermissionsOf(const platform::File& file, mode_t* mode) {
  struct stat st;
  if (!file.IsOpen() || ::fstat(file.Descriptor(), &st) != 0) return false;
  *mode = st.st_mode & kPermissionBits;
  return true;
}

int CreateWithPermissions(const std::string& path, mode_t mode, platform::File* out) {
  platform::FileError error;
  {
    CreationMask owner_only(077);
    error =
        platform::File::Open(path, platform::FileAccess::kReadWrite, platform::FileShare::kDenyNone,
                             platform::FileCreate::kCreateNew, out);
  }
  if (error != platform::FileError::kNone) return db::FileErrorCode(error, db::kCreateFailed);
  if (::fchmod(out->Descriptor(), mode & kPermissionBits) != 0) {
    out->Close();
    // The refusal is what the caller reports; a file that cannot be removed either stays empty.
    platform::IgnoreError(platform::RemoveFile(path));
    return db::kCreateFailed;
  }
  return db::kOk;
}

mode_t DefaultPermissions() {
  const mode_t mask = ::umask(077);
  ::umask(mask);
  return 0666 & ~mask;
}

bool SetPermissions(const std::string& path, mode_t mode) {
  return ::chmod(platform::ResolveOnDisk(path).c_str(), mode & kPermissionBits) == 0;
}

std::string NameOnDisk(const std::string& path) {
  std::string gbk;
  if (!platform::FileExists(path) || !Utf8ToGbkStrict(platform::ResolveOnDisk(path), &gbk)) {
    return path;
  }
  return gbk;
}

bool ClaimNewPair(const std::string& record_path, bool needs_memo, mode_t mode,
                  std::string* error) {
  const std::string memo_path = db::MemoPathFor(record_path);
  if (platform::FileExists(memo_path)) {
    *error = "the memo file " + Why(memo_path, db::kCreateFailed);
    return false;
  }
  platform::File record;
  int rc = CreateWithPermissions(record_path, mode, &record);
  if (rc != db::kOk) {
    *error = Why(record_path, rc);
    return false;
  }
  if (needs_memo) {
    platform::File memo;
    rc = CreateWithPermissions(memo_path, mode, &memo);
    if (rc != db::kOk) {
      record.Close();
      // The memo file's failure is what is reported; the empty record file is only tidied.
      platform::IgnoreError(platform::RemoveFile(record_path));
      *error = "the memo file " + Why(memo_path, rc);
      return false;
    }
  }
  return true;
}

void RemoveNewPair(const std::string& record_path, bool needs_memo) {
  // Called after a failure that is reported on its own; what cannot be removed stays behind.
  platform::IgnoreError(platform::RemoveFile(record_path));
  if (needs_memo) platform::IgnoreError(platform::RemoveFile(db::MemoPathFor(record_path)));
}

}  // namespace memo::mcn
