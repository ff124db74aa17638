// Reading and writing the window definition segment.
//
// The reader takes every count and length from the data and checks it against the bytes that
// remain in the enclosing piece before it reads: the segment, the unit table (its unit_table_bytes)
// or the unit record (its record_bytes). Nothing is allocated for a count before the bytes it
// describes are known to be there, so a hostile count costs nothing.
#include "ui/format/segment.h"

#include <utility>

#include "ui/format/byte_cursor.h"
#include "ui/format/segment_format.h"

namespace memo::ui {

namespace fmt = segment_format;

int WindowRecord::FindUnit(uint32_t unit_id) const {
  for (size_t i = 0; i < units.size(); ++i) {
    if (units[i].id == unit_id) return static_cast<int>(i);
  }
  return -1;
}

int WindowRecord::FindUnitByName(std::string_view name_gbk) const {
  for (size_t i = 0; i < units.size(); ++i) {
    if (units[i].name == name_gbk) return static_cast<int>(i);
  }
  return -1;
}

int DefinitionStore::Find(uint32_t window_id) const {
  for (size_t i = 0; i < windows.size(); ++i) {
    if (windows[i].id == window_id) return static_cast<int>(i);
  }
  return -1;
}

const char* SegmentErrorText(SegmentError error) {
  switch (error) {
    case SegmentError::kNone: return "no error";
    case SegmentError::kTruncated: return "a count or length runs past its data";
    case SegmentError::kInvalidId: return "an invalid window or unit id, or no window unit first";
    case SegmentError::kBadLayout: return "header size or unit offsets out of order";
  }
  return "unknown error";
}

namespace {

bool IsWindowId(uint32_t id) { return IsValidId(id) && fmt::IdNibble(id) == fmt::kWindowIdNibble; }

// The first unit of a window (0x06......) and every other unit (second nibble 6, but not a
// second window unit).
bool IsWindowUnitId(uint32_t id) {
  return IsValidId(id) && fmt::IdTopByte(id) == fmt::kWindowUnitTopByte;
}
bool IsMemberUnitId(uint32_t id) {
  return IsValidId(id) && fmt::IdNibble(id) == fmt::kUnitIdNibble && !IsWindowUnitId(id);
}

// `r` spans exactly one general unit record after its type word.
bool ReadGeneralUnit(ByteReader& r, UnitRecord* unit) {
  r.U32(&unit->event_source);
  for (uint32_t& word : unit->reserved) r.U32(&word);
  r.ZString(&unit->name);
  r.ZString(&unit->remark);
  r.Skip(4);  // object slot: the runtime's, meaningless when stored
  r.I32(&unit->left);
  r.I32(&unit->top);
  r.I32(&unit->width);
  r.I32(&unit->height);
  r.Skip(4);  // cursor slot
  r.U32(&unit->parent);
  uint32_t page_count = 0;
  if (!r.U32(&page_count) || page_count > r.remaining() / 4) return false;
  unit->page_members.resize(page_count);
  for (uint32_t& member : unit->page_members) r.U32(&member);
  r.Counted(&unit->mouse_pointer);
  r.ZString(&unit->tag);
  r.U32(&unit->word_x);
  r.U32(&unit->flags);
  r.U32(&unit->word_y);
  uint32_t event_count = 0;
  if (!r.U32(&event_count) || event_count > r.remaining() / fmt::kEventEntryBytes) return false;
  unit->events.resize(event_count);
  for (EventBinding& binding : unit->events) {
    r.I32(&binding.event);
    r.I32(&binding.routine);
  }
  r.Skip(fmt::kGeneralTailReservedBytes);
  if (!r.ok()) return false;
  return r.Bytes(r.remaining(), &unit->type_block);
}

// `r` spans exactly one menu item record after its type word. Bytes after the last field are
// ignored.
bool ReadMenuItem(ByteReader& r, UnitRecord* unit) {
  for (uint32_t& word : unit->menu_reserved) r.U32(&word);
  r.ZString(&unit->name);
  r.ZString(&unit->remark);
  r.U32(&unit->shortcut);
  r.U32(&unit->level);
  r.U32(&unit->menu_flags);
  r.ZString(&unit->caption);
  r.I32(&unit->routine);
  r.Skip(fmt::kMenuTailReservedBytes);
  return r.ok();
}

// One unit: its id decides the record's form, and its type word must agree with it.
SegmentError ReadUnit(ByteReader record, uint32_t id, bool first, UnitRecord* unit) {
  if (first ? !IsWindowUnitId(id) : !IsMemberUnitId(id)) return SegmentError::kInvalidId;
  unit->id = id;
  if (!record.U32(&unit->type)) return SegmentError::kTruncated;
  bool menu_id = IsMenuItemId(id);
  if (menu_id != (unit->type == unit_type::kMenu)) return SegmentError::kInvalidId;
  // Exactly the first unit is the window's own unit.
  if (first != (unit->type == unit_type::kWindow)) return SegmentError::kInvalidId;
  bool read = menu_id ? ReadMenuItem(record, unit) : ReadGeneralUnit(record, unit);
  return read ? SegmentError::kNone : SegmentError::kTruncated;
}

SegmentError ReadUnitTable(ByteReader table, uint32_t unit_count, WindowRecord* window) {
  if (unit_count == 0) return SegmentError::kInvalidId;  // no window unit
  if (unit_count > table.remaining() / fmt::kUnitTableEntryBytes) return SegmentError::kTruncated;
  std::vector<uint32_t> ids(unit_count);
  std::vector<uint32_t> offsets(unit_count);
  for (uint32_t& id : ids) table.U32(&id);
  for (uint32_t& offset : offsets) table.U32(&offset);
  // Offsets count from here; records lie in order and never overlap.
  const uint8_t* base = table.position();
  const size_t records_bytes = table.remaining();
  size_t next_free = 0;
  for (uint32_t i = 0; i < unit_count; ++i) {
    size_t offset = offsets[i];
    if (offset < next_free) return SegmentError::kBadLayout;
    if (offset > records_bytes) return SegmentError::kTruncated;
    ByteReader at(base + offset, records_bytes - offset);
    uint32_t record_bytes = 0;
    if (!at.U32(&record_bytes)) return SegmentError::kTruncated;
    ByteReader record = at.Take(record_bytes);
    if (!record.ok()) return SegmentError::kTruncated;
    next_free = offset + 4 + record_bytes;
    // Units are added as their records are read, so memory follows the bytes actually present.
    UnitRecord& unit = window->units.emplace_back();
    SegmentError error = ReadUnit(record, ids[i], i == 0, &unit);
    if (error != SegmentError::kNone) return error;
  }
  return SegmentError::kNone;
}

SegmentError ReadWindow(ByteReader& r, WindowRecord* window) {
  uint32_t unit_count = 0;
  uint32_t table_bytes = 0;
  r.U32(&window->word_a);
  r.U32(&window->word_b);
  r.Counted(&window->text1);
  r.Counted(&window->text2);
  r.U32(&unit_count);
  r.U32(&table_bytes);
  ByteReader table = r.Take(table_bytes);
  if (!r.ok()) return SegmentError::kTruncated;
  return ReadUnitTable(table, unit_count, window);
}

SegmentError Parse(const uint8_t* data, size_t size, DefinitionStore* store) {
  ByteReader r(data, size);
  uint32_t header_bytes = 0;
  if (!r.U32(&header_bytes)) return SegmentError::kTruncated;
  if (header_bytes < fmt::kHeaderEntryBytes) return SegmentError::kNone;
  if (header_bytes % fmt::kHeaderEntryBytes != 0) return SegmentError::kBadLayout;
  if (header_bytes > r.remaining()) return SegmentError::kTruncated;
  const size_t count = header_bytes / fmt::kHeaderEntryBytes;
  std::vector<uint32_t> ids(count);
  for (uint32_t& id : ids) {
    r.U32(&id);
    if (!IsWindowId(id)) return SegmentError::kInvalidId;
  }
  r.Skip(4 * count);  // run-time slots: the loader's, meaningless when stored
  for (uint32_t id : ids) {
    WindowRecord& window = store->windows.emplace_back();
    window.id = id;
    SegmentError error = ReadWindow(r, &window);
    if (error != SegmentError::kNone) return error;
  }
  return SegmentError::kNone;
}

void WriteGeneralUnit(const UnitRecord& unit, std::string* out) {
  PutU32(out, unit.type);
  PutU32(out, unit.event_source);
  for (uint32_t word : unit.reserved) PutU32(out, word);
  PutZString(out, unit.name);
  PutZString(out, unit.remark);
  PutU32(out, 0);  // object slot
  PutI32(out, unit.left);
  PutI32(out, unit.top);
  PutI32(out, unit.width);
  PutI32(out, unit.height);
  PutU32(out, 0);  // cursor slot
  PutU32(out, unit.parent);
  PutU32(out, static_cast<uint32_t>(unit.page_members.size()));
  for (uint32_t member : unit.page_members) PutU32(out, member);
  PutCounted(out, unit.mouse_pointer);
  PutZString(out, unit.tag);
  PutU32(out, unit.word_x);
  PutU32(out, unit.flags);
  PutU32(out, unit.word_y);
  PutU32(out, static_cast<uint32_t>(unit.events.size()));
  for (const EventBinding& binding : unit.events) {
    PutI32(out, binding.event);
    PutI32(out, binding.routine);
  }
  PutZeros(out, fmt::kGeneralTailReservedBytes);
  out->append(unit.type_block);
}

void WriteMenuItem(const UnitRecord& unit, std::string* out) {
  PutU32(out, unit.type);
  for (uint32_t word : unit.menu_reserved) PutU32(out, word);
  PutZString(out, unit.name);
  PutZString(out, unit.remark);
  PutU32(out, unit.shortcut);
  PutU32(out, unit.level);
  PutU32(out, unit.menu_flags);
  PutZString(out, unit.caption);
  PutI32(out, unit.routine);
  PutZeros(out, fmt::kMenuTailReservedBytes);
}

void WriteWindow(const WindowRecord& window, std::string* out) {
  // The records first, each behind its byte count, so that the offsets are known.
  std::string records;
  std::vector<uint32_t> offsets;
  offsets.reserve(window.units.size());
  for (const UnitRecord& unit : window.units) {
    offsets.push_back(static_cast<uint32_t>(records.size()));
    std::string record;
    if (unit.is_menu_item()) {
      WriteMenuItem(unit, &record);
    } else {
      WriteGeneralUnit(unit, &record);
    }
    PutCounted(&records, record);
  }
  PutU32(out, window.word_a);
  PutU32(out, window.word_b);
  PutCounted(out, window.text1);
  PutCounted(out, window.text2);
  PutU32(out, static_cast<uint32_t>(window.units.size()));
  PutU32(out,
         static_cast<uint32_t>(window.units.size() * fmt::kUnitTableEntryBytes + records.size()));
  for (const UnitRecord& unit : window.units) PutU32(out, unit.id);
  for (uint32_t offset : offsets) PutU32(out, offset);
  out->append(records);
}

}  // namespace

SegmentError ReadSegment(const uint8_t* data, size_t size, DefinitionStore* out) {
  DefinitionStore store;
  SegmentError error = Parse(data, size, &store);
  out->windows.clear();
  if (error == SegmentError::kNone) *out = std::move(store);
  return error;
}

std::string WriteSegment(const DefinitionStore& store) {
  std::string out;
  const size_t count = store.windows.size();
  PutU32(&out, static_cast<uint32_t>(count * fmt::kHeaderEntryBytes));
  for (const WindowRecord& window : store.windows) PutU32(&out, window.id);
  PutZeros(&out, 4 * count);  // run-time slots
  for (const WindowRecord& window : store.windows) WriteWindow(window, &out);
  return out;
}

}  // namespace memo::ui
