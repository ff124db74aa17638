// The run-time error report: the one way any layer ends the program on a fatal condition.
#pragma once

#include <string>
#include <string_view>

namespace memo {

// Message of run-time error code 1..11 (GBK); empty for any other code.
const char* RuntimeErrorMessage(int code);

// "运行时出错!" CR LF CR LF, then "错误代码：C" CR LF CR LF when code != 0, then "错误信息：M" CR LF
// when the message is not empty. GBK in, GBK out.
std::string BuildErrorReport(std::string_view message_gbk, int code);

// Shows the report in a modal, ownerless box titled "错误" with the stop icon and an OK button,
// then ends the program with exit code -1. Never returns.
[[noreturn]] void FatalError(std::string_view message_gbk, int code = 0);

// FatalError with the message of the code's table entry. REQUIRES: 1 <= code <= 11.
[[noreturn]] void ReportRuntimeError(int code);

}  // namespace memo
