// The password change window: a new account name and password for the one account of "c.mcn",
// after the current password is confirmed.
#include <cstring>

#include "app/app_support.h"
#include "app/program_state.h"
#include "app/routines.h"
#include "app/window_units.h"
#include "db/db_commands.h"
#include "runtime/dispatch.h"
#include "runtime/literal.h"

namespace memo::app {

namespace {

namespace pw = password;

// The stored lengths of the accounts file's fields.
constexpr size_t kAccountBytes = 20;
constexpr size_t kPasswordBytes = 40;

size_t TextBytes(const char* text) { return text ? std::strlen(text) : 0; }

// The stored account name put back into the window and the program-wide state.
void ShowStoredAccount() {
  TextOwner label(ReadTextField(Gbk("帐号")));
  WriteText(pw::kWindow, pw::kAccountLabel, label.get());
  TextOwner box(ReadTextField(Gbk("帐号")));
  WriteText(pw::kWindow, pw::kNewAccountBox, box.get());
  SetCurrentAccount(ReadTextField(Gbk("帐号")));
}

}  // namespace

void PasswordWindowCreated(ui::EventCall&) {
  WriteText(pw::kWindow, pw::kAccountLabel, CurrentAccount());
  WriteText(pw::kWindow, pw::kNewAccountBox, CurrentAccount());
}

void ChangePassword(ui::EventCall&) {
  {
    TextOwner password(ReadText(pw::kWindow, pw::kNewPasswordBox));
    TextOwner confirmation(ReadText(pw::kWindow, pw::kConfirmBox));
    if (!SameText(password.get(), confirmation.get())) {
      Remind(Gbk("两次输入的新密码不一致"));
      return;
    }
  }
  // An empty account name would lock every later sign-in out: the login refuses an empty box.
  {
    TextOwner account(ReadText(pw::kWindow, pw::kNewAccountBox));
    if (SameText(account.get(), kEmptyText)) {
      Remind(Gbk("帐号不能为空"));
      return;
    }
  }
  // What the boxes hold is exactly what is stored and later compared: a longer name or password
  // would be cut by the engine, and the user, signing in with what they typed, locked out.
  {
    TextOwner account(ReadText(pw::kWindow, pw::kNewAccountBox));
    TextOwner password(ReadText(pw::kWindow, pw::kNewPasswordBox));
    if (TextBytes(account.get()) > kAccountBytes || TextBytes(password.get()) > kPasswordBytes) {
      Remind(Gbk("帐号最长20字节，密码最长40字节"));
      return;
    }
  }
  // An accounts file that cannot be opened for writing (missing, write-protected, held by another
  // program) is said so; every box keeps what was typed.
  if (!OpenDatabase(Gbk("c.mcn"))) {
    ReportSaveFailure(Gbk("c.mcn"), LastEngineCode());
    return;
  }
  bool account_matches;
  {
    TextOwner stored(ReadTextField(Gbk("帐号")));
    TextOwner shown(ReadText(pw::kWindow, pw::kAccountLabel));
    account_matches = SameText(stored.get(), shown.get());
  }
  if (!account_matches) {
    Remind(Gbk("没有这个帐号！"));
  } else {
    TextOwner stored(ReadTextField(Gbk("密码")));
    TextOwner typed(ReadText(pw::kWindow, pw::kCurrentPasswordBox));
    if (!SameText(stored.get(), typed.get())) {
      Remind(Gbk("密码错误！"));
    } else {
      TextOwner account(ReadText(pw::kWindow, pw::kNewAccountBox));
      TextOwner password(ReadText(pw::kWindow, pw::kNewPasswordBox));
      ArgList values{TextValue(NonNullText(account.get())), TextValue(NonNullText(password.get()))};
      if (CallCommand(db::ModifyRecordValues, values).low == 0) {
        ReportSaveFailure(Gbk("c.mcn"), LastEngineCode());
      } else {
        Remind(Gbk("修改完成"));
        ShowStoredAccount();
      }
    }
  }
  CloseDatabase();
}

}  // namespace memo::app
