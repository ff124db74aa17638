// The carried images: parsed back field by field, written and opened like the program does.
#include <gtest/gtest.h>

#include <cstring>

#include "db/coding.h"
#include "db/engine_code.h"
#include "db/images.h"
#include "db/memo_format.h"
#include "db/record_format.h"
#include "runtime/convert.h"
#include "runtime/heap.h"
#include "runtime/text.h"
#include "tests/support/test_util.h"

namespace memo::db {
namespace {

using testing::F64At;
using testing::G;
using testing::I32At;

std::string BlockBytes(const void* block) {
  return std::string(reinterpret_cast<const char*>(ByteSetData(block)),
                     static_cast<size_t>(ByteSetSize(block)));
}

void ExpectTime(double day_number, int y, int mo, int d, int h, int mi, int s) {
  CalendarTime t = SplitDateTime(day_number);
  EXPECT_EQ(t.year, y);
  EXPECT_EQ(t.month, mo);
  EXPECT_EQ(t.day, d);
  EXPECT_EQ(t.hour, h);
  EXPECT_EQ(t.minute, mi);
  EXPECT_EQ(t.second, s);
}

struct ExpectedField {
  const char* name_utf8;
  uint32_t type;
  uint32_t offset;
  uint32_t length;
};

void ExpectFields(const std::string& bytes, const std::vector<ExpectedField>& expected) {
  ASSERT_EQ(DecodeFixed32(bytes.data() + kFieldCountOffset), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(expected[i].name_utf8);
    const char* p = bytes.data() + kFieldTableOffset + kDescriptorSize * i;
    FieldDescriptor field;
    DecodeFieldDescriptor(p, &field);
    EXPECT_EQ(field.Name(), G(expected[i].name_utf8));
    EXPECT_EQ(field.type, expected[i].type);
    EXPECT_EQ(field.offset, expected[i].offset);
    EXPECT_EQ(field.declared_length, expected[i].length);
    // Name padding and the reserved bytes are zero.
    for (size_t k = field.Name().size(); k < kFieldNameSize; ++k) EXPECT_EQ(p[k], 0) << k;
    for (size_t k = 32; k < kDescriptorSize; ++k) EXPECT_EQ(p[k], 0) << k;
  }
}

TEST(ImagesTest, BlocksAreConstantByteSetsOfTheRightSize) {
  const void* images[] = {AccountsImage(), MemoTableImage(), MemoFileImage()};
  const int32_t sizes[] = {324, 404, 512};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(DecodeInt32(static_cast<const char*>(images[i])), 1);
    EXPECT_EQ(ByteSetSize(images[i]), sizes[i]);
    EXPECT_TRUE(IsConstant(images[i]));
    EXPECT_TRUE(IsConstant(static_cast<const char*>(images[i]) + 8 + sizes[i] - 1));
  }
  EXPECT_EQ(BlockBytes(AccountsImage()), AccountsImageBytes());
  EXPECT_EQ(BlockBytes(MemoTableImage()), MemoTableImageBytes());
  EXPECT_EQ(BlockBytes(MemoFileImage()), MemoFileImageBytes());
}

TEST(ImagesTest, ReleaseDoesNothingAndReallocateCopies) {
  const std::string before(MemoTableImageBytes());
  Release(const_cast<void*>(MemoTableImage()));
  void* copy = Reallocate(const_cast<void*>(MemoTableImage()), 8 + 404);
  ASSERT_NE(copy, nullptr);
  EXPECT_NE(copy, MemoTableImage());
  EXPECT_EQ(BlockBytes(copy), before);
  MutableByteSetData(copy)[0] = 'X';
  Release(copy);
  EXPECT_EQ(std::string(MemoTableImageBytes()), before);
}

TEST(ImagesTest, AccountsImageFieldByField) {
  const std::string bytes(AccountsImageBytes());
  ASSERT_EQ(bytes.size(), 324u);
  EXPECT_EQ(bytes.substr(0, 4), "WEDB");
  EXPECT_EQ(DecodeFixed32(bytes.data() + 4), 0x00010000u);
  ExpectTime(F64At(bytes, 8), 2014, 7, 7, 21, 51, 13);
  EXPECT_EQ(I32At(bytes, 0x10), 1);   // record count
  EXPECT_EQ(I32At(bytes, 0x14), 2);   // next serial
  EXPECT_EQ(I32At(bytes, 0x18), 64);  // record size
  for (size_t k = 0x1C; k < 0x70; ++k) EXPECT_EQ(bytes[k], 0) << "digest byte " << k;
  ExpectFields(bytes, {{"帐号", kFieldText, 4, 20}, {"密码", kFieldText, 24, 40}});
  const size_t record = RecordsStart(2);
  EXPECT_EQ(record, 260u);
  EXPECT_EQ(I32At(bytes, record), 1);
  EXPECT_EQ(bytes.substr(record + 4, 20), std::string("test") + std::string(16, '\0'));
  EXPECT_EQ(bytes.substr(record + 24, 40), std::string("kqzv") + std::string(36, '\0'));
}

TEST(ImagesTest, MemoTableImageFieldByField) {
  const std::string bytes(MemoTableImageBytes());
  ASSERT_EQ(bytes.size(), 404u);
  EXPECT_EQ(bytes.substr(0, 4), "WEDB");
  EXPECT_EQ(DecodeFixed32(bytes.data() + 4), 0x00010000u);
  ExpectTime(F64At(bytes, 8), 2014, 7, 6, 19, 28, 4);
  EXPECT_EQ(I32At(bytes, 0x10), 0);
  EXPECT_EQ(I32At(bytes, 0x14), 57);
  EXPECT_EQ(I32At(bytes, 0x18), 30);
  for (size_t k = 0x1C; k < 0x70; ++k) EXPECT_EQ(bytes[k], 0) << "digest byte " << k;
  ExpectFields(bytes, {{"分类", kFieldText, 4, 10},
                       {"时间", kFieldDateTime, 14, 0},
                       {"记事", kFieldMemo, 22, 0},
                       {"跟进", kFieldMemo, 26, 0}});
}

TEST(ImagesTest, MemoFileImageFieldByField) {
  const std::string bytes(MemoFileImageBytes());
  ASSERT_EQ(bytes.size(), 512u);
  MemoHeader header;
  DecodeMemoHeader(bytes.data(), &header);
  EXPECT_TRUE(header.IsValid());
  EXPECT_EQ(bytes.substr(0, 4), "WEDT");
  EXPECT_EQ(header.version, 0x00010000u);
  EXPECT_EQ(header.creation_time, F64At(std::string(MemoTableImageBytes()), 8));
  EXPECT_EQ(header.block_count, 1);
  EXPECT_EQ(header.free_count, 0);
  EXPECT_EQ(header.free_head, 0);
  for (size_t k = 0x1C; k < 512; ++k) EXPECT_EQ(bytes[k], 0) << k;
}

TEST(ImagesTest, WrittenImagesOpenAndReadBack) {
  testing::TempDir dir;
  testing::WriteAll(dir.File("c.mcn"), std::string(AccountsImageBytes()));
  testing::WriteAll(dir.File("a.mcn"), std::string(MemoTableImageBytes()));
  testing::WriteAll(dir.File("a.edt"), std::string(MemoFileImageBytes()));

  auto accounts = testing::MustOpen(dir.File("c.mcn"));
  ASSERT_TRUE(accounts);
  int32_t count = -1, serial = -1;
  ASSERT_EQ(accounts->ReadRecordCount(&count, &serial), kOk);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(serial, 2);
  EXPECT_EQ(testing::FieldText(accounts.get(), "帐号"), "test");
  EXPECT_EQ(testing::FieldText(accounts.get(), "密码"), "kqzv");
  accounts.reset();
  EXPECT_EQ(testing::ReadAll(dir.File("c.mcn")), AccountsImageBytes()) << "opening changed it";

  // a.mcn finds its memo file a.edt through the case-insensitive lookup of "a.EDT".
  auto memos = testing::MustOpen(dir.File("a.mcn"));
  ASSERT_TRUE(memos);
  ASSERT_NE(memos->memo_file(), nullptr);
  ASSERT_EQ(memos->ReadRecordCount(&count, &serial), kOk);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(serial, 57);
  memos.reset();
  EXPECT_EQ(testing::ReadAll(dir.File("a.mcn")), MemoTableImageBytes());
  EXPECT_EQ(testing::ReadAll(dir.File("a.edt")), MemoFileImageBytes());
}

TEST(ImagesTest, AddOnTheMemoImageGivesSerial57AndLeaves58) {
  testing::TempDir dir;
  testing::WriteAll(dir.File("a.mcn"), std::string(MemoTableImageBytes()));
  testing::WriteAll(dir.File("a.edt"), std::string(MemoFileImageBytes()));
  auto memos = testing::MustOpen(dir.File("a.mcn"));
  ASSERT_TRUE(memos);
  const std::string category = G("资金借出");
  const std::string text = G("借给张三一百元");
  TypedValue values[] = {testing::TextCell(category), testing::DateTimeCell(41830.5),
                         testing::TextCell(text)};
  ASSERT_EQ(memos->AddRecord(values, 3), kOk);
  EXPECT_EQ(memos->current_record(), 0);
  int32_t count = 0, serial = 0;
  ASSERT_EQ(memos->ReadRecordCount(&count, &serial), kOk);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(serial, 58);
  memos.reset();

  const std::string file = testing::ReadAll(dir.File("a.mcn"));
  ASSERT_EQ(file.size(), 404u + 30u);
  EXPECT_EQ(I32At(file, 404), 57);
  EXPECT_EQ(file.substr(408, 10), category + std::string(10 - category.size(), '\0'));
  EXPECT_EQ(F64At(file, 418), 41830.5);
  EXPECT_EQ(I32At(file, 426), 1);  // 记事 in block 1
  EXPECT_EQ(I32At(file, 430), 0);  // 跟进 empty
  EXPECT_EQ(testing::SizeOf(dir.File("a.edt")), 1024u);
}

}  // namespace
}  // namespace memo::db
