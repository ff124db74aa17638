// The event dispatcher: from an event record to the routine bound to it.
#include <vector>

#include "runtime/convert.h"
#include "runtime/dispatch.h"
#include "runtime/fatal.h"
#include "runtime/literal.h"
#include "runtime/program.h"
#include "ui/window/events.h"
#include "ui/window/unit.h"
#include "ui/window/window_runtime.h"

namespace memo::ui {

namespace {

struct DispatchState {
  std::vector<EventRoutine> routines;
  EventSource source;
};

DispatchState& State() {
  static DispatchState state;
  return state;
}

// The record a lookup works on: the open window's working copy, else the stored one.
const WindowRecord* RecordOf(uint32_t window_id) {
  if (LiveWindow* live = FindLiveWindow(window_id)) return &live->record();
  int index = Store().Find(window_id);
  return index < 0 ? nullptr : &Store().windows[static_cast<size_t>(index)];
}

// Finds the routine for (window, unit, event), with the fatal errors of a bad source. Null when
// the unit has no routine for the event.
EventRoutine FindRoutine(uint32_t window_id, uint32_t unit_id, int32_t event_number) {
  const WindowRecord* window = RecordOf(window_id);
  if (!window) FatalError(Gbk("未找到引发事件的窗口"));
  int index = unit_id == 0 ? 0 : window->FindUnit(unit_id);
  if (index < 0) FatalError(Gbk("未找到引发事件的窗口组件"));
  const UnitRecord* unit = &window->units[static_cast<size_t>(index)];
  if (unit->is_menu_item()) return ResolveRoutine(unit->routine);
  // Follow the event-source chain while it names a unit of the same type; a chain longer than
  // the table has loops and stops where it is.
  for (size_t steps = 0; unit->event_source != 0 && steps < window->units.size(); ++steps) {
    int next = window->FindUnit(unit->event_source);
    if (next < 0) break;
    const UnitRecord* source = &window->units[static_cast<size_t>(next)];
    if (source->type != unit->type) break;
    unit = source;
  }
  if (unit->type != unit_type::kWindow) {
    const UnitTypeInfo* type = FindUnitType(unit->type);
    if (!type || !type->raises_events) FatalError(Gbk("引发事件的窗口组件无效"));
  }
  for (const EventBinding& binding : unit->events) {
    if (binding.event == event_number) return ResolveRoutine(binding.routine);
  }
  return nullptr;
}

// Calls the routine with the current event source set, restoring the outer source afterwards.
void Call(EventRoutine routine, EventCall& call) {
  DispatchState& state = State();
  EventSource outer = state.source;
  const WindowRecord* window = RecordOf(call.window_id);
  uint32_t unit_id = call.unit_id;
  if (unit_id == 0 && window && !window->units.empty()) unit_id = window->units[0].id;
  state.source = EventSource{call.window_id, unit_id};
  call.unit_id = unit_id;
  routine(call);
  state.source = outer;
}

uint32_t ResultWord(const TypedValue& result) {
  if (result.tag == TypeTag::kBool) return result.low != 0 ? 1 : 0;
  if (IsNumeric(result.tag)) return static_cast<uint32_t>(ToInteger(result));
  return result.low;
}

}  // namespace

void SetRoutineTable(const EventRoutine* table, int32_t count) {
  State().routines.assign(table, table + (count > 0 ? count : 0));
}

EventRoutine ResolveRoutine(int32_t reference) {
  const auto& routines = State().routines;
  if (reference < 0 || static_cast<size_t>(reference) >= routines.size()) return nullptr;
  return routines[static_cast<size_t>(reference)];
}

// Both record forms are dispatched alike: the routine of (window, unit, event), called with the
// record's arguments as value cells; `put_args` fills them, `take_result` stores what it returned.
template <typename Record, typename PutArgs, typename TakeResult>
bool Dispatch(Record* record, PutArgs put_args, TakeResult take_result) {
  record->has_result = 0;
  record->result = 0;
  if (FatalReportInProgress()) return false;
  EventRoutine routine = FindRoutine(record->window_id, record->unit_id, record->event);
  if (!routine) return false;
  EventCall call;
  call.window_id = record->window_id;
  call.unit_id = record->unit_id;
  call.event = record->event;
  put_args(&call);
  Call(routine, call);
  if (call.has_result) {
    record->has_result = 1;
    take_result(call.result);
  }
  return true;
}

bool RaiseEvent(EventRecord* record) {
  return Dispatch(
      record,
      [record](EventCall* call) {
        call->arg_count = static_cast<int32_t>(record->arg_count > 5 ? 5 : record->arg_count);
        for (int32_t i = 0; i < call->arg_count; ++i)
          call->args[i] = IntValue(static_cast<int32_t>(record->args[i]));
      },
      [record](const TypedValue& result) { record->result = ResultWord(result); });
}

bool RaiseEvent(ExtendedEventRecord* record) {
  return Dispatch(
      record,
      [record](EventCall* call) {
        call->arg_count = static_cast<int32_t>(record->arg_count > 12 ? 12 : record->arg_count);
        for (int32_t i = 0; i < call->arg_count; ++i) call->args[i] = record->args[i].value;
      },
      [record](const TypedValue& result) {
        record->result = result.tag == TypeTag::kBool
                             ? (result.low != 0 ? 1 : 0)
                             : (static_cast<uint64_t>(result.high) << 32) | result.low;
      });
}

bool RaiseUnitEvent(uint32_t window_id, uint32_t unit_id, int32_t event,
                    std::initializer_list<int32_t> args, std::optional<uint32_t>* result) {
  EventRecord record;
  record.window_id = window_id;
  record.unit_id = unit_id;
  record.event = event;
  for (int32_t arg : args) {
    if (record.arg_count == 5) break;
    record.args[record.arg_count++] = static_cast<uint32_t>(arg);
  }
  bool ran = RaiseEvent(&record);
  if (result) {
    if (ran && record.has_result) {
      *result = record.result;
    } else {
      result->reset();
    }
  }
  return ran;
}

EventSource CurrentEventSource() { return State().source; }

void Unit::Activate() {
  if (platform::Control* c = control()) c->SetFocus();
}

bool Unit::Raise(int32_t event, std::initializer_list<int32_t> args,
                 std::optional<uint32_t>* result) {
  return RaiseUnitEvent(window_id(), unit_id(), event, args, result);
}

}  // namespace memo::ui
