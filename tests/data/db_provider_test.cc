#include "data/db_provider.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/cell_text.h"
#include "db/engine_code.h"
#include "db/registry.h"
#include "platform/file.h"
#include "platform/headless/headless_backend.h"
#include "runtime/heap.h"
#include "runtime/text.h"
#include "tests/support/test_util.h"

namespace memo::db {
namespace {

using testing::G;

// A backend whose letters are 30 pixels wide whatever the font, to see that widths are measured
// through it (the headless metrics would give the same 20 as the fallback).
class WideLetters : public platform::HeadlessBackend {
 public:
  platform::Size MeasureText(const platform::FontSpec& font, std::string_view text) override {
    last_font = font;
    return platform::Size{30 * static_cast<int>(text.size()), 40};
  }
  platform::FontSpec last_font;
};

class Counting : public ProviderObserver {
 public:
  void ProviderChanging() override { events.push_back("changing"); }
  void ProviderChanged() override { events.push_back("changed"); }
  void ProviderGone() override { events.push_back("gone"); }
  std::vector<std::string> events;
};

class ProviderTest : public ::testing::Test {
 protected:
  // Every field type the provider shows as text, one record of known values.
  std::string MakeAllTypes() {
    std::string path = dir_.File("all.edb");
    testing::MustCreate(path, {{"b", kFieldByte, 0},
                               {"s", kFieldShort, 0},
                               {"i", kFieldInt, 0},
                               {"l", kFieldLong, 0},
                               {"f", kFieldFloat, 0},
                               {"d", kFieldDouble, 0},
                               {"ok", kFieldBool, 0},
                               {"when", kFieldDateTime, 0},
                               {"txt", kFieldText, 8},
                               {"memo", kFieldMemo, 0}});
    return path;
  }

  std::string MakeMemoTable(int records) {
    std::string path = dir_.File("a.mcn");
    testing::MustCreate(path, testing::MemoTableFields());
    auto handle = testing::MustOpen(path);
    for (int i = 0; i < records; ++i) {
      std::string category = "c" + std::to_string(i);
      std::string text = "memo " + std::to_string(i);
      TypedValue values[] = {testing::TextCell(category), testing::DateTimeCell(41830.0 + i),
                             testing::TextCell(text)};
      EXPECT_EQ(handle->AddRecord(values, 3), kOk);
    }
    return path;
  }

