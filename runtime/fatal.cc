// The run-time error report. Every fatal condition of every layer ends here: the report is shown
// in an ownerless modal box (or, with no backend installed, written to stderr as UTF-8), then the
// end-program service ends the process with exit code -1.
#include "runtime/fatal.h"
#include "platform/message_box.h"

#include <cstdio>
#include <string>

#include "platform/backend.h"
#include "platform/codec.h"
#include "runtime/literal.h"
#include "runtime/program.h"

namespace memo {

namespace {

// The box of the report: stop icon, OK only, task-modal since it has no owner.
constexpr uint32_t kReportBoxStyle = platform::kMbIconStop | platform::kMbTaskModal;

}  // namespace

const char* RuntimeErrorMessage(int code) {
  switch (code) {
    case 1: return Gbk("数组成员引用下标超出定义范围");
    case 2: return Gbk("未得到所需要的数值型数据");
    case 3: return Gbk("引用数组成员时维数不为1且不等于该数组目前所具有的维数");
    case 4: return Gbk("数组成员引用下标必须大于等于1");
    case 5: return Gbk("数据或数组类型不匹配");
    case 6: return Gbk("调用DLL命令后发现堆栈错误");
    case 7: return Gbk("子语句参数未返回数据或者返回了非系统基本类型或数组型数据");
    case 8: return Gbk("被比较数据只能使用等于或不等于命令比较");
    case 9: return Gbk("“多项选择”命令的索引值参数小于零或超出了所提供参数表范围");
    case 10: return Gbk("“重定义数组”命令的数组维定义参数值必须大于零或单维时大于等于零");
    case 11: return Gbk("所提供参数的数据类型不符合要求");
    default: return kEmptyText;
  }
}

std::string BuildErrorReport(std::string_view message_gbk, int code) {
  std::string report = Gbk("运行时出错!");
  report += "\r\n\r\n";
  if (code != 0) {
    report += Gbk("错误代码：");
    report += std::to_string(code);
    report += "\r\n\r\n";
  }
  if (!message_gbk.empty()) {
    report += Gbk("错误信息：");
    report += message_gbk;
    report += "\r\n";
  }
  return report;
}

void FatalError(std::string_view message_gbk, int code) {
  // Boxes belong to the program's thread: a fatal condition elsewhere is reported there, and this
  // thread waits for the end.
  platform::Backend* backend = platform::CurrentBackend();
  if (backend && !OnProgramThread()) {
    backend->PostTask([message = std::string(message_gbk), code] { FatalError(message, code); });
    WaitForProgramEnd();
  }
  // A second fatal condition while the first is being reported (in the exit routine, say) ends
  // the program without another box.
  if (!BeginFatalReport()) EndProgram(-1);
  // The message may live in a block that the end sequence releases; keep our own copy.
  const std::string report = BuildErrorReport(message_gbk, code);
  if (backend) {
    backend->ShowMessageBox(report, Gbk("错误"), kReportBoxStyle);
  } else {
    const std::string utf8 = GbkToUtf8(report);
    std::fwrite(utf8.data(), 1, utf8.size(), stderr);
    std::fflush(stderr);
  }
  EndProgram(-1);
}

void ReportRuntimeError(int code) { FatalError(RuntimeErrorMessage(code), code); }

}  // namespace memo
