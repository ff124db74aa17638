// The factories of the standard controls: edit box, button, combo box, label, transparent label
// and HTML viewer. Each reads its type block (an unreadable or newer block fails the creation)
// and creates its native control through the seam.
#pragma once

#include <memory>

#include "ui/format/type_blocks.h"
#include "ui/window/unit.h"

namespace memo::ui {

std::unique_ptr<Unit> CreateEditBoxUnit(const UnitCreation& creation);
std::unique_ptr<Unit> CreateButtonUnit(const UnitCreation& creation);
std::unique_ptr<Unit> CreateComboBoxUnit(const UnitCreation& creation);
std::unique_ptr<Unit> CreateLabelUnit(const UnitCreation& creation);
std::unique_ptr<Unit> CreateTransLabelUnit(const UnitCreation& creation);
std::unique_ptr<Unit> CreateHtmlViewerUnit(const UnitCreation& creation);

// A stored font as the seam's font spec (the default GUI font when none is stored).
platform::FontSpec FontSpecOf(const StoredFont& font);

}  // namespace memo::ui
