// The window runtime: the store of window definitions, loaded once, and the live windows built
// from it; properties by number; closing; focus and repaint. Everything runs on the program's
// one thread.
//
// Windows and units are named by id only. A unit reference (runtime/value.h) is a cell whose data
// low is the WindowId, data high the UnitId (the window unit's own id for the window) and whose
// tag is the unit's type code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/window.h"
#include "runtime/value.h"
#include "ui/format/segment.h"
#include "ui/window/unit.h"

namespace memo::ui {

// Connects the window runtime to the program frame (runtime/program.h): InitialiseRuntime then
// loads `segment` (constant data that outlives the program) into the store, LoadStartupWindow
// loads windows from it, and the end sequence releases them. Call before RunProgram.
void InstallWindowRuntime(const uint8_t* segment, size_t size);

// Reads the segment into the store; false (store empty) when it cannot be read.
bool LoadSegment(const uint8_t* segment, size_t size);
const DefinitionStore& Store();

// How a window is loaded. A modal window disables the program's other windows, and its load
// returns only after it has been destroyed again.
enum class WindowMode { kModeless, kModal };

// Loads a window (see the loading steps in window_runtime.cc). `parent`, when not null, is a unit
// reference whose live control becomes the owner of a modeless window. True when the window was
// created (or was open already and has been activated); false when it cannot be created.
bool LoadWindow(uint32_t window_id, const TypedValue* parent, WindowMode mode);
// The same with a logical, as the load command takes it: true for modal.
inline bool LoadWindow(uint32_t window_id, const TypedValue* parent, bool modal) {
  return LoadWindow(window_id, parent, modal ? WindowMode::kModal : WindowMode::kModeless);
}

// Closes a window: marks it closing and destroys it after the calling routine has returned, or at
// once with `at_once`. No close request (event 1) is raised; event 2 is. A unit id that names a
// control instead of the window unit removes that control only.
void CloseWindow(uint32_t window_id, uint32_t unit_id, bool at_once);

// Property access by number (0..7 common, 8 and up the type's own; menu items 0..3 their own).
// Fatal errors: "未载入欲访问窗口组件所在的窗口" for a window id not in the store;
// "指定窗口尚未载入" for a type property of a closed window. The result belongs to the caller.
TypedValue ReadProperty(uint32_t window_id, uint32_t unit_id, int32_t number, int32_t sub_index);
void WriteProperty(uint32_t window_id, uint32_t unit_id, int32_t number, int32_t sub_index,
                   const TypedValue& value);

// The live unit (unit id 0: the window unit): fatal "指定窗口或窗口组件不存在或尚未载入" when the
// window is not open or has no such unit.
Unit* UnitObject(uint32_t window_id, uint32_t unit_id);
// The same, or null instead of the fatal error.
Unit* FindUnitObject(uint32_t window_id, uint32_t unit_id);

// Gives the unit's control the keyboard focus (the window unit: the window); repaints it at once.
void SetUnitFocus(uint32_t window_id, uint32_t unit_id);
void RefreshUnit(uint32_t window_id, uint32_t unit_id);

// --- For units, memo-script and tests ----------------------------------------------------------

class LiveWindow {
 public:
  virtual ~LiveWindow() = default;
  virtual uint32_t window_id() const = 0;
  virtual uint32_t window_unit_id() const = 0;
  virtual platform::Window* native() const = 0;
  // The working record (a copy of the stored one made at load) and the live units, by unit-table
  // index; a unit that has no live object (a menu item, a removed control) is null.
  virtual const WindowRecord& record() const = 0;
  virtual Unit* UnitAt(int index) const = 0;
  virtual Unit* FindUnit(uint32_t unit_id) const = 0;
  virtual Unit* FindUnitByName(std::string_view name_gbk) const = 0;
  // The unit whose control this is, or null.
  virtual Unit* UnitOfControl(const platform::Control* control) const = 0;
  // A helper control created by a unit inside this window (an in-place editor): its input goes to
  // owner->FilterChildInput. Forget it before destroying it.
  virtual void AdoptChild(platform::Control* child, Unit* owner) = 0;
  virtual void ForgetChild(platform::Control* child) = 0;
  virtual bool modal() const = 0;
  virtual bool closing() const = 0;
  // Loaded and shown (loading step 13 done).
  virtual bool loaded() const = 0;
};

// The open window with that id, or null.
LiveWindow* FindLiveWindow(uint32_t window_id);
// Every open window, oldest first.
std::vector<LiveWindow*> LiveWindows();
// True while at least one window is loaded.
bool AnyWindowLoaded();

// Destroys every live window and empties the store (the end sequence; tests).
void ReleaseWindows();
void ResetWindowRuntimeForTesting();

}  // namespace memo::ui
