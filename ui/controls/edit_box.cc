// Edit box: a native single- or multi-line edit control with the styles of its block; an
// attached up-down control when the block asks for spin buttons. Property 8 is the content.
#include <algorithm>
#include <cstdlib>
#include <string>

#include "platform/backend.h"
#include "platform/controls.h"
#include "ui/controls/ruled_edit.h"
#include "ui/controls/up_down_model.h"
#include "ui/format/type_blocks.h"
#include "ui/window/font_property.h"
#include "ui/window/property_numbers.h"
#include "ui/window/property_values.h"
#include "ui/window/standard_units.h"
#include "ui/window/window_runtime.h"

namespace memo::ui {

namespace {

constexpr int kSpinWidth = 16;

platform::Align AlignOf(uint32_t v) {
  return v == 1 ? platform::Align::kCentre
                : (v == 2 ? platform::Align::kRight : platform::Align::kLeft);
}

platform::ScrollBars ScrollBarsOf(uint32_t v) {
  switch (v) {
    case 1: return platform::ScrollBars::kHorizontal;
    case 2: return platform::ScrollBars::kVertical;
    case 3: return platform::ScrollBars::kBoth;
    default: return platform::ScrollBars::kNone;
  }
}

CaseConversion CaseOf(uint32_t v) {
  return v == 1 ? CaseConversion::kLower
                : (v == 2 ? CaseConversion::kUpper : CaseConversion::kNone);
}

EditRules RulesOf(const EditBoxBlock& block) {
  EditRules rules;
  rules.max_bytes = static_cast<int>(block.max_length);
  rules.case_conversion = CaseOf(block.case_conversion);
  rules.multi_line = block.multi_line != 0;
  return rules;
}

class EditBoxUnit : public Unit {
 public:
  EditBoxUnit(const UnitContext& context, const EditBoxBlock& block, platform::EditControl* edit,
              platform::UpDownControl* spin)
      : Unit(context), block_(block), edit_(edit), ruled_(edit, RulesOf(block)), spin_(spin) {
    if (spin_) {
      spin_presenter_ = std::make_unique<SpinPresenter>(
          UpDownModel(block.spin_minimum, block.spin_maximum,
                      UpDownModel::ParseNumber(block.content).value_or(0)),
          spin_, &ruled_);
    }
  }

  platform::Control* control() const override { return edit_; }

  // The byte limit and the case conversion hold for every character the user types.
  platform::InputDecision FilterInput(const platform::InputEvent& event) override {
    return ruled_.FilterInput(event);
  }

  // The spin buttons follow their box: shown with it once loading has placed it, removed with it.
  void LoadingComplete() override {
    if (spin_) spin_->SetVisible(edit_->IsVisible());
  }
  void Destroying() override {
    spin_presenter_.reset();
    if (spin_) window()->native()->DestroyControl(spin_);
    spin_ = nullptr;
  }

  bool ReadProperty(int k, int sub_index, TypedValue* out) override {
    const int32_t number = property::OwnNumber(k);
    switch (number) {
      case property::kEditContent: *out = TextResult(edit_->Text()); return true;
      case property::kEditBorder:
        *out = IntResult(static_cast<int32_t>(block_.border));
        return true;
      case property::kEditTextColour:
        *out = IntResult(static_cast<int32_t>(block_.text_colour));
        return true;
      case property::kEditBackground:
        *out = IntResult(static_cast<int32_t>(block_.background));
        return true;
      case property::kEditHideSelection: *out = BoolResult(block_.hide_selection != 0); return true;
      case property::kEditMaxLength:
        *out = IntResult(static_cast<int32_t>(block_.max_length));
        return true;
      case property::kEditMultiLine: *out = BoolResult(block_.multi_line != 0); return true;
      case property::kEditScrollBars:
        *out = IntResult(static_cast<int32_t>(block_.scroll_bars));
        return true;
      case property::kEditAlignment:
        *out = IntResult(static_cast<int32_t>(block_.alignment));
        return true;
      case property::kEditInputMode:
        *out = IntResult(static_cast<int32_t>(block_.input_mode));
        return true;
      case property::kEditPasswordChar: *out = IntResult(block_.password_char); return true;
      case property::kEditCaseConversion:
        *out = IntResult(static_cast<int32_t>(block_.case_conversion));
        return true;
      case property::kEditSpin: *out = IntResult(static_cast<int32_t>(block_.spin)); return true;
      case property::kEditSpinMinimum: *out = IntResult(block_.spin_minimum); return true;
      case property::kEditSpinMaximum: *out = IntResult(block_.spin_maximum); return true;
      case property::kEditSelectionStart:
      case property::kEditSelectionLength:
      case property::kEditSelectedText: {
        int start = 0;
        int length = 0;
        edit_->GetSelection(&start, &length);
        if (number == property::kEditSelectionStart) *out = IntResult(start);
        if (number == property::kEditSelectionLength) *out = IntResult(length);
        if (number == property::kEditSelectedText) {
          std::string text = edit_->Text();
          start = std::clamp(start, 0, static_cast<int>(text.size()));
          length = std::clamp(length, 0, static_cast<int>(text.size()) - start);
          *out = TextResult(text.substr(static_cast<size_t>(start), static_cast<size_t>(length)));
        }
        return true;
      }
      case property::kEditFont: *out = ReadFontProperty(block_.font, sub_index); return true;
      default: return false;
    }
  }

