// Claiming the names of a new pair of files (a RecordFile and, when a field needs one, its
// MemoFile) before anything is written into them, and giving new files the permissions of the
// files they copy.
#pragma once

#include <sys/types.h>

#include <string>

#include "platform/file.h"

namespace memo::mcn {

// Permission bits (rwx for owner, group, others) of an open file; false when they cannot be read.
bool PermissionsOf(const platform::File& file, mode_t* mode);

// Creates `path` (GBK) only when no file of that name exists, readable by its owner alone until
// it is given `mode`: a copy of private data is never readable by others, not even while it is
// being written. Returns kOk, kCreateFailed when the name is taken, or the engine code.
int CreateWithPermissions(const std::string& path, mode_t mode, platform::File* out);

// The permission bits a new file gets from the process's creation mask (0666 without its bits).
mode_t DefaultPermissions();

// Gives the file named `path` (GBK) the permission bits `mode`; false when the system refuses.
bool SetPermissions(const std::string& path, mode_t mode);

// The name a file has on disk (GBK): "a.EDT" is found as "a.edt". The name as given when the file
// does not exist or its name on disk has no GBK form.
std::string NameOnDisk(const std::string& path);

// Creates both files empty with permission bits `mode`, each only when no file of its name exists:
// the check and the creation are one step of the file system, so of two processes claiming the
// same name exactly one wins. The MemoFile's name is refused when a file holds it even if the new
// pair needs no MemoFile (a memo file left from another database would be taken for this one's).
// On failure nothing claimed here is left and *error says why (UTF-8, ready to print).
bool ClaimNewPair(const std::string& record_path, bool needs_memo, mode_t mode, std::string* error);

// Removes a claimed pair again (after a failure while filling it).
void RemoveNewPair(const std::string& record_path, bool needs_memo);

}  // namespace memo::mcn
