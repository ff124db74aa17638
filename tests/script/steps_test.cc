// Parsing whole scripts: each step's fields checked and converted, malformed lines reported with
// their line numbers, and the grid steps refused until the grids exist.
#include <gtest/gtest.h>

#include "platform/codec.h"
#include "platform/message_box.h"
#include "tools/script/steps.h"

namespace memo::script {
namespace {

Script Parse(std::string_view text) {
  Script script;
  ScriptError error;
  EXPECT_TRUE(ParseScript(text, &script, &error)) << error.line << ": " << error.message;
  return script;
}

ScriptError Malformed(std::string_view text) {
  Script script;
  ScriptError error;
  EXPECT_FALSE(ParseScript(text, &script, &error)) << text;
  return error;
}

TEST(ParseScriptTest, StepsKeepTheirLineNumbersAcrossBlankAndCommentLines) {
  Script script = Parse("# first start\n\nclock 2014-07-10 09:05:00\n  \nanswer OK\nstart\n");
  ASSERT_EQ(script.steps.size(), 3u);
  EXPECT_EQ(script.steps[0].line, 3);
  EXPECT_EQ(script.steps[1].line, 5);
  EXPECT_EQ(script.steps[2].line, 6);
  EXPECT_STREQ(script.steps[2].spec->name, "start");
  EXPECT_EQ(script.steps[1].source, "answer OK");
  EXPECT_EQ(script.line_count, 6);
}

TEST(ParseScriptTest, AByteOrderMarkBeforeTheFirstStepIsIgnored) {
  Script script = Parse("\xEF\xBB\xBFstart\n");
  ASSERT_EQ(script.steps.size(), 1u);
  EXPECT_STREQ(script.steps[0].spec->name, "start");
  EXPECT_EQ(Malformed("start\n\xEF\xBB\xBFstart\n").line, 2) << "only at the very beginning";
}

TEST(ParseScriptTest, WindowsUnitsAndTextsAreConverted) {
  Script script = Parse(
      "type login 编辑框1 \"test \"\n"
      "click 0x52010009 0x1601000C\n"
      "key main window ctrl+End\n");
  const Step& type = script.steps[0];
  EXPECT_EQ(type.window.id, 0x52010009u);
  EXPECT_EQ(type.unit.kind, UnitName::Kind::kName);
  EXPECT_EQ(type.unit.name_gbk, Utf8ToGbk("编辑框1"));
  EXPECT_EQ(type.text, "test ");
  const Step& click = script.steps[1];
  EXPECT_EQ(click.window.id, 0x52010009u);
  EXPECT_EQ(click.unit.kind, UnitName::Kind::kId);
  EXPECT_EQ(click.unit.id, 0x1601000Cu);
  const Step& key = script.steps[2];
  EXPECT_EQ(key.window.id, 0x52010001u);
  EXPECT_EQ(key.unit.kind, UnitName::Kind::kWindow);
  EXPECT_EQ(key.key.key, 35);
}

TEST(ParseScriptTest, EveryWindowNameHasItsId) {
  Script script = Parse(
      "close login\nclose main\nclose followup\nclose password\nclose intro\nclose 0x5201ABCD\n");
  std::vector<uint32_t> ids;
  for (const Step& step : script.steps) ids.push_back(step.window.id);
  EXPECT_EQ(ids, (std::vector<uint32_t>{0x52010009, 0x52010001, 0x52010048, 0x520100F1, 0x52010157,
                                        0x5201ABCD}));
}

TEST(ParseScriptTest, AQuotedWindowWordIsAUnitName) {
  Script script = Parse("click login \"window\"\n");
  EXPECT_EQ(script.steps[0].unit.kind, UnitName::Kind::kName);
  EXPECT_EQ(script.steps[0].unit.name_gbk, "window");
}

TEST(ParseScriptTest, AnswersAndTheCloseControl) {
  Script script = Parse("answer OK\nanswer cancel\nanswer Retry\nanswer close\n");
  EXPECT_EQ(script.steps[0].button, platform::kIdOk);
  EXPECT_EQ(script.steps[1].button, platform::kIdCancel);
  EXPECT_EQ(script.steps[2].button, platform::kIdRetry);
  EXPECT_FALSE(script.steps[3].button.has_value());
}

TEST(ParseScriptTest, ClockGivesTheDateTimeAndItsDayOfTheWeek) {
  Script script = Parse("clock 2014-07-10 09:05:00\nclock 2000-02-29 23:59:59\n");
  const platform::LocalTime& t = script.steps[0].clock;
  EXPECT_EQ(t.year, 2014);
  EXPECT_EQ(t.month, 7);
  EXPECT_EQ(t.day, 10);
  EXPECT_EQ(t.hour, 9);
  EXPECT_EQ(t.minute, 5);
  EXPECT_EQ(t.second, 0);
  EXPECT_EQ(t.day_of_week, 4);                      // a Thursday
  EXPECT_EQ(script.steps[1].clock.day_of_week, 2);  // a Tuesday
}

TEST(ParseScriptTest, ExpectationsTakeTheirValues) {
  Script script = Parse(
      "expect-box 温馨提示 \"ID信息不存在是否初始化？\"\n"
      "expect login 编辑框1 8 test\n"
      "expect-items main 组合框2 全部 \"\"\n"
      "expect-items main 组合框2\n"
      "expect-sel main 组合框2 -1\n"
      "expect-popup 跟进 - at 10 -20\n"
      "expect-file c.mcn 324\n"
      "expect-file a.edt\n"
      "expect-exit -1\n"
      "expect-md5 c.mcn 0123456789ABCDEF0123456789abcdef\n");
  EXPECT_EQ(script.steps[0].text, Utf8ToGbk("温馨提示"));
  EXPECT_EQ(script.steps[0].text2, Utf8ToGbk("ID信息不存在是否初始化？"));
  EXPECT_EQ(script.steps[1].number, 8);
  EXPECT_EQ(script.steps[1].text, "test");
  EXPECT_EQ(script.steps[2].texts, (std::vector<std::string>{Utf8ToGbk("全部"), ""}));
  EXPECT_TRUE(script.steps[3].texts.empty());
  EXPECT_EQ(script.steps[4].number, -1);
  EXPECT_EQ(script.steps[5].texts, (std::vector<std::string>{Utf8ToGbk("跟进"), "-"}));
  EXPECT_EQ(script.steps[5].number, 10);
  EXPECT_EQ(script.steps[5].number2, -20);
  EXPECT_EQ(script.steps[6].file_name, "c.mcn");
  EXPECT_EQ(script.steps[6].size, 324);
  EXPECT_FALSE(script.steps[7].size.has_value());
  EXPECT_EQ(script.steps[8].number, -1);
  EXPECT_EQ(script.steps[9].digest, "0123456789abcdef0123456789abcdef");
}

TEST(ParseScriptTest, MalformedLinesAreReportedWithTheirNumbers) {
  struct Case {
    const char* text;
    int line;
    const char* says;
  };
  const Case cases[] = {
      {"start\nfrobnicate login\n", 2, "unknown step"},
      {"\"start\"\n", 1, "unknown step"},
      {"start\n\nclick login\n", 3, "wrong number of fields"},
      {"close login extra\n", 1, "usage: close WINDOW"},
      {"click lobby 按钮登陆\n", 1, "unknown window"},
      {"click 0x 按钮登陆\n", 1, "unknown window"},
      {"click 0x123456789 按钮登陆\n", 1, "unknown window"},
      {"key login 编辑框1 Return\n", 1, "unknown key"},
      {"answer Maybe\n", 1, "unknown button"},
      {"select main 组合框1 one\n", 1, "whole number"},
      {"select main 组合框1 -1\n", 1, "out of range"},
      {"expect-sel main 组合框1 -2\n", 1, "out of range"},
      {"clock 2014-02-30 09:00:00\n", 1, "no such date"},
      {"clock 2014-07-10 24:00:00\n", 1, "no such date"},
      {"clock 2014-7-10 09:00:00\n", 1, "YYYY-MM-DD"},
      {"clock 2014-07-10\n", 1, "wrong number of fields"},
      {"expect-popup 跟进 10 20\n", 1, "at X Y"},
      {"expect-popup 跟进 \"at\" 10 20\n", 1, "at X Y"},
      {"expect-file ../c.mcn\n", 1, "run directory"},
      {"expect-file c.mcn big\n", 1, "whole number"},
      {"expect-md5 c.mcn 1234\n", 1, "32 hex digits"},
      {"type login 编辑框1 \"😀\"\n", 1, "GBK"},
      {"type login 编辑框1 \"open\n", 1, "unterminated"},
      {"start\nanswer OK\nstart\n", 3, "start given twice (first on line 1)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    ScriptError error = Malformed(c.text);
    EXPECT_EQ(error.line, c.line);
    EXPECT_NE(error.message.find(c.says), std::string::npos) << error.message;
  }
  // A NUL byte can never reach the program as part of a text.
  ScriptError nul = Malformed(std::string_view("start\nclose\0 login\n", 19));
  EXPECT_EQ(nul.line, 2);
}

TEST(ParseScriptTest, GridStepsTakeRowsColumnsAndTheShiftWord) {
  Script script = Parse(
      "cell followup 高级表格1 2 0 shift\n"
      "cell main 表格1 0 3\n"
      "expect-rows main 表格1 12\n"
      "expect-cell followup 高级表格1 0 1 时间\n"
      "expect-cursor followup 高级表格1 -1 -1\n");
  EXPECT_EQ(script.steps[0].number, 2);
  EXPECT_EQ(script.steps[0].number2, 0);
  EXPECT_TRUE(script.steps[0].extend);
  EXPECT_FALSE(script.steps[1].extend);
  EXPECT_EQ(script.steps[2].number, 12);
  EXPECT_EQ(script.steps[3].text, Utf8ToGbk("时间"));
  EXPECT_EQ(script.steps[4].number, -1);
  EXPECT_NE(Malformed("cell main 表格1 1 2 ctrl\n").message.find("only be shift"),
            std::string::npos);
  EXPECT_NE(Malformed("cell main 表格1 -1 2\n").message.find("out of range"), std::string::npos);
  EXPECT_NE(Malformed("expect-rows main 表格1 many\n").message.find("whole number"),
            std::string::npos);
}

TEST(ParseScriptTest, TheCellEditorStepTakesItsTextAndNothingMore) {
  Script script = Parse("edit main 表格1 \"新 的\"\nedit followup 高级表格1 \"\"\n");
  EXPECT_EQ(script.steps[0].window.shown, "main");
  EXPECT_EQ(script.steps[0].unit.name_gbk, Utf8ToGbk("表格1"));
  EXPECT_EQ(script.steps[0].text, Utf8ToGbk("新 的"));
  EXPECT_EQ(script.steps[1].text, "");
  EXPECT_NE(Malformed("edit main 表格1\n").message.find("usage: edit WINDOW UNIT TEXT"),
            std::string::npos);
  EXPECT_NE(Malformed("edit main 表格1 a b\n").message.find("wrong number of fields"),
            std::string::npos);
}

TEST(ParseScriptTest, CopyFileTakesTwoPlainNamesThatDiffer) {
  Script script = Parse("copy-file c.mcn 备份.mcn\n");
  EXPECT_EQ(script.steps[0].file_name, "c.mcn");
  EXPECT_EQ(script.steps[0].text, "备份.mcn") << "file names stay as the file system holds them";
  EXPECT_NE(Malformed("copy-file c.mcn ../c.mcn\n").message.find("no directories"),
            std::string::npos);
  EXPECT_NE(Malformed("copy-file c.mcn c.mcn\n").message.find("onto itself"), std::string::npos);
  EXPECT_NE(Malformed("copy-file c.mcn\n").message.find("usage: copy-file NAME COPY"),
            std::string::npos);
}

TEST(StepTableTest, EveryRowCanBeParsedOrSaysWhyNot) {
  for (const StepSpec* spec : AllSteps()) {
    SCOPED_TRACE(spec->name);
    EXPECT_EQ(FindStep(spec->name), spec);
    if (spec->unavailable) continue;
    EXPECT_NE(spec->parse, nullptr);
    EXPECT_EQ(spec->run == nullptr, spec->kind == StepKind::kStart);
    EXPECT_GE(spec->max_fields < 0 ? 99 : spec->max_fields, spec->min_fields);
  }
}

}  // namespace
}  // namespace memo::script
