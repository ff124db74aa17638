#include "tools/script/combo_probe.h"

#include "runtime/convert.h"
#include "runtime/heap.h"
#include "ui/format/segment.h"

namespace memo::script {

namespace {

constexpr int32_t kCurrentIndexProperty = 19;

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
  // FIXME: read the list through the library's combo box commands (item count, item text) once
  // they are part of the build; until then the list cannot be checked, and saying so beats
  // guessing it from a backend's control.
  *why = "the combo box commands (item count, item text) are not in this build yet";
  return false;
}

bool ComboCurrentIndex(const Target& target, int* index, std::string* why) {
  if (!IsCombo(target, why)) return false;
  TypedValue value = ui::ReadProperty(target.window->window_id(), target.unit_id,
                                      kCurrentIndexProperty, -1);
  bool numeric = IsNumeric(value.tag);
  if (numeric) *index = ToInteger(value);
  ReleaseValue(&value);
  if (!numeric) *why = "property 19 does not read as a number";
  return numeric;
}

}  // namespace memo::script
