#include "tools/mcn/findings.h"

namespace memo::mcn {

const char* KindWord(db::FindingKind kind) {
  switch (kind) {
    case db::FindingKind::kDamage: return "damage";
    case db::FindingKind::kLeak: return "leak";
    case db::FindingKind::kNote: return "note";
  }
  return "";
}

void PrintFindings(const db::CheckReport& report, std::FILE* out) {
  for (const db::Finding& finding : report.findings) {
    std::fprintf(out, "%s: %s\n", KindWord(finding.kind), finding.text.c_str());
  }
}

}  // namespace memo::mcn
