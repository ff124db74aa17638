#include "ui/window/window_unit.h"

#include "ui/window/property_values.h"

namespace memo::ui {

namespace {

// The window's type properties, number 8 + k.
enum WindowProperty {
  kCaption = 0,
  kBorder,
  kBackground,
  kMaximizeButton,
  kMinimizeButton,
  kControlBox,
  kStartPosition,
  kMovable,
  kEnterMovesFocus,
  kEscCloses,
  kF1OpensHelp,
  kHelpTopic,
  kShowInTaskbar,
  kAlwaysOnTop,
  kHelpFile,
  kPicture,
  kIcon,
};

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
  (void)sub_index;
  switch (k) {
    case kCaption: *out = TextResult(native_->Caption()); return true;
    case kBorder: *out = IntResult(static_cast<int32_t>(block_.border)); return true;
    case kBackground: *out = IntResult(static_cast<int32_t>(block_.background)); return true;
    case kMaximizeButton: *out = BoolResult(block_.maximize_button != 0); return true;
    case kMinimizeButton: *out = BoolResult(block_.minimize_button != 0); return true;
    case kControlBox: *out = BoolResult(block_.control_box != 0); return true;
    case kStartPosition: *out = IntResult(static_cast<int32_t>(block_.start_position)); return true;
    case kMovable: *out = BoolResult(block_.movable != 0); return true;
    case kEnterMovesFocus: *out = BoolResult(block_.enter_moves_focus != 0); return true;
    case kEscCloses: *out = BoolResult(block_.esc_closes != 0); return true;
    case kF1OpensHelp: *out = BoolResult(block_.f1_opens_help != 0); return true;
    case kHelpTopic: *out = IntResult(static_cast<int32_t>(block_.help_topic)); return true;
    case kShowInTaskbar: *out = BoolResult(block_.show_in_taskbar != 0); return true;
    case kAlwaysOnTop: *out = BoolResult(native_->IsAlwaysOnTop()); return true;
    case kHelpFile: *out = TextResult(block_.help_file); return true;
    case kPicture: *out = ByteSetResult(block_.picture); return true;
    case kIcon: *out = ByteSetResult(block_.icon); return true;
    default: return false;
  }
}

bool WindowUnit::WriteProperty(int k, int sub_index, const TypedValue& value) {
  (void)sub_index;
  switch (k) {
    case kCaption:
      block_.caption = PropertyText(value);
      native_->SetCaption(block_.caption);
      return true;
    case kBackground:
      block_.background = static_cast<uint32_t>(PropertyInt(value));
      native_->SetBackground(block_.background);
      return true;
    case kEnterMovesFocus: block_.enter_moves_focus = PropertyBool(value); return true;
    case kEscCloses: block_.esc_closes = PropertyBool(value); return true;
    case kF1OpensHelp: block_.f1_opens_help = PropertyBool(value); return true;
    case kHelpTopic: block_.help_topic = static_cast<uint32_t>(PropertyInt(value)); return true;
    case kAlwaysOnTop:
      block_.always_on_top = PropertyBool(value);
      native_->SetAlwaysOnTop(block_.always_on_top != 0);
      return true;
    case kHelpFile: block_.help_file = PropertyText(value); return true;
    // The frame of a live window (border, buttons, task bar entry) is fixed at creation.
    case kBorder:
    case kMaximizeButton:
    case kMinimizeButton:
    case kControlBox:
    case kStartPosition:
    case kMovable:
    case kShowInTaskbar:
    case kPicture:
    case kIcon:
      return true;
    default: return false;
  }
}

}  // namespace memo::ui
