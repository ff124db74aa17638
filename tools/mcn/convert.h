// Values between mcn's UTF-8 texts and the engine's typed values, field type by field type.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/value.h"

namespace memo::mcn {

// A value ready for the engine's add command. `cell` may point into `storage` (text bytes with
// their NUL, or a byte-set block), so the FieldValue must outlive every use of the cell and must
// not be copied after MakeFieldValue (moving a std::string may move its bytes).
struct FieldValue {
  TypedValue cell;
  std::string storage;
  FieldValue() = default;
  FieldValue(const FieldValue&) = delete;
  FieldValue& operator=(const FieldValue&) = delete;
};

// Converts a UTF-8 text into a value for a field of `field_type` (the stored type code), the way
// a grid cell set from text converts it: byte, short and integer by decimal parsing with no range
// check (the low bits are kept), long by 64-bit parsing, single and double by floating-point
// parsing (text that is no number gives 0); logical true for "1", "真", "true", "t", "zheng",
// "zhen", "zeng", "zen", "z" in any letter case, else false; date-time by ParseDateTime, and a
// text that does not parse gives the empty date -657434; text and memo the GBK form of the text.
// Byte-sets take the GBK bytes of the text, except that "0x" followed by an even number of hex
// digits (the form mcn writes) gives those bytes. False, with the reason in *error, for a field
// type mcn cannot write (a routine pointer) and for a text with characters GBK cannot hold (they
// would be stored as '?').
bool MakeFieldValue(uint32_t field_type, std::string_view utf8, FieldValue* value,
                    std::string* error);

// The truth words of the conversion above.
bool IsTrueWord(std::string_view utf8);

// How mcn prints a field's value; `cell` is what the engine's read field returned for a field of
// `field_type`. Texts and memos come back as UTF-8.
enum class Notation { kJson, kCsv, kPlain };
std::string FormatValue(uint32_t field_type, const TypedValue& cell, Notation notation);

// The type word mcn uses for a stored type code ("byte", "short", ..., "memo"; "routine" for 9).
const char* TypeWord(uint32_t field_type);

}  // namespace memo::mcn
