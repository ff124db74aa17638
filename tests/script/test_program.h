// A small program for memo-script's own tests, built on the real window runtime from a segment
// written here:
//   login 0x52010009 "测试窗口": 编辑框1 (edit box), 按钮1 "显示" (shows a box with the edit box's
//     content), the menu 文件 > 对话框 (opens the dialog modally), 文件 > 报错 (a run-time error),
//     关于 (a box with OK and Cancel whose answer is logged), 弹出 (pops 文件's items up at x 200
//     and 3 below the pointer); its close request is refused while
//     RefuseLoginClose() is set.
//   password 0x520100F1 "对话框": 按钮1 "关闭" closes it; 高级表格1, an advanced grid of 5 × 5
//     cells (one fixed row and column) with "时间" at 0, 1 and "甲" at 1, 1.
// Every routine writes what it did to Journal(), so tests can see order and nesting.
#pragma once

#include <string>
#include <vector>

namespace memo::script::testing {

// The entry routine: installs the window runtime with the test segment and runs the program.
int TestProgramEntry();

std::vector<std::string>& Journal();
bool& RefuseLoginClose();
// Clears the journal and the flags.
void ResetTestProgram();

}  // namespace memo::script::testing
