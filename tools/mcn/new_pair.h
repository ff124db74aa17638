// Claiming the names of a new pair of files (a RecordFile and, when a field needs one, its
// MemoFile) before anything is written into them.
#pragma once

#include <string>

namespace memo::mcn {

// Creates both files empty, each only when no file of its name exists: the check and the creation
// are one step of the file system, so of two processes claiming the same name exactly one wins.
// The MemoFile's name is refused when a file holds it even if the new pair needs no MemoFile (a
// memo file left from another database would be taken for this one's). On failure nothing
// claimed here is left and *error says why (UTF-8, ready to print).
bool ClaimNewPair(const std::string& record_path, bool needs_memo, std::string* error);

// Removes a claimed pair again (after a failure while filling it).
void RemoveNewPair(const std::string& record_path, bool needs_memo);

}  // namespace memo::mcn
