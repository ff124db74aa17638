// Text library commands: RemoveAllSpaces, SplitText, ToText. Each is a CommandRoutine; each
// result is a new block owned by the caller, null for the empty text. None reports a run-time
// error (allocation failure aside).
#pragma once

#include <cstdint>

#include "runtime/value.h"

namespace memo {

// text (Text) -> Text: the text without ASCII spaces (0x20) and full-width spaces (0xA1 0xA1).
void RemoveAllSpaces(TypedValue* result, int32_t arg_count, TypedValue* args);

// text (Text), [delimiter (Text) = ","], [maximum parts (Int) = no limit] -> array of Text
// (a one-dimension text array block in the data words).
void SplitText(TypedValue* result, int32_t arg_count, TypedValue* args);

// value (any type) -> Text: the value-to-text rules; a byte-set (or a one-dimension numeric
// array's element bytes) up to its first zero byte; anything else empty.
void ToText(TypedValue* result, int32_t arg_count, TypedValue* args);

}  // namespace memo
