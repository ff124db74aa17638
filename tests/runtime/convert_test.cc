#include "runtime/convert.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "runtime/dispatch.h"
#include "runtime/heap.h"
#include "runtime/literal.h"
#include "runtime/routine.h"
#include "runtime/text.h"
#include "tests/runtime/test_util.h"

namespace memo {
namespace {

using testing::Bytes;
using testing::Consume;

constexpr double k20140710 = 41830.0;  // 2014-07-10 00:00

TypedValue LongHighLow(uint32_t high, uint32_t low) {
  TypedValue v;
  v.low = low;
  v.high = high;
  v.tag = TypeTag::kLong;
  return v;
}

std::string TextOf(const TypedValue& v) { return Consume(ValueToText(v)); }

TEST(ConvertTest, TypeSizesAndNumericTags) {
  EXPECT_EQ(TypeSize(TypeTag::kByte), 1u);
  EXPECT_EQ(TypeSize(TypeTag::kShort), 2u);
  EXPECT_EQ(TypeSize(TypeTag::kInt), 4u);
  EXPECT_EQ(TypeSize(TypeTag::kLong), 8u);
  EXPECT_EQ(TypeSize(TypeTag::kFloat), 4u);
  EXPECT_EQ(TypeSize(TypeTag::kDouble), 8u);
  EXPECT_EQ(TypeSize(TypeTag::kBool), 4u);
  EXPECT_EQ(TypeSize(TypeTag::kDateTime), 8u);
  EXPECT_EQ(TypeSize(TypeTag::kText), 4u);
  EXPECT_EQ(TypeSize(TypeTag::kSubStatement), 8u);
  EXPECT_EQ(TypeSize(0x00010005), 0u);
  EXPECT_EQ(TypeSize(TypeTag::kNone), 0u);
  for (uint32_t n = 1; n <= 6; ++n) EXPECT_TRUE(IsNumeric(0x80000001u | (n << 8))) << n;
  EXPECT_FALSE(IsNumeric(TypeTag::kBool));
  EXPECT_FALSE(IsNumeric(TypeTag::kDateTime));
  EXPECT_FALSE(IsNumeric(TypeTag::kInt | kArrayFlag));
  EXPECT_FALSE(IsNumeric(0x80000701));
}

TEST(ConvertTest, DataOfEachKind) {
  DataView none = DataOf(TypedValue{});
  EXPECT_EQ(none.data, nullptr);
  EXPECT_EQ(none.size, 0u);

  TypedValue text = TextValue("abc");
  EXPECT_EQ(DataOf(text).size, 4u);  // the NUL counts
  EXPECT_EQ(DataOf(TextValue(nullptr)).size, 1u);

  void* set = MakeByteSet("xyz", 3);
  DataView set_view = DataOf(ByteSetValue(set));
  EXPECT_EQ(set_view.size, 3u);
  EXPECT_EQ(set_view.data, ByteSetData(set));
  Release(set);
  EXPECT_EQ(DataOf(ByteSetValue(nullptr)).size, 0u);

  TypedValue d = DoubleValue(1.5);
  DataView dv = DataOf(d);
  EXPECT_EQ(dv.size, 8u);
  EXPECT_EQ(dv.data, &d.low);
  EXPECT_EQ(DataOf(ShortValue(3)).size, 2u);
}

TEST(ConvertTest, ValueToTextOfIntegers) {
  EXPECT_EQ(TextOf(ByteValue(200)), "200");
  EXPECT_EQ(TextOf(ShortValue(-7)), "-7");
  EXPECT_EQ(TextOf(IntValue(3)), "3");
  EXPECT_EQ(TextOf(IntValue(-2147483647 - 1)), "-2147483648");
  EXPECT_EQ(TextOf(LongHighLow(1, 5)), "4294967301");
  EXPECT_EQ(TextOf(LongValue(-1)), "-1");
  EXPECT_EQ(TextOf(LongValue(INT64_MIN)), "-9223372036854775808");
}

TEST(ConvertTest, ValueToTextOfFloats) {
  EXPECT_EQ(TextOf(FloatValue(0.1f)), "0.1");
  EXPECT_EQ(TextOf(FloatValue(3.14159274f)), "3.14159");
  EXPECT_EQ(TextOf(FloatValue(0.0f)), "0");
  EXPECT_EQ(TextOf(FloatValue(-2.5f)), "-2.5");
  // 1234565 is exact in a float: halves go away from zero (printf alone would give ...56).
  EXPECT_EQ(TextOf(FloatValue(1234565.0f)), "1.23457e+06");
  EXPECT_EQ(TextOf(FloatValue(-1234565.0f)), "-1.23457e+06");
  EXPECT_EQ(TextOf(FloatValue(100000.0f)), "100000");
  EXPECT_EQ(TextOf(DoubleValue(1.0 / 3.0)), "0.3333333333333");
  EXPECT_EQ(TextOf(DoubleValue(2.0)), "2");
  EXPECT_EQ(TextOf(DoubleValue(-2.7)), "-2.7");
}

TEST(ConvertTest, ValueToTextOfOtherTypes) {
  EXPECT_EQ(TextOf(BoolValue(true)), Bytes(Gbk("真")));
  EXPECT_EQ(TextOf(BoolValue(false)), Bytes(Gbk("假")));
  TypedValue any_true;
  any_true.low = 7;
  any_true.tag = TypeTag::kBool;
  EXPECT_EQ(TextOf(any_true), Bytes(Gbk("真")));
  EXPECT_EQ(TextOf(DateTimeValue(k20140710)), Bytes(Gbk("2014年7月10日")));

  const char* literal = Gbk("记事");
  char* copy = ValueToText(TextValue(literal));
  EXPECT_NE(copy, literal) << "a text converts to a copy the caller owns";
  EXPECT_EQ(Consume(copy), Bytes(literal));
  EXPECT_EQ(ValueToText(TextValue(nullptr)), nullptr);
  EXPECT_EQ(ValueToText(TextValue("")), nullptr);

  void* set = MakeByteSet("AB", 2);
  EXPECT_EQ(ValueToText(ByteSetValue(set)), nullptr);
  Release(set);
  EXPECT_EQ(ValueToText(TypedValue{}), nullptr);
  TypedValue window;
  window.low = 1;
  window.high = 2;
  window.tag = 0x00010001;
  EXPECT_EQ(ValueToText(window), nullptr);
}

TEST(ConvertTest, DateTimeTexts) {
  auto text = [](double d) { return Consume(DateTimeToText(d)); };
  EXPECT_EQ(text(k20140710), Bytes(Gbk("2014年7月10日")));
  EXPECT_EQ(text(k20140710 + (9 * 60 + 5) / 1440.0), Bytes(Gbk("2014年7月10日9时5分")));
  EXPECT_EQ(text(k20140710 + (9 * 3600 + 7) / 86400.0), Bytes(Gbk("2014年7月10日9时0分7秒")));
  EXPECT_EQ(text(k20140710 + 0.5), Bytes(Gbk("2014年7月10日12时")));
  EXPECT_EQ(text(0), Bytes(Gbk("1899年12月30日")));
}

// The text as the format "%d年%d月%d日" and its time parts give it, for days across the whole
// range (the clamped ends, the empty date, negative day numbers) at times with and without
// seconds, minutes and hours.
TEST(ConvertTest, DateTimeTextsMatchTheFormatEverywhere) {
  auto reference = [](double d) {
    CalendarTime t = SplitDateTime(d);
    char buffer[128];
    int n = std::snprintf(buffer, sizeof buffer, Gbk("%d年%d月%d日"), t.year, t.month, t.day);
    if (t.second != 0) {
      std::snprintf(buffer + n, sizeof buffer - n, Gbk("%d时%d分%d秒"), t.hour, t.minute, t.second);
    } else if (t.minute != 0) {
      std::snprintf(buffer + n, sizeof buffer - n, Gbk("%d时%d分"), t.hour, t.minute);
    } else if (t.hour != 0) {
      std::snprintf(buffer + n, sizeof buffer - n, Gbk("%d时"), t.hour);
    }
    return std::string(buffer);
  };
  const double times[] = {0, 1 / 24.0, (10 * 60 + 1) / 1440.0,
                          (23 * 3600 + 59 * 60 + 59) / 86400.0};
  std::vector<double> days = {-657434, -1e12, 1e12, -1, 0, 1, 2958465, 2958466, -693593};
  for (double d = -700000; d < 3000000; d += 12345.5) days.push_back(d);
  for (double day : days) {
    for (double time : times) {
      double value = day < 0 ? day - time : day + time;
      EXPECT_EQ(Consume(DateTimeToText(value)), reference(value)) << value;
    }
  }
}

TEST(ConvertTest, SplitDateTimeRoundsToTheNearestSecond) {
  // 23:59:59.6 rounds into the next day.
  CalendarTime t = SplitDateTime(k20140710 + (86399.6 / 86400.0));
  EXPECT_EQ(t.year, 2014);
  EXPECT_EQ(t.month, 7);
  EXPECT_EQ(t.day, 11);
  EXPECT_EQ(t.hour, 0);
  EXPECT_EQ(t.second, 0);
  // A value a hair below a whole minute (as sums of fractions give) is that minute.
  t = SplitDateTime(k20140710 + 545.0 / 1440.0 - 1e-9);
  EXPECT_EQ(t.hour, 9);
  EXPECT_EQ(t.minute, 5);
  EXPECT_EQ(t.second, 0);
}

TEST(ConvertTest, SplitAndMakeDateTimeRoundTrip) {
  const CalendarTime samples[] = {
      {2014, 7, 10, 9, 5, 0},     {2000, 2, 29, 23, 59, 59}, {1900, 3, 1, 0, 0, 1},
      {1899, 12, 30, 6, 0, 0},    {1899, 12, 29, 6, 0, 0},   {100, 1, 1, 0, 0, 0},
      {9999, 12, 31, 23, 59, 59}, {1970, 1, 1, 12, 0, 0},    {2024, 12, 31, 18, 30, 15},
  };
  for (const CalendarTime& s : samples) {
    CalendarTime t = SplitDateTime(MakeDateTime(s));
    EXPECT_EQ(t.year, s.year);
    EXPECT_EQ(t.month, s.month);
    EXPECT_EQ(t.day, s.day);
    EXPECT_EQ(t.hour, s.hour);
    EXPECT_EQ(t.minute, s.minute);
    EXPECT_EQ(t.second, s.second);
  }
  EXPECT_DOUBLE_EQ(MakeDateTime({2014, 7, 10, 12, 0, 0}), k20140710 + 0.5);
  EXPECT_DOUBLE_EQ(MakeDateTime({1899, 12, 29, 6, 0, 0}), -1.25);
  EXPECT_DOUBLE_EQ(MakeDateTime({1970, 1, 1, 0, 0, 0}), 25569.0);
}

TEST(ConvertTest, SplitDateTimeClampsOutsideTheRepresentableYears) {
  EXPECT_EQ(SplitDateTime(1e300).year, 9999);
  EXPECT_EQ(SplitDateTime(-1e300).year, 100);
  EXPECT_EQ(SplitDateTime(INFINITY).year, 9999);
  CalendarTime nan = SplitDateTime(NAN);
  EXPECT_EQ(nan.year, 1899);
  EXPECT_EQ(nan.day, 30);
}

TEST(ConvertTest, ToIntegerOfEveryNumericType) {
  EXPECT_EQ(ToInteger(ByteValue(255)), 255);
  EXPECT_EQ(ToInteger(ShortValue(-2)), -2);
  EXPECT_EQ(ToInteger(IntValue(-123456)), -123456);
  EXPECT_EQ(ToInteger(LongHighLow(1, 5)), 5);
  EXPECT_EQ(ToInteger(LongValue(-1)), -1);
  EXPECT_EQ(ToInteger(FloatValue(2.9f)), 2);
  EXPECT_EQ(ToInteger(FloatValue(-2.9f)), -2);
  EXPECT_EQ(ToInteger(DoubleValue(-2.7)), -2);
  EXPECT_EQ(ToInteger(DoubleValue(4294967301.0)), 5) << "low 32 bits of the 64-bit truncation";
  EXPECT_EQ(ToInteger(DoubleValue(NAN)), 0);
  // Far out of range: pinned rather than undefined.
  (void)ToInteger(DoubleValue(1e30));
}

TEST(ConvertDeathTest, ToIntegerOfANonNumericValueIsFatal) {
  EXPECT_EXIT(ToInteger(TextValue("5")), ::testing::ExitedWithCode(255),
              "错误信息：欲转换数据类型不是数值");
  EXPECT_EXIT(ToInteger(BoolValue(true)), ::testing::ExitedWithCode(255), "欲转换数据类型不是数值");
  EXPECT_EXIT(ToInteger(DateTimeValue(1.0)), ::testing::ExitedWithCode(255),
              "欲转换数据类型不是数值");
}

TypedValue TrueStatement(uint32_t) { return BoolValue(true); }
TypedValue ContextIsOdd(uint32_t context) { return BoolValue(context % 2 == 1); }
TypedValue TextStatement(uint32_t) {
  TypedValue v = TextValue(CopyText("not logical"));
  return v;
}
TypedValue IntStatement(uint32_t) { return IntValue(1); }

TEST(ConvertTest, ConditionOfBoolAndSubStatement) {
  EXPECT_TRUE(EvaluateCondition(BoolValue(true)));
  EXPECT_FALSE(EvaluateCondition(BoolValue(false)));
  EXPECT_TRUE(EvaluateCondition(SubStatementValue(TrueStatement, 0)));
  EXPECT_TRUE(EvaluateCondition(SubStatementValue(ContextIsOdd, 3)));
  EXPECT_FALSE(EvaluateCondition(SubStatementValue(ContextIsOdd, 4)));
}

TEST(ConvertDeathTest, ConditionWithoutALogicalValueIsFatal) {
  const char* kMessage = "错误信息：用作进行条件判断的子语句参数只能接受逻辑型数据";
  EXPECT_EXIT(EvaluateCondition(IntValue(1)), ::testing::ExitedWithCode(255), kMessage);
  EXPECT_EXIT(EvaluateCondition(SubStatementValue(TextStatement, 0)),
              ::testing::ExitedWithCode(255), kMessage);
  EXPECT_EXIT(EvaluateCondition(SubStatementValue(IntStatement, 0)), ::testing::ExitedWithCode(255),
              kMessage);
  TypedValue unknown;
  unknown.low = 999999;
  unknown.tag = TypeTag::kSubStatement;
  EXPECT_EXIT(EvaluateCondition(unknown), ::testing::ExitedWithCode(255), kMessage);
}

}  // namespace
}  // namespace memo
