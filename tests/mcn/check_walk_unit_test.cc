// The integrity walk over memo chains, on MemoFiles built in memory block by block.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "db/check.h"
#include "db/coding.h"

namespace memo::db {
namespace {

// A MemoFile in memory: block k's links and used count; the header is set by each test.
class FakeMemo {
 public:
  explicit FakeMemo(int blocks) : blocks_(static_cast<size_t>(blocks), std::string(512, '\0')) {
    walk_.header.block_count = blocks;
    walk_.whole_blocks = static_cast<uint64_t>(blocks);
    walk_.field_names = {"a", "b"};
  }
  void Block(uint32_t k, uint32_t prev, uint32_t next, uint32_t used) {
    BlockLinks links{prev, next, used};
    EncodeBlockLinks(links, blocks_[k].data());
  }
  // A chain over the given blocks, each full.
  void Chain(int64_t record, uint32_t field, std::vector<uint32_t> blocks) {
    for (size_t i = 0; i < blocks.size(); ++i) {
      Block(blocks[i], i == 0 ? 0 : blocks[i - 1], i + 1 < blocks.size() ? blocks[i + 1] : 0,
            i + 1 < blocks.size() ? 500 : 7);
    }
    walk_.heads.push_back({record, field, blocks.empty() ? 0 : blocks[0]});
  }
  void FreeList(std::vector<uint32_t> blocks) {
    for (size_t i = 0; i < blocks.size(); ++i) {
      Block(blocks[i], i == 0 ? 0 : blocks[i - 1], i + 1 < blocks.size() ? blocks[i + 1] : 0, 0);
    }
    walk_.header.free_head = blocks.empty() ? 0 : static_cast<int32_t>(blocks[0]);
    walk_.header.free_count = static_cast<int32_t>(blocks.size());
  }
  MemoWalk& walk() { return walk_; }

  // The texts of the damage and leak findings (notes are harmless); result() has the rest.
  std::vector<std::string> Run() {
    WalkMemoChains(
        walk_,
        [this](uint32_t k, char* out) {
          ++reads_[k];
          if (k >= blocks_.size()) return false;
          std::memcpy(out, blocks_[k].data(), 512);
          return true;
        },
        &result_);
    std::vector<std::string> problems;
    for (const Finding& finding : result_.findings) {
      if (finding.kind != FindingKind::kNote) problems.push_back(finding.text);
    }
    return problems;
  }
  const MemoWalkResult& result() const { return result_; }
  // The kind and mendability of the finding that mentions `words`.
  const Finding* Find(const std::string& words) const {
    for (const Finding& finding : result_.findings) {
      if (finding.text.find(words) != std::string::npos) return &finding;
    }
    return nullptr;
  }
  int Reads(uint32_t k) { return reads_[k]; }

