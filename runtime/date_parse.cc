#include "runtime/date_parse.h"

#include <string_view>

#include "runtime/convert.h"
#include "runtime/literal.h"

namespace memo {
namespace {

// A cursor over the text being parsed; every step either consumes what it looks for or leaves
// the position where it was.
class Scanner {
 public:
  explicit Scanner(std::string_view text) : text_(text) {}

  bool AtEnd() const { return pos_ == text_.size(); }

  // 1 .. max_digits decimal digits.
  bool Number(int max_digits, int* value) {
    size_t start = pos_;
    int v = 0;
    while (pos_ < text_.size() && pos_ - start < static_cast<size_t>(max_digits) &&
           text_[pos_] >= '0' && text_[pos_] <= '9') {
      v = v * 10 + (text_[pos_] - '0');
      ++pos_;
    }
    if (pos_ == start) return false;
    // More digits than allowed make the whole number invalid, not two numbers.
    if (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9') {
      pos_ = start;
      return false;
    }
    *value = v;
    return true;
  }

  bool Literal(std::string_view word) {
    if (text_.substr(pos_, word.size()) != word) return false;
    pos_ += word.size();
    return true;
  }

  bool OneOf(std::string_view characters, char* which) {
    if (pos_ >= text_.size() || characters.find(text_[pos_]) == std::string_view::npos) {
      return false;
    }
    *which = text_[pos_++];
    return true;
  }

  // Skips spaces; true when at least one was skipped.
  bool Spaces() {
    size_t start = pos_;
    while (pos_ < text_.size() && text_[pos_] == ' ') ++pos_;
    return pos_ > start;
  }

 private:
  std::string_view text_;
  size_t pos_ = 0;
};

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool Valid(const CalendarTime& t) {
  return t.year >= 100 && t.year <= 9999 && t.month >= 1 && t.month <= 12 && t.day >= 1 &&
         t.day <= DaysInMonth(t.year, t.month) && t.hour >= 0 && t.hour <= 23 && t.minute >= 0 &&
         t.minute <= 59 && t.second >= 0 && t.second <= 59;
}

// 2014年7月10日[9时[5分[7秒]]]
bool ParseChinese(std::string_view text, CalendarTime* t) {
  Scanner s(text);
  if (!s.Number(4, &t->year) || !s.Literal(Gbk("年")) || !s.Number(2, &t->month) ||
      !s.Literal(Gbk("月")) || !s.Number(2, &t->day) || !s.Literal(Gbk("日"))) {
    return false;
  }
  s.Spaces();
  if (s.AtEnd()) return true;
  if (!s.Number(2, &t->hour) || !s.Literal(Gbk("时"))) return false;
  if (s.AtEnd()) return true;
  if (!s.Number(2, &t->minute) || !s.Literal(Gbk("分"))) return false;
  if (s.AtEnd()) return true;
  return s.Number(2, &t->second) && s.Literal(Gbk("秒")) && s.AtEnd();
}

// 2014-07-10[( |T)09:05[:00]], or with "/".
bool ParseIso(std::string_view text, CalendarTime* t) {
  Scanner s(text);
  char first = 0;
  char second = 0;
  if (!s.Number(4, &t->year) || !s.OneOf("-/", &first) || !s.Number(2, &t->month) ||
      !s.OneOf("-/", &second) || second != first || !s.Number(2, &t->day)) {
    return false;
  }
  if (s.AtEnd()) return true;
  char t_mark = 0;
  if (!s.Spaces() && !s.OneOf("T", &t_mark)) return false;
  char colon = 0;
  if (!s.Number(2, &t->hour) || !s.OneOf(":", &colon) || !s.Number(2, &t->minute)) return false;
  if (s.AtEnd()) return true;
  return s.OneOf(":", &colon) && s.Number(2, &t->second) && s.AtEnd();
}

std::string_view TrimSpaces(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

}  // namespace

bool ParseDateTime(std::string_view text_gbk, double* day_number) {
  std::string_view text = TrimSpaces(text_gbk);
  CalendarTime t;
  t.hour = t.minute = t.second = 0;
  bool parsed = ParseChinese(text, &t);
  if (!parsed) {
    t = CalendarTime{};
    t.hour = t.minute = t.second = 0;
    parsed = ParseIso(text, &t);
  }
  if (!parsed || !Valid(t)) return false;
  *day_number = MakeDateTime(t);
  return true;
}

}  // namespace memo
