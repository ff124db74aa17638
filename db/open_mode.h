// The access argument and the share mode of an open, by name. Programs pass both as integers
// (the open database command's third and fourth arguments); the From...Argument functions map
// every integer to its meaning once, at the command's edge.
#pragma once

#include <cstdint>

#include "platform/file.h"

namespace memo::db {

enum class OpenAccess {
  kRepairing,  // argument 0, the default: read/write, and the reader's repairs are made
  kReadOnly,   // argument 1
  kReadWrite,  // any other argument: read/write, a damaged file is refused instead of repaired
};

enum class OpenShare {
  kDenyNone,   // 1, the default: others may read and write
  kDenyRead,   // 2: nobody else can open the file (every opener reads)
  kDenyWrite,  // 3
  kDenyBoth,   // 4
  // Any other value, 0 included: denies both like 4, but only 2 and 4 let the handle go without
  // its byte-range locks, so this one keeps taking them.
  kDenyBothLocking,
};

constexpr OpenAccess AccessFromArgument(int32_t argument) {
  return argument == 0   ? OpenAccess::kRepairing
         : argument == 1 ? OpenAccess::kReadOnly
                         : OpenAccess::kReadWrite;
}

constexpr OpenShare ShareFromArgument(int32_t argument) {
  switch (argument) {
    case 1: return OpenShare::kDenyNone;
    case 2: return OpenShare::kDenyRead;
    case 3: return OpenShare::kDenyWrite;
    case 4: return OpenShare::kDenyBoth;
    default: return OpenShare::kDenyBothLocking;
  }
}

// Only the default access lets an open repair what it finds.
constexpr bool AllowsRepair(OpenAccess access) { return access == OpenAccess::kRepairing; }

constexpr platform::FileAccess FileAccessFor(OpenAccess access) {
  return access == OpenAccess::kReadOnly ? platform::FileAccess::kRead
                                         : platform::FileAccess::kReadWrite;
}

constexpr platform::FileShare FileShareFor(OpenShare share) {
  switch (share) {
    case OpenShare::kDenyNone: return platform::FileShare::kDenyNone;
    case OpenShare::kDenyRead: return platform::FileShare::kDenyRead;
    case OpenShare::kDenyWrite: return platform::FileShare::kDenyWrite;
    case OpenShare::kDenyBoth:
    case OpenShare::kDenyBothLocking: return platform::FileShare::kExclusive;
  }
  return platform::FileShare::kExclusive;
}

// Share modes that keep every other opener out, so that no byte-range locks are needed.
constexpr bool IsLockFree(OpenShare share) {
  return share == OpenShare::kDenyRead || share == OpenShare::kDenyBoth;
}

}  // namespace memo::db
