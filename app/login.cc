// The login window: the data-file bootstrap when it is created, and the sign-in against the one
// account of "c.mcn".
#include <string>
#include <string_view>
#include "app/app_support.h"
#include "app/daily_backup.h"
#include "app/program_state.h"
#include "app/routines.h"
#include "app/window_units.h"

#include "db/engine_code.h"
#include "db/images.h"
#include "platform/file.h"
#include "platform/input.h"
#include "runtime/convert.h"
#include "runtime/dispatch.h"
#include "runtime/file_commands.h"
#include "runtime/literal.h"
#include "runtime/text.h"
#include "ui/window/window_commands.h"

namespace memo::app {

namespace {

// Data files are created at first start only where nothing at all has their name: a file that
// exists — busy, unreadable, read-only, damaged, a directory, a device, a dangling link — is never
// written over, whatever else goes wrong. Nothing is opened to find out.
bool DataFileExists(const char* name) { return platform::NameTaken(name); }

// The accounts file holds the password, and the memo files the user's memos: readable by the
// user alone from the start.
constexpr unsigned kDataFileMode = 0600;

// Writes a carried image under a passing name, ready to be given its own (see NewFile).
bool PrepareImage(platform::NewFile* file, const char* name, std::string_view image) {
  return file->Write(name, image, kDataFileMode) == platform::FileError::kNone;
}

// Says once per start that the data directory takes no new file.
void TellCannotCreate(bool* told) {
  if (*told) return;
  *told = true;
  std::string directory = platform::FullPath(Gbk("c.mcn"));
  directory.resize(directory.find_last_of('/'));
  if (directory.empty()) directory = "/";
  TextOwner text(JoinTexts({Gbk("无法在数据目录中创建文件："), directory.c_str()}));
  Remind(text.get());
}

void CheckAccountsFile(bool* told) {
  if (DataFileExists(Gbk("c.mcn"))) {
    WriteText(login::kWindow, login::kWelcomeLabel, Gbk("欢迎使用墨川软件"));
    return;
  }
  if (Remind(Gbk("ID信息不存在是否初始化？"), 1) != 0) return;
  platform::NewFile file;
  if (!PrepareImage(&file, Gbk("c.mcn"), db::AccountsImageBytes())) {
    TellCannotCreate(told);
    return;
  }
  // Taken meanwhile by another program: that file is left alone and is the accounts file now.
  if (file.Publish() != platform::FileError::kNone) return;
  WriteText(login::kWindow, login::kWelcomeLabel,
            Gbk("当前管理账号为初始状态！建议立即修改登陆信息"));
  WriteText(login::kWindow, login::kAccountBox, Gbk("test"));
  WriteText(login::kWindow, login::kPasswordBox, Gbk("kqzv"));
}

// The memo table and its memo file are made as a pair, and only when neither exists: a memo file
// without its table holds the user's memos, and an empty table beside it would orphan them. The
// memo file gets its name first and the table last, so a start cut between the two leaves a memo
// file alone, which the next start leaves alone too (signing in names the missing table).
void CheckMemoFiles(bool* told) {
  if (DataFileExists(Gbk("a.mcn")) || DataFileExists(Gbk("a.edt"))) return;
  platform::NewFile table;
  platform::NewFile memo_file;
  if (!PrepareImage(&table, Gbk("a.mcn"), db::MemoTableImageBytes()) ||
      !PrepareImage(&memo_file, Gbk("a.edt"), db::MemoFileImageBytes())) {
    TellCannotCreate(told);
    return;
  }
  if (memo_file.Publish() != platform::FileError::kNone) return;
  // Fails only when another program made a table meanwhile; that one is kept.
  (void)table.Publish();
}

bool IsEnter(const ui::EventCall& call) {
  return call.arg_count >= 1 && static_cast<int32_t>(call.args[0].low) == platform::vk::kReturn;
}

}  // namespace

void LoginWindowCreated(ui::EventCall&) {
  bool told = false;
  CheckAccountsFile(&told);
  CheckMemoFiles(&told);
}

void Login(ui::EventCall&) {
  TextOwner account(ReadText(login::kWindow, login::kAccountBox));
  if (SameText(account.get(), kEmptyText)) {
    Focus(login::kWindow, login::kAccountBox, ui::unit_type::kEditBox);
    return;
  }
  // Signing in only reads the accounts file, so it opens it read-only: a write-protected file
  // still lets its user in. A missing file (the first-start question declined) has no account;
  // one that exists but cannot be read is named with the reason, instead of the field read on no
  // database ending the program.
  if (!OpenDatabaseForReading(Gbk("c.mcn"))) {
    int code = LastEngineCode();
    if (!DataFileExists(Gbk("c.mcn"))) {
      Remind(Gbk("没有这个帐号！"));
    } else {
      TextOwner text(JoinTexts({Gbk("帐号文件 c.mcn 无法读取："), db::EngineMessage(code)}));
      Remind(text.get());
    }
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
  BackUpToday();
  OpenWindow(main_window::kWindow, ui::WindowMode::kModeless);
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
