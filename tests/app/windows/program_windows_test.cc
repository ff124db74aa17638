// The carried segment read back and every window, unit, type block, binding and menu item
// compared with the program's window tables, written out here once more by hand.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "app/windows/carried_segment.h"
#include "app/windows/program_routines.h"
#include "platform/codec.h"
#include "tests/support/gbk.h"
#include "ui/format/segment.h"
#include "ui/format/type_blocks.h"

namespace memo::ui {
namespace {

using R = ProgramRoutine;

using ::memo::testing::G;

const DefinitionStore& Carried() {
  static const DefinitionStore store = [] {
    DefinitionStore s;
    SegmentError error = ReadSegment(kCarriedSegment, kCarriedSegmentSize, &s);
    EXPECT_EQ(error, SegmentError::kNone) << SegmentErrorText(error);
    return s;
  }();
  return store;
}

const WindowRecord& WindowOf(uint32_t id) {
  int index = Carried().Find(id);
  EXPECT_GE(index, 0) << std::hex << id;
  static const WindowRecord none;
  return index < 0 ? none : Carried().windows[static_cast<size_t>(index)];
}

const UnitRecord& UnitOf(uint32_t window_id, uint32_t unit_id) {
  const WindowRecord& window = WindowOf(window_id);
  int index = window.FindUnit(unit_id);
  EXPECT_GE(index, 0) << std::hex << unit_id;
  static const UnitRecord none;
  return index < 0 ? none : window.units[static_cast<size_t>(index)];
}

EventBinding Bind(int32_t event, R routine) { return {event, RoutineRef(routine)}; }

struct Expected {
  uint32_t id;
  uint32_t type;
  const char* name;
  int32_t left, top, width, height;
  uint32_t flags;
  std::vector<EventBinding> events;
};

constexpr uint32_t kWin = unit_type::kWindow;
constexpr uint32_t kMenu = unit_type::kMenu;

const std::vector<Expected>& MainUnits() {
  static const std::vector<Expected> units = {
      {0x06010000, kWin, "", 50, 50, 678, 469, 1, {Bind(0, R::kRefreshMainWindow)}},
      {0x1601016C, unit_type::kHtmlViewer, "超文本浏览框1", 432, 384, 72, 40, 4, {}},
      {0x16010164, unit_type::kTransLabel, "透明标签2", 0, 400, 49, 13, 1, {}},
      {0x16010161, unit_type::kTransLabel, "透明标签1", 1, 379, 49, 13, 1, {}},
      {0x1601009D, unit_type::kComboBox, "组合框2", 531, 398, 96, 22, 5, {}},
      {0x16010097,
       unit_type::kButton,
       "按钮记事查询",
       627,
       397,
       42,
       20,
       5,
       {Bind(0, R::kQueryByCategory)}},
      {0x26010051, kMenu, "", 0, 0, 0, 0, 0, {}},
      {0x26010052, kMenu, "", 0, 0, 0, 0, 0, {}},
      {0x2601010F, kMenu, "", 0, 0, 0, 0, 0, {}},
      {0x26010110, kMenu, "", 0, 0, 0, 0, 0, {}},
      {0x26010111, kMenu, "", 0, 0, 0, 0, 0, {}},
      {0x26010113, kMenu, "", 0, 0, 0, 0, 0, {}},
      {0x1601003A,
       unit_type::kButton,
       "按钮记事删除",
       383,
       397,
       42,
       20,
       5,
       {Bind(0, R::kDeleteMemo)}},
      {0x16010007, unit_type::kComboBox, "组合框1", 54, 376, 72, 22, 5, {}},
      {0x16010006, unit_type::kButton, "按钮记事添加", 337, 397, 42, 20, 5, {Bind(0, R::kAddMemo)}},
      {0x16010005,
       unit_type::kEditBox,
       "编辑框1",
       54,
       398,
       278,
       18,
       5,
       {Bind(-9, R::kMemoTextKey)}},
      {0x16010004, unit_type::kDBProvider, "数据库提供者1", 160, 144, 32, 24, 0, {}},
      {0x16010003, unit_type::kDataSrc, "数据源1", 208, 144, 132, 22, 4, {}},
      {0x16010002,
       unit_type::kGrid,
       "表格1",
       1,
       2,
       671,
       374,
       5,
       {Bind(1, R::kShowGridMenu), Bind(2, R::kCheckGridEdit)}},
  };
  return units;
}

const std::vector<Expected>& LoginUnits() {
  static const std::vector<Expected> units = {
      {0x06010008, kWin, "", 50, 50, 175, 117, 1, {Bind(0, R::kLoginWindowCreated)}},
      {0x1601014C, unit_type::kTransLabel, "透明标签1", 8, 52, 152, 32, 1, {}},
      {0x1601000C, unit_type::kButton, "按钮登陆", 118, 4, 48, 44, 5, {Bind(0, R::kLogin)}},
      {0x1601000B,
       unit_type::kEditBox,
       "编辑框2",
       2,
       28,
       116,
       19,
       5,
       {Bind(-9, R::kLoginPasswordKey)}},
      {0x1601000A,
       unit_type::kEditBox,
       "编辑框1",
       2,
       6,
       116,
       19,
       5,
       {Bind(-9, R::kLoginAccountKey)}},
  };
  return units;
}

const std::vector<Expected>& FollowUpUnits() {
  static const std::vector<Expected> units = {
      {0x06010049, kWin, "", 50, 50, 678, 367, 1, {Bind(0, R::kFollowUpWindowCreated)}},
      {0x1601004A, unit_type::kEditBox, "编辑框2", 1, 256, 663, 54, 1, {}},
      {0x1601004B,
       unit_type::kEditBox,
       "编辑框1",
       1,
       313,
       592,
       21,
       5,
       {Bind(-9, R::kFollowUpEntryKey)}},
      {0x1601004C,
       unit_type::kEGrid,
       "高级表格1",
       1,
       4,
       663,
       244,
       5,
       {Bind(5, R::kShowFollowUpEntry)}},
      {0x1601004D,
       unit_type::kButton,
       "按钮添加跟进",
       598,
       312,
       67,
       22,
       5,
       {Bind(0, R::kAppendFollowUp)}},
  };
  return units;
}

const std::vector<Expected>& PasswordUnits() {
  static const std::vector<Expected> units = {
      {0x060100F0, kWin, "", 50, 50, 202, 221, 1, {Bind(0, R::kPasswordWindowCreated)}},
      {0x160100FE, unit_type::kTransLabel, "透明标签6", 80, 11, 64, 24, 1, {}},
      {0x160100FB, unit_type::kTransLabel, "透明标签5", 20, 126, 64, 24, 1, {}},
      {0x160100FA, unit_type::kTransLabel, "透明标签4", 20, 95, 64, 24, 1, {}},
      {0x160100F9, unit_type::kTransLabel, "透明标签3", 20, 67, 64, 24, 1, {}},
      {0x160100F8, unit_type::kTransLabel, "透明标签2", 20, 39, 64, 24, 1, {}},
      {0x160100F7, unit_type::kTransLabel, "透明标签1", 20, 11, 64, 24, 1, {}},
      {0x160100F6,
       unit_type::kButton,
       "按钮密码修改确认",
       141,
       160,
       40,
       24,
       5,
       {Bind(0, R::kChangePassword)}},
      {0x160100F5, unit_type::kEditBox, "编辑框4", 77, 130, 104, 20, 5, {}},
      {0x160100F4, unit_type::kEditBox, "编辑框3", 77, 99, 104, 20, 5, {}},
      {0x160100F3, unit_type::kEditBox, "编辑框2", 77, 71, 104, 20, 5, {}},
      {0x160100F2, unit_type::kEditBox, "编辑框1", 77, 43, 104, 20, 5, {}},
  };
  return units;
}

const std::vector<Expected>& IntroUnits() {
  static const std::vector<Expected> units = {
      {0x06010156, kWin, "", 50, 50, 335, 183, 1, {}},
      {0x16010159,
       unit_type::kButton,
       "按钮1",
       272,
       112,
       48,
       24,
       5,
       {Bind(0, R::kCloseIntroduction)}},
      {0x16010158, unit_type::kLabel, "标签1", 8, 8, 264, 135, 1, {}},
  };
  return units;
}

void ExpectUnits(uint32_t window_id, const std::vector<Expected>& expected) {
  const WindowRecord& window = WindowOf(window_id);
  ASSERT_EQ(window.units.size(), expected.size()) << std::hex << window_id;
  for (size_t i = 0; i < expected.size(); ++i) {
    const Expected& e = expected[i];
    const UnitRecord& u = window.units[i];
    SCOPED_TRACE(::testing::Message() << std::hex << "unit 0x" << e.id << " " << e.name);
    EXPECT_EQ(u.id, e.id);
    EXPECT_EQ(u.type, e.type);
    EXPECT_EQ(u.name, G(e.name));
    EXPECT_TRUE(u.remark.empty());
    if (u.is_menu_item()) continue;  // menu items are checked on their own
    EXPECT_EQ(u.left, e.left);
    EXPECT_EQ(u.top, e.top);
    EXPECT_EQ(u.width, e.width);
    EXPECT_EQ(u.height, e.height);
    EXPECT_EQ(u.flags, e.flags);
    EXPECT_EQ(u.events, e.events);
    EXPECT_EQ(u.event_source, 0u);
    EXPECT_EQ(u.parent, 0u);
    EXPECT_TRUE(u.page_members.empty());
    EXPECT_TRUE(u.mouse_pointer.empty());
    EXPECT_TRUE(u.tag.empty());
    EXPECT_EQ(u.word_x, 0u);
    EXPECT_EQ(u.word_y, 0u);
    for (uint32_t word : u.reserved) EXPECT_EQ(word, 0u);
  }
}

// --- Windows and units ---------------------------------------------------------------------------

TEST(CarriedWindowsTest, FiveWindowsInDefinitionOrder) {
  const DefinitionStore& store = Carried();
  ASSERT_EQ(store.windows.size(), 5u);
  EXPECT_EQ(store.windows[0].id, 0x52010001u);
  EXPECT_EQ(store.windows[1].id, 0x52010009u);
  EXPECT_EQ(store.windows[2].id, 0x52010048u);
  EXPECT_EQ(store.windows[3].id, 0x520100F1u);
  EXPECT_EQ(store.windows[4].id, 0x52010157u);
  EXPECT_EQ(store.Find(kMainWindowId), 0);
  EXPECT_EQ(store.Find(kIntroWindowId), 4);
  for (const WindowRecord& window : store.windows) {
    SCOPED_TRACE(window.id);
    EXPECT_EQ(window.word_a, 0u);
    EXPECT_EQ(window.word_b >> 16, 0x1901u);
    EXPECT_TRUE(window.text1.empty());
    EXPECT_TRUE(window.text2.empty());
    ASSERT_FALSE(window.units.empty());
    EXPECT_EQ(window.units[0].type, unit_type::kWindow);
    EXPECT_EQ(window.FindUnit(window.units[0].id), 0);
  }
}

TEST(CarriedWindowsTest, MainWindowUnitsInTableOrderWithTheMenuInTheMiddle) {
  ExpectUnits(kMainWindowId, MainUnits());
}
TEST(CarriedWindowsTest, LoginWindowUnits) { ExpectUnits(kLoginWindowId, LoginUnits()); }
TEST(CarriedWindowsTest, FollowUpWindowUnits) { ExpectUnits(kFollowUpWindowId, FollowUpUnits()); }
TEST(CarriedWindowsTest, PasswordWindowUnits) { ExpectUnits(kPasswordWindowId, PasswordUnits()); }
TEST(CarriedWindowsTest, IntroductionWindowUnits) { ExpectUnits(kIntroWindowId, IntroUnits()); }

TEST(CarriedWindowsTest, UnitsAreFoundByTheirDefinitionNames) {
  const WindowRecord& main = WindowOf(kMainWindowId);
  EXPECT_EQ(main.FindUnitByName(G("数据库提供者1")), 16);
  EXPECT_EQ(main.FindUnitByName(G("表格1")), 18);
  const WindowRecord& login = WindowOf(kLoginWindowId);
  EXPECT_EQ(login.FindUnitByName(G("编辑框2")), 3);
  EXPECT_EQ(login.FindUnitByName(G("编辑框3")), -1);
}

TEST(CarriedWindowsTest, NoTwoIdsShareTheirLowBitsAndEveryIdHasItsKind) {
  std::map<uint32_t, uint32_t> owner;  // low 24 bits -> id
  auto claim = [&](uint32_t id) {
    EXPECT_TRUE(IsValidId(id)) << std::hex << id;
    auto [it, fresh] = owner.emplace(id & 0xFFFFFF, id);
    EXPECT_TRUE(fresh) << std::hex << id << " shares its serial with " << it->second;
  };
  for (const WindowRecord& window : Carried().windows) {
    EXPECT_EQ(window.id >> 16, 0x5201u);
    claim(window.id);
    claim(window.word_b);
    for (size_t i = 0; i < window.units.size(); ++i) {
      const UnitRecord& unit = window.units[i];
      claim(unit.id);
      uint32_t kind = unit.id >> 16;
      if (i == 0) {
        EXPECT_EQ(kind, 0x0601u);
      } else if (unit.is_menu_item()) {
        EXPECT_EQ(kind, 0x2601u);
        EXPECT_TRUE(IsMenuItemId(unit.id));
      } else {
        EXPECT_EQ(kind, 0x1601u);
        EXPECT_FALSE(IsMenuItemId(unit.id));
      }
    }
  }
}

TEST(CarriedWindowsTest, EveryRoutineIsBoundExactlyOnceAndEveryReferenceIsInRange) {
  std::multiset<int32_t> bound;
  for (const WindowRecord& window : Carried().windows) {
    for (const UnitRecord& unit : window.units) {
      if (unit.is_menu_item()) {
        if (unit.routine != kNoRoutine) bound.insert(unit.routine);
        continue;
      }
      for (const EventBinding& binding : unit.events) bound.insert(binding.routine);
    }
  }
  for (int32_t routine : bound) {
    EXPECT_GE(routine, 0);
    EXPECT_LT(routine, kProgramRoutineCount);
  }
  for (int32_t routine = 0; routine < kProgramRoutineCount; ++routine) {
    EXPECT_EQ(bound.count(routine), 1u) << "routine " << routine;
  }
}

// --- The main window's menu ----------------------------------------------------------------------

TEST(CarriedWindowsTest, MainMenuItemsWithLevelsFlagsCaptionsAndRoutines) {
  struct Item {
    uint32_t id;
    uint32_t level;
    uint32_t flags;
    const char* caption;
    int32_t routine;
  };
  const Item items[] = {
      {0x26010051, 0, kMenuHidden, "表格右键功能", kNoRoutine},
      {0x26010052, 1, 0, "跟进", RoutineRef(R::kOpenFollowUp)},
      {0x2601010F, 0, 0, "帐号管理", kNoRoutine},
      {0x26010110, 1, 0, "修改密码", RoutineRef(R::kOpenPasswordWindow)},
      {0x26010111, 0, 0, "关于软件", kNoRoutine},
      {0x26010113, 1, 0, "软件介绍", RoutineRef(R::kOpenIntroduction)},
  };
  const WindowRecord& main = WindowOf(kMainWindowId);
  std::vector<const UnitRecord*> menu;
  for (const UnitRecord& unit : main.units) {
    if (unit.is_menu_item()) menu.push_back(&unit);
  }
  ASSERT_EQ(menu.size(), std::size(items));
  for (size_t i = 0; i < menu.size(); ++i) {
    SCOPED_TRACE(items[i].caption);
    EXPECT_EQ(menu[i]->id, items[i].id);
    EXPECT_EQ(menu[i]->level, items[i].level);
    EXPECT_EQ(menu[i]->menu_flags, items[i].flags);
    EXPECT_EQ(menu[i]->caption, G(items[i].caption));
    EXPECT_EQ(menu[i]->routine, items[i].routine);
    EXPECT_EQ(menu[i]->shortcut, 0u);
    EXPECT_TRUE(menu[i]->name.empty());
  }
  // No other window has a menu.
  for (uint32_t id : {kLoginWindowId, kFollowUpWindowId, kPasswordWindowId, kIntroWindowId}) {
    for (const UnitRecord& unit : WindowOf(id).units) EXPECT_FALSE(unit.is_menu_item());
  }
}

// --- Type blocks ---------------------------------------------------------------------------------

TEST(CarriedBlocksTest, EveryBlockReadsThroughItsTypesReader) {
  for (const WindowRecord& window : Carried().windows) {
    for (const UnitRecord& unit : window.units) {
      SCOPED_TRACE(::testing::Message() << std::hex << unit.id);
      const std::string& b = unit.type_block;
      BlockStatus status = BlockStatus::kOk;
      switch (unit.type) {
        case unit_type::kWindow: {
          WindowBlock x;
          status = ReadWindowBlock(b, &x);
          break;
        }
        case unit_type::kEditBox: {
          EditBoxBlock x;
          status = ReadEditBoxBlock(b, &x);
          break;
        }
        case unit_type::kLabel: {
          LabelBlock x;
          status = ReadLabelBlock(b, &x);
          break;
        }
        case unit_type::kButton: {
          ButtonBlock x;
          status = ReadButtonBlock(b, &x);
          break;
        }
        case unit_type::kComboBox: {
          ComboBoxBlock x;
          status = ReadComboBoxBlock(b, &x);
          break;
        }
        case unit_type::kGrid: {
          GridBlock x;
          status = ReadGridBlock(b, &x);
          break;
        }
        case unit_type::kDataSrc: {
          DataSrcBlock x;
          status = ReadDataSrcBlock(b, &x);
          break;
        }
        case unit_type::kDBProvider: {
          DBProviderBlock x;
          status = ReadDBProviderBlock(b, &x);
          break;
        }
        case unit_type::kEGrid: {
          EGridBlock x;
          status = ReadEGridBlock(b, &x);
          break;
        }
        case unit_type::kTransLabel: {
          TransLabelBlock x;
          status = ReadTransLabelBlock(b, &x);
          break;
        }
        case unit_type::kHtmlViewer: {
          HtmlViewerBlock x;
          status = ReadHtmlViewerBlock(b, &x);
          break;
        }
        case unit_type::kMenu: EXPECT_TRUE(b.empty()); break;
        default: ADD_FAILURE() << "unexpected type " << unit.type;
      }
      EXPECT_EQ(status, BlockStatus::kOk);
    }
  }
}

TEST(CarriedBlocksTest, WindowBlocksFixedBorderCentredAndTheirCaptions) {
  EXPECT_TRUE(UnitOf(kMainWindowId, 0x06010000).type_block.empty());
  const std::pair<uint32_t, const char*> windows[] = {
      {kLoginWindowId, "登陆到备忘录"},
      {kFollowUpWindowId, "客户跟进"},
      {kPasswordWindowId, "密码修改"},
      {kIntroWindowId, "软件介绍"},
  };
  for (const auto& [id, caption] : windows) {
    SCOPED_TRACE(caption);
    WindowBlock b;
    ASSERT_EQ(ReadWindowBlock(WindowOf(id).units[0].type_block, &b), BlockStatus::kOk);
    EXPECT_EQ(b.version, 6u);
    const uint32_t words[] = {
        b.border,      b.picture_mode,   b.background, b.maximize_button, b.minimize_button,
        b.control_box, b.start_position, b.movable,    b.sound_mode,      b.enter_moves_focus,
        b.esc_closes,  b.f1_opens_help,  b.help_topic, b.show_in_taskbar, b.drag_anywhere,
        b.word17,      b.always_on_top,  b.word19};
    const uint32_t expected[] = {2, 1, 0xFF000000, 0, 0, 1, 1, 1, 0, 0, 1, 0, 0, 1, 0, 0, 0, 0};
    for (size_t i = 0; i < std::size(words); ++i) EXPECT_EQ(words[i], expected[i]) << i;
    EXPECT_TRUE(b.text20.empty());
    EXPECT_TRUE(b.picture.empty());
    EXPECT_TRUE(b.icon.empty());
    EXPECT_TRUE(b.sound.empty());
    EXPECT_EQ(b.caption, G(caption));
    EXPECT_TRUE(b.help_file.empty());
  }
}

struct EditExpect {
  uint32_t window;
  uint32_t unit;
  uint32_t border, multi_line, scroll_bars, input_mode;
  const char* content;
  uint32_t max_length;
};

TEST(CarriedBlocksTest, EditBoxes) {
  // The account and password boxes hold at most what the accounts file stores (20 and 40
  // bytes); the login window's account box has every other default.
  const EditExpect boxes[] = {
      {kMainWindowId, 0x16010005, 5, 0, 0, 0, "", 0},
      {kLoginWindowId, 0x1601000A, 1, 0, 0, 0, "", 20},
      {kLoginWindowId, 0x1601000B, 1, 0, 0, 2, "", 40},  // the password box masks its input
      {kFollowUpWindowId, 0x1601004A, 5, 1, 2, 1, "跟进信息...", 0},
      {kFollowUpWindowId, 0x1601004B, 5, 0, 0, 0, "", 0},
      {kPasswordWindowId, 0x160100F5, 5, 0, 0, 2, "", 40},
      {kPasswordWindowId, 0x160100F4, 5, 0, 0, 2, "", 40},
      {kPasswordWindowId, 0x160100F3, 5, 0, 0, 0, "", 20},
      {kPasswordWindowId, 0x160100F2, 5, 0, 0, 2, "", 40},
  };
  for (const EditExpect& e : boxes) {
    SCOPED_TRACE(::testing::Message() << std::hex << e.unit);
    const std::string& bytes = UnitOf(e.window, e.unit).type_block;
    ASSERT_FALSE(bytes.empty());
    EditBoxBlock b;
    ASSERT_EQ(ReadEditBoxBlock(bytes, &b), BlockStatus::kOk);
    EXPECT_EQ(b.version, 2u);
    EXPECT_EQ(b.border, e.border);
    EXPECT_EQ(b.multi_line, e.multi_line);
    EXPECT_EQ(b.scroll_bars, e.scroll_bars);
    EXPECT_EQ(b.input_mode, e.input_mode);
    EXPECT_EQ(b.content, G(e.content));
    EXPECT_EQ(b.password_char, 42);
    EXPECT_EQ(b.max_length, e.max_length);
    EXPECT_EQ(b.background, 0xFFFFFFu);
    EXPECT_EQ(b.text_colour, 0u);
    EXPECT_EQ(b.case_conversion, 0u);
    EXPECT_EQ(b.spin, 0u);
    EXPECT_FALSE(b.font.present);
  }
}

TEST(CarriedBlocksTest, ButtonsAreNormalCentredWithoutPictureOrFont) {
  const std::tuple<uint32_t, uint32_t, const char*> buttons[] = {
      {kMainWindowId, 0x16010097, "查询"},     {kMainWindowId, 0x1601003A, "删除"},
      {kMainWindowId, 0x16010006, "记录"},     {kLoginWindowId, 0x1601000C, "登陆"},
      {kFollowUpWindowId, 0x1601004D, "跟进"}, {kPasswordWindowId, 0x160100F6, "确认"},
      {kIntroWindowId, 0x16010159, "关闭"},
  };
  for (const auto& [window, unit, caption] : buttons) {
    SCOPED_TRACE(caption);
    ButtonBlock b;
    const std::string& bytes = UnitOf(window, unit).type_block;
    ASSERT_FALSE(bytes.empty());
    ASSERT_EQ(ReadButtonBlock(bytes, &b), BlockStatus::kOk);
    EXPECT_EQ(b.type, 0u);
    EXPECT_EQ(b.halign, 1u);
    EXPECT_EQ(b.valign, 1u);
    EXPECT_TRUE(b.picture.empty());
    EXPECT_FALSE(b.font.present);
    EXPECT_EQ(b.caption, G(caption));
  }
}

TEST(CarriedBlocksTest, CategoryComboBoxes) {
  for (auto [unit, style] : {std::pair{0x1601009Du, 2u}, std::pair{0x16010007u, 1u}}) {
    SCOPED_TRACE(style);
    ComboBoxBlock b;
    ASSERT_EQ(ReadComboBoxBlock(UnitOf(kMainWindowId, unit).type_block, &b), BlockStatus::kOk);
    EXPECT_EQ(b.version, 3u);
    EXPECT_EQ(b.style, style);
    EXPECT_EQ(b.items, (std::vector<std::string>{G("资金借出"), G("资金借入")}));
    EXPECT_EQ(b.current_index, 0);
    EXPECT_EQ(b.item_data.size(), 2u);
    EXPECT_EQ(b.sorted, 0u);
  }
}

TEST(CarriedBlocksTest, TransparentLabels) {
  const std::tuple<uint32_t, uint32_t, const char*> labels[] = {
      {kMainWindowId, 0x16010164, "记录事件"},
      {kMainWindowId, 0x16010161, "记录类型"},
      {kLoginWindowId, 0x1601014C, "欢迎使用墨川软件"},
      {kPasswordWindowId, 0x160100FE, "****"},
      {kPasswordWindowId, 0x160100FB, "密码确认："},
      {kPasswordWindowId, 0x160100FA, "新密码："},
      {kPasswordWindowId, 0x160100F9, "新帐号："},
      {kPasswordWindowId, 0x160100F8, "当前密码："},
      {kPasswordWindowId, 0x160100F7, "当前帐号："},
  };
  for (const auto& [window, unit, text] : labels) {
    SCOPED_TRACE(text);
    TransLabelBlock b;
    ASSERT_EQ(ReadTransLabelBlock(UnitOf(window, unit).type_block, &b), BlockStatus::kOk);
    EXPECT_EQ(b.version, 1u);
    const uint32_t words[5] = {0, 0, 0, 1, 0};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(b.words[i], words[i]);
    EXPECT_EQ(b.text, G(text));
  }
}

TEST(CarriedBlocksTest, IntroductionLabelText) {
  LabelBlock b;
  ASSERT_EQ(ReadLabelBlock(UnitOf(kIntroWindowId, 0x16010158).type_block, &b), BlockStatus::kOk);
  EXPECT_EQ(b.version, 2u);
  const uint32_t words[16] = {0, 8, 0,        0x808080, 0xFFFFFF, 0x808080, 0, 0xFF000000,
                              1, 0, 0x808080, 0xFFFFFF, 0x808080, 0,        1, 0};
  for (int i = 0; i < 16; ++i) EXPECT_EQ(b.words[i], words[i]) << i;
  EXPECT_EQ(b.text, G("软件名称:备忘录\r\n\r\n"
                      "版本号码:2.11\r\n\r\n"
                      "系统:Linux\r\n\r\n"
                      "软件作者:memo 开发组\r\n\r\n"
                      "联系邮箱:memo@memo.invalid\r\n\r\n"
                      "官网地址:https://memo.invalid\r\n"));
  EXPECT_TRUE(b.blob_a.empty());
  EXPECT_TRUE(b.text_a.empty());
}

TEST(CarriedBlocksTest, MainWindowDataChainAndViewer) {
  GridBlock grid;
  ASSERT_EQ(ReadGridBlock(UnitOf(kMainWindowId, 0x16010002).type_block, &grid), BlockStatus::kOk);
  const uint32_t grid_words[9] = {0, 0xFFFFFF, 100, 1, 1, 1, 0, 0, 1};
  for (int i = 0; i < 9; ++i) EXPECT_EQ(grid.words[i], grid_words[i]) << i;
  EXPECT_EQ(grid.data_source, G("数据源1"));

  DataSrcBlock source;
  ASSERT_EQ(ReadDataSrcBlock(UnitOf(kMainWindowId, 0x16010003).type_block, &source),
            BlockStatus::kOk);
  EXPECT_EQ(source.words[0], 0u);
  EXPECT_EQ(source.words[1], 1u);
  EXPECT_EQ(source.words[2], 1u);
  EXPECT_EQ(source.provider, G("数据库提供者1"));

  DBProviderBlock provider;
  ASSERT_EQ(ReadDBProviderBlock(UnitOf(kMainWindowId, 0x16010004).type_block, &provider),
            BlockStatus::kOk);
  EXPECT_EQ(provider.version, 2u);
  EXPECT_EQ(provider.word, 0u);
  EXPECT_EQ(provider.file_name, "C:\\memo\\db.edb");
  EXPECT_EQ(provider.word_after, 0u);

  HtmlViewerBlock viewer;
  ASSERT_EQ(ReadHtmlViewerBlock(UnitOf(kMainWindowId, 0x1601016C).type_block, &viewer),
            BlockStatus::kOk);
  EXPECT_EQ(viewer.words[0], 2u);
  EXPECT_EQ(viewer.words[1], 0u);
  EXPECT_EQ(viewer.words[2], 1u);
  EXPECT_TRUE(viewer.address.empty());
}

TEST(CarriedBlocksTest, FollowUpAdvancedGrid) {
  EGridBlock b;
  const std::string& bytes = UnitOf(kFollowUpWindowId, 0x1601004C).type_block;
  ASSERT_EQ(ReadEGridBlock(bytes, &b), BlockStatus::kOk);
  EXPECT_EQ(bytes.size(), 4u + 28 * 4);  // no extension
  EXPECT_EQ(b.version, 12u);
  const uint32_t words[28] = {0xC0C0C0, 0xFFFFFF, 0, 0,        3, 1, 1, 24,         325, 1,
                              2,        0,        0, 0,        1, 1, 1, 0xFF000000, 0,   0,
                              3,        1,        1, 0xFF9933, 1, 0, 0, 1};
  for (int i = 0; i < 28; ++i) EXPECT_EQ(b.words[i], words[i]) << "word " << i + 1;
  EXPECT_FALSE(b.has_extension);
  EXPECT_EQ(b.SelectionColour(), 0xFF9933u);
}

TEST(CarriedBlocksTest, TheCarriedBytesAreWhatTheWriterMakesOfThem) {
  // The segment is in the writer's canonical form: reading and writing it again changes nothing.
  std::string again = WriteSegment(Carried());
  EXPECT_EQ(again,
            std::string(reinterpret_cast<const char*>(kCarriedSegment), kCarriedSegmentSize));
}

}  // namespace
}  // namespace memo::ui
