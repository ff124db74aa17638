#include "data/cell_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <string>

#include "runtime/dispatch.h"
#include "runtime/heap.h"
#include "runtime/text.h"
#include "tests/support/test_util.h"

namespace memo::db {
namespace {

using testing::G;

FieldDescriptor Field(uint32_t type, uint32_t length = 0) {
  FieldDescriptor field;
  field.SetName("F");
  field.type = type;
  field.declared_length = length;
  return field;
}

// The value storing `text` gives, released again after `check` has looked at it.
TypedValue Stored(uint32_t type, const std::string& text) {
  TypedValue value;
  EXPECT_TRUE(FieldValueFromText(Field(type, 20), text, &value));
  return value;
}

std::string TextOfStored(const TypedValue& value) {
  const char* text = static_cast<const char*>(value.Pointer());
  return text ? std::string(text) : std::string();
}

TEST(CellText, NumbersLogicalAndTextsReadAsTheGridShowsThem) {
  TypedValue byte_value;
  byte_value.tag = TypeTag::kByte;
  byte_value.low = 200;
  EXPECT_EQ(CellTextOf(Field(kFieldByte), byte_value), "200");
  TypedValue short_value;
  short_value.tag = TypeTag::kShort;
  short_value.low = static_cast<uint32_t>(static_cast<uint16_t>(-5));
  EXPECT_EQ(CellTextOf(Field(kFieldShort), short_value), "-5");
  EXPECT_EQ(CellTextOf(Field(kFieldInt), IntValue(-2147483647 - 1)), "-2147483648");
  EXPECT_EQ(CellTextOf(Field(kFieldLong), LongValue(int64_t{1} << 40)), "1099511627776");
  EXPECT_EQ(CellTextOf(Field(kFieldFloat), FloatValue(1.2345678f)), "1.23457");
  EXPECT_EQ(CellTextOf(Field(kFieldDouble), DoubleValue(1.0 / 3.0)), "0.3333333333333");
  EXPECT_EQ(CellTextOf(Field(kFieldBool), BoolValue(true)), G("真"));
  EXPECT_EQ(CellTextOf(Field(kFieldBool), BoolValue(false)), G("假"));
  std::string text = G("资金借出");
  EXPECT_EQ(CellTextOf(Field(kFieldText, 10), TextValue(text.c_str())), text);
  EXPECT_EQ(CellTextOf(Field(kFieldMemo), TextValue(nullptr)), "");
}

TEST(CellText, DateTimesShowTheirPartsAndTheEmptyDateShowsNothing) {
  EXPECT_EQ(CellTextOf(Field(kFieldDateTime), DateTimeValue(41830.0)), G("2014年7月10日"));
  EXPECT_EQ(CellTextOf(Field(kFieldDateTime), DateTimeValue(41830.375)), G("2014年7月10日9时"));
  EXPECT_EQ(CellTextOf(Field(kFieldDateTime), DateTimeValue(kEmptyDate)), "");
  EXPECT_EQ(CellTextOf(Field(kFieldDateTime), DateTimeValue(0.0)), G("1899年12月30日"));
}

TEST(CellText, ByteSetCellsAreTheirBytes) {
  const char bytes[] = {'P', 0, 'Q'};
  void* block = MakeByteSet(bytes, 3);
  EXPECT_EQ(CellTextOf(Field(kFieldByteSet), ByteSetValue(block)), std::string(bytes, 3));
  Release(block);
  EXPECT_EQ(CellTextOf(Field(kFieldByteSet), ByteSetValue(nullptr)), "");
}

TEST(CellText, LogicalWordsInAnyCaseAndNothingElse) {
  for (const char* word : {"1", "真", "true", "TRUE", "True", "t", "T", "zheng", "ZHENG", "zhen",
                           "Zeng", "zen", "z", "Z"}) {
    EXPECT_TRUE(ParseLogical(G(word))) << word;
  }
  for (const char* word :
       {"", "0", "假", "false", "yes", "tr", "truex", " true", "true ", "zz", "11"}) {
    EXPECT_FALSE(ParseLogical(G(word))) << word;
  }
}

TEST(CellText, DecimalParsingTakesTheLeadingNumberAndSaturates) {
  EXPECT_EQ(ParseDecimal("12abc"), 12);
  EXPECT_EQ(ParseDecimal("  -7"), -7);
  EXPECT_EQ(ParseDecimal("+8"), 8);
  EXPECT_EQ(ParseDecimal("abc"), 0);
  EXPECT_EQ(ParseDecimal(""), 0);
  EXPECT_EQ(ParseDecimal("-"), 0);
  EXPECT_EQ(ParseDecimal("9223372036854775807"), std::numeric_limits<int64_t>::max());
  EXPECT_EQ(ParseDecimal("-9223372036854775808"), std::numeric_limits<int64_t>::min());
  EXPECT_EQ(ParseDecimal("99999999999999999999"), std::numeric_limits<int64_t>::max());
  EXPECT_EQ(ParseDecimal("-99999999999999999999"), std::numeric_limits<int64_t>::min());
}

TEST(CellText, FloatingParsingTakesTheLeadingNumber) {
  EXPECT_DOUBLE_EQ(ParseFloating("1.5e3"), 1500.0);
  EXPECT_DOUBLE_EQ(ParseFloating("  +2.5x"), 2.5);
  EXPECT_DOUBLE_EQ(ParseFloating("-0.25"), -0.25);
  EXPECT_DOUBLE_EQ(ParseFloating("x"), 0.0);
  EXPECT_DOUBLE_EQ(ParseFloating(""), 0.0);
  EXPECT_EQ(ParseFloating("1e999"), std::numeric_limits<double>::infinity());
  EXPECT_EQ(ParseFloating("-1e999"), -std::numeric_limits<double>::infinity());
  EXPECT_DOUBLE_EQ(ParseFloating("1e-999"), 0.0);
}

TEST(CellText, TextsBecomeValuesOfTheFieldsKind) {
  TypedValue v = Stored(kFieldByte, "300");
  EXPECT_EQ(v.tag, TypeTag::kInt);
  EXPECT_EQ(static_cast<int32_t>(v.low), 300);  // no range check: the byte keeps the low bits
  v = Stored(kFieldLong, "-9000000000");
  EXPECT_EQ(v.tag, TypeTag::kLong);
  EXPECT_EQ(v.Int64(), -9000000000LL);
  v = Stored(kFieldDouble, "2.75");
  EXPECT_EQ(v.tag, TypeTag::kDouble);
  EXPECT_DOUBLE_EQ(v.Double(), 2.75);
  v = Stored(kFieldBool, "Zen");
  EXPECT_EQ(v.tag, TypeTag::kBool);
  EXPECT_EQ(v.low, 1u);
  v = Stored(kFieldDateTime, "2014-07-10");
  EXPECT_EQ(v.tag, TypeTag::kDateTime);
  EXPECT_DOUBLE_EQ(v.Double(), 41830.0);
  v = Stored(kFieldDateTime, G("明天"));
  EXPECT_DOUBLE_EQ(v.Double(), kEmptyDate);

  TypedValue text = Stored(kFieldMemo, G("一段记事"));
  EXPECT_EQ(text.tag, TypeTag::kText);
  EXPECT_EQ(TextOfStored(text), G("一段记事"));
  ReleaseValue(&text);
  TypedValue bytes = Stored(kFieldByteSet, "abc");
  EXPECT_EQ(bytes.tag, TypeTag::kByteSet);
  EXPECT_EQ(ByteSetSize(bytes.Pointer()), 3);
  EXPECT_EQ(std::memcmp(ByteSetData(bytes.Pointer()), "abc", 3), 0);
  ReleaseValue(&bytes);

  TypedValue none;
  EXPECT_FALSE(FieldValueFromText(Field(kFieldRoutine), "1", &none));
  EXPECT_FALSE(none.Present());
}

// What a person types is checked against the column before it is stored, because storing
// converts anything: a mistyped date would store the empty date, a mistyped number 0.
TEST(CellText, TypedTextsThatAreNoValueOfTheColumnAreFaults) {
  // The empty text is a value of every type: it clears a date and zeroes a number.
  for (uint32_t type : {kFieldByte, kFieldShort, kFieldInt, kFieldLong, kFieldFloat, kFieldDouble,
                        kFieldDateTime}) {
    EXPECT_EQ(CheckCellText(type, ""), CellTextFault::kNone) << "type " << type;
  }
  // Dates: the grid's own form and the ISO forms; anything else, and a day that does not exist.
  EXPECT_EQ(CheckCellText(kFieldDateTime, G("2014年7月10日9时5分")), CellTextFault::kNone);
  EXPECT_EQ(CheckCellText(kFieldDateTime, "2014-07-10 09:05"), CellTextFault::kNone);
  EXPECT_EQ(CheckCellText(kFieldDateTime, " 2014/07/10 "), CellTextFault::kNone);
  EXPECT_EQ(CheckCellText(kFieldDateTime, "abc"), CellTextFault::kNotADate);
  EXPECT_EQ(CheckCellText(kFieldDateTime, "2014-02-30"), CellTextFault::kNotADate);
  EXPECT_EQ(CheckCellText(kFieldDateTime, " "), CellTextFault::kNotADate);
  // Whole numbers: digits with a sign and spaces around; a letter, a fraction or a lone sign
  // is a mistake (storing them would keep only the digits before it).
  for (uint32_t type : {kFieldByte, kFieldShort, kFieldInt, kFieldLong}) {
    EXPECT_EQ(CheckCellText(type, "42"), CellTextFault::kNone) << "type " << type;
    EXPECT_EQ(CheckCellText(type, " -7 "), CellTextFault::kNone) << "type " << type;
    EXPECT_EQ(CheckCellText(type, "+7"), CellTextFault::kNone) << "type " << type;
    EXPECT_EQ(CheckCellText(type, "12a"), CellTextFault::kNotANumber) << "type " << type;
    EXPECT_EQ(CheckCellText(type, "1.5"), CellTextFault::kNotANumber) << "type " << type;
    EXPECT_EQ(CheckCellText(type, "-"), CellTextFault::kNotANumber) << "type " << type;
    EXPECT_EQ(CheckCellText(type, "abc"), CellTextFault::kNotANumber) << "type " << type;
  }
  // Floating point: what the grid shows ("%.6g", "%.13g") reads back.
  for (uint32_t type : {kFieldFloat, kFieldDouble}) {
    EXPECT_EQ(CheckCellText(type, "2.75"), CellTextFault::kNone) << "type " << type;
    EXPECT_EQ(CheckCellText(type, "1e+20"), CellTextFault::kNone) << "type " << type;
    EXPECT_EQ(CheckCellText(type, "-0.3333333333333"), CellTextFault::kNone) << "type " << type;
    EXPECT_EQ(CheckCellText(type, "1e999"), CellTextFault::kNone) << "out of range is a number";
    EXPECT_EQ(CheckCellText(type, "2.75x"), CellTextFault::kNotANumber) << "type " << type;
    EXPECT_EQ(CheckCellText(type, G("二")), CellTextFault::kNotANumber) << "type " << type;
  }
  // Logical, text, memo and byte-set cells take any text.
  for (uint32_t type : {kFieldBool, kFieldText, kFieldMemo, kFieldByteSet}) {
    EXPECT_EQ(CheckCellText(type, G("任何文字")), CellTextFault::kNone) << "type " << type;
  }
}

}  // namespace
}  // namespace memo::db
