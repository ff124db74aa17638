// The database commands as the application calls them: argument forms, results, the last-error
// cell, and the two run-time errors of reading a field.
#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "db/db_commands.h"
#include "db/engine_code.h"
#include "db/images.h"
#include "db/registry.h"
#include "runtime/array.h"
#include "runtime/dispatch.h"
#include "runtime/heap.h"
#include "runtime/literal.h"
#include "runtime/routine.h"
#include "runtime/text.h"
#include "tests/support/test_util.h"

namespace memo::db {
namespace {

using testing::G;

class CommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::WriteAll(dir_.File("a.mcn"), std::string(MemoTableImageBytes()));
    testing::WriteAll(dir_.File("a.edt"), std::string(MemoFileImageBytes()));
    testing::WriteAll(dir_.File("c.mcn"), std::string(AccountsImageBytes()));
    a_ = dir_.File("a.mcn");
    c_ = dir_.File("c.mcn");
  }
  void TearDown() override { DatabaseRegistry::Instance().CloseAll(); }

  bool Open(const std::string& path) {
    ArgList args{TextValue(path.c_str())};
    return CallCommand(OpenDatabase, args).low != 0;
  }

  std::string ReadText(TypedValue field) {
    ArgList args{field};
    TypedValue value = CallCommand(ReadFieldValue, args);
    EXPECT_EQ(value.tag, TypeTag::kText);
    const char* text = static_cast<const char*>(value.Pointer());
    std::string bytes = text ? text : "";
    ReleaseValue(&value);
    return bytes;
  }

  int32_t Count() {
    ArgList none;
    return static_cast<int32_t>(CallCommand(GetRecordCount, none).low);
  }

  testing::TempDir dir_;
  std::string a_, c_;
};

TEST_F(CommandsTest, OpenWithOmittedArgumentsAndReadTheAccount) {
  ArgList args{TextValue(c_.c_str()), Omitted(), Omitted(), Omitted(), Omitted(), Omitted()};
  TypedValue result = CallCommand(OpenDatabase, args);
  EXPECT_EQ(result.low, 1u);
  EXPECT_EQ(result.tag, 0u) << "a fixed-type result carries only its data";
  EXPECT_EQ(LastError(), kOk);
  EXPECT_EQ(ReadText(TextValue(Gbk("帐号"))), "test");
  EXPECT_EQ(ReadText(IntValue(2)), "kqzv");
  EXPECT_EQ(ReadText(DoubleValue(1.9)), "test") << "numbers convert to the field number";
  EXPECT_EQ(Count(), 1);
  ArgList close;
  CallCommand(CloseDatabase, close);
  EXPECT_EQ(DatabaseRegistry::Instance().size(), 0);
}

TEST_F(CommandsTest, OpenFailureSetsTheLastErrorAndReturnsFalse) {
  ASSERT_TRUE(Open(a_));
  EXPECT_FALSE(Open(a_));
  EXPECT_EQ(LastError(), kAlreadyOpen);
  EXPECT_FALSE(Open(dir_.File("missing.mcn")));
  EXPECT_EQ(LastError(), kFileNotFound);
  ArgList bad_alias{TextValue(c_.c_str()), TextValue("9x")};
  EXPECT_EQ(CallCommand(OpenDatabase, bad_alias).low, 0u);
  EXPECT_EQ(LastError(), kInvalidAlias);
  EXPECT_EQ(DatabaseRegistry::Instance().size(), 1);
  // The next successful command clears the cell.
  EXPECT_EQ(Count(), 0);
  EXPECT_EQ(LastError(), kOk);
}

TEST_F(CommandsTest, AccessShareAndIndexArguments) {
  ArgList args{TextValue(a_.c_str()), TextValue("memo"), IntValue(1),
               IntValue(4),           Omitted(),         Omitted(),
               TextValue("")};
  ASSERT_EQ(CallCommand(OpenDatabase, args).low, 1u);
  DatabaseHandle* handle = DatabaseRegistry::Instance().Current();
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(handle->alias(), "memo");
  EXPECT_TRUE(handle->lock_free());
  ArgList close{TextValue("MEMO")};
  CallCommand(CloseDatabase, close);
  EXPECT_EQ(DatabaseRegistry::Instance().size(), 0);

  std::vector<char*> names = {CopyText("x1"), CopyText("x2")};
  void* array = MakeTextArray(names);
  ArgList with_index{TextValue(a_.c_str()),
                     Omitted(),
                     Omitted(),
                     Omitted(),
                     Omitted(),
                     Omitted(),
                     ArrayValue(TypeTag::kText, array)};
  EXPECT_EQ(CallCommand(OpenDatabase, with_index).low, 0u);
  EXPECT_EQ(LastError(), kIndexOpenFailed);
  ReleaseArray(TypeTag::kText, array);
}

