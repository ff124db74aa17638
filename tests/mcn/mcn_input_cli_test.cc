// What mcn takes as input: values that must fit their fields, imports that go in whole or not at
// all, creates that never write over a file, and listings that escape what they print.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/mcn/mcn_fixture.h"

namespace memo::mcn::testing {
namespace {

class InputTest : public McnTest {
 protected:
  static constexpr int kFields = 11;
  void MakeAllTypes() {
    ASSERT_EQ(
        dir_.Run({"create", "all", "b:byte", "s:short", "i:int", "l:long", "f:float", "d:double",
                  "ok:bool", "t:datetime", "名称:text:4", "data:bytes", "备注:memo"})
            .exit_code,
        0);
  }
  // An add of `all` with every value empty except field `field`.
  McnResult AddOne(int field, const std::string& value) {
    std::vector<std::string> args = {"add", "all"};
    for (int f = 0; f < kFields; ++f) args.push_back(f == field ? value : "");
    return dir_.Run(args);
  }
  std::string Records(const std::string& file) {
    McnResult info = dir_.Run({"info", file});
    size_t at = info.out.find("records:");
    return at == std::string::npos ? info.err : info.out.substr(at, info.out.find('\n', at) - at);
  }
};

TEST_F(InputTest, AValueThatDoesNotFitIsAnErrorNamingFieldValueAndReason) {
  MakeAllTypes();
  const std::string memo_before = ReadWholeFile(dir_ / "all.EDT");
  struct Case {
    int field;
    const char* value;
    const char* error;
  };
  const std::vector<Case> cases = {
      {0, "256", "field b: 256 is out of range for a byte field (0..255)"},
      {0, "-1", "field b: -1 is out of range for a byte field (0..255)"},
      {1, "32768", "field s: 32768 is out of range for a short field (-32768..32767)"},
      {2, "2147483648",
       "field i: 2147483648 is out of range for an int field "
       "(-2147483648..2147483647)"},
      {3, "9223372036854775808", "field l: 9223372036854775808 is out of range for a long field"},
      {2, "12abc", "field i: \"12abc\" is not a whole number"},
      {2, "1.5", "field i: \"1.5\" is not a whole number"},
      {2, "0x10", "field i: \"0x10\" is not a whole number"},
      {2, "+-3", "field i: \"+-3\" is not a whole number"},
      {4, "1e39", "field f: 1e39 is out of range for a float field (about ±3.4e38)"},
      {5, "1e400", "field d: 1e400 is out of range for a double field (about ±1.8e308)"},
      {5, "abc", "field d: \"abc\" is not a number"},
      {5, "0x1p3", "field d: \"0x1p3\" is not a number"},
      {5, "1e", "field d: \"1e\" is not a number"},
      {6, "maybe",
       "field ok: \"maybe\" is not a logical word (true: 1 true t yes y 真 是; false: "
       "0 false f no n 假 否)"},
      {6, "zhen", "field ok: \"zhen\" is not a logical word"},
      {7, "2023-02-29", "field t: \"2023-02-29\" is not a real date and time"},
      {7, "2023-01-01 24:00:00", "field t: \"2023-01-01 24:00:00\" is not a real date and time"},
      {7, "2023-13-01", "field t: \"2023-13-01\" is not a real date and time"},
      {7, "2023年2月30日", "field t: \"2023年2月30日\" is not a real date and time"},
      {7, "9999-12-31 00:00:01",
       "field t: \"9999-12-31 00:00:01\" lies outside "
       "0100-01-01T00:00:00 .. 9999-12-31T00:00:00"},
      {7, "0100-01-01 12:00", "field t: \"0100-01-01 12:00\" lies outside"},
      {7, "yesterday", "field t: \"yesterday\" is not a date-time (YYYY-MM-DD"},
      {9, "0xZZ",
       "field data: \"0xZZ\" is not hex (an even number of hex digits, optionally after "
       "0x)"},
      {9, "abc", "field data: \"abc\" is not hex"},
      {8, "\xF0\x9F\x98\x80",
       "field 名称: \"\xF0\x9F\x98\x80\" has characters that GBK cannot hold"},
  };
  for (const Case& c : cases) {
    McnResult add = AddOne(c.field, c.value);
    EXPECT_EQ(add.exit_code, 1) << c.value;
    EXPECT_TRUE(Contains(add.err, std::string("mcn: ") + c.error)) << c.value << ": " << add.err;
  }
  EXPECT_EQ(Records("all"), "records:       0 (0 live, 0 deleted)");
  EXPECT_EQ(ReadWholeFile(dir_ / "all.EDT"), memo_before);
}

TEST_F(InputTest, ValuesAtTheLimitsAreTakenAndExportedFormsReadBack) {
  MakeAllTypes();
  McnResult low = dir_.Run({"add", "all", "0", "-32768", "-2147483648", "-9223372036854775808",
                            "-3.4028235e38", "-inf", "是", "0100-01-01", "", "0X00FF", ""});
  ASSERT_EQ(low.exit_code, 0) << low.err;
  McnResult high =
      dir_.Run({"add", "all", " 255 ", "+32767", "2147483647", "9223372036854775807",
                "3.4028235e38", "1e-400", "F", "2024-02-29 23:59:59", "abcd", "", "备注"});
  ASSERT_EQ(high.exit_code, 0) << high.err;
  McnResult spaced = dir_.Run({"add", "all", "", "", "", "", ".5", "nan", "TRUE", "9999年12月31日",
                               " a ", "00", " 两端有空格 "});
  ASSERT_EQ(spaced.exit_code, 0) << spaced.err;

  McnResult exported = dir_.Run({"export", "all", "--csv"});
  ASSERT_EQ(exported.exit_code, 0) << exported.err;
  EXPECT_EQ(exported.out,
            "b,s,i,l,f,d,ok,t,名称,data,备注\r\n"
            "0,-32768,-2147483648,-9223372036854775808,-3.4028235e+38,-inf,true,"
            "0100-01-01T00:00:00,,0x00ff,\r\n"
            "255,32767,2147483647,9223372036854775807,3.4028235e+38,0,false,2024-02-29T23:59:59,"
            "abcd,,备注\r\n"
            "0,0,0,0,0.5,nan,true,9999-12-31T00:00:00,\" a \",0x00,\" 两端有空格 \"\r\n");

  // What export writes, import takes back unchanged.
  WriteWholeFile(dir_ / "all.csv", exported.out);
  ASSERT_EQ(
      dir_.Run({"create", "copy", "b:byte", "s:short", "i:int", "l:long", "f:float", "d:double",
                "ok:bool", "t:datetime", "名称:text:4", "data:bytes", "备注:memo"})
          .exit_code,
      0);
  McnResult import = dir_.Run({"import", "copy", "all.csv"});
  ASSERT_EQ(import.exit_code, 0) << import.err;
  EXPECT_EQ(dir_.Run({"export", "copy", "--csv"}).out, exported.out);
}

TEST_F(InputTest, ATextLongerThanItsFieldIsCutAsTheEngineCutsItWithAWarning) {
  MakeAllTypes();
  McnResult add = AddOne(8, "abc一二");  // 7 bytes in GBK; 4 would split 一
  ASSERT_EQ(add.exit_code, 0) << add.err;
  EXPECT_EQ(add.err,
            "mcn: warning: field 名称: \"abc一二\" is 7 bytes, longer than the field's 4: cut to "
            "\"abc\"\n");
  EXPECT_TRUE(Contains(dir_.Run({"dump", "all", "--csv"}).out, ",abc,")) << "cut as warned";
  McnResult fits = AddOne(8, "ab一");
  EXPECT_EQ(fits.err, "");
  // A memo has no length to keep to.
  EXPECT_EQ(AddOne(10, std::string(3000, 'm')).err, "");

  // A NUL would end the text early: refused (it can only come from a file).
  WriteWholeFile(dir_ / "nul.csv", std::string("名称,备注\nok,a") + '\0' + "b\n");
  McnResult nul = dir_.Run({"import", "all", "nul.csv"});
  EXPECT_EQ(nul.exit_code, 1);
  EXPECT_TRUE(Contains(nul.err, "mcn: nul.csv row 2 column 备注: the text holds a NUL character"))
      << nul.err;
  EXPECT_EQ(Records("all"), "records:       3 (3 live, 0 deleted)");
}

TEST_F(InputTest, AddWithFewerValuesThanFieldsIsBadUsageUnlessPartial) {
  MakeMemoTable({});
  McnResult few = dir_.Run({"add", "m.mcn", "收款", "2014-07-10"});
  EXPECT_EQ(few.exit_code, 2);
  EXPECT_EQ(few.err,
            "mcn: the database has 4 fields, 2 values given (--partial leaves the rest "
            "empty)\n");
  EXPECT_EQ(Records("m.mcn"), "records:       0 (0 live, 0 deleted)");
  McnResult partial = dir_.Run({"add", "m.mcn", "收款", "2014-07-10", "--partial"});
  ASSERT_EQ(partial.exit_code, 0) << partial.err;
  EXPECT_EQ(dir_.Run({"dump", "m.mcn", "--csv"}).out,
            "serial,deleted,分类,时间,记事,跟进\r\n1,false,收款,2014-07-10T00:00:00,,\r\n");
  EXPECT_EQ(dir_.Run({"dump", "m.mcn", "--partial"}).exit_code, 2);
}

TEST_F(InputTest, ImportChecksEveryRowFirstAndAddsAllOrNothing) {
  ASSERT_EQ(dir_.Run({"create", "acc", "帐号:text:20", "余额:double", "备注:memo"}).exit_code, 0);
  WriteWholeFile(dir_ / "bad.csv", "帐号,余额,备注\n张三,1.5,第一\n李四,2,第二\n王五,x,第三\n");
  McnResult bad = dir_.Run({"import", "acc", "bad.csv"});
  EXPECT_EQ(bad.exit_code, 1);
  EXPECT_EQ(bad.err, "mcn: bad.csv row 4 column 余额: \"x\" is not a number\n");
  WriteWholeFile(dir_ / "wide.csv", "帐号,余额\n张三,1\n李四,2,3\n");
  McnResult wide = dir_.Run({"import", "acc", "wide.csv"});
  EXPECT_EQ(wide.exit_code, 1);
  EXPECT_EQ(wide.err, "mcn: wide.csv row 3 has more cells than the heading\n");
  EXPECT_EQ(Records("acc"), "records:       0 (0 live, 0 deleted)");
  EXPECT_EQ(ReadWholeFile(dir_ / "acc.EDT").size(), 512u);

  // An engine failure part-way takes back the rows added before it. The free list here names a
  // block in use, so the first memo that needs a block fails (-59).
  ASSERT_EQ(dir_.Run({"add", "acc", "keep", "0", "kept"}).exit_code, 0);
  PatchU32(dir_ / "acc.EDT", 0x18, 1);
  PatchU32(dir_ / "acc.EDT", 0x14, 1);
  const std::string table = ReadWholeFile(dir_ / "acc.EDB");
  WriteWholeFile(dir_ / "late.csv", "帐号,备注\na,\nb,\nc,needs a block\n");
  McnResult late = dir_.Run({"import", "acc", "late.csv"});
  EXPECT_EQ(late.exit_code, 1);
  EXPECT_TRUE(Contains(late.err, "mcn: late.csv row 4 could not be added: -59 ")) << late.err;
  EXPECT_TRUE(Contains(late.err,
                       "mcn: nothing imported (the 2 rows added before it were "
                       "removed)\n"))
      << late.err;
  EXPECT_EQ(Records("acc"), "records:       1 (1 live, 0 deleted)");
  EXPECT_EQ(dir_.Run({"dump", "acc", "--csv"}).out,
            "serial,deleted,帐号,余额,备注\r\n1,false,keep,0,kept\r\n");
}

TEST_F(InputTest, CreateNeverWritesOverAFileAndLeavesNothingWhenItFails) {
  WriteWholeFile(dir_ / "x.EDT", "someone's memos");
  McnResult memo_taken = dir_.Run({"create", "x", "a:int"});
  EXPECT_EQ(memo_taken.exit_code, 1);
  EXPECT_TRUE(Contains(memo_taken.err, "x.EDT already exists")) << memo_taken.err;
  EXPECT_FALSE(std::filesystem::exists(dir_ / "x.EDB"));
  EXPECT_EQ(ReadWholeFile(dir_ / "x.EDT"), "someone's memos");

  // The name check fails after both names are claimed: both are given up again.
  McnResult bad = dir_.Run({"create", "z", "ok:memo", "1bad:int"});
  EXPECT_EQ(bad.exit_code, 1);
  EXPECT_EQ(bad.err.substr(0, 4), "-18 ");
  EXPECT_FALSE(std::filesystem::exists(dir_ / "z.EDB"));
  EXPECT_FALSE(std::filesystem::exists(dir_ / "z.EDT"));

  // Of several creates of one name at once, exactly one succeeds.
  std::vector<McnResult> race = dir_.RunTogether({"create", "race", "t:text:8", "m:memo"}, 8);
  int created = 0;
  for (const McnResult& result : race) {
    if (result.exit_code == 0) {
      ++created;
    } else {
      EXPECT_EQ(result.exit_code, 1);
      EXPECT_TRUE(Contains(result.err, "already exists")) << result.err;
    }
  }
  EXPECT_EQ(created, 1);
  EXPECT_EQ(dir_.Run({"check", "race"}).out, "ok: 0 records, no problems found\n");
}

TEST_F(InputTest, ListingsEscapeControlCharactersAsJsonDoes) {
  MakeMemoTable({});
  const std::string memo =
      "a\x01"
      "b\tc\nd\\e\"f\x1f";
  ASSERT_EQ(dir_.Run({"add", "m.mcn", "x", "", memo, ""}).exit_code, 0);
  McnResult plain = dir_.Run({"dump", "m.mcn"});
  EXPECT_EQ(plain.out,
            "serial\t分类\t时间\t记事\t跟进\n"
            "1\tx\t0100-01-01T00:00:00\ta\\u0001b\\tc\\nd\\\\e\"f\\u001f\t\n");
  McnResult json = dir_.Run({"dump", "m.mcn", "--json"});
  EXPECT_TRUE(Contains(json.out, "\"记事\":\"a\\u0001b\\tc\\nd\\\\e\\\"f\\u001f\"")) << json.out;
}

}  // namespace
}  // namespace memo::mcn::testing
