// Directories and the durability of files, for code that keeps copies of files (the daily backup,
// `mcn backup`): make, list and remove a directory, flush a file or a directory to the disk, and
// give a file the permission bits of another. Names are GBK, as everywhere in the file layer.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/file.h"

namespace memo::platform {

// Creates the directory with `mode` (before the umask). kNone when it exists already as a
// directory; kAccessDenied when a file of that name is in the way.
FileError MakeDirectory(std::string_view path_gbk, unsigned mode);

// The names in a directory (GBK; "." and ".." left out), in no particular order.
FileError ListDirectory(std::string_view path_gbk, std::vector<std::string>* names_gbk);

// True when the path names a directory.
bool DirectoryExists(std::string_view path_gbk);

// Removes a directory and everything in it (files and directories, not following links).
FileError RemoveTree(std::string_view path_gbk);

// Flushes an open file's data to the disk; and a directory's entries (after a rename into it).
FileError SyncFile(const File& file);
FileError SyncDirectory(std::string_view path_gbk);

// Gives `to` the permission bits (rwx for owner, group, others) of `from`.
FileError CopyPermissions(const File& from, const File& to);

}  // namespace memo::platform
