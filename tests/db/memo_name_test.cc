// The MemoFile a RecordFile takes: its extension replaced by "EDT", except for names with nothing
// before their last '.', which keep the whole name, so that ".a" and ".b" never share ".EDT".
#include <gtest/gtest.h>

#include "db/engine_code.h"
#include "db/file_names.h"
#include "tests/support/test_util.h"

namespace memo::db {
namespace {

using testing::G;

TEST(MemoFileNameTest, ExtensionReplacedOrKeptWhole) {
  EXPECT_EQ(MemoFileName("/d/a.mcn"), "/d/a.EDT");
  EXPECT_EQ(MemoFileName("/d/a.b.mcn"), "/d/a.b.EDT");
  EXPECT_EQ(MemoFileName("/d/.a"), "/d/.a.EDT");
  EXPECT_EQ(MemoFileName("/d/.b"), "/d/.b.EDT");
  EXPECT_EQ(MemoFileName(".a"), ".a.EDT");
  EXPECT_EQ(MemoFileName("/d/..a"), "/d/..EDT") << "a '.' before the last one is a part";
  EXPECT_EQ(MemoFileName("/d.x/.a"), "/d.x/.a.EDT") << "a '.' of a directory is not the name's";
  EXPECT_EQ(MemoFileName("d\\.a"), "d\\.a.EDT");
  // 0x5C after a lead byte is a trail byte, not a `\`: ".a" here does not start a name.
  EXPECT_EQ(MemoFileName("\x81\x5c.a"), "\x81\x5c.EDT");
  EXPECT_EQ(MemoFileName(G("表.a")), G("表.EDT"));
  EXPECT_EQ(MemoFileName(G("/目录/.a")), G("/目录/.a.EDT"));
}

TEST(MemoFileNameTest, TwoDotNamesKeepTheirOwnMemos) {
  testing::TempDir dir;
  const std::string a = dir.File(".a"), b = dir.File(".b");
  for (const std::string& path : {a, b}) {
    testing::MustCreate(path, {{"t", kFieldText, 4}, {"m", kFieldMemo, 0}});
  }
  EXPECT_TRUE(testing::Exists(dir.File(".a.EDT")));
  EXPECT_TRUE(testing::Exists(dir.File(".b.EDT")));
  EXPECT_FALSE(testing::Exists(dir.File(".EDT")));
  const std::string text_a(1300, 'a'), text_b(900, 'b');
  {
    auto handle_a = testing::MustOpen(a);
    auto handle_b = testing::MustOpen(b);
    ASSERT_TRUE(handle_a && handle_b);
    TypedValue values_a[] = {testing::TextCell("x"), testing::TextCell(text_a)};
    TypedValue values_b[] = {testing::TextCell("y"), testing::TextCell(text_b)};
    ASSERT_EQ(handle_a->AddRecord(values_a, 2), kOk);
    ASSERT_EQ(handle_b->AddRecord(values_b, 2), kOk);
    ASSERT_EQ(handle_a->AddRecord(values_a, 2), kOk);
  }
  auto handle_a = testing::MustOpen(a);
  auto handle_b = testing::MustOpen(b);
  for (int32_t r = 0; r < 2; ++r) {
    handle_a->set_current_record(r);
    EXPECT_EQ(testing::FieldText(handle_a.get(), "m"), text_a) << r;
  }
  handle_b->set_current_record(0);
  EXPECT_EQ(testing::FieldText(handle_b.get(), "m"), text_b);
}

}  // namespace
}  // namespace memo::db
