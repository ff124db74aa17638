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

  std::vector<std::string> Run() {
    std::vector<std::string> problems;
    WalkMemoChains(walk_, [this](uint32_t k, char* out) {
      ++reads_[k];
      if (k >= blocks_.size()) return false;
      std::memcpy(out, blocks_[k].data(), 512);
      return true;
    }, &problems);
    return problems;
  }
  int Reads(uint32_t k) { return reads_[k]; }

 private:
  std::vector<std::string> blocks_;
  MemoWalk walk_;
  std::map<uint32_t, int> reads_;
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
  EXPECT_TRUE(Mentions(problems, "record 1 field a: chain loops back to block 1")) << Joined(problems);
  EXPECT_EQ(memo.Reads(1), 1);
}

TEST(CheckWalkTest, BlockOnTwoChainsIsReported) {
  FakeMemo memo(5);
  memo.Chain(0, 0, {1, 2});
  memo.Chain(3, 1, {3, 2});
  std::vector<std::string> problems = memo.Run();
  EXPECT_TRUE(Mentions(problems, "record 4 field b: block 2 is also on the chain of record 1 field a"))
      << Joined(problems);
  EXPECT_TRUE(Mentions(problems, "block 4 is on no chain")) << Joined(problems);
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
  EXPECT_TRUE(Mentions(problems, "free list loops back to block 1")) << Joined(problems);
}

TEST(CheckWalkTest, BadBackLinkAndUsedCountsAreReported) {
  FakeMemo memo(5);
  memo.Chain(0, 0, {1, 2});
  memo.Block(2, 3, 0, 501);
  memo.FreeList({3, 4});
  memo.Block(4, 3, 0, 12);
  std::vector<std::string> problems = memo.Run();
  EXPECT_TRUE(Mentions(problems, "block 2 links back to 3, expected 1")) << Joined(problems);
  EXPECT_TRUE(Mentions(problems, "block 2 has used count 501")) << Joined(problems);
  EXPECT_TRUE(Mentions(problems, "free list: block 4 has used count 12")) << Joined(problems);
}

TEST(CheckWalkTest, LinksOutsideTheFileAreReportedWithoutReading) {
  FakeMemo memo(3);
  memo.Chain(0, 0, {1});
  memo.Block(1, 0, 0xFFFFFFFFu, 500);
  memo.walk().heads.push_back({5, 1, 77});
  std::vector<std::string> problems = memo.Run();
  EXPECT_TRUE(Mentions(problems, "record 1 field a: link to block 4294967295, outside"))
      << Joined(problems);
  EXPECT_TRUE(Mentions(problems, "record 6 field b: link to block 77, outside")) << Joined(problems);
  EXPECT_EQ(memo.Reads(77), 0);
}

TEST(CheckWalkTest, UnreachableRunsAreReportedOnce) {
  FakeMemo memo(10);
  memo.Chain(0, 0, {1});
  memo.FreeList({9});
  std::vector<std::string> problems = memo.Run();
  ASSERT_EQ(problems.size(), 1u) << Joined(problems);
  EXPECT_EQ(problems[0], "blocks 2..8 are on no chain and not on the free list");
}

TEST(CheckWalkTest, HeaderCountingMoreBlocksThanTheFileHoldsIsReported) {
  FakeMemo memo(3);
  memo.walk().header.block_count = 6;
  memo.Chain(0, 0, {1});
  memo.FreeList({2});
  std::vector<std::string> problems = memo.Run();
  EXPECT_TRUE(Mentions(problems, "memo file holds 3 whole blocks, its header counts 6"))
      << Joined(problems);
}

}  // namespace
}  // namespace memo::db
