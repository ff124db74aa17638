// Conversions between value cells and the kinds of unit properties: integer, logical, text,
// byte-set, colour. Every result cell that holds a block owns it (the caller of ReadProperty
// releases it).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/value.h"

namespace memo::ui {

// A written value as an integer: numeric values by the runtime's integer conversion, logical
// values as 0/1, a text by decimal parsing; anything else 0.
int32_t PropertyInt(const TypedValue& value);
// A written value as a logical: Bool its value, numbers non-zero, texts "真"/"1"/"true"; else
// false.
bool PropertyBool(const TypedValue& value);
// A written value as text (GBK): a text as it is, other basic values as the value-to-text
// conversion gives them.
std::string PropertyText(const TypedValue& value);
// A written value as bytes: a byte-set's bytes, a text's bytes; anything else empty.
std::string PropertyBytes(const TypedValue& value);

// Result cells (tag set; blocks from the runtime heap, null for empty texts and byte-sets).
TypedValue IntResult(int32_t v);
TypedValue BoolResult(bool v);
TypedValue TextResult(std::string_view gbk);
TypedValue ByteSetResult(std::string_view bytes);

// Position and size clamps of the common properties.
constexpr int32_t kMaxPosition = 32627;
int32_t ClampPosition(int64_t v);
int32_t ClampSize(int64_t v);

}  // namespace memo::ui
