// ShowMessageBox, CurrentDateTime, GetMouseX and the argument convention of command calls.
#include <gtest/gtest.h>

#include <string>

#include "platform/message_box.h"
#include "runtime/convert.h"
#include "runtime/dispatch.h"
#include "runtime/heap.h"
#include "runtime/system_commands.h"
#include "runtime/text.h"
#include "tests/support/test_support.h"

namespace memo {
namespace {

using namespace platform;  // NOLINT: box ids and styles
using testing::G;

class SystemCommandsTest : public testing::HeadlessTest {
 protected:
  // Calls ShowMessageBox and returns its result.
  int32_t Show(ArgList args) {
    TypedValue result = CallCommand(memo::ShowMessageBox, args);
    EXPECT_EQ(result.tag, 0u);  // a fixed-type result carries no tag
    return static_cast<int32_t>(result.low);
  }
  const ShownBox& LastBox() { return backend_.boxes().back(); }
};

TEST_F(SystemCommandsTest, MessageOfEachTypeAndDefaultTitle) {
  Show({IntValue(3)});
  EXPECT_EQ(LastBox().text_gbk, "3");
  EXPECT_EQ(LastBox().title_gbk, G("信息："));
  EXPECT_EQ(LastBox().style, kMbTaskModal);

  Show({BoolValue(true)});
  EXPECT_EQ(LastBox().text_gbk, G("真"));

  unsigned char bytes[] = {0x41, 0x42};
  void* byte_set = MakeByteSet(bytes, 2);
  Show({ByteSetValue(byte_set)});
  EXPECT_EQ(LastBox().text_gbk, "");
  Release(byte_set);

  std::string text = G("你好");
  Show({TextValue(text.c_str()), IntValue(0), TextValue(G("温馨提示").c_str())});
  EXPECT_EQ(LastBox().text_gbk, text);
  EXPECT_EQ(LastBox().title_gbk, G("温馨提示"));

  Show({DoubleValue(1.0 / 3)});
  EXPECT_EQ(LastBox().text_gbk, "0.3333333333333");

  Show({TextValue(nullptr)});
  EXPECT_EQ(LastBox().text_gbk, "");
}

TEST_F(SystemCommandsTest, OkCancelResultsAndTheCloseControl) {
  backend_.QueueBoxAnswer(kIdOk);
  EXPECT_EQ(Show({IntValue(3), IntValue(1)}), 0);
  backend_.QueueBoxAnswer(kIdCancel);
  EXPECT_EQ(Show({IntValue(3), IntValue(1)}), 1);
  backend_.QueueBoxAnswer(std::nullopt);  // the window's close control
  EXPECT_EQ(Show({IntValue(3), IntValue(1)}), 1);
  EXPECT_EQ(LastBox().style, 1u | kMbTaskModal);
  EXPECT_FALSE(LastBox().answer_refused);
}

TEST_F(SystemCommandsTest, EveryButtonMapsToItsResult) {
  struct Case {
    int32_t buttons;
    int answer;
    int32_t result;
  } cases[] = {
      {0, kIdOk, 0},  {2, kIdAbort, 2}, {2, kIdRetry, 3},  {2, kIdIgnore, 4},
      {3, kIdYes, 5}, {3, kIdNo, 6},    {3, kIdCancel, 1}, {4, kIdYes, 5},
      {4, kIdNo, 6},  {5, kIdRetry, 3}, {5, kIdCancel, 1},
  };
  for (const Case& c : cases) {
    backend_.QueueBoxAnswer(c.answer);
    EXPECT_EQ(Show({IntValue(1), IntValue(c.buttons)}), c.result) << c.buttons << " " << c.answer;
    EXPECT_FALSE(LastBox().answer_refused);
  }
}

TEST_F(SystemCommandsTest, SystemModalGetsNoTaskModalFlag) {
  Show({IntValue(1), IntValue(4096)});
  EXPECT_EQ(LastBox().style, 4096u);
  Show({IntValue(1), IntValue(4096 | 1 | 32 | 256)});
  EXPECT_EQ(LastBox().style, 4096u | 1 | 32 | 256);
  Show({IntValue(1), IntValue(16 | 512)});
  EXPECT_EQ(LastBox().style, 16u | 512 | 8192);
  EXPECT_EQ(MessageBoxStyle(8192), 8192u);
}

TEST_F(SystemCommandsTest, OmittedArgumentsAreZeroCellsAndCount) {
  // An omitted buttons argument between given ones: the default (OK only) applies.
  const std::string title = G("标题");
  ArgList args{IntValue(7)};
  args.Omit().Add(TextValue(title.c_str()));
  Show(args);
  EXPECT_EQ(LastBox().style, kMbTaskModal);
  EXPECT_EQ(LastBox().title_gbk, G("标题"));
  // An omitted title: the default title.
  ArgList tail{IntValue(7), IntValue(1)};
  tail.Omit();
  Show(tail);
  EXPECT_EQ(LastBox().title_gbk, G("信息："));
  EXPECT_EQ(LastBox().style, 1u | kMbTaskModal);
}

int32_t seen_count = -1;
TypedValue seen_args[4];
void RecordArguments(TypedValue* result, int32_t arg_count, TypedValue* args) {
  seen_count = arg_count;
  for (int32_t i = 0; i < arg_count && i < 4; ++i) seen_args[i] = args[i];
  result->low = 99;
}

TEST_F(SystemCommandsTest, CommandReceivesOmittedArgumentAsAllZeroCell) {
  ArgList args{IntValue(5)};
  args.Omit();
  TypedValue result = CallCommand(RecordArguments, args);
  EXPECT_EQ(result.low, 99u);
  ASSERT_EQ(seen_count, 2);
  EXPECT_EQ(seen_args[0].tag, TypeTag::kInt);
  EXPECT_EQ(seen_args[1].low, 0u);
  EXPECT_EQ(seen_args[1].high, 0u);
  EXPECT_EQ(seen_args[1].tag, 0u);
}

TEST_F(SystemCommandsTest, NoBackendShowsNoBoxAndReportsMinusOne) {
  platform::InstallBackend(nullptr);
  EXPECT_EQ(Show({IntValue(1)}), -1);
}

TEST_F(SystemCommandsTest, CurrentDateTimeDropsMilliseconds) {
  LocalTime time;
  time.year = 2014;
  time.month = 7;
  time.day = 10;
  time.hour = 9;
  time.minute = 5;
  time.second = 0;
  time.millisecond = 750;
  backend_.SetClock(time);
  TypedValue result = CallCommand(CurrentDateTime, 0, nullptr);
  CalendarTime expected;
  expected.year = 2014;
  expected.month = 7;
  expected.day = 10;
  expected.hour = 9;
  expected.minute = 5;
  EXPECT_EQ(result.Double(), MakeDateTime(expected));
  EXPECT_EQ(result.tag, 0u);
  char* text = DateTimeToText(result.Double());
  EXPECT_EQ(std::string(text), G("2014年7月10日9时5分"));
  Release(text);
}

TEST_F(SystemCommandsTest, CurrentDateTimeHoldsAnImpossibleClockToTheCalendar) {
  LocalTime time;
  time.year = 2015;
  time.month = 2;
  time.day = 31;
  time.hour = 25;
  backend_.SetClock(time);
  TypedValue result = CallCommand(CurrentDateTime, 0, nullptr);
  CalendarTime split = SplitDateTime(result.Double());
  EXPECT_EQ(split.month, 2);
  EXPECT_EQ(split.day, 28);
  EXPECT_EQ(split.hour, 23);
}

TEST_F(SystemCommandsTest, MouseX) {
  backend_.SetCursorPosition(Point{321, 45});
  EXPECT_EQ(static_cast<int32_t>(CallCommand(GetMouseX, 0, nullptr).low), 321);
  backend_.SetCursorPosition(Point{-8, 0});  // a monitor left of the primary one
  EXPECT_EQ(static_cast<int32_t>(CallCommand(GetMouseX, 0, nullptr).low), -8);
}

}  // namespace
}  // namespace memo
