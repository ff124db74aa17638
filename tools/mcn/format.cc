#include "tools/mcn/format.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "runtime/convert.h"

namespace memo::mcn {

namespace {

// The escapes JSON strings and tab-separated cells share. The C0 controls and DEL are written as
// \u escapes, so no stored text can steer the terminal that shows it. (The C1 controls cannot
// occur: no GBK character converts to one.)
void AppendEscaped(std::string_view text, bool quote_quotes, std::string* out) {
  auto append_code = [out](unsigned code) {
    char escape[8];
    std::snprintf(escape, sizeof escape, "\\u%04x", code);
    *out += escape;
  };
  for (char c : text) {
    switch (c) {
      case '"':
        if (quote_quotes) {
          *out += "\\\"";
        } else {
          *out += c;
        }
        break;
      case '\\': *out += "\\\\"; break;
      case '\n': *out += "\\n"; break;
      case '\r': *out += "\\r"; break;
      case '\t': *out += "\\t"; break;
      case '\b': *out += "\\b"; break;
      case '\f': *out += "\\f"; break;
      default: {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
          append_code(byte);
        } else {
          *out += c;
        }
      }
    }
  }
}

}  // namespace

std::string JsonString(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 2);
  out += '"';
  AppendEscaped(text, true, &out);
  out += '"';
  return out;
}

std::string EscapedCell(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  AppendEscaped(text, false, &out);
  return out;
}

namespace {

template <typename T>
std::string ShortestText(T value) {
  if (!std::isfinite(value)) return "null";
  char buffer[64];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

}  // namespace

std::string NumberText(double value) { return ShortestText(value); }
std::string NumberText(float value) { return ShortestText(value); }

std::string HexText(std::string_view bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (unsigned char c : bytes) {
    out += kDigits[c >> 4];
    out += kDigits[c & 15];
  }
  return out;
}

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

bool ParseHex(std::string_view hex, std::string* bytes) {
  if (hex.size() % 2 != 0) return false;
  std::string out;
  out.reserve(hex.size() / 2);
  for (size_t i = 0; i < hex.size(); i += 2) {
    int high = HexDigit(hex[i]), low = HexDigit(hex[i + 1]);
    if (high < 0 || low < 0) return false;
    out += static_cast<char>(high * 16 + low);
  }
  *bytes = std::move(out);
  return true;
}

std::string IsoDateTime(double day_number) {
  CalendarTime t = SplitDateTime(day_number);
  if (t.year >= 0 && t.year <= 9999 && t.month >= 0 && t.month <= 99 && t.day >= 0 && t.day <= 99 &&
      t.hour >= 0 && t.hour <= 99 && t.minute >= 0 && t.minute <= 99 && t.second >= 0 &&
      t.second <= 99) {
    // What the format below gives, without its cost: a dump prints one per record.
    char text[19];
    auto two = [&text](int at, int value) {
      text[at] = static_cast<char>('0' + value / 10);
      text[at + 1] = static_cast<char>('0' + value % 10);
    };
    two(0, t.year / 100);
    two(2, t.year % 100);
    text[4] = '-';
    two(5, t.month);
    text[7] = '-';
    two(8, t.day);
    text[10] = 'T';
    two(11, t.hour);
    text[13] = ':';
    two(14, t.minute);
    text[16] = ':';
    two(17, t.second);
    return std::string(text, sizeof text);
  }
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02dT%02d:%02d:%02d", t.year, t.month, t.day,
                t.hour, t.minute, t.second);
  return buffer;
}

namespace {

// A small cursor over the date-time text.
class Scanner {
 public:
  explicit Scanner(std::string_view text) : text_(text) {}
  bool AtEnd() const { return pos_ == text_.size(); }
  // 1..max_digits decimal digits.
  bool Number(int max_digits, int* value) {
    int digits = 0, v = 0;
    while (pos_ < text_.size() && digits < max_digits && text_[pos_] >= '0' && text_[pos_] <= '9') {
      v = v * 10 + (text_[pos_] - '0');
      ++pos_;
      ++digits;
    }
    *value = v;
    return digits > 0;
  }
  bool Literal(std::string_view word) {
    if (text_.substr(pos_, word.size()) != word) return false;
    pos_ += word.size();
    return true;
  }

 private:
  std::string_view text_;
  size_t pos_ = 0;
};

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

bool ValidCalendar(const CalendarTime& t) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (t.year < 100 || t.year > 9999 || t.month < 1 || t.month > 12) return false;
  int days = kDays[t.month - 1] + (t.month == 2 && IsLeapYear(t.year) ? 1 : 0);
  return t.day >= 1 && t.day <= days && t.hour >= 0 && t.hour <= 23 && t.minute >= 0 &&
         t.minute <= 59 && t.second >= 0 && t.second <= 59;
}

bool ParseIso(std::string_view text, CalendarTime* t) {
  Scanner s(text);
  if (!s.Number(4, &t->year)) return false;
  std::string_view separator = s.Literal("-") ? "-" : s.Literal("/") ? "/" : "";
  if (separator.empty() || !s.Number(2, &t->month) || !s.Literal(separator) ||
      !s.Number(2, &t->day)) {
    return false;
  }
  if (s.AtEnd()) return true;
  if (!s.Literal("T") && !s.Literal(" ")) return false;
  if (!s.Number(2, &t->hour) || !s.Literal(":") || !s.Number(2, &t->minute)) return false;
  if (s.Literal(":") && !s.Number(2, &t->second)) return false;
  return s.AtEnd();
}

