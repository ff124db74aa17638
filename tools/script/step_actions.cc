// Steps in which a person acts on a window: typing, keys, clicks, picking list items and menu
// items, the close box. Each first checks that a person could reach the target at all.
#include "platform/headless/headless_controls.h"
#include "platform/mnemonics.h"
#include "tools/script/step_routines.h"
#include "tools/script/targets.h"

namespace memo::script {

namespace {

platform::HeadlessControlKind KindOf(platform::Control* control) {
  return platform::HeadlessStateOf(control)->kind();
}

// The menu-bar entry with that caption, depth first.
const platform::MenuEntry* FindMenuEntry(const std::vector<platform::MenuEntry>& entries,
                                         const std::string& caption_gbk) {
  for (const platform::MenuEntry& entry : entries) {
    if (entry.separator) continue;
    if (platform::StripMnemonics(entry.caption_gbk) == caption_gbk) return &entry;
    if (const platform::MenuEntry* found = FindMenuEntry(entry.children, caption_gbk)) return found;
  }
  return nullptr;
}

void ListCaptions(const std::vector<platform::MenuEntry>& entries, std::string* out) {
  for (const platform::MenuEntry& entry : entries) {
    if (entry.separator) continue;
    *out += ' ';
    *out += ShowGbk(platform::StripMnemonics(entry.caption_gbk));
    ListCaptions(entry.children, out);
  }
}

// Whether `target` and every menu above it are enabled (a disabled popup hides its items);
// false too when `target` is not among `entries`.
bool MenuPathEnabled(const std::vector<platform::MenuEntry>& entries,
                     const platform::MenuEntry* target, bool* found) {
  for (const platform::MenuEntry& entry : entries) {
    if (&entry == target) {
      *found = true;
      return !entry.disabled;
    }
    bool enabled = MenuPathEnabled(entry.children, target, found);
    if (*found) return enabled && !entry.disabled;
  }
  return false;
}

}  // namespace

void RunType(ScriptRunner& runner, const Step& step) {
  Target target = FindTarget(runner, step.window, step.unit);
  if (!target.control) runner.Fail(target.shown + " has no control to type into");
  auto kind = KindOf(target.control);
  if (kind != platform::HeadlessControlKind::kEdit &&
      kind != platform::HeadlessControlKind::kCombo) {
    runner.Fail(target.shown + " is no edit box or combo box");
  }
  RequireReachable(runner, target);
  if (!target.native->UserType(target.control, step.text))
    runner.Fail(target.shown + " cannot be reached");
}

void RunKey(ScriptRunner& runner, const Step& step) {
  Target target = FindTarget(runner, step.window, step.unit);
  if (target.index > 0 && !target.control) runner.Fail(target.shown + " has no control");
  RequireReachable(runner, target);
  if (!target.native->UserKey(target.control, step.key.key, step.key.shift))
    runner.Fail(target.shown + " cannot be reached");
}

void RunClick(ScriptRunner& runner, const Step& step) {
  Target target = FindTarget(runner, step.window, step.unit);
  if (target.index > 0 && !target.control) runner.Fail(target.shown + " has no control");
  RequireReachable(runner, target);
  platform::Size size = target.control ? platform::Size{target.control->Geometry().width,
                                                        target.control->Geometry().height}
                                       : target.native->ClientSize();
  MovePointerTo(runner, target, platform::Point{size.width / 2, size.height / 2});
  if (!target.native->UserClick(target.control)) runner.Fail(target.shown + " cannot be reached");
}

void RunSelect(ScriptRunner& runner, const Step& step) {
  Target target = FindTarget(runner, step.window, step.unit);
  if (!target.control || KindOf(target.control) != platform::HeadlessControlKind::kCombo)
    runner.Fail(target.shown + " is no combo box");
  auto* combo = static_cast<platform::HeadlessCombo*>(target.control);
  if (step.number >= static_cast<int>(combo->items().size())) {
    runner.Fail(target.shown + " has no item " + std::to_string(step.number) + " (it has " +
                std::to_string(static_cast<int>(combo->items().size())) + ")");
  }
  RequireReachable(runner, target);
  if (!target.native->UserSelect(target.control, static_cast<int>(step.number)))
    runner.Fail(target.shown + " cannot be reached");
}

void RunMenu(ScriptRunner& runner, const Step& step) {
  ui::LiveWindow* window = OpenWindow(runner, step.window);
  auto* native = static_cast<platform::HeadlessWindow*>(window->native());
  const auto& bar = native->menu_bar();
  const platform::MenuEntry* entry = FindMenuEntry(bar, step.text);
  if (!entry) {
    std::string captions;
    ListCaptions(bar, &captions);
    runner.Fail("window " + step.window.shown + " has no menu item " + ShowGbk(step.text) +
                " (its menu:" + (captions.empty() ? std::string(" none") : captions) + ")");
  }
  if (!entry->children.empty())
    runner.Fail("menu item " + ShowGbk(step.text) + " opens a sub-menu; name an item in it");
  bool found = false;
  if (!MenuPathEnabled(bar, entry, &found))
    runner.Fail("menu item " + ShowGbk(step.text) + " is disabled");
  RequireWindowReachable(runner, window, step.window.shown);
  if (!native->UserMenu(entry->command_id))
    runner.Fail("menu item " + ShowGbk(step.text) + " cannot be chosen");
}

void RunClose(ScriptRunner& runner, const Step& step) {
  ui::LiveWindow* window = OpenWindow(runner, step.window);
  RequireWindowReachable(runner, window, step.window.shown);
  auto* native = static_cast<platform::HeadlessWindow*>(window->native());
  if (!native->UserClose()) runner.Fail("window " + step.window.shown + " has no close box");
}

}  // namespace memo::script
