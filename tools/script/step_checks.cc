// Steps that check what the program shows or did: message boxes, properties, captions, open
// windows, the focus, combo boxes, pop-up menus, files and the exit code.
#include <openssl/evp.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

#include "platform/headless/headless_controls.h"
#include "runtime/convert.h"
#include "runtime/heap.h"
#include "tools/script/combo_probe.h"
#include "tools/script/step_routines.h"
#include "tools/script/targets.h"
#include "ui/window/property_numbers.h"

namespace memo::script {

namespace {

std::string DescribeBox(const platform::ShownBox& box) {
  return ShowGbk(box.title_gbk) + " " + ShowGbk(box.text_gbk);
}

std::string ShowList(const std::vector<std::string>& texts_gbk) {
  if (texts_gbk.empty()) return "(none)";
  std::string out;
  for (const std::string& text : texts_gbk) {
    if (!out.empty()) out += ' ';
    out += ShowGbk(text);
  }
  return out;
}

// The unit id a property step reads from: a unit of the open window, or for a closed window's
// common property (0..7) the stored one.
uint32_t PropertyUnit(ScriptRunner& runner, const Step& step) {
  if (ui::FindLiveWindow(step.window.id) || step.number >= ui::property::kFirstOwn ||
      !runner.ProgramState().empty()) {
    return FindTarget(runner, step.window, step.unit).unit_id;
  }
  uint32_t unit_id = 0;
  if (!FindStoredUnit(step.window, step.unit, &unit_id)) {
    runner.Fail("the program has no unit " + step.unit.shown + " in window " + step.window.shown);
  }
  return unit_id;
}

// A property as text, as the message box converts values.
std::string PropertyText(uint32_t window_id, uint32_t unit_id, int32_t number) {
  TypedValue value = ui::ReadProperty(window_id, unit_id, number, -1);
  BlockOwner<char> text(ValueToText(value));
  ReleaseValue(&value);
  return text.get() ? std::string(text.get()) : std::string();
}

// Who holds the keyboard focus, for messages.
std::string DescribeFocus(platform::Control* focus) {
  if (!focus) return "nothing";
  for (ui::LiveWindow* window : ui::LiveWindows()) {
    ui::Unit* unit = window->UnitOfControl(focus);
    if (!unit) continue;
    const ui::UnitRecord& record =
        window->record().units[static_cast<size_t>(unit->context().index)];
    return WindowDisplayName(window->window_id()) + " " + GbkForDisplay(record.name);
  }
  return "a control of no unit";
}

bool FileSize(const std::string& path, int64_t* size, int* error) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) {
    *error = errno;
    return false;
  }
  if (!S_ISREG(st.st_mode)) {
    *error = EISDIR;
    return false;
  }
  *size = st.st_size;
  return true;
}

std::string Md5Hex(const std::string& bytes) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (!EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_md5(), nullptr)) return {};
  std::string hex;
  for (unsigned int i = 0; i < length; ++i) {
    char pair[3];
    std::snprintf(pair, sizeof pair, "%02x", digest[i]);
    hex += pair;
  }
  return hex;
}

}  // namespace

void RunExpectBox(ScriptRunner& runner, const Step& step) {
  std::string expected = ShowGbk(step.text) + " " + ShowGbk(step.text2);
  const platform::ShownBox* box = runner.OldestUncheckedBox();
  if (!box) runner.Fail("expected message box " + expected + ", found no unchecked box");
  if (box->title_gbk != step.text || box->text_gbk != step.text2) {
    runner.Fail("expected message box " + expected + ", found " + DescribeBox(*box) +
                " (shown at line " + std::to_string(runner.LineOfBox(runner.boxes_checked())) +
                ")");
  }
  runner.MarkBoxChecked();
}

void RunExpectNoBox(ScriptRunner& runner, const Step&) {
  if (const platform::ShownBox* box = runner.OldestUncheckedBox()) {
    runner.Fail("expected no unchecked message box, found " + DescribeBox(*box) +
                " (shown at line " + std::to_string(runner.LineOfBox(runner.boxes_checked())) +
                ")");
  }
}

void RunExpectProperty(ScriptRunner& runner, const Step& step) {
  uint32_t unit_id = PropertyUnit(runner, step);
  std::string found = PropertyText(step.window.id, unit_id, static_cast<int32_t>(step.number));
  if (found != step.text) {
    runner.Fail("expected property " + std::to_string(step.number) + " of " + step.window.shown +
                " " + step.unit.shown + " to be " + ShowGbk(step.text) + ", found " +
                ShowGbk(found));
  }
}

void RunExpectTitle(ScriptRunner& runner, const Step& step) {
  ui::LiveWindow* window = OpenWindow(runner, step.window);
  std::string caption = window->native()->Caption();
  if (caption != step.text) {
    runner.Fail("expected window " + step.window.shown + " to be captioned " + ShowGbk(step.text) +
                ", found " + ShowGbk(caption));
  }
}

