// Memo chains: sizes, reuse, the free list, the trailing trim, and damaged chains that must end
// in -59 instead of hanging or reading out of bounds.
#include <gtest/gtest.h>

#include "db/coding.h"
#include "db/engine_code.h"
#include "db/memo_file.h"
#include "db/memo_format.h"
#include "runtime/heap.h"
#include "runtime/text.h"
#include "tests/support/test_util.h"

namespace memo::db {
namespace {

using testing::G;

class MemoFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = dir_.File("m.edb");
    testing::MustCreate(
        path_,
        {{G("标题"), kFieldText, 8}, {G("正文"), kFieldMemo, 0}, {G("附件"), kFieldByteSet, 0}});
    OpenOptions options;
    options.share = ShareFromArgument(Share());
    handle_ = testing::MustOpen(path_, options);
    ASSERT_TRUE(handle_);
    memo_ = handle_->memo_file();
    ASSERT_NE(memo_, nullptr);
  }

  // 1: every block read and write takes its lock; 4: lock-free, blocks go in runs.
  virtual int Share() const { return 1; }

  std::string MemoPath() const { return dir_.File("m.EDT"); }
  uint64_t MemoSize() const { return testing::SizeOf(dir_.File("m.EDT")); }

  MemoHeader Header() {
    MemoHeader header;
    EXPECT_EQ(memo_->ReadHeader(&header), kOk);
    return header;
  }

  // The blocks of a chain, following next links (at most 100).
  std::vector<uint32_t> Chain(uint32_t first) {
    std::vector<uint32_t> blocks;
    for (uint32_t b = first; b != 0 && blocks.size() < 100;) {
      blocks.push_back(b);
      BlockLinks links;
      EXPECT_EQ(memo_->ReadBlock(b, &links, nullptr), kOk);
      b = links.next;
    }
    return blocks;
  }

  // The free list from the header, checking back links on the way.
  std::vector<uint32_t> FreeList() {
    std::vector<uint32_t> blocks;
    uint32_t previous = 0;
    for (uint32_t b = static_cast<uint32_t>(Header().free_head); b != 0 && blocks.size() < 100;) {
      BlockLinks links;
      EXPECT_EQ(memo_->ReadBlock(b, &links, nullptr), kOk);
      EXPECT_EQ(links.used, 0u) << b;
      EXPECT_EQ(links.prev, previous) << b;
      blocks.push_back(b);
      previous = b;
      b = links.next;
    }
    return blocks;
  }

  // Adds a record whose memo field holds `text`; returns the first block of its chain.
  uint32_t Add(const std::string& text) {
    TypedValue values[] = {testing::TextCell("t"), testing::TextCell(text)};
    EXPECT_EQ(handle_->AddRecord(values, 2), kOk);
    return FirstBlock(handle_->current_record());
  }

  int Modify(int32_t record, const std::string& text) {
    handle_->set_current_record(record);
    TypedValue values[] = {TypedValue{}, testing::TextCell(text)};
    return handle_->ModifyRecord(values, 2);
  }

  uint32_t FirstBlock(int32_t record) {
    std::string bytes;
    EXPECT_EQ(handle_->ReadRecordBytes(record, &bytes), kOk);
    return bytes.size() >= 16 ? DecodeFixed32(bytes.data() + 12) : 0;
  }

  std::string Read(int32_t record) {
    handle_->set_current_record(record);
    std::string bytes;
    EXPECT_EQ(handle_->ReadFieldBytes(1, &bytes), kOk);
    return bytes;
  }

  // Overwrites one link word of a block directly in the file.
  void Poke(uint32_t block, size_t offset, uint32_t value) {
    std::string bytes = testing::ReadAll(MemoPath());
    EncodeFixed32(bytes.data() + block * 512 + offset, value);
    testing::WriteAll(MemoPath(), bytes);
  }

  static std::string Text(size_t n) {
    std::string text(n, 'x');
    for (size_t i = 0; i < n; ++i) text[i] = static_cast<char>('a' + i % 26);
    return text;
  }

