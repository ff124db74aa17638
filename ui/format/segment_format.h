// The stored layout of the window definition segment, shared by its reader and its writer.
// All numbers are little-endian u32 unless marked i32; zstring = bytes and a 0 terminator,
// text32 / blob32 = u32 byte count and that many bytes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace memo::ui::segment_format {

// Segment is header_bytes (4), N window ids (4 each), N run-time slots (4 each), N window records.
// header_bytes = 8 × N; a value below 8 means no windows.
constexpr size_t kHeaderEntryBytes = 8;

// Window record is word A (4), word B (4), text32, text32, unit count C (4),
// unit table bytes (4), unit table.
// Unit table is C unit ids (4 each), C offsets (4 each, counted from the end of the offsets),
// and at each offset record bytes (4) followed by a unit record of that many bytes.
constexpr size_t kUnitTableEntryBytes = 8;

// General unit record is type (4), event source (4), reserved (4 × 4), name zstring,
// remark zstring, object slot (4), left top width height (i32 each), cursor slot (4), parent (4),
// page count P (4), P page members (4 each), mouse pointer blob32, tag zstring, word X (4),
// state flags (4), word Y (4), event count E (4), E × (event i32, routine i32),
// reserved (20), type block (the rest of the record).
constexpr size_t kGeneralReservedWords = 4;
constexpr size_t kGeneralTailReservedBytes = 20;
constexpr size_t kEventEntryBytes = 8;

// Menu item record is type (4), reserved (5 × 4), name zstring, remark zstring, shortcut (4),
// level (4), flags (4), caption zstring, routine i32, reserved (16).
constexpr size_t kMenuReservedWords = 5;
constexpr size_t kMenuTailReservedBytes = 16;

// Id nibbles: bits 24..27 are 2 for a window definition and 6 for a unit; a window unit's top
// byte is 0x06 (kind 0, unit).
constexpr uint32_t kWindowIdNibble = 2;
constexpr uint32_t kUnitIdNibble = 6;
constexpr uint32_t kWindowUnitTopByte = 0x06;

constexpr uint32_t IdNibble(uint32_t id) { return (id >> 24) & 0xFu; }
constexpr uint32_t IdTopByte(uint32_t id) { return id >> 24; }

}  // namespace memo::ui::segment_format
