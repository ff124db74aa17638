// Properties by number: the common ones live and stored, their clamps, the type properties of
// open windows, menu items, fonts, and the fatal errors of bad targets.
#include <gtest/gtest.h>

#include "runtime/dispatch.h"
#include "runtime/heap.h"
#include "runtime/literal.h"
#include "runtime/text.h"
#include "tests/support/window_test_support.h"
#include "ui/window/font_property.h"
#include "ui/window/property_numbers.h"

namespace memo::testing {
namespace {

using ui::property::kDisabled;
using ui::property::kEditContent;
using ui::property::kHeight;
using ui::property::kLeft;
using ui::property::kMenuItemCaption;
using ui::property::kMenuItemChecked;
using ui::property::kMenuItemDisabled;
using ui::property::kMenuItemVisible;
using ui::property::kTag;
using ui::property::kTop;
using ui::property::kVisible;
using ui::property::kWidth;
using ui::property::kWindowCaption;
using ui::unit_type::kEditBox;

constexpr uint32_t kWin = 0x52010001;
constexpr uint32_t kWinUnit = 0x06010000;
constexpr uint32_t kEdit = 0x16010010;
constexpr uint32_t kItemBar = 0x26010020;
constexpr uint32_t kItemSub = 0x26010021;

std::string Text(TypedValue value) {
  ValueOwner owner(value);
  EXPECT_EQ(value.tag, TypeTag::kText);
  return NonNullText(static_cast<const char*>(value.Pointer()));
}

class PropertiesTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    ui::WindowBlock block;
    block.caption = G("标题");
    WindowBuilder window(kWin, kWinUnit, block);
    window.Add(kEdit, kEditBox, "编辑框1", {10, 20, 100, 22}, EditBlock("内容"))
        .Menu(kItemBar, 0, "文件", -1)
        .Menu(kItemSub, 1, "退出", 3);
    Install({window.Build()});
  }
  int32_t Int(uint32_t unit, int32_t number) {
    TypedValue value = ui::ReadProperty(kWin, unit, number, -1);
    EXPECT_EQ(value.tag, TypeTag::kInt);
    return static_cast<int32_t>(value.low);
  }
};

TEST_F(PropertiesTest, PositionsAndSizesAreClampedAndStoredOnAClosedWindow) {
  ui::WriteProperty(kWin, kEdit, kLeft, -1, IntValue(-40000));
  ui::WriteProperty(kWin, kEdit, kTop, -1, IntValue(40000));
  ui::WriteProperty(kWin, kEdit, kWidth, -1, IntValue(-5));
  ui::WriteProperty(kWin, kEdit, kHeight, -1, IntValue(99999));
  EXPECT_EQ(Int(kEdit, kLeft), -32627);
  EXPECT_EQ(Int(kEdit, kTop), 32627);
  EXPECT_EQ(Int(kEdit, kWidth), 0);
  EXPECT_EQ(Int(kEdit, kHeight), 32627);
  // A later load sees the stored values.
  ui::WriteProperty(kWin, kEdit, kLeft, -1, IntValue(15));
  ui::WriteProperty(kWin, kEdit, kTop, -1, IntValue(25));
  ui::WriteProperty(kWin, kEdit, kWidth, -1, IntValue(80));
  ASSERT_TRUE(ui::LoadWindow(kWin, nullptr, false));
  platform::Rect rect = ControlOf(kWin, kEdit)->Geometry();
  EXPECT_EQ(rect.left, 15);
  EXPECT_EQ(rect.top, 25);
  EXPECT_EQ(rect.width, 80);
}

TEST_F(PropertiesTest, LiveGeometryIsReadFromTheControlAndWritesKeepTheOtherHalf) {
  ASSERT_TRUE(ui::LoadWindow(kWin, nullptr, false));
  ControlOf(kWin, kEdit)->SetGeometry({1, 2, 30, 40});
  EXPECT_EQ(Int(kEdit, kLeft), 1);
  EXPECT_EQ(Int(kEdit, kHeight), 40);
  ui::WriteProperty(kWin, kEdit, kLeft, -1, IntValue(7));
  EXPECT_EQ(ControlOf(kWin, kEdit)->Geometry(), (platform::Rect{7, 2, 30, 40}));
  // Written while open, the value survives in the store.
  ui::CloseWindow(kWin, 0, true);
  EXPECT_EQ(Int(kEdit, kLeft), 7);
}

TEST_F(PropertiesTest, VisibleAndDisabledActOnTheLiveControl) {
  ASSERT_TRUE(ui::LoadWindow(kWin, nullptr, false));
  ui::WriteProperty(kWin, kEdit, kVisible, -1, BoolValue(false));
  ui::WriteProperty(kWin, kEdit, kDisabled, -1, BoolValue(true));
  EXPECT_FALSE(ControlOf(kWin, kEdit)->IsVisible());
  EXPECT_FALSE(ControlOf(kWin, kEdit)->IsEnabled());
  TypedValue visible = ui::ReadProperty(kWin, kEdit, kVisible, -1);
  EXPECT_EQ(visible.tag, TypeTag::kBool);
  EXPECT_EQ(visible.low, 0u);
}

