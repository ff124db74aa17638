// The window definition segment: the stored layout, round trips, every check of the reader, the
// lookups, and robustness on truncated, corrupted and random bytes.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "app/windows/carried_segment.h"
#include "ui/format/byte_cursor.h"
#include "ui/format/segment.h"

namespace memo::ui {
namespace {

SegmentError Read(const std::string& bytes, DefinitionStore* store) {
  return ReadSegment(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), store);
}

// --- The layout, written out by hand -------------------------------------------------------------

struct RawEvent {
  int32_t event;
  int32_t routine;
};

std::string RawGeneral(uint32_t type, std::string_view name, int32_t left, int32_t top,
                       int32_t width, int32_t height, uint32_t flags,
                       const std::vector<RawEvent>& events, std::string_view block) {
  std::string r;
  PutU32(&r, type);
  PutU32(&r, 0);  // event source
  for (int i = 0; i < 4; ++i) PutU32(&r, 0);
  r.append(name);
  r.push_back('\0');
  r.push_back('\0');       // remark
  PutU32(&r, 0xDEADBEEF);  // object slot: ignored
  PutI32(&r, left);
  PutI32(&r, top);
  PutI32(&r, width);
  PutI32(&r, height);
  PutU32(&r, 0xCAFEF00D);  // cursor slot: ignored
  PutU32(&r, 0);           // parent
  PutU32(&r, 0);           // page count
  PutU32(&r, 0);           // mouse pointer blob
  r.push_back('\0');       // tag
  PutU32(&r, 0);           // word X
  PutU32(&r, flags);
  PutU32(&r, 0);  // word Y
  PutU32(&r, static_cast<uint32_t>(events.size()));
  for (const RawEvent& e : events) PutI32(&r, e.event), PutI32(&r, e.routine);
  r.append(20, '\0');
  r.append(block);
  return r;
}

std::string RawMenu(uint32_t level, uint32_t flags, std::string_view caption, int32_t routine) {
  std::string r;
  PutU32(&r, 0x00010003);
  for (int i = 0; i < 5; ++i) PutU32(&r, 0);
  r.push_back('\0');
  r.push_back('\0');
  PutU32(&r, 0);  // shortcut
  PutU32(&r, level);
  PutU32(&r, flags);
  r.append(caption);
  r.push_back('\0');
  PutI32(&r, routine);
  r.append(16, '\0');
  return r;
}

// A unit table with records stored back to back.
std::string RawTable(const std::vector<uint32_t>& ids, const std::vector<std::string>& records) {
  std::string table;
  for (uint32_t id : ids) PutU32(&table, id);
  std::string body;
  std::vector<uint32_t> offsets;
  for (const std::string& record : records) {
    offsets.push_back(static_cast<uint32_t>(body.size()));
    PutCounted(&body, record);
  }
  for (uint32_t offset : offsets) PutU32(&table, offset);
  return table + body;
}

std::string RawWindow(uint32_t word_a, uint32_t word_b, uint32_t unit_count,
                      const std::string& table) {
  std::string w;
  PutU32(&w, word_a);
  PutU32(&w, word_b);
  PutU32(&w, 0);
  PutU32(&w, 0);
  PutU32(&w, unit_count);
  PutCounted(&w, table);
  return w;
}

std::string RawSegment(const std::vector<uint32_t>& window_ids,
                       const std::vector<std::string>& windows) {
  std::string s;
  PutU32(&s, static_cast<uint32_t>(8 * window_ids.size()));
  for (uint32_t id : window_ids) PutU32(&s, id);
  for (size_t i = 0; i < window_ids.size(); ++i) PutU32(&s, 0x11111111);  // run-time slots
  for (const std::string& w : windows) s += w;
  return s;
}

// One window: its unit, a button, a menu item.
std::string SmallWindowTable() {
  return RawTable(
      {0x06010100, 0x16010101, 0x26010102},
      {RawGeneral(0x00010001, "", 50, 50, 200, 100, 1, {{0, 3}}, "WB"),
       RawGeneral(0x0001000B, "\xB0\xB4\xC5\xA5", -1, 2, 30, 20, 5, {{0, 7}, {-9, -1}}, "blk"),
       RawMenu(1, 4, "\xB8\xFA", 9)});
}

std::string SmallSegment() {
  return RawSegment({0x52010103}, {RawWindow(7, 0x19010104, 3, SmallWindowTable())});
}

TEST(SegmentLayoutTest, HandWrittenBytesReadAsTheirFields) {
  DefinitionStore store;
  ASSERT_EQ(Read(SmallSegment(), &store), SegmentError::kNone);
  ASSERT_EQ(store.windows.size(), 1u);
  const WindowRecord& w = store.windows[0];
  EXPECT_EQ(w.id, 0x52010103u);
  EXPECT_EQ(w.word_a, 7u);
  EXPECT_EQ(w.word_b, 0x19010104u);
  ASSERT_EQ(w.units.size(), 3u);
  const UnitRecord& window_unit = w.units[0];
  EXPECT_EQ(window_unit.id, 0x06010100u);
  EXPECT_EQ(window_unit.type, unit_type::kWindow);
  EXPECT_EQ(window_unit.width, 200);
  EXPECT_EQ(window_unit.events, (std::vector<EventBinding>{{0, 3}}));
  EXPECT_EQ(window_unit.type_block, "WB");
  const UnitRecord& button = w.units[1];
  EXPECT_EQ(button.name, "\xB0\xB4\xC5\xA5");
  EXPECT_EQ(button.left, -1);
  EXPECT_EQ(button.top, 2);
  EXPECT_EQ(button.height, 20);
  EXPECT_EQ(button.flags, 5u);
  EXPECT_EQ(button.events, (std::vector<EventBinding>{{0, 7}, {-9, kNoRoutine}}));
  EXPECT_EQ(button.type_block, "blk");
  const UnitRecord& item = w.units[2];
  EXPECT_TRUE(item.is_menu_item());
  EXPECT_EQ(item.level, 1u);
  EXPECT_EQ(item.menu_flags, kMenuChecked);
  EXPECT_EQ(item.caption, "\xB8\xFA");
  EXPECT_EQ(item.routine, 9);
}

TEST(SegmentLayoutTest, TheWriterProducesTheSameBytesApartFromTheSlots) {
  DefinitionStore store;
  ASSERT_EQ(Read(SmallSegment(), &store), SegmentError::kNone);
  std::string expected = SmallSegment();
  // The writer stores zero run-time, object and cursor slots.
  expected.replace(8, 4, std::string(4, '\0'));
  for (const char* slot : {"\xEF\xBE\xAD\xDE", "\x0D\xF0\xFE\xCA"}) {
    for (size_t at; (at = expected.find(slot, 0, 4)) != std::string::npos;) {
      expected.replace(at, 4, std::string(4, '\0'));
    }
  }
  EXPECT_EQ(WriteSegment(store), expected);
}

// --- Round trip ----------------------------------------------------------------------------------

DefinitionStore RichStore() {
  DefinitionStore store;
  WindowRecord a;
  a.id = 0x52000201;
  a.word_a = 0xFFFFFFFF;
  a.word_b = 0x19000202;
  a.text1 = "one";
  a.text2 = std::string("t\0o", 3);
  UnitRecord window_unit;
  window_unit.id = 0x06000203;
  window_unit.type = unit_type::kWindow;
  window_unit.left = -100;
  window_unit.width = 640;
  window_unit.flags = kFlagVisible;
  window_unit.type_block = std::string("\x06\0\0\0", 4);
  a.units.push_back(window_unit);
  UnitRecord edit;
  edit.id = 0x16000204;
  edit.type = unit_type::kEditBox;
  edit.event_source = 0x16000205;
  edit.reserved[2] = 42;
  edit.name = "\xB1\xE0\xBC\xAD\xBF\xF2\x31";  // 编辑框1
  edit.remark = "remark";
  edit.top = 7;
  edit.height = -3;
  edit.parent = 0x16000205;
  edit.page_members = {0x16000206, 0, 0x16000207};
  edit.mouse_pointer = std::string("\0\1\2\3", 4);
  edit.tag = "tag";
  edit.word_x = 1;
  edit.flags = kFlagVisible | kFlagDisabled | kFlagTabStop;
  edit.word_y = 2;
  edit.events = {{-9, 6}, {0, kNoRoutine}, {-9, 5}};
  edit.type_block = std::string(300, '\x5A');
  a.units.push_back(edit);
  UnitRecord item;
  item.id = 0x26000208;
  item.type = unit_type::kMenu;
  item.menu_reserved[4] = 3;
  item.shortcut = 77;
  item.level = 0;
  item.menu_flags = kMenuHidden | kMenuDisabled;
  item.caption = "-";
  item.routine = 12;
  a.units.push_back(item);
  store.windows.push_back(a);
  WindowRecord b;  // a window with its unit only
  b.id = 0x52000209;
  UnitRecord b_unit;
  b_unit.id = 0x0600020A;
  b_unit.type = unit_type::kWindow;
  b.units.push_back(b_unit);
  store.windows.push_back(b);
  return store;
}

TEST(SegmentRoundTripTest, EveryFieldSurvivesWriteAndRead) {
  const DefinitionStore store = RichStore();
  DefinitionStore out;
  ASSERT_EQ(Read(WriteSegment(store), &out), SegmentError::kNone);
  EXPECT_EQ(out, store);
}

TEST(SegmentRoundTripTest, AnEmptyStoreIsEightZeroBytesShort) {
  const std::string bytes = WriteSegment(DefinitionStore{});
  EXPECT_EQ(bytes, std::string(4, '\0'));
  DefinitionStore out = RichStore();
  EXPECT_EQ(Read(bytes, &out), SegmentError::kNone);
  EXPECT_TRUE(out.windows.empty());
}

TEST(SegmentRoundTripTest, AZeroByteInsideANameCannotShiftTheFieldsAfterIt) {
  DefinitionStore store = RichStore();
  store.windows[0].units[1].name = std::string("ab\0cd", 5);
  DefinitionStore out;
  ASSERT_EQ(Read(WriteSegment(store), &out), SegmentError::kNone);
  EXPECT_EQ(out.windows[0].units[1].name, "ab");
  EXPECT_EQ(out.windows[0].units[1].remark, "remark");
  EXPECT_EQ(out.windows[0].units[1].events, store.windows[0].units[1].events);
}

TEST(SegmentRoundTripTest, TrailingBytesAfterTheLastWindowAndAfterAMenuItemAreIgnored) {
  std::string table = RawTable(
      {0x06010100, 0x26010102},
      {RawGeneral(0x00010001, "", 0, 0, 1, 1, 1, {}, ""), RawMenu(0, 0, "m", -1) + "junk"});
  DefinitionStore out;
  ASSERT_EQ(Read(RawSegment({0x52010103}, {RawWindow(0, 0, 2, table)}) + "tail", &out),
            SegmentError::kNone);
  EXPECT_EQ(out.windows[0].units[1].caption, "m");
}

// --- The reader's checks -------------------------------------------------------------------------

TEST(SegmentReaderTest, AHeaderBelowEightHoldsNoWindows) {
  for (uint32_t header : {0u, 1u, 4u, 7u}) {
    std::string bytes;
    PutU32(&bytes, header);
    bytes += "whatever follows";
    DefinitionStore out = RichStore();
    EXPECT_EQ(Read(bytes, &out), SegmentError::kNone) << header;
    EXPECT_TRUE(out.windows.empty());
    EXPECT_EQ(out.Find(0x52000201), -1);
  }
}

TEST(SegmentReaderTest, FewerThanFourBytesAreTruncated) {
  DefinitionStore out;
  EXPECT_EQ(ReadSegment(nullptr, 0, &out), SegmentError::kTruncated);
  EXPECT_EQ(Read(std::string(3, '\0'), &out), SegmentError::kTruncated);
}

TEST(SegmentReaderTest, HeaderSizesThatAreNoMultipleOfEightAreBadLayout) {
  std::string bytes = SmallSegment();
  bytes[0] = 12;
  DefinitionStore out;
  EXPECT_EQ(Read(bytes, &out), SegmentError::kBadLayout);
}

TEST(SegmentReaderTest, AHeaderClaimingMoreWindowsThanBytesIsTruncated) {
  std::string bytes = SmallSegment();
  bytes.replace(0, 4, "\xF8\xFF\xFF\xFF");
  DefinitionStore out;
  EXPECT_EQ(Read(bytes, &out), SegmentError::kTruncated);
  bytes.replace(0, 4, std::string("\x10\0\0\0", 4));       // two windows, one record
  EXPECT_EQ(Read(bytes, &out), SegmentError::kInvalidId);  // the slot is read as an id first
}

TEST(SegmentReaderTest, WindowIdsMustBeValidWindowDefinitions) {
  for (uint32_t id : {0x00000000u, 0x52000000u, 0x50010001u, 0x56010001u}) {
    std::string bytes = RawSegment({id}, {RawWindow(0, 0, 3, SmallWindowTable())});
    DefinitionStore out;
    EXPECT_EQ(Read(bytes, &out), SegmentError::kInvalidId) << std::hex << id;
  }
}

TEST(SegmentReaderTest, TheFirstUnitMustBeTheWindowUnit) {
  const std::string window = RawGeneral(0x00010001, "", 0, 0, 1, 1, 1, {}, "");
  const std::string button = RawGeneral(0x0001000B, "b", 0, 0, 1, 1, 5, {}, "");
  struct Case {
    std::vector<uint32_t> ids;
    std::vector<std::string> records;
  };
  const Case cases[] = {
      {{}, {}},                                      // no units at all
      {{0x16010101}, {window}},                      // window type under a control id
      {{0x06010100}, {button}},                      // window unit id, control type
      {{0x06000000}, {window}},                      // low 24 bits zero
      {{0x06010100, 0x06010101}, {window, window}},  // a second window unit
      {{0x06010100, 0x16010101}, {window, window}},  // a second unit of window type
      {{0x06010100, 0x10010101}, {window, button}},  // a unit id whose nibble is not 6
      {{0x06010100, 0x26010101}, {window, button}},  // a menu id on a general record
      {{0x06010100, 0x16010101},                     // a menu record under a control id
       {window, RawMenu(0, 0, "m", -1)}},
  };
  for (const Case& c : cases) {
    std::string bytes = RawSegment(
        {0x52010103},
        {RawWindow(0, 0, static_cast<uint32_t>(c.ids.size()), RawTable(c.ids, c.records))});
    DefinitionStore out = RichStore();
    EXPECT_EQ(Read(bytes, &out), SegmentError::kInvalidId) << c.ids.size();
    EXPECT_TRUE(out.windows.empty());
  }
}

// The small window's table with its offsets replaced.
std::string WithOffsets(uint32_t first, uint32_t second, uint32_t third) {
  std::string table = SmallWindowTable();
  std::string offsets;
  PutU32(&offsets, first);
  PutU32(&offsets, second);
  PutU32(&offsets, third);
  table.replace(12, 12, offsets);
  return RawSegment({0x52010103}, {RawWindow(0, 0, 3, table)});
}

TEST(SegmentReaderTest, RecordsMustLieInOrderWithoutOverlapping) {
  // The records are stored back to back; record 0 is 4 + n bytes long.
  std::string table = SmallWindowTable();
  ByteReader r(std::string_view(table).substr(12));
  uint32_t second = 0;
  uint32_t third = 0;
  r.Skip(4);
  r.U32(&second);
  r.U32(&third);
  DefinitionStore out;
  ASSERT_EQ(Read(WithOffsets(0, second, third), &out), SegmentError::kNone);
  EXPECT_EQ(Read(WithOffsets(0, second - 1, third), &out), SegmentError::kBadLayout);
  EXPECT_EQ(Read(WithOffsets(0, second, second), &out), SegmentError::kBadLayout);
  EXPECT_EQ(Read(WithOffsets(0, second, 0), &out), SegmentError::kBadLayout);
  EXPECT_EQ(Read(WithOffsets(0, 0, third), &out), SegmentError::kBadLayout);
  // A gap between records is allowed.
  EXPECT_EQ(Read(WithOffsets(0, second, third), &out), SegmentError::kNone);
  EXPECT_EQ(Read(WithOffsets(0, 0xFFFFFFF0u, third), &out), SegmentError::kTruncated);
}

TEST(SegmentReaderTest, ARecordMustFitInTheUnitTableEvenWhenTheSegmentGoesOn) {
  // The table claims one byte less than it holds: the menu item's last reserved byte then
  // belongs to what follows (here a second window), not to the table.
  const std::string table = SmallWindowTable();
  std::string first;
  for (uint32_t word : {0u, 0u, 0u, 0u, 3u, static_cast<uint32_t>(table.size() - 1)}) {
    PutU32(&first, word);
  }
  first += table;
  DefinitionStore out;
  std::string bytes =
      RawSegment({0x52010103, 0x52010203}, {first, RawWindow(0, 0, 3, SmallWindowTable())});
  EXPECT_EQ(Read(bytes, &out), SegmentError::kTruncated);
  // With the right count the same bytes read as two windows.
  std::string count;
  PutU32(&count, static_cast<uint32_t>(table.size()));
  bytes.replace(4 + 16 + 20, 4, count);
  ASSERT_EQ(Read(bytes, &out), SegmentError::kNone);
  EXPECT_EQ(out.windows.size(), 2u);
}

TEST(SegmentReaderTest, UnitFieldsMustFitInTheirRecordBytes) {
  // Shorten the button's record by one byte at a time: its fields run out before its
  // record_bytes does, while the menu item's record still follows it in the table.
  const std::string window = RawGeneral(0x00010001, "", 0, 0, 1, 1, 1, {}, "");
  const std::string button = RawGeneral(0x0001000B, "name", 1, 2, 3, 4, 5, {{0, 1}}, "");
  const std::string menu = RawMenu(0, 0, "caption", 2);
  for (size_t cut = 1; cut <= button.size(); ++cut) {
    std::string bytes = RawSegment(
        {0x52010103}, {RawWindow(0, 0, 3,
                                 RawTable({0x06010100, 0x16010101, 0x26010102},
                                          {window, button.substr(0, button.size() - cut), menu}))});
    DefinitionStore out;
    ASSERT_EQ(Read(bytes, &out), SegmentError::kTruncated) << cut;
  }
  for (size_t cut = 1; cut <= menu.size(); ++cut) {
    std::string bytes = RawSegment(
        {0x52010103}, {RawWindow(0, 0, 3,
                                 RawTable({0x06010100, 0x26010102, 0x16010101},
                                          {window, menu.substr(0, menu.size() - cut), button}))});
    DefinitionStore out;
    ASSERT_EQ(Read(bytes, &out), SegmentError::kTruncated) << cut;
  }
}

TEST(SegmentReaderTest, HugeCountsAreRefusedBeforeAnythingIsAllocated) {
  DefinitionStore store = RichStore();
  std::string bytes = WriteSegment(store);
  DefinitionStore out;
  // The edit box's page count (after the type, source, 4 reserved, name, remark, object slot,
  // 4 geometry, cursor slot and parent): claim 0x3FFFFFFF members.
  const std::string name = store.windows[0].units[1].name + '\0' + "remark" + '\0';
  size_t name_at = bytes.find(name);
  ASSERT_NE(name_at, std::string::npos);
  size_t page_count_at = name_at + name.size() + 4 * 7;
  std::string patched = bytes;
  patched.replace(page_count_at, 4, "\xFF\xFF\xFF\x3F");
  EXPECT_EQ(Read(patched, &out), SegmentError::kTruncated);
  // The unit count of the first window (after header, 2 ids, 2 slots, A, B and two text32).
  patched = bytes;
  patched.replace(4 + 16 + 8 + 4 + 3 + 4 + 3, 4, "\xFF\xFF\xFF\xFF");
  EXPECT_EQ(Read(patched, &out), SegmentError::kTruncated);
  // A text32 of the window record.
  patched = bytes;
  patched.replace(4 + 16 + 8, 4, "\xFF\xFF\xFF\xFF");
  EXPECT_EQ(Read(patched, &out), SegmentError::kTruncated);
}

TEST(SegmentReaderTest, AFailureLeavesTheStoreEmpty) {
  std::string bytes = WriteSegment(RichStore());
  bytes.resize(bytes.size() - 1);
  DefinitionStore out = RichStore();
  EXPECT_EQ(Read(bytes, &out), SegmentError::kTruncated);
  EXPECT_TRUE(out.windows.empty());
  EXPECT_STRNE(SegmentErrorText(SegmentError::kTruncated), "");
}

// --- Lookups -------------------------------------------------------------------------------------

TEST(SegmentLookupTest, FindsWindowsAndUnitsByIdAndName) {
  DefinitionStore store = RichStore();
  EXPECT_EQ(store.Find(0x52000201), 0);
  EXPECT_EQ(store.Find(0x52000209), 1);
  EXPECT_EQ(store.Find(0x52000202), -1);
  const WindowRecord& w = store.windows[0];
  EXPECT_EQ(w.FindUnit(0x06000203), 0);  // the window unit is index 0
  EXPECT_EQ(w.FindUnit(0x26000208), 2);
  EXPECT_EQ(w.FindUnit(0), -1);
  EXPECT_EQ(w.FindUnitByName("\xB1\xE0\xBC\xAD\xBF\xF2\x31"), 1);
  EXPECT_EQ(w.FindUnitByName("\xB1\xE0\xBC\xAD\xBF\xF2"), -1);  // exact bytes only
}

TEST(SegmentLookupTest, DuplicatesAreFoundFirstEntryFirst) {
  DefinitionStore store = RichStore();
  WindowRecord& w = store.windows[0];
  UnitRecord copy = w.units[1];
  copy.tag = "second";
  w.units.push_back(copy);
  EXPECT_EQ(w.FindUnit(copy.id), 1);
  EXPECT_EQ(w.FindUnitByName(copy.name), 1);
  store.windows.push_back(store.windows[1]);
  EXPECT_EQ(store.Find(store.windows[1].id), 1);
  // The reader keeps duplicates as they stand.
  DefinitionStore out;
  ASSERT_EQ(Read(WriteSegment(store), &out), SegmentError::kNone);
  EXPECT_EQ(out, store);
}

// --- Robustness ----------------------------------------------------------------------------------

std::string Carried() {
  return std::string(reinterpret_cast<const char*>(kCarriedSegment), kCarriedSegmentSize);
}

// A result is either a clean failure with an empty store, or a store that writes and reads back
// as itself.
void ExpectCleanResult(const std::string& bytes) {
  DefinitionStore out;
  SegmentError error = Read(bytes, &out);
  if (error != SegmentError::kNone) {
    ASSERT_TRUE(out.windows.empty());
    return;
  }
  DefinitionStore again;
  ASSERT_EQ(Read(WriteSegment(out), &again), SegmentError::kNone);
  ASSERT_EQ(again, out);
}

TEST(SegmentRobustnessTest, EveryTruncationOfTheCarriedSegmentIsTruncated) {
  const std::string carried = Carried();
  for (size_t n = 0; n < carried.size(); ++n) {
    // A copy of exactly n bytes, so that the sanitizer sees any read past them.
    std::vector<uint8_t> prefix(carried.begin(), carried.begin() + static_cast<ptrdiff_t>(n));
    DefinitionStore out;
    ASSERT_EQ(ReadSegment(prefix.data(), prefix.size(), &out), SegmentError::kTruncated) << n;
    ASSERT_TRUE(out.windows.empty());
  }
}

TEST(SegmentRobustnessTest, SingleByteCorruptionsOfTheCarriedSegmentNeverCrash) {
  const std::string carried = Carried();
  for (size_t at = 0; at < carried.size(); ++at) {
    for (uint8_t flip : {0x01, 0x80}) {
      std::string bytes = carried;
      bytes[at] = static_cast<char>(bytes[at] ^ flip);
      ExpectCleanResult(bytes);
      if (HasFatalFailure()) FAIL() << "byte " << at << " ^ " << int{flip};
    }
  }
}

TEST(SegmentRobustnessTest, RandomBytesNeverCrash) {
  std::mt19937 random(20240601);
  const std::string carried = Carried();
  for (int round = 0; round < 3000; ++round) {
    std::string bytes(random() % 512, '\0');
    for (char& byte : bytes) byte = static_cast<char>(random());
    // Some rounds keep a plausible header and the carried window ids, so the reader gets past
    // the first checks.
    if (round % 2 == 1 && bytes.size() >= 44) bytes.replace(0, 24, carried, 0, 24);
    ExpectCleanResult(bytes);
    if (HasFatalFailure()) FAIL() << "round " << round;
  }
}

TEST(SegmentRobustnessTest, RandomSplicesOfTheCarriedSegmentNeverCrash) {
  std::mt19937 random(77);
  const std::string carried = Carried();
  for (int round = 0; round < 2000; ++round) {
    std::string bytes = carried;
    // Overwrite a few random words with small or huge values.
    for (int k = 0; k < 4; ++k) {
      size_t at = random() % (bytes.size() - 4);
      uint32_t value = random() % 3 == 0 ? random() : random() % 64;
      for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i));
    }
    ExpectCleanResult(bytes);
    if (HasFatalFailure()) FAIL() << "round " << round;
  }
}

}  // namespace
}  // namespace memo::ui
