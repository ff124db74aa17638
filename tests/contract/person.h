// A person at one backend's keyboard and mouse, and what that person sees. The contract cases
// are written against this interface only; each backend has its own person:
//   - headless: the HeadlessWindow user operations;
//   - Qt: real input events on the widgets (QTest, input-method and drop events), read back from
//     the widgets themselves.
// To add a case, write it in a *_contract_test.cc as TEST_P of ContractTest (contract_test.h);
// it runs on every backend.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/backend.h"
#include "platform/controls.h"
#include "platform/geometry.h"

namespace memo::contract {

enum class BackendKind { kHeadless, kQt };

class Person {
 public:
  virtual ~Person() = default;

  virtual platform::Backend& backend() = 0;
  // Shows the window and waits until it can take input.
  virtual void Show(platform::Window* window) = 0;
  // Lets whatever the backend has queued run.
  virtual void Settle() = 0;

  // --- Doing.
  // The left button pressed and released at the centre of the control (or at a point of it).
  virtual void Click(platform::Control* control) = 0;
  virtual void ClickAt(platform::Control* control, platform::Point at) = 0;
  // A key pressed and released on the focused control, after focusing `control`: a virtual-key
  // code with the shift state (1 Ctrl, 2 Shift, 4 Alt), with the character it types.
  virtual void Key(platform::Control* control, int virtual_key, int shift = 0) = 0;
  // Characters typed at the caret: letters, digits and spaces from the keyboard (key down, the
  // character, key up; Shift for capitals), every other character from an input method, one
  // character per commit.
  virtual void Type(platform::Control* control, std::string_view text_gbk) = 0;
  // One input-method commit of several characters.
  virtual void Compose(platform::Control* control, std::string_view text_gbk) = 0;
  // The text put on the clipboard, then Ctrl+V.
  virtual void Paste(platform::Control* control, std::string_view text_gbk) = 0;
  // A text dragged from elsewhere and dropped on an edit box at byte offset `at`.
  virtual void Drop(platform::Control* edit, std::string_view text_gbk, int at) = 0;
  // Item `index` picked from a combo box's dropped list.
  virtual void Pick(platform::Control* combo, int index) = 0;
  // The up (+1) or down (-1) arrow of an up-down control clicked.
  virtual void Arrow(platform::Control* up_down, int delta) = 0;

  // --- Seeing.
  // What an edit box shows (password characters for a password box), GBK, CR LF line breaks.
  virtual std::string ShownText(platform::Control* edit) = 0;
  virtual std::vector<std::string> ShownItems(platform::Control* combo) = 0;
  virtual int ShownCurrent(platform::Control* combo) = 0;
  // The combo box's field: its edit text, or a drop-down list's shown item.
  virtual std::string ShownComboText(platform::Control* combo) = 0;
  // A static text as drawn, CR LF line breaks.
  virtual std::string ShownStatic(platform::Control* label) = 0;
};

// Whether the character at `at` is typed with a key of its own (see Person::Type).
inline bool IsKeyboardCharacter(std::string_view text_gbk, size_t at) {
  char c = text_gbk[at];
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ' ';
}

std::unique_ptr<Person> MakeHeadlessPerson();
std::unique_ptr<Person> MakeQtPerson();

}  // namespace memo::contract
