#include "app/windows/unit_builders.h"

#include <stdexcept>

#include "platform/codec.h"

namespace memo::ui::windows {

std::string ToGbk(std::string_view utf8) {
  std::string gbk;
  if (!Utf8ToGbkStrict(utf8, &gbk)) {
    throw std::runtime_error("no GBK form for the text \"" + std::string(utf8) + "\"");
  }
  return gbk;
}

EventBinding On(int32_t event, ProgramRoutine routine) { return {event, RoutineRef(routine)}; }

UnitRecord WindowUnit(uint32_t id, Rect rect, std::string type_block,
                      std::initializer_list<EventBinding> events) {
  return Control(id, unit_type::kWindow, "", rect, kVisibleOnly, std::move(type_block), events);
}

UnitRecord Control(uint32_t id, uint32_t type, std::string_view name_utf8, Rect rect,
                   uint32_t flags, std::string type_block,
                   std::initializer_list<EventBinding> events) {
  UnitRecord unit;
  unit.id = id;
  unit.type = type;
  unit.name = ToGbk(name_utf8);
  unit.left = rect.left;
  unit.top = rect.top;
  unit.width = rect.width;
  unit.height = rect.height;
  unit.flags = flags;
  unit.events = events;
  unit.type_block = std::move(type_block);
  return unit;
}

UnitRecord MenuItem(uint32_t id, uint32_t level, uint32_t menu_flags, std::string_view caption_utf8,
                    int32_t routine) {
  UnitRecord item;
  item.id = id;
  item.type = unit_type::kMenu;
  item.level = level;
  item.menu_flags = menu_flags;
  item.caption = ToGbk(caption_utf8);
  item.routine = routine;
  return item;
}

std::string WindowBlockWithCaption(std::string_view caption_utf8) {
  // The defaults are this program's window settings: fixed border, control box only, centred,
  // movable, Esc closes, shown in the task bar.
  WindowBlock block;
  block.caption = ToGbk(caption_utf8);
  return WriteWindowBlock(block);
}

std::string ButtonWithCaption(std::string_view caption_utf8) {
  ButtonBlock block;
  block.type = 0;
  block.halign = 1;
  block.valign = 1;
  block.caption = ToGbk(caption_utf8);
  return WriteButtonBlock(block);
}

std::string TransLabelWithText(std::string_view text_utf8) {
  TransLabelBlock block;
  block.text = ToGbk(text_utf8);
  return WriteTransLabelBlock(block);
}

std::string ComboBoxOfCategories(uint32_t style) {
  ComboBoxBlock block;
  block.style = style;
  block.items = {ToGbk("资金借出"), ToGbk("资金借入")};
  block.item_data = {0, 0};  // one word per item
  block.current_index = 0;
  // The edit field shows the current item, whichever of the two a control applies last.
  block.content = block.items[0];
  return WriteComboBoxBlock(block);
}

EditBoxBlock ProgramEditBox() {
  EditBoxBlock block;
  block.border = 5;
  return block;
}

}  // namespace memo::ui::windows
