// check, repair and recover as a user runs them, on files damaged on purpose.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "db/database.h"
#include "db/engine_code.h"
#include "tests/mcn/mcn_fixture.h"

namespace memo::mcn::testing {
namespace {

// Copies of the pristine pair, to damage afresh for each case.
class MendTest : public McnTest {
 protected:
  void Keep() {
    table_ = ReadWholeFile(Table());
    memo_ = ReadWholeFile(Memo());
  }
  void Restore() {
    WriteWholeFile(Table(), table_);
    WriteWholeFile(Memo(), memo_);
  }
  // Block k of the memo file gets these links and used count.
  void SetBlock(int block, uint32_t prev, uint32_t next, uint32_t used) {
    PatchU32(Memo(), BlockAt(block), prev);
    PatchU32(Memo(), BlockAt(block) + 4, next);
    PatchU32(Memo(), BlockAt(block) + 8, used);
  }
  void SetFreeList(uint32_t head, uint32_t count) {
    PatchU32(Memo(), 0x18, head);
    PatchU32(Memo(), 0x14, count);
  }
  bool Exists(const std::string& name) { return std::filesystem::exists(dir_ / name); }

  std::string table_, memo_;
};

TEST_F(MendTest, CheckTellsLeakedBlocksFromDamage) {
  MakeMemoTable({std::string(1200, 'a'), "b"});  // blocks 1..3 and 4
  PatchU32(Table(), MemoFieldAt(0), 0);          // record 1 lets go of its chain
  McnResult leak = dir_.Run({"check", "m.mcn"});
  EXPECT_EQ(leak.exit_code, 0) << leak.out;
  EXPECT_EQ(leak.out,
            "leak: 3 blocks are on no chain and not on the free list: 1..3\n"
            "ok: 2 records, no damage; 3 leaked blocks can be reclaimed with `mcn repair m.mcn`\n");

  // A free count the list does not hold is damage, of the kind repair mends.
  PatchU32(Memo(), 0x14, 1);
  McnResult count = dir_.Run({"check", "m.mcn"});
  EXPECT_EQ(count.exit_code, 1);
  EXPECT_TRUE(Contains(count.out, "damage: free list holds 0 blocks, the header counts 1\n"))
      << count.out;
  EXPECT_TRUE(Contains(count.out, "1 problem found; `mcn repair m.mcn` mends it\n")) << count.out;

  // A chain that loops is not.
  PatchU32(Memo(), 0x14, 0);
  PatchU32(Table(), MemoFieldAt(0), 1);
  PatchU32(Memo(), BlockAt(3) + 4, 2);
  McnResult loop = dir_.Run({"check", "m.mcn"});
  EXPECT_EQ(loop.exit_code, 1);
  EXPECT_TRUE(Contains(loop.out, "damage: record 1 field 记事: chain loops back to block 2\n"))
      << loop.out;
  EXPECT_TRUE(Contains(loop.out,
                       "mcn repair cannot mend it without losing data: "
                       "`mcn recover m.mcn NEWFILE`"))
      << loop.out;
}

TEST_F(MendTest, CheckSeesDamageInSerialsAndTheFieldTable) {
  MakeMemoTable({"one", "two", "three"});
  Keep();
  struct Case {
    const char* what;
    std::function<void()> damage;
    const char* finding;
  };
  const std::vector<Case> cases = {
      {"duplicate serial", [&] { PatchU32(Table(), RecordAt(1), 1); },
       "damage: records 1 and 2 are both live with serial 1\n"},
      {"deleted duplicate is no clash", [&] { PatchU32(Table(), RecordAt(1), uint32_t(-1)); },
       nullptr},
      {"low next serial", [&] { PatchU32(Table(), 0x14, 2); },
       "damage: next serial 2 is not above every serial (record 3 has serial 3)\n"},
      {"serial 0", [&] { PatchU32(Table(), RecordAt(0), 0); },
       "damage: record 1 has serial 0 (neither live nor deleted)\n"},
      {"overlap", [&] { PatchU32(Table(), DescriptorAt(1) + 24, 10); },
       "damage: field 1 (分类) at bytes 4..13 and field 2 (时间) at bytes 10..17 overlap\n"},
      {"over the serial", [&] { PatchU32(Table(), DescriptorAt(0) + 24, 2); },
       "damage: field 1 (分类) at bytes 2..11 overlaps the record's serial (bytes 0..3)\n"},
      {"same name",
       [&] {
         std::string bytes = ReadWholeFile(Table());
         bytes.replace(DescriptorAt(1), 20, bytes.substr(DescriptorAt(0), 20));
         WriteWholeFile(Table(), bytes);
       },
       "damage: fields 1 and 2 have the same name 分类\n"},
      {"empty name", [&] { PatchU32(Table(), DescriptorAt(2), 0); },
       "damage: field 3 has an empty name\n"},
      {"record size", [&] { PatchU32(Table(), 0x18, 20); },
       "damage: record size 20 is smaller than its fields need: field 4 (跟进) ends at byte 30\n"},
  };
  for (const Case& c : cases) {
    Restore();
    c.damage();
    const std::string damaged = ReadWholeFile(Table());
    McnResult check = dir_.Run({"check", "m.mcn"});
    if (c.finding == nullptr) {
      EXPECT_EQ(check.exit_code, 0) << c.what << "\n" << check.out;
    } else {
      EXPECT_EQ(check.exit_code, 1) << c.what;
      EXPECT_TRUE(Contains(check.out, c.finding)) << c.what << "\n" << check.out;
    }
    EXPECT_EQ(ReadWholeFile(Table()), damaged) << c.what;
  }
}

TEST_F(MendTest, RepairRebuildsAFreeListThatLoopsAndKeepsCopiesFirst) {
  MakeMemoTable({std::string(1200, 'a'), "b"});
  PatchU32(Table(), MemoFieldAt(0), 0);
  SetFreeList(1, 2);
  SetBlock(1, 0, 2, 0);
  SetBlock(2, 1, 1, 0);  // back to block 1; block 3 is on nothing
  const std::string table = ReadWholeFile(Table()), memo = ReadWholeFile(Memo());
  McnResult check = dir_.Run({"check", "m.mcn"});
  EXPECT_EQ(check.exit_code, 1);
  EXPECT_TRUE(Contains(check.out, "damage: free list loops back to block 1\n")) << check.out;

  McnResult repair = dir_.Run({"repair", "m.mcn"});
  ASSERT_EQ(repair.exit_code, 0) << repair.out << repair.err;
  EXPECT_TRUE(Contains(repair.out, "kept a copy as ")) << repair.out;
  EXPECT_TRUE(Contains(repair.out, "repaired: reclaimed 1 leaked block\n")) << repair.out;
  EXPECT_TRUE(Contains(repair.out, "ok: 2 records, no problems found\n")) << repair.out;
  EXPECT_EQ(ReadWholeFile(dir_ / "m.mcn.bak1"), table);
  EXPECT_EQ(ReadWholeFile(dir_ / "m.EDT.bak1"), memo);
  // Blocks 1..3 free in block order before the block in use.
  EXPECT_EQ(ReadU32(Memo(), 0x10), 5u);
  EXPECT_EQ(ReadU32(Memo(), 0x14), 3u);
  EXPECT_EQ(ReadU32(Memo(), 0x18), 1u);
  EXPECT_EQ(ReadU32(Memo(), BlockAt(2) + 4), 3u);
  EXPECT_EQ(dir_.Run({"check", "m.mcn"}).out, "ok: 2 records, no problems found\n");
  McnResult dump = dir_.Run({"dump", "m.mcn"});
  EXPECT_TRUE(Contains(dump.out, "\t2014-07-10T09:05:00\tb\t\n")) << dump.out;

  // The next add takes the free blocks, and the pair stays sound.
  ASSERT_EQ(dir_.Run({"add", "m.mcn", "x", "", std::string(700, 'c'), ""}).exit_code, 0);
  EXPECT_EQ(dir_.Run({"check", "m.mcn"}).out, "ok: 3 records, no problems found\n");
  EXPECT_EQ(ReadU32(Table(), MemoFieldAt(2)), 1u);

  // Nothing to do: no change and no copy; the next repair never overwrites the first copies.
  McnResult again = dir_.Run({"repair", "m.mcn"});
  EXPECT_EQ(again.exit_code, 0);
  EXPECT_TRUE(Contains(again.out, "nothing to repair")) << again.out;
  EXPECT_FALSE(Exists("m.mcn.bak2"));
  PatchU32(Table(), MemoFieldAt(1), 0);
  ASSERT_EQ(dir_.Run({"repair", "m.mcn"}).exit_code, 0);
  EXPECT_TRUE(Exists("m.mcn.bak2"));
  EXPECT_TRUE(Exists("m.EDT.bak2"));
  EXPECT_EQ(ReadWholeFile(dir_ / "m.mcn.bak1"), table);
}

TEST_F(MendTest, RepairSetsTheBlockCountFromTheFileAndTrimsTheEnd) {
  MakeMemoTable({std::string(1200, 'a')});  // blocks 1..3
  Keep();
  // A header counting blocks the file never got: readers that do not repair refuse the pair.
  PatchU32(Memo(), 0x10, 9);
  EXPECT_EQ(dir_.Run({"dump", "m.mcn"}).exit_code, 1);
  McnResult check = dir_.Run({"check", "m.mcn"});
  EXPECT_TRUE(Contains(check.out, "the header counts 9 blocks, the file holds 4 whole blocks"))
      << check.out;
  ASSERT_EQ(dir_.Run({"repair", "m.mcn"}).exit_code, 0);
  EXPECT_EQ(ReadU32(Memo(), 0x10), 4u);
  McnResult dump = dir_.Run({"dump", "m.mcn", "--json"});
  ASSERT_EQ(dump.exit_code, 0) << dump.err;
  EXPECT_TRUE(Contains(dump.out, "\"记事\":\"" + std::string(1200, 'a') + "\"")) << dump.out;

  // Blocks written after the ones counted (a writer stopped before its header): leftovers.
  Restore();
  std::string memo = memo_ + std::string(2 * 512 + 100, 'z');
  WriteWholeFile(Memo(), memo);
  check = dir_.Run({"check", "m.mcn"});
  EXPECT_EQ(check.exit_code, 0) << check.out;
  EXPECT_TRUE(Contains(check.out,
                       "note: memo file: 2 whole blocks lie beyond the header's block "
                       "count 4\n"))
      << check.out;
  ASSERT_EQ(dir_.Run({"repair", "m.mcn"}).exit_code, 0);
  EXPECT_EQ(ReadWholeFile(Memo()).size(), 4u * 512);

  // Free blocks at the end, which a sound writer trims.
  Restore();
  PatchU32(Table(), MemoFieldAt(0), 0);
  SetFreeList(1, 3);
  SetBlock(1, 0, 2, 0);
  SetBlock(2, 1, 3, 0);
  SetBlock(3, 2, 0, 0);
  check = dir_.Run({"check", "m.mcn"});
  EXPECT_EQ(check.out,
            "note: memo file: 3 free blocks at its end, after the last block in use\n"
            "ok: 1 record, no damage; `mcn repair m.mcn` tidies the memo file\n");
  ASSERT_EQ(dir_.Run({"repair", "m.mcn"}).exit_code, 0);
  EXPECT_EQ(ReadWholeFile(Memo()).size(), 512u);
  EXPECT_EQ(ReadU32(Memo(), 0x10), 1u);
  EXPECT_EQ(ReadU32(Memo(), 0x14), 0u);
}

TEST_F(MendTest, RepairLowersARecordCountAndRaisesTheNextSerial) {
  MakeMemoTable({"one", "two", "three"});
  std::string table = ReadWholeFile(Table());
  table.resize(table.size() - kMemoRecordSize);  // the third record is gone, whole
  WriteWholeFile(Table(), table);
  PatchU32(Table(), 0x14, 2);                           // below serial 2
  EXPECT_EQ(dir_.Run({"info", "m.mcn"}).exit_code, 1);  // -48 for a reader that does not repair
  McnResult repair = dir_.Run({"repair", "m.mcn"});
  ASSERT_EQ(repair.exit_code, 0) << repair.out << repair.err;
  EXPECT_TRUE(Contains(repair.out, "repaired: record count 2 (was 3)")) << repair.out;
  EXPECT_TRUE(Contains(repair.out, "repaired: next serial 3 (was 2)")) << repair.out;
  // The third record's chain is a leak now, and reclaimed with the rest.
  EXPECT_EQ(dir_.Run({"check", "m.mcn"}).out, "ok: 2 records, no problems found\n");
  McnResult add = dir_.Run({"add", "m.mcn", "x", "", "", ""});
  EXPECT_EQ(add.out, "added record 3 (serial 3)\n");
}

TEST_F(MendTest, RepairRefusesWhatItCannotMendAndChangesNothing) {
  MakeMemoTable({std::string(1200, 'a'), "b"});
  Keep();
  const std::vector<std::pair<std::function<void()>, std::string>> cases = {
      {[&] { PatchU32(Memo(), BlockAt(3) + 4, 1); },
       "  record 1 field 记事: chain loops back to block 1\n"},
      {[&] { PatchU32(Table(), RecordAt(1), 1); },
       "  records 1 and 2 are both live with serial 1\n"},
      {[&] { PatchU32(Memo(), BlockAt(4) + 8, 600); },
       "  record 2 field 记事: block 4 has used count 600 (1..500 on a chain)\n"},
      {[&] {
         std::string table = table_;
         table.resize(table.size() - 7);  // record 2 cut short
         WriteWholeFile(Table(), table);
       },
       "  the header counts 2 records, the file holds 1 whole record and 23 bytes of record 2\n"},
      {[&] { std::filesystem::remove(Memo()); },
       "  the memo file is missing (a field is memo or byte-set)\n"},
  };
  for (const auto& [damage, reason] : cases) {
    Restore();
    damage();
    const std::string table = ReadWholeFile(Table());
    const bool has_memo = std::filesystem::exists(Memo());
    const std::string memo = has_memo ? ReadWholeFile(Memo()) : std::string();
    McnResult repair = dir_.Run({"repair", "m.mcn"});
    EXPECT_EQ(repair.exit_code, 1) << reason;
    EXPECT_TRUE(Contains(repair.err, "mcn: repair refused, nothing changed.")) << repair.err;
    EXPECT_TRUE(Contains(repair.err, reason)) << repair.err;
    EXPECT_TRUE(Contains(repair.err, "`mcn recover m.mcn NEWFILE`")) << repair.err;
    EXPECT_EQ(ReadWholeFile(Table()), table) << reason;
    if (has_memo) {
      EXPECT_EQ(ReadWholeFile(Memo()), memo) << reason;
    }
    EXPECT_FALSE(Exists("m.mcn.bak1")) << reason;
  }
}

TEST_F(MendTest, RepairWaitsForNoWriterAndGivesUpWithoutAChange) {
  MakeMemoTable({"one", "two"});
  PatchU32(Table(), MemoFieldAt(0), 0);  // a leak to reclaim
  const std::string table = ReadWholeFile(Table()), memo = ReadWholeFile(Memo());
  // A program in the middle of writing record 2 holds its lock.
  std::unique_ptr<db::DatabaseHandle> writer;
  ASSERT_EQ(db::DatabaseHandle::Open((dir_ / "m.mcn").string(), db::OpenOptions{}, &writer),
            db::kOk);
  ASSERT_EQ(writer->locks()->Lock(RecordAt(1)), db::kOk);
  McnResult repair = dir_.Run({"repair", "m.mcn"});
  EXPECT_EQ(repair.exit_code, 1);
  EXPECT_EQ(repair.err, "-28 加锁失败\n");
  EXPECT_EQ(ReadWholeFile(Table()), table);
  EXPECT_EQ(ReadWholeFile(Memo()), memo);
  EXPECT_FALSE(Exists("m.mcn.bak1"));
  ASSERT_EQ(writer->locks()->Unlock(RecordAt(1)), db::kOk);
  EXPECT_EQ(dir_.Run({"repair", "m.mcn"}).exit_code, 0);
}

TEST_F(MendTest, RecoverCopiesEveryValueThatCanBeRead) {
  MakeMemoTable({std::string(1200, 'a'), "second", "third", "fourth"});  // 1..3, 4, 5, 6
  PatchU32(Memo(), BlockAt(3) + 4, 1);                                   // record 1's chain loops
  PatchU32(Table(), MemoFieldAt(2), 4);          // record 3 names record 2's block
  PatchU32(Table(), RecordAt(2), 2);             // ... and its serial
  PatchU32(Table(), RecordAt(3), uint32_t(-4));  // record 4 deleted
  const std::string table = ReadWholeFile(Table()), memo = ReadWholeFile(Memo());
  EXPECT_EQ(dir_.Run({"repair", "m.mcn"}).exit_code, 1);

  McnResult recover = dir_.Run({"recover", "m.mcn", "n.mcn"});
  ASSERT_EQ(recover.exit_code, 0) << recover.err;
  EXPECT_TRUE(Contains(recover.out, "recovered 4 records into ")) << recover.out;
  EXPECT_TRUE(Contains(recover.out, "(2 values could not be read and are empty)")) << recover.out;
  EXPECT_TRUE(Contains(recover.err,
                       "mcn: record 1 field 记事: chain loops back to block 1; left "
                       "empty\n"))
      << recover.err;
  EXPECT_TRUE(Contains(recover.err,
                       "mcn: record 3 field 记事: block 4 is also on the chain of "
                       "record 2 field 记事; left empty\n"))
      << recover.err;
  EXPECT_TRUE(Contains(recover.err,
                       "mcn: record 3: serial 2 repeats an earlier record's; it gets "
                       "serial 5\n"))
      << recover.err;
  EXPECT_EQ(ReadWholeFile(Table()), table);
  EXPECT_EQ(ReadWholeFile(Memo()), memo);

  EXPECT_EQ(dir_.Run({"check", "n.mcn"}).out, "ok: 4 records, no problems found\n");
  McnResult dump = dir_.Run({"dump", "n.mcn", "--csv", "--all"});
  EXPECT_EQ(dump.out,
            "serial,deleted,分类,时间,记事,跟进\r\n"
            "1,false,收款,2014-07-10T09:05:00,,\r\n"
            "2,false,收款,2014-07-10T09:05:00,second,\r\n"
            "5,false,收款,2014-07-10T09:05:00,,\r\n"
            "4,true,收款,2014-07-10T09:05:00,fourth,\r\n");
  McnResult add = dir_.Run({"add", "n.mcn", "x", "", "", ""});
  EXPECT_EQ(add.out, "added record 5 (serial 6)\n");
}

TEST_F(MendTest, RecoverLaysADamagedFieldTableOutAfresh) {
  ASSERT_EQ(dir_.Run({"create", "f", "n:int", "t:text:4", "m:memo"}).exit_code, 0);
  ASSERT_EQ(dir_.Run({"add", "f", "7", "abcd", "memo one"}).exit_code, 0);
  ASSERT_EQ(dir_.Run({"add", "f", "8", "wxyz", "memo two"}).exit_code, 0);
  PatchU32(dir_ / "f.EDB", DescriptorAt(1), 'N');      // "N", the same name as "n"
  PatchU32(dir_ / "f.EDB", DescriptorAt(2) + 24, 14);  // m now ends past the 16-byte record
  McnResult check = dir_.Run({"check", "f"});
  EXPECT_EQ(check.exit_code, 1);
  EXPECT_TRUE(Contains(check.out, "damage: fields 1 and 2 have the same name N\n")) << check.out;
  EXPECT_TRUE(Contains(check.out,
                       "damage: record size 16 is smaller than its fields need: field 3 "
                       "(m) ends at byte 18\n"))
      << check.out;
  EXPECT_EQ(dir_.Run({"dump", "f"}).exit_code, 1);  // the engine refuses it

  McnResult recover = dir_.Run({"recover", "f", "g"});
  ASSERT_EQ(recover.exit_code, 0) << recover.err;
  EXPECT_TRUE(Contains(recover.err, "mcn: field 2 (N) is called 字段2 in the new pair\n"))
      << recover.err;
  EXPECT_TRUE(Contains(recover.err,
                       "mcn: record 2 field m: the field lies outside the record (16 "
                       "bytes); left empty\n"))
      << recover.err;
  EXPECT_EQ(dir_.Run({"check", "g"}).out, "ok: 2 records, no problems found\n");
  EXPECT_EQ(dir_.Run({"dump", "g", "--csv"}).out,
            "serial,deleted,n,字段2,m\r\n1,false,7,abcd,\r\n2,false,8,wxyz,\r\n");
}

TEST_F(MendTest, RecoverNeverWritesOverAFileAndLeavesNothingWhenItCannotRun) {
  MakeMemoTable({"one"});
  WriteWholeFile(dir_ / "n.mcn", "mine");
  McnResult taken = dir_.Run({"recover", "m.mcn", "n.mcn"});
  EXPECT_EQ(taken.exit_code, 1);
  EXPECT_TRUE(Contains(taken.err, "n.mcn already exists")) << taken.err;
  EXPECT_EQ(ReadWholeFile(dir_ / "n.mcn"), "mine");
  EXPECT_FALSE(Exists("n.EDT"));

  WriteWholeFile(dir_ / "o.EDT", "left from before");
  McnResult memo_taken = dir_.Run({"recover", "m.mcn", "o.mcn"});
  EXPECT_EQ(memo_taken.exit_code, 1);
  EXPECT_FALSE(Exists("o.mcn"));
  EXPECT_EQ(ReadWholeFile(dir_ / "o.EDT"), "left from before");

  WriteWholeFile(dir_ / "junk.mcn", std::string(300, 'j'));
  McnResult junk = dir_.Run({"recover", "junk.mcn", "p.mcn"});
  EXPECT_EQ(junk.exit_code, 1);
  EXPECT_TRUE(Contains(junk.err, "-22 指定文件不是数据库文件\n")) << junk.err;
  EXPECT_FALSE(Exists("p.mcn"));

  // A protected source needs its password, and its copy keeps it.
  ASSERT_EQ(dir_.Run({"--password", "秘密", "create", "s", "名字:text:8"}).exit_code, 0);
  ASSERT_EQ(dir_.Run({"--password", "秘密", "add", "s", "值"}).exit_code, 0);
  McnResult without = dir_.Run({"recover", "s", "t"});
  EXPECT_EQ(without.err, "-78 未提供数据库访问密码或提供了错误的密码\n");
  EXPECT_FALSE(Exists("t.EDB"));
  ASSERT_EQ(dir_.Run({"--password", "秘密", "recover", "s", "t"}).exit_code, 0);
  EXPECT_EQ(dir_.Run({"dump", "t"}).exit_code, 1);
  EXPECT_EQ(dir_.Run({"--password", "秘密", "dump", "t", "--csv"}).out,
            "serial,deleted,名字\r\n1,false,值\r\n");
}

// Damage made at random: whatever check says, repair and recover keep their word.
TEST_F(MendTest, RepairAndRecoverKeepTheirWordOnRandomDamage) {
  MakeMemoTable({std::string(1200, 'a'), "b", std::string(600, 'c'), "", "e"});
  Keep();
  std::mt19937 random(4711);
  int mended = 0, refused = 0;
  for (int round = 0; round < 24; ++round) {
    Restore();
    // Mostly the memo file's header and links, with small numbers that almost fit.
    for (int c = 0; c < 2; ++c) {
      const bool memo = random() % 4 != 0;
      std::string bytes = ReadWholeFile(memo ? Memo() : Table());
      const size_t words = memo ? bytes.size() / 4 : (bytes.size() - 16) / 4;
      const size_t at = memo ? (random() % 2 == 0 ? 16 + 4 * (random() % 3)
                                                  : BlockAt(1 + random() % 6) + 4 * (random() % 3))
                             : 16 + 4 * (random() % words);
      if (at + 4 > bytes.size()) continue;
      const uint32_t value = random() % 9;
      std::memcpy(bytes.data() + at, &value, 4);
      WriteWholeFile(memo ? Memo() : Table(), bytes);
    }
    const std::string table = ReadWholeFile(Table()), memo = ReadWholeFile(Memo());
    McnResult check = dir_.Run({"check", "m.mcn"});
    const bool fatal = !check.err.empty();
    const bool unmendable = Contains(check.out, "mcn repair cannot mend");
    McnResult repair = dir_.Run({"repair", "m.mcn"});
    if (fatal || unmendable) {
      ++refused;
      EXPECT_EQ(repair.exit_code, 1) << "round " << round << "\n" << check.out << repair.out;
      EXPECT_EQ(ReadWholeFile(Table()), table) << "round " << round;
      EXPECT_EQ(ReadWholeFile(Memo()), memo) << "round " << round;
    } else {
      ++mended;
      EXPECT_EQ(repair.exit_code, 0) << "round " << round << "\n" << check.out << repair.err;
      McnResult after = dir_.Run({"check", "m.mcn"});
      EXPECT_TRUE(Contains(after.out, "no problems found")) << "round " << round << "\n"
                                                            << check.out << after.out;
      EXPECT_EQ(dir_.Run({"dump", "m.mcn", "--json", "--all"}).exit_code, 0) << "round " << round;
    }
    std::filesystem::remove_all(dir_ / "m.mcn.bak1");
    std::filesystem::remove_all(dir_ / "m.EDT.bak1");
    WriteWholeFile(Table(), table);
    WriteWholeFile(Memo(), memo);
    const std::string copy = "r" + std::to_string(round) + ".mcn";
    McnResult recover = dir_.Run({"recover", "m.mcn", copy});
    if (fatal) {
      EXPECT_NE(recover.exit_code, 0) << "round " << round;
      continue;
    }
    ASSERT_EQ(recover.exit_code, 0) << "round " << round << "\n" << recover.err;
    EXPECT_TRUE(Contains(dir_.Run({"check", copy}).out, "no problems found")) << "round " << round;
  }
  EXPECT_GT(mended, 5);
  EXPECT_GT(refused, 5);
}

}  // namespace
}  // namespace memo::mcn::testing
