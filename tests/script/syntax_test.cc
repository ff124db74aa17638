// The line syntax of scripts: fields, quotes, escapes, raw bytes, and how texts are shown back.
#include <gtest/gtest.h>

#include "platform/codec.h"
#include "tools/script/script_syntax.h"

namespace memo::script {
namespace {

std::vector<std::string> Plain(std::string_view line) {
  std::vector<Field> fields;
  std::string error;
  EXPECT_TRUE(SplitFields(line, &fields, &error)) << error;
  std::vector<std::string> out;
  for (const Field& field : fields) out.push_back(field.plain());
  return out;
}

std::string SplitError(std::string_view line) {
  std::vector<Field> fields;
  std::string error;
  EXPECT_FALSE(SplitFields(line, &fields, &error)) << line;
  return error;
}

TEST(SplitFieldsTest, SpacesSeparateAndRunsOfThemCountOnce) {
  EXPECT_EQ(Plain("type login  编辑框1\ttest"),
            (std::vector<std::string>{"type", "login", "编辑框1", "test"}));
  EXPECT_EQ(Plain("   start   "), (std::vector<std::string>{"start"}));
}

TEST(SplitFieldsTest, BlankLinesAndCommentsGiveNoFields) {
  EXPECT_TRUE(Plain("").empty());
  EXPECT_TRUE(Plain("    ").empty());
  EXPECT_TRUE(Plain("# answer OK").empty());
  EXPECT_TRUE(Plain("   # indented comment").empty());
  // A "#" inside a line is an ordinary character.
  EXPECT_EQ(Plain("type login 编辑框1 a#b"),
            (std::vector<std::string>{"type", "login", "编辑框1", "a#b"}));
}

TEST(SplitFieldsTest, CarriageReturnOfWindowsLineEndsIsDropped) {
  EXPECT_EQ(Plain("start\r"), (std::vector<std::string>{"start"}));
}

TEST(SplitFieldsTest, QuotedFieldsKeepSpacesAndMayBeEmpty) {
  EXPECT_EQ(Plain("type login 编辑框1 \"test \""),
            (std::vector<std::string>{"type", "login", "编辑框1", "test "}));
  EXPECT_EQ(Plain("type login 编辑框1 \"\""),
            (std::vector<std::string>{"type", "login", "编辑框1", ""}));
  std::vector<Field> fields;
  std::string error;
  ASSERT_TRUE(SplitFields("a \"b\"", &fields, &error));
  EXPECT_FALSE(fields[0].quoted());
  EXPECT_TRUE(fields[1].quoted());
}

TEST(SplitFieldsTest, EscapesInsideQuotes) {
  EXPECT_EQ(Plain(R"(x "a\"b\\c\r\n\t")"), (std::vector<std::string>{"x", "a\"b\\c\r\n\t"}));
  // Outside quotes a backslash is an ordinary character.
  EXPECT_EQ(Plain(R"(x a\nb)"), (std::vector<std::string>{"x", "a\\nb"}));
}

TEST(SplitFieldsTest, MalformedQuotingIsRefused) {
  EXPECT_NE(SplitError("x \"abc").find("unterminated"), std::string::npos);
  EXPECT_NE(SplitError("x \"abc\\").find("unterminated"), std::string::npos);
  EXPECT_NE(SplitError("x \"a\\qb\"").find("unknown escape"), std::string::npos);
  EXPECT_NE(SplitError("x \"ab\"cd").find("after a closing quote"), std::string::npos);
  EXPECT_NE(SplitError("x ab\"cd\"").find("quote inside"), std::string::npos);
  EXPECT_NE(SplitError("x \"\\x4\"").find("two hex digits"), std::string::npos);
  EXPECT_NE(SplitError("x \"\\xG0\"").find("two hex digits"), std::string::npos);
}

TEST(FieldTest, TextConvertsToGbkAndRawBytesPassUnchanged) {
  std::vector<Field> fields;
  std::string error;
  ASSERT_TRUE(SplitFields("\"帐号\\x81\\x00z\"", &fields, &error)) << error;
  ASSERT_EQ(fields.size(), 1u);
  EXPECT_TRUE(fields[0].has_raw_bytes());
  std::string gbk;
  ASSERT_TRUE(fields[0].ToGbk(&gbk));
  EXPECT_EQ(gbk, Utf8ToGbk("帐号") + std::string("\x81\0z", 3));
}

TEST(FieldTest, RawBytesAreNeverTakenForUtf8) {
  // \xE5\xB8\x90 would be the UTF-8 of 帐; as raw bytes they stay three bytes.
  std::vector<Field> fields;
  std::string error;
  ASSERT_TRUE(SplitFields("\"\\xE5\\xB8\\x90\"", &fields, &error));
  std::string gbk;
  ASSERT_TRUE(fields[0].ToGbk(&gbk));
  EXPECT_EQ(gbk, "\xE5\xB8\x90");
}

TEST(FieldTest, TextWithoutGbkFormIsRefused) {
  Field field("emoji 😀");
  std::string gbk;
  EXPECT_FALSE(field.ToGbk(&gbk));
}

TEST(QuoteForScriptTest, BareWhenPossibleQuotedAndEscapedOtherwise) {
  EXPECT_EQ(QuoteForScript("test"), "test");
  EXPECT_EQ(QuoteForScript("温馨提示"), "温馨提示");
  EXPECT_EQ(QuoteForScript(""), "\"\"");
  EXPECT_EQ(QuoteForScript("test "), "\"test \"");
  EXPECT_EQ(QuoteForScript("a\"b"), "\"a\\\"b\"");
  EXPECT_EQ(QuoteForScript("运行时出错!\r\n"), "\"运行时出错!\\r\\n\"");
  EXPECT_EQ(QuoteForScript("#x"), "\"#x\"");
  EXPECT_EQ(QuoteForScript(std::string("a\x01", 2)), "\"a\\x01\"");
  EXPECT_EQ(QuoteForScript("\xFF"), "\"\\xFF\"");
}

TEST(QuoteForScriptTest, WhatItWritesSplitsBackToTheSameText) {
  for (std::string text : {std::string("a b"), std::string("\"\\"), std::string("x\r\n\ty"),
                           std::string("\x7F\x02", 2), std::string("")}) {
    std::vector<Field> fields;
    std::string error;
    ASSERT_TRUE(SplitFields("x " + QuoteForScript(text), &fields, &error)) << error;
    ASSERT_EQ(fields.size(), 2u);
    EXPECT_EQ(fields[1].plain(), text);
  }
}

TEST(ShowGbkTest, GbkShownAsUtf8AndBytesThatAreNoCharacterAsEscapes) {
  EXPECT_EQ(ShowGbk(Utf8ToGbk("没有这个帐号！")), "没有这个帐号！");
  EXPECT_EQ(ShowGbk(Utf8ToGbk("帐") + "\x81"), "\"帐\\x81\"");
  EXPECT_EQ(ShowGbk(""), "\"\"");
}

}  // namespace
}  // namespace memo::script