TEST_F(CommandsTest, ShareModeZeroDeniesBothWithoutTheLockFreeFlag) {
  // Omitted: others may read and write.
  ArgList shared{TextValue(a_.c_str()), Omitted(), Omitted(), Omitted()};
  ASSERT_EQ(CallCommand(OpenDatabase, shared).low, 1u);
  EXPECT_FALSE(DatabaseRegistry::Instance().Current()->lock_free());
  std::unique_ptr<DatabaseHandle> other;
  EXPECT_EQ(DatabaseHandle::Open(a_, {}, &other), kOk);
  other.reset();
  ArgList none;
  CallCommand(CloseDatabase, none);

  // A given 0 denies both, like 4, but only 2 and 4 make the handle lock-free.
  for (int32_t share : {0, 5, -1}) {
    ArgList denied{TextValue(a_.c_str()), Omitted(), IntValue(0), IntValue(share)};
    ASSERT_EQ(CallCommand(OpenDatabase, denied).low, 1u) << share;
    EXPECT_FALSE(DatabaseRegistry::Instance().Current()->lock_free()) << share;
    OpenOptions read_only;
    read_only.access = AccessFromArgument(1);
    EXPECT_EQ(DatabaseHandle::Open(a_, read_only, &other), kSharingViolation) << share;
    CallCommand(CloseDatabase, none);
  }
  ArgList deny_read{TextValue(a_.c_str()), Omitted(), Omitted(), IntValue(2)};
  ASSERT_EQ(CallCommand(OpenDatabase, deny_read).low, 1u);
  EXPECT_TRUE(DatabaseRegistry::Instance().Current()->lock_free());
  EXPECT_EQ(DatabaseHandle::Open(a_, {}, &other), kSharingViolation);
}

TEST_F(CommandsTest, LastErrorCellIsPerThread) {
  ASSERT_TRUE(Open(a_));
  EXPECT_FALSE(Open(a_));
  ASSERT_EQ(LastError(), kAlreadyOpen);
  int seen_there = 1, after_failure_there = 0;
  std::thread other([&] {
    seen_there = LastError();
    SetLastError(kFileNotFound);
    after_failure_there = LastError();
  });
  other.join();
  EXPECT_EQ(seen_there, kOk);
  EXPECT_EQ(after_failure_there, kFileNotFound);
  EXPECT_EQ(LastError(), kAlreadyOpen) << "another thread's code stays in its own cell";
}

TEST_F(CommandsTest, NoCurrentDatabase) {
  ArgList none;
  EXPECT_EQ(CallCommand(GetRecordCount, none).low, 0u);
  EXPECT_EQ(LastError(), kNoCurrentDatabase);
  CallCommand(MoveToFirstRecord, none);
  EXPECT_EQ(LastError(), kNoCurrentDatabase);
  EXPECT_EQ(CallCommand(SkipRecords, none).low, 0u);
  EXPECT_EQ(CallCommand(AddRecordValues, none).low, 0u);
  EXPECT_EQ(CallCommand(ModifyRecordValues, none).low, 0u);
  EXPECT_EQ(CallCommand(ClearAllRecords, none).low, 0u);
  EXPECT_EQ(LastError(), kNoCurrentDatabase);
  ArgList sort{TextValue("t"), TextValue("x")};
  EXPECT_EQ(CallCommand(SortIntoFile, sort).low, 0u);
  EXPECT_EQ(LastError(), kNoCurrentDatabase);
  CallCommand(CloseDatabase, none);  // nothing current: nothing happens
  EXPECT_EQ(LastError(), kOk);
}

