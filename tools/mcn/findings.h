// Printing what the integrity walk found, as check and repair show it.
#pragma once

#include <cstdio>

#include "db/check.h"

namespace memo::mcn {

// "damage", "leak" or "note".
const char* KindWord(db::FindingKind kind);

// One line per finding: "<kind>: <text>".
void PrintFindings(const db::CheckReport& report, std::FILE* out = stdout);

}  // namespace memo::mcn