TEST_F(PropertiesTest, TagTextIsStored) {
  ui::WriteProperty(kWin, kEdit, kTag, -1, TextValue(G("备注").c_str()));
  EXPECT_EQ(Text(ui::ReadProperty(kWin, kEdit, kTag, -1)), G("备注"));
}

TEST_F(PropertiesTest, ATypePropertyOfAClosedWindowIsFatal) {
  EXPECT_EQ(Int(kEdit, kWidth), 100);
  std::string report =
      ExpectFatal([] { ValueOwner v(ui::ReadProperty(kWin, kEdit, kEditContent, -1)); });
  EXPECT_NE(report.find(G("指定窗口尚未载入")), std::string::npos);
}

TEST_F(PropertiesTest, AWindowNotInTheStoreIsFatal) {
  std::string report = ExpectFatal([] { ui::ReadProperty(0x52010099, kEdit, kLeft, -1); });
  EXPECT_NE(report.find(G("未载入欲访问窗口组件所在的窗口")), std::string::npos);
}

TEST_F(PropertiesTest, TheCaptionAndTheEditContentAreTypeProperties) {
  ASSERT_TRUE(ui::LoadWindow(kWin, nullptr, false));
  EXPECT_EQ(Text(ui::ReadProperty(kWin, 0, kWindowCaption, -1)), G("标题"));
  ui::WriteProperty(kWin, kWinUnit, kWindowCaption, -1, TextValue(G("新标题").c_str()));
  EXPECT_EQ(Native(kWin)->Caption(), G("新标题"));
  EXPECT_EQ(Text(ui::ReadProperty(kWin, kEdit, kEditContent, -1)), G("内容"));
  ui::WriteProperty(kWin, kEdit, kEditContent, -1, TextValue("abc"));
  EXPECT_EQ(Text(ui::ReadProperty(kWin, kEdit, kEditContent, -1)), "abc");
  // A number written to a text property arrives as its text.
  ui::WriteProperty(kWin, kEdit, kEditContent, -1, IntValue(42));
  EXPECT_EQ(Text(ui::ReadProperty(kWin, kEdit, kEditContent, -1)), "42");
}

TEST_F(PropertiesTest, MenuItemPropertiesRebuildTheBar) {
  ASSERT_TRUE(ui::LoadWindow(kWin, nullptr, false));
  ASSERT_EQ(Native(kWin)->menu_bar().size(), 1u);
  EXPECT_EQ(Native(kWin)->menu_bar()[0].children[0].command_id, 20001);
  ui::WriteProperty(kWin, kItemSub, kMenuItemCaption, -1, TextValue(G("关闭").c_str()));
  ui::WriteProperty(kWin, kItemSub, kMenuItemChecked, -1, BoolValue(true));
  ui::WriteProperty(kWin, kItemSub, kMenuItemDisabled, -1, BoolValue(true));
  const platform::MenuEntry& item = Native(kWin)->menu_bar()[0].children[0];
  EXPECT_EQ(item.caption_gbk, G("关闭"));
  EXPECT_TRUE(item.checked);
  EXPECT_TRUE(item.disabled);
  ui::WriteProperty(kWin, kItemBar, kMenuItemVisible, -1, BoolValue(false));
  EXPECT_TRUE(Native(kWin)->menu_bar().empty());
  // The stored item keeps the change for the next load.
  ui::CloseWindow(kWin, 0, true);
  EXPECT_EQ(Text(ui::ReadProperty(kWin, kItemSub, kMenuItemCaption, -1)), G("关闭"));
}

TEST_F(PropertiesTest, FontSubPropertiesStartFromTheDefaultFont) {
  ui::StoredFont font;
  EXPECT_TRUE(ui::WriteFontProperty(&font, ui::kFontBold, BoolValue(true)));
  EXPECT_TRUE(font.present);
  EXPECT_EQ(font.font.weight, 700);
  EXPECT_TRUE(ui::WriteFontProperty(&font, ui::kFontRotation, IntValue(-900)));
  EXPECT_EQ(font.font.escapement, 2700);
  EXPECT_TRUE(ui::WriteFontProperty(&font, ui::kFontSize, IntValue(12)));
  EXPECT_EQ(font.font.height, -16);
  ValueOwner size(ui::ReadFontProperty(font, ui::kFontSize));
  EXPECT_EQ(size.get().low, 12u);
  EXPECT_FALSE(ui::WriteFontProperty(&font, ui::kFontFace, TextValue("")));
  EXPECT_FALSE(ui::WriteFontProperty(&font, ui::kFontFace,
                                     TextValue("a face name that is far too long for a LOGFONT")));
  EXPECT_TRUE(ui::WriteFontProperty(&font, ui::kFontFace, TextValue(G("宋体").c_str())));
  ValueOwner whole(ui::ReadFontProperty(font, ui::kFontWhole));
  EXPECT_EQ(ByteSetSize(whole.get().Pointer()), 60);
}

}  // namespace
}  // namespace memo::testing
