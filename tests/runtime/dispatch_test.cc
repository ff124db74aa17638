#include "runtime/dispatch.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "runtime/literal.h"
#include "runtime/routine.h"
#include "runtime/text.h"

namespace memo {
namespace {

// What the last call of RecordingCommand saw.
int32_t seen_count = -1;
std::vector<TypedValue> seen_args;
TypedValue seen_result_on_entry;

void RecordingCommand(TypedValue* result, int32_t arg_count, TypedValue* args) {
  seen_result_on_entry = *result;
  seen_count = arg_count;
  seen_args.assign(args, args + arg_count);
}

void IntResultCommand(TypedValue* result, int32_t, TypedValue*) { result->low = 42; }

TEST(DispatchTest, ResultCellStartsZeroed) {
  ArgList args;
  TypedValue result = CallCommand(RecordingCommand, args);
  EXPECT_EQ(seen_result_on_entry.low, 0u);
  EXPECT_EQ(seen_result_on_entry.high, 0u);
  EXPECT_EQ(seen_result_on_entry.tag, 0u);
  EXPECT_EQ(seen_count, 0);
  EXPECT_FALSE(result.Present()) << "a command with no result leaves the cell zero";
  TypedValue fixed = CallCommand(IntResultCommand, 0, nullptr);
  EXPECT_EQ(fixed.low, 42u);
  EXPECT_EQ(fixed.tag, 0u);
}

TEST(DispatchTest, OmittedArgumentsArriveAsZeroCellsAndCount) {
  ArgList args;
  args.Add(TextValue("x")).Omit().Add(IntValue(7));
  CallCommand(RecordingCommand, args);
  ASSERT_EQ(seen_count, 3);
  EXPECT_EQ(seen_args[0].tag, TypeTag::kText);
  EXPECT_EQ(seen_args[1].low, 0u);
  EXPECT_EQ(seen_args[1].high, 0u);
  EXPECT_EQ(seen_args[1].tag, 0u);
  EXPECT_EQ(seen_args[2].low, 7u);
  EXPECT_EQ(seen_args[2].tag, TypeTag::kInt);
}

// Lists of every length reach the command whole and in order, whether their cells still sit in
// the list itself or have moved to the heap, and a copy is a list of its own.
TEST(DispatchTest, LongListsKeepEveryCellInOrder) {
  for (int32_t n : {0, 1, static_cast<int32_t>(ArgList::kInline), 9, 30}) {
    ArgList args;
    for (int32_t i = 0; i < n; ++i) args.Add(IntValue(100 + i));
    ArgList copy = args;
    copy.Add(IntValue(-1));
    CallCommand(RecordingCommand, args);
    ASSERT_EQ(seen_count, n);
    for (int32_t i = 0; i < n; ++i) EXPECT_EQ(static_cast<int32_t>(seen_args[i].low), 100 + i);
    CallCommand(RecordingCommand, copy);
    ASSERT_EQ(seen_count, n + 1);
    EXPECT_EQ(static_cast<int32_t>(seen_args[static_cast<size_t>(n)].low), -1);
    if (n > 0) {
      EXPECT_EQ(static_cast<int32_t>(seen_args[0].low), 100);
    }
    ArgList assigned{IntValue(7),  IntValue(8),  IntValue(9),  IntValue(10), IntValue(11),
                     IntValue(12), IntValue(13), IntValue(14), IntValue(15)};
    assigned = args;
    CallCommand(RecordingCommand, assigned);
    ASSERT_EQ(seen_count, n);
    for (int32_t i = 0; i < n; ++i) EXPECT_EQ(static_cast<int32_t>(seen_args[i].low), 100 + i);
  }
  ArgList listed{IntValue(1), IntValue(2), IntValue(3), IntValue(4), IntValue(5),
                 IntValue(6), IntValue(7), IntValue(8), IntValue(9), IntValue(10)};
  listed[9] = IntValue(99);
  CallCommand(RecordingCommand, listed);
  ASSERT_EQ(seen_count, 10);
  EXPECT_EQ(seen_args[0].low, 1u);
  EXPECT_EQ(seen_args[8].low, 9u);
  EXPECT_EQ(seen_args[9].low, 99u);
}

TEST(DispatchTest, CellBuilders) {
  EXPECT_EQ(LongValue(-2).Int64(), -2);
  EXPECT_EQ(LongValue(-2).high, 0xFFFFFFFFu);
  EXPECT_EQ(ShortValue(-1).low, 0xFFFFFFFFu);
  EXPECT_EQ(ByteValue(0xFF).low, 0xFFu);
  EXPECT_EQ(DoubleValue(0.5).Double(), 0.5);
  EXPECT_EQ(DateTimeValue(2.25).tag, TypeTag::kDateTime);
  EXPECT_EQ(FloatValue(1.5f).Float(), 1.5f);
  EXPECT_EQ(FloatValue(1.5f).high, 0u);
  EXPECT_EQ(BoolValue(true).low, 1u);
  static const char text[] = "t";
  EXPECT_EQ(TextValue(text).Pointer(), text);
  EXPECT_EQ(ArrayValue(TypeTag::kText, nullptr).tag, TypeTag::kText | kArrayFlag);
  EXPECT_EQ(ArrayValue(TypeTag::kText | kArrayFlag, nullptr).tag, TypeTag::kText | kArrayFlag);
}

// Fixed-type commands as the library writes them: data words only, no tag.
void* last_block = nullptr;
void TextResultCommand(TypedValue* result, int32_t, TypedValue*) {
  last_block = CopyText("made");
  result->SetPointer(last_block);
}
void BytesResultCommand(TypedValue* result, int32_t, TypedValue*) {
  const unsigned char bytes[] = {1, 0, 2};
  last_block = MakeByteSet(bytes, 3);
  result->SetPointer(last_block);
}
void DateTimeResultCommand(TypedValue* result, int32_t arg_count, TypedValue*) {
  result->SetDouble(45000.75 + arg_count);
}
void NumberResultCommand(TypedValue* result, int32_t arg_count, TypedValue* args) {
  result->low = arg_count > 0 ? args[0].low : 0xFFFFFFF8u;
}

// Each typed call hands the block it got to exactly one owner: the owner holds the very block
// the command made (the sanitizers report a second release or a block nobody released), and a
// block taken from the owner is no longer the owner's to release.
TEST(DispatchTest, TypedCallsOwnTheirBlocks) {
  {
    ArgList none;
    TextOwner text = CallText(TextResultCommand, none);
    EXPECT_EQ(static_cast<void*>(text.get()), last_block);
    EXPECT_STREQ(text.get(), "made");
    TextOwner moved = std::move(text);
    EXPECT_EQ(text.get(), nullptr);
    EXPECT_EQ(static_cast<void*>(moved.get()), last_block);
  }
  TextOwner bare = CallText(TextResultCommand);
  char* taken = bare.Take();
  EXPECT_EQ(static_cast<void*>(taken), last_block);
  EXPECT_EQ(bare.get(), nullptr);
  Release(taken);

  ArgList none;
  BlockOwner<void> bytes = CallBytes(BytesResultCommand, none);
  ASSERT_EQ(bytes.get(), last_block);
  ASSERT_EQ(ByteSetSize(bytes.get()), 3);
  EXPECT_EQ(ByteSetData(bytes.get())[2], 2);
}

// Numbers and truths come back by value; a date-time comes back tagged, ready to pass on.
TEST(DispatchTest, TypedCallsGiveValuesAndTags) {
  TypedValue when = CallDateTime(DateTimeResultCommand);
  EXPECT_EQ(when.tag, TypeTag::kDateTime);
  EXPECT_EQ(when.Double(), 45000.75);
  ArgList two{IntValue(1), IntValue(2)};
  EXPECT_EQ(CallDateTime(DateTimeResultCommand, two).Double(), 45002.75);

  EXPECT_EQ(CallInt(NumberResultCommand), -8) << "the data word is signed";
  ArgList seven{IntValue(7)};
  EXPECT_EQ(CallInt(NumberResultCommand, seven), 7);
  ArgList yes{IntValue(2)}, no{IntValue(0)};
  EXPECT_TRUE(CallBool(NumberResultCommand, yes)) << "any non-zero word is true";
  EXPECT_FALSE(CallBool(NumberResultCommand, no));
}

TypedValue Statement(uint32_t context) { return IntValue(static_cast<int32_t>(context)); }
void Plain() {}

TEST(RoutineTest, RoutinesAreNamedByStableOneBasedIndexes) {
  uint32_t index = RegisterSubStatement(Statement);
  EXPECT_GE(index, 1u);
  EXPECT_EQ(RegisterSubStatement(Statement), index);
  EXPECT_EQ(FindSubStatement(index), &Statement);
  EXPECT_EQ(FindSubStatement(0), nullptr);
  EXPECT_EQ(FindSubStatement(100000), nullptr);
  TypedValue cell = SubStatementValue(Statement, 9);
  EXPECT_EQ(cell.low, index);
  EXPECT_EQ(cell.high, 9u);
  EXPECT_EQ(cell.tag, TypeTag::kSubStatement);
  TypedValue sub = SubroutineValue(Plain);
  EXPECT_EQ(sub.tag, TypeTag::kSubroutinePtr);
  EXPECT_EQ(FindSubroutine(sub.low), &Plain);
  EXPECT_EQ(RegisterSubroutine(nullptr), 0u);
}

TEST(LiteralTest, InterningIsThreadSafe) {
  std::atomic<const char*> first{nullptr};
  std::atomic<int> mismatches{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 200; ++i) {
        const char* p = Gbk("线程安全的字面量");
        const char* expected = nullptr;
        if (!first.compare_exchange_strong(expected, p) && expected != p) ++mismatches;
        Gbk(std::to_string(i).c_str());
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(mismatches.load(), 0);
  EXPECT_EQ(Gbk("线程安全的字面量"), first.load());
  EXPECT_EQ(std::string(Gbk("17")), "17");
}

}  // namespace
}  // namespace memo
