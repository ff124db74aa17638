// Which memo of the memo table each row of the query view came from.
//
// The category query sorts the memo table into the query copy, which numbers its records afresh
// (serials 1 .. N). The sort reports, for each record of the copy, the serial of the table record
// it came from; this module keeps that list together with what identifies the copy the sort
// wrote: its record count N and next serial N + 1 at offset 16. A deletion or a follow-up in the
// query view then finds its memo in the table by serial — the table's records stand in ascending
// serial order, since records are only ever appended (with the next serial) and packs keep the
// order — with a binary search instead of reading the table row by row.
//
// Nothing remembered is trusted without a check at the moment of use:
//   1. The copy the main grid shows must still be the one the sort wrote: its count and next
//      serial as remembered (the count lowered by each deletion this program made in it). A copy
//      that differs is another file, or one another program has added to: the list is dropped.
//   2. The row's record in the copy must carry a serial the sort gave, with the sort's sign.
//   3. The record found in the table must carry the remembered serial, and the caller checks,
//      under that record's lock, that it still shows the texts read from the copy's row.
// Whatever does not check out answers "not known" (0), and the routine searches the table as it
// always did. So the answer is never a memo that the search would not accept; it differs from
// the search only where several memos show the same texts: it is the one the row came from,
// where the search takes the first.
//
// Every read goes through the main grid's provider handle (the file the grid shows), each
// record's bytes under that record's lock. All positions here are grid rows, counted from 1.
#pragma once

#include <cstdint>
#include <vector>

namespace memo::app {

// The sort that just wrote the query copy kept `origins.size()` records; record i + 1 of the copy
// came from the table record whose serial (as stored) is origins[i].
void RememberQueryOrigins(std::vector<int32_t> origins);
void ForgetQueryOrigins();

// The serial of the table record that row `row` of the query copy came from, or 0 when it is not
// known (rules 1 and 2 above). REQUIRES: the main grid shows the query copy.
int32_t QueryRowOrigin(int32_t row);

// This program has deleted one row of the query copy: the copy's count is one lower.
void QueryRowDeleted();

// The row of the file the main grid shows whose record carries `serial` (its absolute value:
// a record marked deleted keeps its place), found by binary search over the record positions;
// 0 when there is none, the records are not in serial order there, or a read fails.
int32_t RowOfSerial(int32_t serial);

// The serial stored in the record of row `row` of the file the main grid shows (negative when
// marked deleted), read under the record's lock; 0 when it cannot be read.
int32_t RowSerial(int32_t row);

}  // namespace memo::app
