// Record operations of a handle: count, skip, read and write field, append, add and modify with
// value encoding, clear, pack; and two handles on one file.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>

#include "db/coding.h"
#include "db/engine_code.h"
#include "db/images.h"
#include "db/memo_format.h"
#include "db/value_codec.h"
#include "platform/posix/syscalls.h"
#include "runtime/heap.h"
#include "runtime/routine.h"
#include "runtime/text.h"
#include "tests/support/test_util.h"

namespace memo::db {
namespace {

using testing::G;

// Every field type: 字节 byte, 短 short, 整 int, 长 long, 单 float, 双 double, 逻辑 bool,
// 日期 date-time, 子程序 routine, 文本 text 10, 字节集 byte-set, 备注 memo.
std::vector<FieldSpec> AllTypes() {
  return {
      {G("字节"), kFieldByte, 0},  {G("短"), kFieldShort, 0},       {G("整"), kFieldInt, 0},
      {G("长"), kFieldLong, 0},    {G("单"), kFieldFloat, 0},       {G("双"), kFieldDouble, 0},
      {G("逻辑"), kFieldBool, 0},  {G("日期"), kFieldDateTime, 0},  {G("子程序"), kFieldRoutine, 0},
      {G("文本"), kFieldText, 10}, {G("字节集"), kFieldByteSet, 0}, {G("备注"), kFieldMemo, 0}};
}

class RecordsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = dir_.File("all.edb");
    testing::MustCreate(path_, AllTypes());
    handle_ = testing::MustOpen(path_);
    ASSERT_TRUE(handle_);
  }

  TypedValue Read(const char* field_utf8) {
    TypedValue value;
    EXPECT_EQ(handle_->ReadField(handle_->FindField(G(field_utf8)), &value), kOk) << field_utf8;
    return value;
  }

  std::string ReadText(const char* field_utf8) {
    TypedValue value = Read(field_utf8);
    std::string text = value.Pointer() ? static_cast<const char*>(value.Pointer()) : "";
    ReleaseValue(&value);
    return text;
  }

  int32_t Count() {
    int32_t count = -1;
    EXPECT_EQ(handle_->ReadRecordCount(&count), kOk);
    return count;
  }

  testing::TempDir dir_;
  std::string path_;
  std::unique_ptr<DatabaseHandle> handle_;
};

TEST_F(RecordsTest, FieldLookupIgnoresAsciiCaseOnly) {
  testing::TempDir dir;
  testing::MustCreate(dir.File("x.edb"), {{"Name", kFieldText, 4}, {"AGE", kFieldInt, 0}});
  auto handle = testing::MustOpen(dir.File("x.edb"));
  EXPECT_EQ(handle->FindField("name"), 0);
  EXPECT_EQ(handle->FindField("age"), 1);
  EXPECT_EQ(handle->FindField("nam"), -1);
  // Repeated and alternating lookups (the handle remembers its last one).
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(handle->FindField("AGE"), 1);
    EXPECT_EQ(handle->FindField("AGE"), 1);
    EXPECT_EQ(handle->FindField("Age"), 1);
    EXPECT_EQ(handle->FindField("NAME"), 0);
    EXPECT_EQ(handle->FindField("AGEX"), -1);
    EXPECT_EQ(handle->FindField(""), -1);
    EXPECT_EQ(handle->FindField("nAmE"), 0);
  }
  EXPECT_EQ(handle->fields()[1].offset, 8u);
  EXPECT_EQ(handle->record_size(), 12);
}

TEST_F(RecordsTest, FreshRecordReadsAsEmptyValues) {
  ASSERT_EQ(handle_->AppendBlank(), kOk);
  EXPECT_EQ(handle_->current_record(), 0);
  EXPECT_EQ(Read("整").low, 0u);
  EXPECT_EQ(Read("整").tag, TypeTag::kInt);
  EXPECT_EQ(Read("逻辑").tag, TypeTag::kBool);
  EXPECT_EQ(Read("逻辑").low, 0u);
  EXPECT_EQ(Read("日期").Double(), 0.0);
  EXPECT_EQ(Read("子程序").tag, TypeTag::kSubroutinePtr);
  TypedValue text = Read("文本");
  EXPECT_EQ(text.tag, TypeTag::kText);
  EXPECT_EQ(text.Pointer(), nullptr);
  TypedValue memo = Read("备注");
  EXPECT_EQ(memo.tag, TypeTag::kText);
  EXPECT_EQ(memo.Pointer(), nullptr);
  TypedValue bytes = Read("字节集");
  EXPECT_EQ(bytes.tag, TypeTag::kByteSet);
  EXPECT_EQ(bytes.Pointer(), nullptr);
  int32_t count = 0, serial = 0;
  ASSERT_EQ(handle_->ReadRecordCount(&count, &serial), kOk);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(serial, 2);
}