  testing::TempDir dir_;
  std::string path_;
  std::unique_ptr<DatabaseHandle> handle_;
  MemoFile* memo_ = nullptr;
};

TEST_F(MemoFileTest, ChainSizes) {
  EXPECT_EQ(Add(""), 0u);
  EXPECT_EQ(MemoSize(), 512u);
  EXPECT_EQ(Header().block_count, 1);

  uint32_t first = Add(Text(1000));
  EXPECT_EQ(Chain(first).size(), 2u);
  EXPECT_EQ(MemoSize(), 512u * 3);
  first = Add(Text(1001));
  EXPECT_EQ(Chain(first).size(), 3u);
  EXPECT_EQ(MemoSize(), 512u * 6);
  EXPECT_EQ(Header().block_count, 6);
  EXPECT_EQ(Read(1), Text(1000));
  EXPECT_EQ(Read(2), Text(1001));
  EXPECT_EQ(Read(0), "");

  // Used counts and back links along the 1001-byte chain.
  std::vector<uint32_t> chain = Chain(first);
  const uint32_t used[] = {500, 500, 1};
  for (size_t i = 0; i < chain.size(); ++i) {
    BlockLinks links;
    std::string data;
    ASSERT_EQ(memo_->ReadBlock(chain[i], &links, &data), kOk);
    EXPECT_EQ(links.used, used[i]);
    EXPECT_EQ(links.prev, i == 0 ? 0u : chain[i - 1]);
  }
}

TEST_F(MemoFileTest, MemoTextEndsAtItsNulOnRead) {
  // A memo text is stored without its NUL; bytes after an embedded NUL never come back.
  std::string raw = "abc";
  raw.push_back('\0');
  raw += "def";
  uint32_t unused = 0;
  ASSERT_EQ(memo_->WriteChain(0, raw, &unused), kOk);
  TypedValue values[] = {testing::TextCell("t")};
  ASSERT_EQ(handle_->AddRecord(values, 1), kOk);
  std::string bytes = testing::ReadAll(path_);
  EncodeFixed32(bytes.data() + handle_->records_start() + 12, unused);
  testing::WriteAll(path_, bytes);
  EXPECT_EQ(Read(0), "abc");
}

TEST_F(MemoFileTest, ShrinkAtTheEndFreesAndTrims) {
  Add(Text(1400));  // blocks 1..3
  ASSERT_EQ(MemoSize(), 512u * 4);
  ASSERT_EQ(Modify(0, Text(20)), kOk);
  EXPECT_EQ(Chain(FirstBlock(0)), std::vector<uint32_t>{1});
  EXPECT_EQ(MemoSize(), 512u * 2) << "two trailing blocks trimmed: 1024 bytes less";
  MemoHeader header = Header();
  EXPECT_EQ(header.block_count, 2);
  EXPECT_EQ(header.free_count, 0);
  EXPECT_EQ(header.free_head, 0);
  EXPECT_EQ(Read(0), Text(20));
}

TEST_F(MemoFileTest, ShrinkInTheMiddleFillsTheFreeListAndGrowReusesIt) {
  Add(Text(1400));  // record 0: blocks 1..3
  Add(Text(10));    // record 1: block 4
  ASSERT_EQ(Modify(0, Text(20)), kOk);
  EXPECT_EQ(MemoSize(), 512u * 5) << "no trim: block 4 is in use";
  MemoHeader header = Header();
  EXPECT_EQ(header.free_count, 2);
  EXPECT_EQ(FreeList(), (std::vector<uint32_t>{2, 3}));

  // Growing record 1 takes its own block first, then the free list in order, then new blocks.
  ASSERT_EQ(Modify(1, Text(1600)), kOk);
  EXPECT_EQ(Chain(FirstBlock(1)), (std::vector<uint32_t>{4, 2, 3, 5}));
  header = Header();
  EXPECT_EQ(header.free_count, 0);
  EXPECT_EQ(header.free_head, 0);
  EXPECT_EQ(header.block_count, 6);
  EXPECT_EQ(Read(1), Text(1600));
  EXPECT_EQ(Read(0), Text(20));
}

