// GBK bytes of a UTF-8 literal: how every test writes the program's texts, which are GBK inside
// the program. The one copy for all tests.
#pragma once

#include <string>

#include "platform/codec.h"

namespace memo::testing {

inline std::string G(const char* utf8) { return Utf8ToGbk(utf8); }

}  // namespace memo::testing
