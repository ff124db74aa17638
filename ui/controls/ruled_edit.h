// An edit control held to its rules (ui/controls/edit_rules.h): what an edit-box unit puts between
// the runtime and its native box.
//
//   - FilterInput, called from the unit's Unit::FilterInput, passes, swallows or replaces each
//     typed character before the box sees it;
//   - the box's on_user_change is taken over: a change that arrived whole (paste, drop, undo) and
//     breaks the rules is set right at once, before anything else runs, and on_change follows;
//   - the program's own writes go through SetText and ReplaceSelection.
//
// The text before a user change is the one this object saw last: at its own writes, at every
// input FilterInput is shown and after every user change. A write to the control that bypasses
// this object is picked up at the next input.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/controls.h"
#include "platform/input.h"
#include "ui/controls/edit_rules.h"

namespace memo::ui {

class RuledEdit {
 public:
  // Takes over edit->on_user_change and converts the box's text if the rules say so. `edit` may be
  // destroyed before this object; after that no member may be called but the destructor.
  RuledEdit(platform::EditControl* edit, const EditRules& rules);
  RuledEdit(const RuledEdit&) = delete;
  RuledEdit& operator=(const RuledEdit&) = delete;

  const EditRules& rules() const { return rules_; }
  // New rules hold for the input from now on; the text stays as it is (as a native box keeps a
  // text longer than a newly lowered limit).
  void SetRules(const EditRules& rules) { rules_ = rules; }

  // Input aimed at the box that the window let pass: typed characters are judged by the rules,
  // everything else passes.
  platform::InputDecision FilterInput(const platform::InputEvent& event);

  platform::EditControl* edit() const { return edit_; }
  std::string Text() const { return edit_->Text(); }

  // The program sets the whole text: converted, but not held to the limit.
  void SetText(std::string_view text_gbk);
  // The program replaces the selection as typing would: converted and held to the limit; when
  // nothing of it fits the text stays as it is.
  void ReplaceSelection(std::string_view text_gbk);

  // After each change the user made, once the text keeps the rules (not after a change refused as
  // a whole).
  std::function<void()> on_change;

 private:
  void UserChanged();

  platform::EditControl* edit_;
  EditRules rules_;
  std::string seen_;  // the text as last seen
  std::shared_ptr<char> alive_ = std::make_shared<char>(0);
};

}  // namespace memo::ui
