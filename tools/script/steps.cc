#include "tools/script/steps.h"

#include <cctype>
#include <cstdlib>

#include "app/windows/program_routines.h"
#include "platform/message_box.h"
#include "tools/script/step_routines.h"

namespace memo::script {

namespace {

// --- Field readers ------------------------------------------------------------------------

bool ReadHex32(std::string_view text, uint32_t* out) {
  if (text.size() < 3 || text.size() > 10 || text[0] != '0' || (text[1] != 'x' && text[1] != 'X'))
    return false;
  uint32_t value = 0;
  for (size_t i = 2; i < text.size(); ++i) {
    char c = text[i];
    int digit = (c >= '0' && c <= '9')   ? c - '0'
                : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                         : -1;
    if (digit < 0) return false;
    value = value * 16 + static_cast<uint32_t>(digit);
  }
  *out = value;
  return true;
}

bool ReadInteger(const Field& field, int64_t min, int64_t max, const char* what, int64_t* out,
                 std::string* error) {
  const std::string& text = field.plain();
  size_t i = (!text.empty() && (text[0] == '-' || text[0] == '+')) ? 1 : 0;
  bool digits = i < text.size() && text.size() - i <= 12;
  for (size_t k = i; k < text.size() && digits; ++k) digits = text[k] >= '0' && text[k] <= '9';
  if (!digits) {
    *error = std::string(what) + " must be a whole number, not " + QuoteForScript(text);
    return false;
  }
  int64_t value = std::strtoll(text.c_str(), nullptr, 10);
  if (value < min || value > max) {
    *error = std::string(what) + " " + text + " is out of range (" + std::to_string(min) + " .. " +
             std::to_string(max) + ")";
    return false;
  }
  *out = value;
  return true;
}

bool ReadGbk(const Field& field, const char* what, std::string* out, std::string* error) {
  if (field.ToGbk(out)) return true;
  *error = std::string(what) + " " + QuoteForScript(field.plain()) +
           " has characters the program's code page (GBK) cannot hold";
  return false;
}

struct KnownWindow {
  const char* name;
  uint32_t id;
};
constexpr KnownWindow kWindows[] = {
    {"login", ui::kLoginWindowId},       {"main", ui::kMainWindowId},
    {"followup", ui::kFollowUpWindowId}, {"password", ui::kPasswordWindowId},
    {"intro", ui::kIntroWindowId},
};

bool ReadWindow(const Field& field, WindowName* out, std::string* error) {
  out->shown = field.plain();
  for (const KnownWindow& known : kWindows) {
    if (field.plain() == known.name) {
      out->id = known.id;
      return true;
    }
  }
  if (ReadHex32(field.plain(), &out->id)) return true;
  *error = "unknown window " + QuoteForScript(field.plain()) +
           " (login, main, followup, password, intro, or an id in hex such as 0x52010009)";
  return false;
}

bool ReadUnit(const Field& field, UnitName* out, std::string* error) {
  out->shown = field.plain();
  if (field.plain() == "window" && !field.quoted()) {
    out->kind = UnitName::Kind::kWindow;
    return true;
  }
  if (ReadHex32(field.plain(), &out->id)) {
    out->kind = UnitName::Kind::kId;
    return true;
  }
  out->kind = UnitName::Kind::kName;
  if (field.plain().empty()) {
    *error = "empty unit name";
    return false;
  }
  return ReadGbk(field, "unit name", &out->name_gbk, error);
}

// A file of the run directory: a plain name, no directories.
bool ReadFileName(const Field& field, std::string* out, std::string* error) {
  const std::string& name = field.plain();
  if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos ||
      name.find('\\') != std::string::npos || name.find('\0') != std::string::npos) {
    *error = "file name " + QuoteForScript(name) +
             " must name a file of the run directory (no directories)";
    return false;
  }
  *out = name;
  return true;
}

// --- Parse routines -------------------------------------------------------------------------

bool ParseNothing(const std::vector<Field>&, Step*, std::string*) { return true; }

bool ParseWindowOnly(const std::vector<Field>& f, Step* s, std::string* e) {
  return ReadWindow(f[0], &s->window, e);
}

bool ParseWindowUnit(const std::vector<Field>& f, Step* s, std::string* e) {
  return ReadWindow(f[0], &s->window, e) && ReadUnit(f[1], &s->unit, e);
}

bool ParseWindowUnitText(const std::vector<Field>& f, Step* s, std::string* e) {
  return ParseWindowUnit(f, s, e) && ReadGbk(f[2], "text", &s->text, e);
}

bool ParseWindowText(const std::vector<Field>& f, Step* s, std::string* e) {
  return ReadWindow(f[0], &s->window, e) && ReadGbk(f[1], "text", &s->text, e);
}

bool ParseClock(const std::vector<Field>& f, Step* s, std::string* e) {
  int y, mo, d, h, mi, sec;
  char tail;
  if (std::sscanf(f[0].plain().c_str(), "%4d-%2d-%2d%c", &y, &mo, &d, &tail) != 3 ||
      std::sscanf(f[1].plain().c_str(), "%2d:%2d:%2d%c", &h, &mi, &sec, &tail) != 3 ||
      f[0].plain().size() != 10 || f[1].plain().size() != 8) {
    *e = "clock needs YYYY-MM-DD HH:MM:SS";
    return false;
  }
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  int month_days = (mo >= 1 && mo <= 12) ? kDays[mo - 1] + (mo == 2 && leap ? 1 : 0) : 0;
  if (y < 100 || mo < 1 || mo > 12 || d < 1 || d > month_days || h > 23 || mi > 59 || sec > 59 ||
      h < 0 || mi < 0 || sec < 0) {
    *e = "no such date or time: " + f[0].plain() + " " + f[1].plain();
    return false;
  }
  platform::LocalTime& t = s->clock;
  t.year = y, t.month = mo, t.day = d, t.hour = h, t.minute = mi, t.second = sec;
  t.millisecond = 0;
  // Day of the week from the days since 1970-01-01, a Thursday (Howard Hinnant's days_from_civil).
  int yy = y - (mo <= 2 ? 1 : 0);
  int era = (yy >= 0 ? yy : yy - 399) / 400;
  int yoe = yy - era * 400;
  int doy = (153 * (mo + (mo > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  long days = static_cast<long>(era) * 146097 + doe - 719468;
  t.day_of_week = static_cast<int>(((days % 7) + 11) % 7);
  return true;
}

bool ParseMouse(const std::vector<Field>& f, Step* s, std::string* e) {
  return ReadInteger(f[0], -32768, 32767, "X", &s->number, e) &&
         ReadInteger(f[1], -32768, 32767, "Y", &s->number2, e);
}

bool ParseAnswer(const std::vector<Field>& f, Step* s, std::string* e) {
  if (f[0].plain() == "close") {
    s->button = std::nullopt;
    return true;
  }
  s->button = platform::ButtonFromName(f[0].plain());
  if (!s->button) {
    *e = "unknown button " + QuoteForScript(f[0].plain()) +
         " (OK, Cancel, Yes, No, Abort, Retry, Ignore or close)";
    return false;
  }
  return true;
}

bool ParseCaption(const std::vector<Field>& f, Step* s, std::string* e) {
  return ReadGbk(f[0], "caption", &s->text, e);
}

bool ParseKeyStep(const std::vector<Field>& f, Step* s, std::string* e) {
  return ParseWindowUnit(f, s, e) && ParseKey(f[2].plain(), &s->key, e);
}

bool ParseSelect(const std::vector<Field>& f, Step* s, std::string* e) {
  return ParseWindowUnit(f, s, e) && ReadInteger(f[2], 0, 1 << 30, "INDEX", &s->number, e);
}

bool ParseMenu(const std::vector<Field>& f, Step* s, std::string* e) {
  return ReadWindow(f[0], &s->window, e) && ReadGbk(f[1], "caption", &s->text, e);
}

bool ParseExpectBox(const std::vector<Field>& f, Step* s, std::string* e) {
  return ReadGbk(f[0], "title", &s->text, e) && ReadGbk(f[1], "text", &s->text2, e);
}

bool ParseExpectProperty(const std::vector<Field>& f, Step* s, std::string* e) {
  return ParseWindowUnit(f, s, e) && ReadInteger(f[2], 0, 0x7FFFFFFF, "PROP", &s->number, e) &&
         ReadGbk(f[3], "value", &s->text, e);
}

bool ParseExpectItems(const std::vector<Field>& f, Step* s, std::string* e) {
  if (!ParseWindowUnit(f, s, e)) return false;
  for (size_t i = 2; i < f.size(); ++i) {
    std::string item;
    if (!ReadGbk(f[i], "item", &item, e)) return false;
    s->texts.push_back(std::move(item));
  }
  return true;
}

bool ParseExpectSel(const std::vector<Field>& f, Step* s, std::string* e) {
  return ParseWindowUnit(f, s, e) && ReadInteger(f[2], -1, 1 << 30, "INDEX", &s->number, e);
}

constexpr int64_t kMaxGridIndex = 1 << 24;

bool ParseRowColumn(const Field& row, const Field& column, Step* s, std::string* e) {
  return ReadInteger(row, 0, kMaxGridIndex, "ROW", &s->number, e) &&
         ReadInteger(column, 0, kMaxGridIndex, "COL", &s->number2, e);
}

bool ParseCell(const std::vector<Field>& f, Step* s, std::string* e) {
  if (!ParseWindowUnit(f, s, e) || !ParseRowColumn(f[2], f[3], s, e)) return false;
  if (f.size() > 4) {
    if (f[4].plain() != "shift" || f[4].quoted()) {
      *e = "the fifth field of cell can only be shift, not " + QuoteForScript(f[4].plain());
      return false;
    }
    s->extend = true;
  }
  return true;
}

bool ParseExpectRows(const std::vector<Field>& f, Step* s, std::string* e) {
  return ParseWindowUnit(f, s, e) && ReadInteger(f[2], 0, kMaxGridIndex, "N", &s->number, e);
}

bool ParseExpectCell(const std::vector<Field>& f, Step* s, std::string* e) {
  return ParseWindowUnit(f, s, e) && ParseRowColumn(f[2], f[3], s, e) &&
         ReadGbk(f[4], "text", &s->text, e);
}

bool ParseExpectCursor(const std::vector<Field>& f, Step* s, std::string* e) {
  if (!ParseWindowUnit(f, s, e)) return false;
  // -1, -1: no cursor.
  return ReadInteger(f[2], -1, kMaxGridIndex, "ROW", &s->number, e) &&
         ReadInteger(f[3], -1, kMaxGridIndex, "COL", &s->number2, e);
}

bool ParseExpectCell4(const std::vector<Field>& f, Step* s, std::string* e) {
  return ParseWindowUnit(f, s, e) && ParseRowColumn(f[2], f[3], s, e);
}

bool ParseExpectPopup(const std::vector<Field>& f, Step* s, std::string* e) {
  size_t n = f.size();
  if (f[n - 3].plain() != "at" || f[n - 3].quoted()) {
    *e = "expect-popup ends with: at X Y";
    return false;
  }
  for (size_t i = 0; i + 3 < n; ++i) {
    std::string caption;
    if (!ReadGbk(f[i], "caption", &caption, e)) return false;
    s->texts.push_back(std::move(caption));
  }
  return ReadInteger(f[n - 2], -32768, 32767, "X", &s->number, e) &&
         ReadInteger(f[n - 1], -32768, 32767, "Y", &s->number2, e);
}

bool ParseExpectFile(const std::vector<Field>& f, Step* s, std::string* e) {
  if (!ReadFileName(f[0], &s->file_name, e)) return false;
  if (f.size() > 1) {
    int64_t size = 0;
    if (!ReadInteger(f[1], 0, int64_t{1} << 40, "SIZE", &size, e)) return false;
    s->size = size;
  }
  return true;
}

bool ParseFileOnly(const std::vector<Field>& f, Step* s, std::string* e) {
  return ReadFileName(f[0], &s->file_name, e);
}

bool ParsePutFile(const std::vector<Field>& f, Step* s, std::string* e) {
  return ReadFileName(f[0], &s->file_name, e) && ReadGbk(f[1], "content", &s->text, e);
}

// copy-file: the source in file_name, the copy's name in text (both plain names of the run
// directory).
bool ParseCopyFile(const std::vector<Field>& f, Step* s, std::string* e) {
  if (!ReadFileName(f[0], &s->file_name, e) || !ReadFileName(f[1], &s->text, e)) return false;
  if (s->file_name == s->text) {
    *e = "a file cannot be copied onto itself";
    return false;
  }
  return true;
}

bool ParseExpectMd5(const std::vector<Field>& f, Step* s, std::string* e) {
  if (!ReadFileName(f[0], &s->file_name, e)) return false;
  std::string digest = f[1].plain();
  bool ok = digest.size() == 32;
  for (char& c : digest) {
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    ok = ok && std::isxdigit(static_cast<unsigned char>(c));
  }
  if (!ok) {
    *e = "an MD5 digest is 32 hex digits, not " + QuoteForScript(f[1].plain());
    return false;
  }
  s->digest = digest;
  return true;
}

bool ParseExpectExit(const std::vector<Field>& f, Step* s, std::string* e) {
  return ReadInteger(f[0], INT32_MIN, INT32_MAX, "CODE", &s->number, e);
}

const StepSpec kSteps[] = {
    // name, usage, kind, min, max, parse, run, unavailable
    {"clock", "clock YYYY-MM-DD HH:MM:SS", StepKind::kWorld, 2, 2, ParseClock, RunClock, nullptr},
    {"mouse", "mouse X Y", StepKind::kWorld, 2, 2, ParseMouse, RunMouse, nullptr},
    {"start", "start", StepKind::kStart, 0, 0, ParseNothing, nullptr, nullptr},
    {"answer", "answer BUTTON", StepKind::kWorld, 1, 1, ParseAnswer, RunAnswer, nullptr},
    {"choose", "choose CAPTION", StepKind::kWorld, 1, 1, ParseCaption, RunChoose, nullptr},
    {"type", "type WINDOW UNIT TEXT", StepKind::kAct, 3, 3, ParseWindowUnitText, RunType, nullptr},
    {"key", "key WINDOW UNIT KEY", StepKind::kAct, 3, 3, ParseKeyStep, RunKey, nullptr},
    {"click", "click WINDOW UNIT", StepKind::kAct, 2, 2, ParseWindowUnit, RunClick, nullptr},
    {"select", "select WINDOW UNIT INDEX", StepKind::kAct, 3, 3, ParseSelect, RunSelect, nullptr},
    {"menu", "menu WINDOW CAPTION", StepKind::kAct, 2, 2, ParseMenu, RunMenu, nullptr},
    {"cell", "cell WINDOW UNIT ROW COL [shift]", StepKind::kAct, 4, 5, ParseCell, RunCell, nullptr},
    {"edit", "edit WINDOW UNIT TEXT", StepKind::kAct, 3, 3, ParseWindowUnitText, RunEdit, nullptr},
    {"close", "close WINDOW", StepKind::kAct, 1, 1, ParseWindowOnly, RunClose, nullptr},
    {"expect-box", "expect-box TITLE TEXT", StepKind::kCheck, 2, 2, ParseExpectBox, RunExpectBox,
     nullptr},
    {"expect-no-box", "expect-no-box", StepKind::kCheck, 0, 0, ParseNothing, RunExpectNoBox,
     nullptr},
    {"expect", "expect WINDOW UNIT PROP VALUE", StepKind::kCheck, 4, 4, ParseExpectProperty,
     RunExpectProperty, nullptr},
    {"expect-title", "expect-title WINDOW TEXT", StepKind::kCheck, 2, 2, ParseWindowText,
     RunExpectTitle, nullptr},
    {"expect-open", "expect-open WINDOW", StepKind::kCheck, 1, 1, ParseWindowOnly, RunExpectOpen,
     nullptr},
    {"expect-closed", "expect-closed WINDOW", StepKind::kCheck, 1, 1, ParseWindowOnly,
     RunExpectClosed, nullptr},
    {"expect-focus", "expect-focus WINDOW UNIT", StepKind::kCheck, 2, 2, ParseWindowUnit,
     RunExpectFocus, nullptr},
    {"expect-items", "expect-items WINDOW UNIT ITEM...", StepKind::kCheck, 2, -1, ParseExpectItems,
     RunExpectItems, nullptr},
    {"expect-sel", "expect-sel WINDOW UNIT INDEX", StepKind::kCheck, 3, 3, ParseExpectSel,
     RunExpectSel, nullptr},
    {"expect-rows", "expect-rows WINDOW UNIT N", StepKind::kCheck, 3, 3, ParseExpectRows,
     RunExpectRows, nullptr},
    {"expect-cell", "expect-cell WINDOW UNIT ROW COL TEXT", StepKind::kCheck, 5, 5, ParseExpectCell,
     RunExpectCell, nullptr},
    {"expect-cursor", "expect-cursor WINDOW UNIT ROW COL", StepKind::kCheck, 4, 4,
     ParseExpectCursor, RunExpectCursor, nullptr},
    {"expect-in-view", "expect-in-view WINDOW UNIT ROW COL", StepKind::kCheck, 4, 4,
     ParseExpectCell4, RunExpectInView, nullptr},
    {"expect-popup", "expect-popup CAPTION... at X Y", StepKind::kCheck, 3, -1, ParseExpectPopup,
     RunExpectPopup, nullptr},
    {"expect-file", "expect-file NAME [SIZE]", StepKind::kCheck, 1, 2, ParseExpectFile,
     RunExpectFile, nullptr},
    {"expect-nofile", "expect-nofile NAME", StepKind::kCheck, 1, 1, ParseFileOnly, RunExpectNoFile,
     nullptr},
    {"expect-exit", "expect-exit CODE", StepKind::kCheck, 1, 1, ParseExpectExit, RunExpectExit,
     nullptr},
    // Beyond the basic set: preparing files, checking contents, and what an edit box shows.
    {"put-file", "put-file NAME CONTENT", StepKind::kWorld, 2, 2, ParsePutFile, RunPutFile,
     nullptr},
    {"remove-file", "remove-file NAME", StepKind::kWorld, 1, 1, ParseFileOnly, RunRemoveFile,
     nullptr},
    {"copy-file", "copy-file NAME COPY", StepKind::kWorld, 2, 2, ParseCopyFile, RunCopyFile,
     nullptr},
    {"hold-file", "hold-file NAME", StepKind::kWorld, 1, 1, ParseFileOnly, RunHoldFile, nullptr},
    {"release-file", "release-file NAME", StepKind::kWorld, 1, 1, ParseFileOnly, RunReleaseFile,
     nullptr},
    {"read-only", "read-only NAME", StepKind::kWorld, 1, 1, ParseFileOnly, RunReadOnly, nullptr},
    {"wait-file", "wait-file NAME", StepKind::kWorld, 1, 1, ParseFileOnly, RunWaitFile, nullptr},
    {"expect-md5", "expect-md5 NAME DIGEST", StepKind::kCheck, 2, 2, ParseExpectMd5, RunExpectMd5,
     nullptr},
    {"expect-shown", "expect-shown WINDOW UNIT TEXT", StepKind::kCheck, 3, 3, ParseWindowUnitText,
     RunExpectShown, nullptr},
};

std::string KnownStepNames() {
  std::string names;
  for (const StepSpec& spec : kSteps) {
    if (!names.empty()) names += ", ";
    names += spec.name;
  }
  return names;
}

}  // namespace

const StepSpec* FindStep(std::string_view name) {
  for (const StepSpec& spec : kSteps) {
    if (name == spec.name) return &spec;
  }
  return nullptr;
}

const std::vector<const StepSpec*>& AllSteps() {
  static const std::vector<const StepSpec*> all = [] {
    std::vector<const StepSpec*> out;
    for (const StepSpec& spec : kSteps) out.push_back(&spec);
    return out;
  }();
  return all;
}

bool ParseScript(std::string_view text, Script* script, ScriptError* error) {
  script->steps.clear();
  script->line_count = 0;
  int start_line = 0;
  // Editors on some systems open UTF-8 files with a byte-order mark; it is no part of a step.
  size_t pos = text.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
  int line_number = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    ++line_number;

    auto fail = [&](std::string message) {
      error->line = line_number;
      error->message = std::move(message);
      return false;
    };
    if (line.find('\0') != std::string_view::npos) return fail("a NUL byte in the line");
    std::vector<Field> fields;
    std::string message;
    if (!SplitFields(line, &fields, &message)) return fail(message);
    if (fields.empty()) continue;

    const std::string& name = fields[0].plain();
    const StepSpec* spec = fields[0].quoted() ? nullptr : FindStep(name);
    if (!spec)
      return fail("unknown step " + QuoteForScript(name) + " (known: " + KnownStepNames() + ")");
    if (spec->unavailable) return fail(name + ": " + spec->unavailable);
    int count = static_cast<int>(fields.size()) - 1;
    if (count < spec->min_fields || (spec->max_fields >= 0 && count > spec->max_fields)) {
      return fail(name + ": wrong number of fields; usage: " + spec->usage);
    }
    if (spec->kind == StepKind::kStart) {
      if (start_line != 0) {
        return fail("start given twice (first on line " + std::to_string(start_line) + ")");
      }
      start_line = line_number;
    }
    Step step;
    step.line = line_number;
    step.source = std::string(
        line.substr(0, line.size() && line.back() == '\r' ? line.size() - 1 : line.size()));
    step.spec = spec;
    std::vector<Field> args(fields.begin() + 1, fields.end());
    if (!spec->parse(args, &step, &message)) return fail(name + ": " + message);
    script->steps.push_back(std::move(step));
  }
  script->line_count = line_number;
  return true;
}

}  // namespace memo::script
