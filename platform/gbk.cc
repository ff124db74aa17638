#include "platform/gbk.h"

#include <algorithm>

namespace memo {

namespace {

unsigned char ByteAt(std::string_view text, size_t at) {
  return static_cast<unsigned char>(text[at]);
}

template <typename Convert>
std::string MapAsciiLetters(std::string_view text, Convert convert) {
  std::string out(text);
  for (size_t i = 0; i < out.size();) {
    size_t size = GbkCharSize(out, i);
    if (size == 1) out[i] = static_cast<char>(convert(static_cast<unsigned char>(out[i])));
    i += size;
  }
  return out;
}

}  // namespace

size_t GbkCharSize(std::string_view text, size_t at) {
  if (at >= text.size()) return 0;
  if (IsLeadByte(ByteAt(text, at)) && at + 1 < text.size() && text[at + 1] != '\0') return 2;
  return 1;
}

size_t NextGbkChar(std::string_view text, size_t at) {
  if (at >= text.size()) return text.size();
  return at + GbkCharSize(text, at);
}

size_t PreviousGbkChar(std::string_view text, size_t at) {
  at = std::min(at, text.size());
  size_t start = 0;
  for (size_t i = 0; i < at; i = NextGbkChar(text, i)) start = i;
  return start;
}

size_t GbkCharStart(std::string_view text, size_t at) {
  if (at >= text.size()) return text.size();
  size_t i = 0;
  for (size_t next = NextGbkChar(text, 0); next <= at; next = NextGbkChar(text, next)) i = next;
  return i;
}

bool IsGbkCharBoundary(std::string_view text, size_t at) {
  if (at >= text.size()) return at == text.size();
  return GbkCharStart(text, at) == at;
}

size_t GbkCharCount(std::string_view text) {
  size_t count = 0;
  for (size_t i = 0; i < text.size(); i = NextGbkChar(text, i)) ++count;
  return count;
}

size_t GbkFitPrefix(std::string_view text, size_t limit) {
  if (limit >= text.size()) return text.size();
  size_t i = 0;
  for (size_t next = NextGbkChar(text, 0); next <= limit; next = NextGbkChar(text, next)) {
    i = next;
    if (next == text.size()) break;
  }
  return i;
}

std::string GbkAsciiToLower(std::string_view text) {
  return MapAsciiLetters(text, [](unsigned char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c - 'A' + 'a') : c;
  });
}

std::string GbkAsciiToUpper(std::string_view text) {
  return MapAsciiLetters(text, [](unsigned char c) {
    return c >= 'a' && c <= 'z' ? static_cast<unsigned char>(c - 'a' + 'A') : c;
  });
}

uint32_t GbkCharCodeAt(std::string_view text, size_t at) {
  size_t size = GbkCharSize(text, at);
  if (size == 0) return 0;
  if (size == 1) return ByteAt(text, at);
  return (static_cast<uint32_t>(ByteAt(text, at)) << 8) | ByteAt(text, at + 1);
}

std::string GbkCharBytes(uint32_t code) {
  if (code == 0 || code > 0xFFFF) return std::string();
  if (code < 0x80) return std::string(1, static_cast<char>(code));
  unsigned char lead = static_cast<unsigned char>(code >> 8);
  unsigned char trail = static_cast<unsigned char>(code & 0xFF);
  if (!IsLeadByte(lead) || trail == 0) return std::string();
  return std::string{static_cast<char>(lead), static_cast<char>(trail)};
}

}  // namespace memo
