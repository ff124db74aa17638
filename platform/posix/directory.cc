#include "platform/directory.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "platform/codec.h"

namespace memo::platform {

namespace {

// The UTF-8 name on disk (found case-insensitively when it exists under another case).
bool DiskName(std::string_view path_gbk, std::string* utf8) {
  *utf8 = ResolveOnDisk(path_gbk);
  return !utf8->empty();
}

FileError RemoveTreeUtf8(const std::string& path) {
  struct stat st {};
  if (lstat(path.c_str(), &st) != 0)
    return errno == ENOENT ? FileError::kNone : FileErrorFromErrno(errno);
  if (!S_ISDIR(st.st_mode)) {
    return unlink(path.c_str()) == 0 ? FileError::kNone : FileErrorFromErrno(errno);
  }
  DIR* dir = opendir(path.c_str());
  if (dir == nullptr) return FileErrorFromErrno(errno);
  std::vector<std::string> entries;
  while (dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    if (name != "." && name != "..") entries.push_back(path + "/" + name);
  }
  closedir(dir);
  for (const std::string& entry : entries) {
    FileError error = RemoveTreeUtf8(entry);
    if (error != FileError::kNone) return error;
  }
  return rmdir(path.c_str()) == 0 ? FileError::kNone : FileErrorFromErrno(errno);
}

}  // namespace

FileError MakeDirectory(std::string_view path_gbk, unsigned mode) {
  std::string path;
  if (!DiskName(path_gbk, &path)) return FileError::kInvalidPath;
  if (mkdir(path.c_str(), static_cast<mode_t>(mode)) == 0) return FileError::kNone;
  int err = errno;
  if (err == EEXIST) {
    struct stat st {};
    if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return FileError::kNone;
    return FileError::kAccessDenied;
  }
  return FileErrorFromErrno(err);
}

FileError ListDirectory(std::string_view path_gbk, std::vector<std::string>* names_gbk) {
  names_gbk->clear();
  std::string path;
  if (!DiskName(path_gbk, &path)) return FileError::kInvalidPath;
  DIR* dir = opendir(path.c_str());
  if (dir == nullptr) return FileErrorFromErrno(errno);
  while (dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    names_gbk->push_back(Utf8ToGbk(name));
  }
  closedir(dir);
  return FileError::kNone;
}

bool DirectoryExists(std::string_view path_gbk) {
  std::string path;
  struct stat st {};
  return DiskName(path_gbk, &path) && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

FileError RemoveTree(std::string_view path_gbk) {
  std::string path;
  if (!DiskName(path_gbk, &path)) return FileError::kInvalidPath;
  return RemoveTreeUtf8(path);
}

FileError SyncFile(const File& file) {
  if (!file.IsOpen()) return FileError::kInvalidHandle;
  return fsync(file.Descriptor()) == 0 ? FileError::kNone : FileErrorFromErrno(errno);
}

FileError SyncDirectory(std::string_view path_gbk) {
  std::string path;
  if (!DiskName(path_gbk, &path)) return FileError::kInvalidPath;
  int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return FileErrorFromErrno(errno);
  int rc = fsync(fd);
  int err = errno;
  close(fd);
  return rc == 0 ? FileError::kNone : FileErrorFromErrno(err);
}

FileError CopyPermissions(const File& from, const File& to) {
  if (!from.IsOpen() || !to.IsOpen()) return FileError::kInvalidHandle;
  struct stat st {};
  if (fstat(from.Descriptor(), &st) != 0) return FileErrorFromErrno(errno);
  if (fchmod(to.Descriptor(), st.st_mode & 0777) != 0) return FileErrorFromErrno(errno);
  return FileError::kNone;
}

}  // namespace memo::platform
