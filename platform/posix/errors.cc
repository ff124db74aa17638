// errno values mapped to the kinds of file failure the engine distinguishes.
#include <cerrno>

#include "platform/file.h"

namespace memo::platform {

FileError FileErrorFromErrno(int err) {
  switch (err) {
    case 0: return FileError::kNone;
    case ENOENT:
    case ENXIO:
    case ENODEV: return FileError::kNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP: return FileError::kInvalidPath;
    case EMFILE:
    case ENFILE: return FileError::kTooManyOpen;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS:
    case ETXTBSY: return FileError::kAccessDenied;
    case EBADF: return FileError::kInvalidHandle;
    case ESPIPE:
    case EOVERFLOW: return FileError::kSeekFailed;
    case EIO: return FileError::kHardware;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return FileError::kDiskFull;
    case EEXIST: return FileError::kCreateFailed;
    case EAGAIN: return FileError::kLockViolation;
    default: return FileError::kUnknown;
  }
}

}  // namespace memo::platform
