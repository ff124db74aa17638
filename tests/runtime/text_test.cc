#include "runtime/text.h"

#include <gtest/gtest.h>

#include <cstring>

#include "runtime/heap.h"
#include "runtime/literal.h"
#include "tests/runtime/test_util.h"

namespace memo {
namespace {

using testing::Consume;

TEST(TextTest, CopyOfEmptyOrNullIsNull) {
  EXPECT_EQ(CopyText(nullptr), nullptr);
  EXPECT_EQ(CopyText(""), nullptr);
  EXPECT_EQ(CopyBytesAsText("abc", 0), nullptr);
  EXPECT_EQ(CopyBytesAsText("abc", -3), nullptr);
  EXPECT_EQ(CopyStringAsText(""), nullptr);
  EXPECT_EQ(Consume(CopyText("abc")), "abc");
  EXPECT_EQ(Consume(CopyBytesAsText("abcdef", 2)), "ab");
}

TEST(TextTest, CopyIsANewBlock) {
  const char* literal = Gbk("分类");
  char* copy = CopyText(literal);
  EXPECT_NE(copy, literal);
  EXPECT_FALSE(IsConstant(copy));
  EXPECT_STREQ(copy, literal);
  Release(copy);
}

TEST(TextTest, CompareTreatsNullAsEmpty) {
  char* empty_copy = CopyText("");
  EXPECT_EQ(CompareTexts(empty_copy, ""), 0);
  EXPECT_EQ(CompareTexts(nullptr, nullptr), 0);
  EXPECT_EQ(CompareTexts(nullptr, kEmptyText), 0);
  EXPECT_EQ(CompareTexts("", nullptr), 0);
  EXPECT_EQ(CompareTexts(nullptr, "a"), -1);
  EXPECT_EQ(CompareTexts("a", nullptr), 1);
}

TEST(TextTest, CompareIsUnsignedBytewiseAndCaseSensitive) {
  EXPECT_NE(CompareTexts("ABC", "abc"), 0);
  EXPECT_EQ(CompareTexts("ABC", "abc"), -1);
  EXPECT_EQ(CompareTexts("abc", "abc"), 0);
  EXPECT_EQ(CompareTexts("ab", "abc"), -1);
  EXPECT_EQ(CompareTexts("abc", "ab"), 1);
  // GBK lead bytes are above 0x7F and must sort after ASCII.
  EXPECT_EQ(CompareTexts(Gbk("帐号"), "z"), 1);
  EXPECT_EQ(CompareTexts("z", Gbk("帐号")), -1);
}

TEST(TextTest, LengthCountsBytes) {
  EXPECT_EQ(TextLength(nullptr), 0);
  EXPECT_EQ(TextLength(""), 0);
  EXPECT_EQ(TextLength(Gbk("帐号a")), 5);
}

TEST(TextTest, JoinAlwaysReturnsABlock) {
  char* empty = JoinTexts({nullptr, "", nullptr});
  ASSERT_NE(empty, nullptr);
  EXPECT_FALSE(IsConstant(empty));
  EXPECT_EQ(empty[0], '\0');
  Release(empty);
  EXPECT_EQ(Consume(JoinTexts({"C:", nullptr, "\\b.mcn"})), "C:\\b.mcn");
  EXPECT_EQ(Consume(JoinTexts({"only"})), "only");
  const char* parts[] = {"a", nullptr, "bc", ""};
  EXPECT_EQ(Consume(JoinTextList(parts, 4)), "abc");
  char* none = JoinTextList(nullptr, 0);
  ASSERT_NE(none, nullptr);
  EXPECT_EQ(none[0], '\0');
  Release(none);
}

TEST(TextTest, ByteSetOfZeroBytesIsNull) {
  EXPECT_EQ(MakeByteSet("x", 0), nullptr);
  EXPECT_EQ(ByteSetSize(nullptr), 0);
  EXPECT_EQ(ByteSetData(nullptr), nullptr);
  EXPECT_EQ(ByteSetSize(EmptyByteSet()), 0);
}

TEST(TextTest, ByteSetLayout) {
  const unsigned char bytes[] = {0x41, 0x00, 0x42};
  void* set = MakeByteSet(bytes, 3);
  int32_t header[2];
  std::memcpy(header, set, sizeof header);
  EXPECT_EQ(header[0], 1);
  EXPECT_EQ(header[1], 3);
  EXPECT_EQ(ByteSetSize(set), 3);
  EXPECT_EQ(std::memcmp(ByteSetData(set), bytes, 3), 0);
  EXPECT_EQ(ByteSetData(set), static_cast<uint8_t*>(set) + 8);
  Release(set);
}

}  // namespace
}  // namespace memo
