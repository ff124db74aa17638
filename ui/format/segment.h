// The window definition segment: the stored form of every window of the program, and the
// in-memory store it is read into.
//
// Layout (all numbers little-endian, texts GBK):
//   u32 header_bytes (8 × N) | N × u32 window id | N × u32 run-time slot | N window records
//   window record: u32 A | u32 B | text32 | text32 | u32 unit count C | u32 table bytes | table
//   unit table:    C × u32 unit id | C × u32 offset (from the end of the offsets) | at each
//                  offset u32 record bytes, then a general unit record or a menu item record
// segment_format.h has the field-by-field pictures of the two unit records.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace memo::ui {

// Id kinds: the top nibble gives the kind, the second nibble is 2 for a window definition and 6
// for a unit, the low 24 bits come from one program-wide serial.
constexpr bool IsValidId(uint32_t id) {
  return (id & 0x00FFFFFFu) != 0 && ((id >> 24) & 0xFu) != 0;
}
constexpr bool IsMenuItemId(uint32_t id) { return (id >> 28) == 2 && ((id >> 24) & 0xFu) == 6; }

// Unit type codes: library number in the high 16 bits, type number in the low 16.
namespace unit_type {
constexpr uint32_t kWindow = 0x00010001;
constexpr uint32_t kMenu = 0x00010003;
constexpr uint32_t kEditBox = 0x00010005;
constexpr uint32_t kLabel = 0x0001000A;
constexpr uint32_t kButton = 0x0001000B;
constexpr uint32_t kComboBox = 0x0001000E;
constexpr uint32_t kGrid = 0x00010029;
constexpr uint32_t kDataSrc = 0x0001002A;
constexpr uint32_t kDBProvider = 0x0001002C;
constexpr uint32_t kEGrid = 0x00020001;
constexpr uint32_t kTransLabel = 0x00030005;
constexpr uint32_t kHtmlViewer = 0x00060001;
}  // namespace unit_type

// State flag bits of a general unit record.
constexpr uint32_t kFlagVisible = 1u << 0;
constexpr uint32_t kFlagDisabled = 1u << 1;
constexpr uint32_t kFlagTabStop = 1u << 2;

// Flag bits of a menu item record.
constexpr uint32_t kMenuHidden = 1u << 0;
constexpr uint32_t kMenuDisabled = 1u << 1;
constexpr uint32_t kMenuChecked = 1u << 2;

// A stored routine reference: -1 is "no routine"; any other value is an index into the
// application's routine table (app/windows/program_routines.h), resolved when the segment is
// loaded.
constexpr int32_t kNoRoutine = -1;

struct EventBinding {
  int32_t event = 0;
  int32_t routine = kNoRoutine;
  friend bool operator==(const EventBinding&, const EventBinding&) = default;
};

// One unit of a window: the window unit, a control or data unit, or a menu item. Menu items use
// only the fields marked "menu"; every other unit only the fields marked "general".
struct UnitRecord {
  uint32_t id = 0;
  uint32_t type = 0;
  bool is_menu_item() const { return type == unit_type::kMenu; }

  // general
  uint32_t event_source = 0;  // 0, or a unit of the same type whose event table is used instead
  uint32_t reserved[4] = {0, 0, 0, 0};
  std::string name;    // GBK, e.g. "编辑框1"; empty for the window unit
  std::string remark;  // GBK
  int32_t left = 0;
  int32_t top = 0;
  int32_t width = 0;
  int32_t height = 0;
  uint32_t parent = 0;                 // container unit id, 0 = the window itself
  std::vector<uint32_t> page_members;  // groups separated by 0 entries
  std::string mouse_pointer;           // cursor image bytes; empty = default pointer
  std::string tag;                     // GBK (property 4)
  uint32_t word_x = 0;
  uint32_t flags = 0;  // kFlagVisible | kFlagDisabled | kFlagTabStop
  uint32_t word_y = 0;
  std::vector<EventBinding> events;
  std::string type_block;  // raw type-specific bytes (type_blocks.h reads them); may be empty

  // menu
  uint32_t menu_reserved[5] = {0, 0, 0, 0, 0};
  // (name and remark above are stored for menu items too, empty throughout)
  uint32_t shortcut = 0;    // index into the key-name table (1..77), 0 none
  uint32_t level = 0;       // 0 menu bar item, 1 item of the popup under the preceding level-0 item
  uint32_t menu_flags = 0;  // kMenuHidden | kMenuDisabled | kMenuChecked
  std::string caption;      // GBK; "-" is a separator
  int32_t routine = kNoRoutine;

  friend bool operator==(const UnitRecord&, const UnitRecord&) = default;
};

struct WindowRecord {
  uint32_t id = 0;  // WindowId, 0x5201xxxx
  uint32_t word_a = 0;
  uint32_t word_b = 0;
  std::string text1;  // both empty in every window of this program
  std::string text2;
  std::vector<UnitRecord> units;  // unit-table order; units[0] is the window unit

  // Index of the unit with that id (linear, first entry first), or -1.
  int FindUnit(uint32_t unit_id) const;
  // Index of the first unit with that name (exact bytes), or -1.
  int FindUnitByName(std::string_view name_gbk) const;
  friend bool operator==(const WindowRecord&, const WindowRecord&) = default;
};

struct DefinitionStore {
  std::vector<WindowRecord> windows;  // definition order

  // Index of the window with that id, or -1.
  int Find(uint32_t window_id) const;
  friend bool operator==(const DefinitionStore&, const DefinitionStore&) = default;
};

// Why a segment could not be read.
enum class SegmentError {
  kNone,
  kTruncated,  // a count or length runs past the end of the data (or of its enclosing record)
  kInvalidId,  // a window or unit id that is not valid, a first unit that is no window unit
               // (or a later one that is), or a type word that contradicts its unit's id
  kBadLayout,  // header_bytes not a multiple of 8, offsets out of order or overlapping
};
// A short English phrase for diagnostics; never null.
const char* SegmentErrorText(SegmentError error);

// Reads a whole segment. Never reads outside [data, data + size). On failure *out is left empty
// and the error says why. A header_bytes below 8 gives a store without windows; fewer than 4
// bytes are kTruncated. Besides the lengths, the reader checks that every window id is valid with
// second nibble 2; that each window's first unit is its window unit (id 0x06......, type kWindow)
// and no other unit is; that every other unit id is valid with second nibble 6; and that a unit's
// record form (menu item or general) follows from its id and agrees with its type word. Unit
// records must lie in table order without overlapping (gaps are allowed). The run-time slots,
// object and cursor slots, and bytes after a menu item's last field or after the last window are
// ignored. Duplicate ids are kept; lookups find the first.
SegmentError ReadSegment(const uint8_t* data, size_t size, DefinitionStore* out);

// Writes the stored form of a store; ReadSegment of the result gives the same store back when
// the store satisfies the reader's checks and its zstring fields (names, remarks, tags,
// captions) hold no 0 byte (each is written up to its first 0 byte).
std::string WriteSegment(const DefinitionStore& store);

}  // namespace memo::ui
