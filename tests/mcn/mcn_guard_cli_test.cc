// What mcn promises about the files it writes and the secrets it reads: recover's output stays
// bounded by its input and sound (or recover says it is not), new files are as private as the
// files they copy, passwords never need the command line, and stored control characters cannot
// steer a terminal.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "tests/mcn/mcn_fixture.h"

namespace memo::mcn::testing {
namespace {

uint64_t SizeOr0(const std::filesystem::path& path) {
  std::error_code error;
  const uintmax_t size = std::filesystem::file_size(path, error);
  return error ? 0 : static_cast<uint64_t>(size);
}

mode_t ModeOf(const std::filesystem::path& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 0777) : 0;
}

// The bound recover keeps: four times its input plus 64 KiB.
constexpr uint64_t kGrowthFactor = 4;
constexpr uint64_t kGrowthAllowance = 64 * 1024;

class GuardTest : public McnTest {
 protected:
  uint64_t PairSize(const std::string& stem) {
    return SizeOr0(dir_ / (stem + ".mcn")) + SizeOr0(dir_ / (stem + ".EDT"));
  }
  bool IsSound(const std::string& file) {
    McnResult check = dir_.Run({"check", file});
    return check.exit_code == 0 && Contains(check.out, "no problems found");
  }
};

// ---------------------------------------------------------------------------------------------
// recover: bounded by its input.

TEST_F(GuardTest, RecoverKeepsATextFieldClaimingAGibibyteToWhatItsRecordHolds) {
  MakeMemoTable({"one", std::string(900, 't'), "three"});
  PatchU32(Table(), DescriptorAt(0) + 28, 1u << 30);  // 分类 text:10 now claims 1 GiB
  const uint64_t input = PairSize("m");

  McnResult recover = dir_.Run({"recover", "m.mcn", "n.mcn"});
  ASSERT_EQ(recover.exit_code, 0) << recover.err;
  EXPECT_TRUE(Contains(recover.err,
                       "mcn: field 1 (分类) claims 1073741824 bytes, the records hold "
                       "26 of them: it keeps 26 bytes in the new pair\n"))
      << recover.err;
  // 404 bytes of header and fields, three records of 4 + 26 + 8 + 4 + 4 bytes.
  EXPECT_EQ(SizeOr0(dir_ / "n.mcn"), 404u + 3 * 46);
  EXPECT_LE(PairSize("n"), 2 * input);
  EXPECT_TRUE(IsSound("n.mcn"));
  McnResult dump = dir_.Run({"dump", "n.mcn", "--csv"});
  EXPECT_TRUE(Contains(dump.out, "1,false,收款,2014-07-10T09:05:00,one,\r\n")) << dump.out;
  EXPECT_TRUE(Contains(dump.out, "2,false,收款,2014-07-10T09:05:00," + std::string(900, 't')))
      << dump.out;
}

TEST_F(GuardTest, RecoverOfARecordSizeClaimingAGibibyteCopiesOnlyTheBytesTheFileHolds) {
  MakeMemoTable({"one", "two"});
  PatchU32(Table(), 0x18, 1u << 30);  // record size
  const uint64_t input = PairSize("m");
  McnResult recover = dir_.Run({"recover", "m.mcn", "n.mcn"});
  ASSERT_EQ(recover.exit_code, 0) << recover.err;
  // The 60 bytes of records are the start of one record: the first record's values survive.
  EXPECT_TRUE(Contains(recover.out, "recovered 1 record into ")) << recover.out;
  EXPECT_LE(PairSize("n"), 2 * input);
  EXPECT_TRUE(IsSound("n.mcn"));
  EXPECT_TRUE(Contains(dir_.Run({"dump", "n.mcn", "--csv"}).out, ",one,\r\n"));

  // A field starting beyond every byte the records hold is left out.
  PatchU32(Table(), 0x18, 30);
  PatchU32(Table(), 0x10, 0);  // no records
  PatchU32(Table(), DescriptorAt(3) + 24, 5000);
  McnResult empty = dir_.Run({"recover", "m.mcn", "e.mcn"});
  ASSERT_EQ(empty.exit_code, 0) << empty.err;
  EXPECT_TRUE(Contains(empty.err, "field 4 (跟进) at byte 5000 lies outside every record"))
      << empty.err;
  EXPECT_TRUE(IsSound("e.mcn"));
  EXPECT_EQ(dir_.Run({"dump", "e.mcn", "--csv"}).out, "serial,deleted,分类,时间,记事\r\n");
}

// ---------------------------------------------------------------------------------------------
// recover: serials a next serial cannot lie above.

TEST_F(GuardTest, RecoverRenumbersTheHighestSerialsAboveTheOthersWhileThereIsRoom) {
  MakeMemoTable({"a", "b", "c", "d"});
  PatchU32(Table(), RecordAt(0), 0x7FFFFFFF);
  PatchU32(Table(), RecordAt(1), 0x7FFFFFFF);
  PatchU32(Table(), RecordAt(3), 0x80000000u);  // deleted, magnitude 2^31
  PatchU32(Table(), 0x14, 0x7FFFFFFF);
  McnResult recover = dir_.Run({"recover", "m.mcn", "n.mcn"});
  ASSERT_EQ(recover.exit_code, 0) << recover.err;
  EXPECT_TRUE(Contains(recover.err,
                       "mcn: record 1: serial 2147483647 leaves no room for a next "
                       "serial above it; it gets serial 4\n"))
      << recover.err;
  EXPECT_TRUE(IsSound("n.mcn"));
  EXPECT_EQ(dir_.Run({"dump", "n.mcn", "--csv", "--all"}).out,
            "serial,deleted,分类,时间,记事,跟进\r\n"
            "4,false,收款,2014-07-10T09:05:00,a,\r\n"
            "5,false,收款,2014-07-10T09:05:00,b,\r\n"
            "3,false,收款,2014-07-10T09:05:00,c,\r\n"
            "6,true,收款,2014-07-10T09:05:00,d,\r\n");
  EXPECT_EQ(dir_.Run({"add", "n.mcn", "x", "", "", ""}).out, "added record 5 (serial 7)\n");
}

TEST_F(GuardTest, RecoverRenumbersFromTheLowestFreeSerialWhenNoneIsLeftAbove) {
  MakeMemoTable({"a", "b", "c", "d", "e"});
  PatchU32(Table(), RecordAt(0), 0x7FFFFFFF);
  PatchU32(Table(), RecordAt(1), 0x7FFFFFFE);  // kept: the highest a next serial still tops
  PatchU32(Table(), RecordAt(2), 0x7FFFFFFE);  // repeats it
  PatchU32(Table(), RecordAt(3), 0x7FFFFFFF);
  PatchU32(Table(), RecordAt(4), uint32_t(-1));  // deleted serial 1: not free
  PatchU32(Table(), 0x14, 0x7FFFFFFF);
  McnResult recover = dir_.Run({"recover", "m.mcn", "n.mcn"});
  ASSERT_EQ(recover.exit_code, 0) << recover.err;
  EXPECT_TRUE(Contains(recover.err,
                       "mcn: record 3: serial 2147483646 repeats an earlier record's; "
                       "it gets serial 3\n"))
      << recover.err;
  EXPECT_TRUE(IsSound("n.mcn"));
  EXPECT_EQ(dir_.Run({"dump", "n.mcn", "--csv", "--all"}).out,
            "serial,deleted,分类,时间,记事,跟进\r\n"
            "2,false,收款,2014-07-10T09:05:00,a,\r\n"
            "2147483646,false,收款,2014-07-10T09:05:00,b,\r\n"
            "3,false,收款,2014-07-10T09:05:00,c,\r\n"
            "4,false,收款,2014-07-10T09:05:00,d,\r\n"
            "1,true,收款,2014-07-10T09:05:00,e,\r\n");
  McnResult info = dir_.Run({"info", "n.mcn"});
  EXPECT_TRUE(Contains(info.out, "next serial:   2147483647\n")) << info.out;
}

// Damage made at random, many times over, in the places that steer how much recover writes and
// which serials it keeps: whatever the bytes, recover's output stays within its bound, and recover
// exits 0 only when `check` finds the output sound.
TEST_F(GuardTest, RecoverStaysBoundedAndHonestOnManyDamagedFiles) {
  MakeMemoTable({std::string(1200, 'a'), "b", std::string(600, 'c'), "", "e", "f"});
  const std::string table = ReadWholeFile(Table()), memo = ReadWholeFile(Memo());
  const int rounds =
      std::getenv("MCN_RECOVER_ROUNDS") ? std::atoi(std::getenv("MCN_RECOVER_ROUNDS")) : 40;
  const uint32_t kValues[] = {0,          1,          2,          7,          30,
                              500,        501,        1u << 30,   0x7FFFFFFE, 0x7FFFFFFF,
                              0x80000000, 0xFFFFFFFF, 0xFFFFFFFE, 1u << 20,   4096};
  std::mt19937 random(20261208);
  int sound = 0, refused = 0, capped = 0, renumbered = 0;
  for (int round = 0; round < rounds; ++round) {
    std::string t = table, m = memo;
    const int damages = 1 + static_cast<int>(random() % 3);
    for (int d = 0; d < damages; ++d) {
      const uint32_t value = random() % 4 == 0 ? static_cast<uint32_t>(random())
                                               : kValues[random() % std::size(kValues)];
      size_t at = 0;
      std::string* bytes = &t;
      switch (random() % 6) {
        case 0: at = 0x10 + 4 * (random() % 3); break;  // count, next serial, record size
        case 1: at = DescriptorAt(static_cast<int>(random() % 4)) + 24; break;  // an offset
        case 2: at = DescriptorAt(0) + 28; break;                      // the text field's length
        case 3: at = RecordAt(static_cast<int>(random() % 6)); break;  // a serial
        case 4: at = MemoFieldAt(static_cast<int>(random() % 6)) + 4 * (random() % 2); break;
        default:
          bytes = &m;
          at = random() % 2 == 0 ? 0x10 + 4 * (random() % 3)
                                 : BlockAt(1 + static_cast<int>(random() % 5)) + 4 * (random() % 3);
      }
      if (at + 4 > bytes->size()) continue;
      std::memcpy(bytes->data() + at, &value, 4);
    }
    WriteWholeFile(Table(), t);
    WriteWholeFile(Memo(), m);
    const uint64_t input = PairSize("m");
    const std::string copy = "r" + std::to_string(round);
    McnResult recover = dir_.Run({"recover", "m.mcn", copy + ".mcn"});
    EXPECT_LE(PairSize(copy), kGrowthFactor * input + kGrowthAllowance) << "round " << round << "\n"
                                                                        << recover.err;
    if (Contains(recover.err, "the records hold")) ++capped;
    if (Contains(recover.err, "leaves no room for a next serial")) ++renumbered;
    if (recover.exit_code == 0) {
      ++sound;
      EXPECT_TRUE(IsSound(copy + ".mcn")) << "round " << round << "\n" << recover.err;
    } else {
      ++refused;
      EXPECT_EQ(recover.exit_code, 1) << "round " << round;
    }
    std::filesystem::remove(dir_ / (copy + ".mcn"));
    std::filesystem::remove(dir_ / (copy + ".EDT"));
  }
  // The loop reaches both outcomes and both kinds of damage that once let recover run away or
  // leave damage behind, so every half of the promise is exercised.
  EXPECT_GT(sound, rounds / 2);
  EXPECT_GT(refused, 0);
  EXPECT_GT(capped, 0);
  EXPECT_GT(renumbered, 0);
}

// ---------------------------------------------------------------------------------------------
// New files are as private as what they copy; copies are named as the files are on disk.

TEST_F(GuardTest, RecoverAndRepairCopiesTakeTheirSourcesPermissions) {
  MakeMemoTable({std::string(1200, 'a'), "b"});
  const mode_t old_mask = ::umask(022);  // a mask that would leave new files readable by all
  std::filesystem::permissions(Table(), std::filesystem::perms(0640));
  std::filesystem::permissions(Memo(), std::filesystem::perms(0600));
  ASSERT_EQ(dir_.Run({"recover", "m.mcn", "n.mcn"}).exit_code, 0);
  EXPECT_EQ(ModeOf(dir_ / "n.mcn"), 0640u);
  EXPECT_EQ(ModeOf(dir_ / "n.EDT"), 0640u);  // the pair takes the record file's bits
  std::filesystem::permissions(Table(), std::filesystem::perms(0600));
  ASSERT_EQ(dir_.Run({"recover", "m.mcn", "o.mcn"}).exit_code, 0);
  EXPECT_EQ(ModeOf(dir_ / "o.mcn"), 0600u);
  EXPECT_EQ(ModeOf(dir_ / "o.EDT"), 0600u);

  std::filesystem::permissions(Table(), std::filesystem::perms(0640));
  PatchU32(Table(), MemoFieldAt(0), 0);  // three leaked blocks for repair to reclaim
  ASSERT_EQ(dir_.Run({"repair", "m.mcn"}).exit_code, 0);
  EXPECT_EQ(ModeOf(dir_ / "m.mcn.bak1"), 0640u);
  EXPECT_EQ(ModeOf(dir_ / "m.EDT.bak1"), 0600u);
  // A file created from nothing follows the creation mask as before.
  ASSERT_EQ(dir_.Run({"create", "c", "n:int"}).exit_code, 0);
  EXPECT_EQ(ModeOf(dir_ / "c.EDB"), 0644u);
  ::umask(old_mask);
}

TEST_F(GuardTest, RepairNamesItsCopiesAfterTheFilesAsTheyAreOnDisk) {
  MakeMemoTable({std::string(1200, 'a'), "b"});
  std::filesystem::rename(Memo(), dir_ / "m.edt");
  PatchU32(Table(), MemoFieldAt(0), 0);
  McnResult repair = dir_.Run({"repair", "M.MCN"});
  ASSERT_EQ(repair.exit_code, 0) << repair.out << repair.err;
  EXPECT_TRUE(std::filesystem::exists(dir_ / "m.mcn.bak1"));
  EXPECT_TRUE(std::filesystem::exists(dir_ / "m.edt.bak1"));
  EXPECT_FALSE(std::filesystem::exists(dir_ / "m.EDT.bak1"));
  EXPECT_FALSE(std::filesystem::exists(dir_ / "M.MCN.bak1"));
  EXPECT_TRUE(Contains(repair.out, "kept a copy as " + (dir_ / "m.edt.bak1").string() + "\n"))
      << repair.out;
  // The next repair finds that copy and takes the next number.
  PatchU32(Table(), MemoFieldAt(1), 0);
  ASSERT_EQ(dir_.Run({"repair", "m.mcn"}).exit_code, 0);
  EXPECT_TRUE(std::filesystem::exists(dir_ / "m.edt.bak2"));
}

// ---------------------------------------------------------------------------------------------
// Passwords from a file, the environment or the terminal.

TEST_F(GuardTest, APasswordComesFromAFileOrTheEnvironmentNeverOnlyTheCommandLine) {
  WriteWholeFile(dir_ / "pw", "秘密\n");
  WriteWholeFile(dir_ / "wrong", "错的\r\n");
  ASSERT_EQ(dir_.Run({"--password-file", "pw", "create", "p", "名字:text:8"}).exit_code, 0);
  EXPECT_EQ(ReadWholeFile(dir_ / "p.EDB").substr(0, 4), "WCDB");
  ASSERT_EQ(dir_.Run({"add", "p", "值", "--password-file=pw"}).exit_code, 0);
  const std::string rows = "serial,deleted,名字\r\n1,false,值\r\n";
  EXPECT_EQ(dir_.Run({"dump", "p", "--csv", "--password-file", "pw"}).out, rows);
  EXPECT_EQ(dir_.Run({"dump", "p", "--csv"}, {"MCN_PASSWORD=秘密"}).out, rows);
  EXPECT_EQ(dir_.Run({"--password-file", "wrong", "dump", "p"}).exit_code, 1);
  EXPECT_EQ(dir_.Run({"dump", "p"}, {"MCN_PASSWORD=错的"}).exit_code, 1);
  // A file named on the command line wins over the environment.
  EXPECT_EQ(dir_.Run({"dump", "p", "--csv", "--password-file", "pw"}, {"MCN_PASSWORD=错的"}).out,
            rows);
  // Without a terminal on standard input nothing is asked: the open fails as it always did.
  McnResult without = dir_.Run({"dump", "p"});
  EXPECT_EQ(without.exit_code, 1);
  EXPECT_EQ(without.err, "-78 未提供数据库访问密码或提供了错误的密码\n");

  // The environment's password serves protected files only, and never protects a new one.
  MakeMemoTable({"x"});
  EXPECT_EQ(dir_.Run({"check", "m.mcn"}, {"MCN_PASSWORD=秘密"}).exit_code, 0);
  ASSERT_EQ(dir_.Run({"create", "q", "n:int"}, {"MCN_PASSWORD=秘密"}).exit_code, 0);
  EXPECT_EQ(ReadWholeFile(dir_ / "q.EDB").substr(0, 4), "WEDB");
  // recover and check read the source's password the same ways.
  EXPECT_EQ(dir_.Run({"check", "p"}, {"MCN_PASSWORD=秘密"}).exit_code, 0);
  ASSERT_EQ(dir_.Run({"recover", "p", "p2"}, {"MCN_PASSWORD=秘密"}).exit_code, 0);
  EXPECT_EQ(dir_.Run({"dump", "p2", "--csv", "--password-file", "pw"}).out, rows);

  McnResult both = dir_.Run({"--password", "秘密", "--password-file", "pw", "dump", "p"});
  EXPECT_EQ(both.exit_code, 2);
  McnResult missing = dir_.Run({"--password-file", "nothing", "dump", "p"});
  EXPECT_EQ(missing.exit_code, 1);
  EXPECT_TRUE(Contains(missing.err, "cannot read the password file nothing")) << missing.err;
  EXPECT_EQ(dir_.Run({"--password-file", "", "dump", "p"}).exit_code, 2);
}

TEST_F(GuardTest, OnATerminalThePasswordIsAskedForWithoutEcho) {
  WriteWholeFile(dir_ / "pw", "秘密zq\n");
  ASSERT_EQ(dir_.Run({"--password-file", "pw", "create", "p", "名字:text:8"}).exit_code, 0);
  ASSERT_EQ(dir_.Run({"--password-file", "pw", "add", "p", "值"}).exit_code, 0);
  McnResult asked = dir_.RunOnTerminal({"dump", "p", "--csv"}, "password for p: ", "秘密zq\n");
  EXPECT_EQ(asked.exit_code, 0) << asked.out;
  EXPECT_TRUE(Contains(asked.out, "mcn: password for p: ")) << asked.out;
  EXPECT_TRUE(Contains(asked.out, "1,false,值\r\n")) << asked.out;
  EXPECT_FALSE(Contains(asked.out, "zq")) << asked.out;  // what was typed never shows

  McnResult wrong = dir_.RunOnTerminal({"dump", "p"}, "password for p: ", "nope\n");
  EXPECT_EQ(wrong.exit_code, 1);
  EXPECT_TRUE(Contains(wrong.out, "-78 ")) << wrong.out;
  EXPECT_FALSE(Contains(wrong.out, "nope")) << wrong.out;

  EXPECT_TRUE(asked.terminal_echoes);
  // Ctrl-C at the prompt ends mcn by the interrupt and gives the terminal its echo back.
  McnResult interrupted = dir_.RunOnTerminal({"dump", "p"}, "password for p: ", "\x03");
  EXPECT_EQ(interrupted.exit_code, 128 + SIGINT) << interrupted.out;
  EXPECT_TRUE(interrupted.terminal_echoes);

  // An unprotected file asks nothing.
  MakeMemoTable({"x"});
  McnResult plain = dir_.RunOnTerminal({"check", "m.mcn"});
  EXPECT_EQ(plain.exit_code, 0) << plain.out;
  EXPECT_FALSE(Contains(plain.out, "password")) << plain.out;
}

// ---------------------------------------------------------------------------------------------
// CSV on a terminal, CSV into a file.

TEST_F(GuardTest, CsvEscapesControlCharactersOnATerminalAndKeepsBytesInAFile) {
  MakeMemoTable({});
  const std::string memo =
      "red\x1b[31mX\nline2\x7f"
      "2J";
  ASSERT_EQ(dir_.Run({"add", "m.mcn", "x", "", memo, ""}).exit_code, 0);
  const std::string escaped = "red\\u001b[31mX\\nline2\\u007f2J";

  McnResult file_dump = dir_.Run({"dump", "m.mcn", "--csv"});
  EXPECT_TRUE(Contains(file_dump.out, ",\"" + memo + "\",\r\n")) << file_dump.out;
  McnResult file_export = dir_.Run({"export", "m.mcn", "--csv"});
  EXPECT_TRUE(Contains(file_export.out, ",\"" + memo + "\",\r\n")) << file_export.out;
  // What export wrote reads back byte for byte.
  WriteWholeFile(dir_ / "out.csv", file_export.out);
  ASSERT_EQ(dir_.Run({"import", "m.mcn", "out.csv"}).exit_code, 0);
  EXPECT_EQ(dir_.Run({"export", "m.mcn", "--csv"}).out,
            file_export.out + file_export.out.substr(file_export.out.find("\r\n") + 2));

  McnResult screen_dump = dir_.RunOnTerminal({"dump", "m.mcn", "--csv"});
  EXPECT_EQ(screen_dump.exit_code, 0);
  EXPECT_TRUE(Contains(screen_dump.out, ",x,0100-01-01T00:00:00," + escaped + ",\r\n"))
      << screen_dump.out;
  McnResult screen_export = dir_.RunOnTerminal({"export", "m.mcn", "--csv"});
  EXPECT_TRUE(Contains(screen_export.out, "x,0100-01-01T00:00:00," + escaped + ",\r\n"))
      << screen_export.out;
  for (const McnResult* screen : {&screen_dump, &screen_export}) {
    EXPECT_FALSE(Contains(screen->out, "\x1b")) << screen->out;
    EXPECT_FALSE(Contains(screen->out, "\x7f")) << screen->out;
  }
  // The plain and JSON forms escape DEL too, wherever they write.
  EXPECT_TRUE(Contains(dir_.Run({"dump", "m.mcn", "--json"}).out, escaped));
  EXPECT_TRUE(Contains(dir_.Run({"dump", "m.mcn"}).out, escaped));
}

// ---------------------------------------------------------------------------------------------
// What a stopped sort leaves.

TEST_F(GuardTest, CheckNamesAStoppedSortsPassingFilesAsNotes) {
  MakeMemoTable({"x"});
  WriteWholeFile(dir_ / "m.mcn.~sort4711", std::string(434, 'r'));
  WriteWholeFile(dir_ / "m.edt.~sort4711", std::string(1024, 'm'));
  WriteWholeFile(dir_ / "m.mcn.~sortx", "not a passing name");
  WriteWholeFile(dir_ / "m.mcn.~sort", "no number");
  WriteWholeFile(dir_ / "other.mcn.~sort1", "another database's");
  McnResult check = dir_.Run({"check", "m.mcn"});
  EXPECT_EQ(check.exit_code, 0) << check.out;
  EXPECT_EQ(check.out,
            "note: m.edt.~sort4711 (1024 bytes) is left from a sort into this file that did not "
            "finish; unless a query is running now, it is a stale copy of records and memos that "
            "can be removed\n"
            "note: m.mcn.~sort4711 (434 bytes) is left from a sort into this file that did not "
            "finish; unless a query is running now, it is a stale copy of records and memos that "
            "can be removed\n"
            "ok: 1 record, no problems found\n");
  EXPECT_TRUE(std::filesystem::exists(dir_ / "m.mcn.~sort4711"));  // check only looks
}

}  // namespace
}  // namespace memo::mcn::testing
