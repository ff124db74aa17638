// GBK <-> UTF-8, the only conversion of texts; used at the program's edges (file names, widgets,
// scripts, mcn output) and to turn UTF-8 source literals into GBK constants.
#pragma once

#include <string>
#include <string_view>

namespace memo {

// Characters that cannot be converted become '?'; never fails.
std::string GbkToUtf8(std::string_view gbk);
std::string Utf8ToGbk(std::string_view utf8);

// Strict variants: false when some bytes do not convert.
bool GbkToUtf8Strict(std::string_view gbk, std::string* out);
bool Utf8ToGbkStrict(std::string_view utf8, std::string* out);

}  // namespace memo
