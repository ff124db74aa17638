// How a table cell of a record file reads as text and how a typed text is stored, by field type.
// The database provider (db_provider.h) uses these for its get-cell-as-text and set-cell-from-text
// operations; they are free of any file so that the rules can be checked on their own.
//
// Cell to text:  byte "%u"; short, integer decimal; long 64-bit decimal; single "%.6g"; double
//                "%.13g"; logical "真"/"假"; date-time as the runtime writes it
//                ("2014年7月10日9时5分"), the empty date (-657434) as ""; text and memo as stored;
//                byte-set its bytes.
// Text to value: byte, short, integer and long by decimal parsing (no range check: the number's
//                low bytes are stored); single and double by floating-point parsing; logical true
//                for "1", "真", "true", "t", "zheng", "zhen", "zeng", "zen", "z" in any ASCII case;
//                date-time by the runtime's parser, the empty date when it does not parse; text and
//                memo the text; byte-set the text's bytes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "db/record_format.h"
#include "runtime/value.h"

namespace memo::db {

// The date-time value of an empty date cell.
constexpr double kEmptyDate = kMinDateTime;

// The text of a field value as a cell shows it (GBK). `value` is what reading the field gave.
std::string CellTextOf(const FieldDescriptor& field, const TypedValue& value);

// The value that storing `text` in `field` writes. Text and byte-set values hold new runtime-heap
// blocks owned by the caller (release with ReleaseValue). False for a field type that has no text
// form (a subroutine pointer field); *out is then left empty.
bool FieldValueFromText(const FieldDescriptor& field, std::string_view text, TypedValue* out);

// Whether a text a person typed (or pasted) into a cell of a field of type `field_type` is a
// value of that type. Storing a text converts whatever it is (above), so that a typing mistake
// would store the empty date or a 0 in place of the old value; views check first and refuse.
// The empty text is always a value (it clears a date, zeroes a number). A date-time must parse;
// byte, short, integer and long take decimal digits with an optional sign, single and double a
// floating-point number, each with nothing else but spaces around it. Logical, text, memo and
// byte-set cells take any text.
enum class CellTextFault { kNone, kNotADate, kNotANumber };
CellTextFault CheckCellText(uint32_t field_type, std::string_view text);

// Decimal parsing as typed numbers are read: leading spaces, an optional sign, then digits up to
// the first other character; no digits give 0; values beyond the 64-bit range saturate.
int64_t ParseDecimal(std::string_view text);
// Floating-point parsing of the longest number at the start (after spaces and an optional "+");
// 0 when there is none.
double ParseFloating(std::string_view text);
// The logical words above, ASCII case ignored; anything else is false.
bool ParseLogical(std::string_view text_gbk);

}  // namespace memo::db
