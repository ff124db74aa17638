// Reads and writes of whole byte ranges with their failures as engine codes, for the handle's
// operations (database_open.cc, record_io.cc, pack.cc, sort.cc).
#pragma once

#include <cstddef>
#include <cstdint>

#include "db/engine_code.h"
#include "platform/file.h"

namespace memo::db {

// Reads exactly `count` bytes or reports why not: the file error's code, `short_code` for a short
// read, and `empty_code` (when not kOk) for a read that finds nothing at all (a position at or
// beyond the end of the file).
inline EngineCode ReadExactly(const platform::File& file, uint64_t offset, void* buffer,
                              size_t count, EngineCode short_code, EngineCode empty_code = kOk) {
  size_t done = 0;
  platform::FileError error = file.ReadAt(offset, buffer, count, &done);
  if (error != platform::FileError::kNone) return FileErrorCode(error, short_code);
  if (done == 0 && count > 0 && empty_code != kOk) return empty_code;
  return done == count ? kOk : short_code;
}

inline EngineCode WriteAll(platform::File* file, uint64_t offset, const void* buffer, size_t count,
                           EngineCode fallback) {
  return FileErrorCode(file->WriteAt(offset, buffer, count), fallback);
}

}  // namespace memo::db
