#include "data/data_source.h"

#include <algorithm>

#include "data/data_host.h"
#include "runtime/literal.h"

namespace memo::db {
namespace {

// A button that failed says so through the host; without one the failure is only not done.
void ShowFailure(const char* text_utf8) {
  if (DataHost* host = CurrentDataHost()) host->ShowNotice(Gbk(text_utf8), Gbk("温馨提示"));
}

}  // namespace

DataSource::DataSource() = default;

DataSource::~DataSource() {
  if (provider_) provider_->RemoveObserver(this);
  std::vector<DataSourceView*> views = views_;
  views_.clear();
  for (DataSourceView* view : views) view->OnDataSourceGone();
}

void DataSource::Connect(DBProvider* provider) {
  if (provider == provider_) return;
  FinishEditing();
  if (provider_) provider_->RemoveObserver(this);
  provider_ = provider;
  if (provider_) provider_->AddObserver(this);
  ClampCurrentRow(RowCount());
  Notify(ViewNotice::kTableReplaced, 0, 0);
}

void DataSource::AddView(DataSourceView* view) {
  if (view && std::find(views_.begin(), views_.end(), view) == views_.end()) {
    views_.push_back(view);
  }
}

void DataSource::RemoveView(DataSourceView* view) {
  views_.erase(std::remove(views_.begin(), views_.end(), view), views_.end());
}

void DataSource::Notify(ViewNotice notice, int first, int count) {
  // A view may remove itself (or another) while it is told: tell only those still bound.
  std::vector<DataSourceView*> views = views_;
  for (DataSourceView* view : views) {
    if (std::find(views_.begin(), views_.end(), view) == views_.end()) continue;
    view->OnDataSourceNotice(notice, first, count);
  }
}

void DataSource::ClampCurrentRow(int rows) {
  current_row_ = std::clamp(current_row_, 0, std::max(0, rows - 1));
}

int DataSource::RowCount() { return provider_ ? provider_->RowCount() : 0; }

int DataSource::ColumnCount() const { return provider_ ? provider_->ColumnCount() : 0; }

std::string DataSource::ColumnName(int column) const {
  const ProviderColumn* c = provider_ ? provider_->Column(column) : nullptr;
  return c ? c->name : std::string();
}

int DataSource::ColumnWidth(int column) const {
  const ProviderColumn* c = provider_ ? provider_->Column(column) : nullptr;
  return c ? c->width : 0;
}

uint32_t DataSource::ColumnType(int column) const {
  const ProviderColumn* c = provider_ ? provider_->Column(column) : nullptr;
  return c ? c->type : 0;
}

bool DataSource::InRange(int row, int column) {
  return provider_ && row >= 0 && column >= 0 && column < ColumnCount() && row < RowCount();
}

std::string DataSource::CellText(int row, int column) {
  if (!InRange(row, column)) return std::string();
  return provider_->CellText(row, column);
}

std::string DataSource::ShownCellText(int row, int column) {
  return provider_ ? provider_->CellText(row, column) : std::string();
}

bool DataSource::SetCellText(int row, int column, std::string_view text) {
  if (read_only_ || !InRange(row, column)) return false;
  if (!provider_->SetCellFromText(row, column, text)) return false;
  Notify(ViewNotice::kCellsChanged, row, 1);
  return true;
}

bool DataSource::SetCellBytes(int row, int column, std::string_view bytes) {
  if (read_only_ || !InRange(row, column)) return false;
  if (!provider_->SetCellFromBytes(row, column, bytes)) return false;
  Notify(ViewNotice::kCellsChanged, row, 1);
  return true;
}

bool DataSource::InsertRows(int row, int count) {
  if (read_only_ || !provider_ || count < 0) return false;
  FinishEditing();
  if (!provider_ || !provider_->InsertRows(row, count)) return false;
  const int before = current_row_;
  if (current_row_ >= row) current_row_ += count;
  ClampCurrentRow(RowCount());
  Notify(ViewNotice::kRowsInserted, row, count);
  if (current_row_ != before) Notify(ViewNotice::kCurrentRowChanged, current_row_, 0);
  return true;
}

bool DataSource::DeleteRows(int row, int count) {
  if (read_only_ || !provider_ || row < 0) return false;
  const int rows = RowCount();
  count = std::clamp(count, 0, std::max(0, rows - row));
  if (count == 0) return true;
  FinishEditing();
  if (!provider_ || !provider_->DeleteRows(row, count)) return false;
  const int before = current_row_;
  if (current_row_ >= row + count) {
    current_row_ -= count;
  } else if (current_row_ >= row) {
    current_row_ = row;
  }
  ClampCurrentRow(rows - count);
  Notify(ViewNotice::kRowsDeleted, row, count);
  if (current_row_ != before) Notify(ViewNotice::kCurrentRowChanged, current_row_, 0);
  return true;
}

void DataSource::Save() { Notify(ViewNotice::kSave, 0, 0); }

bool DataSource::MoveTo(int row) {
  const int target = std::clamp(row, 0, std::max(0, RowCount() - 1));
  if (target == current_row_) return false;
  FinishEditing();
  current_row_ = target;
  Notify(ViewNotice::kCurrentRowChanged, current_row_, 0);
  return true;
}

void DataSource::Navigate(NavigationButton button) {
  switch (button) {
    case NavigationButton::kFirst: MoveTo(0); return;
    case NavigationButton::kPrevious: MoveTo(current_row_ - 1); return;
    case NavigationButton::kNext: MoveTo(current_row_ + 1); return;
    case NavigationButton::kLast: MoveTo(RowCount() - 1); return;
    case NavigationButton::kInsert: {
      if (read_only_ || !insert_allowed_) return;
      const int end = RowCount();
      if (!InsertRows(end, 1)) {
        ShowFailure("插入新记录失败!");
        return;
      }
      MoveTo(end);
      return;
    }
    case NavigationButton::kDelete: {
      if (read_only_ || !delete_allowed_) return;
      if (!DeleteRows(current_row_, 1)) {
        ShowFailure("删除记录失败!");
        return;
      }
      // The row now at the same position is current: tell the views even though the number
      // stayed, since it is another record.
      Notify(ViewNotice::kCurrentRowChanged, current_row_, 0);
      return;
    }
  }
}

void DataSource::ProviderChanging() { FinishEditing(); }

void DataSource::ProviderChanged() {
  ClampCurrentRow(RowCount());
  Notify(ViewNotice::kTableReplaced, 0, 0);
}

void DataSource::ProviderGone() {
  provider_ = nullptr;
  current_row_ = 0;
  Notify(ViewNotice::kTableReplaced, 0, 0);
}

}  // namespace memo::db
