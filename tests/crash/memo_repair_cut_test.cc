// The repair an open makes to a MemoFile that lost its last blocks (a free list that led into the
// lost blocks dropped, then the count lowered), cut after every byte of both writes by a full disk:
// the next open still repairs or accepts the file, the chains that survived read back, and a new
// memo takes blocks without touching them.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "db/coding.h"
#include "db/memo_format.h"
#include "tests/crash/crash_db.h"
#include "tests/crash/syscall_faults.h"
#include "tests/support/test_util.h"

namespace memo::crash {
namespace {

using db::testing::TempDir;

int32_t HeaderWord(const std::string& memo, uint64_t offset) {
  return db::DecodeInt32(memo.data() + offset);
}

std::string MemoOf(db::DatabaseHandle* handle, int32_t record) {
  handle->set_current_record(record);
  std::string bytes;
  EXPECT_EQ(handle->ReadFieldBytes(2, &bytes), db::kOk) << "record " << record;
  return bytes;
}

TEST(MemoRepairCutTest, EveryCutOfTheRepairLeavesAFileThatOpensAndKeepsItsChains) {
  TempDir dir;
  const std::string path = dir.File("t.edb");
  CreateTable(path);
  {
    auto handle = db::testing::MustOpen(path);
    ASSERT_TRUE(handle);
    for (int i = 0; i < 4; ++i) {  // three blocks each: 1-3, 4-6, 7-9, 10-12
      Op add;
      add.kind = Op::kAdd;
      add.values = {0, "r", i, Text(1200, i), ""};
      ASSERT_EQ(Apply(handle.get(), add), db::kOk);
    }
    Op empty;  // 7-9 onto the free list, below record 3's chain
    empty.kind = Op::kModify;
    empty.position = 2;
    empty.given = 4;
    empty.values = {0, "", 0, "", ""};
    ASSERT_EQ(Apply(handle.get(), empty), db::kOk);
  }
  Snapshot whole = Snapshot::Take(path);
  ASSERT_EQ(HeaderWord(whole.memo, db::kMemoBlockCountOffset), 13);
  ASSERT_EQ(HeaderWord(whole.memo, db::kMemoFreeCountOffset), 3);
  Snapshot cut = whole;
  cut.memo.resize(7 * db::kMemoBlockSize + 100);  // blocks 7.. lost: the free list and record 3

  const struct {
    int64_t write;
    size_t bytes;
  } writes[] = {{1, 8}, {2, 4}};  // the free count and head, then the count
  for (const auto& w : writes)
    for (size_t keep = 0; keep < w.bytes; ++keep) {
      SCOPED_TRACE("repair write " + std::to_string(w.write) + " cut after " +
                   std::to_string(keep) + " bytes");
      cut.Restore(path);
      {
        SyscallFaults faults;
        faults.CutWrite(w.write, keep, AfterCut::kDiskFull);
        std::unique_ptr<db::DatabaseHandle> handle;
        db::IgnoreCode(db::DatabaseHandle::Open(path, {}, &handle));  // fails: the disk is full
        ASSERT_TRUE(faults.fired());
      }
      auto handle = db::testing::MustOpen(path);
      ASSERT_TRUE(handle) << "the next open repairs or accepts what the cut left";
      EXPECT_EQ(MemoOf(handle.get(), 0), Text(1200, 0));
      EXPECT_EQ(MemoOf(handle.get(), 1), Text(1200, 1));
      Op add;
      add.kind = Op::kAdd;
      add.values = {0, "new", 9, Text(2600, 9), ""};
      ASSERT_EQ(Apply(handle.get(), add), db::kOk);
      EXPECT_EQ(MemoOf(handle.get(), 4), Text(2600, 9));
      EXPECT_EQ(MemoOf(handle.get(), 0), Text(1200, 0)) << "the new memo took no block of it";
      EXPECT_EQ(MemoOf(handle.get(), 1), Text(1200, 1));
      handle.reset();
      auto again = db::testing::MustOpen(path);
      ASSERT_TRUE(again) << "and the file opens once more";
    }
}

}  // namespace
}  // namespace memo::crash
