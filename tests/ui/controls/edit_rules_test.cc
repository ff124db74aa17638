// The edit rules on their own: typed characters, insertions and whole changes against the byte
// limit (never splitting a two-byte character) and the case conversion.
#include "ui/controls/edit_rules.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/codec.h"
#include "tests/support/gbk.h"

namespace memo::ui {
namespace {

using platform::InputDecision;
using Action = InputDecision::Action;

using ::memo::testing::G;

uint32_t Code(const std::string& gbk) {
  return (static_cast<uint32_t>(static_cast<unsigned char>(gbk[0])) << 8) |
         static_cast<unsigned char>(gbk[1]);
}

EditRules Limit(int max_bytes, CaseConversion conversion = CaseConversion::kNone) {
  EditRules rules;
  rules.max_bytes = max_bytes;
  rules.case_conversion = conversion;
  return rules;
}

TEST(EditRulesTest, TypedCharactersFitInTheLimitInBytes) {
  EditRules rules = Limit(5);
  EXPECT_EQ(DecideTypedCharacter(rules, "abc", {3, 0}, 'd').action, Action::kPass);
  EXPECT_EQ(DecideTypedCharacter(rules, "abc", {3, 0}, Code(G("中"))).action, Action::kPass);
  EXPECT_EQ(DecideTypedCharacter(rules, "abcd", {4, 0}, Code(G("中"))).action, Action::kSwallow)
      << "one byte left: a two-byte character does not fit, and is not split";
  EXPECT_EQ(DecideTypedCharacter(rules, "abcde", {0, 0}, 'x').action, Action::kSwallow);
  EXPECT_EQ(DecideTypedCharacter(rules, "abcde", {1, 2}, Code(G("中"))).action, Action::kPass)
      << "the selection it replaces makes room";
  EXPECT_EQ(DecideTypedCharacter(rules, "abcde", {4, -1}, 'x').action, Action::kPass);
  EXPECT_EQ(DecideTypedCharacter(Limit(0), std::string(5000, 'a'), {0, 0}, 'x').action,
            Action::kPass)
      << "0 is no limit";
}

TEST(EditRulesTest, TypingIntoATextLongerThanTheLimitIsRefusedButDeletingIsNot) {
  // The program may set a text longer than the limit.
  EditRules rules = Limit(3);
  EXPECT_EQ(DecideTypedCharacter(rules, "abcdef", {6, 0}, 'x').action, Action::kSwallow);
  EXPECT_EQ(DecideTypedCharacter(rules, "abcdef", {6, 0}, 8).action, Action::kPass);
  EXPECT_EQ(DecideTypedCharacter(rules, "abcdef", {0, 4}, 'x').action, Action::kPass);
  EXPECT_FALSE(FixUserChange(rules, "abcdef", "abcde").has_value());
  EXPECT_FALSE(FixUserChange(rules, "abcdef", "").has_value());
}

TEST(EditRulesTest, CaseConversionReplacesAsciiLettersOnly) {
  EditRules upper = Limit(0, CaseConversion::kUpper);
  InputDecision d = DecideTypedCharacter(upper, "", {0, 0}, 'q');
  EXPECT_EQ(d.action, Action::kReplace);
  EXPECT_EQ(d.replacement, static_cast<uint32_t>('Q'));
  EXPECT_EQ(DecideTypedCharacter(upper, "", {0, 0}, 'Q').action, Action::kPass);
  EXPECT_EQ(DecideTypedCharacter(upper, "", {0, 0}, '5').action, Action::kPass);
  // A two-byte character whose trail byte looks like a letter stays.
  EXPECT_EQ(DecideTypedCharacter(upper, "", {0, 0}, 0x8161).action, Action::kPass);
  EditRules lower = Limit(1, CaseConversion::kLower);
  d = DecideTypedCharacter(lower, "", {0, 0}, 'A');
  EXPECT_EQ(d.action, Action::kReplace);
  EXPECT_EQ(d.replacement, static_cast<uint32_t>('a'));
  EXPECT_EQ(DecideTypedCharacter(lower, "x", {1, 0}, 'A').action, Action::kSwallow)
      << "the limit comes before the conversion";
  EXPECT_EQ(ApplyCase(CaseConversion::kUpper, "ab" + G("中") + "\x81\x61"),
            "AB" + G("中") + "\x81\x61");
}

TEST(EditRulesTest, ControlCharactersAndLineBreaks) {
  EditRules single = Limit(2);
  for (uint32_t c : {3u, 8u, 22u, 24u, 27u, 127u, 13u, 9u}) {
    EXPECT_EQ(DecideTypedCharacter(single, "ab", {2, 0}, c).action, Action::kPass) << c;
  }
  EXPECT_EQ(DecideTypedCharacter(single, "", {0, 0}, 0x81).action, Action::kPass)
      << "no character: the box ignores it";
  EditRules multi = single;
  multi.multi_line = true;
  EXPECT_EQ(DecideTypedCharacter(multi, "a", {1, 0}, 13).action, Action::kSwallow)
      << "Enter types CR LF: two bytes";
  EXPECT_EQ(DecideTypedCharacter(multi, "", {0, 0}, 13).action, Action::kPass);
  EXPECT_EQ(DecideTypedCharacter(multi, "a", {1, 0}, 9).action, Action::kPass);
  EXPECT_EQ(DecideTypedCharacter(multi, "ab", {2, 0}, 9).action, Action::kSwallow);
}

TEST(EditRulesTest, InsertionsAreConvertedAndCutAtAWholeCharacter) {
  EditRules rules = Limit(6, CaseConversion::kUpper);
  EXPECT_EQ(FitInsertion(rules, "ab", {2, 0}, "c" + G("中文")), "C" + G("中"));
  EXPECT_EQ(FitInsertion(rules, "abcdef", {1, 1}, G("中")), "") << "one byte free";
  EXPECT_EQ(FitInsertion(rules, "abcdef", {0, -1}, "xyz"), "XYZ");
  EXPECT_EQ(FitInsertion(rules, "abcdef", {99, 5}, "x"), "") << "a selection past the end";
  EXPECT_EQ(FitInsertion(rules, "", {0, 0}, "one\r\ntwo"), "ONE") << "single line";
  rules.multi_line = true;
  EXPECT_EQ(FitInsertion(rules, "", {0, 0}, "a\r\nb"), "A\r\nB");
  // A line break byte inside a two-byte character is no line break.
  rules.multi_line = false;
  rules.max_bytes = 0;
  EXPECT_EQ(FitInsertion(rules, "", {0, 0},
                         "\x81\x0A"
                         "b\nc"),
            "\x81\x0A"
            "B");
}

TEST(EditRulesTest, WholeChangesAreSetRightAsOneInsertion) {
  EditRules rules = Limit(7, CaseConversion::kUpper);
  // Pasted "xyz中文" between "A" and "B": the fitting part is kept, converted.
  std::optional<EditFix> fix = FixUserChange(rules, "AB", "Axyz" + G("中文") + "B");
  ASSERT_TRUE(fix.has_value());
  EXPECT_EQ(fix->text, "AXYZ" + G("中") + "B") << "5 bytes left: xyz中, and 文 would not fit";
  EXPECT_EQ(fix->caret, 6);
  EXPECT_FALSE(FixUserChange(rules, "AB", "AXB").has_value()) << "already within the rules";
  fix = FixUserChange(rules, "AB", "AxB");
  ASSERT_TRUE(fix.has_value());
  EXPECT_EQ(fix->text, "AXB");
  EXPECT_EQ(fix->caret, 2);
}

TEST(EditRulesTest, AChangeOfWhichNothingFitsIsRefused) {
  EditRules rules = Limit(4);
  // A paste of 中文 over "b" leaves one byte for it: refused, and "b" comes back.
  std::optional<EditFix> fix = FixUserChange(rules, "abcd", "a" + G("中文") + "cd");
  ASSERT_TRUE(fix.has_value());
  EXPECT_EQ(fix->text, "abcd");
  EXPECT_EQ(fix->caret, 2);
  fix = FixUserChange(rules, "abc", "abc" + G("中"));
  ASSERT_TRUE(fix.has_value());
  EXPECT_EQ(fix->text, "abc");
  EXPECT_EQ(fix->caret, 3);
  EditRules single;
  fix = FixUserChange(single, "ab", "a\r\nxb");
  ASSERT_TRUE(fix.has_value()) << "a paste that starts with a line break brings nothing";
  EXPECT_EQ(fix->text, "ab");
}

// The head and tail that stay are whole characters of both texts, so an insertion is never taken
// to start or end inside a two-byte character.
TEST(EditRulesTest, HeadAndTailOfAChangeAreWholeCharacters) {
  // After the change the text is "z", "\xA1\xA1" and a broken "\xA1": its last two bytes equal
  // the whole text before, but they are no character of it. So all of it counts as inserted, and
  // two bytes take "z" alone.
  std::optional<EditFix> fix = FixUserChange(Limit(2), "\xA1\xA1", "z\xA1\xA1\xA1");
  ASSERT_TRUE(fix.has_value());
  EXPECT_EQ(fix->text, "z");
  // 中 inserted before "a中": the tail "a中" stays, and 中 does not fit in 3 - 3 bytes.
  fix = FixUserChange(Limit(3), "a" + G("中"), G("中") + "a" + G("中"));
  ASSERT_TRUE(fix.has_value());
  EXPECT_EQ(fix->text, "a" + G("中"));
  EXPECT_EQ(fix->caret, 0);
}

// The head is found from the equal bytes, walking only the run of high bytes before the first
// difference: inside such a run a pair may start on any byte, so the walk must begin where a
// character surely ends and reach the same boundaries as a walk from the start.
TEST(EditRulesTest, TheHeadInsideARunOfTwoByteCharactersEndsOnTheirBoundary) {
  // 中文 then 中 typed between them: the equal bytes run into the inserted 中 by one pair, so the
  // head ends after the first 中 and the insertion is one whole 中 (the 4-byte limit keeps it out).
  const std::string zhong = G("中");
  const std::string wen = G("文");
  std::optional<EditFix> fix = FixUserChange(Limit(4), zhong + wen, zhong + zhong + wen);
  ASSERT_TRUE(fix.has_value());
  EXPECT_EQ(fix->text, zhong + wen);
  EXPECT_EQ(fix->caret, 2);
  // A broken pair at the difference: "x" + "\xB0" + "y" becomes "x" + "\xB0\xB0" + "y". Its first
  // two bytes are equal, but "\xB0y" was one character and "\xB0\xB0" is another: the head is
  // "x" alone, the insertion "\xB0\xB0y", of which 3 bytes leave room for the pair.
  fix = FixUserChange(Limit(3), "x\xB0y", "x\xB0\xB0y");
  ASSERT_TRUE(fix.has_value());
  EXPECT_EQ(fix->text, "x\xB0\xB0");
  EXPECT_EQ(fix->caret, 3);
  // A long run of pairs before a letter typed at the end: the head is the whole run, and the
  // limit cuts the letter alone.
  std::string run;
  for (int i = 0; i < 5000; ++i) run += (i % 2 == 0) ? zhong : wen;
  EXPECT_FALSE(FixUserChange(Limit(0), run, run + "a").has_value());
  fix = FixUserChange(Limit(10000), run, run + "a");
  ASSERT_TRUE(fix.has_value());
  EXPECT_EQ(fix->text, run);
  EXPECT_EQ(fix->caret, 10000);
  // The same run after "a": a letter typed at the end is a letter of its own, converted.
  fix = FixUserChange(Limit(0, CaseConversion::kUpper), "a" + run, "a" + run + "b");
  ASSERT_TRUE(fix.has_value());
  EXPECT_EQ(fix->text, "a" + run + "B");
  // One odd high byte before the run shifts every boundary by one, so the run's last byte stands
  // alone, and a letter typed after it becomes its second byte: a pair, which no case conversion
  // touches.
  const std::string shifted = "a\x81" + run;
  EXPECT_FALSE(FixUserChange(Limit(0, CaseConversion::kUpper), shifted, shifted + "b").has_value());
}

}  // namespace
}  // namespace memo::ui
