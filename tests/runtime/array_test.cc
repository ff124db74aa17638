#include "runtime/array.h"

#include <gtest/gtest.h>

#include <cstring>

#include "runtime/heap.h"
#include "runtime/text.h"
#include "tests/runtime/test_util.h"

namespace memo {
namespace {

using testing::Bytes;

constexpr const char* kIndexBelowOne = "错误代码：4\r\n\r\n错误信息：数组成员引用下标必须大于等于1";
constexpr const char* kIndexBeyondEnd = "错误代码：1\r\n\r\n错误信息：数组成员引用下标超出定义范围";

TEST(ArrayTest, ElementSizes) {
  EXPECT_EQ(ElementSize(TypeTag::kText), sizeof(void*));
  EXPECT_EQ(ElementSize(TypeTag::kByteSet | kArrayFlag), sizeof(void*));
  EXPECT_EQ(ElementSize(TypeTag::kInt | kArrayFlag), 4u);
  EXPECT_EQ(ElementSize(TypeTag::kDouble), 8u);
  EXPECT_EQ(ElementSize(TypeTag::kByte), 1u);
}

TEST(ArrayTest, TextArrayLayoutAndAccess) {
  void* array = MakeTextArray({CopyText("a"), nullptr, CopyText("c")});
  int32_t header[2];
  std::memcpy(header, array, sizeof header);
  EXPECT_EQ(header[0], 1);
  EXPECT_EQ(header[1], 3);
  EXPECT_EQ(ArrayDimensionCount(array), 1);
  EXPECT_EQ(ArrayElementCount(array), 3);
  EXPECT_EQ(Bytes(TextArrayElement(array, 1)), "a");
  EXPECT_EQ(TextArrayElement(array, 2), nullptr);
  EXPECT_EQ(Bytes(TextArrayElement(array, 3)), "c");
  EXPECT_EQ(ArrayElement(array, TypeTag::kText, 3),
            static_cast<uint8_t*>(array) + 8 + 2 * sizeof(void*));
  ReleaseArray(TypeTag::kText, array);
}

TEST(ArrayTest, EmptyAndNullArraysHaveNoElements) {
  void* empty = NewEmptyArray();
  EXPECT_FALSE(IsConstant(empty));
  EXPECT_EQ(ArrayDimensionCount(empty), 1);
  EXPECT_EQ(ArrayElementCount(empty), 0);
  Release(empty);
  EXPECT_EQ(ArrayElementCount(nullptr), 0);
  const int32_t no_dimensions[1] = {0};
  EXPECT_EQ(ArrayElementCount(no_dimensions), 0);
}

TEST(ArrayTest, MultiDimensionCountIsTheProduct) {
  // Two dimensions put the elements at offset 12: an unaligned int array is still readable.
  const int32_t block[] = {2, 2, 3, 10, 11, 12, 13, 14, 15};
  EXPECT_EQ(ArrayElementCount(block), 6);
  void* last = ArrayElement(const_cast<int32_t*>(block), TypeTag::kInt, 6);
  int32_t value;
  std::memcpy(&value, last, sizeof value);
  EXPECT_EQ(value, 15);
  const int32_t negative[] = {2, 2, -3};
  EXPECT_EQ(ArrayElementCount(negative), 0);
}

TEST(ArrayDeathTest, IndexBelowOneIsError4) {
  static const int32_t block[] = {1, 2, 7, 8};
  EXPECT_EXIT(ArrayElement(const_cast<int32_t*>(block), TypeTag::kInt, 0),
              ::testing::ExitedWithCode(255), kIndexBelowOne);
  EXPECT_EXIT(ArrayElement(const_cast<int32_t*>(block), TypeTag::kInt, -5),
              ::testing::ExitedWithCode(255), kIndexBelowOne);
}

TEST(ArrayDeathTest, IndexBeyondTheCountIsError1) {
  static const int32_t block[] = {1, 2, 7, 8};
  EXPECT_EXIT(ArrayElement(const_cast<int32_t*>(block), TypeTag::kInt, 3),
              ::testing::ExitedWithCode(255), kIndexBeyondEnd);
  static const int32_t empty[] = {1, 0};
  EXPECT_EXIT(TextArrayElement(empty, 1), ::testing::ExitedWithCode(255), kIndexBeyondEnd);
  EXPECT_EXIT(TextArrayElement(nullptr, 1), ::testing::ExitedWithCode(255), kIndexBeyondEnd);
  // Index 0 of an empty array: the lower bound is checked first.
  EXPECT_EXIT(TextArrayElement(empty, 0), ::testing::ExitedWithCode(255), kIndexBelowOne);
}

}  // namespace
}  // namespace memo
