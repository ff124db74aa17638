#include "tests/script/test_program.h"

#include <cstdint>

#include "app/windows/program_routines.h"
#include "platform/backend.h"
#include "platform/codec.h"
#include "platform/message_box.h"
#include "runtime/dispatch.h"
#include "runtime/fatal.h"
#include "runtime/heap.h"
#include "runtime/literal.h"
#include "runtime/program.h"
#include "ui/advanced_grid/egrid.h"
#include "ui/advanced_grid/egrid_unit.h"
#include "ui/format/segment.h"
#include "ui/format/type_blocks.h"
#include "ui/window/events.h"
#include "ui/window/property_numbers.h"
#include "ui/window/window_commands.h"
#include "ui/window/window_runtime.h"

namespace memo::script::testing {

namespace {

using ui::property::kEditContent;

constexpr uint32_t kLoginUnit = 0x06010008;
constexpr uint32_t kLoginEdit = 0x1601000A;
constexpr uint32_t kLoginButton = 0x1601000C;
constexpr uint32_t kMenuFile = 0x26010101;
constexpr uint32_t kMenuDialog = 0x26010102;
constexpr uint32_t kMenuFatal = 0x26010103;
constexpr uint32_t kMenuAbout = 0x26010104;
constexpr uint32_t kMenuPopup = 0x26010105;
constexpr uint32_t kDialogUnit = 0x060100F0;
constexpr uint32_t kDialogButton = 0x160100F2;
constexpr uint32_t kDialogGrid = 0x160100F3;

bool refuse_login_close = false;

enum Routine : int32_t {
  kLoginCreated,
  kLoginCloseRequest,
  kLoginDestroyed,
  kShowContent,
  kOpenDialog,
  kFail,
  kAbout,
  kCloseDialog,
  kDialogDestroyed,
  kPopup,
  kDialogCreated,
  kRoutineCount,
};

void Note(const std::string& what) { Journal().push_back(what); }

void LoginCreated(ui::EventCall&) { Note("login created"); }

void LoginCloseRequest(ui::EventCall& call) {
  Note("login close requested");
  if (refuse_login_close) {
    call.has_result = true;
    call.result.tag = TypeTag::kBool;
    call.result.low = 0;
  }
}

void LoginDestroyed(ui::EventCall&) { Note("login destroyed"); }

void ShowContent(ui::EventCall&) {
  TypedValue content = ui::ReadProperty(ui::kLoginWindowId, kLoginEdit, kEditContent, -1);
  const char* block =
      content.tag == TypeTag::kText ? static_cast<const char*>(content.Pointer()) : nullptr;
  std::string text = block ? block : "";
  ReleaseValue(&content);
  Note("show " + GbkToUtf8(text));
  platform::CurrentBackend()->ShowMessageBox(text, Gbk("温馨提示"), platform::kMbOk);
}

void OpenDialog(ui::EventCall&) {
  Note("opening dialog");
  bool loaded = ui::LoadWindow(ui::kPasswordWindowId, nullptr, true);
  Note(loaded ? "dialog returned" : "dialog failed");
}

void Fail(ui::EventCall&) {
  Note("failing");
  FatalError(Gbk("测试出错"));
}

void About(ui::EventCall&) {
  int answer = platform::CurrentBackend()->ShowMessageBox(Gbk("关于本程序"), Gbk("关于"),
                                                          platform::kMbOkCancel);
  Note(std::string("about answered ") + platform::ButtonName(answer));
}

void CloseDialog(ui::EventCall&) {
  Note("closing dialog");
  ui::CloseWindow(ui::kPasswordWindowId, 0, false);
}

void DialogDestroyed(ui::EventCall&) { Note("dialog destroyed"); }

// Fills two cells of the dialog's grid.
void DialogCreated(ui::EventCall&) {
  ui::EGrid* grid = ui::EGridOf(ui::FindUnitObject(ui::kPasswordWindowId, kDialogGrid));
  if (!grid) return;
  grid->model().SetCellText(0, 1, Utf8ToGbk("时间"));
  grid->model().SetCellText(1, 1, Utf8ToGbk("甲"));
}

// Pops the items under 文件 up at x 200, the pointer's y moved 3 down.
void Popup(ui::EventCall&) {
  ArgList args{ui::UnitReference(ui::kLoginWindowId, kLoginUnit, ui::unit_type::kWindow),
               ui::UnitReference(ui::kLoginWindowId, kMenuFile, ui::unit_type::kMenu),
               IntValue(200)};
  CallCommand(ui::PopupMenuCommand, args);
  Note("popup done");
}

const ui::EventRoutine kRoutines[kRoutineCount] = {
    LoginCreated, LoginCloseRequest, LoginDestroyed,  ShowContent, OpenDialog,    Fail,
    About,        CloseDialog,       DialogDestroyed, Popup,       DialogCreated,
};

ui::UnitRecord WindowUnit(uint32_t id, const char* caption, int width, int height,
                          std::vector<ui::EventBinding> events) {
  ui::WindowBlock block;
  block.caption = Utf8ToGbk(caption);
  block.start_position = 0;
  ui::UnitRecord unit;
  unit.id = id;
  unit.type = ui::unit_type::kWindow;
  unit.left = 100;
  unit.top = 100;
  unit.width = width;
  unit.height = height;
  unit.flags = ui::kFlagVisible;
  unit.events = std::move(events);
  unit.type_block = ui::WriteWindowBlock(block);
  return unit;
}

ui::UnitRecord Control(uint32_t id, uint32_t type, const char* name, int left, int top,
                       std::string block, std::vector<ui::EventBinding> events = {}) {
  ui::UnitRecord unit;
  unit.id = id;
  unit.type = type;
  unit.name = Utf8ToGbk(name);
  unit.left = left;
  unit.top = top;
  unit.width = 80;
  unit.height = 20;
  unit.flags = ui::kFlagVisible | ui::kFlagTabStop;
  unit.events = std::move(events);
  unit.type_block = std::move(block);
  return unit;
}

ui::UnitRecord MenuItem(uint32_t id, const char* caption, uint32_t level, int32_t routine) {
  ui::UnitRecord unit;
  unit.id = id;
  unit.type = ui::unit_type::kMenu;
  unit.caption = Utf8ToGbk(caption);
  unit.level = level;
  unit.routine = routine;
  return unit;
}

std::string Button(const char* caption) {
  ui::ButtonBlock block;
  block.caption = Utf8ToGbk(caption);
  return ui::WriteButtonBlock(block);
}

std::string BuildSegment() {
  ui::DefinitionStore store;
  ui::WindowRecord login;
  login.id = ui::kLoginWindowId;
  login.units.push_back(
      WindowUnit(kLoginUnit, "测试窗口", 300, 200,
                 {{0, kLoginCreated}, {1, kLoginCloseRequest}, {2, kLoginDestroyed}}));
  login.units.push_back(Control(kLoginEdit, ui::unit_type::kEditBox, "编辑框1", 10, 10,
                                ui::WriteEditBoxBlock(ui::EditBoxBlock{})));
  login.units.push_back(Control(kLoginButton, ui::unit_type::kButton, "按钮1", 10, 40,
                                Button("显示"), {{0, kShowContent}}));
  login.units.push_back(MenuItem(kMenuFile, "文件", 0, ui::kNoRoutine));
  login.units.push_back(MenuItem(kMenuDialog, "对话框", 1, kOpenDialog));
  login.units.push_back(MenuItem(kMenuFatal, "报错", 1, kFail));
  login.units.push_back(MenuItem(kMenuAbout, "关于", 0, kAbout));
  login.units.push_back(MenuItem(kMenuPopup, "弹出", 0, kPopup));
  store.windows.push_back(std::move(login));

  ui::WindowRecord dialog;
  dialog.id = ui::kPasswordWindowId;
  dialog.units.push_back(
      WindowUnit(kDialogUnit, "对话框", 400, 300, {{0, kDialogCreated}, {2, kDialogDestroyed}}));
  dialog.units.push_back(Control(kDialogButton, ui::unit_type::kButton, "按钮1", 10, 10,
                                 Button("关闭"), {{0, kCloseDialog}}));
  ui::UnitRecord grid = Control(kDialogGrid, ui::unit_type::kEGrid, "高级表格1", 10, 40,
                                ui::WriteEGridBlock(ui::EGridBlock{}));
  grid.width = 360;
  grid.height = 200;
  dialog.units.push_back(std::move(grid));
  store.windows.push_back(std::move(dialog));
  return ui::WriteSegment(store);
}

void ExitRoutine() { Note("exit routine"); }

}  // namespace

std::vector<std::string>& Journal() {
  static std::vector<std::string> journal;
  return journal;
}

bool& RefuseLoginClose() { return refuse_login_close; }

void ResetTestProgram() {
  Journal().clear();
  refuse_login_close = false;
}

int TestProgramEntry() {
  static const std::string segment = BuildSegment();
  ui::SetRoutineTable(kRoutines, kRoutineCount);
  ui::InstallWindowRuntime(reinterpret_cast<const uint8_t*>(segment.data()), segment.size());
  return RunProgram(ui::kLoginWindowId, ExitRoutine);
}

}  // namespace memo::script::testing
