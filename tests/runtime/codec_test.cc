#include "platform/codec.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "platform/gbk.h"

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
  // The whole two-byte range, user-defined areas and A2E3 (the euro sign) included.
  EXPECT_EQ(decoded, 126 * 190);
}

// iconv's single-byte euro sign 0x80 is no character here: the euro sign is written with its
// two-byte code, and a 0x80 byte reads as one '?'.
TEST(CodecTest, EuroSignIsATwoByteCharacter) {
  EXPECT_EQ(Utf8ToGbk("€"), "\xA2\xE3");
  EXPECT_EQ(GbkToUtf8("\xA2\xE3"), "€");
  EXPECT_EQ(Utf8ToGbk("a€b€"),
            "a\xA2\xE3"
            "b\xA2\xE3");
  EXPECT_EQ(GbkToUtf8("\x80"), "?") << "a lead byte at the end is a broken character";
  std::string out;
  EXPECT_FALSE(
      GbkToUtf8Strict("a\x80"
                      "b",
                      &out));
}

// A byte that cannot begin a character, or a lead byte whose next byte is no trail byte, is one
// '?', and decoding goes on at the very next byte: what follows it is never swallowed.
TEST(CodecTest, AStrayLeadByteKeepsTheByteAfterIt) {
  EXPECT_EQ(GbkToUtf8("x\x80"
                      "abc"),
            "x?abc");
  EXPECT_EQ(GbkToUtf8("\x81\nnext"), "?\nnext") << "the line break after a lead byte stays";
  EXPECT_EQ(GbkToUtf8("\x81\r\n"), "?\r\n");
  EXPECT_EQ(GbkToUtf8("a\xFF"
                      "b"),
            "a?b")
      << "0xFF is no lead byte";
  EXPECT_EQ(GbkToUtf8("\x81\x30z"), "?0z") << "a pair with no code: its second byte stays";
  EXPECT_EQ(GbkToUtf8("\x80\xA1\xA1\xA1"), "?　?")
      << "after 0x80 the pair A1 A1 (the full-width space), then a broken A1";
  EXPECT_EQ(GbkToUtf8("\xFF\xD6\xD0"), "?中") << "the character after a stray byte is whole";
  EXPECT_EQ(GbkToUtf8("\xD6\x80"
                      "a"),
            GbkToUtf8("\xD6\x80") + "a")
      << "0x80 as a trail byte belongs to its pair";
  EXPECT_EQ(GbkToUtf8("\xD6\x80").size(), 3u) << "one character";
  // The same with and without a 0x80 elsewhere in the text (two decoding paths).
  EXPECT_EQ(GbkToUtf8("\x81\n\x80"), "?\n?");
  EXPECT_EQ(GbkToUtf8("\x80\x81\n"), "??\n");
}

// Every character of the Basic Multilingual Plane encodes to exactly one GBK character: an ASCII
// byte, a two-byte code, or the one byte '?'.
TEST(CodecTest, EveryCharacterEncodesToOneGbkCharacter) {
  for (uint32_t cp = 1; cp <= 0xFFFF; ++cp) {
    if (cp >= 0xD800 && cp <= 0xDFFF) continue;
    std::string utf8;
    if (cp < 0x80) {
      utf8 += static_cast<char>(cp);
    } else if (cp < 0x800) {
      utf8 += static_cast<char>(0xC0 | (cp >> 6));
      utf8 += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      utf8 += static_cast<char>(0xE0 | (cp >> 12));
      utf8 += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      utf8 += static_cast<char>(0x80 | (cp & 0x3F));
    }
    std::string gbk = Utf8ToGbk(utf8);
    ASSERT_EQ(GbkCharCount(gbk), 1u) << std::hex << cp;
    if (gbk.size() == 1) {
      ASSERT_LT(static_cast<unsigned char>(gbk[0]), 0x80) << std::hex << cp;
    } else {
      ASSERT_EQ(gbk.size(), 2u) << std::hex << cp;
    }
  }
}

// Every well-formed character decodes to one Unicode character; each byte of a malformed one
// to one '?' or, when it is ASCII, to itself.
TEST(CodecTest, DecodingKeepsOneCharacterPerWellFormedCharacter) {
  EXPECT_EQ(GbkToUtf8("a\xD6\xD0\xFF"
                      "b\x81\x30z\x80\x80\x81"),
            "a中?b?0z???");
  std::string wellformed;
  for (int lead = 0x81; lead <= 0xFE; lead += 7) {
    for (int trail = 0x40; trail <= 0xFE; trail += 11) {
      if (trail == 0x7F) continue;
      wellformed += static_cast<char>(lead);
      wellformed += static_cast<char>(trail);
      wellformed += 'x';
    }
  }
  const std::string utf8 = GbkToUtf8(wellformed);
  size_t code_points = 0;
  for (unsigned char c : utf8) code_points += (c & 0xC0) != 0x80;
  EXPECT_EQ(code_points, GbkCharCount(wellformed));
}

TEST(CodecTest, LongTextsConvertInFull) {
  std::string utf8;
  for (int i = 0; i < 3000; ++i) utf8 += "跟进a";
  std::string gbk = Utf8ToGbk(utf8);
  EXPECT_EQ(gbk.size(), 3000u * 5);
  EXPECT_EQ(GbkToUtf8(gbk), utf8);
}

TEST(CodecTest, BadBytesBecomeQuestionMarks) {
  EXPECT_EQ(GbkToUtf8("a\x81"), "a?") << "a lead byte at the end";
  EXPECT_EQ(GbkToUtf8(std::string("\x81\0z", 3)), std::string("?\0z", 3))
      << "a lead byte before a NUL is broken; the NUL stays";
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
