// The steps of scenario scripts: what a parsed step holds, the table of step kinds, and the parser
// that turns a script's text into steps.
//
// Every step kind has one row in the table (steps.cc): its name, its field counts, a parse
// routine that checks and converts the fields, and a run routine. A kind that this build cannot
// run yet keeps its row with `unavailable` set, so that a script using it is refused as malformed
// with that reason, never passed.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/backend.h"
#include "tools/script/keys.h"
#include "tools/script/script_syntax.h"

namespace memo::script {

class ScriptRunner;
struct StepSpec;

// A window as a script names it.
struct WindowName {
  uint32_t id = 0;
  std::string shown;  // as written: "login" or "0x52010009"
};

// A unit as a script names it: by definition name, by id, or the window unit.
struct UnitName {
  enum class Kind { kName, kId, kWindow };
  Kind kind = Kind::kWindow;
  std::string name_gbk;
  uint32_t id = 0;
  std::string shown;  // as written
};

// One step, checked and converted. Texts meant for the program are GBK; file names stay as
// written (UTF-8, as the file system holds them).
struct Step {
  int line = 0;
  std::string source;  // the line as written, for tracing
  const StepSpec* spec = nullptr;

  WindowName window;
  UnitName unit;
  std::string text;                // TEXT, CAPTION, VALUE, TITLE (GBK); copy-file: the COPY
  std::string text2;               // the TEXT of expect-box (GBK)
  std::vector<std::string> texts;  // ITEM... / CAPTION... (GBK)
  int64_t number = 0;              // INDEX, PROP, CODE, X, ROW, N
  int64_t number2 = 0;             // Y, COL
  bool extend = false;             // cell ... shift
  std::optional<int64_t> size;     // expect-file
  KeyStroke key;
  std::optional<int> button;  // answer: the button id, or nullopt for the close control
  platform::LocalTime clock;
  std::string file_name;
  std::string digest;  // expect-md5: 32 lower-case hex digits
};

enum class StepKind {
  kStart,  // start
  kWorld,  // sets up the world or queues answers: clock, mouse, answer, choose, files
  kAct,    // a person acting on a window
  kCheck,  // an expectation
};

struct StepSpec {
  const char* name;
  const char* usage;  // "type WINDOW UNIT TEXT"
  StepKind kind;
  int min_fields;  // after the step's name
  int max_fields;  // -1: no limit
  // Converts the fields (without the step name); false with *error set when they are wrong.
  bool (*parse)(const std::vector<Field>& fields, Step* step, std::string* error);
  // Runs the step; a failed expectation ends in runner.Fail(...). Null for start.
  void (*run)(ScriptRunner& runner, const Step& step);
  // Non-null: this build cannot run the step, for this reason; scripts using it are malformed.
  const char* unavailable;
};

// The row of a step name, or null.
const StepSpec* FindStep(std::string_view name);
// Every row, in table order.
const std::vector<const StepSpec*>& AllSteps();

struct Script {
  std::string path;  // as given, for messages
  std::vector<Step> steps;
  int line_count = 0;
};

struct ScriptError {
  int line = 0;  // 0: the script as a whole
  std::string message;
};

// Parses a whole script. Blank lines and comments give no step; a script may say `start` at
// most once. False with *error at the first malformed line.
bool ParseScript(std::string_view text, Script* script, ScriptError* error);

}  // namespace memo::script