  bool WriteProperty(int k, int sub_index, const TypedValue& value) override {
    const int32_t number = property::OwnNumber(k);
    switch (number) {
      case property::kEditContent: ruled_.SetText(PropertyText(value)); return true;
      case property::kEditTextColour:
      case property::kEditBackground:
        (number == property::kEditTextColour ? block_.text_colour : block_.background) =
            static_cast<uint32_t>(PropertyInt(value));
        edit_->SetColors(block_.text_colour, block_.background);
        return true;
      case property::kEditMaxLength:
        block_.max_length = static_cast<uint32_t>(std::max(0, PropertyInt(value)));
        ruled_.SetRules(RulesOf(block_));
        return true;
      case property::kEditAlignment:
        block_.alignment = static_cast<uint32_t>(std::clamp(PropertyInt(value), 0, 2));
        edit_->SetAlign(AlignOf(block_.alignment));
        return true;
      case property::kEditInputMode:
        block_.input_mode = static_cast<uint32_t>(std::clamp(PropertyInt(value), 0, 2));
        ApplyInputMode();
        return true;
      case property::kEditPasswordChar:
        block_.password_char = static_cast<uint16_t>(PropertyInt(value));
        ApplyInputMode();
        return true;
      case property::kEditCaseConversion:
        block_.case_conversion = static_cast<uint32_t>(std::clamp(PropertyInt(value), 0, 2));
        ruled_.SetRules(RulesOf(block_));
        return true;
      case property::kEditSpinMinimum:
      case property::kEditSpinMaximum:
        (number == property::kEditSpinMinimum ? block_.spin_minimum : block_.spin_maximum) =
            PropertyInt(value);
        if (spin_presenter_) spin_presenter_->SetRange(block_.spin_minimum, block_.spin_maximum);
        return true;
      case property::kEditSelectionStart: {
        int start = 0;
        int length = 0;
        edit_->GetSelection(&start, &length);
        edit_->SetSelection(std::max(0, PropertyInt(value)), 0);
        return true;
      }
      case property::kEditSelectionLength: {
        int start = 0;
        int length = 0;
        edit_->GetSelection(&start, &length);
        edit_->SetSelection(start, PropertyInt(value));
        return true;
      }
      case property::kEditSelectedText: ruled_.ReplaceSelection(PropertyText(value)); return true;
      case property::kEditFont:
        if (WriteFontProperty(&block_.font, sub_index, value))
          edit_->SetFont(FontSpecOf(block_.font));
        return true;
      case property::kEditBorder:
      case property::kEditHideSelection:
      case property::kEditMultiLine:
      case property::kEditScrollBars:
      case property::kEditSpin: return true;  // fixed at creation
      default: return false;
    }
  }

 private:
  void ApplyInputMode() {
    edit_->SetReadOnly(block_.input_mode == 1);
    edit_->SetPasswordChar(block_.input_mode == 2 ? block_.password_char : 0);
  }

  EditBoxBlock block_;
  platform::EditControl* edit_;
  RuledEdit ruled_;
  platform::UpDownControl* spin_;
  std::unique_ptr<SpinPresenter> spin_presenter_;
};

}  // namespace

std::unique_ptr<Unit> CreateEditBoxUnit(const UnitCreation& creation) {
  EditBoxBlock block;
  if (ReadEditBoxBlock(creation.record->type_block, &block) != BlockStatus::kOk) return nullptr;
  platform::EditStyle style;
  style.border = static_cast<int>(block.border);
  style.multi_line = block.multi_line != 0;
  style.scroll_bars =
      style.multi_line ? ScrollBarsOf(block.scroll_bars) : platform::ScrollBars::kNone;
  style.align = AlignOf(block.alignment);
  style.read_only = block.input_mode == 1;
  style.password_char = block.input_mode == 2 ? block.password_char : 0;
  style.hide_selection = block.hide_selection != 0;
  style.text_color = block.text_colour;
  style.background = block.background;
  style.font = FontSpecOf(block.font);
  style.text_gbk = block.content;
  style.selection_start = static_cast<int>(block.selection_start);
  style.selection_length = static_cast<int>(block.selection_length);

  platform::ControlPlacement placement = creation.placement;
  if (!style.multi_line) {
    // A single-line box is at least as tall as its font's text and two edges.
    if (platform::Backend* backend = platform::CurrentBackend()) {
      platform::FontSpec font = style.font.IsDefault() ? backend->DefaultGuiFont() : style.font;
      int minimum = backend->MeasureFont(font).height + 2 * backend->Metrics().edge_height;
      placement.rect.height = std::max(placement.rect.height, minimum);
    }
  }
  bool spin = block.spin != 0;
  if (spin) placement.rect.width = std::max(0, placement.rect.width - kSpinWidth);
  platform::EditControl* edit = creation.native->CreateEdit(placement, style);
  if (!edit) return nullptr;
  platform::UpDownControl* up_down = nullptr;
  if (spin) {
    platform::ControlPlacement spin_placement = placement;
    spin_placement.rect = platform::Rect{placement.rect.right(), placement.rect.top, kSpinWidth,
                                         placement.rect.height};
    spin_placement.tab_stop = false;
    spin_placement.child_id = 0;
    platform::UpDownStyle spin_style;
    up_down = creation.native->CreateUpDown(spin_placement, spin_style);
    if (!up_down) return nullptr;
  }
  return std::make_unique<EditBoxUnit>(creation.context, block, edit, up_down);
}

}  // namespace memo::ui
