#include "db/passing_files.h"

#include "db/file_names.h"
#include "db/lock.h"

namespace memo::db {
namespace {

using platform::File;
using platform::FileError;

// The part of a path after its directory.
std::string_view NamePart(std::string_view path, std::string_view directory) {
  return path.substr(directory.size());
}

}  // namespace

std::vector<std::string> FindSortPassingFiles(std::string_view target_path) {
  const std::string directory = DirectoryPart(target_path);
  const std::string memo = MemoFileName(target_path);
  const std::string_view record_name = NamePart(target_path, directory);
  const std::string_view memo_name = NamePart(memo, directory);
  std::vector<std::string> found;
  for (const std::string& name : platform::ListDirectory(directory.empty() ? "." : directory)) {
    if (IsSortPassingNameOf(name, record_name) || IsSortPassingNameOf(name, memo_name)) {
      found.push_back(directory + name);
    }
  }
  return found;
}

namespace {

// Opens `path` and takes byte 0 of the builder's range: held only when no builder holds it.
bool TakeBuildersByte(std::string_view path, File* file) {
  if (File::Open(path, platform::FileAccess::kRead, platform::FileShare::kDenyNone,
                 platform::FileCreate::kOpenExisting, file) != FileError::kNone) {
    return false;
  }
  return file->Lock(0, 1) == FileError::kNone;
}

}  // namespace

bool PassingFileIsStale(std::string_view path) {
  File probe;
  return TakeBuildersByte(path, &probe);  // closing the probe lets the byte go again
}

int RemoveStalePassingFiles(std::string_view target_path) {
  int removed = 0;
  for (const std::string& path : FindSortPassingFiles(target_path)) {
    File probe;
    // Removed while the byte is held here, so no builder can be holding the file meanwhile.
    if (TakeBuildersByte(path, &probe) && platform::RemoveFile(path) == FileError::kNone) {
      ++removed;
    }
  }
  return removed;
}

EngineCode CreatePassingFile(std::string_view path, uint32_t mode, File* out) {
  out->Close();
  File file;
  FileError error =
      File::Open(path, platform::FileAccess::kReadWrite, platform::FileShare::kDenyNone,
                 platform::FileCreate::kCreateNew, &file, mode);
  if (error == FileError::kCreateFailed) return kCreateFailed;  // the name is taken
  if (error != FileError::kNone) return FileErrorCode(error, kCreateFailed);
  // A remover that found the file before this lock holds the lock itself (this one fails, and
  // the remover removes the file) or has removed the name already (the check after it fails).
  error = file.Lock(0, kWholeFileLockLength);
  if (error != FileError::kNone) {
    // Any other failure leaves a file that nobody will remove but its creator.
    if (error != FileError::kLockViolation) {
      file.Close();
      (void)platform::RemoveFile(path);
    }
    return kCreateFailed;
  }
  if (!platform::FileExists(path)) return kCreateFailed;
  *out = std::move(file);
  return kOk;
}

}  // namespace memo::db
