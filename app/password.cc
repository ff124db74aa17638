// The password change window: a new account name and password for the one account of "c.mcn",
// after the current password is confirmed.
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
    if (!SameText(password.get(), confirmation.get())) return;
  }
  // An empty account name would lock every later sign-in out: the login refuses an empty box.
  {
    TextOwner account(ReadText(pw::kWindow, pw::kNewAccountBox));
    if (SameText(account.get(), kEmptyText)) {
      Remind(Gbk("帐号不能为空"));
      return;
    }
  }
  // A missing or unreadable accounts file is refused like an unknown account.
  if (!OpenDatabase(Gbk("c.mcn"))) {
    Remind(Gbk("没有这个帐号！"));
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
      CallCommand(db::ModifyRecordValues, values);
      Remind(Gbk("修改完成"));
      ShowStoredAccount();
    }
  }
  CloseDatabase();
}

}  // namespace memo::app
