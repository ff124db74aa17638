// Files with the semantics the engine and the file commands expect: access and share modes that
// are enforced between handles and between processes, positional reads and writes, byte-range
// locks that belong to the open handle and fail at once on conflict, and `\` as a separator.
// All names are GBK texts, as the program stores them; they are converted to UTF-8 here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace memo::platform {

// Permission bits (owner, group, others) a file gets when an open creates it, before the umask
// takes its share: kSharedFileMode as the system's own tools create files, kPrivateFileMode for
// files that hold the user's data (the accounts file holds the password).
constexpr uint32_t kSharedFileMode = 0666;
constexpr uint32_t kPrivateFileMode = 0600;

// What went wrong in a file operation; the engine maps each kind to its own error code. A result
// may not be dropped: a caller with nothing to do on failure says so with IgnoreError().
enum class [[nodiscard]] FileError{
    kNone = 0,
    kCreateFailed,      // the file could not be created
    kNotFound,          // no such file
    kInvalidPath,       // a directory on the way is missing, or the name is malformed
    kTooManyOpen,       // descriptor limit reached
    kAccessDenied,      // permissions, or a directory where a file was expected
    kInvalidHandle,     // operation on a closed handle
    kSeekFailed,        // offset outside what the system accepts
    kHardware,          // EIO and similar
    kSharingViolation,  // another handle's access or share mode forbids this open
    kLockViolation,     // a byte-range lock conflicts with another handle's lock
    kDiskFull,          // ENOSPC, EDQUOT, EFBIG
    kEndOfFile,         // fewer bytes than asked for (only where a caller asks for "all or error")
    kUnknown,
};

enum class FileAccess { kRead, kWrite, kReadWrite };

// What other handles may do while this one is open. A later open is refused with
// kSharingViolation when it asks for access that an open handle denies, or when it would deny
// access that an open handle already has.
enum class FileShare { kDenyNone, kDenyRead, kDenyWrite, kExclusive };

enum class FileCreate {
  kOpenExisting,  // fail with kNotFound when missing
  kCreateAlways,  // create, or truncate an existing file
  kOpenAlways,    // create when missing, keep existing contents
  kCreateNew,     // fail when the file exists
};

// One open handle. Move-only; closing releases every lock the handle holds and its share claim.
class File {
 public:
  File() = default;
  ~File();
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // `create_mode`: the permission bits of a file this open creates (an existing file keeps its
  // own).
  static FileError Open(std::string_view path_gbk, FileAccess access, FileShare share,
                        FileCreate create, File* out, uint32_t create_mode = kSharedFileMode);

  bool IsOpen() const { return fd_ >= 0; }
  FileAccess Access() const { return access_; }
  void Close();

  // Positional I/O; *done receives the bytes transferred (a short read at the end is not an error).
  FileError ReadAt(uint64_t offset, void* buffer, size_t count, size_t* done) const;
  FileError WriteAt(uint64_t offset, const void* buffer, size_t count);

  // Sequential I/O from the handle's own position.
  FileError Seek(int64_t offset, int whence, uint64_t* new_position = nullptr);
  FileError Read(void* buffer, size_t count, size_t* done);
  FileError Write(const void* buffer, size_t count);

  FileError Length(uint64_t* length) const;
  FileError SetLength(uint64_t length);  // truncate or extend with zeros

  // The file's permission bits (owner, group, others: mode & 0777), and setting them.
  FileError Permissions(uint32_t* mode) const;
  FileError SetPermissions(uint32_t mode);

  // Byte-range locks owned by this handle: never conflict with this handle's own locks, conflict
  // with every other handle's (in this process or another), fail at once with kLockViolation.
  FileError Lock(uint64_t offset, uint64_t count);
  FileError Unlock(uint64_t offset, uint64_t count);

  const std::string& Path() const { return path_; }  // the UTF-8 path actually opened
  int Descriptor() const { return fd_; }

 private:
  // The descriptor whose open file description holds this handle's share marks and byte-range
  // locks: fd_ itself, or a companion opened read/write on the same file when fd_ cannot take
  // both kinds of lock (see platform/posix/file.cc).
  int LockDescriptor() const { return lock_fd_ >= 0 ? lock_fd_ : fd_; }
  // The steps of Open after the descriptor is there: the file's kind, the lock descriptor, the
  // share claim, the truncation.
  FileError FinishOpen(FileAccess access, FileShare share, FileCreate create);

