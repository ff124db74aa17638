// Value operations and the date-time calendar.
#include "runtime/convert.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "runtime/fatal.h"
#include "runtime/heap.h"
#include "runtime/literal.h"
#include "runtime/routine.h"
#include "runtime/text.h"

namespace memo {
namespace {

// Day numbers of 0100-01-01 and 9999-12-31, the representable range.
constexpr int64_t kFirstDay = -657434;
constexpr int64_t kLastDay = 2958465;
// Days from 1970-01-01 back to day 0 (1899-12-30).
constexpr int64_t kEpochOffset = -25569;
constexpr int64_t kSecondsPerDay = 86400;

// Days since 1970-01-01 of a proleptic Gregorian date.
int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
  y -= m <= 2;
  int64_t era = (y >= 0 ? y : y - 399) / 400;
  int64_t yoe = y - era * 400;
  int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, CalendarTime* t) {
  z += 719468;
  int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  int64_t doe = z - era * 146097;
  int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  int64_t y = yoe + era * 400;
  int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  int64_t mp = (5 * doy + 2) / 153;
  t->day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  t->month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  t->year = static_cast<int>(y + (t->month <= 2));
}

// The value rounded to `digits` significant decimal digits, halves away from zero.
double RoundSignificant(double v, int digits) {
  if (v == 0 || !std::isfinite(v)) return v;
  int exponent = static_cast<int>(std::floor(std::log10(std::fabs(v))));
  // log10 may be off by one right at a power of ten.
  if (std::fabs(v) >= std::pow(10.0, exponent + 1)) ++exponent;
  if (std::fabs(v) < std::pow(10.0, exponent)) --exponent;
  int shift = digits - 1 - exponent;
  if (shift >= 0) {
    double scale = std::pow(10.0, shift);
    return std::round(v * scale) / scale;
  }
  double scale = std::pow(10.0, -shift);
  return std::round(v / scale) * scale;
}

char* FormatText(const char* format, ...) __attribute__((format(printf, 1, 2)));
char* FormatText(const char* format, ...) {
  char buffer[128];
  va_list args;
  va_start(args, format);
  int n = std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  if (n <= 0) return nullptr;
  if (static_cast<size_t>(n) >= sizeof buffer) n = sizeof buffer - 1;
  return CopyBytesAsText(buffer, n);
}

[[noreturn]] void ConditionNotLogical() {
  FatalError(Gbk("用作进行条件判断的子语句参数只能接受逻辑型数据"), 0);
}

}  // namespace

size_t TypeSize(uint32_t tag) {
  switch (tag) {
    case TypeTag::kByte: return 1;
    case TypeTag::kShort: return 2;
    case TypeTag::kInt:
    case TypeTag::kFloat:
    case TypeTag::kBool:
    case TypeTag::kText:
    case TypeTag::kByteSet:
    case TypeTag::kSubroutinePtr: return 4;
    case TypeTag::kLong:
    case TypeTag::kDouble:
    case TypeTag::kDateTime:
    case TypeTag::kSubStatement: return 8;
    default: return 0;
  }
}

bool IsNumeric(uint32_t tag) {
  switch (tag) {
    case TypeTag::kByte:
    case TypeTag::kShort:
    case TypeTag::kInt:
    case TypeTag::kLong:
    case TypeTag::kFloat:
    case TypeTag::kDouble: return true;
    default: return false;
  }
}

DataView DataOf(const TypedValue& value) {
  switch (value.tag) {
    case TypeTag::kText: {
      const char* text = NonNullText(static_cast<const char*>(value.Pointer()));
      return {text, std::strlen(text) + 1};
    }
    case TypeTag::kByteSet: {
      const void* block = value.Pointer();
      return {ByteSetData(block), static_cast<size_t>(ByteSetSize(block))};
    }
    default: {
      size_t size = TypeSize(value.tag);
      if (size == 0) return {};
      return {&value.low, size};
    }
  }
}

char* ValueToText(const TypedValue& value) {
  switch (value.tag) {
    case TypeTag::kByte:
      return FormatText("%u", static_cast<unsigned>(static_cast<uint8_t>(value.low)));
    case TypeTag::kShort:
      return FormatText("%d", static_cast<int>(static_cast<int16_t>(value.low)));
    case TypeTag::kInt: return FormatText("%d", static_cast<int32_t>(value.low));
    case TypeTag::kLong: return FormatText("%lld", static_cast<long long>(value.Int64()));
    case TypeTag::kFloat:
      return FormatText("%.6g", RoundSignificant(static_cast<double>(value.Float()), 6));
    case TypeTag::kDouble: return FormatText("%.13g", value.Double());
    case TypeTag::kBool: return CopyText(value.low != 0 ? Gbk("真") : Gbk("假"));
    case TypeTag::kDateTime: return DateTimeToText(value.Double());
    case TypeTag::kText: return CopyText(static_cast<const char*>(value.Pointer()));
    default: return nullptr;
  }
}

