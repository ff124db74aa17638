// Windows-style path handling over a POSIX file system: `\` separates like `/`, full paths are
// made without touching the disk, and a name that is missing as written is looked up
// case-insensitively, component by component.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <vector>

#include "platform/codec.h"
#include "platform/file.h"
#include "platform/file_calls.h"
#include "platform/gbk.h"
#include "platform/posix/path_util.h"
#include "platform/posix/syscalls.h"

namespace memo::platform {
namespace {

// The calls below, counted for platform/file_calls.h.
int CountedStat(const char* path, struct stat* st) {
  CountFileCall(FileCall::kOther);
  return stat(path, st);
}
int CountedLstat(const char* path, struct stat* st) {
  CountFileCall(FileCall::kOther);
  return lstat(path, st);
}

}  // namespace

namespace posix {

bool Utf8Path(std::string_view path_gbk, std::string* out) {
  std::string path;
  if (!GbkToUtf8Strict(path_gbk, &path)) return false;
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  *out = std::move(path);
  return true;
}

bool ParentDirectoryExists(const std::string& path_utf8) {
  size_t slash = path_utf8.find_last_of('/');
  if (slash == std::string::npos) return true;  // the current directory
  std::string parent = slash == 0 ? std::string("/") : path_utf8.substr(0, slash);
  struct stat st {};
  return CountedStat(parent.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool EqualsIgnoreAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]);
    unsigned char y = static_cast<unsigned char>(b[i]);
    if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

}  // namespace posix

namespace {

// Splits a GBK path into its components at `/` and `\`, walking whole characters so that a trail
// byte 0x5C is never taken for a separator. Empty components are dropped.
std::vector<std::string> SplitGbk(std::string_view path) {
  std::vector<std::string> parts;
  std::string current;
  for (size_t i = 0; i < path.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(path[i]);
    if (GbkCharSize(path, i) == 2) {
      current += path[i];
      current += path[++i];
    } else if (c == '/' || c == '\\') {
      if (!current.empty()) parts.push_back(std::move(current));
      current.clear();
    } else {
      current += path[i];
    }
  }
  if (!current.empty()) parts.push_back(std::move(current));
  return parts;
}

std::string CurrentDirectoryUtf8() {
  std::vector<char> buffer(4096);
  CountFileCall(FileCall::kOther);
  while (getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE || buffer.size() > (1u << 20)) return "/";
    buffer.resize(buffer.size() * 2);
  }
  return std::string(buffer.data());
}

std::string JoinUtf8(const std::string& dir, const std::string& name) {
  if (dir.empty()) return name;
  if (dir == "/") return "/" + name;
  return dir + "/" + name;
}

// The entry of `dir` whose name equals `name` ignoring ASCII case; the byte-wise smallest when
// several do, so the choice does not depend on directory order. Empty when none does.
std::string FindEntryIgnoringCase(const std::string& dir, const std::string& name) {
  CountFileCall(FileCall::kOther);
  std::unique_ptr<DIR, int (*)(DIR*)> d(opendir(dir.empty() ? "." : dir.c_str()), closedir);
  if (!d) return {};
  std::string best;
  while (dirent* entry = readdir(d.get())) {
    std::string_view candidate(entry->d_name);
    if (!posix::EqualsIgnoreAsciiCase(candidate, name)) continue;
    if (best.empty() || candidate < best) best = std::string(candidate);
  }
  return best;
}

// The name on disk of a UTF-8 path: as written when it exists, else component by component.
std::string ResolveUtf8(const std::string& path) {
  struct stat st {};
  if (path.empty() || CountedLstat(path.c_str(), &st) == 0) return path;

  // Walk the components; the first one that exists neither as written nor in another case ends
  // the lookup and the rest is kept as written (the caller may be about to create it).
  std::string resolved = path[0] == '/' ? "/" : "";
  size_t pos = 0;
  while (pos < path.size()) {
    size_t end = path.find('/', pos);
    if (end == std::string::npos) end = path.size();
    std::string part = path.substr(pos, end - pos);
    pos = end + 1;
    if (part.empty()) continue;
    std::string candidate = JoinUtf8(resolved, part);
    if (part == "." || part == ".." || CountedLstat(candidate.c_str(), &st) == 0) {
      resolved = std::move(candidate);
      continue;
    }
    std::string match = FindEntryIgnoringCase(resolved, part);
    if (match.empty()) {
      // Missing in every case: keep this component and the rest as written.
      resolved = std::move(candidate);
      if (pos < path.size()) resolved += path.substr(end);
      return resolved;
    }
    resolved = JoinUtf8(resolved, match);
  }
  return resolved;
}

}  // namespace

