// The line syntax of scenario scripts: one step per line, fields separated by spaces, a field with
// spaces (or an empty field) in double quotes. Inside quotes `\"`, `\\`, `\r`, `\n`, `\t` are
// escapes, and `\xHH` puts the byte HH into the field as it stands (no code-page conversion), so
// that a script can hand the program bytes that are no UTF-8 text (a damaged file, a stray GBK
// lead byte). Everything else a field holds is UTF-8 and reaches the program in GBK.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace memo::script {

// One field: its UTF-8 text with the raw bytes of `\xHH` escapes kept apart, so that converting
// it to the program's code page never touches them.
class Field {
 public:
  Field() = default;
  explicit Field(std::string utf8) { AppendText(utf8); }

  void AppendText(std::string_view utf8);
  void AppendRawByte(char byte);

  // The field as written after unescaping (raw bytes in place); what names and numbers are
  // read from.
  const std::string& plain() const { return plain_; }
  bool quoted() const { return quoted_; }
  void set_quoted(bool quoted) { quoted_ = quoted; }
  bool has_raw_bytes() const { return has_raw_; }

  // The field in GBK: its text converted, its raw bytes as they are. False (with *out
  // unspecified) when a part of the text has no GBK form.
  bool ToGbk(std::string* out) const;

 private:
  struct Piece {
    bool raw = false;
    std::string bytes;
  };
  std::vector<Piece> pieces_;
  std::string plain_;
  bool quoted_ = false;
  bool has_raw_ = false;
};

// Splits one line into fields. A line that is blank or whose first non-blank character is `#`
// gives no fields. False with *error set for an unterminated quote, an unknown escape, a quote
// inside an unquoted field or text glued to a closing quote.
bool SplitFields(std::string_view line, std::vector<Field>* fields, std::string* error);

// A text as a script would write it: bare when it needs no quotes, else quoted with escapes
// (used to show expected and found values in failure messages). UTF-8 in, UTF-8 out; bytes that
// are not UTF-8 are shown as \xHH.
std::string QuoteForScript(std::string_view utf8);

// A GBK text from the program in UTF-8 for a message, bytes that are no GBK character kept as
// they are (QuoteForScript then shows them as \xHH).
std::string GbkForDisplay(std::string_view gbk);

// QuoteForScript(GbkForDisplay(gbk)).
std::string ShowGbk(std::string_view gbk);

}  // namespace memo::script
