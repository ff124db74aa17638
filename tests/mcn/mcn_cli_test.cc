// mcn as a user runs it: a child process working on real files in a scratch directory.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "db/images.h"
#include "tests/mcn/mcn_fixture.h"

namespace memo::mcn::testing {
namespace {

TEST_F(McnTest, CreateAddDumpJsonRoundTripsEveryType) {
  McnResult create =
      dir_.Run({"create", "all", "b:byte", "s:short", "i:int", "l:long", "f:float", "d:double",
                "ok:bool", "t:datetime", "名称:text:10", "data:bytes", "备注:memo"});
  ASSERT_EQ(create.exit_code, 0) << create.err;
  EXPECT_TRUE(std::filesystem::exists(dir_ / "all.EDB"));
  EXPECT_TRUE(std::filesystem::exists(dir_ / "all.EDT"));
  std::string memo = "第一行 \"quoted\"\n" + std::string(1200, 'm') + "\t尾";
  McnResult add = dir_.Run({"add", "all", "200", "-5", "123456", "9007199254740993", "1.5", "0.1",
                            "真", "2014-07-10 09:05:00", "abc一二三四五", "0x00ff10", memo});
  ASSERT_EQ(add.exit_code, 0) << add.err;
  EXPECT_EQ(add.out, "added record 1 (serial 1)\n");
  ASSERT_EQ(dir_.Run({"add", "all", "", "", "", "", "", "", "FALSE", "", "--partial"}).exit_code,
            0);

  McnResult dump = dir_.Run({"dump", "all", "--json"});
  ASSERT_EQ(dump.exit_code, 0) << dump.err;
  std::string memo_json = "第一行 \\\"quoted\\\"\\n" + std::string(1200, 'm') + "\\t尾";
  EXPECT_EQ(
      dump.out,
      "{\"fields\":[{\"name\":\"b\",\"type\":\"byte\",\"offset\":4,\"length\":1},"
      "{\"name\":\"s\",\"type\":\"short\",\"offset\":5,\"length\":2},"
      "{\"name\":\"i\",\"type\":\"int\",\"offset\":7,\"length\":4},"
      "{\"name\":\"l\",\"type\":\"long\",\"offset\":11,\"length\":8},"
      "{\"name\":\"f\",\"type\":\"float\",\"offset\":19,\"length\":4},"
      "{\"name\":\"d\",\"type\":\"double\",\"offset\":23,\"length\":8},"
      "{\"name\":\"ok\",\"type\":\"bool\",\"offset\":31,\"length\":1},"
      "{\"name\":\"t\",\"type\":\"datetime\",\"offset\":32,\"length\":8},"
      "{\"name\":\"名称\",\"type\":\"text\",\"offset\":40,\"length\":10},"
      "{\"name\":\"data\",\"type\":\"bytes\",\"offset\":50,\"length\":4},"
      "{\"name\":\"备注\",\"type\":\"memo\",\"offset\":54,\"length\":4}],\n"
      "\"records\":[\n"
      "{\"serial\":1,\"deleted\":false,\"values\":{\"b\":200,\"s\":-5,\"i\":123456,"
      "\"l\":9007199254740993,\"f\":1.5,\"d\":0.1,\"ok\":true,\"t\":\"2014-07-10T09:05:00\","
      "\"名称\":\"abc一二三\",\"data\":\"00ff10\",\"备注\":\"" +
          memo_json +
          "\"}},\n"
          "{\"serial\":2,\"deleted\":false,\"values\":{\"b\":0,\"s\":0,\"i\":0,\"l\":0,\"f\":0,"
          "\"d\":0,\"ok\":false,\"t\":\"0100-01-01T00:00:00\",\"名称\":\"\",\"data\":\"\","
          "\"备注\":\"\"}}\n"
          "]}\n");
}

TEST_F(McnTest, DumpSkipsDeletedRecordsUnlessAllIsGiven) {
  MakeMemoTable({"one", "two", "three"});
  PatchU32(Table(), kMemoRecordsStart + kMemoRecordSize, static_cast<uint32_t>(-2));
  McnResult live = dir_.Run({"dump", "m.mcn", "--json"});
  ASSERT_EQ(live.exit_code, 0) << live.err;
  EXPECT_EQ(live.out.find("two"), std::string::npos);
  EXPECT_NE(live.out.find("three"), std::string::npos);
  McnResult all = dir_.Run({"dump", "m.mcn", "--json", "--all"});
  ASSERT_EQ(all.exit_code, 0) << all.err;
  EXPECT_NE(all.out.find("{\"serial\":2,\"deleted\":true,"), std::string::npos) << all.out;
  McnResult info = dir_.Run({"info", "m.mcn"});
  EXPECT_NE(info.out.find("records:       3 (2 live, 1 deleted)"), std::string::npos) << info.out;
}

TEST_F(McnTest, CheckPassesSoundFilesAndTheCarriedImages) {
  MakeMemoTable({std::string(1200, 'a'), "", std::string(501, 'b')});
  McnResult check = dir_.Run({"check", "m.mcn"});
  EXPECT_EQ(check.exit_code, 0) << check.out << check.err;
  EXPECT_EQ(check.out, "ok: 3 records, no problems found\n");

  WriteWholeFile(dir_ / "a.mcn", std::string(db::MemoTableImageBytes()));
  WriteWholeFile(dir_ / "a.edt", std::string(db::MemoFileImageBytes()));
  WriteWholeFile(dir_ / "c.mcn", std::string(db::AccountsImageBytes()));
  EXPECT_EQ(dir_.Run({"check", "a.mcn"}).exit_code, 0);
  EXPECT_EQ(dir_.Run({"check", "c.mcn"}).exit_code, 0);
  McnResult info = dir_.Run({"info", "a.mcn"});
  EXPECT_NE(info.out.find("next serial:   57"), std::string::npos) << info.out;
  McnResult accounts = dir_.Run({"dump", "c.mcn", "--json"});
  EXPECT_NE(accounts.out.find("{\"serial\":1,\"deleted\":false,\"values\":{\"帐号\":\"test\","
                              "\"密码\":\"kqzv\"}}"),
            std::string::npos)
      << accounts.out;
}

TEST_F(McnTest, CheckReportsALoopingChainAndDumpDoesNotHang) {
  MakeMemoTable({std::string(1200, 'a')});  // blocks 1, 2, 3
  PatchU32(Memo(), BlockAt(3) + 4, 1);
  McnResult check = dir_.Run({"check", "m.mcn"});
  EXPECT_EQ(check.exit_code, 1);
  EXPECT_NE(check.out.find("record 1 field 记事: chain loops back to block 1"), std::string::npos)
      << check.out;
  McnResult dump = dir_.Run({"dump", "m.mcn"});
  EXPECT_EQ(dump.exit_code, 1);
  EXPECT_NE(dump.err.find("record 1 field 记事: -59 访问数据库的辅助文件失败"), std::string::npos)
      << dump.err;
}

TEST_F(McnTest, CheckReportsABlockUsedByTwoChains) {
  MakeMemoTable({std::string(1200, 'a'), "short"});  // record 2's memo is block 4
  PatchU32(Table(), MemoFieldAt(1), 1);
  McnResult check = dir_.Run({"check", "m.mcn"});
  EXPECT_EQ(check.exit_code, 1);
  EXPECT_NE(
      check.out.find("record 2 field 记事: block 1 is also on the chain of record 1 field 记事"),
      std::string::npos)
      << check.out;
  EXPECT_NE(check.out.find("block 4 is on no chain and not on the free list"), std::string::npos)
      << check.out;
}

TEST_F(McnTest, CheckReportsAFreeListCountMismatch) {
  MakeMemoTable({std::string(1200, 'a')});
  PatchU32(Memo(), 0x14, 2);  // free count 2, but the list is empty
  McnResult check = dir_.Run({"check", "m.mcn"});
  EXPECT_EQ(check.exit_code, 1);
  EXPECT_NE(check.out.find("free list holds 0 blocks, the header counts 2"), std::string::npos)
      << check.out;
  EXPECT_NE(check.out.find("1 problem found"), std::string::npos) << check.out;
}

TEST_F(McnTest, LookingNeverChangesADamagedFile) {
  MakeMemoTable({std::string(1200, 'a'), "b", "c"});
  // The record file ends inside the last record: an open with access 0 would cut it and lower
  // the count. The memo file misses part of its last block: access 0 would lower the block count.
  std::string table = ReadWholeFile(Table());
  table.resize(table.size() - 7);
  WriteWholeFile(Table(), table);
  std::string memo = ReadWholeFile(Memo());
  memo.resize(memo.size() - 100);
  WriteWholeFile(Memo(), memo);

  for (const char* command : {"info", "dump", "export"}) {
    std::vector<std::string> args = {command, "m.mcn"};
    if (std::string(command) == "export") args.push_back("--csv");
    McnResult result = dir_.Run(args);
    EXPECT_EQ(result.exit_code, 1) << command;
    EXPECT_EQ(result.err, "-48 数据库文件尺寸错误\n") << command;
    EXPECT_EQ(ReadWholeFile(Table()), table) << command;
    EXPECT_EQ(ReadWholeFile(Memo()), memo) << command;
  }
  // check says what the engine's -48 is about.
  McnResult check = dir_.Run({"check", "m.mcn"});
  EXPECT_EQ(check.exit_code, 1);
  EXPECT_TRUE(Contains(check.out,
                       "damage: the header counts 3 records, the file holds 2 whole "
                       "records and 23 bytes of record 3\n"))
      << check.out;
  EXPECT_EQ(ReadWholeFile(Table()), table);
  EXPECT_EQ(ReadWholeFile(Memo()), memo);

  // With the record file whole again, the memo file's shortfall is what the open reports.
  std::filesystem::remove(Table());
  std::filesystem::remove(Memo());
  MakeMemoTable({std::string(1200, 'a')});
  memo = ReadWholeFile(Memo());
  memo.resize(memo.size() - 100);
  WriteWholeFile(Memo(), memo);
  table = ReadWholeFile(Table());
  for (const char* command : {"info", "dump"}) {
    McnResult result = dir_.Run({command, "m.mcn"});
    EXPECT_EQ(result.exit_code, 1) << command;
    EXPECT_EQ(result.err, "-37 指定文件不是数据库辅助文件或已被损坏\n") << command;
    EXPECT_EQ(ReadWholeFile(Memo()), memo) << command;
    EXPECT_EQ(ReadWholeFile(Table()), table) << command;
  }
  check = dir_.Run({"check", "m.mcn"});
  EXPECT_EQ(check.exit_code, 1);
  EXPECT_TRUE(Contains(check.out,
                       "damage: memo file: the header counts 4 blocks, the file holds 3 "
                       "whole blocks\n"))
      << check.out;
  EXPECT_TRUE(Contains(check.out,
                       "damage: record 1 field 记事: link to block 3, outside the memo "
                       "file (3 whole blocks)\n"))
      << check.out;
  EXPECT_TRUE(Contains(check.out, "note: memo file: ends with 412 bytes of a partial block\n"))
      << check.out;
  EXPECT_EQ(ReadWholeFile(Memo()), memo);
}

TEST_F(McnTest, ExitCodesSeparateSuccessFailureAndBadUsage) {
  EXPECT_EQ(dir_.Run({}).exit_code, 2);
  EXPECT_EQ(dir_.Run({"frobnicate", "x"}).exit_code, 2);
  EXPECT_EQ(dir_.Run({"dump"}).exit_code, 2);
  EXPECT_EQ(dir_.Run({"dump", "x", "--json", "--csv"}).exit_code, 2);
  EXPECT_EQ(dir_.Run({"export", "x"}).exit_code, 2);
  EXPECT_EQ(dir_.Run({"create", "x", "a:text"}).exit_code, 2);
  EXPECT_EQ(dir_.Run({"create", "x", "a:int:4"}).exit_code, 2);
  EXPECT_EQ(dir_.Run({"create", "x", "a:string"}).exit_code, 2);
  EXPECT_EQ(dir_.Run({"info", "x", "--password"}).exit_code, 2);
  McnResult help = dir_.Run({"--help"});
  EXPECT_EQ(help.exit_code, 0);
  EXPECT_NE(help.out.find("usage: mcn"), std::string::npos);

  McnResult missing = dir_.Run({"dump", "nothing.mcn"});
  EXPECT_EQ(missing.exit_code, 1);
  EXPECT_EQ(missing.err, "-3 指定文件未找到\n");
  WriteWholeFile(dir_ / "junk.mcn", std::string(200, 'x'));
  McnResult junk = dir_.Run({"info", "junk.mcn"});
  EXPECT_EQ(junk.exit_code, 1);
  EXPECT_EQ(junk.err, "-22 指定文件不是数据库文件\n");
  EXPECT_EQ(ReadWholeFile(dir_ / "junk.mcn"), std::string(200, 'x'));

  McnResult bad_name = dir_.Run({"create", "y", "1abc:int"});
  EXPECT_EQ(bad_name.exit_code, 1);
  EXPECT_EQ(bad_name.err.substr(0, 4), "-18 ");
  EXPECT_FALSE(std::filesystem::exists(dir_ / "y.EDB"));
  McnResult duplicate = dir_.Run({"create", "y", "Name:int", "NAME:int"});
  EXPECT_EQ(duplicate.exit_code, 1);
  EXPECT_EQ(duplicate.err.substr(0, 4), "-20 ");

  MakeMemoTable({"x"});
  EXPECT_EQ(dir_.Run({"add", "m.mcn", "a", "b", "c", "d", "e"}).exit_code, 2);
  // Characters GBK cannot hold would be stored as '?': refused, nothing added.
  McnResult emoji = dir_.Run({"add", "m.mcn", "x", "", "\xF0\x9F\x98\x80", ""});
  EXPECT_EQ(emoji.exit_code, 1);
  EXPECT_NE(emoji.err.find("GBK cannot hold"), std::string::npos) << emoji.err;
  EXPECT_NE(dir_.Run({"info", "m.mcn"}).out.find("records:       1 "), std::string::npos);
  EXPECT_EQ(dir_.Run({"create", "m.mcn", "a:int"}).exit_code, 1);  // exists: left alone
  EXPECT_EQ(dir_.Run({"check", "m.mcn"}).exit_code, 0);
}

TEST_F(McnTest, PasswordGuardsAProtectedFile) {
  ASSERT_EQ(dir_.Run({"--password", "秘密", "create", "p", "名字:text:8"}).exit_code, 0);
  EXPECT_EQ(ReadWholeFile(dir_ / "p.EDB").substr(0, 4), "WCDB");
  McnResult without = dir_.Run({"dump", "p"});
  EXPECT_EQ(without.exit_code, 1);
  EXPECT_EQ(without.err, "-78 未提供数据库访问密码或提供了错误的密码\n");
  EXPECT_EQ(dir_.Run({"add", "p", "值", "--password=错的"}).exit_code, 1);
  EXPECT_EQ(dir_.Run({"add", "p", "值", "--password", "秘密"}).exit_code, 0);
  McnResult with = dir_.Run({"dump", "p", "--csv", "--password", "秘密"});
  EXPECT_EQ(with.exit_code, 0) << with.err;
  EXPECT_EQ(with.out, "serial,deleted,名字\r\n1,false,值\r\n");
}

TEST_F(McnTest, CsvImportExportRoundTripsWithChineseNames) {
  ASSERT_EQ(dir_.Run({"create", "acc", "帐号:text:20", "密码:text:40", "余额:double", "启用:bool",
                      "备注:memo", "附件:bytes"})
                .exit_code,
            0);
  std::string csv =
      "帐号,密码,余额,启用,备注,附件\r\n"
      "张三,\"a,b\",12.5,true,\"第一行\r\n第二行 \"\"引号\"\"\",0x0102ff\r\n"
      "李四,kqzv,-0.25,false,,\r\n";
  WriteWholeFile(dir_ / "in.csv", csv);
  McnResult import = dir_.Run({"import", "acc", "in.csv"});
  ASSERT_EQ(import.exit_code, 0) << import.err;
  EXPECT_EQ(import.out, "imported 2 records\n");
  McnResult exported = dir_.Run({"export", "acc", "--csv"});
  ASSERT_EQ(exported.exit_code, 0) << exported.err;
  EXPECT_EQ(exported.out, csv);

  // Columns in another order, some left out, names in another letter case.
  WriteWholeFile(dir_ / "part.csv", "备注,帐号\n只有备注,王五\n");
  ASSERT_EQ(dir_.Run({"import", "acc", "part.csv"}).exit_code, 0);
  McnResult json = dir_.Run({"dump", "acc", "--json"});
  EXPECT_NE(
      json.out.find("{\"serial\":3,\"deleted\":false,\"values\":{\"帐号\":\"王五\",\"密码\":\"\","
                    "\"余额\":0,\"启用\":false,\"备注\":\"只有备注\",\"附件\":\"\"}}"),
      std::string::npos)
      << json.out;

  // A column that names no field, or a broken quote, adds nothing at all.
  WriteWholeFile(dir_ / "bad.csv", "帐号,昵称\nx,y\n");
  EXPECT_EQ(dir_.Run({"import", "acc", "bad.csv"}).exit_code, 1);
  WriteWholeFile(dir_ / "broken.csv", "帐号\n\"open\n");
  EXPECT_EQ(dir_.Run({"import", "acc", "broken.csv"}).exit_code, 1);
  McnResult info = dir_.Run({"info", "acc"});
  EXPECT_NE(info.out.find("records:       3 "), std::string::npos) << info.out;
}

#if defined(__SANITIZE_ADDRESS__)
#define MEMO_TEST_WITH_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define MEMO_TEST_WITH_ASAN 1
#endif
#endif

// A header may declare a record size of nearly 2 GB (every rule of the format holds for it).
// Adding a record then needs a buffer this machine may not have: the add must fail with -45 and
// leave the file as it was, not end the program. (Under AddressSanitizer an allocation that fails
// aborts by design, so the case runs in builds without it.)
TEST_F(McnTest, AddToAHugeDeclaredRecordFailsWithAllocationError) {
#ifdef MEMO_TEST_WITH_ASAN
  GTEST_SKIP() << "needs a build without AddressSanitizer (an address-space limit)";
#else
  std::string file(112 + 4 + 72, '\0');
  auto put = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) file[at + i] = static_cast<char>(v >> (8 * i));
  };
  file.replace(0, 4, "WEDB");
  put(0x04, 0x00010000);
  put(0x10, 0);           // no records
  put(0x14, 1);           // next serial
  put(0x18, 0x7FFFFF00);  // record size
  put(0x70, 1);           // one field: "n", integer at 4
  file[0x74] = 'n';
  put(0x74 + 20, 3);
  put(0x74 + 24, 4);
  WriteWholeFile(dir_ / "huge.mcn", file);
  ASSERT_EQ(dir_.Run({"info", "huge.mcn"}).exit_code, 0);
  McnResult add = dir_.RunLimited({"add", "huge.mcn", "5"}, uint64_t{1} << 30);
  EXPECT_EQ(add.exit_code, 1) << add.err;
  EXPECT_EQ(add.err, "-45 分配内存空间失败\n");
  EXPECT_EQ(ReadWholeFile(dir_ / "huge.mcn"), file);
#endif
}

}  // namespace
}  // namespace memo::mcn::testing
