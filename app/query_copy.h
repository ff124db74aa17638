// The query copy made from the memo files when it does not open (the first query in a directory,
// or a copy a stopped query left unusable).
//
// The routine copies the memo table and its memo file whole, then opens the copy and clears all
// its records. The clear keeps, of a whole copy, only the RecordFile's header and field table
// (up to records start; it writes the count 0 and cuts the rest) and the MemoFile's first block
// (its header; it writes block count 1, free count 0, free head 0 and cuts the rest). So only
// those bytes are copied: the open and the clear that follow make the same writes on them as on
// a whole copy, and leave the same bytes.
//
// The open's checks read nothing but those bytes and the files' lengths, and a length decides
// alike for the short copy and the whole one (a memo file shorter than one block fails either
// way; a record file or a memo file that holds fewer records or blocks than counted is repaired
// either way, and the clear then writes over the repair). So the short copy opens exactly when a
// whole copy would; that is tried before the copy is left short. When it does not open (a damaged
// or password-protected memo table, a memo file that does not match), the routine's clear does
// not happen, and the copies stay whole: they are then copied whole, streamed in pieces. A memo
// table without memo fields has no memo file that the clear would cut: its memo file is copied
// whole.
//
// As the whole copy did, each source is read denying writers for the moment of the read; a
// source that cannot be read (missing, empty, or held open for writing by another program) is
// copied as an empty file. Every copy takes the permission bits of its source and is written
// under a passing name ("<copy>.~new") and then renamed, so a copy cut short leaves the old file
// or none under the copy's name, never a part of one.
#pragma once

namespace memo::app {

// Makes `copy` and `copy_memo` what copying `table` and `table_memo` whole and clearing the copy
// leaves. The caller then opens `copy` and clears it, as after a whole copy.
// REQUIRES: nothing in this program holds `copy` or `table` open.
void MakeQueryCopy(const char* table, const char* table_memo, const char* copy,
                   const char* copy_memo);

}  // namespace memo::app
