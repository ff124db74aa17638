#include "ui/controls/combo_presenter.h"

#include <utility>

#include "platform/handler.h"

namespace memo::ui {

ComboPresenter::ComboPresenter(ComboModel model, platform::ComboControl* view, int max_edit_bytes)
    : model_(std::move(model)), view_(view) {
  rules_.max_bytes = max_edit_bytes;
  view_->ClearItems();
  for (int i = 0; i < model_.count(); ++i) view_->InsertItem(i, model_.ItemText(i));
  ShowSelection();
  std::weak_ptr<char> alive = alive_;
  view_->on_pick = [this, alive](int index) {
    if (!alive.expired()) Picked(index);
  };
  view_->on_edit = [this, alive](const std::string& text) {
    if (!alive.expired()) Edited(text);
  };
}

void ComboPresenter::ShowSelection() {
  view_->ShowCurrent(model_.current());
  view_->ShowEditText(model_.edit_text());
}

int ComboPresenter::AddItem(std::string_view text, uint32_t data) {
  int at = model_.AddItem(text, data);
  if (at >= 0) {
    view_->InsertItem(at, text);
    view_->ShowCurrent(model_.current());
  }
  return at;
}

bool ComboPresenter::RemoveItem(int index) {
  if (!model_.RemoveItem(index)) return false;
  view_->RemoveItem(index);
  view_->ShowCurrent(model_.current());
  return true;
}

void ComboPresenter::Clear() {
  model_.Clear();
  view_->ClearItems();
  ShowSelection();
}

void ComboPresenter::SetCurrent(int index) {
  model_.SetCurrent(index);
  ShowSelection();
}

void ComboPresenter::SetText(std::string_view text) {
  model_.SetText(text);
  ShowSelection();
}

void ComboPresenter::SetEditSelection(int start, int length) {
  view_->SetEditSelection(start, length);
}

platform::InputDecision ComboPresenter::FilterInput(const platform::InputEvent& event) const {
  if (event.kind != platform::InputKind::kChar || !model_.HasEditField()) {
    return platform::InputDecision::Pass();
  }
  int start = 0;
  int length = 0;
  view_->GetEditSelection(&start, &length);
  return DecideTypedCharacter(rules_, model_.edit_text(), Selection{start, length},
                              static_cast<uint32_t>(event.key));
}

void ComboPresenter::Picked(int index) {
  bool changed = model_.Pick(index);
  ShowSelection();
  if (changed) platform::Fire(on_selection_change);  // the routine may end us: nothing after
}

void ComboPresenter::Edited(const std::string& text) {
  std::string kept = text;
  if (std::optional<EditFix> fix = FixUserChange(rules_, model_.edit_text(), text)) {
    kept = fix->text;
    view_->ShowEditText(kept);
    view_->SetEditSelection(fix->caret, 0);
  }
  if (model_.UserEdit(kept)) platform::Fire(on_edit_change);
}

}  // namespace memo::ui
