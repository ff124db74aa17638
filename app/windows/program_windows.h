// The program's five windows, described once: every unit, its geometry, state flags, name, type
// block and event bindings, in unit-table order. The build step serialises this store into the
// segment the programs carry (app/windows/carried_segment.h).
#pragma once

#include "ui/format/segment.h"

namespace memo::ui::windows {

// In definition order: main, login, customer follow-up, password change, introduction.
// Throws std::runtime_error when a source text has no GBK form.
DefinitionStore BuildProgramWindows();

// Word B of each window record: ids 0x1901xxxx from the program's serial, after every unit id.
constexpr uint32_t kMainWordB = 0x19010170;
constexpr uint32_t kLoginWordB = 0x19010171;
constexpr uint32_t kFollowUpWordB = 0x19010172;
constexpr uint32_t kPasswordWordB = 0x19010173;
constexpr uint32_t kIntroWordB = 0x19010174;

}  // namespace memo::ui::windows
