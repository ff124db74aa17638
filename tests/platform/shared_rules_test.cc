// The rules below the seam that both backends and memo-script share, each written once: the
// nested loops and the quit message, the characters Ctrl types, and a caption without its
// mnemonic marks.
#include <gtest/gtest.h>

#include <string>

#include "platform/input.h"
#include "platform/key_chars.h"
#include "platform/loop_nest.h"
#include "platform/mnemonics.h"

namespace memo::platform {
namespace {

TEST(LoopNestTest, EndingALoopEndsEveryLoopInsideItAndNothingOutside) {
  LoopNest nest;
  EXPECT_EQ(nest.depth(), 0);
  EXPECT_EQ(nest.Enter(), 1);
  EXPECT_EQ(nest.Enter(), 2);
  EXPECT_EQ(nest.Enter(), 3);
  EXPECT_EQ(nest.End(2), 2);
  EXPECT_FALSE(nest.ended(1));
  EXPECT_TRUE(nest.ended(2));
  EXPECT_TRUE(nest.ended(3));
  nest.Leave(3);
  nest.Leave(2);
  EXPECT_EQ(nest.depth(), 1);
  EXPECT_FALSE(nest.ended(1));
  // A loop entered afterwards at a depth that was ended starts afresh.
  EXPECT_EQ(nest.Enter(), 2);
  EXPECT_FALSE(nest.ended(2));
}

TEST(LoopNestTest, EndingADepthThatDoesNotRunDoesNothing) {
  LoopNest nest;
  EXPECT_EQ(nest.End(1), 0);
  nest.Enter();
  EXPECT_EQ(nest.End(0), 0);
  EXPECT_EQ(nest.End(-3), 0);
  EXPECT_EQ(nest.End(2), 0);
  EXPECT_FALSE(nest.ended(1));
  EXPECT_FALSE(nest.ended(2));  // out of range reads as not ended
}

TEST(LoopNestTest, LeavingAnOuterLoopDropsTheLoopsStillMarkedInsideIt) {
  // A loop left by unwinding (the program ending from a nested routine) takes the frames above
  // it along.
  LoopNest nest;
  nest.Enter();
  nest.Enter();
  nest.Enter();
  nest.Leave(1);
  EXPECT_EQ(nest.depth(), 0);
  nest.Leave(1);  // nothing runs: no effect
  EXPECT_EQ(nest.depth(), 0);
}

TEST(LoopNestTest, AQuitEndsEveryLoopAndOnlyTheOutermostTakesItForGood) {
  LoopNest nest;
  nest.Enter();
  nest.Enter();
  const int inner = nest.Enter();
  EXPECT_EQ(nest.TakeQuit(inner), std::nullopt);
  nest.PostQuit(7);
  EXPECT_EQ(nest.pending_quit(), 7);
  EXPECT_EQ(nest.TakeQuit(3), 7);
  EXPECT_EQ(nest.TakeQuit(2), 7);  // still pending for the loops around
  EXPECT_EQ(nest.pending_quit(), 7);
  EXPECT_EQ(nest.TakeQuit(1), 7);
  EXPECT_EQ(nest.pending_quit(), std::nullopt);
  EXPECT_EQ(nest.TakeQuit(1), std::nullopt);
}

TEST(LoopNestTest, AQuitPostedWhileNoLoopRunsIsTakenByTheNextLoop) {
  LoopNest nest;
  nest.PostQuit(-1);
  nest.PostQuit(3);  // the latest code counts
  EXPECT_EQ(nest.TakeQuit(nest.depth() + 1), 3);
  EXPECT_EQ(nest.pending_quit(), std::nullopt);
}

TEST(CtrlCharacterTest, LettersTypeTheirControlCharactersEnterALineFeedBackspaceDelete) {
  EXPECT_EQ(CtrlCharacterOf('A'), 1u);
  EXPECT_EQ(CtrlCharacterOf('C'), 3u);
  EXPECT_EQ(CtrlCharacterOf('V'), 22u);
  EXPECT_EQ(CtrlCharacterOf('X'), 24u);
  EXPECT_EQ(CtrlCharacterOf('Z'), 26u);
  EXPECT_EQ(CtrlCharacterOf(vk::kReturn), 10u);
  EXPECT_EQ(CtrlCharacterOf(vk::kBack), 127u);
}

TEST(CtrlCharacterTest, EveryOtherKeyTypesNothing) {
  const int keys[] = {
      0,          '0',         '9', vk::kEscape, vk::kTab,
      vk::kSpace, vk::kDelete, '@', '[',         0x61 /* a numeric-keypad key, not the letter a */,
      0x7A,       255};
  for (int key : keys) {
    EXPECT_EQ(CtrlCharacterOf(key), 0u) << key;
  }
}

TEST(StripMnemonicsTest, MarksGoAndADoubledMarkStandsForOne) {
  EXPECT_EQ(StripMnemonics("&File"), "File");
  EXPECT_EQ(StripMnemonics("Save &As"), "Save As");
  EXPECT_EQ(StripMnemonics("a&&b"), "a&b");
  EXPECT_EQ(StripMnemonics("&&&x"), "&x");
  EXPECT_EQ(StripMnemonics("end&"), "end");
  EXPECT_EQ(StripMnemonics(""), "");
}

TEST(StripMnemonicsTest, TheTrailByteOfAGbkCharacterIsNeverAMark) {
  // Every byte from 0x80 up leads a pair, 0x80 included: the byte after it is taken whole even
  // when it is the byte of "&".
  EXPECT_EQ(StripMnemonics("\x80&x"), "\x80&x");
  EXPECT_EQ(StripMnemonics("\x81&&"), "\x81&");
  EXPECT_EQ(StripMnemonics("\xfe&"), "\xfe&");
  EXPECT_EQ(StripMnemonics("&\xb2\xe9"), "\xb2\xe9");
  // A lead byte at the end is a character of one byte and kept.
  EXPECT_EQ(StripMnemonics("ab\x81"), "ab\x81");
}

}  // namespace
}  // namespace memo::platform
