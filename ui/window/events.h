// Events: the records a control or window hands to the dispatcher, the routines they reach, and
// the current event source.
//
// A routine is looked up by (window, unit, event number) in the loaded definitions: a menu item's
// single routine, or the first entry of a unit's event table with that number, after following
// the unit's event-source chain while it names a unit of the same type.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>

#include "runtime/value.h"

namespace memo::ui {

// The plain form: up to five 32-bit arguments and a 32-bit result.
struct EventRecord {
  uint32_t window_id = 0;
  uint32_t unit_id = 0;  // 0: the window unit
  int32_t event = 0;
  uint32_t arg_count = 0;  // at most 5
  uint32_t args[5] = {0, 0, 0, 0, 0};
  uint32_t has_result = 0;  // filled in by RaiseEvent
  uint32_t result = 0;
};

// The extended form: up to twelve typed arguments (a value and a state word each) and a 64-bit
// result. Dispatched like the plain form.
struct ExtendedArgument {
  TypedValue value;
  uint32_t state = 0;
};
struct ExtendedEventRecord {
  uint32_t window_id = 0;
  uint32_t unit_id = 0;
  int32_t event = 0;
  uint32_t arg_count = 0;  // at most 12
  ExtendedArgument args[12];
  uint32_t has_result = 0;
  uint64_t result = 0;
};

// What a routine receives: the event's source and arguments as value cells (plain arguments
// arrive as Int cells). A routine that returns a value sets has_result and result; the
// dispatcher hands it back to the raiser. Argument blocks belong to the raiser.
struct EventCall {
  uint32_t window_id = 0;
  uint32_t unit_id = 0;  // the unit that raised the event (the window unit's id for the window)
  int32_t event = 0;
  int32_t arg_count = 0;
  TypedValue args[12];
  bool has_result = false;
  TypedValue result;
};
using EventRoutine = void (*)(EventCall& call);

// The application's routine table: stored routine reference i names table[i]. Set before the
// segment is loaded; references outside the table resolve to no routine.
void SetRoutineTable(const EventRoutine* table, int32_t count);
// The routine a stored reference resolves to, or null.
EventRoutine ResolveRoutine(int32_t reference);

// Raises an event: nothing while a run-time error report is in progress (false); a window that is
// not in the store, a unit that is not in its window and a unit whose type raises no events are
// fatal errors. Returns true when a routine ran; the record's has-result flag and result are then
// filled in.
bool RaiseEvent(EventRecord* record);
bool RaiseEvent(ExtendedEventRecord* record);

// The plain form with integer arguments. *result (when given) receives the routine's result,
// or nullopt when it returned none (or no routine ran).
bool RaiseUnitEvent(uint32_t window_id, uint32_t unit_id, int32_t event,
                    std::initializer_list<int32_t> args = {},
                    std::optional<uint32_t>* result = nullptr);

// The unit whose event is being handled, or zeros outside any routine. Nested events (a routine
// that loads a modal window) restore the outer source when they return.
struct EventSource {
  uint32_t window_id = 0;
  uint32_t unit_id = 0;
};
EventSource CurrentEventSource();

// Common event numbers (raised on the unit under the input, before its control sees it).
namespace event {
constexpr int32_t kCreated = 0;       // window
constexpr int32_t kClicked = 0;       // button
constexpr int32_t kCloseRequest = 1;  // window; a false result cancels
constexpr int32_t kDestroyed = 2;     // window
constexpr int32_t kMoved = 3;         // window
constexpr int32_t kResized = 4;       // window
constexpr int32_t kActivated = 8;     // window
constexpr int32_t kLeftDown = -1;     // x, y, shift
constexpr int32_t kLeftUp = -2;
constexpr int32_t kLeftDoubleClick = -3;
constexpr int32_t kRightDown = -4;
constexpr int32_t kRightUp = -5;
constexpr int32_t kMouseMove = -6;
constexpr int32_t kFocusGained = -7;
constexpr int32_t kFocusLost = -8;
constexpr int32_t kKeyDown = -9;  // key code (low 13 bits), shift
constexpr int32_t kKeyUp = -10;
constexpr int32_t kCharacter = -11;  // character code; a non-zero result replaces, 0 swallows
constexpr int32_t kWheel = -12;      // notches, shift
}  // namespace event

}  // namespace memo::ui
