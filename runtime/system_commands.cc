#include "runtime/system_commands.h"

#include <time.h>

#include <algorithm>
#include <string>

#include "platform/backend.h"
#include "runtime/convert.h"
#include "runtime/heap.h"
#include "runtime/literal.h"
#include "runtime/program.h"
#include "runtime/text.h"

namespace memo {

namespace {

// The argument at `index` when it was given (omitted ones are all-zero cells).
const TypedValue* Argument(int32_t arg_count, const TypedValue* args, int32_t index) {
  if (index >= arg_count || !args || !args[index].Present()) return nullptr;
  return &args[index];
}

platform::LocalTime SystemLocalTime() {
  platform::LocalTime now;
  time_t seconds = time(nullptr);
  struct tm fields;
  if (localtime_r(&seconds, &fields) == nullptr) return now;
  now.year = fields.tm_year + 1900;
  now.month = fields.tm_mon + 1;
  now.day = fields.tm_mday;
  now.hour = fields.tm_hour;
  now.minute = fields.tm_min;
  now.second = fields.tm_sec > 59 ? 59 : fields.tm_sec;  // a leap second counts as :59
  now.day_of_week = fields.tm_wday;
  return now;
}

}  // namespace

uint32_t MessageBoxStyle(int32_t buttons) {
  uint32_t style = static_cast<uint32_t>(buttons);
  if ((style & 4096u) == 0) style |= 8192u;
  return style;
}

int32_t MessageBoxResult(int button_id) {
  return button_id >= 1 && button_id <= 7 ? button_id - 1 : -1;
}

void ShowMessageBox(TypedValue* result, int32_t arg_count, TypedValue* args) {
  std::string message;
  if (const TypedValue* value = Argument(arg_count, args, 0)) {
    TextOwner text(ValueToText(*value));
    if (text.get()) message = text.get();
  }
  int32_t buttons = 0;
  if (const TypedValue* value = Argument(arg_count, args, 1)) {
    // A non-numeric value is not an error here: library commands report none.
    if (IsNumeric(value->tag)) buttons = ToInteger(*value);
  }
  std::string title = Gbk("信息：");
  if (const TypedValue* value = Argument(arg_count, args, 2)) {
    if (value->tag == TypeTag::kText) {
      const char* text = static_cast<const char*>(value->Pointer());
      title = text ? text : "";
    } else {
      TextOwner text(ValueToText(*value));
      title = text.get() ? text.get() : "";
    }
  }
  int pressed = 0;
  if (platform::Backend* backend = platform::CurrentBackend()) {
    pressed = backend->ShowMessageBox(message, title, MessageBoxStyle(buttons));
  }
  result->low = static_cast<uint32_t>(MessageBoxResult(pressed));
}

void CurrentDateTime(TypedValue* result, int32_t /*arg_count*/, TypedValue* /*args*/) {
  platform::Backend* backend = platform::CurrentBackend();
  platform::LocalTime now = backend ? backend->Now() : SystemLocalTime();
  // A clock outside the calendar (a script's, say) is held to valid fields.
  static const int kDaysInMonth[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  CalendarTime time;
  time.year = std::clamp(now.year, 100, 9999);
  time.month = std::clamp(now.month, 1, 12);
  bool leap = (time.year % 4 == 0 && time.year % 100 != 0) || time.year % 400 == 0;
  int days = time.month == 2 && !leap ? 28 : kDaysInMonth[time.month - 1];
  time.day = std::clamp(now.day, 1, days);
  time.hour = std::clamp(now.hour, 0, 23);
  time.minute = std::clamp(now.minute, 0, 59);
  time.second = std::clamp(now.second, 0, 59);  // milliseconds are dropped: whole seconds only
  result->SetDouble(MakeDateTime(time));
}

void GetRunDirectory(TypedValue* result, int32_t /*arg_count*/, TypedValue* /*args*/) {
  result->SetPointer(CopyStringAsText(RunDirectory()));
}

void GetMouseX(TypedValue* result, int32_t /*arg_count*/, TypedValue* /*args*/) {
  platform::Backend* backend = platform::CurrentBackend();
  int x = backend ? backend->CursorPosition().x : 0;
  result->low = static_cast<uint32_t>(static_cast<int32_t>(x));
}

}  // namespace memo