TEST_F(MemoFileTest, ReleasedBlocksJoinTheFrontOfTheFreeList) {
  Add(Text(900));  // record 0: 1, 2
  Add(Text(10));   // record 1: 3
  Add(Text(900));  // record 2: 4, 5
  Add(Text(10));   // record 3: 6
  ASSERT_EQ(Modify(0, ""), kOk);
  EXPECT_EQ(FirstBlock(0), 0u);
  EXPECT_EQ(FreeList(), (std::vector<uint32_t>{1, 2}));
  ASSERT_EQ(Modify(2, ""), kOk);
  EXPECT_EQ(FreeList(), (std::vector<uint32_t>{4, 5, 1, 2}));
  EXPECT_EQ(Header().free_count, 4);

  // Freeing the last block trims it and every free block below it, unlinking them from the list.
  ASSERT_EQ(Modify(3, ""), kOk);
  EXPECT_EQ(Header().block_count, 4);
  EXPECT_EQ(FreeList(), (std::vector<uint32_t>{1, 2}));
  EXPECT_EQ(Header().free_count, 2);
  EXPECT_EQ(MemoSize(), 512u * 4);
  EXPECT_EQ(Read(1), Text(10));
}

TEST_F(MemoFileTest, ByteSetFieldsUseChainsToo) {
  std::string bytes(700, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i);
  void* block = MakeByteSet(bytes.data(), static_cast<int32_t>(bytes.size()));
  TypedValue cell;
  cell.tag = TypeTag::kByteSet;
  cell.SetPointer(block);
  TypedValue values[] = {testing::TextCell("t"), TypedValue{}, cell};
  ASSERT_EQ(handle_->AddRecord(values, 3), kOk);
  Release(block);
  std::string read;
  ASSERT_EQ(handle_->ReadFieldBytes(2, &read), kOk);
  EXPECT_EQ(read, bytes) << "byte-sets keep their NULs";
  TypedValue value;
  ASSERT_EQ(handle_->ReadField(2, &value), kOk);
  EXPECT_EQ(value.tag, TypeTag::kByteSet);
  EXPECT_EQ(ByteSetSize(value.Pointer()), 700);
  ReleaseValue(&value);
}

class DamagedChainTest : public MemoFileTest, public ::testing::WithParamInterface<int> {
 protected:
  int Share() const override { return GetParam(); }
};

INSTANTIATE_TEST_SUITE_P(LockedAndLockFree, DamagedChainTest, ::testing::Values(1, 4));

TEST_P(DamagedChainTest, LoopEndsReadAndWriteWithMinus59) {
  uint32_t first = Add(Text(1200));  // 1 -> 2 -> 3
  Poke(3, kBlockNextOffset, 1);      // 3 -> 1: a loop
  handle_->set_current_record(0);
  std::string bytes;
  EXPECT_EQ(handle_->ReadFieldBytes(1, &bytes), kMemoAccessFailed);
  EXPECT_EQ(Modify(0, Text(10)), kMemoAccessFailed);
  Poke(1, kBlockNextOffset, 1);  // a block that names itself
  EXPECT_EQ(handle_->ReadFieldBytes(1, &bytes), kMemoAccessFailed);
  EXPECT_EQ(first, 1u);
}