TEST_F(RecordsTest, EveryTypeRoundTrips) {
  TypedValue values[12];
  values[0].tag = TypeTag::kByte;
  values[0].low = 200;
  values[1].tag = TypeTag::kShort;
  values[1].low = static_cast<uint32_t>(-1234) & 0xFFFF;
  values[2] = testing::IntCell(-123456);
  values[3].tag = TypeTag::kLong;
  values[3].SetInt64(-1234567890123LL);
  values[4].tag = TypeTag::kFloat;
  values[4].SetFloat(1.5f);
  values[5] = testing::DoubleCell(3.25);
  values[6] = testing::BoolCell(true);
  values[6].low = 7;  // any non-zero word is true
  values[7] = testing::DateTimeCell(41830.75);
  values[8].tag = TypeTag::kSubroutinePtr;
  values[8].low = 42;
  const std::string text = G("备忘");
  values[9] = testing::TextCell(text);
  const char raw[] = {1, 0, 2};
  void* block = MakeByteSet(raw, 3);
  values[10].tag = TypeTag::kByteSet;
  values[10].SetPointer(block);
  const std::string memo = G("长长的记事") + std::string(600, 'm');
  values[11] = testing::TextCell(memo);
  ASSERT_EQ(handle_->AddRecord(values, 12), kOk);
  Release(block);

  EXPECT_EQ(Read("字节").low, 200u);
  EXPECT_EQ(static_cast<int32_t>(Read("短").low), -1234);
  EXPECT_EQ(static_cast<int32_t>(Read("整").low), -123456);
  EXPECT_EQ(Read("长").Int64(), -1234567890123LL);
  EXPECT_EQ(Read("单").Float(), 1.5f);
  EXPECT_EQ(Read("双").Double(), 3.25);
  EXPECT_EQ(Read("逻辑").low, 1u);
  EXPECT_EQ(Read("日期").Double(), 41830.75);
  EXPECT_EQ(Read("子程序").low, 42u);
  EXPECT_EQ(ReadText("文本"), text);
  EXPECT_EQ(ReadText("备注"), memo);
  TypedValue read_bytes = Read("字节集");
  ASSERT_EQ(ByteSetSize(read_bytes.Pointer()), 3);
  EXPECT_EQ(std::memcmp(ByteSetData(read_bytes.Pointer()), raw, 3), 0);
  ReleaseValue(&read_bytes);

  // The logical byte on disk is exactly 1.
  const std::string file = testing::ReadAll(path_);
  const FieldDescriptor& logical = handle_->fields()[6];
  EXPECT_EQ(file[handle_->records_start() + logical.offset], 1);
}

TEST_F(RecordsTest, NumbersConvertToTheFieldType) {
  TypedValue values[6];
  values[0] = testing::DoubleCell(300.9);  // byte: truncated, low 8 bits
  values[1] = testing::IntCell(70000);     // short: low 16 bits
  values[2] = testing::DoubleCell(-2.7);   // int: toward zero
  values[3] = testing::IntCell(-5);        // long: widened
  values[4] = testing::IntCell(3);         // float
  values[5].tag = TypeTag::kFloat;         // double from float
  values[5].SetFloat(0.5f);
  ASSERT_EQ(handle_->AddRecord(values, 6), kOk);
  EXPECT_EQ(Read("字节").low, 44u);
  EXPECT_EQ(static_cast<int16_t>(Read("短").low), static_cast<int16_t>(70000));
  EXPECT_EQ(static_cast<int32_t>(Read("整").low), -2);
  EXPECT_EQ(Read("长").Int64(), -5);
  EXPECT_EQ(Read("单").Float(), 3.0f);
  EXPECT_EQ(Read("双").Double(), 0.5);
}

TEST_F(RecordsTest, WrongKindFailsBeforeAnythingIsWritten) {
  ASSERT_EQ(handle_->AppendBlank(), kOk);
  const std::string before = testing::ReadAll(path_);
  const std::string memo_before = testing::ReadAll(dir_.File("all.EDT"));
  const std::string memo_text(800, 'q');
  TypedValue values[12] = {};
  values[9] = testing::IntCell(5);  // a number for a text field
  values[11] = testing::TextCell(memo_text);
  EXPECT_EQ(handle_->AddRecord(values, 12), kValueTypeMismatch);
  EXPECT_EQ(handle_->ModifyRecord(values, 12), kValueTypeMismatch);
  TypedValue wrong[] = {testing::TextCell("1")};  // text for a byte field
  EXPECT_EQ(handle_->AddRecord(wrong, 1), kValueTypeMismatch);
  TypedValue date_for_double[6] = {};
  date_for_double[5] = testing::DateTimeCell(1.0);
  EXPECT_EQ(handle_->AddRecord(date_for_double, 6), kValueTypeMismatch);
  TypedValue bool_for_int[3] = {};
  bool_for_int[2] = testing::BoolCell(true);
  EXPECT_EQ(handle_->AddRecord(bool_for_int, 3), kValueTypeMismatch);
  TypedValue user_type[] = {TypedValue{}};
  user_type[0].tag = 0x00010005;
  EXPECT_EQ(handle_->AddRecord(user_type, 1), kValueTypeMismatch);
  TypedValue array[10] = {};
  array[9].tag = TypeTag::kText | kArrayFlag;
  EXPECT_EQ(handle_->AddRecord(array, 10), kValueTypeMismatch);
  EXPECT_EQ(testing::ReadAll(path_), before);
  EXPECT_EQ(testing::ReadAll(dir_.File("all.EDT")), memo_before);
  EXPECT_EQ(Count(), 1);
}

TEST_F(RecordsTest, TextIsCutWithoutSplittingACharacter) {
  auto store = [&](const std::string& text) {
    TypedValue values[10] = {};
    values[9] = testing::TextCell(text);
    EXPECT_EQ(handle_->AddRecord(values, 10), kOk);
    const std::string file = testing::ReadAll(path_);
    return file.substr(handle_->records_start() +
                           static_cast<size_t>(handle_->current_record()) * handle_->record_size() +
                           handle_->fields()[9].offset,
                       10);
  };
  EXPECT_EQ(store("abc"), std::string("abc") + std::string(7, '\0'));
  EXPECT_EQ(store("0123456789abcde"), "0123456789");
  EXPECT_EQ(store("0123456789"), "0123456789");
  // "abc一二三四五" is 13 bytes; the 10-byte cut would split 四.
  EXPECT_EQ(store(G("abc一二三四五")), G("abc一二三") + std::string(1, '\0'));
  EXPECT_EQ(ReadText("文本"), G("abc一二三"));
  EXPECT_EQ(store(G("一二三四五六")), G("一二三四五"));
  EXPECT_EQ(store(G("a一二三四五")), G("a一二三四") + std::string(1, '\0'));
}