  testing::TempDir dir_;
};

TEST_F(ProviderTest, ConnectsByFileNameOutsideTheRegistry) {
  std::string path = MakeMemoTable(2);
  DBProvider provider;
  EXPECT_FALSE(provider.connected());
  EXPECT_EQ(provider.RowCount(), 0);
  EXPECT_EQ(provider.ColumnCount(), 0);

  ASSERT_TRUE(provider.Connect(path));
  EXPECT_EQ(provider.file_name(), path);
  EXPECT_EQ(provider.RowCount(), 2);
  EXPECT_EQ(DatabaseRegistry::Instance().size(), 0);
  EXPECT_EQ(DatabaseRegistry::Instance().Current(), nullptr);
  EXPECT_EQ(provider.handle()->lock_free(), false);  // share mode 1: others may read and write

  // The program may open the same file through the registry at the same time.
  EXPECT_EQ(DatabaseRegistry::Instance().Open(path, "", OpenOptions{}), kOk);
  DatabaseRegistry::Instance().CloseAll();

  EXPECT_FALSE(provider.Connect(dir_.File("missing.mcn")));
  EXPECT_EQ(provider.file_name(), dir_.File("missing.mcn"));  // kept though the open failed
  EXPECT_EQ(provider.RowCount(), 0);
  EXPECT_EQ(provider.CellText(0, 0), "");

  ASSERT_TRUE(provider.Connect(path));
  provider.Disconnect();
  EXPECT_FALSE(provider.connected());
  EXPECT_EQ(provider.file_name(), "");
  EXPECT_EQ(provider.ColumnCount(), 0);
}

TEST_F(ProviderTest, APasswordProtectedFileNeedsTheProvidersPassword) {
  std::string path = dir_.File("p.edb");
  testing::MustCreate(path, {{"x", kFieldInt, 0}}, "secret");
  DBProvider provider;
  EXPECT_FALSE(provider.Connect(path));
  provider.set_password("secret");
  EXPECT_TRUE(provider.Connect(path));
}

TEST_F(ProviderTest, ColumnsFollowTheFieldsWithWidthsByType) {
  std::string path = MakeMemoTable(0);
  WideLetters backend;
  platform::Backend* previous = platform::InstallBackend(&backend);
  DBProvider provider;
  ASSERT_TRUE(provider.Connect(path));
  platform::InstallBackend(previous);

  ASSERT_EQ(provider.ColumnCount(), 4);
  EXPECT_EQ(backend.last_font.height, 40);
  EXPECT_EQ(backend.last_font.face_gbk, G("宋体"));
  const char* names[] = {"分类", "时间", "记事", "跟进"};
  const int n[] = {10, 26, 40, 40};
  for (int c = 0; c < 4; ++c) {
    const ProviderColumn* column = provider.Column(c);
    ASSERT_NE(column, nullptr);
    EXPECT_EQ(column->field, c);
    EXPECT_EQ(column->name, G(names[c]));
    EXPECT_EQ(column->width, 31 * n[c] + 27) << c;
  }
  EXPECT_EQ(provider.Column(4), nullptr);
  EXPECT_EQ(provider.Column(-1), nullptr);
}

TEST_F(ProviderTest, WidthRuleRaisesToTheNameAndCapsAtAHundred) {
  auto field = [](uint32_t type, uint32_t length, const std::string& name) {
    FieldDescriptor f;
    f.SetName(name);
    f.type = type;
    f.declared_length = length;
    return f;
  };
  EXPECT_EQ(InitialColumnWidth(field(kFieldShort, 0, "a"), 20), 21 * 7 + 27);
  EXPECT_EQ(InitialColumnWidth(field(kFieldInt, 0, "a"), 20), 21 * 11 + 27);
  EXPECT_EQ(InitialColumnWidth(field(kFieldLong, 0, "a"), 20), 21 * 16 + 27);
  EXPECT_EQ(InitialColumnWidth(field(kFieldDouble, 0, "a"), 20), 21 * 16 + 27);
  EXPECT_EQ(InitialColumnWidth(field(kFieldFloat, 0, "a"), 20), 21 * 10 + 27);
  EXPECT_EQ(InitialColumnWidth(field(kFieldBool, 0, "a"), 20), 21 * 3 + 27);
  EXPECT_EQ(InitialColumnWidth(field(kFieldByte, 0, "a"), 20), 21 * 4 + 27);
  EXPECT_EQ(InitialColumnWidth(field(kFieldByteSet, 0, "a"), 20), 21 * 4 + 27);
  // A logical field with a 14-byte name: n = 15.
  EXPECT_EQ(InitialColumnWidth(field(kFieldBool, 0, G("很长的字段名称")), 20), 21 * 15 + 27);
  EXPECT_EQ(InitialColumnWidth(field(kFieldText, 250, "a"), 20), 21 * 100 + 27);
  EXPECT_EQ(InitialColumnWidth(field(kFieldText, 3, "abcdef"), 20), 21 * 7 + 27);
  // Without a backend the letter is taken as 20 pixels wide.
  platform::Backend* previous = platform::InstallBackend(nullptr);
  EXPECT_EQ(ReferenceLetterWidth(), 20);
  platform::InstallBackend(previous);
}

TEST_F(ProviderTest, ByteSetColumnsOnlyWithTheDisplayFlag) {
  std::string path = dir_.File("pictures.edb");
  testing::MustCreate(path, {{"pic", kFieldByteSet, 0}, {"pic2", kFieldByteSet, 0}});
  DBProvider provider;
  Counting observer;
  provider.AddObserver(&observer);
  ASSERT_TRUE(provider.Connect(path));
  EXPECT_EQ(provider.ColumnCount(), 0);
  observer.events.clear();
  provider.set_show_byte_sets(true);
  EXPECT_EQ(provider.ColumnCount(), 2);
  EXPECT_EQ(observer.events, (std::vector<std::string>{"changing", "changed"}));
  provider.set_show_byte_sets(true);  // no change, no notice
  EXPECT_EQ(observer.events.size(), 2u);

  // Mixed tables keep the field index of each column.
  std::string mixed = dir_.File("mixed.edb");
  testing::MustCreate(mixed, {{"pic", kFieldByteSet, 0}, {"name", kFieldText, 4}});
  provider.set_show_byte_sets(false);
  ASSERT_TRUE(provider.Connect(mixed));
  ASSERT_EQ(provider.ColumnCount(), 1);
  EXPECT_EQ(provider.Column(0)->field, 1);
  provider.RemoveObserver(&observer);
}

TEST_F(ProviderTest, CellsReadAsTextPerType) {
  std::string path = MakeAllTypes();
  {
    auto handle = testing::MustOpen(path);
    TypedValue byte_value;
    byte_value.tag = TypeTag::kByte;
    byte_value.low = 255;
    std::string text = "abcdefghij";  // longer than the field: stored cut to 8
    std::string memo = G("多行\r\n记事");
    TypedValue values[] = {byte_value,
                           testing::IntCell(-12),
                           testing::IntCell(2000000000),
                           testing::DoubleCell(12345678901234.0),
                           testing::DoubleCell(3.14159265),
                           testing::DoubleCell(2.0 / 3.0),
                           testing::BoolCell(true),
                           testing::DateTimeCell(41830.0 + (9 * 3600 + 5 * 60 + 7) / 86400.0),
                           testing::TextCell(text),
                           testing::TextCell(memo)};
    ASSERT_EQ(handle->AddRecord(values, 10), kOk);
    ASSERT_EQ(handle->AppendBlank(), kOk);
  }
  DBProvider provider;
  ASSERT_TRUE(provider.Connect(path));
  ASSERT_EQ(provider.ColumnCount(), 10);
  const std::string expected[] = {"255",        "-12",
                                  "2000000000", "12345678901234",
                                  "3.14159",    "0.6666666666667",
                                  G("真"),      G("2014年7月10日9时5分7秒"),
                                  "abcdefgh",   G("多行\r\n记事")};
  for (int c = 0; c < 10; ++c) EXPECT_EQ(provider.CellText(0, c), expected[c]) << c;
  // The blank record: zeros, false, day 0, empty texts.
  EXPECT_EQ(provider.CellText(1, 0), "0");
  EXPECT_EQ(provider.CellText(1, 6), G("假"));
  EXPECT_EQ(provider.CellText(1, 7), G("1899年12月30日"));
  EXPECT_EQ(provider.CellText(1, 8), "");
  EXPECT_EQ(provider.CellText(1, 9), "");
  // Out of range: empty, never a failure of the program.
  EXPECT_EQ(provider.CellText(2, 0), "");
  EXPECT_EQ(provider.CellText(-1, 0), "");
  EXPECT_EQ(provider.CellText(0, 10), "");

  TypedValue value;
  ASSERT_TRUE(provider.CellValue(0, 2, &value));
  EXPECT_EQ(value.tag, TypeTag::kInt);
  EXPECT_EQ(static_cast<int32_t>(value.low), 2000000000);
  ASSERT_TRUE(provider.CellValue(0, 9, &value));
  EXPECT_EQ(value.tag, TypeTag::kText);
  ReleaseValue(&value);
  EXPECT_FALSE(provider.CellValue(5, 9, &value));
  EXPECT_EQ(value.tag, TypeTag::kText);  // the empty value of the field's type
  ReleaseValue(&value);
}

TEST_F(ProviderTest, SetFromTextConvertsByType) {
  std::string path = MakeAllTypes();
  DBProvider provider;
  ASSERT_TRUE(provider.Connect(path));
  ASSERT_TRUE(provider.InsertRows(0, 1));
  struct Case {
    int column;
    std::string text;
    std::string shown;
  };
  const Case cases[] = {
      {0, "300", "44"},  // no range check: the byte keeps the low 8 bits
      {0, "7x", "7"},
      {1, "-40000", "25536"},
      {2, "  -123abc", "-123"},
      {3, "-9000000000", "-9000000000"},
      {4, "1.5e3", "1500"},
      {5, "0.1", "0.1"},
      {5, "pi", "0"},
      {6, "TRUE", G("真")},
      {6, "ZHENG", G("真")},
      {6, G("真"), G("真")},
      {6, "yes", G("假")},
      {6, "", G("假")},
      {7, "2014-07-10 09:05", G("2014年7月10日9时5分")},
      {7, G("2014年7月10日"), G("2014年7月10日")},
      {7, G("不是日期"), ""},
      {8, G("分类很长的文本"), G("分类很长")},  // cut to 8 bytes, never inside a character
      {9, G("记事\r\n第二行"), G("记事\r\n第二行")},
      {9, "", ""},
  };
  for (const Case& c : cases) {
    EXPECT_TRUE(provider.SetCellFromText(0, c.column, c.text)) << c.column << " " << c.text;
    EXPECT_EQ(provider.CellText(0, c.column), c.shown) << c.column << " " << c.text;
  }
  // An unparsable date stores the empty date itself.
  ASSERT_TRUE(provider.SetCellFromText(0, 7, "31/12/2014"));
  TypedValue value;
  ASSERT_TRUE(provider.CellValue(0, 7, &value));
  EXPECT_DOUBLE_EQ(value.Double(), -657434.0);

  // Writes outside the table fail softly.
  EXPECT_FALSE(provider.SetCellFromText(1, 0, "1"));
  EXPECT_FALSE(provider.SetCellFromText(0, 10, "1"));
  EXPECT_FALSE(provider.SetCellFromText(-1, 0, "1"));
}

// Clearing a text cell hands the engine an empty text that has no bytes at all; the field then
// holds only zeros, and the fields beside it keep their values.
TEST_F(ProviderTest, ClearingATextCellStoresZeros) {
  std::string path = MakeMemoTable(2);
  DBProvider provider;
  ASSERT_TRUE(provider.Connect(path));
  ASSERT_TRUE(provider.SetCellFromText(1, 0, ""));
  EXPECT_EQ(provider.CellText(1, 0), "");
  EXPECT_EQ(provider.CellText(1, 2), "memo 1");
  EXPECT_EQ(provider.CellText(0, 0), "c0");
  provider.Disconnect();
  auto handle = testing::MustOpen(path);
  std::string record;
  ASSERT_EQ(handle->ReadRecordBytes(1, &record), kOk);
  EXPECT_EQ(record.substr(4, 10), std::string(10, '\0'));
  // An empty text value without a block, written straight through the engine.
  handle->set_current_record(0);
  TypedValue empty;
  empty.tag = TypeTag::kText;
  ASSERT_EQ(handle->WriteField(0, empty), kOk);
  TypedValue values[] = {empty};
  ASSERT_EQ(handle->AddRecord(values, 1), kOk);
  ASSERT_EQ(handle->ReadRecordBytes(0, &record), kOk);
  EXPECT_EQ(record.substr(4, 10), std::string(10, '\0'));
  ASSERT_EQ(handle->ReadRecordBytes(2, &record), kOk);
  EXPECT_EQ(record.substr(4, 10), std::string(10, '\0'));
}

TEST_F(ProviderTest, SetFromBytesOnlyForByteSetColumns) {
  std::string path = dir_.File("mixed.edb");
  testing::MustCreate(path, {{"pic", kFieldByteSet, 0}, {"name", kFieldText, 8}});
  DBProvider provider;
  provider.set_show_byte_sets(true);
  ASSERT_TRUE(provider.Connect(path));
  ASSERT_TRUE(provider.InsertRows(0, 1));
  const std::string bytes("\x89PNG\0\x01", 6);
  EXPECT_TRUE(provider.SetCellFromBytes(0, 0, bytes));
  EXPECT_EQ(provider.CellText(0, 0), bytes);
  EXPECT_FALSE(provider.SetCellFromBytes(0, 1, "abc"));
  EXPECT_EQ(provider.CellText(0, 1), "");
  // From text, a byte-set stores the text's bytes.
  EXPECT_TRUE(provider.SetCellFromText(0, 0, "xyz"));
  EXPECT_EQ(provider.CellText(0, 0), "xyz");
}

TEST_F(ProviderTest, InsertOnlyAtTheEnd) {
  std::string path = MakeMemoTable(2);
  DBProvider provider;
  ASSERT_TRUE(provider.Connect(path));
  EXPECT_FALSE(provider.InsertRows(0, 1));
  EXPECT_FALSE(provider.InsertRows(1, 1));
  EXPECT_FALSE(provider.InsertRows(3, 1));
  EXPECT_EQ(provider.RowCount(), 2);
  EXPECT_EQ(provider.CellText(0, 0), "c0");
  EXPECT_TRUE(provider.InsertRows(2, 0));
  EXPECT_EQ(provider.RowCount(), 2);
  EXPECT_TRUE(provider.InsertRows(2, 3));
  EXPECT_EQ(provider.RowCount(), 5);
  EXPECT_EQ(provider.CellText(4, 0), "");
  EXPECT_EQ(provider.CellText(1, 0), "c1");
  EXPECT_FALSE(provider.InsertRows(5, -1));
}

TEST_F(ProviderTest, DeleteRemovesARangeAndLaterRecordsMoveUp) {
  std::string path = MakeMemoTable(4);
  DBProvider provider;
  ASSERT_TRUE(provider.Connect(path));
  EXPECT_TRUE(provider.DeleteRows(1, 0));
  EXPECT_EQ(provider.RowCount(), 4);
  EXPECT_TRUE(provider.DeleteRows(1, 1));
  EXPECT_EQ(provider.RowCount(), 3);
  EXPECT_EQ(provider.CellText(1, 0), "c2");
  EXPECT_EQ(provider.CellText(1, 2), "memo 2");  // memo chains move with their records
  EXPECT_FALSE(provider.DeleteRows(3, 1));
  EXPECT_FALSE(provider.DeleteRows(-1, 1));
  EXPECT_TRUE(provider.DeleteRows(1, 50));  // to the end
  EXPECT_EQ(provider.RowCount(), 1);
  EXPECT_EQ(provider.CellText(0, 0), "c0");
}

// Whoever asked for a write can say why it failed: every write and structural change leaves its
// engine code in the thread's last-error cell, also when the provider never connected.
TEST_F(ProviderTest, WritesLeaveTheirCodeInTheLastErrorCell) {
  std::string path = MakeMemoTable(2);
  DBProvider provider;
  SetLastError(kUnknownError);
  EXPECT_FALSE(provider.SetCellFromText(0, 0, "x"));
  EXPECT_EQ(LastError(), kNoDatabaseOpen);  // never pointed at a file
  EXPECT_FALSE(provider.Connect(dir_.File("missing.mcn")));
  EXPECT_FALSE(provider.DeleteRows(0, 1));
  EXPECT_EQ(LastError(), kFileNotFound);  // the open that failed
  SetLastError(kUnknownError);
  EXPECT_FALSE(provider.InsertRows(0, 1));
  EXPECT_EQ(LastError(), kFileNotFound);

  ASSERT_TRUE(provider.Connect(path));
  SetLastError(kUnknownError);
  EXPECT_TRUE(provider.SetCellFromText(0, 0, "x"));
  EXPECT_EQ(LastError(), kOk);
  {
    platform::File busy;
    ASSERT_EQ(
        platform::File::Open(path, platform::FileAccess::kRead, platform::FileShare::kDenyNone,
                             platform::FileCreate::kOpenExisting, &busy),
        platform::FileError::kNone);
    ASSERT_EQ(busy.Lock(0, 0x7FFFFFFF), platform::FileError::kNone);
    EXPECT_FALSE(provider.SetCellFromText(1, 0, "y"));
    EXPECT_EQ(LastError(), kLockFailed);
    SetLastError(kOk);
    EXPECT_FALSE(provider.DeleteRows(0, 1));
    EXPECT_EQ(LastError(), kLockFailed);
  }
  EXPECT_EQ(provider.RowCount(), 2);
  EXPECT_EQ(provider.CellText(1, 0), "c1");
  EXPECT_TRUE(provider.DeleteRows(0, 1));
  EXPECT_EQ(LastError(), kOk);
}

TEST_F(ProviderTest, ARecordAppendedThroughAnotherHandleShowsAtTheNextCount) {
  std::string path = MakeMemoTable(1);
  DBProvider provider;
  ASSERT_TRUE(provider.Connect(path));
  EXPECT_EQ(provider.RowCount(), 1);
  auto other = testing::MustOpen(path);
  std::string category = G("新的");
  TypedValue values[] = {testing::TextCell(category)};
  ASSERT_EQ(other->AddRecord(values, 1), kOk);
  EXPECT_EQ(provider.RowCount(), 2);
  EXPECT_EQ(provider.CellText(1, 0), category);
  // And the other way round: the provider's writes are in the file at once.
  ASSERT_TRUE(provider.SetCellFromText(0, 0, "x"));
  other->set_current_record(0);
  EXPECT_EQ(testing::FieldText(other.get(), "分类"), "x");
}

TEST_F(ProviderTest, ObserversAreToldAroundEveryReconnectAndWhenItGoes) {
  std::string path = MakeMemoTable(1);
  Counting observer;
  {
    DBProvider provider;
    provider.AddObserver(&observer);
    provider.AddObserver(&observer);  // once only
    provider.Connect(path);
    provider.Connect("");
    EXPECT_EQ(observer.events,
              (std::vector<std::string>{"changing", "changed", "changing", "changed"}));
    observer.events.clear();
  }
  EXPECT_EQ(observer.events, (std::vector<std::string>{"gone"}));
}

}  // namespace
}  // namespace memo::db