TEST_P(DamagedChainTest, LinksOutsideTheFileAndBadUsedCounts) {
  Add(Text(600));  // 1 -> 2
  std::string bytes;
  handle_->set_current_record(0);
  Poke(1, kBlockNextOffset, 7);
  EXPECT_EQ(handle_->ReadFieldBytes(1, &bytes), kMemoAccessFailed);
  Poke(1, kBlockNextOffset, 0xFFFFFFFF);
  EXPECT_EQ(handle_->ReadFieldBytes(1, &bytes), kMemoAccessFailed);
  EXPECT_EQ(Modify(0, "short"), kMemoAccessFailed);
  Poke(1, kBlockNextOffset, 2);
  Poke(2, kBlockUsedOffset, 501);
  EXPECT_EQ(handle_->ReadFieldBytes(1, &bytes), kMemoAccessFailed);
  Poke(2, kBlockUsedOffset, 0);
  EXPECT_EQ(handle_->ReadFieldBytes(1, &bytes), kMemoAccessFailed);
  Poke(2, kBlockUsedOffset, 100);
  ASSERT_EQ(handle_->ReadFieldBytes(1, &bytes), kOk);
  EXPECT_EQ(bytes.size(), 600u);

  // A record naming a block beyond the file.
  std::string file = testing::ReadAll(path_);
  EncodeFixed32(file.data() + handle_->records_start() + 12, 1000000);
  testing::WriteAll(path_, file);
  EXPECT_EQ(handle_->ReadFieldBytes(1, &bytes), kMemoAccessFailed);
  TypedValue value;
  EXPECT_EQ(handle_->ReadField(1, &value), kMemoAccessFailed);
  EXPECT_EQ(value.tag, TypeTag::kText);
  EXPECT_EQ(value.Pointer(), nullptr);
}

TEST_P(DamagedChainTest, FreeListThatLoopsIsNotHandedOutTwice) {
  Add(Text(900));                 // 1, 2
  Add(Text(10));                  // 3
  ASSERT_EQ(Modify(0, ""), kOk);  // free: 1 -> 2
  Poke(2, kBlockNextOffset, 1);   // free list 1 -> 2 -> 1
  EXPECT_EQ(Modify(1, Text(2000)), kMemoAccessFailed);
  EXPECT_EQ(Read(1), Text(10)) << "the record still names its old chain";
}

TEST_P(DamagedChainTest, FreeListHeadThatIsInUseIsRefused) {
  Add(Text(10));  // 1
  std::string bytes = testing::ReadAll(MemoPath());
  EncodeInt32(bytes.data() + kMemoFreeHeadOffset, 1);
  EncodeInt32(bytes.data() + kMemoFreeCountOffset, 1);
  testing::WriteAll(MemoPath(), bytes);
  TypedValue values[] = {testing::TextCell("t"), testing::TextCell("new")};
  EXPECT_EQ(handle_->AddRecord(values, 2), kMemoAccessFailed);
  EXPECT_EQ(Read(0), Text(10));
}

// Long chains: the walk bounds itself by the file's length only once a chain gets long, and
// lock-free it reads runs of consecutive blocks; either way a loop or a link past the end is -59.
TEST_P(DamagedChainTest, LongChainThatLoopsOrLeavesTheFile) {
  ASSERT_EQ(Add(Text(500 * 100)), 1u);  // 1 -> 2 -> ... -> 100
  ASSERT_EQ(Read(0), Text(500 * 100));
  std::string bytes;
  handle_->set_current_record(0);
  for (uint32_t back : {1u, 50u, 99u, 100u}) {
    Poke(100, kBlockNextOffset, back);
    EXPECT_EQ(handle_->ReadFieldBytes(1, &bytes), kMemoAccessFailed) << back;
    EXPECT_EQ(Modify(0, Text(10)), kMemoAccessFailed) << back;
  }
  Poke(30, kBlockNextOffset, 1);  // a loop closed early in the chain
  EXPECT_EQ(handle_->ReadFieldBytes(1, &bytes), kMemoAccessFailed);
  Poke(30, kBlockNextOffset, 31);
  Poke(100, kBlockNextOffset, 101);  // the first block past the end of the file
  EXPECT_EQ(handle_->ReadFieldBytes(1, &bytes), kMemoAccessFailed);
  EXPECT_EQ(Modify(0, Text(10)), kMemoAccessFailed);
  Poke(100, kBlockNextOffset, 0);
  ASSERT_EQ(handle_->ReadFieldBytes(1, &bytes), kOk);
  EXPECT_EQ(bytes, Text(500 * 100));
  // The last block cut in half.
  std::string file = testing::ReadAll(MemoPath());
  testing::WriteAll(MemoPath(), file.substr(0, 100 * 512 + 200));
  EXPECT_EQ(handle_->ReadFieldBytes(1, &bytes), kMemoAccessFailed);
  EXPECT_EQ(Modify(0, Text(10)), kMemoAccessFailed);
}

