#include "tools/mcn/convert.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <vector>

#include "db/coding.h"
#include "db/file_names.h"
#include "db/record_format.h"
#include "db/value_codec.h"
#include "platform/codec.h"
#include "runtime/text.h"
#include "tools/mcn/format.h"

namespace memo::mcn {

const char* const kTrueWords[7] = {"1", "true", "t", "yes", "y", "真", "是"};
const char* const kFalseWords[7] = {"0", "false", "f", "no", "n", "假", "否"};

namespace {

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

std::string Quote(std::string_view text) {
  std::string quoted;
  quoted.reserve(text.size() + 2);
  quoted += '"';
  quoted += text;
  quoted += '"';
  return quoted;
}

// A decimal integer: an optional sign and digits, nothing else. False with *error set when the
// text is no such number or lies outside [min, max].
bool ParseInteger(std::string_view text, int64_t min, int64_t max, const char* type, int64_t* value,
                  std::string* error) {
  std::string_view digits = text;
  if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
  bool negative = !digits.empty() && digits.front() == '-';
  std::string_view body = negative ? digits.substr(1) : digits;
  bool all_digits = !body.empty() && std::all_of(body.begin(), body.end(),
                                                 [](char c) { return c >= '0' && c <= '9'; });
  if (!all_digits || (negative && text.front() == '+')) {
    *error = Quote(text) + " is not a whole number";
    return false;
  }
  std::string range = std::string(" is out of range for ") + type + " (" + std::to_string(min) +
                      ".." + std::to_string(max) + ")";
  auto [end, problem] = std::from_chars(digits.data(), digits.data() + digits.size(), *value);
  if (problem == std::errc::result_out_of_range || *value < min || *value > max) {
    *error = std::string(text) + range;
    return false;
  }
  return problem == std::errc() && end == digits.data() + digits.size();
}

// A decimal number in the forms strtod reads, without hex, or "inf"/"infinity"/"nan" with an
// optional sign.
bool LooksDecimal(std::string_view text) {
  std::string lower = Lower(text);
  std::string_view body = lower;
  if (!body.empty() && (body.front() == '+' || body.front() == '-')) body.remove_prefix(1);
  if (body == "inf" || body == "infinity" || body == "nan") return true;
  size_t i = 0, mantissa_digits = 0;
  while (i < body.size() && std::isdigit(static_cast<unsigned char>(body[i]))) {
    ++i;
    ++mantissa_digits;
  }
  if (i < body.size() && body[i] == '.') {
    ++i;
    while (i < body.size() && std::isdigit(static_cast<unsigned char>(body[i]))) {
      ++i;
      ++mantissa_digits;
    }
  }
  if (mantissa_digits == 0) return false;
  if (i < body.size() && body[i] == 'e') {
    ++i;
    if (i < body.size() && (body[i] == '+' || body[i] == '-')) ++i;
    size_t exponent_digits = 0;
    while (i < body.size() && std::isdigit(static_cast<unsigned char>(body[i]))) {
      ++i;
      ++exponent_digits;
    }
    if (exponent_digits == 0) return false;
  }
  return i == body.size();
}

bool IsInfinityWord(std::string_view text) {
  std::string lower = Lower(text);
  std::string_view body = lower;
  if (!body.empty() && (body.front() == '+' || body.front() == '-')) body.remove_prefix(1);
  return body == "inf" || body == "infinity";
}

bool MatchesWord(std::string_view text, const char* const* words, size_t count) {
  std::string lower = Lower(text);
  for (size_t i = 0; i < count; ++i) {
    if (lower == words[i]) return true;
  }
  return false;
}

std::string WordList() {
  std::string list = "true:";
  for (const char* word : kTrueWords) list += std::string(" ") + word;
  list += "; false:";
  for (const char* word : kFalseWords) list += std::string(" ") + word;
  return list;
}

// Keeps a text's bytes plus NUL in storage and points the cell at them.
void SetText(std::string bytes, FieldValue* value) {
  value->storage = std::move(bytes);
  value->cell.tag = TypeTag::kText;
  value->cell.SetPointer(value->storage.c_str());
}

// The GBK form of a text for a text or memo field; false when it cannot be stored as it is.
bool TextBytes(std::string_view utf8, std::string* gbk, std::string* error) {
  if (utf8.find('\0') != std::string_view::npos) {
    *error = "the text holds a NUL character, which would end it";
    return false;
  }
  if (!Utf8ToGbkStrict(utf8, gbk)) {
    *error = Quote(utf8) + " has characters that GBK cannot hold";
    return false;
  }
  return true;
}

}  // namespace

bool MakeFieldValue(const db::FieldDescriptor& field, std::string_view utf8, FieldValue* value,
                    std::string* error, std::string* warning) {
  TypedValue& cell = value->cell;
  cell = TypedValue{};
  value->storage.clear();
  warning->clear();
  const bool textual = field.type == db::kFieldText || field.type == db::kFieldMemo;
  const std::string_view text = textual ? utf8 : Trimmed(utf8);
  if (text.empty()) {
    if (field.type == db::kFieldDateTime) {
      cell.tag = TypeTag::kDateTime;
      cell.SetDouble(db::kMinDateTime);
    }
    return true;  // omitted: the field stays empty
  }
  int64_t number = 0;
  switch (field.type) {
    case db::kFieldByte:
      if (!ParseInteger(text, 0, 255, "a byte field", &number, error)) return false;
      cell.tag = TypeTag::kByte;
      cell.low = static_cast<uint32_t>(number);
      return true;
    case db::kFieldShort:
      if (!ParseInteger(text, INT16_MIN, INT16_MAX, "a short field", &number, error)) return false;
      cell.tag = TypeTag::kShort;
      cell.low = static_cast<uint32_t>(static_cast<int32_t>(number));
      return true;
    case db::kFieldInt:
      if (!ParseInteger(text, INT32_MIN, INT32_MAX, "an int field", &number, error)) return false;
      cell.tag = TypeTag::kInt;
      cell.low = static_cast<uint32_t>(static_cast<int32_t>(number));
      return true;
    case db::kFieldLong:
      if (!ParseInteger(text, INT64_MIN, INT64_MAX, "a long field", &number, error)) return false;
      cell.tag = TypeTag::kLong;
      cell.SetInt64(number);
      return true;
    case db::kFieldFloat:
    case db::kFieldDouble: {
      const bool single = field.type == db::kFieldFloat;
      if (!LooksDecimal(text)) {
        *error = Quote(text) + " is not a number";
        return false;
      }
      std::string copy(text);
      // strtof rounds to the nearest float itself, so the shortest text of the largest float
      // (3.4028235e+38, a little above it as a decimal) reads back as that float.
      double parsed = single ? static_cast<double>(std::strtof(copy.c_str(), nullptr))
                             : std::strtod(copy.c_str(), nullptr);
      if (std::isinf(parsed) && !IsInfinityWord(text)) {
        *error = std::string(text) + " is out of range for " +
                 (single ? "a float field (about ±3.4e38)" : "a double field (about ±1.8e308)");
        return false;
      }
      cell.tag = single ? TypeTag::kFloat : TypeTag::kDouble;
      if (single) {
        cell.SetFloat(static_cast<float>(parsed));
      } else {
        cell.SetDouble(parsed);
      }
      return true;
    }
    case db::kFieldBool: {
      bool truth = MatchesWord(text, kTrueWords, std::size(kTrueWords));
      if (!truth && !MatchesWord(text, kFalseWords, std::size(kFalseWords))) {
        *error = Quote(text) + " is not a logical word (" + WordList() + ")";
        return false;
      }
      cell.tag = TypeTag::kBool;
      cell.low = truth ? 1 : 0;
      return true;
    }
    case db::kFieldDateTime: {
      double day = 0;
      switch (ParseDateTime(text, &day)) {
        case DateParse::kOk: break;
        case DateParse::kNotReal:
          *error = Quote(text) + " is not a real date and time";
          return false;
        case DateParse::kNoForm:
          *error = Quote(text) +
                   " is not a date-time (YYYY-MM-DD, YYYY-MM-DD HH:MM[:SS], "
                   "YYYY-MM-DDTHH:MM:SS, or Y年M月D日[H时[M分[S秒]]])";
          return false;
      }
      // A field gives back nothing outside these days (reads hold values within them), so a
      // time of day on either end day could not be read back as written.
      if (day > db::kMaxDateTime || day < db::kMinDateTime) {
        *error = Quote(text) +
                 " lies outside 0100-01-01T00:00:00 .. 9999-12-31T00:00:00, the "
                 "date-times a field gives back";
        return false;
      }
      cell.tag = TypeTag::kDateTime;
      cell.SetDouble(day);
      return true;
    }
    case db::kFieldText:
    case db::kFieldMemo: {
      std::string gbk;
      if (!TextBytes(text, &gbk, error)) return false;
      if (field.type == db::kFieldText && gbk.size() > field.declared_length) {
        // The engine's cut, told in advance: at most the declared length, never inside a
        // character.
        const size_t kept = db::CutWithoutSplitting(gbk, field.declared_length);
        *warning = Quote(text) + " is " + std::to_string(gbk.size()) +
                   " bytes, longer than the field's " + std::to_string(field.declared_length) +
                   ": cut to " + Quote(GbkToUtf8(std::string_view(gbk).substr(0, kept)));
      }
      SetText(std::move(gbk), value);
      return true;
    }
    case db::kFieldByteSet: {
      std::string_view hex = text;
      if (hex.size() >= 2 && hex[0] == '0' && (hex[1] == 'x' || hex[1] == 'X')) {
        hex.remove_prefix(2);
      }
      std::string bytes;
      if (!ParseHex(hex, &bytes)) {
        *error = Quote(text) + " is not hex (an even number of hex digits, optionally after 0x)";
        return false;
      }
      // A byte-set block: dimension count 1, byte count, the bytes.
      std::string block(kByteSetHeaderSize, '\0');
      int32_t header[2] = {1, static_cast<int32_t>(bytes.size())};
      std::memcpy(block.data(), header, sizeof header);
      block += bytes;
      value->storage = std::move(block);
      cell.tag = TypeTag::kByteSet;
      cell.SetPointer(value->storage.data());
      return true;
    }
    default:
      *error = std::string("mcn cannot write a ") + TypeWord(field.type) + " field";
      return false;
  }
}

namespace {

std::string Quoted(std::string text, Notation notation) {
  return notation == Notation::kJson ? JsonString(text) : text;
}

std::string TextOf(const TypedValue& cell) {
  const char* text = static_cast<const char*>(cell.Pointer());
  return text ? GbkToUtf8(text) : std::string();
}

}  // namespace

std::string FormatValue(uint32_t field_type, const TypedValue& cell, Notation notation) {
  switch (field_type) {
    case db::kFieldByte: return std::to_string(cell.low & 0xFF);
    case db::kFieldShort: return std::to_string(static_cast<int16_t>(cell.low));
    case db::kFieldInt: return std::to_string(static_cast<int32_t>(cell.low));
    case db::kFieldLong: return std::to_string(cell.Int64());
    case db::kFieldFloat: {
      std::string text = NumberText(cell.Float());
      return text == "null" && notation != Notation::kJson ? std::to_string(cell.Float()) : text;
    }
    case db::kFieldDouble: {
      std::string text = NumberText(cell.Double());
      return text == "null" && notation != Notation::kJson ? std::to_string(cell.Double()) : text;
    }
    case db::kFieldBool: return cell.low != 0 ? "true" : "false";
    case db::kFieldDateTime: return Quoted(IsoDateTime(cell.Double()), notation);
    case db::kFieldRoutine: return std::to_string(cell.low);
    case db::kFieldText:
    case db::kFieldMemo: return Quoted(TextOf(cell), notation);
    case db::kFieldByteSet: {
      const void* block = cell.Pointer();
      std::string_view bytes(reinterpret_cast<const char*>(ByteSetData(block)),
                             static_cast<size_t>(ByteSetSize(block)));
      std::string hex = HexText(bytes);
      if (notation == Notation::kJson) return JsonString(hex);
      return notation == Notation::kCsv && !hex.empty() ? "0x" + hex : hex;
    }
    default: return notation == Notation::kJson ? "null" : "";
  }
}

namespace {

// What a two-byte code converts to, for AppendGbkAsUtf8.
struct PairUtf8 {
  uint8_t size = 0;  // 0: not converted yet; kNotVouched: the text must go through GbkToUtf8
  char bytes[8] = {};
};
constexpr uint8_t kNotVouched = 0xFF;

// The conversion of every single byte below 0x80 and of each two-byte code met so far, as
// GbkToUtf8 gives them. A code's conversion stands for the code inside any text when it
// converts whole, to something without a '?': the conversion keeps no state from one character
// to the next, so a text made of such codes and single bytes converts to the concatenation of
// their conversions. A code GBK has no character for converts to '?' and goes on with its second
// byte as a character of its own, which depends on what follows: such texts go through
// GbkToUtf8 whole.
class GbkTable {
 public:
  GbkTable() : pairs_(0x8000) {
    for (int c = 0; c < 0x80; ++c) {
      const char byte = static_cast<char>(c);
      if (GbkToUtf8(std::string_view(&byte, 1)) != std::string_view(&byte, 1)) ascii_ = false;
    }
  }
  bool ascii() const { return ascii_; }
  // REQUIRES: lead >= 0x80.
  const PairUtf8& Pair(unsigned char lead, unsigned char trail) {
    PairUtf8& pair = pairs_[((lead & 0x7Fu) << 8) | trail];
    if (pair.size == 0) {
      const char code[2] = {static_cast<char>(lead), static_cast<char>(trail)};
      const std::string utf8 = GbkToUtf8(std::string_view(code, 2));
      if (utf8.empty() || utf8.size() > sizeof pair.bytes || utf8.find('?') != std::string::npos) {
        pair.size = kNotVouched;
      } else {
        std::memcpy(pair.bytes, utf8.data(), utf8.size());
        pair.size = static_cast<uint8_t>(utf8.size());
      }
    }
    return pair;
  }

