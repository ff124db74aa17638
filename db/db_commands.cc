#include "db/db_commands.h"

#include <cstring>
#include <string>
#include <vector>

#include "db/database.h"
#include "db/engine_code.h"
#include "db/registry.h"
#include "runtime/array.h"
#include "runtime/convert.h"
#include "runtime/fatal.h"
#include "runtime/literal.h"

namespace memo::db {
namespace {

bool IsTextArray(const TypedValue& cell) {
  return (cell.tag & kArrayFlag) != 0 && ElementTag(cell.tag) == TypeTag::kText;
}

// Argument i, or an omitted cell when the call has fewer.
TypedValue Arg(int32_t arg_count, const TypedValue* args, int32_t i) {
  return i < arg_count ? args[i] : TypedValue{};
}

// A text argument's bytes; any cell that is not text counts as the empty text.
std::string TextArg(const TypedValue& cell) {
  if (cell.tag != TypeTag::kText) return std::string();
  const char* text = static_cast<const char*>(cell.Pointer());
  return text ? std::string(text) : std::string();
}

// The texts of a Text cell (one) or of a Text array cell (each element); nothing otherwise.
void AppendTexts(const TypedValue& cell, std::vector<std::string>* out) {
  if (cell.tag == TypeTag::kText) {
    out->push_back(TextArg(cell));
  } else if (IsTextArray(cell)) {
    const void* block = cell.Pointer();
    const int64_t n = ArrayElementCount(block);
    for (int64_t i = 0; i < n; ++i) {
      const char* text = static_cast<const char*>(PointerElementAt(block, i));
      out->push_back(text ? std::string(text) : std::string());
    }
  }
}

void AppendFlags(const TypedValue& cell, std::vector<bool>* out) {
  if (cell.tag == TypeTag::kBool) {
    out->push_back(cell.low != 0);
  } else if ((cell.tag & kArrayFlag) != 0 && ElementTag(cell.tag) == TypeTag::kBool) {
    const void* block = cell.Pointer();
    const int64_t n = ArrayElementCount(block);
    const char* elements = static_cast<const char*>(ArrayElements(block));
    const size_t size = ElementSize(TypeTag::kBool);
    for (int64_t i = 0; i < n; ++i) {
      uint32_t word = 0;
      std::memcpy(&word, elements + static_cast<size_t>(i) * size, sizeof word);
      out->push_back(word != 0);
    }
  }
}

void SetBool(TypedValue* result, EngineCode code) {
  SetLastError(code);
  result->low = code == kOk ? 1 : 0;
}

DatabaseHandle* CurrentOrFail() {
  DatabaseHandle* handle = DatabaseRegistry::Instance().Current();
  if (handle == nullptr) SetLastError(kNoCurrentDatabase);
  return handle;
}

}  // namespace

void OpenDatabase(TypedValue* result, int32_t arg_count, TypedValue* args) {
  SetLastError(kOk);
  const std::string name = TextArg(Arg(arg_count, args, 0));
  const std::string alias = TextArg(Arg(arg_count, args, 1));
  OpenOptions options;
  TypedValue access = Arg(arg_count, args, 2);
  if (access.Present()) options.access = AccessFromArgument(ToInteger(access));
  TypedValue share = Arg(arg_count, args, 3);
  if (share.Present()) options.share = ShareFromArgument(ToInteger(share));
  // Argument 4 is accepted and ignored.
  options.password = TextArg(Arg(arg_count, args, 5));
  for (int32_t i = 6; i < arg_count; ++i) AppendTexts(args[i], &options.index_names);
  SetBool(result, DatabaseRegistry::Instance().Open(name, alias, options));
}

void CloseDatabase(TypedValue*, int32_t arg_count, TypedValue* args) {
  SetLastError(kOk);
  DatabaseRegistry::Instance().Close(TextArg(Arg(arg_count, args, 0)));
}

void GetRecordCount(TypedValue* result, int32_t, TypedValue*) {
  SetLastError(kOk);
  DatabaseHandle* handle = CurrentOrFail();
  if (handle == nullptr) return;
  int32_t count = 0;
  EngineCode rc = handle->ReadRecordCount(&count);
  SetLastError(rc);
  result->low = rc == kOk ? static_cast<uint32_t>(count) : 0;
}

void MoveToFirstRecord(TypedValue*, int32_t, TypedValue*) {
  SetLastError(kOk);
  DatabaseHandle* handle = CurrentOrFail();
  if (handle != nullptr) handle->MoveFirst();
}

void SkipRecords(TypedValue* result, int32_t arg_count, TypedValue* args) {
  SetLastError(kOk);
  DatabaseHandle* handle = CurrentOrFail();
  if (handle == nullptr) return;
  TypedValue count = Arg(arg_count, args, 0);
  SetBool(result, handle->Skip(count.Present() ? ToInteger(count) : 1));
}

void ReadFieldValue(TypedValue* result, int32_t arg_count, TypedValue* args) {
  SetLastError(kOk);
  DatabaseHandle* handle = DatabaseRegistry::Instance().Current();
  if (handle == nullptr) FatalError(Gbk("未指定当前数据库或者指定数据库未打开"));
  TypedValue field = Arg(arg_count, args, 0);
  int index = -1;
  if (field.tag == TypeTag::kText) {
    index = handle->FindField(TextArg(field));
  } else {
    int32_t number = ToInteger(field);
    if (number >= 1 && number <= handle->field_count()) index = number - 1;
  }
  if (index < 0) FatalError(Gbk("指定字段不存在"));
  SetLastError(handle->ReadField(index, result));
}

void AddRecordValues(TypedValue* result, int32_t arg_count, TypedValue* args) {
  SetLastError(kOk);
  DatabaseHandle* handle = CurrentOrFail();
  if (handle == nullptr) return;
  SetBool(result, handle->AddRecord(args, arg_count));
}

void ModifyRecordValues(TypedValue* result, int32_t arg_count, TypedValue* args) {
  SetLastError(kOk);
  DatabaseHandle* handle = CurrentOrFail();
  if (handle == nullptr) return;
  SetBool(result, handle->ModifyRecord(args, arg_count));
}

void ClearAllRecords(TypedValue* result, int32_t, TypedValue*) {
  SetLastError(kOk);
  DatabaseHandle* handle = CurrentOrFail();
  if (handle == nullptr) return;
  SetBool(result, handle->ClearAll());
}

void SortIntoFile(TypedValue* result, int32_t arg_count, TypedValue* args) {
  SetLastError(kOk);
  DatabaseHandle* handle = CurrentOrFail();
  if (handle == nullptr) return;
  SortRequest request;
  request.target = TextArg(Arg(arg_count, args, 0));
  AppendTexts(Arg(arg_count, args, 1), &request.key_names);
  AppendFlags(Arg(arg_count, args, 2), &request.ascending);
  const TypedValue condition = Arg(arg_count, args, 3);
  if (condition.Present()) {
    request.condition = [condition] { return EvaluateCondition(condition); };
  }
  for (int32_t i = 4; i < arg_count; ++i) AppendTexts(args[i], &request.copy_fields);
  SetBool(result, handle->SortInto(request));
}

}  // namespace memo::db
