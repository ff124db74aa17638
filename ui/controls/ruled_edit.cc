#include "ui/controls/ruled_edit.h"

#include "platform/handler.h"

namespace memo::ui {

RuledEdit::RuledEdit(platform::EditControl* edit, const EditRules& rules)
    : edit_(edit), rules_(rules), seen_(edit->Text()) {
  // The text the box was created with is converted, as any text the program sets.
  if (std::string converted = ApplyCase(rules_.case_conversion, seen_); converted != seen_) {
    SetText(converted);
  }
  std::weak_ptr<char> alive = alive_;
  edit_->on_user_change = [this, alive] {
    if (!alive.expired()) UserChanged();
  };
}

platform::InputDecision RuledEdit::FilterInput(const platform::InputEvent& event) {
  seen_ = edit_->Text();
  if (event.kind != platform::InputKind::kChar) return platform::InputDecision::Pass();
  int start = 0;
  int length = 0;
  edit_->GetSelection(&start, &length);
  return DecideTypedCharacter(rules_, seen_, Selection{start, length},
                              static_cast<uint32_t>(event.key));
}

void RuledEdit::SetText(std::string_view text_gbk) {
  seen_ = ApplyCase(rules_.case_conversion, text_gbk);
  edit_->SetText(seen_);
}

void RuledEdit::ReplaceSelection(std::string_view text_gbk) {
  int start = 0;
  int length = 0;
  edit_->GetSelection(&start, &length);
  std::string text = edit_->Text();
  std::string fitted = FitInsertion(rules_, text, Selection{start, length}, text_gbk);
  if (fitted.empty() && !text_gbk.empty()) {
    seen_ = text;
    return;
  }
  edit_->ReplaceSelection(fitted);
  seen_ = edit_->Text();
}

void RuledEdit::UserChanged() {
  std::string after = edit_->Text();
  if (std::optional<EditFix> fix = FixUserChange(rules_, seen_, after)) {
    edit_->SetText(fix->text);
    edit_->SetSelection(fix->caret, 0);
    after = std::move(fix->text);
  }
  // A change refused as a whole leaves nothing to tell.
  bool changed = after != seen_;
  seen_ = std::move(after);
  if (changed) platform::Fire(on_change);  // the last member access: the routine may end us
}

}  // namespace memo::ui