TEST_F(RecordsTest, ReadValuesAreDecodedByTheirRules) {
  ASSERT_EQ(handle_->AppendBlank(), kOk);
  std::string file = testing::ReadAll(path_);
  const uint64_t record = handle_->records_start();
  file[record + handle_->fields()[6].offset] = 5;  // any non-zero logical byte is true
  EncodeDouble(file.data() + record + handle_->fields()[7].offset, 1e9);
  std::memcpy(file.data() + record + handle_->fields()[9].offset, "0123456789", 10);  // no NUL
  testing::WriteAll(path_, file);
  EXPECT_EQ(Read("逻辑").low, 1u);
  EXPECT_EQ(Read("日期").Double(), 2958465.0);
  EXPECT_EQ(ReadText("文本"), "0123456789");
  EncodeDouble(file.data() + record + handle_->fields()[7].offset, -1e9);
  testing::WriteAll(path_, file);
  EXPECT_EQ(Read("日期").Double(), -657434.0);
}

TEST_F(RecordsTest, ModifyChangesOnlyTheGivenFieldsAndKeepsTheSerial) {
  const std::string a = "first", b = "second";
  TypedValue values[12] = {};
  values[2] = testing::IntCell(1);
  values[9] = testing::TextCell(a);
  const std::string long_memo(1200, 'x');
  values[11] = testing::TextCell(long_memo);
  ASSERT_EQ(handle_->AddRecord(values, 12), kOk);
  ASSERT_EQ(handle_->AddRecord(values, 12), kOk);
  handle_->set_current_record(0);
  TypedValue change[10] = {};
  change[9] = testing::TextCell(b);
  ASSERT_EQ(handle_->ModifyRecord(change, 10), kOk);
  EXPECT_EQ(ReadText("文本"), b);
  EXPECT_EQ(Read("整").low, 1u);
  EXPECT_EQ(ReadText("备注"), std::string(1200, 'x'));
  std::string bytes;
  ASSERT_EQ(handle_->ReadRecordBytes(0, &bytes), kOk);
  EXPECT_EQ(DecodeInt32(bytes.data()), 1);

  handle_->set_current_record(-1);
  EXPECT_EQ(handle_->ModifyRecord(change, 10), kNoCurrentRecord);
  handle_->set_current_record(2);  // after the last
  EXPECT_EQ(handle_->ModifyRecord(change, 10), kNoCurrentRecord);
}

TEST_F(RecordsTest, WriteFieldWritesOneField) {
  ASSERT_EQ(handle_->AppendBlank(), kOk);
  const std::string text = "abc";
  ASSERT_EQ(handle_->WriteField(9, testing::TextCell(text)), kOk);
  const std::string memo(700, 'z');
  ASSERT_EQ(handle_->WriteField(11, testing::TextCell(memo)), kOk);
  ASSERT_EQ(handle_->WriteField(2, testing::DoubleCell(9.9)), kOk);
  EXPECT_EQ(ReadText("文本"), "abc");
  EXPECT_EQ(ReadText("备注"), std::string(700, 'z'));
  EXPECT_EQ(Read("整").low, 9u);
  ASSERT_EQ(handle_->WriteField(11, testing::TextCell("")), kOk);
  EXPECT_EQ(ReadText("备注"), "");
  EXPECT_EQ(testing::SizeOf(dir_.File("all.EDT")), 512u);
  EXPECT_EQ(handle_->WriteField(12, testing::IntCell(1)), kNoSuchField);
  EXPECT_EQ(handle_->WriteField(2, testing::TextCell("1")), kValueTypeMismatch);
  handle_->set_current_record(1);  // after the last record: at the end of the file
  EXPECT_EQ(handle_->WriteField(2, testing::IntCell(1)), kNoCurrentRecord);
  handle_->set_current_record(-1);
  EXPECT_EQ(handle_->WriteField(2, testing::IntCell(1)), kNoCurrentRecord);
}

TEST_F(RecordsTest, SkipStopsAfterTheLastAndBeforeTheFirst) {
  EXPECT_EQ(handle_->Skip(1), kAfterLastRecord);
  EXPECT_EQ(handle_->Skip(-1), kBeforeFirstRecord);
  EXPECT_EQ(handle_->Skip(0), kOk);
  for (int i = 0; i < 3; ++i) ASSERT_EQ(handle_->AppendBlank(), kOk);
  handle_->MoveFirst();
  EXPECT_EQ(handle_->current_record(), 0);
  handle_->set_current_record(2);
  EXPECT_EQ(handle_->Skip(1), kOk);
  EXPECT_EQ(handle_->current_record(), 3);
  EXPECT_EQ(handle_->Skip(1), kAfterLastRecord);
  EXPECT_EQ(handle_->current_record(), 3);
  handle_->set_current_record(2);
  EXPECT_EQ(handle_->Skip(-5), kOk);
  EXPECT_EQ(handle_->current_record(), -1);
  EXPECT_EQ(handle_->Skip(-1), kBeforeFirstRecord);
  EXPECT_EQ(handle_->Skip(100), kOk);
  EXPECT_EQ(handle_->current_record(), 3);
  EXPECT_EQ(handle_->Skip(INT32_MIN), kOk);
  EXPECT_EQ(handle_->current_record(), -1);
  EXPECT_EQ(handle_->Skip(INT32_MAX), kOk);
  EXPECT_EQ(handle_->current_record(), 3);
}

TEST_F(RecordsTest, ReadOnAnEmptyDatabaseFailsWithEmptyValue) {
  handle_->MoveFirst();
  TypedValue value;
  EXPECT_EQ(handle_->ReadField(9, &value), kSeekFailed);
  EXPECT_EQ(value.tag, TypeTag::kText);
  EXPECT_EQ(value.Pointer(), nullptr);
  EXPECT_EQ(handle_->ReadField(2, &value), kSeekFailed);
  EXPECT_EQ(value.tag, TypeTag::kInt);
  handle_->set_current_record(-1);
  EXPECT_EQ(handle_->ReadField(2, &value), kNoCurrentRecord);
  EXPECT_EQ(handle_->ReadField(99, &value), kNoSuchField);
}

