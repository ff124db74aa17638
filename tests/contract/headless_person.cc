// The person at the headless backend: every action is one of HeadlessWindow's user operations.
#include <gtest/gtest.h>

#include "platform/gbk.h"
#include "platform/headless/headless_backend.h"
#include "platform/headless/headless_controls.h"
#include "tests/contract/person.h"

namespace memo::contract {
namespace {

using namespace memo::platform;

class HeadlessPerson : public Person {
 public:
  Backend& backend() override { return backend_; }
  void Show(Window* window) override { window->Show(ShowMode::kNormal); }
  void Settle() override { backend_.RunPendingTasks(); }

  void Click(Control* control) override { EXPECT_TRUE(WindowOf(control)->UserClick(control)); }
  void ClickAt(Control* control, Point at) override {
    EXPECT_TRUE(WindowOf(control)->UserClickAt(control, at));
  }
  void Key(Control* control, int virtual_key, int shift) override {
    EXPECT_TRUE(WindowOf(control)->UserKey(control, virtual_key, shift));
  }
  void Type(Control* control, std::string_view text_gbk) override {
    for (size_t i = 0; i < text_gbk.size(); i = NextGbkChar(text_gbk, i)) {
      char c = text_gbk[i];
      if (IsKeyboardCharacter(text_gbk, i)) {
        bool upper = c >= 'A' && c <= 'Z';
        int key = c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c;
        Key(control, key, upper ? kShiftShift : 0);
      } else {
        EXPECT_TRUE(
            WindowOf(control)->UserChars(control, text_gbk.substr(i, GbkCharSize(text_gbk, i))));
      }
    }
  }
  void Compose(Control* control, std::string_view text_gbk) override {
    // The classic input method delivers its text as characters, one by one.
    EXPECT_TRUE(WindowOf(control)->UserChars(control, text_gbk));
  }
  void Paste(Control* control, std::string_view text_gbk) override {
    ClipboardContent content;
    content.text_gbk = std::string(text_gbk);
    backend_.SetClipboard(content);
    Key(control, 'V', kShiftCtrl);
  }
  void Drop(Control* edit, std::string_view text_gbk, int at) override {
    EXPECT_TRUE(WindowOf(edit)->UserDrop(edit, text_gbk, at));
  }
  void Pick(Control* combo, int index) override {
    EXPECT_TRUE(WindowOf(combo)->UserSelect(combo, index));
  }
  void Arrow(Control* up_down, int delta) override {
    EXPECT_TRUE(WindowOf(up_down)->UserSpin(up_down, delta));
  }

  std::string ShownText(Control* edit) override { return Edit(edit)->Shown(); }
  std::vector<std::string> ShownItems(Control* combo) override { return Combo(combo)->items(); }
  int ShownCurrent(Control* combo) override { return Combo(combo)->shown_current(); }
  std::string ShownComboText(Control* combo) override { return Combo(combo)->ShownText(); }
  std::string ShownStatic(Control* label) override {
    return static_cast<StaticControl*>(label)->Text();
  }

 private:
  static HeadlessWindow* WindowOf(Control* control) { return HeadlessStateOf(control)->window(); }
  static HeadlessEdit* Edit(Control* control) { return dynamic_cast<HeadlessEdit*>(control); }
  static HeadlessCombo* Combo(Control* control) { return dynamic_cast<HeadlessCombo*>(control); }

  HeadlessBackend backend_;
};

}  // namespace

std::unique_ptr<Person> MakeHeadlessPerson() { return std::make_unique<HeadlessPerson>(); }

}  // namespace memo::contract