  int fd_ = -1;
  int lock_fd_ = -1;  // companion, or -1 when fd_ holds the locks
  FileAccess access_ = FileAccess::kRead;
  bool lock_shared_ = false;     // the lock descriptor can take read (shared) locks
  bool lock_exclusive_ = false;  // ... and write (exclusive) locks
  std::string path_;
};

// Absolute, normalised path (GBK in, GBK out) without requiring the file to exist; `\` and `/`
// both separate, the result uses `/`.
std::string FullPath(std::string_view path_gbk);

// Resolves a GBK path to the UTF-8 name on disk: as written when it exists, else the entry of
// its directory that matches case-insensitively, else the path as written (for creation).
std::string ResolveOnDisk(std::string_view path_gbk);

bool FileExists(std::string_view path_gbk);

// Whether anything at all has this name (as written or in another case): a file, a directory, a
// device, a symlink — a dangling one too. Only "no such entry" is false; a name that cannot be
// examined (a directory on the way that may not be searched, bytes that are not GBK) counts as
// taken, so that a caller deciding whether to create a file never writes over one it cannot see.
// Nothing is opened.
bool NameTaken(std::string_view path_gbk);
FileError RemoveFile(std::string_view path_gbk);

// Gives the file `from` the name `to` in one step, replacing a file of that name (found
// case-insensitively, as every lookup is): at every moment `to` names either the old file or the
// new one, whole. Both names must lie on one file system (in practice: one directory).
FileError RenameFile(std::string_view from_gbk, std::string_view to_gbk);

// A new file written whole under a passing name beside its final one, then given its final name
// without replacing anything: at every moment the final name is absent or names the whole file —
// a full disk or a kill while writing leaves no partial file under it, and a file that appears
// under that name meanwhile (another program, another case of its letters) is never replaced.
// A passing file that was not published is removed when the object goes.
class NewFile {
 public:
  NewFile() = default;
  ~NewFile() { Discard(); }
  NewFile(const NewFile&) = delete;
  NewFile& operator=(const NewFile&) = delete;

  // Creates the passing file exclusively with permission bits `mode` (before the umask), writes
  // `bytes` and flushes them to the disk. On failure nothing is left behind.
  FileError Write(std::string_view path_gbk, std::string_view bytes, unsigned mode);
  // Gives the written file its final name. kCreateFailed when the name is taken by now; the
  // passing file then stays until Discard or the destructor.
  FileError Publish();
  // Removes the passing file if it is still there.
  void Discard();

  const std::string& passing_path() const { return passing_; }  // UTF-8; empty when none

 private:
  std::string passing_;    // UTF-8 path of the written file; empty when none
  std::string final_gbk_;  // the name it is to get
};
// The permission bits (mode & 0777) of the file a path names.
FileError FilePermissions(std::string_view path_gbk, uint32_t* mode);

// The names (GBK, without directory) of the entries of a directory, "." and ".." left out, in no
// particular order; names that are no GBK text are left out too. Empty when it cannot be read.
std::vector<std::string> ListDirectory(std::string_view dir_gbk);

// Makes `bytes` the whole content of the file `path_gbk`: written to the passing file
// path + ".~new" beside it (created or reused, given `mode`, held with an exclusive share while
// it is written), then renamed over `path_gbk`. So the name holds the old file (or none) or the
// new content whole, never a part of it; a writer stopped part-way leaves only the passing file,
// which the next call reuses. Two calls on one path at once: the second fails with
// kSharingViolation.
FileError ReplaceFileContent(std::string_view path_gbk, std::string_view bytes, uint32_t mode);

// Milliseconds from an arbitrary start, and a sleep; used for lock retries.
uint32_t TickCount();
void SleepMs(uint32_t milliseconds);
// The same tick read from the coarse clock: a few nanoseconds, but it may lag TickCount by up to
// one scheduler tick (1 to 10 ms). For bounds that may be that much longer; compare it only with
// itself.
uint32_t CoarseTickCount();

// The errno of the last failing call mapped to a FileError.
FileError FileErrorFromErrno(int err);

// Drops a result on purpose: a best-effort clean-up after an earlier failure or after the work
// is done, whose own failure leaves nothing worse behind (a stray temporary file, one backup
// more) and has no one to be reported to beyond the failure already reported.
inline void IgnoreError(FileError) {}

}  // namespace memo::platform