TEST_F(RecordsTest, ClosedHandleReportsNoDatabase) {
  handle_->Close();
  int32_t count = 0;
  EXPECT_EQ(handle_->ReadRecordCount(&count), kNoDatabaseOpen);
  EXPECT_EQ(handle_->AppendBlank(), kNoDatabaseOpen);
  EXPECT_EQ(handle_->ClearAll(), kNoDatabaseOpen);
  EXPECT_EQ(handle_->PackDeleted(), kNoDatabaseOpen);
}

TEST_F(RecordsTest, AppendRefusesAFileShorterThanItsCount) {
  ASSERT_EQ(handle_->AppendBlank(), kOk);
  std::string file = testing::ReadAll(path_);
  EncodeInt32(file.data() + kRecordCountOffset, 5);
  testing::WriteAll(path_, file);
  EXPECT_EQ(handle_->AppendBlank(), kSeekFailed);
  EXPECT_EQ(testing::ReadAll(path_), file);
}

TEST_F(RecordsTest, ClearKeepsTheNextSerialAndEmptiesTheMemoFile) {
  TypedValue values[12] = {};
  const std::string memo(2000, 'c');
  values[11] = testing::TextCell(memo);
  for (int i = 0; i < 3; ++i) ASSERT_EQ(handle_->AddRecord(values, 12), kOk);
  ASSERT_EQ(handle_->ClearAll(), kOk);
  EXPECT_EQ(handle_->current_record(), 0);
  int32_t count = -1, serial = -1;
  ASSERT_EQ(handle_->ReadRecordCount(&count, &serial), kOk);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(serial, 4);
  EXPECT_EQ(testing::SizeOf(path_), handle_->records_start());
  const std::string memo_file = testing::ReadAll(dir_.File("all.EDT"));
  ASSERT_EQ(memo_file.size(), 512u);
  EXPECT_EQ(testing::I32At(memo_file, 16), 1);
  EXPECT_EQ(testing::I32At(memo_file, 20), 0);
  EXPECT_EQ(testing::I32At(memo_file, 24), 0);
  ASSERT_EQ(handle_->AddRecord(values, 12), kOk);
  std::string bytes;
  ASSERT_EQ(handle_->ReadRecordBytes(0, &bytes), kOk);
  EXPECT_EQ(DecodeInt32(bytes.data()), 4);
}

TEST_F(RecordsTest, PackRemovesDeletedRecordsAndTheirChains) {
  const int kRecords = 10;
  for (int i = 0; i < kRecords; ++i) {
    TypedValue values[12] = {};
    values[2] = testing::IntCell(i);
    const std::string memo(600, static_cast<char>('a' + i));
    values[11] = testing::TextCell(memo);
    ASSERT_EQ(handle_->AddRecord(values, 12), kOk);
  }
  // Mark records 0, 3, 4 and 9 deleted by negating their serials.
  std::string file = testing::ReadAll(path_);
  for (int i : {0, 3, 4, 9}) {
    char* serial = file.data() + handle_->records_start() + i * handle_->record_size();
    EncodeInt32(serial, -DecodeInt32(serial));
  }
  testing::WriteAll(path_, file);
  handle_->set_current_record(5);
  ASSERT_EQ(handle_->PackDeleted(), kOk);
  EXPECT_EQ(handle_->current_record(), 0);
  int32_t count = 0, serial = 0;
  ASSERT_EQ(handle_->ReadRecordCount(&count, &serial), kOk);
  EXPECT_EQ(count, 6);
  EXPECT_EQ(serial, 11);
  EXPECT_EQ(testing::SizeOf(path_), handle_->records_start() + 6u * handle_->record_size());
  const int kept[] = {1, 2, 5, 6, 7, 8};
  for (int i = 0; i < 6; ++i) {
    handle_->set_current_record(i);
    EXPECT_EQ(static_cast<int32_t>(Read("整").low), kept[i]);
    EXPECT_EQ(ReadText("备注"), std::string(600, static_cast<char>('a' + kept[i])));
    std::string bytes;
    ASSERT_EQ(handle_->ReadRecordBytes(i, &bytes), kOk);
    EXPECT_EQ(DecodeInt32(bytes.data()), kept[i] + 1) << "serials stay";
  }
  MemoHeader header;
  ASSERT_EQ(handle_->memo_file()->ReadHeader(&header), kOk);
  // 20 blocks were used; record 9's two were the last ones (trimmed), 0, 3 and 4 free six.
  EXPECT_EQ(header.block_count, 19);
  EXPECT_EQ(header.free_count, 6);
}

TEST_F(RecordsTest, PackRangeRemovesThoseRecords) {
  for (int i = 0; i < 6; ++i) {
    TypedValue values[3] = {};
    values[2] = testing::IntCell(i);
    ASSERT_EQ(handle_->AddRecord(values, 3), kOk);
  }
  ASSERT_EQ(handle_->PackRange(1, 2), kOk);
  EXPECT_EQ(Count(), 4);
  const int kept[] = {0, 3, 4, 5};
  for (int i = 0; i < 4; ++i) {
    handle_->set_current_record(i);
    EXPECT_EQ(static_cast<int32_t>(Read("整").low), kept[i]);
  }
  ASSERT_EQ(handle_->PackRange(2, 100), kOk);
  EXPECT_EQ(Count(), 2);
  EXPECT_EQ(handle_->PackRange(2, 1), kNoSuchRecord);
  EXPECT_EQ(handle_->PackRange(-1, 1), kNoSuchRecord);
  EXPECT_EQ(handle_->PackRange(0, 0), kNoSuchRecord);
  EXPECT_EQ(Count(), 2);
}