int32_t ToInteger(const TypedValue& value) {
  switch (value.tag) {
    case TypeTag::kByte: return static_cast<uint8_t>(value.low);
    case TypeTag::kShort: return static_cast<int16_t>(value.low);
    case TypeTag::kInt:
    case TypeTag::kLong: return static_cast<int32_t>(value.low);
    case TypeTag::kFloat:
    case TypeTag::kDouble: {
      double v = value.tag == TypeTag::kFloat ? value.Float() : value.Double();
      // Out-of-range and NaN values have no 64-bit truncation; pin them instead of invoking
      // undefined behaviour.
      if (std::isnan(v)) return 0;
      constexpr double kLimit = 9.2e18;
      if (v > kLimit) v = kLimit;
      if (v < -kLimit) v = -kLimit;
      auto truncated = static_cast<int64_t>(v);
      return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(truncated)));
    }
    default: FatalError(Gbk("欲转换数据类型不是数值"), 0);
  }
}

bool EvaluateCondition(const TypedValue& value) {
  if (value.tag == TypeTag::kBool) return value.low != 0;
  if (value.tag == TypeTag::kSubStatement) {
    SubStatementRoutine routine = FindSubStatement(value.low);
    if (routine != nullptr) {
      TypedValue result = routine(value.high);
      if (result.tag == TypeTag::kBool) return result.low != 0;
      ReleaseValue(&result);
    }
  }
  ConditionNotLogical();
}

CalendarTime SplitDateTime(double day_number) {
  int64_t day;
  int64_t seconds;
  if (std::isnan(day_number)) {
    day = 0;
    seconds = 0;
  } else if (day_number >= static_cast<double>(kLastDay + 1)) {
    day = kLastDay + 1;  // clamped below
    seconds = 0;
  } else if (day_number <= static_cast<double>(kFirstDay - 1)) {
    day = kFirstDay - 1;  // clamped below
    seconds = 0;
  } else {
    double whole = std::trunc(day_number);
    double fraction = std::fabs(day_number - whole);
    day = static_cast<int64_t>(whole);
    seconds = std::llround(fraction * kSecondsPerDay);
    if (seconds >= kSecondsPerDay) {
      // Rounded up to midnight: the next calendar day (for negative day numbers too, whose
      // integer part is the date).
      ++day;
      seconds -= kSecondsPerDay;
    }
  }
  if (day > kLastDay) {
    day = kLastDay;
    seconds = kSecondsPerDay - 1;
  } else if (day < kFirstDay) {
    day = kFirstDay;
    seconds = 0;
  }
  CalendarTime t;
  CivilFromDays(day + kEpochOffset, &t);
  t.hour = static_cast<int>(seconds / 3600);
  t.minute = static_cast<int>(seconds / 60 % 60);
  t.second = static_cast<int>(seconds % 60);
  return t;
}

double MakeDateTime(const CalendarTime& t) {
  int64_t day = DaysFromCivil(t.year, t.month, t.day) - kEpochOffset;
  double fraction = static_cast<double>(t.hour * 3600 + t.minute * 60 + t.second) / kSecondsPerDay;
  return day >= 0 ? static_cast<double>(day) + fraction : static_cast<double>(day) - fraction;
}

namespace {

// Appends the decimal digits of n (with a '-' when negative), as "%d" would print them.
char* AppendDecimal(char* out, int n) {
  uint32_t magnitude = n < 0 ? 0u - static_cast<uint32_t>(n) : static_cast<uint32_t>(n);
  if (n < 0) *out++ = '-';
  char digits[10];
  int count = 0;
  do {
    digits[count++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  while (count > 0) *out++ = digits[--count];
  return out;
}

// Appends a number and its two-byte GBK unit ("年", "月", ...).
char* AppendPart(char* out, int n, const char* unit) {
  out = AppendDecimal(out, n);
  *out++ = unit[0];
  *out++ = unit[1];
  return out;
}

}  // namespace

// Written digit by digit: grids show a date-time cell per row, and printf's formatting cost more
// than everything else a cell read does.
char* DateTimeToText(double day_number) {
  static const char* const kYear = Gbk("年");
  static const char* const kMonth = Gbk("月");
  static const char* const kDay = Gbk("日");
  static const char* const kHour = Gbk("时");
  static const char* const kMinute = Gbk("分");
  static const char* const kSecond = Gbk("秒");
  CalendarTime t = SplitDateTime(day_number);
  char buffer[96];  // six numbers of at most 11 characters and six units of 2 bytes
  char* out = buffer;
  out = AppendPart(out, t.year, kYear);
  out = AppendPart(out, t.month, kMonth);
  out = AppendPart(out, t.day, kDay);
  if (t.second != 0) {
    out = AppendPart(out, t.hour, kHour);
    out = AppendPart(out, t.minute, kMinute);
    out = AppendPart(out, t.second, kSecond);
  } else if (t.minute != 0) {
    out = AppendPart(out, t.hour, kHour);
    out = AppendPart(out, t.minute, kMinute);
  } else if (t.hour != 0) {
    out = AppendPart(out, t.hour, kHour);
  }
  return CopyStringAsText(std::string_view(buffer, static_cast<size_t>(out - buffer)));
}

}  // namespace memo