 private:
  std::vector<std::string> blocks_;
  MemoWalk walk_;
  std::map<uint32_t, int> reads_;
  MemoWalkResult result_;
};

bool Mentions(const std::vector<std::string>& problems, const std::string& words) {
  for (const std::string& p : problems) {
    if (p.find(words) != std::string::npos) return true;
  }
  return false;
}

std::string Joined(const std::vector<std::string>& problems) {
  std::string all;
  for (const std::string& p : problems) all += p + "\n";
  return all;
}

TEST(CheckWalkTest, SoundChainsAndFreeListHaveNoProblems) {
  FakeMemo memo(8);
  memo.Chain(0, 0, {1, 2, 5});
  memo.Chain(1, 1, {3});
  memo.Chain(2, 0, {});  // empty value
  memo.FreeList({6, 4, 7});
  EXPECT_TRUE(memo.Run().empty()) << Joined(memo.Run());
}

TEST(CheckWalkTest, LoopingChainIsReportedAndTheWalkEnds) {
  FakeMemo memo(4);
  memo.Chain(0, 0, {1, 2, 3});
  memo.Block(3, 2, 1, 500);  // back to the first block
  std::vector<std::string> problems = memo.Run();
  const Finding* loop = memo.Find("record 1 field a: chain loops back to block 1");
  ASSERT_NE(loop, nullptr) << Joined(problems);
  EXPECT_FALSE(loop->mendable);
  EXPECT_EQ(memo.result().chain_problem[0], "chain loops back to block 1");
  EXPECT_EQ(memo.Reads(1), 1);
}

TEST(CheckWalkTest, BlockOnTwoChainsGoesToTheChainItsBackLinkNames) {
  FakeMemo memo(5);
  memo.Chain(0, 0, {1, 2});
  memo.Chain(3, 1, {3, 2});  // block 2 now links back to 3
  std::vector<std::string> problems = memo.Run();
  EXPECT_TRUE(
      Mentions(problems, "record 1 field a: block 2 belongs to the chain of record 4 field b"))
      << Joined(problems);
  EXPECT_TRUE(Mentions(problems, "block 4 is on no chain")) << Joined(problems);
  EXPECT_FALSE(memo.result().chain_problem[0].empty());
  EXPECT_TRUE(memo.result().chain_problem[1].empty());
  EXPECT_EQ(memo.result().owner[2], 1);
  // A broken chain's back links are not worth mending.
  EXPECT_TRUE(memo.result().back_link_fixes.empty());
}

TEST(CheckWalkTest, TwoRecordsNamingOneChainLeaveItToTheFirst) {
  FakeMemo memo(4);
  memo.Chain(0, 0, {1, 2});
  memo.walk().heads.push_back({1, 0, 1});
  memo.Block(3, 0, 0, 9);  // the second record's own value, now reached by nothing
  std::vector<std::string> problems = memo.Run();
  const Finding* shared =
      memo.Find("record 2 field a: block 1 is also on the chain of record 1 field a");
  ASSERT_NE(shared, nullptr) << Joined(problems);
  EXPECT_FALSE(shared->mendable);
  EXPECT_TRUE(memo.result().chain_problem[0].empty());
  EXPECT_FALSE(memo.result().chain_problem[1].empty());
  EXPECT_EQ(memo.result().leaked_blocks, 1u);
}

TEST(CheckWalkTest, WrongBackLinkOnASoundChainIsMendable) {
  FakeMemo memo(4);
  memo.Chain(0, 0, {1, 3, 2});
  memo.Block(3, 2, 2, 500);  // should name 1
  std::vector<std::string> problems = memo.Run();
  const Finding* back = memo.Find("record 1 field a: block 3 links back to 2, expected 1");
  ASSERT_NE(back, nullptr) << Joined(problems);
  EXPECT_TRUE(back->mendable);
  ASSERT_EQ(memo.result().back_link_fixes.size(), 1u);
  EXPECT_EQ(memo.result().back_link_fixes[0], (std::pair<uint32_t, uint32_t>{3, 1}));
  EXPECT_TRUE(memo.result().chain_problem[0].empty());
}

TEST(CheckWalkTest, BlocksBeyondTheHeaderCountAreLeftoversUnlessAChainUsesThem) {
  // A writer that appended blocks and stopped before the header counted them.
  FakeMemo memo(6);
  memo.walk().header.block_count = 3;
  memo.Chain(0, 0, {1});
  memo.FreeList({2});
  std::vector<std::string> problems = memo.Run();
  for (const Finding& finding : memo.result().findings) {
    EXPECT_NE(finding.kind, FindingKind::kDamage) << finding.text;
  }
  const Finding* beyond_count =
      memo.Find("memo file: 3 whole blocks lie beyond the header's block count 3");
  ASSERT_NE(beyond_count, nullptr) << Joined(problems);
  EXPECT_EQ(beyond_count->kind, FindingKind::kNote);
  EXPECT_EQ(memo.result().leaked_blocks, 3u);

  // A chain into them is damage: the next allocation would hand the block out again.
  FakeMemo used(6);
  used.walk().header.block_count = 3;
  used.Chain(0, 0, {1, 4});
  problems = used.Run();
  const Finding* beyond =
      used.Find("record 1 field a: block 4 lies beyond the header's block count 3");
  ASSERT_NE(beyond, nullptr) << Joined(problems);
  EXPECT_EQ(beyond->kind, FindingKind::kDamage);
  EXPECT_TRUE(beyond->mendable);
}

TEST(CheckWalkTest, FreeBlocksAtTheEndAreANoteNotDamage) {
  FakeMemo memo(4);
  memo.Chain(0, 0, {1});
  memo.FreeList({3, 2});
  std::vector<std::string> problems = memo.Run();
  ASSERT_EQ(memo.result().findings.size(), 1u) << Joined(problems);
  EXPECT_EQ(memo.result().findings[0].kind, FindingKind::kNote);
  EXPECT_EQ(memo.result().trailing_free_blocks, 2u);
  EXPECT_EQ(memo.result().leaked_blocks, 0u);
}

TEST(CheckWalkTest, ManyFindingsOfOneSortAreCountedInOneLine) {
  FakeMemo memo(1);
  for (int r = 0; r < 30; ++r) memo.walk().heads.push_back({r, 0, 900u + r});
  std::vector<std::string> problems = memo.Run();
  ASSERT_EQ(problems.size(), 21u) << Joined(problems);
  EXPECT_EQ(problems.back(), "... and 10 more like the chain above");
  EXPECT_EQ(memo.result().findings.back().kind, FindingKind::kDamage);
  EXPECT_FALSE(memo.result().findings.back().mendable);
  // Every chain still has its reason, listed or not.
  EXPECT_EQ(memo.result().chain_problem[29],
            "link to block 929, outside the memo file (1 whole block)");
}

TEST(CheckWalkTest, FreeListCountMismatchIsReported) {
  FakeMemo memo(4);
  memo.Chain(0, 0, {1});
  memo.FreeList({2, 3});
  memo.walk().header.free_count = 1;
  std::vector<std::string> problems = memo.Run();
  ASSERT_EQ(problems.size(), 1u) << Joined(problems);
  EXPECT_EQ(problems[0], "free list holds 2 blocks, the header counts 1");
}

TEST(CheckWalkTest, BlockOnChainAndFreeListIsReported) {
  FakeMemo memo(4);
  memo.Chain(0, 0, {1, 2});
  memo.FreeList({3});
  memo.Block(3, 0, 2, 0);  // the free list runs into the chain
  memo.walk().header.free_count = 2;
  std::vector<std::string> problems = memo.Run();
  EXPECT_TRUE(Mentions(problems, "free list: block 2 is also on the chain of record 1 field a"))
      << Joined(problems);
}

TEST(CheckWalkTest, LoopingFreeListIsReported) {
  FakeMemo memo(4);
  memo.FreeList({1, 2, 3});
  memo.Block(3, 2, 1, 0);
  std::vector<std::string> problems = memo.Run();
  const Finding* loop = memo.Find("free list loops back to block 1");
  ASSERT_NE(loop, nullptr) << Joined(problems);
  EXPECT_TRUE(loop->mendable);  // the list is built again from the unclaimed blocks
}

TEST(CheckWalkTest, BadUsedCountsAreReportedOnChainsAndTheFreeList) {
  FakeMemo memo(5);
  memo.Chain(0, 0, {1, 2});
  memo.Block(2, 3, 0, 501);
  memo.FreeList({3, 4});
  memo.Block(4, 3, 0, 12);
  std::vector<std::string> problems = memo.Run();
  const Finding* used = memo.Find("record 1 field a: block 2 has used count 501");
  ASSERT_NE(used, nullptr) << Joined(problems);
  EXPECT_FALSE(used->mendable);  // the value cannot be read
  // The chain is broken anyway: its back link is no fix worth making.
  EXPECT_TRUE(memo.result().back_link_fixes.empty());
  const Finding* free_used = memo.Find("free list: block 4 has used count 12");
  ASSERT_NE(free_used, nullptr) << Joined(problems);
  EXPECT_TRUE(free_used->mendable);
}

TEST(CheckWalkTest, LinksOutsideTheFileAreReportedWithoutReading) {
  FakeMemo memo(3);
  memo.Chain(0, 0, {1});
  memo.Block(1, 0, 0xFFFFFFFFu, 500);
  memo.walk().heads.push_back({5, 1, 77});
  std::vector<std::string> problems = memo.Run();
  EXPECT_TRUE(Mentions(problems, "record 1 field a: link to block 4294967295, outside"))
      << Joined(problems);
  EXPECT_TRUE(Mentions(problems, "record 6 field b: link to block 77, outside"))
      << Joined(problems);
  EXPECT_EQ(memo.Reads(77), 0);
}

TEST(CheckWalkTest, UnreachableRunsAreReportedOnce) {
  FakeMemo memo(10);
  memo.Chain(0, 0, {1});
  memo.FreeList({9});
  std::vector<std::string> problems = memo.Run();
  ASSERT_EQ(problems.size(), 1u) << Joined(problems);
  EXPECT_EQ(problems[0], "7 blocks are on no chain and not on the free list: 2..8");
  EXPECT_EQ(memo.result().findings[0].kind, FindingKind::kLeak);
  EXPECT_EQ(memo.result().leaked_blocks, 7u);
}

TEST(CheckWalkTest, HeaderCountingMoreBlocksThanTheFileHoldsIsReported) {
  FakeMemo memo(3);
  memo.walk().header.block_count = 6;
  memo.Chain(0, 0, {1});
  memo.FreeList({2});
  std::vector<std::string> problems = memo.Run();
  const Finding* count = memo.Find("the header counts 6 blocks, the file holds 3 whole blocks");
  ASSERT_NE(count, nullptr) << Joined(problems);
  EXPECT_EQ(count->kind, FindingKind::kDamage);
  EXPECT_TRUE(count->mendable);
}

}  // namespace
}  // namespace memo::db