TEST_P(DamagedChainTest, ShortLoopInsideARun) {
  Add(Text(2500));               // 1 .. 5
  Poke(5, kBlockNextOffset, 2);  // 5 -> 2, all inside one read run
  handle_->set_current_record(0);
  std::string bytes;
  EXPECT_EQ(handle_->ReadFieldBytes(1, &bytes), kMemoAccessFailed);
  EXPECT_EQ(Modify(0, Text(10)), kMemoAccessFailed);
}

// The same chain writes through a locked and a lock-free handle leave the same bytes: runs of
// consecutive blocks are only a way of moving them.
TEST(MemoChainModesTest, LockFreeWritesAndReadsMatchLockedOnes) {
  testing::TempDir dir;
  std::unique_ptr<DatabaseHandle> handles[2];
  for (int m = 0; m < 2; ++m) {
    const std::string path = dir.File(m == 0 ? "a.edb" : "b.edb");
    testing::MustCreate(path, {{"t", kFieldText, 8}, {"m", kFieldMemo, 0}});
    OpenOptions options;
    options.share = ShareFromArgument(m == 0 ? 1 : 4);
    handles[m] = testing::MustOpen(path, options);
    ASSERT_TRUE(handles[m]);
    ASSERT_FALSE(handles[m]->lock_free() == (m == 0));
  }
  // Grows, shrinks in the middle (free blocks), regrows into the free list and past the end, so
  // chains end up in several pieces.
  const std::vector<std::pair<int, size_t>> steps = {
      {-1, 1200}, {-1, 70000},  {-1, 30},    {-1, 9000}, {1, 2000}, {3, 90000},
      {0, 0},     {-1, 130000}, {1, 500},    {2, 64500}, {4, 1},    {0, 25000},
      {3, 100},   {2, 1001},    {1, 140000}, {4, 70000}, {3, 0},    {2, 12}};
  std::vector<std::string> expected;
  for (size_t s = 0; s < steps.size(); ++s) {
    const auto [record, size] = steps[s];
    std::string text(size, 'a');
    for (size_t i = 0; i < size; ++i) text[i] = static_cast<char>('a' + (i * 7 + s) % 26);
    for (auto& handle : handles) {
      TypedValue values[] = {testing::TextCell("t"), testing::TextCell(text)};
      if (record < 0) {
        ASSERT_EQ(handle->AddRecord(values, 2), kOk);
      } else {
        handle->set_current_record(record);
        ASSERT_EQ(handle->ModifyRecord(values, 2), kOk);
      }
    }
    if (record < 0) {
      expected.push_back(text);
    } else {
      expected[record] = text;
    }
    for (auto& handle : handles) {
      for (size_t r = 0; r < expected.size(); ++r) {
        handle->set_current_record(static_cast<int32_t>(r));
        std::string bytes;
        ASSERT_EQ(handle->ReadFieldBytes(1, &bytes), kOk);
        ASSERT_EQ(bytes, expected[r]) << "step " << s << " record " << r;
      }
    }
    const std::string a = testing::ReadAll(dir.File("a.EDT"));
    const std::string b = testing::ReadAll(dir.File("b.EDT"));
    ASSERT_EQ(a.size(), b.size()) << "step " << s;
    ASSERT_TRUE(a.compare(kMemoBlockCountOffset, std::string::npos, b, kMemoBlockCountOffset,
                          std::string::npos) == 0)
        << "step " << s;
  }
}

}  // namespace
}  // namespace memo::db
