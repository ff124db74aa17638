#include "runtime/value.h"

#include <gtest/gtest.h>

#include "runtime/heap.h"

namespace memo {
namespace {

TEST(ValueTest, CellIsThreeWordsLowHighTag) {
  TypedValue cell;
  cell.SetInt64(0x0000000100000005);
  EXPECT_EQ(cell.low, 5u);
  EXPECT_EQ(cell.high, 1u);
  EXPECT_EQ(reinterpret_cast<const char*>(&cell.tag) - reinterpret_cast<const char*>(&cell), 8);
  EXPECT_FALSE(TypedValue{}.Present());
}

TEST(ValueTest, NumericTagsFollowTheirFormula) {
  const uint32_t numeric[] = {TypeTag::kByte, TypeTag::kShort, TypeTag::kInt,
                              TypeTag::kLong, TypeTag::kFloat, TypeTag::kDouble};
  for (uint32_t n = 1; n <= 6; ++n) EXPECT_EQ(numeric[n - 1], 0x80000001u | (n << 8)) << n;
  EXPECT_EQ(TypeTag::kBool, 0x80000002u);
  EXPECT_EQ(TypeTag::kDateTime, 0x80000003u);
  EXPECT_EQ(TypeTag::kText, 0x80000004u);
  EXPECT_EQ(TypeTag::kByteSet, 0x80000005u);
  EXPECT_EQ(TypeTag::kSubroutinePtr, 0x80000006u);
  EXPECT_EQ(TypeTag::kSubStatement, 0x80000008u);
  EXPECT_EQ(ElementTag(TypeTag::kText | kArrayFlag), TypeTag::kText);
}

TEST(ValueTest, TagClassesInTheirOrder) {
  EXPECT_EQ(ClassOfTag(0), TagClass::kNone);
  EXPECT_EQ(ClassOfTag(TypeTag::kByte), TagClass::kBasic);
  EXPECT_EQ(ClassOfTag(TypeTag::kSubStatement), TagClass::kBasic);
  EXPECT_EQ(ClassOfTag(TypeTag::kText | kArrayFlag), TagClass::kBasic);
  EXPECT_EQ(ClassOfTag(0x80000000u), TagClass::kBasic);
  EXPECT_EQ(ClassOfTag(0xBFFFFFFFu), TagClass::kBasic);
  EXPECT_EQ(ClassOfTag(0x40000000u), TagClass::kSecond);
  EXPECT_EQ(ClassOfTag(0x7FFFFFFFu), TagClass::kSecond);
  EXPECT_EQ(ClassOfTag(0xC0000000u), TagClass::kLibrary);
  EXPECT_EQ(ClassOfTag(0x3FFFFFFFu), TagClass::kLibrary);
  EXPECT_EQ(ClassOfTag(0x00010001u), TagClass::kLibrary);
  // An array of a library type is classified by its element tag.
  EXPECT_EQ(ClassOfTag(ElementTag(0x00010005u | kArrayFlag)), TagClass::kLibrary);
  EXPECT_EQ(LibraryOfTag(ElementTag(0x00010005u | kArrayFlag)), 1u);
}

TEST(ValueTest, LibraryTagsNumberTheLibraryAndTheType) {
  EXPECT_EQ(LibraryTypeTag(1, 1), 0x00010001u);   // the window type of the first library
  EXPECT_EQ(LibraryTypeTag(1, 5), 0x00010005u);   // an edit box
  EXPECT_EQ(LibraryTypeTag(1, 14), 0x0001000Eu);  // a combo box
  EXPECT_EQ(LibraryOfTag(0x0002000Eu), 2u);
  EXPECT_EQ(TypeInLibrary(0x0002000Eu), 14u);
}

TEST(ValueTest, ReleasingValuesOfTagsWithoutBlocksTouchesNothing) {
  // A cell of the second class (where the array flag's bit is part of the tag) or of a library
  // type holds no block, whatever its data words say: releasing it must leave the block alone,
  // or the sanitizer reports the second release below.
  for (uint32_t tag : {0x60000000u, 0x60000004u, 0x40000004u, 0x00010005u, TypeTag::kDouble}) {
    void* block = Allocate(16);
    TypedValue cell;
    cell.SetPointer(block);
    cell.tag = tag;
    ReleaseValue(&cell);
    EXPECT_FALSE(cell.Present()) << tag;
    Release(block);
  }
}

}  // namespace
}  // namespace memo
