#include "tools/script/script_syntax.h"

#include <cstdio>

#include "platform/codec.h"

namespace memo::script {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Length of the well-formed UTF-8 sequence at s[i], or 0 when the bytes there are not one.
size_t Utf8SequenceLength(std::string_view s, size_t i) {
  unsigned char c = static_cast<unsigned char>(s[i]);
  size_t n = 0;
  if (c < 0x80) return 1;
  if (c >= 0xC2 && c <= 0xDF)
    n = 2;
  else if (c >= 0xE0 && c <= 0xEF)
    n = 3;
  else if (c >= 0xF0 && c <= 0xF4)
    n = 4;
  else
    return 0;
  if (i + n > s.size()) return 0;
  for (size_t k = 1; k < n; ++k) {
    if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return 0;
  }
  return n;
}

// Reads the quoted field that starts at line[*pos] (the opening quote).
bool ReadQuoted(std::string_view line, size_t* pos, Field* field, std::string* error) {
  size_t i = *pos + 1;
  std::string text;  // pending UTF-8 text, flushed before each raw byte
  while (i < line.size()) {
    char c = line[i];
    if (c == '"') {
      field->AppendText(text);
      field->set_quoted(true);
      *pos = i + 1;
      if (*pos < line.size() && !IsBlank(line[*pos])) {
        *error = "text after a closing quote; separate fields with a space";
        return false;
      }
      return true;
    }
    if (c != '\\') {
      text += c;
      ++i;
      continue;
    }
    if (i + 1 >= line.size()) break;
    char e = line[i + 1];
    i += 2;
    switch (e) {
      case '"': text += '"'; break;
      case '\\': text += '\\'; break;
      case 'r': text += '\r'; break;
      case 'n': text += '\n'; break;
      case 't': text += '\t'; break;
      case 'x': {
        int high = i < line.size() ? HexDigit(line[i]) : -1;
        int low = i + 1 < line.size() ? HexDigit(line[i + 1]) : -1;
        if (high < 0 || low < 0) {
          *error = "\\x needs two hex digits";
          return false;
        }
        field->AppendText(text);
        text.clear();
        field->AppendRawByte(static_cast<char>(high * 16 + low));
        i += 2;
        break;
      }
      default:
        *error = std::string("unknown escape \\") + e + " (known: \\\" \\\\ \\r \\n \\t \\xHH)";
        return false;
    }
  }
  *error = "unterminated quote";
  return false;
}

}  // namespace

void Field::AppendText(std::string_view utf8) {
  if (utf8.empty()) return;
  if (pieces_.empty() || pieces_.back().raw) pieces_.push_back(Piece{false, {}});
  pieces_.back().bytes += utf8;
  plain_ += utf8;
}

void Field::AppendRawByte(char byte) {
  if (pieces_.empty() || !pieces_.back().raw) pieces_.push_back(Piece{true, {}});
  pieces_.back().bytes += byte;
  plain_ += byte;
  has_raw_ = true;
}

bool Field::ToGbk(std::string* out) const {
  out->clear();
  for (const Piece& piece : pieces_) {
    if (piece.raw) {
      *out += piece.bytes;
      continue;
    }
    std::string converted;
    if (!Utf8ToGbkStrict(piece.bytes, &converted)) return false;
    *out += converted;
  }
  return true;
}

bool SplitFields(std::string_view line, std::vector<Field>* fields, std::string* error) {
  fields->clear();
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  size_t i = 0;
  while (i < line.size() && IsBlank(line[i])) ++i;
  if (i < line.size() && line[i] == '#') return true;
  while (i < line.size()) {
    if (IsBlank(line[i])) {
      ++i;
      continue;
    }
    Field field;
    if (line[i] == '"') {
      if (!ReadQuoted(line, &i, &field, error)) return false;
    } else {
      size_t start = i;
      while (i < line.size() && !IsBlank(line[i])) {
        if (line[i] == '"') {
          *error = "a quote inside a field; quote the whole field";
          return false;
        }
        ++i;
      }
      field.AppendText(line.substr(start, i - start));
    }
    fields->push_back(std::move(field));
  }
  return true;
}

std::string QuoteForScript(std::string_view utf8) {
  bool needs_quotes = utf8.empty();
  std::string body;
  for (size_t i = 0; i < utf8.size();) {
    size_t n = Utf8SequenceLength(utf8, i);
    if (n == 0) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned char>(utf8[i]));
      body += hex;
      needs_quotes = true;
      ++i;
      continue;
    }
    char c = utf8[i];
    if (n == 1) {
      switch (c) {
        case '"':
          body += "\\\"";
          needs_quotes = true;
          break;
        case '\\':
          body += "\\\\";
          needs_quotes = true;
          break;
        case '\r':
          body += "\\r";
          needs_quotes = true;
          break;
        case '\n':
          body += "\\n";
          needs_quotes = true;
          break;
        case '\t':
          body += "\\t";
          needs_quotes = true;
          break;
        case ' ':
          body += ' ';
          needs_quotes = true;
          break;
        default:
          if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned char>(c));
            body += hex;
            needs_quotes = true;
          } else {
            body += c;
          }
      }
    } else {
      body.append(utf8.substr(i, n));
    }
    i += n;
  }
  if (!needs_quotes && body[0] == '#') needs_quotes = true;
  return needs_quotes ? "\"" + body + "\"" : body;
}

std::string GbkForDisplay(std::string_view gbk) {
  std::string out;
  std::string converted;
  if (GbkToUtf8Strict(gbk, &converted)) return converted;
  for (size_t i = 0; i < gbk.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(gbk[i]);
    if (c < 0x80) {
      out += gbk[i];
    } else if (c >= 0x81 && c <= 0xFE && i + 1 < gbk.size() &&
               GbkToUtf8Strict(gbk.substr(i, 2), &converted)) {
      out += converted;
      ++i;
    } else {
      out += gbk[i];
    }
  }
  return out;
}

std::string ShowGbk(std::string_view gbk) { return QuoteForScript(GbkForDisplay(gbk)); }

}  // namespace memo::script
