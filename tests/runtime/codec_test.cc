#include "platform/codec.h"

#include <gtest/gtest.h>

#include <string>

namespace memo {
namespace {

TEST(CodecTest, KnownCharacters) {
  EXPECT_EQ(Utf8ToGbk("温馨提示"), "\xCE\xC2\xDC\xB0\xCC\xE1\xCA\xBE");
  EXPECT_EQ(Utf8ToGbk("　"), "\xA1\xA1");  // the full-width space
  EXPECT_EQ(Utf8ToGbk("abc"), "abc");
  EXPECT_EQ(GbkToUtf8("\xCE\xC2\xDC\xB0\xCC\xE1\xCA\xBE"), "温馨提示");
  EXPECT_EQ(GbkToUtf8(std::string("a\0b", 3)), std::string("a\0b", 3));
  EXPECT_EQ(Utf8ToGbk(""), "");
  EXPECT_EQ(GbkToUtf8(""), "");
}

TEST(CodecTest, EveryDecodableTwoByteCodeRoundTrips) {
  int decoded = 0;
  for (int lead = 0x81; lead <= 0xFE; ++lead) {
    for (int trail = 0x40; trail <= 0xFE; ++trail) {
      if (trail == 0x7F) continue;
      const std::string gbk{static_cast<char>(lead), static_cast<char>(trail)};
      std::string utf8;
      if (!GbkToUtf8Strict(gbk, &utf8)) continue;
      ++decoded;
      std::string back;
      ASSERT_TRUE(Utf8ToGbkStrict(utf8, &back)) << std::hex << lead << " " << trail;
      ASSERT_EQ(back, gbk) << std::hex << lead << " " << trail;
    }
  }
  // The whole two-byte range, user-defined areas included, except A2E3: the euro sign that
  // GBK already writes as 0x80.
  EXPECT_EQ(decoded, 126 * 190 - 1);
  std::string euro;
  EXPECT_FALSE(GbkToUtf8Strict("\xA2\xE3", &euro));
  EXPECT_EQ(Utf8ToGbk("€"), "\x80");
  EXPECT_EQ(GbkToUtf8("\x80"), "€");
}

TEST(CodecTest, LongTextsConvertInFull) {
  std::string utf8;
  for (int i = 0; i < 3000; ++i) utf8 += "跟进a";
  std::string gbk = Utf8ToGbk(utf8);
  EXPECT_EQ(gbk.size(), 3000u * 5);
  EXPECT_EQ(GbkToUtf8(gbk), utf8);
}

TEST(CodecTest, BadBytesBecomeQuestionMarks) {
  EXPECT_EQ(GbkToUtf8("a\xFF" "b"), "a?b");
  EXPECT_EQ(GbkToUtf8("a\x81"), "a?") << "a lead byte at the end";
  EXPECT_EQ(GbkToUtf8("\x81\x30z"), "?0z") << "an invalid trail byte is kept as itself";
  EXPECT_EQ(Utf8ToGbk("a\xC3(b"), "a?(b");
  EXPECT_EQ(Utf8ToGbk("x😀y"), "x?y") << "a character with no two-byte GBK code";
  EXPECT_EQ(Utf8ToGbk("\xE6\xB8"), "??");
}

TEST(CodecTest, StrictVariantsReportFailure) {
  std::string out = "untouched";
  EXPECT_FALSE(GbkToUtf8Strict("a\xFF", &out));
  EXPECT_FALSE(Utf8ToGbkStrict("x😀", &out));
  EXPECT_FALSE(Utf8ToGbkStrict("\xC3", &out));
  EXPECT_EQ(out, "untouched");
  EXPECT_TRUE(Utf8ToGbkStrict("帐号", &out));
  EXPECT_EQ(out, "\xD5\xCA\xBA\xC5");
}

}  // namespace
}  // namespace memo
