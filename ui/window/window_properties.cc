// Properties by number. The common properties 0..7 belong to every unit other than a menu item
// and are the runtime's: on an open window they act on the live control and are written through
// to the stored record (so a later load sees them); on a closed window they read and write the
// stored record. Numbers from 8 up are the unit type's own and need the window open. Menu items
// have their own four: 0 caption, 1 checked, 2 disabled, 3 visible.
#include "platform/backend.h"
#include "runtime/fatal.h"
#include "runtime/literal.h"
#include "ui/window/live_window.h"
#include "ui/window/property_numbers.h"
#include "ui/window/property_values.h"
#include "ui/window/window_runtime.h"

namespace memo::ui {

namespace {

DefinitionStore& MutableStore() { return const_cast<DefinitionStore&>(Store()); }

struct Target {
  WindowRecord* stored = nullptr;  // the store's record of the window
  LiveWindowImpl* live = nullptr;  // the open window, or null
  int index = -1;                  // the unit's position in the unit table
  UnitRecord* stored_unit() const { return &stored->units[static_cast<size_t>(index)]; }
  UnitRecord* working_unit() const {
    return live ? &live->working().units[static_cast<size_t>(index)] : stored_unit();
  }
};

Target Find(uint32_t window_id, uint32_t unit_id) {
  DefinitionStore& store = MutableStore();
  int window_index = store.Find(window_id);
  if (window_index < 0) FatalError(Gbk("未载入欲访问窗口组件所在的窗口"));
  Target target;
  target.stored = &store.windows[static_cast<size_t>(window_index)];
  target.live = static_cast<LiveWindowImpl*>(FindLiveWindow(window_id));
  // A live window's working record has the stored record's units at the same places, and the
  // live window finds them by id without a search.
  target.index = unit_id == 0  ? 0
                 : target.live ? target.live->IndexOf(unit_id)
                               : target.stored->FindUnit(unit_id);
  if (target.index < 0) FatalError(Gbk("指定窗口或窗口组件不存在或尚未载入"));
  return target;
}

bool FlagBit(const UnitRecord& unit, uint32_t bit) { return (unit.flags & bit) != 0; }
void SetFlagBit(UnitRecord* unit, uint32_t bit, bool on) {
  unit->flags = on ? (unit->flags | bit) : (unit->flags & ~bit);
}

TypedValue ReadMenuItem(const UnitRecord& item, int32_t number) {
  switch (number) {
    case property::kMenuItemCaption: return TextResult(item.caption);
    case property::kMenuItemChecked: return BoolResult((item.menu_flags & kMenuChecked) != 0);
    case property::kMenuItemDisabled: return BoolResult((item.menu_flags & kMenuDisabled) != 0);
    case property::kMenuItemVisible: return BoolResult((item.menu_flags & kMenuHidden) == 0);
    default: return TypedValue{};
  }
}

void WriteMenuItem(UnitRecord* item, int32_t number, const TypedValue& value) {
  auto set = [item](uint32_t bit, bool on) {
    item->menu_flags = on ? (item->menu_flags | bit) : (item->menu_flags & ~bit);
  };
  switch (number) {
    case property::kMenuItemCaption: item->caption = PropertyText(value); break;
    case property::kMenuItemChecked: set(kMenuChecked, PropertyBool(value)); break;
    case property::kMenuItemDisabled: set(kMenuDisabled, PropertyBool(value)); break;
    case property::kMenuItemVisible: set(kMenuHidden, !PropertyBool(value)); break;
    default: break;
  }
}

// The live rectangle of a unit: a control's in its parent's client area, the window's on the
// screen. False when the unit has no live rectangle (a unit without a control, a closed window).
bool LiveRect(const Target& target, platform::Rect* rect) {
  if (!target.live) return false;
  if (target.index == 0) {
    *rect = target.live->native()->Geometry();
    return true;
  }
  Unit* unit = target.live->UnitAt(target.index);
  if (!unit || !unit->control()) return false;
  *rect = unit->control()->Geometry();
  return true;
}

void WriteGeometry(const Target& target, int32_t number, int32_t v) {
  UnitRecord* stored = target.stored_unit();
  UnitRecord* working = target.working_unit();
  int32_t* fields[2][4] = {{&stored->left, &stored->top, &stored->width, &stored->height},
                           {&working->left, &working->top, &working->width, &working->height}};
  *fields[0][number] = v;
  *fields[1][number] = v;
  platform::Rect rect;
  if (!LiveRect(target, &rect)) return;
  switch (number) {
    case property::kLeft: rect.left = v; break;
    case property::kTop: rect.top = v; break;
    case property::kWidth: rect.width = v; break;
    case property::kHeight: rect.height = v; break;
  }
  if (target.index == 0) {
    target.live->native()->SetGeometry(rect);
  } else {
    target.live->UnitAt(target.index)->control()->SetGeometry(rect);
  }
}

void WriteVisible(const Target& target, bool visible) {
  SetFlagBit(target.stored_unit(), kFlagVisible, visible);
  SetFlagBit(target.working_unit(), kFlagVisible, visible);
  if (!target.live) return;
  LiveWindowImpl* window = target.live;
  if (target.index == 0) {
    if (visible) {
      window->native()->Show(platform::ShowMode::kNormal);
      window->shown_ = true;
    } else {
      window->native()->Hide();
    }
    return;
  }
  Unit* unit = window->UnitAt(target.index);
  const UnitTypeInfo* type = FindUnitType(target.working_unit()->type);
  if (unit && unit->control() && !(type && type->never_visible)) {
    unit->control()->SetVisible(visible);
  }
}

void WriteDisabled(const Target& target, bool disabled) {
  SetFlagBit(target.stored_unit(), kFlagDisabled, disabled);
  SetFlagBit(target.working_unit(), kFlagDisabled, disabled);
  if (!target.live) return;
  if (target.index == 0) {
    target.live->native()->SetEnabled(!disabled);
    return;
  }
  Unit* unit = target.live->UnitAt(target.index);
  if (unit && unit->control()) unit->control()->SetEnabled(!disabled);
}

}  // namespace

TypedValue ReadProperty(uint32_t window_id, uint32_t unit_id, int32_t number, int32_t sub_index) {
  Target target = Find(window_id, unit_id);
  const UnitRecord& unit = *target.working_unit();
  if (unit.is_menu_item()) return ReadMenuItem(unit, number);
  if (number >= 0 && number <= property::kMousePointer) {
    platform::Rect rect;
    bool live = LiveRect(target, &rect);
    switch (number) {
      case property::kLeft: return IntResult(live ? rect.left : unit.left);
      case property::kTop: return IntResult(live ? rect.top : unit.top);
      case property::kWidth: return IntResult(live ? rect.width : unit.width);
      case property::kHeight: return IntResult(live ? rect.height : unit.height);
      case property::kTag: return TextResult(unit.tag);
      case property::kVisible: return BoolResult(FlagBit(unit, kFlagVisible));
      case property::kDisabled: return BoolResult(FlagBit(unit, kFlagDisabled));
      case property::kMousePointer: return ByteSetResult(unit.mouse_pointer);
    }
  }
  if (number < 0) return TypedValue{};
  if (!target.live) FatalError(Gbk("指定窗口尚未载入"));
  Unit* live = target.live->UnitAt(target.index);
  TypedValue out;
  if (!live || !live->ReadProperty(property::OwnIndex(number), sub_index, &out))
    return TypedValue{};
  return out;
}

void WriteProperty(uint32_t window_id, uint32_t unit_id, int32_t number, int32_t sub_index,
                   const TypedValue& value) {
  Target target = Find(window_id, unit_id);
  UnitRecord* unit = target.working_unit();
  if (unit->is_menu_item()) {
    WriteMenuItem(target.stored_unit(), number, value);
    if (target.live) {
      WriteMenuItem(unit, number, value);
      target.live->RebuildMenu();
    }
    return;
  }
  switch (number) {
    case property::kLeft:
    case property::kTop: WriteGeometry(target, number, ClampPosition(PropertyInt(value))); return;
    case property::kWidth:
    case property::kHeight: WriteGeometry(target, number, ClampSize(PropertyInt(value))); return;
    case property::kTag:
      target.stored_unit()->tag = PropertyText(value);
      unit->tag = target.stored_unit()->tag;
      return;
    case property::kVisible: WriteVisible(target, PropertyBool(value)); return;
    case property::kDisabled: WriteDisabled(target, PropertyBool(value)); return;
    case property::kMousePointer: {
      std::string image = PropertyBytes(value);
      target.stored_unit()->mouse_pointer = image;
      unit->mouse_pointer = image;
      if (target.live && target.index > 0) {
        Unit* live = target.live->UnitAt(target.index);
        if (live && live->control()) live->control()->SetCursorImage(image);
      }
      return;
    }
    default: break;
  }
  if (number < 0) return;
  if (!target.live) FatalError(Gbk("指定窗口尚未载入"));
  if (Unit* live = target.live->UnitAt(target.index))
    live->WriteProperty(property::OwnIndex(number), sub_index, value);
}

}  // namespace memo::ui
