#include "db/registry.h"

#include "db/engine_code.h"
#include "db/file_names.h"

namespace memo::db {
namespace {

thread_local EngineCode t_last_error = kOk;

}  // namespace

EngineCode LastError() { return t_last_error; }
void SetLastError(EngineCode code) { t_last_error = code; }

DatabaseRegistry& DatabaseRegistry::Instance() {
  static DatabaseRegistry* registry = new DatabaseRegistry();  // lives until the process ends
  return *registry;
}

EngineCode DatabaseRegistry::Open(std::string_view name, std::string_view alias,
                                  const OpenOptions& options) {
  if (name.empty()) return kFileNotFound;
  if (!alias.empty() && !IsValidName(alias)) return kInvalidAlias;
  const std::string full_path = FullPathOf(name, kRecordFileExtension);
  for (const auto& handle : handles_) {
    if (EqualsIgnoreCase(handle->full_path(), full_path)) return kAlreadyOpen;
  }
  std::unique_ptr<DatabaseHandle> handle;
  EngineCode rc = DatabaseHandle::Open(name, options, &handle);
  if (rc != kOk) return rc;
  handle->set_alias(std::string(alias));
  handles_.push_back(std::move(handle));
  current_ = static_cast<int>(handles_.size()) - 1;
  return kOk;
}

int DatabaseRegistry::Find(std::string_view name) const {
  if (name.empty()) return current_;
  const int n = size();
  for (int i = n - 1; i >= 0; --i) {
    const std::string& alias = handles_[i]->alias();
    if (!alias.empty() && EqualsIgnoreCase(alias, name)) return i;
  }
  for (int i = n - 1; i >= 0; --i) {
    if (EqualsIgnoreCase(handles_[i]->title(), name)) return i;
  }
  for (int i = n - 1; i >= 0; --i) {
    if (EqualsIgnoreCase(handles_[i]->full_path(), name)) return i;
  }
  return -1;
}

void DatabaseRegistry::Close(std::string_view name) { CloseAt(Find(name)); }

void DatabaseRegistry::CloseAt(int index) {
  if (index < 0 || index >= size()) return;
  // A sort's condition routine runs inside an operation of its database: that handle stays.
  if (handles_[index]->running_condition()) return;
  handles_[index]->Close();
  handles_.erase(handles_.begin() + index);
  if (current_ == index) {
    current_ = -1;
  } else if (index < current_) {
    --current_;
  }
}

void DatabaseRegistry::CloseAll() {
  while (!handles_.empty()) {
    int before = size();
    CloseAt(before - 1);
    if (size() == before) break;
  }
}

DatabaseHandle* DatabaseRegistry::Current() const { return At(current_); }

DatabaseHandle* DatabaseRegistry::At(int index) const {
  if (index < 0 || index >= size()) return nullptr;
  return handles_[index].get();
}

}  // namespace memo::db
