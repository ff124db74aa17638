#include "tools/mcn/convert.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "db/record_format.h"
#include "platform/codec.h"
#include "runtime/text.h"
#include "tools/mcn/format.h"

namespace memo::mcn {

namespace {

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// Decimal parsing as the C library's atoll does it: leading space, a sign, digits; whatever
// follows is ignored and no digits give 0. Overflow keeps the low 64 bits rather than clamping.
int64_t ParseDecimal(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  uint64_t value = 0;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
    value = value * 10 + static_cast<uint64_t>(text[i++] - '0');
  }
  return static_cast<int64_t>(negative ? 0 - value : value);
}

double ParseFloating(std::string_view text) {
  std::string copy(text);
  return std::strtod(copy.c_str(), nullptr);
}

// Keeps a text's bytes plus NUL in storage and points the cell at them.
void SetText(std::string bytes, FieldValue* value) {
  value->storage = std::move(bytes);
  value->cell.tag = TypeTag::kText;
  value->cell.SetPointer(value->storage.c_str());
}

}  // namespace

bool IsTrueWord(std::string_view utf8) {
  static const char* const kWords[] = {"1", "真", "true", "t", "zheng", "zhen", "zeng", "zen", "z"};
  std::string lower = Lower(utf8);
  for (const char* word : kWords) {
    if (lower == word) return true;
  }
  return false;
}

bool MakeFieldValue(uint32_t field_type, std::string_view utf8, FieldValue* value,
                    std::string* error) {
  TypedValue& cell = value->cell;
  cell = TypedValue{};
  switch (field_type) {
    case db::kFieldByte:
      cell.tag = TypeTag::kByte;
      cell.low = static_cast<uint8_t>(ParseDecimal(utf8));
      return true;
    case db::kFieldShort:
      cell.tag = TypeTag::kShort;
      cell.low = static_cast<uint32_t>(static_cast<int32_t>(static_cast<int16_t>(ParseDecimal(utf8))));
      return true;
    case db::kFieldInt:
      cell.tag = TypeTag::kInt;
      cell.low = static_cast<uint32_t>(ParseDecimal(utf8));
      return true;
    case db::kFieldLong:
      cell.tag = TypeTag::kLong;
      cell.SetInt64(ParseDecimal(utf8));
      return true;
    case db::kFieldFloat:
      cell.tag = TypeTag::kFloat;
      cell.SetFloat(static_cast<float>(ParseFloating(utf8)));
      return true;
    case db::kFieldDouble:
      cell.tag = TypeTag::kDouble;
      cell.SetDouble(ParseFloating(utf8));
      return true;
    case db::kFieldBool:
      cell.tag = TypeTag::kBool;
      cell.low = IsTrueWord(utf8) ? 1 : 0;
      return true;
    case db::kFieldDateTime: {
      double day = db::kMinDateTime;
      if (!ParseDateTime(utf8, &day)) day = db::kMinDateTime;
      cell.tag = TypeTag::kDateTime;
      cell.SetDouble(day);
      return true;
    }
    case db::kFieldText:
    case db::kFieldMemo: {
      std::string gbk;
      if (!Utf8ToGbkStrict(utf8, &gbk)) {
        *error = "text has characters that GBK cannot hold: " + std::string(utf8);
        return false;
      }
      SetText(std::move(gbk), value);
      return true;
    }
    case db::kFieldByteSet: {
      std::string bytes;
      if (!(utf8.size() >= 2 && utf8.substr(0, 2) == "0x" && ParseHex(utf8.substr(2), &bytes)) &&
          !Utf8ToGbkStrict(utf8, &bytes)) {
        *error = "text has characters that GBK cannot hold: " + std::string(utf8);
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
      *error = std::string("mcn cannot write a ") + TypeWord(field_type) + " field";
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
    case db::kFieldByte:
      return std::to_string(cell.low & 0xFF);
    case db::kFieldShort:
      return std::to_string(static_cast<int16_t>(cell.low));
    case db::kFieldInt:
      return std::to_string(static_cast<int32_t>(cell.low));
    case db::kFieldLong:
      return std::to_string(cell.Int64());
    case db::kFieldFloat: {
      std::string text = NumberText(cell.Float());
      return text == "null" && notation != Notation::kJson ? std::to_string(cell.Float()) : text;
    }
    case db::kFieldDouble: {
      std::string text = NumberText(cell.Double());
      return text == "null" && notation != Notation::kJson ? std::to_string(cell.Double()) : text;
    }
    case db::kFieldBool:
      return cell.low != 0 ? "true" : "false";
    case db::kFieldDateTime:
      return Quoted(IsoDateTime(cell.Double()), notation);
    case db::kFieldRoutine:
      return std::to_string(cell.low);
    case db::kFieldText:
    case db::kFieldMemo:
      return Quoted(TextOf(cell), notation);
    case db::kFieldByteSet: {
      const void* block = cell.Pointer();
      std::string_view bytes(reinterpret_cast<const char*>(ByteSetData(block)),
                             static_cast<size_t>(ByteSetSize(block)));
      std::string hex = HexText(bytes);
      if (notation == Notation::kJson) return JsonString(hex);
      return notation == Notation::kCsv && !hex.empty() ? "0x" + hex : hex;
    }
    default:
      return notation == Notation::kJson ? "null" : "";
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