 private:
  std::vector<PairUtf8> pairs_;  // by (lead - 0x80) * 256 + trail
  bool ascii_ = true;
};

}  // namespace

void AppendGbkAsUtf8(std::string_view gbk, std::string* out) {
  static GbkTable table;
  const size_t start = out->size();
  const auto* p = reinterpret_cast<const unsigned char*>(gbk.data());
  const size_t n = gbk.size();
  // Converted bytes gather here and go to *out in pieces.
  char piece[512];
  size_t used = 0;
  bool vouched = table.ascii();
  for (size_t i = 0; vouched && i < n;) {
    if (used + sizeof PairUtf8::bytes > sizeof piece) {
      out->append(piece, used);
      used = 0;
    }
    const unsigned char c = p[i];
    if (c < 0x80) {
      piece[used++] = static_cast<char>(c);
      ++i;
      continue;
    }
    if (c == 0x80 || i + 1 == n) {
      vouched = false;
      break;
    }
    const PairUtf8& pair = table.Pair(c, p[i + 1]);
    if (pair.size == kNotVouched) {
      vouched = false;
      break;
    }
    std::memcpy(piece + used, pair.bytes, sizeof pair.bytes);
    used += pair.size;
    i += 2;
  }
  if (!vouched) {
    out->resize(start);
    out->append(GbkToUtf8(gbk));
    return;
  }
  out->append(piece, used);
}

void AppendStoredValue(const db::FieldDescriptor& field, std::string_view stored, Notation notation,
                       std::string* out) {
  const char* p = stored.data();
  switch (field.type) {
    case db::kFieldByte: *out += std::to_string(static_cast<uint8_t>(p[0])); return;
    case db::kFieldShort:
      *out += std::to_string(static_cast<int16_t>(db::DecodeFixed16(p)));
      return;
    case db::kFieldInt: *out += std::to_string(static_cast<int32_t>(db::DecodeFixed32(p))); return;
    case db::kFieldLong: *out += std::to_string(static_cast<int64_t>(db::DecodeFixed64(p))); return;
    case db::kFieldFloat: {
      const float value = db::DecodeFloat(p);
      std::string text = NumberText(value);
      *out += text == "null" && notation != Notation::kJson ? std::to_string(value) : text;
      return;
    }
    case db::kFieldDouble: {
      const double value = db::DecodeDouble(p);
      std::string text = NumberText(value);
      *out += text == "null" && notation != Notation::kJson ? std::to_string(value) : text;
      return;
    }
    case db::kFieldBool: *out += p[0] != 0 ? "true" : "false"; return;
    case db::kFieldDateTime:
      *out += Quoted(IsoDateTime(db::ClampDateTime(db::DecodeDouble(p))), notation);
      return;
    case db::kFieldRoutine: *out += std::to_string(db::DecodeFixed32(p)); return;
    case db::kFieldText:
    case db::kFieldMemo:
      if (notation == Notation::kJson) {
        std::string utf8;
        AppendGbkAsUtf8(stored, &utf8);
        *out += JsonString(utf8);
      } else {
        AppendGbkAsUtf8(stored, out);
      }
      return;
    case db::kFieldByteSet: {
      std::string hex = HexText(stored);
      if (notation == Notation::kJson) {
        *out += JsonString(hex);
      } else {
        if (notation == Notation::kCsv && !hex.empty()) *out += "0x";
        *out += hex;
      }
      return;
    }
    default:
      if (notation == Notation::kJson) *out += "null";
      return;
  }
}

const char* TypeWord(uint32_t field_type) {
  switch (field_type) {
    case db::kFieldByte: return "byte";
    case db::kFieldShort: return "short";
    case db::kFieldInt: return "int";
    case db::kFieldLong: return "long";
    case db::kFieldFloat: return "float";
    case db::kFieldDouble: return "double";
    case db::kFieldBool: return "bool";
    case db::kFieldDateTime: return "datetime";
    case db::kFieldRoutine: return "routine";
    case db::kFieldText: return "text";
    case db::kFieldByteSet: return "bytes";
    case db::kFieldMemo: return "memo";
    default: return "unknown";
  }
}

}  // namespace memo::mcn
