// The characters of a GBK text, the one definition every layer walks texts by.
//
// A byte of 0x80 or more is the lead byte of a two-byte character and always goes together with
// the byte after it. A lead byte with nothing after it (the end of the text, or a NUL) is a broken
// character of one byte. Every other byte is a character of its own. So a text splits into
// characters in exactly one way, scanning from its start; offsets that fall between the two bytes
// of a character are never character boundaries.
//
// A character code is how input carries one character: a single byte below 0x80 as itself, a
// two-byte character as (lead << 8) | trail.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace memo {

constexpr bool IsLeadByte(unsigned char c) { return c >= 0x80; }

// Bytes of the character that starts at `at`: 2 for a lead byte followed by a non-NUL byte, else
// 1; 0 at or past the end.
size_t GbkCharSize(std::string_view text, size_t at);

// The offset after the character that starts at `at` (text.size() at or past the end).
size_t NextGbkChar(std::string_view text, size_t at);

// The start of the character that ends at or spans offset `at` (0 for at == 0); for `at` past the
// end, the start of the last character.
size_t PreviousGbkChar(std::string_view text, size_t at);

// The start of the character that holds byte `at` (`at` itself when it is a boundary); offsets
// at or past the end give text.size().
size_t GbkCharStart(std::string_view text, size_t at);

bool IsGbkCharBoundary(std::string_view text, size_t at);

// Characters in the text (a broken character counts as one).
size_t GbkCharCount(std::string_view text);

// The length of the longest prefix of at most `limit` bytes that ends on a character boundary.
size_t GbkFitPrefix(std::string_view text, size_t limit);

// ASCII letters that are characters of their own change case; two-byte characters (whose trail
// bytes may look like letters) stay as they are.
std::string GbkAsciiToLower(std::string_view text);
std::string GbkAsciiToUpper(std::string_view text);

// The code of the character that starts at `at` (0 at or past the end; a broken character gives
// its lead byte alone).
uint32_t GbkCharCodeAt(std::string_view text, size_t at);

// The bytes of a character code, or "" when the code is no character: codes 0x80..0xFF (a lead
// byte alone), codes above 0xFFFF, and two-byte codes whose first byte is no lead byte or whose
// second byte is NUL. Code 0 gives "" too.
std::string GbkCharBytes(uint32_t code);

}  // namespace memo
