#include "tools/script/combo_probe.h"

#include "runtime/convert.h"
#include "runtime/dispatch.h"
#include "runtime/heap.h"
#include "runtime/literal.h"
#include "ui/controls/combo_commands.h"
#include "ui/format/segment.h"
#include "ui/window/property_numbers.h"
#include "ui/window/window_commands.h"

namespace memo::script {

namespace {

bool IsCombo(const Target& target, std::string* why) {
  if (target.window->record().units[static_cast<size_t>(target.index)].type ==
      ui::unit_type::kComboBox) {
    return true;
  }
  *why = "it is no combo box";
  return false;
}

}  // namespace

bool ComboItems(const Target& target, std::vector<std::string>* items_gbk, std::string* why) {
  items_gbk->clear();
  if (!IsCombo(target, why)) return false;
  TypedValue combo =
      ui::UnitReference(target.window->window_id(), target.unit_id, ui::unit_type::kComboBox);
  ArgList count_args{combo};
  int32_t count = CallInt(ui::ComboItemCount, count_args);
  for (int32_t i = 0; i < count; ++i) {
    ArgList text_args{combo, IntValue(i)};
    TextOwner text = CallText(ui::ComboItemText, text_args);
    items_gbk->push_back(NonNullText(text.get()));
  }
  return true;
}

bool ComboCurrentIndex(const Target& target, int* index, std::string* why) {
  if (!IsCombo(target, why)) return false;
  TypedValue value = ui::ReadProperty(target.window->window_id(), target.unit_id,
                                      ui::property::kComboCurrentIndex, -1);
  bool numeric = IsNumeric(value.tag);
  if (numeric) *index = ToInteger(value);
  ReleaseValue(&value);
  if (!numeric) *why = "property 19 does not read as a number";
  return numeric;
}

}  // namespace memo::script