TEST_F(RecordsTest, PackMovesRecordsAcrossChunks) {
  // Records of 5000 bytes: 32 per chunk of 163840 bytes; 100 records span four chunks.
  testing::TempDir dir;
  testing::MustCreate(dir.File("big.edb"), {{"n", kFieldInt, 0}, {"pad", kFieldText, 4992}});
  auto handle = testing::MustOpen(dir.File("big.edb"));
  for (int i = 0; i < 100; ++i) {
    const std::string number = std::to_string(i);
    TypedValue values[] = {testing::IntCell(i), testing::TextCell(number)};
    ASSERT_EQ(handle->AddRecord(values, 2), kOk);
  }
  ASSERT_EQ(handle->PackRange(10, 30), kOk);
  int32_t count = 0;
  ASSERT_EQ(handle->ReadRecordCount(&count), kOk);
  ASSERT_EQ(count, 70);
  for (int i = 0; i < 70; ++i) {
    handle->set_current_record(i);
    std::string bytes;
    ASSERT_EQ(handle->ReadFieldBytes(0, &bytes), kOk);
    const int expected = i < 10 ? i : i + 30;
    EXPECT_EQ(DecodeInt32(bytes.data()), expected);
    ASSERT_EQ(handle->ReadFieldBytes(1, &bytes), kOk);
    EXPECT_EQ(bytes, std::to_string(expected));
  }
}

TEST(TwoHandlesTest, SeeEachOthersAppendsAtTheNextRead) {
  testing::TempDir dir;
  testing::WriteAll(dir.File("a.mcn"), std::string(MemoTableImageBytes()));
  testing::WriteAll(dir.File("a.edt"), std::string(MemoFileImageBytes()));
  auto app = testing::MustOpen(dir.File("a.mcn"));
  auto grid = testing::MustOpen(dir.File("a.mcn"));
  ASSERT_TRUE(app && grid);
  const std::string text = G("第一条");
  TypedValue values[] = {testing::TextCell("k"), testing::DateTimeCell(1.0),
                         testing::TextCell(text)};
  ASSERT_EQ(app->AddRecord(values, 3), kOk);
  int32_t count = 0, serial = 0;
  ASSERT_EQ(grid->ReadRecordCount(&count, &serial), kOk);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(serial, 58);
  grid->set_current_record(0);
  EXPECT_EQ(testing::FieldText(grid.get(), "记事"), text);
  ASSERT_EQ(grid->AppendBlank(), kOk);
  ASSERT_EQ(app->ReadRecordCount(&count, &serial), kOk);
  EXPECT_EQ(count, 2);
  EXPECT_EQ(serial, 59);
  ASSERT_EQ(grid->PackRange(0, 1), kOk);
  ASSERT_EQ(app->ReadRecordCount(&count), kOk);
  EXPECT_EQ(count, 1);
}

TEST(TwoHandlesTest, LocksOfOneHandleBlockTheOther) {
  testing::TempDir dir;
  testing::WriteAll(dir.File("c.mcn"), std::string(AccountsImageBytes()));
  auto first = testing::MustOpen(dir.File("c.mcn"));
  auto second = testing::MustOpen(dir.File("c.mcn"));
  ASSERT_EQ(first->locks()->Lock(kRecordCountOffset), kOk);
  int32_t count = 0;
  second->set_lock_wait(0);
  {
    // Append and clear wait out their two seconds for the held count byte, then fail.
    testing::VirtualClock clock;
    EXPECT_EQ(second->AppendBlank(), kLockFailed);
    EXPECT_EQ(second->ClearAll(), kLockFailed);
    EXPECT_GE(clock.slept_ms(), 2u * kBusyLockWait);
  }
  ASSERT_EQ(first->locks()->Unlock(kRecordCountOffset), kOk);
  EXPECT_EQ(second->AppendBlank(), kOk);
  ASSERT_EQ(first->ReadRecordCount(&count), kOk);
  EXPECT_EQ(count, 2);

  // A record lock keeps a field read of that record out, not of the others.
  const uint64_t record0 = first->records_start();
  ASSERT_EQ(first->locks()->Lock(record0), kOk);
  second->set_current_record(0);
  std::string bytes;
  EXPECT_EQ(second->ReadFieldBytes(0, &bytes), kLockFailed);
  second->set_current_record(1);
  EXPECT_EQ(second->ReadFieldBytes(0, &bytes), kOk);
  EXPECT_EQ(first->locks()->Unlock(record0), kOk);
}

TEST(TwoHandlesTest, MemoReadTakesTheRecordLockAndNoBlockLock) {
  testing::TempDir dir;
  const std::string path = dir.File("m.edb");
  testing::MustCreate(path, {{"id", kFieldInt, 0}, {"note", kFieldMemo, 0}});
  const std::string text(1200, 'r');  // blocks 1, 2, 3
  {
    auto writer = testing::MustOpen(path);
    TypedValue values[] = {testing::IntCell(1), testing::TextCell(text)};
    ASSERT_EQ(writer->AddRecord(values, 2), kOk);
  }
  auto reader = testing::MustOpen(path);  // lock wait 0: a held lock fails at once
  auto writer = testing::MustOpen(path);
  auto blocker = testing::MustOpen(path);
  ASSERT_TRUE(reader && writer && blocker);
  const uint64_t record0 = reader->records_start();
  reader->set_current_record(0);
  writer->set_current_record(0);
  std::string bytes;

  // The record lock is what keeps the chain's writers out, so a read needs it.
  ASSERT_EQ(blocker->locks()->Lock(record0, 0), kOk);
  EXPECT_EQ(reader->ReadFieldBytes(1, &bytes), kLockFailed);
  EXPECT_EQ(bytes, "");
  ASSERT_EQ(blocker->locks()->Unlock(record0), kOk);

  // A block lock of the chain does not hold the read up: under the record lock the chain cannot
  // change, and its blocks are read without locks of their own.
  ASSERT_EQ(blocker->memo_file()->locks()->Lock(2 * kMemoBlockSize, 0), kOk);
  EXPECT_EQ(reader->ReadFieldBytes(1, &bytes), kOk);
  EXPECT_EQ(bytes, text);
  // Writers still take each block's lock, for programs that read a chain block by block.
  const std::string other(1100, 'w');
  TypedValue rewrite[] = {TypedValue{}, testing::TextCell(other)};
  EXPECT_EQ(writer->ModifyRecord(rewrite, 2), kLockFailed);
  EXPECT_EQ(reader->ReadFieldBytes(1, &bytes), kOk);
  EXPECT_EQ(bytes, text) << "the refused rewrite wrote nothing";
  ASSERT_EQ(blocker->memo_file()->locks()->Unlock(2 * kMemoBlockSize), kOk);

  // Neither the read nor the failed write kept the record locked.
  EXPECT_EQ(blocker->locks()->Lock(record0, 0), kOk);
  EXPECT_EQ(blocker->locks()->Unlock(record0), kOk);
  EXPECT_EQ(writer->ModifyRecord(rewrite, 2), kOk);
  EXPECT_EQ(reader->ReadFieldBytes(1, &bytes), kOk);
  EXPECT_EQ(bytes, other);
}