TEST_F(CommandsTest, AddSkipAndModifyLikeTheApplication) {
  ASSERT_TRUE(Open(a_));
  const std::string long_category = G("一二三四五六");
  ArgList add{TextValue(long_category.c_str()), DateTimeValue(41830.5), TextValue("memo text")};
  ASSERT_EQ(CallCommand(AddRecordValues, add).low, 1u);
  ArgList add2{TextValue("b"), DateTimeValue(41831.0), TextValue("second")};
  ASSERT_EQ(CallCommand(AddRecordValues, add2).low, 1u);
  EXPECT_EQ(Count(), 2);

  ArgList none;
  CallCommand(MoveToFirstRecord, none);
  EXPECT_EQ(ReadText(TextValue(Gbk("分类"))), G("一二三四五"));
  ArgList field{TextValue(Gbk("时间"))};
  TypedValue when = CallCommand(ReadFieldValue, field);
  EXPECT_EQ(when.tag, TypeTag::kDateTime);
  EXPECT_EQ(when.Double(), 41830.5);
  EXPECT_EQ(CallCommand(SkipRecords, none).low, 1u);
  EXPECT_EQ(ReadText(IntValue(3)), "second");
  EXPECT_EQ(CallCommand(SkipRecords, none).low, 1u);
  EXPECT_EQ(CallCommand(SkipRecords, none).low, 0u);
  EXPECT_EQ(LastError(), kAfterLastRecord);
  ArgList back{IntValue(-5)};
  EXPECT_EQ(CallCommand(SkipRecords, back).low, 1u);
  EXPECT_EQ(DatabaseRegistry::Instance().Current()->current_record(), -1);

  // A number for the text field fails with -72 and writes nothing.
  ArgList wrong{IntValue(5)};
  EXPECT_EQ(CallCommand(AddRecordValues, wrong).low, 0u);
  EXPECT_EQ(LastError(), kValueTypeMismatch);
  EXPECT_EQ(Count(), 2);

  CallCommand(MoveToFirstRecord, none);
  ArgList modify{Omitted(), Omitted(), Omitted(), TextValue("follow-up")};
  ASSERT_EQ(CallCommand(ModifyRecordValues, modify).low, 1u);
  EXPECT_EQ(ReadText(IntValue(4)), "follow-up");
  EXPECT_EQ(ReadText(IntValue(3)), "memo text");

  ASSERT_EQ(CallCommand(ClearAllRecords, none).low, 1u);
  EXPECT_EQ(Count(), 0);
  // Reading on the empty database yields the empty value and an error, no run-time error.
  EXPECT_EQ(ReadText(IntValue(1)), "");
  EXPECT_EQ(LastError(), kSeekFailed);
}

// The application's CategoryMatches: reads 分类 of the record being judged.
TypedValue CategoryIsB(uint32_t) {
  ArgList field{TextValue(Gbk("分类"))};
  TypedValue value = CallCommand(ReadFieldValue, field);
  const bool match = CompareTexts(static_cast<const char*>(value.Pointer()), "b") == 0;
  ReleaseValue(&value);
  return BoolValue(match);
}

TEST_F(CommandsTest, SortWithASubStatementCondition) {
  ASSERT_TRUE(Open(a_));
  const char* categories[] = {"b", "a", "b", "c", "b"};
  for (int i = 0; i < 5; ++i) {
    const std::string text = "memo " + std::to_string(i);
    ArgList add{TextValue(categories[i]), DateTimeValue(41830.0 + i), TextValue(text.c_str())};
    ASSERT_EQ(CallCommand(AddRecordValues, add).low, 1u);
  }
  const std::string target = dir_.File("b.mcn");
  ArgList none;
  CallCommand(MoveToFirstRecord, none);
  ArgList sort{TextValue(target.c_str()), TextValue(Gbk("分类")), BoolValue(true),
               SubStatementValue(&CategoryIsB, 0)};
  ASSERT_EQ(CallCommand(SortIntoFile, sort).low, 1u) << LastError();
  EXPECT_EQ(DatabaseRegistry::Instance().Current()->current_record(), 0);
  ArgList close;
  CallCommand(CloseDatabase, close);

  ASSERT_TRUE(Open(target));
  EXPECT_EQ(Count(), 3);
  CallCommand(MoveToFirstRecord, none);
  for (int expected : {0, 2, 4}) {
    EXPECT_EQ(ReadText(IntValue(1)), "b");
    EXPECT_EQ(ReadText(IntValue(3)), "memo " + std::to_string(expected));
    CallCommand(SkipRecords, none);
  }
  EXPECT_TRUE(testing::Exists(dir_.File("b.EDT")));
}