std::string FullPath(std::string_view path_gbk) {
  bool absolute = !path_gbk.empty() && (path_gbk[0] == '/' || path_gbk[0] == '\\');
  std::vector<std::string> parts;
  if (!absolute) parts = SplitGbk(Utf8ToGbk(CurrentDirectoryUtf8()));
  std::vector<std::string> given = SplitGbk(path_gbk);
  for (std::string& part : given) {
    if (part == ".") continue;
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();  // ".." at the root stays at the root
      continue;
    }
    parts.push_back(std::move(part));
  }
  if (parts.empty()) return "/";
  std::string out;
  for (const std::string& part : parts) {
    out += '/';
    out += part;
  }
  return out;
}

namespace posix {

bool ResolvePath(std::string_view path_gbk, std::string* out) {
  std::string path;
  if (!Utf8Path(path_gbk, &path)) return false;
  *out = ResolveUtf8(path);
  return true;
}

}  // namespace posix

std::string ResolveOnDisk(std::string_view path_gbk) {
  std::string path;
  if (posix::ResolvePath(path_gbk, &path)) return path;
  // Not valid GBK: the best that can be said is the lenient conversion.
  path = GbkToUtf8(path_gbk);
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  return path;
}

bool FileExists(std::string_view path_gbk) {
  struct stat st {};
  std::string path;
  return posix::ResolvePath(path_gbk, &path) && !path.empty() &&
         CountedStat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool NameTaken(std::string_view path_gbk) {
  std::string path;
  if (!posix::ResolvePath(path_gbk, &path) || path.empty()) return true;
  struct stat st {};
  if (CountedLstat(path.c_str(), &st) == 0) return true;
  // ENOTDIR: a file stands where a directory on the way should be; nothing can be created there
  // either, but nothing has this name.
  return errno != ENOENT && errno != ENOTDIR;
}

FileError FilePermissions(std::string_view path_gbk, uint32_t* mode) {
  struct stat st {};
  std::string path;
  if (!posix::ResolvePath(path_gbk, &path) || path.empty()) return FileError::kInvalidPath;
  if (CountedStat(path.c_str(), &st) != 0) return FileErrorFromErrno(errno);
  *mode = static_cast<uint32_t>(st.st_mode) & 0777u;
  return FileError::kNone;
}

std::vector<std::string> ListDirectory(std::string_view dir_gbk) {
  std::vector<std::string> names;
  std::string dir;
  if (!posix::ResolvePath(dir_gbk, &dir)) return names;
  CountFileCall(FileCall::kOther);
  std::unique_ptr<DIR, int (*)(DIR*)> d(opendir(dir.empty() ? "." : dir.c_str()), closedir);
  if (!d) return names;
  while (dirent* entry = readdir(d.get())) {
    std::string_view name(entry->d_name);
    if (name == "." || name == "..") continue;
    std::string gbk;
    if (Utf8ToGbkStrict(name, &gbk)) names.push_back(std::move(gbk));
  }
  return names;
}

FileError RemoveFile(std::string_view path_gbk) {
  std::string path;
  if (!posix::ResolvePath(path_gbk, &path) || path.empty()) return FileError::kInvalidPath;
  CountFileCall(FileCall::kOther);
  if (posix::Syscalls().unlink(path.c_str()) == 0) return FileError::kNone;
  int err = errno;
  if (err == ENOENT && !posix::ParentDirectoryExists(path)) return FileError::kInvalidPath;
  return FileErrorFromErrno(err);
}

FileError RenameFile(std::string_view from_gbk, std::string_view to_gbk) {
  std::string from, to;
  if (!posix::ResolvePath(from_gbk, &from) || from.empty()) return FileError::kInvalidPath;
  if (!posix::ResolvePath(to_gbk, &to) || to.empty()) return FileError::kInvalidPath;
  CountFileCall(FileCall::kOther);
  if (posix::Syscalls().rename(from.c_str(), to.c_str()) == 0) return FileError::kNone;
  int err = errno;
  if (err == ENOENT && !posix::ParentDirectoryExists(to)) return FileError::kInvalidPath;
  return FileErrorFromErrno(err);
}

}  // namespace memo::platform