// What the probe of the test below found: the record's lock held or free, once per read call of
// the reader.
struct ChainReadProbe {
  LockTable* locks = nullptr;
  uint64_t record = 0;
  int held = 0;
  int free = 0;
};
ChainReadProbe* g_chain_probe = nullptr;
ssize_t (*g_probed_pread)(int, void*, size_t, off_t) = nullptr;

// The read call of the installed table: before each read, the probe tries the record's lock
// (without waiting) and lets it go again.
ssize_t ProbingPread(int fd, void* buffer, size_t count, off_t offset) {
  if (ChainReadProbe* probe = g_chain_probe) {
    g_chain_probe = nullptr;  // the probe's own calls are not probed
    if (probe->locks->Lock(probe->record, 0) == kOk) {
      ++probe->free;
      EXPECT_EQ(probe->locks->Unlock(probe->record), kOk);
    } else {
      ++probe->held;
    }
    g_chain_probe = probe;
  }
  return g_probed_pread(fd, buffer, count, offset);
}

// A chain of 8 MB is read in many calls after the record's block number: another handle that
// tries the record's lock at each of the reader's read calls finds it held nearly every time, and
// would find it free nearly every time if the read let go of the record before reading the chain.
TEST(TwoHandlesTest, RecordStaysLockedWhileALongChainIsRead) {
  testing::TempDir dir;
  const std::string path = dir.File("long.edb");
  testing::MustCreate(path, {{"id", kFieldInt, 0}, {"note", kFieldMemo, 0}});
  std::string text(8 << 20, '\0');
  for (size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char>('a' + i % 23);
  {
    OpenOptions alone;
    alone.share = ShareFromArgument(4);
    auto writer = testing::MustOpen(path, alone);
    TypedValue values[] = {testing::IntCell(1), testing::TextCell(text)};
    ASSERT_EQ(writer->AddRecord(values, 2), kOk);
  }
  OpenOptions patient;  // the probe's brief holds are waited out
  patient.lock_wait_ms = 10000;
  auto reader = testing::MustOpen(path, patient);
  auto probe = testing::MustOpen(path);
  ASSERT_TRUE(reader && probe);
  const uint64_t record0 = reader->records_start();
  constexpr int kReads = 8;
  int whole_reads = 0;
  // The probe tries the record's lock at every read the reader makes, through the system-call
  // table: what it finds depends only on the order of the reader's calls, never on timing.
  ChainReadProbe probe_state{probe->locks(), record0};
  platform::posix::SyscallTable table = platform::posix::Syscalls();
  g_probed_pread = table.pread;
  table.pread = ProbingPread;
  const platform::posix::SyscallTable previous = platform::posix::InstallSyscalls(table);
  g_chain_probe = &probe_state;
  reader->set_current_record(0);
  for (int i = 0; i < kReads; ++i) {
    std::string bytes;
    if (reader->ReadFieldBytes(1, &bytes) == kOk && bytes == text) ++whole_reads;
  }
  g_chain_probe = nullptr;
  platform::posix::InstallSyscalls(previous);
  const int held = probe_state.held, free = probe_state.free;
  EXPECT_EQ(whole_reads, kReads);
  RecordProperty("held", held);
  RecordProperty("free", free);
  EXPECT_GT(held, 2 * free) << "held " << held << ", free " << free;
}

TEST(TwoHandlesTest, MemoFileIsCheckedUnderItsWholeFileLock) {
  testing::TempDir dir;
  testing::WriteAll(dir.File("a.mcn"), std::string(MemoTableImageBytes()));
  testing::WriteAll(dir.File("a.edt"), std::string(MemoFileImageBytes()));
  auto holder = testing::MustOpen(dir.File("a.mcn"));
  ASSERT_TRUE(holder);
  // Any byte of the memo file held by another handle keeps an open's checks out.
  ASSERT_EQ(holder->memo_file()->locks()->Lock(300, 0), kOk);
  std::unique_ptr<DatabaseHandle> second;
  {
    testing::VirtualClock clock;  // the open waits its two seconds first
    EXPECT_EQ(DatabaseHandle::Open(dir.File("a.mcn"), {}, &second), kLockFailed);
    EXPECT_GE(clock.slept_ms(), static_cast<uint64_t>(kBusyLockWait));
  }
  EXPECT_FALSE(second);
  ASSERT_EQ(holder->memo_file()->locks()->Unlock(300), kOk);
  EXPECT_EQ(DatabaseHandle::Open(dir.File("a.mcn"), {}, &second), kOk);
  // The open let go of the memo file's range again: the holder can take its header byte.
  EXPECT_EQ(holder->memo_file()->locks()->Lock(0, 0), kOk);
  EXPECT_EQ(holder->memo_file()->locks()->Unlock(0), kOk);
}

// Run once, by the lock call of the installed table, after the first lock attempt that failed.
std::function<void()> g_release_after_failed_lock;
int (*g_released_set_lock)(int, struct flock*) = nullptr;

int ReleasingSetLock(int fd, struct flock* lock) {
  const int rc = g_released_set_lock(fd, lock);
  if (rc != 0 && lock->l_type != F_UNLCK && g_release_after_failed_lock) {
    std::function<void()> release = std::move(g_release_after_failed_lock);
    g_release_after_failed_lock = nullptr;  // the release's own calls pass straight through
    release();
  }
  return rc;
}

TEST(TwoHandlesTest, RecordCountWaitsForTheCountByteEvenWithoutALockWait) {
  testing::TempDir dir;
  testing::WriteAll(dir.File("c.mcn"), std::string(AccountsImageBytes()));
  auto holder = testing::MustOpen(dir.File("c.mcn"));
  auto counter = testing::MustOpen(dir.File("c.mcn"));  // lock wait 0
  ASSERT_TRUE(holder && counter);
  ASSERT_EQ(holder->locks()->Lock(kRecordCountOffset, 0), kOk);
  // The holder lets go right after the counter's first attempt failed (seen through the
  // system-call table), so the count is read only if the counter tries again instead of failing.
  g_release_after_failed_lock = [&] {
    EXPECT_EQ(holder->locks()->Unlock(kRecordCountOffset), kOk);
  };
  platform::posix::SyscallTable table = platform::posix::Syscalls();
  g_released_set_lock = table.set_lock;
  table.set_lock = ReleasingSetLock;
  const platform::posix::SyscallTable previous = platform::posix::InstallSyscalls(table);
  int32_t count = -1;
  const int rc = counter->ReadRecordCount(&count);
  platform::posix::InstallSyscalls(previous);
  const bool released = !g_release_after_failed_lock;
  g_release_after_failed_lock = nullptr;
  ASSERT_TRUE(released) << "the counter never found the count byte held";
  EXPECT_EQ(rc, kOk) << "the count is read with a lock wait of at least 2000 ms";
  EXPECT_EQ(count, 1);
}

TEST(LockTableTest, ReferenceCountsAndWholeFileLockAroundHeldBytes) {
  testing::TempDir dir;
  testing::WriteAll(dir.File("c.mcn"), std::string(AccountsImageBytes()));
  auto first = testing::MustOpen(dir.File("c.mcn"));
  auto second = testing::MustOpen(dir.File("c.mcn"));
  LockTable* locks = first->locks();
  LockTable* other = second->locks();

  ASSERT_EQ(locks->Lock(16), kOk);
  ASSERT_EQ(locks->Lock(16), kOk);
  EXPECT_EQ(locks->ReferenceCount(16), 2);
  EXPECT_EQ(locks->Unlock(16), kOk);
  EXPECT_EQ(other->Lock(16, 0), kLockFailed) << "still held once";
  EXPECT_EQ(locks->Unlock(16), kOk);
  EXPECT_EQ(other->Lock(16, 0), kOk);
  EXPECT_EQ(other->Unlock(16), kOk);
  EXPECT_EQ(locks->Unlock(16), kUnlockFailed) << "not held";

  // The whole-file lock keeps bytes held before it, and nests.
  ASSERT_EQ(locks->Lock(300), kOk);
  ASSERT_EQ(locks->LockWhole(0), kOk);
  ASSERT_EQ(locks->LockWhole(0), kOk);
  EXPECT_EQ(locks->whole_depth(), 2);
  EXPECT_EQ(other->Lock(0, 0), kLockFailed);
  EXPECT_EQ(other->Lock(0x7FFFFFFE, 0), kLockFailed);
  EXPECT_EQ(other->Lock(0x7FFFFFFF, 0), kOk) << "beyond the whole-file range";
  EXPECT_EQ(other->Unlock(0x7FFFFFFF), kOk);
  // A byte taken and released inside the whole lock stays covered by it.
  ASSERT_EQ(locks->Lock(500), kOk);
  ASSERT_EQ(locks->Unlock(500), kOk);
  EXPECT_EQ(other->Lock(500, 0), kLockFailed);
  EXPECT_EQ(locks->UnlockWhole(), kOk);
  EXPECT_EQ(other->Lock(1000, 0), kLockFailed) << "depth 1 still holds";
  EXPECT_EQ(locks->UnlockWhole(), kOk);
  EXPECT_EQ(other->Lock(1000, 0), kOk);
  EXPECT_EQ(other->Unlock(1000), kOk);
  EXPECT_EQ(other->Lock(300, 0), kLockFailed) << "held before the whole lock, still held";
  EXPECT_EQ(locks->Unlock(300), kOk);
  EXPECT_EQ(other->Lock(300, 0), kOk);
  EXPECT_EQ(other->Unlock(300), kOk);
  // A whole lock conflicts with another handle's single byte and retries only as long as told.
  ASSERT_EQ(other->Lock(77, 0), kOk);
  const uint32_t start = platform::TickCount();
  EXPECT_EQ(locks->LockWhole(100), kLockFailed);
  EXPECT_GE(platform::TickCount() - start, 100u);
  EXPECT_EQ(other->Unlock(77), kOk);
  EXPECT_EQ(locks->LockWhole(0), kOk);
  EXPECT_EQ(locks->UnlockWhole(), kOk);

  // Several bytes taken out of order, a whole lock around them, released in another order.
  for (uint64_t offset : {900u, 16u, 512u, 16u, 40u}) ASSERT_EQ(locks->Lock(offset), kOk);
  EXPECT_EQ(locks->held_count(), 4u);
  EXPECT_EQ(locks->ReferenceCount(16), 2);
  EXPECT_EQ(locks->ReferenceCount(41), 0);
  ASSERT_EQ(locks->LockWhole(0), kOk);
  EXPECT_EQ(locks->Unlock(512), kOk);
  EXPECT_EQ(locks->UnlockWhole(), kOk);
  EXPECT_EQ(other->Lock(512, 0), kOk) << "released inside the whole lock, free after it";
  EXPECT_EQ(other->Unlock(512), kOk);
  for (uint64_t offset : {900u, 40u, 16u}) {
    EXPECT_EQ(other->Lock(offset, 0), kLockFailed) << offset;
  }
  for (uint64_t offset : {40u, 16u, 900u, 16u}) EXPECT_EQ(locks->Unlock(offset), kOk);
  EXPECT_EQ(locks->held_count(), 0u);
  for (uint64_t offset : {900u, 40u, 16u}) {
    EXPECT_EQ(other->Lock(offset, 0), kOk) << offset;
    EXPECT_EQ(other->Unlock(offset), kOk);
  }
}

// The system's byte-range locks on a file within the engine's range 0 .. 0x7FFFFFFF (the share
// modes are kept far beyond it), from /proc/locks; -1 when that cannot be read.
int EngineRangeLocks(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return -1;
  char id[64];
  std::snprintf(id, sizeof id, "%02x:%02x:%llu", major(st.st_dev), minor(st.st_dev),
                static_cast<unsigned long long>(st.st_ino));
  std::ifstream locks("/proc/locks");
  if (!locks) return -1;
  int count = 0;
  std::string line;
  while (std::getline(locks, line)) {
    std::istringstream fields(line);
    std::string number, kind, mode, access, pid, file, start;
    fields >> number >> kind >> mode >> access >> pid >> file >> start;
    if (file == id && !start.empty() && std::stoull(start) < 0x80000000ull) ++count;
  }
  return count;
}

TEST(LockTableTest, LockFreeHandlesTakeNoLocks) {
  testing::TempDir dir;
  testing::WriteAll(dir.File("a.mcn"), std::string(MemoTableImageBytes()));
  testing::WriteAll(dir.File("a.edt"), std::string(MemoFileImageBytes()));
  const std::string records = dir.File("a.mcn"), memos = dir.File("a.edt");
  if (EngineRangeLocks(records) < 0) GTEST_SKIP() << "no /proc/locks";
  for (int share : {1, 2, 4}) {
    SCOPED_TRACE(share);
    OpenOptions options;
    options.share = ShareFromArgument(share);  // 2 and 4 keep every other opener out
    auto handle = testing::MustOpen(records, options);
    ASSERT_TRUE(handle);
    const bool lock_free = share != 1;
    EXPECT_EQ(handle->lock_free(), lock_free);
    ASSERT_EQ(handle->locks()->Lock(16), kOk);
    ASSERT_EQ(handle->locks()->LockWhole(), kOk);
    ASSERT_EQ(handle->memo_file()->locks()->Lock(0), kOk);
    EXPECT_EQ(handle->locks()->held_count(), lock_free ? 0u : 1u);
    EXPECT_EQ(EngineRangeLocks(records) == 0, lock_free);
    EXPECT_EQ(EngineRangeLocks(memos) == 0, lock_free);
    ASSERT_EQ(handle->memo_file()->locks()->Unlock(0), kOk);
    ASSERT_EQ(handle->locks()->UnlockWhole(), kOk);
    ASSERT_EQ(handle->locks()->Unlock(16), kOk);
    const std::string text(900, 'f');
    TypedValue values[] = {testing::TextCell("k"), testing::DateTimeCell(1.0),
                           testing::TextCell(text)};
    EXPECT_EQ(handle->AddRecord(values, 3), kOk);
    EXPECT_EQ(handle->PackRange(0, 1), kOk);
    EXPECT_EQ(handle->ClearAll(), kOk);
  }
}

TEST(LockTableTest, MemoHeaderIsLockedOnlyWhileBlocksAreTakenOrFreed) {
  testing::TempDir dir;
  testing::WriteAll(dir.File("a.mcn"), std::string(MemoTableImageBytes()));
  testing::WriteAll(dir.File("a.edt"), std::string(MemoFileImageBytes()));
  auto holder = testing::MustOpen(dir.File("a.mcn"));
  auto writer = testing::MustOpen(dir.File("a.mcn"));  // lock wait 0
  ASSERT_TRUE(holder && writer);
  const std::string first(600, 'a'), same_size(700, 'b');
  TypedValue values[] = {testing::TextCell("k"), testing::DateTimeCell(1.0),
                         testing::TextCell(first)};
  ASSERT_EQ(writer->AddRecord(values, 3), kOk);  // two blocks
  ASSERT_EQ(holder->memo_file()->locks()->Lock(0, 0), kOk);
  // Rewriting in the chain's own two blocks leaves the header alone.
  TypedValue rewrite[] = {TypedValue{}, TypedValue{}, testing::TextCell(same_size)};
  EXPECT_EQ(writer->ModifyRecord(rewrite, 3), kOk);
  // A new block, or a block given back, needs the header (and waits for it, in vain here).
  TypedValue shrink[] = {TypedValue{}, TypedValue{}, testing::TextCell("c")};
  {
    testing::VirtualClock clock;
    EXPECT_EQ(writer->AddRecord(values, 3), kLockFailed);
    EXPECT_EQ(writer->ModifyRecord(shrink, 3), kLockFailed);
    EXPECT_GE(clock.slept_ms(), 2u * kBusyLockWait);
  }
  ASSERT_EQ(holder->memo_file()->locks()->Unlock(0), kOk);
  EXPECT_EQ(writer->ModifyRecord(shrink, 3), kOk);
  writer->set_current_record(0);
  EXPECT_EQ(testing::FieldText(writer.get(), "记事"), "c");
}

}  // namespace
}  // namespace memo::db
