// The passing files a sort builds its target in (file_names.h: SortPassingName), and how a later
// sort or a check tells those of a sort that is still running from those a stopped one left.
//
// A builder holds the lock of the whole-file range [0, kWholeFileLockLength) on each passing file
// from the moment it has created it until the file has taken its real name or is removed. The
// lock belongs to the open handle, so it goes when the builder's process ends, however it ends.
// A passing file nobody holds that lock on is stale: its writer is gone, and its bytes are a copy
// of records made by a sort that never finished.
//
// A builder's lock follows its creation by a moment in which another sort may find the file
// unlocked and remove it; the builder then finds its name gone (HoldPassingFile) and takes
// another. A remover removes only while it holds the lock itself, so it never removes a file
// whose builder holds it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "db/engine_code.h"
#include "platform/file.h"

namespace memo::db {

// Full paths of the passing files beside the RecordFile `target_path` (a full path) and beside
// its MemoFile: the entries of its directory named by IsSortPassingNameOf either file's name.
std::vector<std::string> FindSortPassingFiles(std::string_view target_path);

// True when nobody holds a builder's lock on the passing file `path` (its writer is gone).
// False while a builder holds it, or when it cannot be opened to look.
bool PassingFileIsStale(std::string_view path);

// Removes every stale passing file of `target_path`; returns how many it removed.
int RemoveStalePassingFiles(std::string_view target_path);

// Creates the file `path` (it must not exist) with the permission bits `mode`, and takes the
// builder's lock on it through *out, which keeps it until closed. kCreateFailed when the name is
// taken or was taken away before the lock was held (the caller tries another name); the file
// error's code otherwise.
EngineCode CreatePassingFile(std::string_view path, uint32_t mode, platform::File* out);

}  // namespace memo::db
