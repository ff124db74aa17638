// The Qt backend's text conversions: widgets see exactly what the codec gives, character for
// character, so positions and lengths agree between a widget and the GBK text behind it.
#include <gtest/gtest.h>

#include <QString>

#include <string>

#include "platform/codec.h"
#include "platform/gbk.h"
#include "platform/qt/qt_convert.h"

namespace memo::platform::qt {
namespace {

std::string Utf8Of(const QString& text) {
  QByteArray bytes = text.toUtf8();
  return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

// Every byte pair a lead byte can start, through the widgets' conversion path and through the
// codec: the same characters both ways (Qt's own GBK table differs on codes such as A8BF).
TEST(QtConvertTest, EveryTwoByteCodeConvertsAsTheCodecDoes) {
  for (int lead = 0x80; lead <= 0xFF; ++lead) {
    for (int trail = 0x01; trail <= 0xFF; ++trail) {
      const std::string gbk{static_cast<char>(lead), static_cast<char>(trail)};
      QString shown = FromGbk(gbk);
      ASSERT_EQ(Utf8Of(shown), GbkToUtf8(gbk)) << std::hex << lead << " " << trail;
      ASSERT_EQ(ToGbk(shown), Utf8ToGbk(GbkToUtf8(gbk))) << std::hex << lead << " " << trail;
      // A well-formed pair is one character; any other pair is a '?' and its second byte.
      const bool wellformed =
          lead >= 0x81 && lead <= 0xFE && trail >= 0x40 && trail <= 0xFE && trail != 0x7F;
      ASSERT_EQ(SplitCharacters(shown).size(), wellformed ? 1u : 2u)
          << std::hex << lead << " " << trail;
    }
  }
  EXPECT_EQ(FromGbk("\xA8\xBF"), QString::fromUtf8(GbkToUtf8("\xA8\xBF")));
}

TEST(QtConvertTest, CharacterCodesCrossTheEdgeWhole) {
  EXPECT_EQ(CharToQString(0xD6D0), QString::fromUtf8("中"));
  EXPECT_EQ(CharToQString('a'), QStringLiteral("a"));
  EXPECT_TRUE(CharToQString(0x81).isEmpty()) << "a lead byte alone is no character";
  EXPECT_EQ(QStringToChar(QString::fromUtf8("中")), 0xD6D0u);
  EXPECT_EQ(QStringToChar(QString::fromUtf8("€")), 0xA2E3u);
  EXPECT_EQ(QStringToChar(QStringLiteral("ab")), 0u);
  EXPECT_EQ(QStringToChar(QString::fromUtf8("😀")), 0u) << "no GBK form: no code-page character";
}

// Byte offsets and widget positions map through whole characters, also past characters that
// have no GBK form and so stand as one '?' byte.
TEST(QtConvertTest, PositionsAndBytesMapCharacterByCharacter) {
  const QString text = QString::fromUtf8("a中😀b");  // bytes: a(1) 中(2) ?(1) b(1)
  EXPECT_EQ(GbkLength(text), 5);
  EXPECT_EQ(QtPositionOfByte(text, 0), 0);
  EXPECT_EQ(QtPositionOfByte(text, 1), 1);
  EXPECT_EQ(QtPositionOfByte(text, 2), 1) << "inside 中";
  EXPECT_EQ(QtPositionOfByte(text, 3), 2);
  EXPECT_EQ(QtPositionOfByte(text, 4), 4) << "the surrogate pair stays together";
  EXPECT_EQ(QtPositionOfByte(text, 99), 5);
  EXPECT_EQ(ByteOfQtPosition(text, 2), 3);
  EXPECT_EQ(ByteOfQtPosition(text, 4), 4);
  EXPECT_EQ(ByteOfQtPosition(text, 5), 5);
}

}  // namespace
}  // namespace memo::platform::qt
