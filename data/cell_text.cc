#include "data/cell_text.h"

#include <cctype>
#include <charconv>
#include <cstring>
#include <limits>

#include "runtime/convert.h"
#include "runtime/date_parse.h"
#include "runtime/dispatch.h"
#include "runtime/heap.h"
#include "runtime/literal.h"
#include "runtime/text.h"

namespace memo::db {
namespace {

std::string_view SkipSpaces(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  return text;
}

bool EqualsAsciiIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]);
    unsigned char y = static_cast<unsigned char>(b[i]);
    if (x < 0x80) x = static_cast<unsigned char>(std::tolower(x));
    if (y < 0x80) y = static_cast<unsigned char>(std::tolower(y));
    if (x != y) return false;
  }
  return true;
}

std::string_view TrimSpaces(std::string_view text) {
  text = SkipSpaces(text);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

bool IsDecimalNumber(std::string_view text) {
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) text.remove_prefix(1);
  if (text.empty()) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

bool IsFloatingNumber(std::string_view text) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return false;
  double v = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), v);
  // A number beyond the double's range is still a number (stored as ParseFloating saturates it).
  return (error == std::errc() || error == std::errc::result_out_of_range) &&
         end == text.data() + text.size();
}

}  // namespace

CellTextFault CheckCellText(uint32_t field_type, std::string_view text) {
  if (text.empty()) return CellTextFault::kNone;
  switch (field_type) {
    case kFieldDateTime: {
      double day = 0;
      return ParseDateTime(text, &day) ? CellTextFault::kNone : CellTextFault::kNotADate;
    }
    case kFieldByte:
    case kFieldShort:
    case kFieldInt:
    case kFieldLong:
      return IsDecimalNumber(TrimSpaces(text)) ? CellTextFault::kNone : CellTextFault::kNotANumber;
    case kFieldFloat:
    case kFieldDouble:
      return IsFloatingNumber(TrimSpaces(text)) ? CellTextFault::kNone : CellTextFault::kNotANumber;
    default: return CellTextFault::kNone;
  }
}

int64_t ParseDecimal(std::string_view text) {
  text = SkipSpaces(text);
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  // Accumulate as a negative number: its range holds the magnitude of INT64_MIN.
  constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
  int64_t v = 0;
  bool saturated = false;
  for (char c : text) {
    if (c < '0' || c > '9') break;
    int digit = c - '0';
    if (!saturated && (v < kMin / 10 || v * 10 < kMin + digit)) saturated = true;
    if (!saturated) v = v * 10 - digit;
  }
  if (saturated) return negative ? kMin : std::numeric_limits<int64_t>::max();
  if (negative) return v;
  return v == kMin ? std::numeric_limits<int64_t>::max() : -v;
}

double ParseFloating(std::string_view text) {
  text = SkipSpaces(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  double v = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), v);
  (void)end;
  if (error == std::errc::result_out_of_range) {
    // Beyond the double range: the sign decides which infinity, tiny values are 0.
    bool negative = !text.empty() && text.front() == '-';
    size_t e = text.find_first_of("eE");
    bool tiny = e != std::string_view::npos && e + 1 < text.size() && text[e + 1] == '-';
    if (tiny) return 0;
    return negative ? -std::numeric_limits<double>::infinity()
                    : std::numeric_limits<double>::infinity();
  }
  return error == std::errc() ? v : 0;
}

bool ParseLogical(std::string_view text_gbk) {
  static const char* const kTrueWords[] = {"1", "true", "t", "zheng", "zhen", "zeng", "zen", "z"};
  if (text_gbk == std::string_view(Gbk("真"))) return true;
  for (const char* word : kTrueWords) {
    if (EqualsAsciiIgnoringCase(text_gbk, word)) return true;
  }
  return false;
}

std::string CellTextOf(const FieldDescriptor& field, const TypedValue& value) {
  if (field.type == kFieldDateTime && value.tag == TypeTag::kDateTime &&
      !(value.Double() > kEmptyDate)) {
    return std::string();  // the empty date (reads clamp anything earlier to it)
  }
  if (field.type == kFieldByteSet) {
    const void* block = value.tag == TypeTag::kByteSet ? value.Pointer() : nullptr;
    int32_t n = ByteSetSize(block);
    if (n <= 0) return std::string();
    return std::string(reinterpret_cast<const char*>(ByteSetData(block)), static_cast<size_t>(n));
  }
  TextOwner text(ValueToText(value));
  return text.get() ? std::string(text.get()) : std::string();
}

bool FieldValueFromText(const FieldDescriptor& field, std::string_view text, TypedValue* out) {
  *out = TypedValue{};
  switch (field.type) {
    case kFieldByte:
    case kFieldShort:
    case kFieldInt:
      // The low 32 bits; the field keeps as many of them as it has.
      *out = IntValue(
          static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(ParseDecimal(text)))));
      return true;
    case kFieldLong: *out = LongValue(ParseDecimal(text)); return true;
    case kFieldFloat:
    case kFieldDouble: *out = DoubleValue(ParseFloating(text)); return true;
    case kFieldBool: *out = BoolValue(ParseLogical(text)); return true;
    case kFieldDateTime: {
      double day = kEmptyDate;
      if (!ParseDateTime(text, &day)) day = kEmptyDate;
      *out = DateTimeValue(day);
      return true;
    }
    case kFieldText:
    case kFieldMemo: *out = TextValue(CopyStringAsText(text)); return true;
    case kFieldByteSet:
      *out = ByteSetValue(
          text.empty() ? nullptr : MakeByteSet(text.data(), static_cast<int32_t>(text.size())));
      return true;
    default: return false;
  }
}

}  // namespace memo::db
