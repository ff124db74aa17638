// The menu bar's keyboard letters: the pinyin initial of a caption's first character, shown as
// "(&Z)" after a caption that marks no letter of its own; the main window's bar gets 帐号管理(&Z)
// and 关于软件(&G), its sub-items and the hidden context menu stay as stored.
#include <gtest/gtest.h>

#include <string>

#include "app/windows/carried_segment.h"
#include "app/windows/program_routines.h"
#include "platform/codec.h"
#include "ui/format/segment.h"
#include "ui/window/menus.h"
#include "ui/window/pinyin_initial.h"

namespace memo::ui {
namespace {

std::string G(const char* utf8) { return Utf8ToGbk(utf8); }

TEST(PinyinInitialTest, FirstLettersOfLevelOneCharactersAndAsciiOnly) {
  struct Case {
    const char* text;
    char letter;
  };
  for (const Case& c :
       {Case{"帐号管理", 'Z'}, Case{"关于软件", 'G'}, Case{"啊", 'A'}, Case{"八", 'B'},
        Case{"哈", 'H'}, Case{"修改", 'X'}, Case{"文件", 'W'}, Case{"编辑", 'B'}, Case{"查看", 'C'},
        Case{"帮助", 'B'}, Case{"窗口", 'C'}, Case{"工具", 'G'}, Case{"座", 'Z'}}) {
    EXPECT_EQ(PinyinInitial(G(c.text)), c.letter) << c.text;
  }
  EXPECT_EQ(PinyinInitial("file"), 'F');
  EXPECT_EQ(PinyinInitial("9"), '9');
  EXPECT_EQ(PinyinInitial("-"), 0);
  EXPECT_EQ(PinyinInitial(""), 0);
  EXPECT_EQ(PinyinInitial(G("亍")), 0);     // level 2: ordered by radical, no initial
  EXPECT_EQ(PinyinInitial("\xB0"), 0);      // a lead byte cut off
  EXPECT_EQ(PinyinInitial("\xB0\x40"), 0);  // a GBK extension code inside the level-1 rows
}

TEST(PinyinInitialTest, BarCaptionsGetTheirLetterUnlessTheyMarkOne) {
  EXPECT_EQ(WithKeyboardLetter(G("帐号管理")), G("帐号管理") + "(&Z)");
  EXPECT_EQ(WithKeyboardLetter("&File"), "&File");
  EXPECT_EQ(WithKeyboardLetter("Fish && Chips"), "Fish && Chips(&F)");
  EXPECT_EQ(WithKeyboardLetter("-"), "-");
  EXPECT_EQ(WithKeyboardLetter(G("亍")), G("亍"));
}

TEST(PinyinInitialTest, TheMainWindowsBar) {
  DefinitionStore store;
  ASSERT_EQ(ReadSegment(kCarriedSegment, kCarriedSegmentSize, &store), SegmentError::kNone);
  int index = store.Find(kMainWindowId);
  ASSERT_GE(index, 0);
  BuiltMenu menu = BuildMenu(store.windows[static_cast<size_t>(index)]);
  ASSERT_EQ(menu.bar.size(), 2u);
  EXPECT_EQ(menu.bar[0].caption_gbk, G("帐号管理(&Z)"));
  EXPECT_EQ(menu.bar[1].caption_gbk, G("关于软件(&G)"));
  ASSERT_EQ(menu.bar[0].children.size(), 1u);
  EXPECT_EQ(menu.bar[0].children[0].caption_gbk, G("修改密码"));
  EXPECT_TRUE(menu.accelerators.empty());
}

}  // namespace
}  // namespace memo::ui
