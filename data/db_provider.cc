#include "data/db_provider.h"

#include <algorithm>

#include "data/cell_text.h"
#include "data/data_host.h"
#include "db/engine_code.h"
#include "db/registry.h"
#include "db/value_codec.h"
#include "runtime/heap.h"
#include "runtime/literal.h"
#include "runtime/text.h"

namespace memo::db {

int InitialColumnWidth(const FieldDescriptor& field, int letter_width) {
  int n = 4;
  switch (field.type) {
    case kFieldShort: n = 7; break;
    case kFieldInt: n = 11; break;
    case kFieldLong:
    case kFieldDouble: n = 16; break;
    case kFieldFloat: n = 10; break;
    case kFieldBool: n = 3; break;
    case kFieldDateTime: n = 26; break;
    case kFieldText: n = static_cast<int>(std::min<uint32_t>(field.declared_length, 100)); break;
    case kFieldMemo: n = 40; break;
    default: n = 4; break;
  }
  n = std::max(n, static_cast<int>(field.Name().size()) + 1);
  n = std::min(n, 100);
  return (letter_width + 1) * n + 27;
}

int ReferenceLetterWidth() {
  DataHost* host = CurrentDataHost();
  if (!host) return kReferenceFontHeight / 2;
  int w = host->MeasureTextWidth(Gbk("宋体"), kReferenceFontHeight, "W");
  return w > 0 ? w : kReferenceFontHeight / 2;
}

DBProvider::DBProvider() = default;

DBProvider::~DBProvider() {
  // Copy: an observer may remove itself while it is told.
  std::vector<ProviderObserver*> observers = observers_;
  observers_.clear();
  for (ProviderObserver* observer : observers) observer->ProviderGone();
}

void DBProvider::AddObserver(ProviderObserver* observer) {
  if (observer && std::find(observers_.begin(), observers_.end(), observer) == observers_.end()) {
    observers_.push_back(observer);
  }
}

void DBProvider::RemoveObserver(ProviderObserver* observer) {
  observers_.erase(std::remove(observers_.begin(), observers_.end(), observer), observers_.end());
}

void DBProvider::NotifyChanging() {
  std::vector<ProviderObserver*> observers = observers_;
  for (ProviderObserver* observer : observers) observer->ProviderChanging();
}

void DBProvider::NotifyChanged() {
  std::vector<ProviderObserver*> observers = observers_;
  for (ProviderObserver* observer : observers) observer->ProviderChanged();
}

bool DBProvider::Connect(std::string_view file_name) {
  NotifyChanging();
  if (handle_) handle_->Close();
  handle_.reset();
  columns_.clear();
  file_name_.assign(file_name);
  open_error_ = kNoDatabaseOpen;
  if (!file_name_.empty()) {
    OpenOptions options;
    options.access = OpenAccess::kRepairing;
    options.share = OpenShare::kDenyNone;
    options.password = password_;
    std::unique_ptr<DatabaseHandle> opened;
    open_error_ = DatabaseHandle::Open(file_name_, options, &opened);
    if (open_error_ == kOk && opened) {
      handle_ = std::move(opened);
      BuildColumns();
    }
  }
  NotifyChanged();
  return connected();
}

void DBProvider::set_show_byte_sets(bool show) {
  if (show == show_byte_sets_) return;
  if (!connected()) {
    show_byte_sets_ = show;
    return;
  }
  NotifyChanging();
  show_byte_sets_ = show;
  BuildColumns();
  NotifyChanged();
}

void DBProvider::BuildColumns() {
  columns_.clear();
  if (!connected()) return;
  const int letter = ReferenceLetterWidth();
  const std::vector<FieldDescriptor>& fields = handle_->fields();
  for (size_t i = 0; i < fields.size(); ++i) {
    if (fields[i].type == kFieldByteSet && !show_byte_sets_) continue;
    ProviderColumn column;
    column.field = static_cast<int>(i);
    column.name = fields[i].Name();
    column.type = fields[i].type;
    column.width = InitialColumnWidth(fields[i], letter);
    columns_.push_back(std::move(column));
  }
}

int DBProvider::RowCount() {
  if (!connected()) return 0;
  int32_t count = 0;
  // A count that cannot be read (the header held by another program) is left in the last-error
  // cell, so that a write refused for it can say why.
  if (EngineCode rc = handle_->ReadRecordCount(&count); rc != kOk) {
    SetLastError(rc);
    return 0;
  }
  return std::max(count, 0);
}

const ProviderColumn* DBProvider::Column(int column) const {
  if (column < 0 || column >= ColumnCount()) return nullptr;
  return &columns_[static_cast<size_t>(column)];
}

bool DBProvider::Reported(EngineCode code) {
  SetLastError(code);
  return code == kOk;
}

DatabaseHandle* DBProvider::Seek(int row, int column, int* field) {
  const ProviderColumn* c = Column(column);
  if (!c || !connected() || row < 0) return nullptr;
  handle_->set_current_record(row);
  *field = c->field;
  return handle_.get();
}

bool DBProvider::CellValue(int row, int column, TypedValue* out) {
  *out = TypedValue{};
  int field = 0;
  DatabaseHandle* handle = Seek(row, column, &field);
  if (!handle) {
    if (const ProviderColumn* c = Column(column)) out->tag = FieldValueTag(c->type);
    return false;
  }
  return handle->ReadField(field, out) == kOk;
}

std::string DBProvider::CellText(int row, int column) {
  TypedValue value;
  if (!CellValue(row, column, &value)) {
    ReleaseValue(&value);
    return std::string();
  }
  const FieldDescriptor& field = handle_->fields()[static_cast<size_t>(Column(column)->field)];
  std::string text = CellTextOf(field, value);
  ReleaseValue(&value);
  return text;
}

bool DBProvider::SetCellFromText(int row, int column, std::string_view text) {
  int field = 0;
  DatabaseHandle* handle = Seek(row, column, &field);
  if (!handle) return Reported(connected() ? kNoSuchRecord : open_error_);
  TypedValue value;
  if (!FieldValueFromText(handle->fields()[static_cast<size_t>(field)], text, &value)) {
    return false;
  }
  EngineCode rc = handle->WriteField(field, value);
  ReleaseValue(&value);
  return Reported(rc);
}

bool DBProvider::LockRow(int row) { return connected() && handle_->LockRecord(row) == kOk; }

bool DBProvider::UnlockRow(int row) { return connected() && handle_->UnlockRecord(row) == kOk; }

bool DBProvider::SetCellFromBytes(int row, int column, std::string_view bytes) {
  const ProviderColumn* c = Column(column);
  if (!c || c->type != kFieldByteSet) return false;
  int field = 0;
  DatabaseHandle* handle = Seek(row, column, &field);
  if (!handle) return Reported(connected() ? kNoSuchRecord : open_error_);
  TypedValue value;
  value.tag = TypeTag::kByteSet;
  value.SetPointer(bytes.empty() ? nullptr
                                 : MakeByteSet(bytes.data(), static_cast<int32_t>(bytes.size())));
  EngineCode rc = handle->WriteField(field, value);
  ReleaseValue(&value);
  return Reported(rc);
}

bool DBProvider::InsertRows(int before, int count) {
  if (!connected()) return Reported(open_error_);
  if (count < 0) return false;
  if (before != RowCount()) return false;
  for (int i = 0; i < count; ++i) {
    if (!Reported(handle_->AppendBlank())) return false;
  }
  return true;
}

bool DBProvider::DeleteRows(int first, int count) {
  if (!connected()) return Reported(open_error_);
  if (count < 0) return false;
  if (count == 0) return true;
  int rows = RowCount();
  if (first < 0 || first >= rows) return false;
  count = std::min(count, rows - first);
  return Reported(handle_->PackRange(first, count));
}

}  // namespace memo::db
