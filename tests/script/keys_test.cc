// Key names: named keys, letters and digits, virtual-key numbers and modifiers.
#include <gtest/gtest.h>

#include "platform/input.h"
#include "tools/script/keys.h"

namespace memo::script {
namespace {

KeyStroke Key(std::string_view text) {
  KeyStroke stroke;
  std::string error;
  EXPECT_TRUE(ParseKey(text, &stroke, &error)) << text << ": " << error;
  return stroke;
}

bool Refused(std::string_view text) {
  KeyStroke stroke;
  std::string error;
  bool ok = ParseKey(text, &stroke, &error);
  EXPECT_TRUE(ok || !error.empty());
  return !ok;
}

TEST(ParseKeyTest, NamedKeysGiveTheirVirtualKeyCodes) {
  EXPECT_EQ(Key("Enter").key, 13);
  EXPECT_EQ(Key("Esc").key, 27);
  EXPECT_EQ(Key("Tab").key, 9);
  EXPECT_EQ(Key("Left").key, 37);
  EXPECT_EQ(Key("Up").key, 38);
  EXPECT_EQ(Key("Right").key, 39);
  EXPECT_EQ(Key("Down").key, 40);
  EXPECT_EQ(Key("PageUp").key, 33);
  EXPECT_EQ(Key("PageDown").key, 34);
  EXPECT_EQ(Key("End").key, 35);
  EXPECT_EQ(Key("Home").key, 36);
  EXPECT_EQ(Key("F1").key, 112);
  EXPECT_EQ(Key("F12").key, 123);
  EXPECT_EQ(Key("Space").key, 32);
  EXPECT_EQ(Key("Delete").key, 46);
  EXPECT_EQ(Key("enter").key, 13) << "names are case-insensitive";
  EXPECT_EQ(Key("Enter").shift, 0);
}

TEST(ParseKeyTest, LettersAndDigitsAreTheirKeysAndNumbersAreVirtualKeys) {
  EXPECT_EQ(Key("a").key, 'A');
  EXPECT_EQ(Key("Z").key, 'Z');
  EXPECT_EQ(Key("7").key, '7') << "a lone digit is the digit key, not virtual key 7";
  EXPECT_EQ(Key("13").key, 13);
  EXPECT_EQ(Key("254").key, 254);
}

TEST(ParseKeyTest, ModifiersCombine) {
  KeyStroke stroke = Key("ctrl+End");
  EXPECT_EQ(stroke.key, 35);
  EXPECT_EQ(stroke.shift, platform::kShiftCtrl);
  EXPECT_EQ(Key("shift+Down").shift, platform::kShiftShift);
  EXPECT_EQ(Key("ctrl+shift+Home").shift, platform::kShiftCtrl | platform::kShiftShift);
  EXPECT_EQ(Key("Alt+F").shift, platform::kShiftAlt);
  EXPECT_EQ(Key("Alt+F").key, 'F');
}

TEST(ParseKeyTest, UnknownKeysAndModifiersAreRefused) {
  EXPECT_TRUE(Refused(""));
  EXPECT_TRUE(Refused("Return"));
  EXPECT_TRUE(Refused("F13"));
  EXPECT_TRUE(Refused("F0"));
  EXPECT_TRUE(Refused("ab"));
  EXPECT_TRUE(Refused("255"));
  EXPECT_TRUE(Refused("9999"));
  EXPECT_TRUE(Refused("meta+A"));
  EXPECT_TRUE(Refused("ctrl+ctrl+A"));
  EXPECT_TRUE(Refused("ctrl+"));
  EXPECT_TRUE(Refused("+"));
}

}  // namespace
}  // namespace memo::script
