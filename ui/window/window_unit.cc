#include "ui/window/window_unit.h"

#include "ui/window/property_numbers.h"
#include "ui/window/property_values.h"

namespace memo::ui {

namespace {

platform::WindowBorder BorderOf(uint32_t border) {
  return border <= 6 ? static_cast<platform::WindowBorder>(border) : platform::WindowBorder::kFixed;
}

}  // namespace

platform::WindowStyle WindowStyleOf(const UnitRecord& unit, const WindowBlock& block,
                                    platform::Size screen) {
  platform::WindowStyle style;
  style.rect = platform::Rect{unit.left, unit.top, unit.width, unit.height};
  if (block.start_position == 1) {
    style.rect.left = (screen.width - unit.width) / 2;
    style.rect.top = (screen.height - unit.height) / 2;
  }
  style.caption_gbk = block.caption;
  style.border = BorderOf(block.border);
  style.maximize_button = block.maximize_button != 0;
  style.minimize_button = block.minimize_button != 0;
  style.control_box = block.control_box != 0;
  style.movable = block.movable != 0;
  style.show_in_taskbar = block.show_in_taskbar != 0;
  style.always_on_top = block.always_on_top != 0;
  style.background = block.background;
  style.icon_bytes = block.icon;
  return style;
}

WindowUnit::WindowUnit(const UnitContext& context, const WindowBlock& block,
                       platform::Window* native)
    : Unit(context), block_(block), native_(native) {}

void WindowUnit::Activate() { native_->Activate(); }

bool WindowUnit::ReadProperty(int k, int sub_index, TypedValue* out) {
  const int32_t number = property::OwnNumber(k);
  (void)sub_index;
  switch (number) {
    case property::kWindowCaption: *out = TextResult(native_->Caption()); return true;
    case property::kWindowBorder:
      *out = IntResult(static_cast<int32_t>(block_.border));
      return true;
    case property::kWindowBackground:
      *out = IntResult(static_cast<int32_t>(block_.background));
      return true;
    case property::kWindowMaximizeButton:
      *out = BoolResult(block_.maximize_button != 0);
      return true;
    case property::kWindowMinimizeButton:
      *out = BoolResult(block_.minimize_button != 0);
      return true;
    case property::kWindowControlBox: *out = BoolResult(block_.control_box != 0); return true;
    case property::kWindowStartPosition:
      *out = IntResult(static_cast<int32_t>(block_.start_position));
      return true;
    case property::kWindowMovable: *out = BoolResult(block_.movable != 0); return true;
    case property::kWindowEnterMovesFocus:
      *out = BoolResult(block_.enter_moves_focus != 0);
      return true;
    case property::kWindowEscCloses: *out = BoolResult(block_.esc_closes != 0); return true;
    case property::kWindowF1OpensHelp: *out = BoolResult(block_.f1_opens_help != 0); return true;
    case property::kWindowHelpTopic:
      *out = IntResult(static_cast<int32_t>(block_.help_topic));
      return true;
    case property::kWindowShowInTaskbar:
      *out = BoolResult(block_.show_in_taskbar != 0);
      return true;
    case property::kWindowAlwaysOnTop: *out = BoolResult(native_->IsAlwaysOnTop()); return true;
    case property::kWindowHelpFile: *out = TextResult(block_.help_file); return true;
    case property::kWindowPicture: *out = ByteSetResult(block_.picture); return true;
    case property::kWindowIcon: *out = ByteSetResult(block_.icon); return true;
    default: return false;
  }
}

bool WindowUnit::WriteProperty(int k, int sub_index, const TypedValue& value) {
  const int32_t number = property::OwnNumber(k);
  (void)sub_index;
  switch (number) {
    case property::kWindowCaption:
      block_.caption = PropertyText(value);
      native_->SetCaption(block_.caption);
      return true;
    case property::kWindowBackground:
      block_.background = static_cast<uint32_t>(PropertyInt(value));
      native_->SetBackground(block_.background);
      return true;
    case property::kWindowEnterMovesFocus:
      block_.enter_moves_focus = PropertyBool(value);
      return true;
    case property::kWindowEscCloses: block_.esc_closes = PropertyBool(value); return true;
    case property::kWindowF1OpensHelp: block_.f1_opens_help = PropertyBool(value); return true;
    case property::kWindowHelpTopic:
      block_.help_topic = static_cast<uint32_t>(PropertyInt(value));
      return true;
    case property::kWindowAlwaysOnTop:
      block_.always_on_top = PropertyBool(value);
      native_->SetAlwaysOnTop(block_.always_on_top != 0);
      return true;
    case property::kWindowHelpFile: block_.help_file = PropertyText(value); return true;
    // The frame of a live window (border, buttons, task bar entry) is fixed at creation.
    case property::kWindowBorder:
    case property::kWindowMaximizeButton:
    case property::kWindowMinimizeButton:
    case property::kWindowControlBox:
    case property::kWindowStartPosition:
    case property::kWindowMovable:
    case property::kWindowShowInTaskbar:
    case property::kWindowPicture:
    case property::kWindowIcon: return true;
    default: return false;
  }
}

}  // namespace memo::ui
