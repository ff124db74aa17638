// The run-time error report: the one way any layer ends the program on a fatal condition.
#pragma once

#include <string>
#include <string_view>

namespace memo {

// Message of run-time error code 1..11 (GBK); empty for any other code.
const char* RuntimeErrorMessage(int code);

// "运行时出错!" CR LF CR LF, then "错误代码：C" CR LF CR LF when code != 0, then "错误信息：M" CR
// LF when the message is not empty. GBK in, GBK out.
std::string BuildErrorReport(std::string_view message_gbk, int code);

// Shows the report in a modal, ownerless box titled "错误" with the stop icon and an OK button,
// then ends the program with exit code -1. Never returns.
[[noreturn]] void FatalError(std::string_view message_gbk, int code = 0);

// The run-time error codes, numbered as the report shows them.
enum class RuntimeError : int {
  kIndexOutOfRange = 1,     // an array index past the array's end
  kNotNumeric = 2,          // a number was needed
  kDimensionMismatch = 3,   // index count neither 1 nor the array's dimension count
  kIndexBelowOne = 4,       // an array index below 1
  kTypeMismatch = 5,        // a value or array of another type than needed
  kStackError = 6,          // the stack was off after a library call
  kSubStatementResult = 7,  // a sub-statement gave no basic value
  kNotComparable = 8,       // only equal / not equal compare these values
  kChoiceOutOfRange = 9,    // a choice index below zero or past the choices
  kBadDimension = 10,       // an array dimension that must be above zero
  kWrongArgumentType = 11,  // an argument of a type the command does not take
};

// FatalError with the message of the code's table entry. REQUIRES: 1 <= code <= 11.
[[noreturn]] void ReportRuntimeError(int code);
[[noreturn]] inline void ReportRuntimeError(RuntimeError error) {
  ReportRuntimeError(static_cast<int>(error));
}

}  // namespace memo
