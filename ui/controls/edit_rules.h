// The rules an edit field holds its user's input to: a length limit in GBK bytes and ASCII case
// conversion. Written once, above the seam: the native edit boxes of every backend apply neither.
//
// Typed characters are judged one by one before the box sees them (DecideTypedCharacter, for a
// unit's input filter). Changes that arrive whole, without characters (paste, drag and drop, an
// input method's text, undo), are judged after the fact (FixUserChange) and set right.
//
// Invariants kept for the user's input: the inserted text is converted (lower or upper case,
// ASCII letters only, two-byte characters untouched); an insertion is cut at a whole character to
// the bytes the limit leaves, so the text never grows past the limit and no two-byte character
// is ever split; an insertion of which nothing fits is refused as a whole. Deleting is always
// allowed, also in a text the program made longer than the limit. A single-line field takes an
// inserted text up to its first line break.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/input.h"

namespace memo::ui {

enum class CaseConversion { kNone, kLower, kUpper };

struct EditRules {
  int max_bytes = 0;  // 0: unlimited
  CaseConversion case_conversion = CaseConversion::kNone;
  bool multi_line = false;  // Enter types CR LF and Tab a tab; line breaks may be inserted
};

// A selection in bytes; a length below 0 reaches to the end.
struct Selection {
  int start = 0;
  int length = 0;
};

// The text with its ASCII letters converted.
std::string ApplyCase(CaseConversion conversion, std::string_view text);

// What `insertion` becomes when it replaces `selection` of `text` under the rules: converted,
// cut at the first line break for a single-line field, then cut at a whole character to the
// bytes the limit leaves (possibly to nothing).
std::string FitInsertion(const EditRules& rules, std::string_view text, Selection selection,
                         std::string_view insertion);

// A typed character aimed at a field holding `text` with `selection`: passed, replaced by its
// converted form, or swallowed when it does not fit. Characters that insert nothing (Backspace,
// the clipboard keys, other control characters, codes that are no character) pass.
platform::InputDecision DecideTypedCharacter(const EditRules& rules, std::string_view text,
                                             Selection selection, uint32_t character);

// The text and caret that a change the user made (from `before` to `after`) turns into under the
// rules, or nullopt when `after` keeps them already. The change is taken as one replacement: the
// longest common head and tail (in whole characters) stay, what lies between them in `after` is
// the insertion.
struct EditFix {
  std::string text;
  int caret = 0;  // byte offset
};
std::optional<EditFix> FixUserChange(const EditRules& rules, std::string_view before,
                                     std::string_view after);

}  // namespace memo::ui
