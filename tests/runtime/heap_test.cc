#include "runtime/heap.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <thread>
#include <vector>

#include "runtime/array.h"
#include "runtime/literal.h"
#include "runtime/text.h"
#include "tests/runtime/test_util.h"

namespace memo {
namespace {

using testing::Bytes;

// A constant byte-set image as the application carries its data files: {1, n, bytes}.
struct Image {
  int32_t dims = 1;
  int32_t size = 6;
  char bytes[6] = {'W', 'E', 'D', 'B', 1, 2};
};

TEST(HeapTest, ReleasingNullOrAStringLiteralDoesNothing) {
  static const char literal[] = "abc";
  Release(nullptr);
  Release(const_cast<char*>(literal));
  Release(const_cast<char*>(literal + 1));  // a pointer into the literal, too
  EXPECT_STREQ(literal, "abc");
  EXPECT_TRUE(IsConstant(literal));
  EXPECT_TRUE(IsConstant(kEmptyText));
  EXPECT_TRUE(IsConstant(EmptyByteSet()));
}

TEST(HeapTest, HeapBlocksAreNotConstant) {
  void* block = Allocate(16);
  EXPECT_FALSE(IsConstant(block));
  EXPECT_FALSE(IsConstant(nullptr));
  int on_stack = 0;
  EXPECT_FALSE(IsConstant(&on_stack));
  Release(block);
}

TEST(HeapTest, InternedLiteralsAreConstantAndSurviveRelease) {
  const char* text = Gbk("温馨提示");
  EXPECT_TRUE(IsConstant(text));
  Release(const_cast<char*>(text));
  EXPECT_EQ(Bytes(text), "\xCE\xC2\xDC\xB0\xCC\xE1\xCA\xBE");
  EXPECT_EQ(Gbk("温馨提示"), text) << "the same literal interns to the same pointer";
  EXPECT_EQ(Gbk(""), kEmptyText);
}

// The pool remembers the pointers it was given; a buffer given again with other bytes is
// interned by its bytes, never served the text it held before.
TEST(HeapTest, ABufferInternedAgainWithOtherBytesGivesItsNewText) {
  char buffer[16] = "abc";
  const char* first = Gbk(buffer);
  EXPECT_EQ(Bytes(first), "abc");
  std::strcpy(buffer, "\xe6\x8f\x90");  // "提" in UTF-8
  const char* second = Gbk(buffer);
  EXPECT_EQ(Bytes(second), "\xCC\xE1");
  EXPECT_NE(first, second);
  EXPECT_EQ(Gbk(buffer), second);
  EXPECT_EQ(Gbk("abc"), first) << "the same bytes from another pointer intern to the same text";
  std::strcpy(buffer, "abc");
  EXPECT_EQ(Gbk(buffer), first);
}

// A registered image outside the executable (as a decoded resource would be): a heap buffer of
// exactly the image's size, so that the sanitizer catches any read past the region's end. It stays
// registered, so it is never freed.
Image* RegisteredImage() {
  static Image* image = [] {
    auto* block = static_cast<Image*>(AllocateNoCheck(sizeof(Image)));
    std::memset(static_cast<void*>(block), 0, sizeof(Image));  // padding included
    *block = Image{};
    RegisterConstant(block, sizeof(Image));
    return block;
  }();
  return image;
}

TEST(HeapTest, ReallocatingARegisteredImageCopiesItAndLeavesItIntact) {
  Image* image = RegisteredImage();
  ASSERT_TRUE(IsConstant(image));
  ASSERT_TRUE(IsConstant(image->bytes + 5));
  EXPECT_FALSE(IsConstant(reinterpret_cast<const char*>(image) + sizeof(Image)));

  // Larger than the region: receives the whole region, the tail is zero.
  auto* grown = static_cast<char*>(Reallocate(image, sizeof(Image) + 8));
  ASSERT_NE(grown, reinterpret_cast<char*>(image));
  EXPECT_FALSE(IsConstant(grown));
  EXPECT_EQ(std::memcmp(grown, image, sizeof(Image)), 0);
  for (size_t i = sizeof(Image); i < sizeof(Image) + 8; ++i) EXPECT_EQ(grown[i], 0);
  grown[8] = 'X';
  EXPECT_EQ(image->bytes[0], 'W');
  Release(grown);

  // From the middle of the region: only the bytes up to its end.
  const size_t left = sizeof(Image) - (offsetof(Image, bytes) + 4);  // 2 bytes and the padding
  auto* tail = static_cast<char*>(Reallocate(image->bytes + 4, left + 4));
  EXPECT_EQ(tail[0], 1);
  EXPECT_EQ(tail[1], 2);
  for (size_t i = left; i < left + 4; ++i) EXPECT_EQ(tail[i], 0);
  Release(tail);

  // Smaller: only the bytes asked for.
  auto* head = static_cast<char*>(Reallocate(image, 10));
  EXPECT_EQ(std::memcmp(head + 8, "WE", 2), 0);
  Release(head);

  Release(image);
  EXPECT_EQ(ByteSetSize(image), 6);
  EXPECT_EQ(std::memcmp(ByteSetData(image), "WEDB\1\2", 6), 0);
}

// Regions registered out of address order: each is found from its first to its last byte, the
// bytes around them are not, and blocks registered meanwhile by another thread never make a
// lookup miss a region that was there before it started.
TEST(HeapTest, RegionsAreFoundWhateverTheOrderTheyCameIn) {
  constexpr int kRegions = 24;
  constexpr size_t kSize = 40;
  // One heap buffer carved into slots with a gap after each; registered from the middle outwards.
  static char* buffer = static_cast<char*>(AllocateNoCheck(kRegions * 2 * kSize));
  auto slot = [](int i) { return buffer + static_cast<size_t>(i) * 2 * kSize; };
  for (int k = 0; k < kRegions; ++k) {
    int i = k % 2 == 0 ? kRegions / 2 + k / 2 : kRegions / 2 - 1 - k / 2;
    RegisterConstant(slot(i), kSize);
  }
  std::vector<void*> later;
  std::thread registering([&later] {
    for (int i = 0; i < 50; ++i) {
      void* block = AllocateNoCheck(8);
      RegisterConstant(block, 8);
      later.push_back(block);
    }
  });
  for (int round = 0; round < 20; ++round) {
    for (int i = 0; i < kRegions; ++i) {
      ASSERT_TRUE(IsConstant(slot(i))) << i;
      ASSERT_TRUE(IsConstant(slot(i) + kSize - 1)) << i;
      ASSERT_FALSE(IsConstant(slot(i) + kSize)) << i;
      ASSERT_FALSE(IsConstant(slot(i) + 2 * kSize - 1)) << i;
    }
  }
  registering.join();
  for (void* block : later) EXPECT_TRUE(IsConstant(block));
}

TEST(HeapTest, ReallocatingAStaticImageLeavesItIntact) {
  static Image image;  // inside the executable image: constant without registration
  RegisterConstant(&image, sizeof image);
  auto* copy = static_cast<char*>(Reallocate(&image, sizeof image));
  EXPECT_EQ(std::memcmp(copy, &image, sizeof image), 0);
  Release(copy);
  Release(&image);
  EXPECT_EQ(image.bytes[0], 'W');
}

TEST(HeapTest, ReallocatingAnUnregisteredLiteralCopiesItAsAText) {
  static const char literal[] = "hello";
  auto* copy = static_cast<char*>(Reallocate(const_cast<char*>(literal), 32));
  EXPECT_STREQ(copy, "hello");
  EXPECT_STREQ(literal, "hello");
  Release(copy);
}

TEST(HeapTest, ReallocateKeepsContentsAndNullActsAsAllocate) {
  auto* block = static_cast<char*>(Reallocate(nullptr, 4));
  std::memcpy(block, "abc", 4);
  block = static_cast<char*>(Reallocate(block, 4096));
  EXPECT_STREQ(block, "abc");
  block = static_cast<char*>(Reallocate(block, 2));
  EXPECT_EQ(block[0], 'a');
  Release(block);
}

TEST(HeapTest, ReleaseArrayReleasesTextElements) {
  // Leak-checked by the sanitizer run: every element must go with the block.
  void* array = MakeTextArray({CopyText("one"), nullptr, CopyText("three")});
  ReleaseArray(TypeTag::kText | kArrayFlag, array);
  ReleaseArray(TypeTag::kText, nullptr);
  ReleaseArray(TypeTag::kInt, NewEmptyArray());
}

TEST(HeapTest, OwnersReleaseOnDestruction) {
  { TextOwner owner(CopyText("owned")); }
  TextOwner moved_from(CopyText("moved"));
  TextOwner moved_to(std::move(moved_from));
  EXPECT_EQ(moved_from.get(), nullptr);
  EXPECT_STREQ(moved_to.get(), "moved");
  char* taken = moved_to.Take();
  EXPECT_EQ(moved_to.get(), nullptr);
  Release(taken);
  { ArrayOwner array(TypeTag::kText, MakeTextArray({CopyText("x")})); }
  TypedValue value;
  value.SetPointer(CopyText("cell"));
  value.tag = TypeTag::kText;
  { ValueOwner owner(value); }
  value.SetPointer(MakeByteSet("ab", 2));
  value.tag = TypeTag::kByteSet;
  ReleaseValue(&value);
  EXPECT_EQ(value.tag, 0u);
  EXPECT_EQ(value.Pointer(), nullptr);
}

TEST(HeapDeathTest, AllocationFailureIsFatalWithTheSize) {
  EXPECT_EXIT((void)Allocate(static_cast<size_t>(1) << 62), ::testing::ExitedWithCode(255),
              "分配 4611686018427387904 字节内存失败!");
  EXPECT_EQ(AllocateNoCheck(static_cast<size_t>(1) << 62), nullptr);
}

}  // namespace
}  // namespace memo
