// Values between mcn's UTF-8 texts and the engine's typed values, field type by field type.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "db/record_format.h"
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

// Converts a UTF-8 text into a value for `field`, strictly: a text that does not fit the field is
// refused with the reason in *error (the text and why; the caller names the field and where the
// text came from). Per field type:
//   byte, short, int, long  a decimal integer ("-12", "+7") inside the type's range
//   float, double           a decimal number ("1.5", "-2e10", ".5"), "inf", "-inf" or "nan",
//                           inside the type's range
//   bool                    one of kTrueWords or kFalseWords, ASCII letters in any case
//   datetime                a form ParseDateTime accepts that names a real moment within
//                           0100-01-01T00:00:00 .. 9999-12-31T00:00:00 (what a field gives back)
//   text                    any text GBK can hold without a NUL; a text longer than the field is
//                           cut as the engine cuts it (never inside a character) and *warning says
//                           so
//   memo                    any text GBK can hold without a NUL
//   bytes                   hex digits, an even number of them, optionally after "0x"
// Spaces around numbers, logical words, date-times and hex are ignored. An empty text leaves the
// field empty (the cell is left omitted: zero, false, empty text); for a date-time that is the
// empty date 0100-01-01. A routine-pointer field takes no value but the empty one.
bool MakeFieldValue(const db::FieldDescriptor& field, std::string_view utf8, FieldValue* value,
                    std::string* error, std::string* warning);

// The logical words mcn reads.
extern const char* const kTrueWords[7];
extern const char* const kFalseWords[7];

// How mcn prints a field's value; `cell` is what the engine's read field returned for a field of
// `field_type`. Texts and memos come back as UTF-8.
enum class Notation { kJson, kCsv, kPlain };
std::string FormatValue(uint32_t field_type, const TypedValue& cell, Notation notation);

// FormatValue of the value that reading the field gives for `stored` (StoredValueBytes of the
// field: a text or memo without NULs, a byte-set's bytes, the raw bytes of any other type),
// appended to *out without making the typed value. A fixed-size field's bytes must be whole.
void AppendStoredValue(const db::FieldDescriptor& field, std::string_view stored, Notation notation,
                       std::string* out);

// GbkToUtf8(gbk) appended to *out. Characters are converted once each and then taken from a
// table; a text with anything the table does not vouch for (a byte 0x80, a lead byte at the end,
// a pair GBK has no character for) goes through GbkToUtf8 whole.
void AppendGbkAsUtf8(std::string_view gbk, std::string* out);

// The type word mcn uses for a stored type code ("byte", "short", ..., "memo"; "routine" for 9).
const char* TypeWord(uint32_t field_type);

}  // namespace memo::mcn
