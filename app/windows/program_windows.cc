#include "app/windows/program_windows.h"

#include <algorithm>
#include <iterator>

#include "app/windows/unit_builders.h"
#include "ui/window/events.h"

namespace memo::ui::windows {

namespace {

using R = ProgramRoutine;
namespace ut = unit_type;

WindowRecord Window(uint32_t id, uint32_t word_b, std::vector<UnitRecord> units) {
  WindowRecord window;
  window.id = id;
  window.word_a = 0;
  window.word_b = word_b;
  window.units = std::move(units);
  return window;
}

std::string EditBox(EditBoxBlock block) { return WriteEditBoxBlock(block); }

// The login window's password box: the defaults (like the account box beside it, whose empty
// block gives every default), but masking what is typed.
// The stored lengths of the accounts file's fields: a box never holds more than is stored, so
// what is typed is exactly what is compared at the next sign-in.
constexpr uint32_t kAccountBytes = 20;
constexpr uint32_t kPasswordBytes = 40;

EditBoxBlock WithLimit(EditBoxBlock block, uint32_t max_length) {
  block.max_length = max_length;
  return block;
}

EditBoxBlock MaskedDefaultEditBox() {
  EditBoxBlock block;
  block.input_mode = 2;
  block.max_length = kPasswordBytes;
  return block;
}

EditBoxBlock PasswordEditBox() {
  EditBoxBlock block = ProgramEditBox();
  block.input_mode = 2;  // password, shown as the default "*"
  block.max_length = kPasswordBytes;
  return block;
}

WindowRecord MainWindow() {
  HtmlViewerBlock viewer;  // start address empty: the program never navigates it
  GridBlock grid;
  grid.data_source = ToGbk("数据源1");
  DataSrcBlock source;
  source.provider = ToGbk("数据库提供者1");
  DBProviderBlock provider;
  provider.file_name = ToGbk("C:\\memo\\db.edb");  // design time; the program sets property 8

  return Window(
      kMainWindowId, kMainWordB,
      {
          // The caption is set at start; every window property keeps its default.
          WindowUnit(0x06010000, {50, 50, 678, 469}, "",
                     {On(event::kCreated, R::kRefreshMainWindow)}),
          Control(0x1601016C, ut::kHtmlViewer, "超文本浏览框1", {432, 384, 72, 40}, kHiddenTabStop,
                  WriteHtmlViewerBlock(viewer)),
          Control(0x16010164, ut::kTransLabel, "透明标签2", {0, 400, 49, 13}, kVisibleOnly,
                  TransLabelWithText("记录事件")),
          Control(0x16010161, ut::kTransLabel, "透明标签1", {1, 379, 49, 13}, kVisibleOnly,
                  TransLabelWithText("记录类型")),
          Control(0x1601009D, ut::kComboBox, "组合框2", {531, 398, 96, 22}, kVisibleTabStop,
                  ComboBoxOfCategories(2)),
          Control(0x16010097, ut::kButton, "按钮记事查询", {627, 397, 42, 20}, kVisibleTabStop,
                  ButtonWithCaption("查询"), {On(event::kClicked, R::kQueryByCategory)}),
          // The menu stands between the buttons, in menu order. The hidden bar item keeps "跟进"
          // out of the menu bar; its popup is the grid's context menu.
          MenuItem(0x26010051, 0, kMenuHidden, "表格右键功能"),
          MenuItem(0x26010052, 1, 0, "跟进", RoutineRef(R::kOpenFollowUp)),
          MenuItem(0x2601010F, 0, 0, "帐号管理"),
          MenuItem(0x26010110, 1, 0, "修改密码", RoutineRef(R::kOpenPasswordWindow)),
          MenuItem(0x26010111, 0, 0, "关于软件"),
          MenuItem(0x26010113, 1, 0, "软件介绍", RoutineRef(R::kOpenIntroduction)),
          Control(0x1601003A, ut::kButton, "按钮记事删除", {383, 397, 42, 20}, kVisibleTabStop,
                  ButtonWithCaption("删除"), {On(event::kClicked, R::kDeleteMemo)}),
          Control(0x16010007, ut::kComboBox, "组合框1", {54, 376, 72, 22}, kVisibleTabStop,
                  ComboBoxOfCategories(1)),
          Control(0x16010006, ut::kButton, "按钮记事添加", {337, 397, 42, 20}, kVisibleTabStop,
                  ButtonWithCaption("记录"), {On(event::kClicked, R::kAddMemo)}),
          Control(0x16010005, ut::kEditBox, "编辑框1", {54, 398, 278, 18}, kVisibleTabStop,
                  EditBox(ProgramEditBox()), {On(event::kKeyDown, R::kMemoTextKey)}),
          Control(0x16010004, ut::kDBProvider, "数据库提供者1", {160, 144, 32, 24}, kHidden,
                  WriteDBProviderBlock(provider)),
          Control(0x16010003, ut::kDataSrc, "数据源1", {208, 144, 132, 22}, kHiddenTabStop,
                  WriteDataSrcBlock(source)),
          Control(0x16010002, ut::kGrid, "表格1", {1, 2, 671, 374}, kVisibleTabStop,
                  WriteGridBlock(grid),
                  {On(kGridCurrentCellChanged, R::kShowGridMenu),
                   On(kGridCellEditing, R::kCheckGridEdit)}),
      });
}

WindowRecord LoginWindow() {
  return Window(
      kLoginWindowId, kLoginWordB,
      {
          WindowUnit(0x06010008, {50, 50, 175, 117}, WindowBlockWithCaption("登陆到备忘录"),
                     {On(event::kCreated, R::kLoginWindowCreated)}),
          Control(0x1601014C, ut::kTransLabel, "透明标签1", {8, 52, 152, 32}, kVisibleOnly,
                  TransLabelWithText("欢迎使用墨川软件")),
          Control(0x1601000C, ut::kButton, "按钮登陆", {118, 4, 48, 44}, kVisibleTabStop,
                  ButtonWithCaption("登陆"), {On(event::kClicked, R::kLogin)}),
          Control(0x1601000B, ut::kEditBox, "编辑框2", {2, 28, 116, 19}, kVisibleTabStop,
                  EditBox(MaskedDefaultEditBox()), {On(event::kKeyDown, R::kLoginPasswordKey)}),
          Control(0x1601000A, ut::kEditBox, "编辑框1", {2, 6, 116, 19}, kVisibleTabStop,
                  EditBox(WithLimit(EditBoxBlock(), kAccountBytes)),
                  {On(event::kKeyDown, R::kLoginAccountKey)}),
      });
}

WindowRecord FollowUpWindow() {
  EditBoxBlock log = ProgramEditBox();
  log.multi_line = 1;
  log.scroll_bars = 2;  // vertical
  log.input_mode = 1;   // read-only
  log.content = ToGbk("跟进信息...");

  EGridBlock entries;
  const uint32_t words[28] = {0xC0C0C0, 0xFFFFFF, 0, 0,        3, 1, 1, 24,         325, 1,
                              2,        0,        0, 0,        1, 1, 1, 0xFF000000, 0,   0,
                              3,        1,        1, 0xFF9933, 1, 0, 0, 1};
  std::copy(std::begin(words), std::end(words), entries.words);

  return Window(
      kFollowUpWindowId, kFollowUpWordB,
      {
          WindowUnit(0x06010049, {50, 50, 678, 367}, WindowBlockWithCaption("客户跟进"),
                     {On(event::kCreated, R::kFollowUpWindowCreated)}),
          Control(0x1601004A, ut::kEditBox, "编辑框2", {1, 256, 663, 54}, kVisibleOnly,
                  EditBox(log)),
          Control(0x1601004B, ut::kEditBox, "编辑框1", {1, 313, 592, 21}, kVisibleTabStop,
                  EditBox(ProgramEditBox()), {On(event::kKeyDown, R::kFollowUpEntryKey)}),
          Control(0x1601004C, ut::kEGrid, "高级表格1", {1, 4, 663, 244}, kVisibleTabStop,
                  WriteEGridBlock(entries), {On(kEGridLeftButtonUp, R::kShowFollowUpEntry)}),
          Control(0x1601004D, ut::kButton, "按钮添加跟进", {598, 312, 67, 22}, kVisibleTabStop,
                  ButtonWithCaption("跟进"), {On(event::kClicked, R::kAppendFollowUp)}),
      });
}

WindowRecord PasswordWindow() {
  return Window(
      kPasswordWindowId, kPasswordWordB,
      {
          WindowUnit(0x060100F0, {50, 50, 202, 221}, WindowBlockWithCaption("密码修改"),
                     {On(event::kCreated, R::kPasswordWindowCreated)}),
          Control(0x160100FE, ut::kTransLabel, "透明标签6", {80, 11, 64, 24}, kVisibleOnly,
                  TransLabelWithText("****")),
          Control(0x160100FB, ut::kTransLabel, "透明标签5", {20, 126, 64, 24}, kVisibleOnly,
                  TransLabelWithText("密码确认：")),
          Control(0x160100FA, ut::kTransLabel, "透明标签4", {20, 95, 64, 24}, kVisibleOnly,
                  TransLabelWithText("新密码：")),
          Control(0x160100F9, ut::kTransLabel, "透明标签3", {20, 67, 64, 24}, kVisibleOnly,
                  TransLabelWithText("新帐号：")),
          Control(0x160100F8, ut::kTransLabel, "透明标签2", {20, 39, 64, 24}, kVisibleOnly,
                  TransLabelWithText("当前密码：")),
          Control(0x160100F7, ut::kTransLabel, "透明标签1", {20, 11, 64, 24}, kVisibleOnly,
                  TransLabelWithText("当前帐号：")),
          Control(0x160100F6, ut::kButton, "按钮密码修改确认", {141, 160, 40, 24}, kVisibleTabStop,
                  ButtonWithCaption("确认"), {On(event::kClicked, R::kChangePassword)}),
          Control(0x160100F5, ut::kEditBox, "编辑框4", {77, 130, 104, 20}, kVisibleTabStop,
                  EditBox(PasswordEditBox())),
          Control(0x160100F4, ut::kEditBox, "编辑框3", {77, 99, 104, 20}, kVisibleTabStop,
                  EditBox(PasswordEditBox())),
          Control(0x160100F3, ut::kEditBox, "编辑框2", {77, 71, 104, 20}, kVisibleTabStop,
                  EditBox(WithLimit(ProgramEditBox(), kAccountBytes))),
          Control(0x160100F2, ut::kEditBox, "编辑框1", {77, 43, 104, 20}, kVisibleTabStop,
                  EditBox(PasswordEditBox())),
      });
}

// The product information: lines separated by an empty line (CR LF pairs), a final line break.
// The system line names the system the program is built for; the author, contact and web lines
// name this project (the address domains are reserved ones: the project has no public site).
std::string IntroductionText() {
  const char* const lines[] = {
      "软件名称:备忘录",
      "版本号码:2.11",
      "系统:Linux",
      "软件作者:memo 开发组",
      "联系邮箱:memo@memo.invalid",
      "官网地址:https://memo.invalid",
  };
  std::string text;
  for (const char* line : lines) {
    if (!text.empty()) text += "\r\n\r\n";
    text += ToGbk(line);
  }
  return text + "\r\n";
}

WindowRecord IntroWindow() {
  LabelBlock label;
  label.text = IntroductionText();
  return Window(
      kIntroWindowId, kIntroWordB,
      {
          WindowUnit(0x06010156, {50, 50, 335, 183}, WindowBlockWithCaption("软件介绍")),
          Control(0x16010159, ut::kButton, "按钮1", {272, 112, 48, 24}, kVisibleTabStop,
                  ButtonWithCaption("关闭"), {On(event::kClicked, R::kCloseIntroduction)}),
          Control(0x16010158, ut::kLabel, "标签1", {8, 8, 264, 135}, kVisibleOnly,
                  WriteLabelBlock(label)),
      });
}

}  // namespace

DefinitionStore BuildProgramWindows() {
  DefinitionStore store;
  store.windows = {MainWindow(), LoginWindow(), FollowUpWindow(), PasswordWindow(), IntroWindow()};
  return store;
}

}  // namespace memo::ui::windows
