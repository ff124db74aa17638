// The numbering of the application's routines: the routine references stored in the window
// definitions are these indices, and the application's routine table (app/) lists its routines
// in this order. Add new routines at the end only: stored definitions keep their numbers.
#pragma once

#include <cstdint>

namespace memo::ui {

enum class ProgramRoutine : int32_t {
  // login window
  kLoginWindowCreated = 0,  // window event 0: CheckAccountsFile, CheckMemoFiles
  kLogin,                   // 按钮登陆 event 0
  kLoginAccountKey,         // 编辑框1 event -9: Enter moves the focus to 编辑框2
  kLoginPasswordKey,        // 编辑框2 event -9: Enter signs in
  // main window
  kRefreshMainWindow,   // window event 0
  kAddMemo,             // 按钮记事添加 event 0
  kMemoTextKey,         // 编辑框1 event -9: Enter records the memo
  kDeleteMemo,          // 按钮记事删除 event 0
  kQueryByCategory,     // 按钮记事查询 event 0
  kShowGridMenu,        // 表格1 event 1
  kOpenFollowUp,        // menu item 跟进
  kOpenPasswordWindow,  // menu item 修改密码
  kOpenIntroduction,    // menu item 软件介绍
  // follow-up window
  kFollowUpWindowCreated,  // window event 0
  kShowFollowUpEntry,      // 高级表格1 event 5
  kAppendFollowUp,         // 按钮添加跟进 event 0
  kFollowUpEntryKey,       // 编辑框1 event -9: Enter appends
  // password change window
  kPasswordWindowCreated,  // window event 0
  kChangePassword,         // 按钮密码修改确认 event 0
  // introduction window
  kCloseIntroduction,  // 按钮1 event 0
  // main window, added later
  kCheckGridEdit,  // 表格1 event 2: a user's edit in the query view reaches a.mcn
  kCount,
};

constexpr int32_t RoutineRef(ProgramRoutine routine) { return static_cast<int32_t>(routine); }
constexpr int32_t kProgramRoutineCount = static_cast<int32_t>(ProgramRoutine::kCount);

// The program's window ids.
constexpr uint32_t kMainWindowId = 0x52010001;
constexpr uint32_t kLoginWindowId = 0x52010009;
constexpr uint32_t kFollowUpWindowId = 0x52010048;
constexpr uint32_t kPasswordWindowId = 0x520100F1;
constexpr uint32_t kIntroWindowId = 0x52010157;

}  // namespace memo::ui
