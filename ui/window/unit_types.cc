// The table of unit types the window runtime can create. A unit of a type that is not here (or
// whose factory is missing) cannot be created, and its window's loading fails.
#include "ui/advanced_grid/egrid_unit.h"
#include "ui/data_units/data_units.h"
#include "ui/window/standard_units.h"
#include "ui/window/unit.h"

namespace memo::ui {

namespace {

const UnitTypeInfo kUnitTypes[] = {
    // The window unit and menu items are built by the runtime itself, never by a factory.
    {unit_type::kWindow, nullptr, false, true},
    {unit_type::kMenu, nullptr, false, true},
    {unit_type::kEditBox, CreateEditBoxUnit, false, true},
    {unit_type::kButton, CreateButtonUnit, false, true},
    {unit_type::kComboBox, CreateComboBoxUnit, false, true},
    {unit_type::kLabel, CreateLabelUnit, false, true},
    {unit_type::kTransLabel, CreateTransLabelUnit, false, true},
    {unit_type::kHtmlViewer, CreateHtmlViewerUnit, false, true},
    {unit_type::kEGrid, CreateEGridUnit, false, true},
    {unit_type::kGrid, CreateGridUnit, false, true},
    {unit_type::kDataSrc, CreateDataSrcUnit, false, true},
    // The provider has no control: it is never shown and raises no events.
    {unit_type::kDBProvider, CreateDBProviderUnit, true, false},
};

}  // namespace

const UnitTypeInfo* FindUnitType(uint32_t code) {
  for (const UnitTypeInfo& type : kUnitTypes) {
    if (type.code == code) return &type;
  }
  return nullptr;
}

}  // namespace memo::ui
