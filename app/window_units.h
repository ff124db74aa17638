// The ids of the program's windows and of the units the application names, per window, as the
// window definitions store them. The application names windows and units only by these.
#pragma once

#include <cstdint>

#include "app/windows/program_routines.h"
#include "ui/format/segment.h"

namespace memo::app {

namespace login {
constexpr uint32_t kWindow = ui::kLoginWindowId;
constexpr uint32_t kWindowUnit = 0x06010008;
constexpr uint32_t kWelcomeLabel = 0x1601014C;  // 透明标签1
constexpr uint32_t kLoginButton = 0x1601000C;   // 按钮登陆
constexpr uint32_t kPasswordBox = 0x1601000B;   // 编辑框2
constexpr uint32_t kAccountBox = 0x1601000A;    // 编辑框1
}  // namespace login

namespace main_window {
constexpr uint32_t kWindow = ui::kMainWindowId;
constexpr uint32_t kWindowUnit = 0x06010000;
constexpr uint32_t kHtmlViewer = 0x1601016C;     // 超文本浏览框1
constexpr uint32_t kQueryCombo = 0x1601009D;     // 组合框2
constexpr uint32_t kQueryButton = 0x16010097;    // 按钮记事查询
constexpr uint32_t kDeleteButton = 0x1601003A;   // 按钮记事删除
constexpr uint32_t kCategoryCombo = 0x16010007;  // 组合框1
constexpr uint32_t kAddButton = 0x16010006;      // 按钮记事添加
constexpr uint32_t kMemoBox = 0x16010005;        // 编辑框1
constexpr uint32_t kProvider = 0x16010004;       // 数据库提供者1
constexpr uint32_t kDataSource = 0x16010003;     // 数据源1
constexpr uint32_t kGrid = 0x16010002;           // 表格1
constexpr uint32_t kGridMenu = 0x26010051;       // 表格右键功能 (hidden level-0 item)
constexpr uint32_t kFollowUpItem = 0x26010052;   // 跟进
}  // namespace main_window

namespace followup {
constexpr uint32_t kWindow = ui::kFollowUpWindowId;
constexpr uint32_t kWindowUnit = 0x06010049;
constexpr uint32_t kEntryView = 0x1601004A;     // 编辑框2
constexpr uint32_t kEntryBox = 0x1601004B;      // 编辑框1
constexpr uint32_t kGrid = 0x1601004C;          // 高级表格1
constexpr uint32_t kAppendButton = 0x1601004D;  // 按钮添加跟进
}  // namespace followup

namespace password {
constexpr uint32_t kWindow = ui::kPasswordWindowId;
constexpr uint32_t kWindowUnit = 0x060100F0;
constexpr uint32_t kAccountLabel = 0x160100FE;        // 透明标签6
constexpr uint32_t kConfirmButton = 0x160100F6;       // 按钮密码修改确认
constexpr uint32_t kConfirmBox = 0x160100F5;          // 编辑框4
constexpr uint32_t kNewPasswordBox = 0x160100F4;      // 编辑框3
constexpr uint32_t kNewAccountBox = 0x160100F3;       // 编辑框2
constexpr uint32_t kCurrentPasswordBox = 0x160100F2;  // 编辑框1
}  // namespace password

namespace intro {
constexpr uint32_t kWindow = ui::kIntroWindowId;
constexpr uint32_t kWindowUnit = 0x06010156;
constexpr uint32_t kCloseButton = 0x16010159;  // 按钮1
constexpr uint32_t kInfoLabel = 0x16010158;    // 标签1
}  // namespace intro

}  // namespace memo::app
