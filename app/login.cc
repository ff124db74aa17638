// The login window: the data-file bootstrap when it is created, and the sign-in against the one
// account of "c.mcn".
#include "app/app_support.h"
#include "app/program_state.h"
#include "app/routines.h"
#include "app/window_units.h"
#include "db/images.h"
#include "runtime/convert.h"
#include "runtime/dispatch.h"
#include "runtime/file_commands.h"
#include "runtime/literal.h"
#include "ui/window_commands.h"

namespace memo::app {

namespace {

constexpr int kKeyEnter = 13;

// Whether a data file exists: opened with the default mode (read and write, the file must
// exist) and sharing, and released again at once.
bool DataFileExists(const char* name) {
  ArgList args{TextValue(name)};
  int32_t number = static_cast<int32_t>(CallCommand(OpenDiskFile, args).low);
  if (number == 0) return false;
  CloseDiskFile(number);
  return true;
}

// Writes a carried image with one whole-file write; the result is not inspected.
void WriteImage(const char* name, const void* image) {
  ArgList args{TextValue(name), ByteSetValue(image)};
  CallCommand(WriteFileBytes, args);
}

void CheckAccountsFile() {
  if (DataFileExists(Gbk("c.mcn"))) {
    WriteText(login::kWindow, login::kWelcomeLabel, Gbk("欢迎使用墨川软件"));
    return;
  }
  if (Remind(Gbk("ID信息不存在是否初始化？"), 1) != 0) return;
  WriteImage(Gbk("c.mcn"), db::AccountsImage());
  WriteText(login::kWindow, login::kWelcomeLabel,
            Gbk("当前管理账号为初始状态！建议立即修改登陆信息"));
  WriteText(login::kWindow, login::kAccountBox, Gbk("test"));
  WriteText(login::kWindow, login::kPasswordBox, Gbk("kqzv"));
}

void CheckMemoFiles() {
  if (DataFileExists(Gbk("a.mcn"))) return;
  WriteImage(Gbk("a.mcn"), db::MemoTableImage());
  WriteImage(Gbk("a.edt"), db::MemoFileImage());
}

bool IsEnter(const ui::EventCall& call) {
  return call.arg_count >= 1 && static_cast<int32_t>(call.args[0].low) == kKeyEnter;
}

}  // namespace

void LoginWindowCreated(ui::EventCall&) {
  CheckAccountsFile();
  CheckMemoFiles();
}

void Login(ui::EventCall&) {
  TextOwner account(ReadText(login::kWindow, login::kAccountBox));
  if (SameText(account.get(), kEmptyText)) {
    Focus(login::kWindow, login::kAccountBox, ui::unit_type::kEditBox);
    return;
  }
  // A missing or unreadable accounts file is refused like an unknown account, instead of the
  // field read on no database ending the program.
  if (!OpenDatabase(Gbk("c.mcn"))) {
    Remind(Gbk("没有这个帐号！"));
    return;
  }
  {
    TextOwner stored(ReadTextField(Gbk("帐号")));
    if (!SameText(stored.get(), account.get())) {
      Remind(Gbk("没有这个帐号！"));
      CloseDatabase();
      return;
    }
  }
  {
    TextOwner stored(ReadTextField(Gbk("密码")));
    TextOwner password(ReadText(login::kWindow, login::kPasswordBox));
    if (!SameText(stored.get(), password.get())) {
      Remind(Gbk("密码错误！"));
      CloseDatabase();
      return;
    }
  }
  SetCurrentAccount(ReadTextField(Gbk("帐号")));
  CloseDatabase();
  ArgList load{IntValue(static_cast<int32_t>(main_window::kWindow)), Omitted(), BoolValue(false)};
  CallCommand(ui::LoadWindowCommand, load);
  ArgList close{Ref(login::kWindow, login::kWindowUnit, ui::unit_type::kWindow)};
  CallCommand(ui::CloseWindowCommand, close);
}

void LoginAccountKey(ui::EventCall& call) {
  if (IsEnter(call)) Focus(login::kWindow, login::kPasswordBox, ui::unit_type::kEditBox);
}

void LoginPasswordKey(ui::EventCall& call) {
  if (IsEnter(call)) Login(call);
}

}  // namespace memo::app
