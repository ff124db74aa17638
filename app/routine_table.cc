#include <array>

#include "app/routines.h"
#include "ui/program_routines.h"

namespace memo::app {

namespace {

using ui::ProgramRoutine;

// Routines by their number; a number without an entry resolves to no routine.
std::array<ui::EventRoutine, ui::kProgramRoutineCount> MakeTable() {
  std::array<ui::EventRoutine, ui::kProgramRoutineCount> table{};
  auto set = [&table](ProgramRoutine number, ui::EventRoutine routine) {
    table[static_cast<size_t>(number)] = routine;
  };
  set(ProgramRoutine::kLoginWindowCreated, LoginWindowCreated);
  set(ProgramRoutine::kLogin, Login);
  set(ProgramRoutine::kLoginAccountKey, LoginAccountKey);
  set(ProgramRoutine::kLoginPasswordKey, LoginPasswordKey);
  return table;
}

}  // namespace

const ui::EventRoutine* RoutineTable() {
  static const std::array<ui::EventRoutine, ui::kProgramRoutineCount> table = MakeTable();
  return table.data();
}

}  // namespace memo::app