void RunExpectOpen(ScriptRunner& runner, const Step& step) { OpenWindow(runner, step.window); }

void RunExpectClosed(ScriptRunner& runner, const Step& step) {
  if (runner.phase() == ProgramPhase::kRunning && ui::FindLiveWindow(step.window.id)) {
    runner.Fail("expected window " + step.window.shown + " to be closed, found it open");
  }
}

void RunExpectFocus(ScriptRunner& runner, const Step& step) {
  Target target = FindTarget(runner, step.window, step.unit);
  platform::Control* focus = runner.backend().focus();
  bool holds = target.index == 0
                   ? target.native->IsActive() && target.native->FocusedControl() == nullptr
                   : target.control && focus == target.control;
  if (!holds) {
    runner.Fail("expected the focus on " + target.shown + ", found it on " + DescribeFocus(focus));
  }
}

void RunExpectItems(ScriptRunner& runner, const Step& step) {
  Target target = FindTarget(runner, step.window, step.unit);
  std::vector<std::string> items;
  std::string why;
  if (!ComboItems(target, &items, &why)) runner.Fail(target.shown + ": " + why);
  if (items != step.texts) {
    runner.Fail("expected the items of " + target.shown + " to be " + ShowList(step.texts) +
                ", found " + ShowList(items));
  }
}

void RunExpectSel(ScriptRunner& runner, const Step& step) {
  Target target = FindTarget(runner, step.window, step.unit);
  int index = 0;
  std::string why;
  if (!ComboCurrentIndex(target, &index, &why)) runner.Fail(target.shown + ": " + why);
  if (index != step.number) {
    runner.Fail("expected the current item of " + target.shown + " to be " +
                std::to_string(step.number) + ", found " + std::to_string(index));
  }
}

void RunExpectPopup(ScriptRunner& runner, const Step& step) {
  std::string expected = ShowList(step.texts) + " at " + std::to_string(step.number) + " " +
                         std::to_string(step.number2);
  const auto& popups = runner.backend().popups();
  if (popups.empty()) runner.Fail("expected a pop-up menu " + expected + ", found none shown");
  const platform::ShownPopup& popup = popups.back();
  if (popup.captions_gbk != step.texts || popup.position.x != step.number ||
      popup.position.y != step.number2) {
    runner.Fail("expected the latest pop-up menu to be " + expected + ", found " +
                ShowList(popup.captions_gbk) + " at " + std::to_string(popup.position.x) + " " +
                std::to_string(popup.position.y));
  }
}

void RunExpectFile(ScriptRunner& runner, const Step& step) {
  int64_t size = 0;
  int error = 0;
  if (!FileSize(runner.run_directory() + "/" + step.file_name, &size, &error)) {
    runner.Fail("expected file " + step.file_name + ", found " +
                (error == ENOENT ? std::string("none") : std::strerror(error)));
  }
  if (step.size && *step.size != size) {
    runner.Fail("expected file " + step.file_name + " of " + std::to_string(*step.size) +
                " bytes, found " + std::to_string(size) + " bytes");
  }
}

void RunExpectNoFile(ScriptRunner& runner, const Step& step) {
  struct stat st;
  if (lstat((runner.run_directory() + "/" + step.file_name).c_str(), &st) == 0) {
    runner.Fail("expected no file " + step.file_name + ", found one of " +
                std::to_string(st.st_size) + " bytes");
  }
}

void RunExpectMd5(ScriptRunner& runner, const Step& step) {
  std::ifstream in(runner.run_directory() + "/" + step.file_name, std::ios::binary);
  if (!in) runner.Fail("expected file " + step.file_name + ", found none readable");
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::string digest = Md5Hex(bytes);
  if (digest != step.digest) {
    runner.Fail("expected " + step.file_name + " to have MD5 " + step.digest + ", found " + digest +
                " (" + std::to_string(bytes.size()) + " bytes)");
  }
}

void RunExpectShown(ScriptRunner& runner, const Step& step) {
  Target target = FindTarget(runner, step.window, step.unit);
  if (!target.control ||
      platform::HeadlessStateOf(target.control)->kind() != platform::HeadlessControlKind::kEdit) {
    runner.Fail(target.shown + " is no edit box");
  }
  std::string shown = static_cast<platform::HeadlessEdit*>(target.control)->Shown();
  if (shown != step.text) {
    runner.Fail("expected " + target.shown + " to show " + ShowGbk(step.text) + ", found " +
                ShowGbk(shown));
  }
}

void RunExpectExit(ScriptRunner& runner, const Step& step) {
  if (runner.phase() != ProgramPhase::kEnded) {
    runner.Fail("expected the program to have ended with exit code " + std::to_string(step.number) +
                ", found it " +
                (runner.phase() == ProgramPhase::kRunning ? "still running" : "not started"));
  }
  if (runner.exit_code() != step.number) {
    runner.Fail("expected exit code " + std::to_string(step.number) + ", found " +
                std::to_string(runner.exit_code()));
  }
  runner.NoteExitChecked();
}

}  // namespace memo::script
