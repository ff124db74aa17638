// Text forms that mcn reads and writes at its edges: JSON strings, CSV rows, hex byte-sets,
// shortest round-trip numbers, ISO date-times. All texts here are UTF-8; GBK stays inside.
#pragma once

#include <cstdint>
#include <istream>
#include <string>
#include <string_view>
#include <vector>

namespace memo::mcn {

// `text` as a JSON string literal, quotes included. Control characters are escaped; bytes that
// are not valid UTF-8 never reach here (the GBK converter replaces them).
std::string JsonString(std::string_view text);

// `text` with the escapes of a JSON string (\\, \n, \r, \t, \b, \f, \u00XX for the other control
// characters) but no quotes and '"' as it is: one cell of a tab-separated line.
std::string EscapedCell(std::string_view text);

// Shortest decimal forms that read back to the same value; "null" for NaN and infinities, since
// JSON has no such numbers.
std::string NumberText(double value);
std::string NumberText(float value);

// Lower-case hex of the bytes, two digits per byte.
std::string HexText(std::string_view bytes);
// Hex digits (either case, even count) to bytes; false for anything else.
bool ParseHex(std::string_view hex, std::string* bytes);

// "YYYY-MM-DDTHH:MM:SS", rounded to the second.
std::string IsoDateTime(double day_number);

// Parses the date-time forms mcn accepts: "YYYY-MM-DD", "YYYY/MM/DD", each optionally followed
// by "T" or a space and "HH:MM" or "HH:MM:SS"; and the program's own display form
// "Y年M月D日", optionally followed by "H时", "H时M分" or "H时M分S秒". A text in one of these forms
// must also name a real moment: year 100..9999, a day that its month has (2023-02-29 is none),
// hours 0..23, minutes and seconds 0..59.
enum class DateParse { kOk, kNoForm, kNotReal };
DateParse ParseDateTime(std::string_view text, double* day_number);

// One CSV field: quoted when it holds a comma, a quote, CR or LF, or starts or ends with a space.
std::string CsvField(std::string_view text);
std::string CsvRow(const std::vector<std::string>& fields);
// CsvField(text) appended to *out.
void AppendCsvField(std::string_view text, std::string* out);

// Reads CSV rows (RFC 4180: quoted fields, doubled quotes, line breaks inside quotes; CRLF or LF
// between rows). A leading UTF-8 byte-order mark is skipped.
class CsvReader {
 public:
  explicit CsvReader(std::istream& in) : in_(in) {}
  // Next row into *fields; false at the end of input. *error is set (and false returned) for an
  // unterminated quote or text after a closing quote.
  bool Next(std::vector<std::string>* fields, std::string* error);
  int64_t line() const { return line_; }

 private:
  std::istream& in_;
  int64_t line_ = 0;
  bool started_ = false;
};

}  // namespace memo::mcn