TEST_F(CommandsTest, SortWithALogicalCondition) {
  ASSERT_TRUE(Open(a_));
  for (const char* category : {"b", "a"}) {
    ArgList add{TextValue(category), DateTimeValue(41830.0), TextValue("m")};
    ASSERT_EQ(CallCommand(AddRecordValues, add).low, 1u);
  }
  const std::string none_kept = dir_.File("none.mcn");
  ArgList keep_none{TextValue(none_kept.c_str()), TextValue(Gbk("分类")), Omitted(),
                    BoolValue(false)};
  ASSERT_EQ(CallCommand(SortIntoFile, keep_none).low, 1u) << LastError();
  const std::string all_kept = dir_.File("all.mcn");
  ArgList keep_all{TextValue(all_kept.c_str()), TextValue(Gbk("分类")), Omitted(), BoolValue(true)};
  ASSERT_EQ(CallCommand(SortIntoFile, keep_all).low, 1u) << LastError();
  ArgList close;
  CallCommand(CloseDatabase, close);

  ASSERT_TRUE(Open(none_kept));
  EXPECT_EQ(Count(), 0);
  CallCommand(CloseDatabase, close);
  ASSERT_TRUE(Open(all_kept));
  EXPECT_EQ(Count(), 2);
  ArgList none;
  CallCommand(MoveToFirstRecord, none);
  EXPECT_EQ(ReadText(IntValue(1)), "a");
}

TEST_F(CommandsTest, SortKeysAsTextArrayWithFlagArrayAndCopiedFields) {
  ASSERT_TRUE(Open(c_));
  for (const char* account : {"m", "z"}) {
    ArgList add{TextValue(account), TextValue("p")};
    ASSERT_EQ(CallCommand(AddRecordValues, add).low, 1u);
  }
  void* keys = MakeTextArray({CopyText(Gbk("帐号"))});
  // A one-element Bool array {false}: descending.
  void* flags = Allocate(12);
  const int32_t header[2] = {1, 1};
  std::memcpy(flags, header, 8);
  std::memset(static_cast<char*>(flags) + 8, 0, 4);
  const std::string target = dir_.File("sorted.mcn");
  ArgList sort{TextValue(target.c_str()), ArrayValue(TypeTag::kText, keys),
               ArrayValue(TypeTag::kBool, flags), Omitted(), TextValue(Gbk("帐号"))};
  ASSERT_EQ(CallCommand(SortIntoFile, sort).low, 1u) << LastError();
  ReleaseArray(TypeTag::kText, keys);
  Release(flags);
  auto sorted = testing::MustOpen(target);
  ASSERT_EQ(sorted->field_count(), 1);
  EXPECT_EQ(sorted->record_size(), 24);
  EXPECT_EQ(testing::FieldText(sorted.get(), "帐号"), "z");

  ArgList bad{TextValue(target.c_str()), IntValue(1)};
  EXPECT_EQ(CallCommand(SortIntoFile, bad).low, 0u);
  EXPECT_EQ(LastError(), kBadKeyField);
}

using CommandsDeathTest = CommandsTest;

TEST_F(CommandsDeathTest, ReadFieldWithoutADatabaseIsARuntimeError) {
  ArgList field{TextValue("x")};
  EXPECT_EXIT(CallCommand(ReadFieldValue, field), ::testing::ExitedWithCode(255),
              "未指定当前数据库或者指定数据库未打开");
}

TEST_F(CommandsDeathTest, ReadFieldOfAMissingFieldIsARuntimeError) {
  ASSERT_TRUE(Open(c_));
  ArgList by_name{TextValue("nothing")};
  EXPECT_EXIT(CallCommand(ReadFieldValue, by_name), ::testing::ExitedWithCode(255),
              "指定字段不存在");
  ArgList by_number{IntValue(3)};
  EXPECT_EXIT(CallCommand(ReadFieldValue, by_number), ::testing::ExitedWithCode(255),
              "指定字段不存在");
  ArgList zero{IntValue(0)};
  EXPECT_EXIT(CallCommand(ReadFieldValue, zero), ::testing::ExitedWithCode(255), "指定字段不存在");
}

}  // namespace
}  // namespace memo::db
