// The introduction window: product information and a close button.
#include "app/app_support.h"
#include "app/routines.h"
#include "app/window_units.h"
#include "runtime/dispatch.h"
#include "ui/window/window_commands.h"

namespace memo::app {

void CloseIntroduction(ui::EventCall&) {
  ArgList args{Ref(intro::kWindow, intro::kWindowUnit, ui::unit_type::kWindow)};
  CallCommand(ui::CloseWindowCommand, args);
}

}  // namespace memo::app
