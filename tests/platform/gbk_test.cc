// The character walk of GBK texts: where characters start and end, prefixes that fit, case
// conversion that leaves two-byte characters alone, and character codes.
#include "platform/gbk.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace memo {
namespace {

// "中" is D6 D0; "文" is CE C4; "\x81\x41" has a trail byte that looks like 'A'.
const std::string kMixed =
    "a\xD6\xD0"
    "b\x81\x41";

std::vector<size_t> Starts(std::string_view text) {
  std::vector<size_t> starts;
  for (size_t i = 0; i < text.size(); i = NextGbkChar(text, i)) starts.push_back(i);
  return starts;
}

TEST(GbkTest, LeadBytesTakeTheNextByteUnlessItIsMissingOrNul) {
  EXPECT_FALSE(IsLeadByte(0x7F));
  EXPECT_TRUE(IsLeadByte(0x80));
  EXPECT_TRUE(IsLeadByte(0xFF));
  EXPECT_EQ(Starts(kMixed), (std::vector<size_t>{0, 1, 3, 4}));
  EXPECT_EQ(Starts("\x80"
                   "a\xFF"
                   "b"),
            (std::vector<size_t>{0, 2}));
  EXPECT_EQ(Starts("ab\x81"), (std::vector<size_t>{0, 1, 2})) << "a broken character at the end";
  const std::string nul("\x81\0z", 3);
  EXPECT_EQ(Starts(nul), (std::vector<size_t>{0, 1, 2}));
  EXPECT_EQ(GbkCharSize(kMixed, 1), 2u);
  EXPECT_EQ(GbkCharSize(kMixed, 6), 0u);
  EXPECT_EQ(NextGbkChar(kMixed, 99), kMixed.size());
}

TEST(GbkTest, PreviousAndStartNeverLandInsideACharacter) {
  EXPECT_EQ(PreviousGbkChar(kMixed, 0), 0u);
  EXPECT_EQ(PreviousGbkChar(kMixed, 3), 1u);
  EXPECT_EQ(PreviousGbkChar(kMixed, 2), 1u) << "from inside 中, its own start";
  EXPECT_EQ(PreviousGbkChar(kMixed, 6), 4u);
  EXPECT_EQ(PreviousGbkChar(kMixed, 60), 4u);
  EXPECT_EQ(GbkCharStart(kMixed, 2), 1u);
  EXPECT_EQ(GbkCharStart(kMixed, 5), 4u) << "the trail 0x41 is no character of its own";
  EXPECT_EQ(GbkCharStart(kMixed, 3), 3u);
  EXPECT_EQ(GbkCharStart(kMixed, 6), 6u);
  EXPECT_TRUE(IsGbkCharBoundary(kMixed, 0));
  EXPECT_FALSE(IsGbkCharBoundary(kMixed, 2));
  EXPECT_FALSE(IsGbkCharBoundary(kMixed, 5));
  EXPECT_TRUE(IsGbkCharBoundary(kMixed, 6));
  EXPECT_FALSE(IsGbkCharBoundary(kMixed, 7));
  EXPECT_EQ(GbkCharCount(kMixed), 4u);
  EXPECT_EQ(GbkCharCount(""), 0u);
}

TEST(GbkTest, FitPrefixNeverSplitsACharacter) {
  EXPECT_EQ(GbkFitPrefix(kMixed, 0), 0u);
  EXPECT_EQ(GbkFitPrefix(kMixed, 1), 1u);
  EXPECT_EQ(GbkFitPrefix(kMixed, 2), 1u) << "中 would be cut in half";
  EXPECT_EQ(GbkFitPrefix(kMixed, 3), 3u);
  EXPECT_EQ(GbkFitPrefix(kMixed, 5), 4u);
  EXPECT_EQ(GbkFitPrefix(kMixed, 6), 6u);
  EXPECT_EQ(GbkFitPrefix(kMixed, 100), 6u);
  EXPECT_EQ(GbkFitPrefix("ab\x81", 3), 3u) << "a broken character is one byte";
}

TEST(GbkTest, CaseConversionTouchesOnlyAsciiLettersOfTheirOwn) {
  EXPECT_EQ(GbkAsciiToUpper("ab" + kMixed + "z9"),
            "AB"
            "A\xD6\xD0"
            "B\x81\x41"
            "Z9");
  // The trail byte 0x61 of "\x81\x61" looks like 'a' and stays.
  EXPECT_EQ(GbkAsciiToUpper("\x81\x61"
                            "a"),
            "\x81\x61"
            "A");
  EXPECT_EQ(GbkAsciiToLower("AbC\x81\x41"
                            "D"),
            "abc\x81\x41"
            "d");
  EXPECT_EQ(GbkAsciiToLower(""), "");
}

TEST(GbkTest, CharacterCodesAndTheirBytes) {
  EXPECT_EQ(GbkCharCodeAt(kMixed, 0), static_cast<uint32_t>('a'));
  EXPECT_EQ(GbkCharCodeAt(kMixed, 1), 0xD6D0u);
  EXPECT_EQ(GbkCharCodeAt("\x81", 0), 0x81u) << "a broken character is its lead byte";
  EXPECT_EQ(GbkCharCodeAt(kMixed, 6), 0u);
  EXPECT_EQ(GbkCharBytes('a'), "a");
  EXPECT_EQ(GbkCharBytes(0xD6D0), "\xD6\xD0");
  EXPECT_EQ(GbkCharBytes(0), "");
  EXPECT_EQ(GbkCharBytes(0x81), "") << "a lead byte alone is no character";
  EXPECT_EQ(GbkCharBytes(0x4142), "") << "the first byte is no lead byte";
  EXPECT_EQ(GbkCharBytes(0xD600), "");
  EXPECT_EQ(GbkCharBytes(0x1D6D0), "");
}

}  // namespace
}  // namespace memo
