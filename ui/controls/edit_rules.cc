#include "ui/controls/edit_rules.h"

#include <algorithm>
#include <cstring>

#include "platform/gbk.h"

namespace memo::ui {

namespace {

using platform::InputDecision;

// The bytes of `text` that stay when `selection` is replaced.
size_t KeptBytes(std::string_view text, Selection selection) {
  size_t size = text.size();
  size_t start = static_cast<size_t>(std::clamp<long long>(selection.start, 0, size));
  size_t length = selection.length < 0
                      ? size - start
                      : std::min(static_cast<size_t>(selection.length), size - start);
  return size - length;
}

// The head of `text` before its first line break (a character CR or LF).
std::string_view FirstLine(std::string_view text) {
  for (size_t i = 0; i < text.size(); i = NextGbkChar(text, i)) {
    if (text[i] == '\r' || text[i] == '\n') return text.substr(0, i);
  }
  return text;
}

std::string Fit(const EditRules& rules, size_t kept, std::string_view insertion) {
  if (!rules.multi_line) insertion = FirstLine(insertion);
  std::string fitted = ApplyCase(rules.case_conversion, insertion);
  if (rules.max_bytes > 0) {
    size_t limit = static_cast<size_t>(rules.max_bytes);
    fitted.resize(GbkFitPrefix(fitted, kept >= limit ? 0 : limit - kept));
  }
  return fitted;
}

// The common head of two texts in whole characters. The equal bytes at the start split into the
// same characters in both texts (they begin on the same boundary, 0), so the head ends at the
// last character of `after` that lies wholly inside them; a character reaching past them differs
// in a byte or is cut short in one of the texts. A change made at the end of a long text costs no
// character-by-character walk over all that comes before it.
size_t CommonHead(std::string_view before, std::string_view after) {
  const size_t limit = std::min(before.size(), after.size());
  // Whole blocks by memcmp (the library's fast compare), then the bytes of the first that differs.
  constexpr size_t kBlock = 256;
  size_t equal = 0;
  while (equal + kBlock <= limit &&
         std::memcmp(before.data() + equal, after.data() + equal, kBlock) == 0) {
    equal += kBlock;
  }
  while (equal < limit && before[equal] == after[equal]) ++equal;
  // Only a lead byte starts a two-byte character, so a byte that is none ends one: the bytes
  // after the last such byte before `equal` start on a boundary, and only they need walking.
  size_t head = equal;
  while (head > 0 && IsLeadByte(static_cast<unsigned char>(after[head - 1]))) --head;
  while (head < equal) {
    const size_t next = NextGbkChar(after, head);
    if (next > equal) break;
    head = next;
  }
  return head;
}

}  // namespace

std::string ApplyCase(CaseConversion conversion, std::string_view text) {
  switch (conversion) {
    case CaseConversion::kLower: return GbkAsciiToLower(text);
    case CaseConversion::kUpper: return GbkAsciiToUpper(text);
    case CaseConversion::kNone: break;
  }
  return std::string(text);
}

std::string FitInsertion(const EditRules& rules, std::string_view text, Selection selection,
                         std::string_view insertion) {
  return Fit(rules, KeptBytes(text, selection), insertion);
}

InputDecision DecideTypedCharacter(const EditRules& rules, std::string_view text,
                                   Selection selection, uint32_t character) {
  std::string typed;
  if (character == 13 || character == 9) {
    // A single-line field inserts neither; the runtime's window keys see them first anyway.
    if (!rules.multi_line) return InputDecision::Pass();
    typed = character == 13 ? "\r\n" : "\t";
  } else if (character < 32 || character == 127) {
    return InputDecision::Pass();
  } else {
    typed = GbkCharBytes(character);
    if (typed.empty()) return InputDecision::Pass();
  }
  std::string fitted = FitInsertion(rules, text, selection, typed);
  if (fitted.size() < typed.size()) return InputDecision::Swallow();
  if (fitted != typed) return InputDecision::Replace(GbkCharCodeAt(fitted, 0));
  return InputDecision::Pass();
}

std::optional<EditFix> FixUserChange(const EditRules& rules, std::string_view before,
                                     std::string_view after) {
  const size_t head = CommonHead(before, after);
  // The common tail: equal bytes that overlap neither head, starting on a character boundary of
  // both texts (identical bytes from a boundary on split into the same characters).
  size_t room = std::min(before.size(), after.size()) - head;
  size_t tail = 0;
  while (tail < room && before[before.size() - 1 - tail] == after[after.size() - 1 - tail]) {
    ++tail;
  }
  while (tail > 0 && !(IsGbkCharBoundary(before, before.size() - tail) &&
                       IsGbkCharBoundary(after, after.size() - tail))) {
    --tail;
  }
  std::string_view inserted = after.substr(head, after.size() - tail - head);
  if (inserted.empty()) return std::nullopt;  // a deletion: always allowed
  std::string fitted = Fit(rules, after.size() - inserted.size(), inserted);
  if (fitted.empty()) {
    // Nothing of it fits: the change is refused, and the caret stays where it was made.
    return EditFix{std::string(before), static_cast<int>(before.size() - tail)};
  }
  if (fitted == inserted) return std::nullopt;  // kept the rules: the text stays as it is
  std::string text(after.substr(0, head));
  text += fitted;
  text += after.substr(after.size() - tail);
  return EditFix{std::move(text), static_cast<int>(head + fitted.size())};
}

}  // namespace memo::ui
