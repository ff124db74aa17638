#include "app/app_support.h"

#include <string>

#include "db/db_commands.h"
#include "db/engine_code.h"
#include "db/registry.h"
#include "platform/message_box.h"
#include "runtime/dispatch.h"
#include "runtime/fatal.h"
#include "runtime/literal.h"
#include "runtime/system_commands.h"
#include "runtime/text.h"
#include "ui/window/window_commands.h"
#include "ui/window/window_runtime.h"

namespace memo::app {

TypedValue Ref(uint32_t window_id, uint32_t unit_id, uint32_t type) {
  return ui::UnitReference(window_id, unit_id, type);
}

// A value whose type must be text: its block is handed to the caller.
static char* TakeText(TypedValue value) {
  if (value.tag != TypeTag::kText) {
    ReleaseValue(&value);
    ReportRuntimeError(RuntimeError::kTypeMismatch);
  }
  return static_cast<char*>(value.Pointer());
}

char* ReadText(uint32_t window_id, uint32_t unit_id, int32_t number) {
  return TakeText(ui::ReadProperty(window_id, unit_id, number, -1));
}

void WriteText(uint32_t window_id, uint32_t unit_id, const char* text, int32_t number) {
  ui::WriteProperty(window_id, unit_id, number, -1, TextValue(NonNullText(text)));
}

void WriteInt(uint32_t window_id, uint32_t unit_id, int32_t number, int32_t value) {
  ui::WriteProperty(window_id, unit_id, number, -1, IntValue(value));
}

void Focus(uint32_t window_id, uint32_t unit_id, uint32_t type) {
  ArgList args{Ref(window_id, unit_id, type)};
  CallCommand(ui::SetFocusCommand, args);
}

void OpenWindow(uint32_t window_id, ui::WindowMode mode) {
  ArgList args{IntValue(static_cast<int32_t>(window_id)), Omitted(),
               BoolValue(mode == ui::WindowMode::kModal)};
  CallCommand(ui::LoadWindowCommand, args);
}

int32_t Remind(const char* text, int32_t buttons) {
  ArgList args{TextValue(text), IntValue(buttons), TextValue(Gbk("温馨提示"))};
  return CallInt(ShowMessageBox, args);
}

static void ReportFailure(const char* prefix, const char* file, int code) {
  std::string text = db::FailureText(prefix, NonNullText(file), code);
  ArgList args{TextValue(text.c_str()), IntValue(static_cast<int32_t>(platform::kMbIconWarning)),
               TextValue(Gbk("温馨提示"))};
  CallCommand(ShowMessageBox, args);
}

void ReportSaveFailure(const char* file, int code) { ReportFailure(Gbk("保存失败："), file, code); }

void ReportQueryFailure(const char* file, int code) {
  ReportFailure(Gbk("查询失败："), file, code);
}

int LastEngineCode() { return db::LastError(); }

bool OpenDatabase(const char* name) {
  ArgList args{TextValue(name)};
  return CallBool(db::OpenDatabase, args);
}

bool OpenDatabaseForReading(const char* name) {
  ArgList args{TextValue(name), Omitted(), IntValue(1)};
  return CallBool(db::OpenDatabase, args);
}

int ProbeForWriting(const char* name) {
  if (!OpenDatabase(name)) return LastEngineCode();
  CloseDatabase();
  return 0;
}

void CloseDatabase() {
  ArgList args;
  CallCommand(db::CloseDatabase, args);
}

char* ReadTextField(const char* field) {
  ArgList args{TextValue(field)};
  return TakeText(CallCommand(db::ReadFieldValue, args));
}

bool SameText(const char* a, const char* b) { return CompareTexts(a, b) == 0; }

}  // namespace memo::app
