// A modify or field write refused part-way (an ordinary -28: another handle holds a block the
// write needs) leaves the record with exactly its old values: an earlier field set to empty
// must not have freed its chain, so no later add can take those blocks while the record still
// names them.
#include <gtest/gtest.h>

#include "db/coding.h"
#include "db/engine_code.h"
#include "db/memo_format.h"
#include "tests/support/test_util.h"

namespace memo::db {
namespace {

class FailedWriteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = dir_.File("w.edb");
    testing::MustCreate(path_, {{"k", kFieldText, 4}, {"m", kFieldMemo, 0}, {"f", kFieldMemo, 0}});
    writer_ = testing::MustOpen(path_);
    blocker_ = testing::MustOpen(path_);
    ASSERT_TRUE(writer_ && blocker_);
    Add("r0", m0_, f0_);  // m: blocks 1-3, f: 4-5
    Add("r1", "x", "y");  // 6, 7
  }

  void Add(const char* k, const std::string& m, const std::string& f) {
    TypedValue values[] = {testing::TextCell(k), testing::TextCell(m), testing::TextCell(f)};
    ASSERT_EQ(writer_->AddRecord(values, 3), kOk);
  }

  // Read through the writer: a new handle's open would wait for the blocker's block lock.
  void ExpectRecord0(const std::string& m, const std::string& f) {
    writer_->set_current_record(0);
    EXPECT_EQ(testing::FieldText(writer_.get(), "m"), m);
    EXPECT_EQ(testing::FieldText(writer_.get(), "f"), f);
  }

  LockTable* BlockerMemoLocks() { return blocker_->memo_file()->locks(); }

  testing::TempDir dir_;
  std::string path_;
  std::unique_ptr<DatabaseHandle> writer_, blocker_;
  const std::string m0_ = std::string(1200, 'm'), f0_ = std::string(600, 'f');
};

TEST_F(FailedWriteTest, ModifyEmptyingOneFieldAndRefusedOnTheNextKeepsBoth) {
  ASSERT_EQ(BlockerMemoLocks()->Lock(4 * kMemoBlockSize, 0), kOk);  // f's first block
  writer_->set_current_record(0);
  const std::string longer(2000, 'g');
  TypedValue values[] = {TypedValue{}, testing::TextCell(""), testing::TextCell(longer)};
  EXPECT_EQ(writer_->ModifyRecord(values, 3), kLockFailed);
  ExpectRecord0(m0_, f0_);

  // Nothing was freed: a new memo goes past the end instead of into record 0's blocks.
  ASSERT_EQ(BlockerMemoLocks()->Unlock(4 * kMemoBlockSize), kOk);
  Add("r2", std::string(1400, 'n'), "");
  ExpectRecord0(m0_, f0_);
  MemoHeader header;
  ASSERT_EQ(writer_->memo_file()->ReadHeader(&header), kOk);
  EXPECT_EQ(header.block_count, 11);
  EXPECT_EQ(header.free_count, 0);

  // Once nothing is in the way the same modify goes through, and the freed blocks are reused.
  EXPECT_EQ(writer_->ModifyRecord(values, 3), kOk);
  ExpectRecord0("", longer);
}

TEST_F(FailedWriteTest, FieldWriteRefusedOnAFreeBlockKeepsTheOldValue) {
  // Record 1's memos freed: blocks 7 and 6 on the free list (record 2's block keeps them from
  // being trimmed); a growing write needs them.
  Add("r2", "z", "");
  writer_->set_current_record(1);
  TypedValue empty[] = {TypedValue{}, testing::TextCell(""), testing::TextCell("")};
  ASSERT_EQ(writer_->ModifyRecord(empty, 3), kOk);
  ASSERT_EQ(BlockerMemoLocks()->Lock(1 * kMemoBlockSize, 0), kOk);  // m's own first block
  writer_->set_current_record(0);
  const std::string w(3000, 'w'), v(1800, 'v');
  EXPECT_EQ(writer_->WriteField(1, testing::TextCell(w)), kLockFailed);
  ExpectRecord0(m0_, f0_);
  ASSERT_EQ(BlockerMemoLocks()->Unlock(1 * kMemoBlockSize), kOk);

  // A free block held by someone else refuses the allocation before anything is written.
  ASSERT_EQ(BlockerMemoLocks()->Lock(7 * kMemoBlockSize, 0), kOk);
  EXPECT_EQ(writer_->WriteField(2, testing::TextCell(v)), kLockFailed);
  ExpectRecord0(m0_, f0_);
  ASSERT_EQ(BlockerMemoLocks()->Unlock(7 * kMemoBlockSize), kOk);
  EXPECT_EQ(writer_->WriteField(2, testing::TextCell(v)), kOk);
  ExpectRecord0(m0_, v);
}

TEST_F(FailedWriteTest, ChainThroughBlocksTheHeaderDoesNotCountIsRefused) {
  // The header stops counting the last two blocks (record 1's): they are bytes past the end.
  std::string memo = testing::ReadAll(dir_.File("w.EDT"));
  EncodeInt32(memo.data() + kMemoBlockCountOffset, 6);
  testing::WriteAll(dir_.File("w.EDT"), memo);
  writer_->set_current_record(1);
  const std::string longer(900, 'l');
  TypedValue values[] = {TypedValue{}, testing::TextCell(longer), TypedValue{}};
  EXPECT_EQ(writer_->ModifyRecord(values, 3), kMemoAccessFailed)
      << "block 6 would be handed out again as a new block";
  EXPECT_EQ(testing::ReadAll(dir_.File("w.EDT")), memo);
}

}  // namespace
}  // namespace memo::db
