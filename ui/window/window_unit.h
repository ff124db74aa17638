// The window unit: the window's own unit (index 0 of its table). Its type properties are the
// window block's settings; the caption (8) is the one the application writes.
#pragma once

#include <memory>

#include "platform/window.h"
#include "ui/format/type_blocks.h"
#include "ui/window/unit.h"

namespace memo::ui {

class WindowUnit : public Unit {
 public:
  WindowUnit(const UnitContext& context, const WindowBlock& block, platform::Window* native);

  const WindowBlock& block() const { return block_; }

  bool ReadProperty(int k, int sub_index, TypedValue* out) override;
  bool WriteProperty(int k, int sub_index, const TypedValue& value) override;
  void Activate() override;

 private:
  WindowBlock block_;
  platform::Window* native_;
};

// The native window's style for a window record's unit 0 and its block. `screen` is the screen
// size a centred window is placed on.
platform::WindowStyle WindowStyleOf(const UnitRecord& unit, const WindowBlock& block,
                                    platform::Size screen);

}  // namespace memo::ui
