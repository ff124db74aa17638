#include "runtime/text_commands.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/array.h"
#include "runtime/dispatch.h"
#include "runtime/heap.h"
#include "runtime/literal.h"
#include "runtime/text.h"
#include "tests/runtime/test_util.h"

namespace memo {
namespace {

using testing::Bytes;
using testing::Consume;

std::string Remove(const char* text) {
  ArgList args{TextValue(text)};
  TypedValue result = CallCommand(RemoveAllSpaces, args);
  EXPECT_EQ(result.tag, 0u) << "a fixed-type result carries only its data words";
  return Consume(static_cast<char*>(result.Pointer()));
}

// Splits and returns the parts; "<null>" marks an empty (null) element.
std::vector<std::string> Split(ArgList args) {
  TypedValue result = CallCommand(SplitText, args);
  void* array = result.Pointer();
  EXPECT_NE(array, nullptr) << "an empty split is still an array block";
  EXPECT_EQ(ArrayDimensionCount(array), 1);
  std::vector<std::string> parts;
  for (int64_t i = 0; i < ArrayElementCount(array); ++i) {
    const char* part = static_cast<const char*>(PointerElementAt(array, i));
    parts.push_back(part ? std::string(part) : "<null>");
  }
  ReleaseArray(TypeTag::kText, array);
  return parts;
}

using Parts = std::vector<std::string>;

TEST(RemoveAllSpacesTest, RemovesAsciiAndFullWidthSpacesEverywhere) {
  EXPECT_EQ(Remove(Gbk(" a　b ")), "ab");
  EXPECT_EQ(Remove(" x y  z "), "xyz");
  EXPECT_EQ(Remove(Gbk("分 类")), Bytes(Gbk("分类")));
  EXPECT_EQ(Remove("a\tb\r\nc"), "a\tb\r\nc") << "tabs and line breaks stay";
}

TEST(RemoveAllSpacesTest, OnlySpacesOrNothingGivesNull) {
  ArgList args{TextValue(Gbk("  　 "))};
  EXPECT_EQ(CallCommand(RemoveAllSpaces, args).Pointer(), nullptr);
  ArgList null_text{TextValue(nullptr)};
  EXPECT_EQ(CallCommand(RemoveAllSpaces, null_text).Pointer(), nullptr);
  ArgList empty{TextValue("")};
  EXPECT_EQ(CallCommand(RemoveAllSpaces, empty).Pointer(), nullptr);
  ArgList wrong_type{IntValue(42)};
  EXPECT_EQ(CallCommand(RemoveAllSpaces, wrong_type).Pointer(), nullptr);
  EXPECT_EQ(CallCommand(RemoveAllSpaces, 0, nullptr).Pointer(), nullptr);
}

TEST(RemoveAllSpacesTest, TrailBytesAreNeverTakenForSpaces) {
  // 0xA1 0xA1 is a full-width space only at a character boundary: here the pair straddles two
  // characters (0xB0 0xA1, then 0xA1 0xB0) and must be kept.
  EXPECT_EQ(Remove("\xB0\xA1\xA1\xB0"), "\xB0\xA1\xA1\xB0");
  // A trail byte of 0x20 does not occur in GBK, but a lead byte swallows the byte after it.
  EXPECT_EQ(Remove("\x81\x40 x"), "\x81\x40x");
}

TEST(RemoveAllSpacesTest, BrokenLeadByteBeforeTheNulIsDropped) {
  EXPECT_EQ(Remove("ab \xB0"), "ab");
  EXPECT_EQ(Remove("\xB0"), "");
}

TEST(SplitTextTest, DefaultDelimiterIsComma) {
  EXPECT_EQ(Split({TextValue("a,b,c")}), (Parts{"a", "b", "c"}));
  EXPECT_EQ(Split({TextValue("a,b,c"), Omitted(), Omitted()}), (Parts{"a", "b", "c"}));
}

TEST(SplitTextTest, Consequences) {
  EXPECT_EQ(Split({TextValue("a,,b")}), (Parts{"a", "<null>", "b"}));
  EXPECT_EQ(Split({TextValue("a,b,")}), (Parts{"a", "b"}));
  EXPECT_EQ(Split({TextValue(",a")}), (Parts{"<null>", "a"}));
  EXPECT_EQ(Split({TextValue("a,b,c"), Omitted(), IntValue(2)}), (Parts{"a", "b"}));
  EXPECT_EQ(Split({TextValue("a,b,c"), Omitted(), IntValue(1)}), (Parts{"a"}));
  EXPECT_EQ(Split({TextValue("abc"), Omitted(), IntValue(1)}), (Parts{"abc"}));
  EXPECT_EQ(Split({TextValue("a,b,c"), Omitted(), IntValue(0)}), Parts{});
  EXPECT_EQ(Split({TextValue("a,b,c"), Omitted(), IntValue(-3)}), Parts{});
  EXPECT_EQ(Split({TextValue("a,b,c"), Omitted(), IntValue(10)}), (Parts{"a", "b", "c"}));
}

TEST(SplitTextTest, EmptyTextGivesNoElements) {
  EXPECT_EQ(Split({TextValue("")}), Parts{});
  EXPECT_EQ(Split({TextValue(nullptr)}), Parts{});
  EXPECT_EQ(Split({TextValue(kEmptyText), TextValue("||")}), Parts{});
}

TEST(SplitTextTest, MultiByteDelimiters) {
  EXPECT_EQ(Split({TextValue("abc"), TextValue("||")}), (Parts{"abc"}));
  EXPECT_EQ(Split({TextValue("x||"), TextValue("||")}), (Parts{"x"}));
  EXPECT_EQ(Split({TextValue("x|||y"), TextValue("||")}), (Parts{"x", "|y"}));

  const char* entry = Gbk("||特殊跟进条目分割||");
  const char* time = Gbk("||特殊跟进时间分割||");
  TextOwner log(JoinTexts(
      {Gbk("2014年7月10日"), time, Gbk("电话"), entry, Gbk("2014年7月11日"), time, Gbk("上门")}));
  EXPECT_EQ(Split({TextValue(log.get()), TextValue(entry)}),
            (Parts{Bytes(Gbk("2014年7月10日")) + time + Gbk("电话"),
                   Bytes(Gbk("2014年7月11日")) + time + Gbk("上门")}));
}

TEST(SplitTextTest, EmptyDelimiterGivesTheWholeText) {
  EXPECT_EQ(Split({TextValue("a,b"), TextValue("")}), (Parts{"a,b"}));
  EXPECT_EQ(Split({TextValue("a,b"), TextValue(nullptr)}), (Parts{"a,b"}));
}

TEST(SplitTextTest, DelimiterNeverMatchesInsideACharacter) {
  // 0xB0 0x7C is one GBK character whose trail byte is '|': no split there.
  EXPECT_EQ(Split({TextValue("\xB0|a|b"), TextValue("|")}), (Parts{"\xB0|a", "b"}));
  // 0xB0 0x2C: trail byte ','.
  EXPECT_EQ(Split({TextValue("\xB0,a")}), (Parts{"\xB0,a"}));
}

TEST(SplitTextTest, BrokenLeadByteEndsTheScan) {
  // The scan stops at the broken character; the rest is kept as the last element.
  EXPECT_EQ(Split({TextValue("a,b\xB0")}), (Parts{"a", "b\xB0"}));
  EXPECT_EQ(Split({TextValue("\xB0")}), (Parts{"\xB0"}));
}

std::string ConvertToText(const TypedValue& value) {
  ArgList args{value};
  return Consume(CallText(ToText, args).Take());
}

TEST(ToTextTest, ByteSetUpToTheFirstZero) {
  const unsigned char bytes[] = {0x41, 0x00, 0x42};
  void* set = MakeByteSet(bytes, 3);
  EXPECT_EQ(ConvertToText(ByteSetValue(set)), "A");
  Release(set);
  void* whole = MakeByteSet("xyz", 3);
  EXPECT_EQ(ConvertToText(ByteSetValue(whole)), "xyz");
  Release(whole);
  void* leading_zero = MakeByteSet("\0a", 2);
  ArgList args{ByteSetValue(leading_zero)};
  EXPECT_EQ(CallCommand(ToText, args).Pointer(), nullptr);
  Release(leading_zero);
  EXPECT_EQ(ConvertToText(ByteSetValue(nullptr)), "");
  EXPECT_EQ(ConvertToText(ByteSetValue(EmptyByteSet())), "");
}

TEST(ToTextTest, OneDimensionNumericArrayIsReadAsBytes) {
  const int32_t ints[] = {1, 2, 0x00434241, 0x44};
  EXPECT_EQ(ConvertToText(ArrayValue(TypeTag::kInt, ints)), "ABC");
  const int32_t bytes[] = {1, 5, 0x64636261, 0x00000065};
  TypedValue byte_array = ArrayValue(TypeTag::kByte, bytes);
  EXPECT_EQ(ConvertToText(byte_array), "abcde") << "only the 5 element bytes are read";
  const int32_t two_dims[] = {2, 1, 1, 0x41};
  EXPECT_EQ(ConvertToText(ArrayValue(TypeTag::kInt, two_dims)), "");
  void* texts = MakeTextArray({CopyText("t")});
  EXPECT_EQ(ConvertToText(ArrayValue(TypeTag::kText, texts)), "");
  ReleaseArray(TypeTag::kText, texts);
}

TEST(ToTextTest, ValuesConvertByTheValueRules) {
  EXPECT_EQ(ConvertToText(IntValue(3)), "3");
  EXPECT_EQ(ConvertToText(BoolValue(true)), Bytes(Gbk("真")));
  EXPECT_EQ(ConvertToText(DateTimeValue(41830.0 + (9 * 60 + 5) / 1440.0)),
            Bytes(Gbk("2014年7月10日9时5分")));
  EXPECT_EQ(ConvertToText(TextValue(Gbk("跟进"))), Bytes(Gbk("跟进")));
  EXPECT_EQ(ConvertToText(TypedValue{}), "");
  EXPECT_EQ(CallCommand(ToText, 0, nullptr).Pointer(), nullptr);
}

}  // namespace
}  // namespace memo
