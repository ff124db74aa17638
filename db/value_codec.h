// Field values: how a typed value becomes the bytes of a field, and stored bytes a typed value.
//
// On write: logical as 1 byte 0/1; text copied with its NUL and cut to the declared length, never
// inside a double-byte character, zero-padded; memo text without its NUL; byte-sets as their
// bytes; numbers converted to the field's numeric type; everything else raw, little-endian.
// On read: a non-zero logical byte is true; text ends at the first NUL or the declared length;
// memo text at its first NUL; date-times are held within 0100-01-01 .. 9999-12-31.
#pragma once

#include <string>
#include <string_view>

#include "db/engine_code.h"
#include "db/record_format.h"
#include "runtime/value.h"

namespace memo::db {

// kOk when `value` may be stored in `field`: its kind equals the field's value kind, or both are
// numeric. A user-defined type, an array or any other kind is kValueTypeMismatch (-72).
EngineCode CheckValueForField(const FieldDescriptor& field, const TypedValue& value);

// Writes a value into a fixed-size (non-chain) field. REQUIRES: CheckValueForField passed;
// dst has field.Size() bytes.
void EncodeFixedValue(const FieldDescriptor& field, const TypedValue& value, char* dst);

// The bytes a memo (text up to its NUL) or byte-set value stores in its chain.
// REQUIRES: CheckValueForField passed for a chain field; the view lives as long as `value`.
std::string_view ChainBytesOf(const TypedValue& value);

// The value bytes of a field as stored: for text the bytes before the first NUL (at most the
// declared length), for memo the chain bytes before the first NUL, for byte-sets the chain bytes,
// for every other type the raw field bytes. `raw` is the field's record bytes, or the chain
// content for chain fields.
std::string_view StoredValueBytes(const FieldDescriptor& field, std::string_view raw);

// A typed value made from StoredValueBytes: numbers from their little-endian bytes, logical,
// clamped date-time, text and byte-set blocks from the runtime heap (null when empty), owned by
// the caller.
TypedValue MakeFieldValue(const FieldDescriptor& field, std::string_view value_bytes);

// The empty value of a field's type (zero, false, day 0, empty text or byte-set).
TypedValue EmptyFieldValue(const FieldDescriptor& field);

// Stores `text` in a text field of `length` bytes: the text up to its NUL, cut so that no
// double-byte character is split, then zero-padded. REQUIRES: dst has `length` bytes.
void EncodeTextField(std::string_view text, uint32_t length, char* dst);

// A date-time day number held within the days of 0100-01-01 and 9999-12-31.
double ClampDateTime(double day_number);

}  // namespace memo::db
