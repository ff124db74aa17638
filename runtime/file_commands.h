// File library commands: ReadFileBytes, WriteFileBytes, OpenDiskFile, and the runtime's list of
// open files that OpenDiskFile fills.
//
// A file these commands create is private to the user (platform::kPrivateFileMode): the
// program writes nothing but the user's own data. A file that exists keeps its permissions.
//
// Each command is a CommandRoutine. Failures are results (the empty byte-set, false, 0), never
// run-time errors; only allocation failure of a result block is fatal. Sharing follows the
// platform's rules for simultaneous opens (platform/file.h), across processes too.
#pragma once

#include <cstdint>

#include "platform/file.h"
#include "runtime/value.h"

namespace memo {

// file name (Text) -> ByteSet: the whole file, read through a handle that denies other writers.
// An empty name, a file that cannot be opened (missing, or another handle has write access), an
// empty file, or one too long for a byte-set all give the empty byte-set (null), and so does a
// read that fails part way. If the file ends before the length promised (it shrank while being
// read), the byte-set holds the bytes up to its end.
void ReadFileBytes(TypedValue* result, int32_t arg_count, TypedValue* args);

// file name (Text), data (ByteSet), further data (ByteSet)... -> Bool: creates or truncates the
// file with exclusive access (refused while any other handle is open, in any process) and
// writes the data arguments in order. False for an empty name or a failed open or write (a partly
// written file may remain). Arguments that are not byte-sets add nothing.
void WriteFileBytes(TypedValue* result, int32_t arg_count, TypedValue* args);

// file name (Text), [mode (Int) = 3], [sharing (Int) = 1] -> Int: a non-zero file number, or 0.
// Modes: 1 read existing, 2 write existing, 3 read/write existing, 4 create or truncate for
// writing, 5 write creating when missing, 6 read/write creating when missing. Sharing: 1 none
// denied, 2 deny readers, 3 deny writers, 4 exclusive. Out-of-range (or non-numeric) values,
// an empty name and a failed open give 0. The file stays open until CloseDiskFile or the end of
// the program (the first successful open adds CloseAllOpenFiles to the end sequence).
void OpenDiskFile(TypedValue* result, int32_t arg_count, TypedValue* args);

// Closes the open file with this number; false when no such file is open.
bool CloseDiskFile(int32_t number);

// Closes every file in the list (the end sequence calls this).
void CloseAllOpenFiles();

// The open file with this number, or null. The pointer stays valid until the file is closed.
platform::File* FindDiskFile(int32_t number);

// How many files the list holds.
int32_t OpenDiskFileCount();

}  // namespace memo
