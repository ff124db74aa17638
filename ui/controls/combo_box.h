// The combo box unit: a ComboPresenter (model above the seam, view below) made from its block.
#pragma once

#include "ui/controls/combo_presenter.h"
#include "ui/format/type_blocks.h"
#include "ui/window/unit.h"

namespace memo::ui {

class ComboBoxUnit;
// The combo box behind a unit, or null when the unit is not one.
ComboBoxUnit* ComboBoxOf(Unit* unit);

class ComboBoxUnit final : public Unit {
 public:
  ComboBoxUnit(const UnitContext& context, const ComboBoxBlock& block, ComboModel model,
               platform::ComboControl* view);

  ComboPresenter& presenter() { return presenter_; }
  const ComboModel& model() const { return presenter_.model(); }

  platform::Control* control() const override { return view_; }
  platform::InputDecision FilterInput(const platform::InputEvent& event) override {
    return presenter_.FilterInput(event);
  }
  bool ReadProperty(int k, int sub_index, TypedValue* out) override;
  bool WriteProperty(int k, int sub_index, const TypedValue& value) override;

 private:
  ComboBoxBlock block_;
  platform::ComboControl* view_;
  ComboPresenter presenter_;
};

}  // namespace memo::ui