// "Y年M月D日" [ "H时" [ "M分" [ "S秒" ] ] ], the characters in UTF-8.
bool ParseDisplayForm(std::string_view text, CalendarTime* t) {
  Scanner s(text);
  if (!s.Number(4, &t->year) || !s.Literal("年") || !s.Number(2, &t->month) || !s.Literal("月") ||
      !s.Number(2, &t->day) || !s.Literal("日")) {
    return false;
  }
  if (s.AtEnd()) return true;
  if (!s.Number(2, &t->hour) || !s.Literal("时")) return false;
  if (s.AtEnd()) return true;
  if (!s.Number(2, &t->minute) || !s.Literal("分")) return false;
  if (s.AtEnd()) return true;
  if (!s.Number(2, &t->second) || !s.Literal("秒")) return false;
  return s.AtEnd();
}

}  // namespace

DateParse ParseDateTime(std::string_view text, double* day_number) {
  CalendarTime t;
  t.hour = t.minute = t.second = 0;
  if (!ParseIso(text, &t)) {
    t = CalendarTime{};
    t.hour = t.minute = t.second = 0;
    if (!ParseDisplayForm(text, &t)) return DateParse::kNoForm;
  }
  if (!ValidCalendar(t)) return DateParse::kNotReal;
  *day_number = MakeDateTime(t);
  return DateParse::kOk;
}

std::string CsvField(std::string_view text) {
  bool quote = !text.empty() && (text.front() == ' ' || text.back() == ' ');
  for (char c : text) {
    if (c == ',' || c == '"' || c == '\r' || c == '\n') quote = true;
  }
  if (!quote) return std::string(text);
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
  return out;
}

namespace {

bool IsCsvSpecial(char c) { return c == ',' || c == '"' || c == '\r' || c == '\n'; }

// Whether the text holds a byte that makes a CSV field quoted, looked for eight bytes at a time.
bool HasCsvSpecial(std::string_view text) {
  constexpr uint64_t kOnes = 0x0101010101010101u;
  constexpr uint64_t kHighs = 0x8080808080808080u;
  // Non-zero exactly when some byte of `word` equals `byte`.
  auto holds = [](uint64_t word, unsigned char byte) {
    const uint64_t x = word ^ (kOnes * byte);
    return ((x - kOnes) & ~x & kHighs) != 0;
  };
  size_t i = 0;
  for (; i + 8 <= text.size(); i += 8) {
    uint64_t word;
    std::memcpy(&word, text.data() + i, sizeof word);
    if (holds(word, ',') || holds(word, '"') || holds(word, '\r') || holds(word, '\n')) {
      return true;
    }
  }
  for (; i < text.size(); ++i) {
    if (IsCsvSpecial(text[i])) return true;
  }
  return false;
}

}  // namespace

void AppendCsvField(std::string_view text, std::string* out) {
  const bool quote =
      (!text.empty() && (text.front() == ' ' || text.back() == ' ')) || HasCsvSpecial(text);
  if (!quote) {
    out->append(text);
    return;
  }
  *out += '"';
  for (size_t quote_at; (quote_at = text.find('"')) != std::string_view::npos;) {
    out->append(text.substr(0, quote_at + 1));
    *out += '"';
    text.remove_prefix(quote_at + 1);
  }
  out->append(text);
  *out += '"';
}

std::string CsvRow(const std::vector<std::string>& fields) {
  std::string row;
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) row += ',';
    row += CsvField(fields[i]);
  }
  row += "\r\n";
  return row;
}

bool CsvReader::Next(std::vector<std::string>* fields, std::string* error) {
  fields->clear();
  error->clear();
  if (!started_) {
    started_ = true;
    if (in_.peek() == 0xEF) {
      char bom[3];
      in_.read(bom, 3);
      if (!(in_.gcount() == 3 && bom[1] == '\xBB' && bom[2] == '\xBF')) {
        in_.clear();
        in_.seekg(0);
      }
    }
  }
  int c = in_.get();
  if (c == EOF) return false;
  ++line_;
  std::string field;
  bool in_quotes = false, was_quoted = false;
  for (;; c = in_.get()) {
    if (in_quotes) {
      if (c == EOF) {
        *error = "unterminated quoted field";
        return false;
      }
      if (c == '"') {
        if (in_.peek() == '"') {
          in_.get();
          field += '"';
        } else {
          in_quotes = false;
        }
      } else {
        if (c == '\n') ++line_;
        field += static_cast<char>(c);
      }
      continue;
    }
    if (c == ',') {
      fields->push_back(std::move(field));
      field.clear();
      was_quoted = false;
    } else if (c == '\r' || c == '\n' || c == EOF) {
      if (c == '\r' && in_.peek() == '\n') in_.get();
      fields->push_back(std::move(field));
      return true;
    } else if (c == '"' && field.empty() && !was_quoted) {
      in_quotes = was_quoted = true;
    } else if (was_quoted) {
      *error = "text after a closing quote";
      return false;
    } else {
      field += static_cast<char>(c);
    }
  }
}

}  // namespace memo::mcn
