// Small builders for the program's window definitions: unit records and type blocks with this
// program's values, from UTF-8 source texts. Used only by the build step that serialises the
// windows (make_window_segment), never at run time.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "app/windows/program_routines.h"
#include "ui/format/segment.h"
#include "ui/format/type_blocks.h"

namespace memo::ui::windows {

// The GBK form of a UTF-8 source text. Throws std::runtime_error when a character has no GBK
// form, so that a mistyped literal fails the build instead of shipping a '?'.
std::string ToGbk(std::string_view utf8);

struct Rect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t width = 0;
  int32_t height = 0;
};

// Event numbers of the units that raise their own (the common ones are in ui/window/events.h).
constexpr int32_t kGridCurrentCellChanged = 1;  // Grid
constexpr int32_t kGridCellEditing = 2;         // Grid: before a user's edit or paste is written
constexpr int32_t kEGridLeftButtonUp = 5;       // EGrid

EventBinding On(int32_t event, ProgramRoutine routine);

// The window unit: visible, no name, geometry in screen pixels.
UnitRecord WindowUnit(uint32_t id, Rect rect, std::string type_block,
                      std::initializer_list<EventBinding> events = {});

// A control or data unit of the window itself (parent 0).
UnitRecord Control(uint32_t id, uint32_t type, std::string_view name_utf8, Rect rect,
                   uint32_t flags, std::string type_block,
                   std::initializer_list<EventBinding> events = {});

// A menu item; `routine` is a RoutineRef, or kNoRoutine for an item that runs nothing.
UnitRecord MenuItem(uint32_t id, uint32_t level, uint32_t menu_flags, std::string_view caption_utf8,
                    int32_t routine = kNoRoutine);

// Type blocks with the values every unit of this program shares.
std::string WindowBlockWithCaption(std::string_view caption_utf8);  // fixed border, centred
std::string ButtonWithCaption(std::string_view caption_utf8);       // normal, centred, no picture
std::string TransLabelWithText(std::string_view text_utf8);         // words 0, 0, 0, 1, 0
std::string ComboBoxOfCategories(uint32_t style);  // "资金借出", "资金借入", item 0 current
// The edit box settings the program starts from: the defaults with border 5.
EditBoxBlock ProgramEditBox();

// State flags the program's units use.
constexpr uint32_t kVisibleTabStop = kFlagVisible | kFlagTabStop;  // edit boxes, buttons, grids
constexpr uint32_t kVisibleOnly = kFlagVisible;                    // windows, labels
constexpr uint32_t kHiddenTabStop = kFlagTabStop;                  // data source, HTML viewer
constexpr uint32_t kHidden = 0;                                    // database provider

}  // namespace memo::ui::windows
