// A combo box: the model (ui/controls/combo_model.h) shown on a backend's view
// (platform::ComboControl). Every change goes to the model first and then, piece by piece, to the
// view; the user's picks and edits come back from the view into the model the same way. A combo-box
// unit calls this object for its properties and commands and from its input filter.
//
// The edit field is held to its length limit like an edit box (ui/controls/edit_rules.h): typed
// characters through FilterInput, whole insertions (paste, drop) set right when reported.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/controls.h"
#include "platform/input.h"
#include "ui/controls/combo_model.h"
#include "ui/controls/edit_rules.h"

namespace memo::ui {

class ComboPresenter {
 public:
  // Shows the whole model on `view` and takes over its on_pick and on_edit. `view` may be
  // destroyed before this object; after that no member may be called but the destructor.
  ComboPresenter(ComboModel model, platform::ComboControl* view, int max_edit_bytes = 0);
  ComboPresenter(const ComboPresenter&) = delete;
  ComboPresenter& operator=(const ComboPresenter&) = delete;

  const ComboModel& model() const { return model_; }

  // The model's operations, shown on the view as they happen.
  int AddItem(std::string_view text, uint32_t data = 0);
  bool RemoveItem(int index);
  void Clear();
  bool SetItemData(int index, uint32_t data) { return model_.SetItemData(index, data); }
  void SetCurrent(int index);
  void SetText(std::string_view text);
  // Selects `length` bytes of the edit field from `start`.
  void SetEditSelection(int start, int length);
  void SetMaxEditBytes(int max_bytes) { rules_.max_bytes = max_bytes; }

  // Input aimed at the box that the window let pass: characters typed into the edit field are
  // held to its limit.
  platform::InputDecision FilterInput(const platform::InputEvent& event) const;

  // After the user picked another item (the model holds it, the view shows it).
  std::function<void()> on_selection_change;
  // After the user changed the edit text (held to the limit).
  std::function<void()> on_edit_change;

 private:
  void ShowSelection();
  void Picked(int index);
  void Edited(const std::string& text);

  ComboModel model_;
  platform::ComboControl* view_;
  EditRules rules_;
  std::shared_ptr<char> alive_ = std::make_shared<char>(0);
};

}  // namespace memo::ui
