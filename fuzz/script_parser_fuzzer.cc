// Scenario scripts are read from files anyone can write: parsing never crashes, and every field
// the parser accepts, written back as a script would write it, splits back to the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "tools/script/script_syntax.h"
#include "tools/script/steps.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  memo::script::Script script;
  memo::script::ScriptError error;
  if (memo::script::ParseScript(text, &script, &error)) {
    int last = 0;
    for (const memo::script::Step& step : script.steps) {
      if (!step.spec || step.line <= last) std::abort();
      last = step.line;
    }
  } else if (error.line < 1 || error.message.empty()) {
    std::abort();
  }

  size_t end = text.find('\n');
  std::string_view line = text.substr(0, end);
  std::vector<memo::script::Field> fields;
  std::string message;
  if (!memo::script::SplitFields(line, &fields, &message)) return 0;
  for (const memo::script::Field& field : fields) {
    if (field.plain().find('\0') != std::string::npos) continue;  // scripts refuse NUL lines
    std::vector<memo::script::Field> again;
    std::string written = "x " + memo::script::QuoteForScript(field.plain());
    if (!memo::script::SplitFields(written, &again, &message)) std::abort();
    if (again.size() != 2 || again[1].plain() != field.plain()) std::abort();
  }
  return 0;
}
