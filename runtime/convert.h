// Value operations: type sizes, the data of a cell, value to text, value to integer, condition
// evaluation, and the date-time calendar.
#pragma once

#include <cstddef>
#include <cstdint>

#include "runtime/value.h"

namespace memo {

// Byte count of a basic type (Byte 1 ... Double 8, Bool 4, DateTime 8, Text and ByteSet 4 as in
// the cell layout, SubroutinePtr 4, SubStatement 8); 0 for any other tag.
size_t TypeSize(uint32_t tag);

// True only for Byte, Short, Int, Long, Float, Double.
bool IsNumeric(uint32_t tag);

// Where a value's bytes are and how many there are.
struct DataView {
  const void* data = nullptr;
  size_t size = 0;
};

// Text: the text block and its length plus 1 (a null text gives the constant empty text, 1).
// ByteSet: the bytes after the header and n. Numeric, Bool, DateTime, SubroutinePtr,
// SubStatement: the cell's own data words and the type size (the view points into *value).
// Any other tag: none.
DataView DataOf(const TypedValue& value);

// The text of a value (new block owned by the caller, or null for the empty text):
// Byte "%u"; Short, Int "%d"; Long signed 64-bit decimal; Float rounded to 6 significant digits
// (halves away from zero) then "%.6g"; Double "%.13g"; Bool "真"/"假"; DateTime by
// DateTimeToText; Text a copy; any other tag empty.
[[nodiscard]] char* ValueToText(const TypedValue& value);

// A numeric value as a signed 32-bit integer: byte zero-extended, short sign-extended, int as is,
// long its low 32 bits, float and double truncated toward zero (low 32 bits of the 64-bit
// truncation). Any other tag: fatal error "欲转换数据类型不是数值" (code 0).
int32_t ToInteger(const TypedValue& value);

// Bool: its value. SubStatement: runs the routine (see runtime/routine.h) and takes its Bool
// result. Anything else (after releasing a text or byte-set result): fatal error
// "用作进行条件判断的子语句参数只能接受逻辑型数据" (code 0).
bool EvaluateCondition(const TypedValue& value);

// A DateTime day number counts days from 1899-12-30 00:00; the fraction is the time of day.
// Before day 0 the integer part is the date and the magnitude of the fraction the time
// (-1.25 is 1899-12-29 06:00).
struct CalendarTime {
  int year = 1899;
  int month = 12;
  int day = 30;
  int hour = 0;
  int minute = 0;
  int second = 0;
};

// Splits a day number, rounded to the nearest second. Values outside years 100..9999 (and NaN)
// are clamped into that range.
CalendarTime SplitDateTime(double day_number);

// The day number of a calendar time. REQUIRES: fields in their calendar ranges.
double MakeDateTime(const CalendarTime& time);

// "%d年%d月%d日", then "%d时%d分%d秒" when the second is not 0, else "%d时%d分" when the minute
// is not 0, else "%d时" when the hour is not 0. A new GBK text block.
[[nodiscard]] char* DateTimeToText(double day_number);

}  // namespace memo
