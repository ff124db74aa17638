// DataSource: the table model between a database provider and the views bound to it (the grid).
// It keeps the current row, forwards reads, writes, insertions and deletions to the provider and
// tells the bound views what changed. As a window unit it is a bar of six navigation buttons
// (ui/ draws it); the buttons' rules are Navigate's.
//
// Rows and columns are 0-based here; the program's commands number them from 1 and subtract 1.
//
// Invariants:
//   - current_row() lies in 0 .. max(0, row count - 1) as of the latest change made through this
//     data source (rows appended by another handle only widen the range).
//   - Views hear of a structural change or a navigation move only after they were told to finish
//     any edit in progress, and of the change itself only when it succeeded: a failed provider
//     operation leaves the current row and the views as they were.
//   - A view or the provider may go first: each side unlinks itself from the other when it is
//     destroyed (DataSourceView::OnDataSourceGone, ProviderObserver::ProviderGone).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "data/db_provider.h"

namespace memo::db {

enum class ViewNotice {
  kRowsInserted,       // first row, count
  kRowsDeleted,        // first row, count
  kCellsChanged,       // first row, count of rows
  kFinishEditing,      // before a structural change or a navigation move
  kCurrentRowChanged,  // first = the new current row
  kSave,               // the program's save command
  kTableReplaced,      // the provider shows another file, or other columns
};

class DataSourceView {
 public:
  virtual ~DataSourceView() = default;
  virtual void OnDataSourceNotice(ViewNotice notice, int first, int count) = 0;
  // The data source is being destroyed; the view must forget it.
  virtual void OnDataSourceGone() = 0;
};

enum class NavigationButton { kFirst, kPrevious, kNext, kLast, kInsert, kDelete };

class DataSource : private ProviderObserver {
 public:
  DataSource();
  ~DataSource() override;
  DataSource(const DataSource&) = delete;
  DataSource& operator=(const DataSource&) = delete;

  // Connects to a provider (not owned; null disconnects). The views are told the table changed.
  void Connect(DBProvider* provider);
  DBProvider* provider() const { return provider_; }

  // Views are not owned; each removes itself before it goes.
  void AddView(DataSourceView* view);
  void RemoveView(DataSourceView* view);

  bool read_only() const { return read_only_; }
  void set_read_only(bool v) { read_only_ = v; }
  bool insert_allowed() const { return insert_allowed_; }
  void set_insert_allowed(bool v) { insert_allowed_ = v; }
  bool delete_allowed() const { return delete_allowed_; }
  void set_delete_allowed(bool v) { delete_allowed_ = v; }

  int current_row() const { return current_row_; }

  // The table; all 0 / empty without a provider.
  int RowCount();
  int ColumnCount() const;
  std::string ColumnName(int column) const;
  int ColumnWidth(int column) const;  // in the provider's width units
  uint32_t ColumnType(int column) const;

  // The cell as text; "" when the row or the column is outside the table (reads the row count).
  std::string CellText(int row, int column);
  // The same without reading the row count, for a view that has just read it: a row beyond the
  // end reads as "" too, only without the check.
  std::string ShownCellText(int row, int column);

  // Writes a cell from a text (false when read-only, outside the table, or the write fails);
  // the views are told the cell changed.
  bool SetCellText(int row, int column, std::string_view text);
  bool SetCellBytes(int row, int column, std::string_view bytes);

  // Holds / gives back the record lock of a row, so that reading a cell and writing it back
  // (appending to a log, say) cannot interleave with another program's write of that record
  // (DBProvider::LockRow). False without a provider or when the provider refuses.
  bool LockRow(int row) { return provider_ && provider_->LockRow(row); }
  bool UnlockRow(int row) { return provider_ && provider_->UnlockRow(row); }

  // Inserts `count` rows before `row` (the provider accepts only the end). On success the
  // current row moves down by `count` when it was at or after `row`. False when read-only.
  bool InsertRows(int row, int count);
  // Deletes `count` rows from `row`, clamped to the rows that exist; a count that clamps to 0
  // succeeds without change. A current row inside the deleted range becomes `row`, one after it
  // moves up with its record. False when read-only or `row` is negative.
  bool DeleteRows(int row, int count);

  // Sends the save notice to the views.
  void Save();

  // A navigation move: the row clamped to the table; nothing when it is current already;
  // otherwise the views finish editing, then the row becomes current and the views move there.
  // True when the current row changed.
  bool MoveTo(int row);

  // One of the six buttons. Insert only when not read-only and inserting is allowed: one row at
  // the end, which becomes current, or the message "插入新记录失败!". Delete only when not
  // read-only and deleting is allowed: the current row, the row at its position becoming current,
  // or the message "删除记录失败!". The messages are message boxes titled "温馨提示" shown by the
  // installed backend. (A disabled data source's buttons get no input: its bar ignores them.)
  void Navigate(NavigationButton button);

  // Tells the views to finish any edit in progress.
  void FinishEditing() { Notify(ViewNotice::kFinishEditing, 0, 0); }

 private:
  // ProviderObserver
  void ProviderChanging() override;
  void ProviderChanged() override;
  void ProviderGone() override;

  void Notify(ViewNotice notice, int first, int count);
  void ClampCurrentRow(int rows);
  bool InRange(int row, int column);

  DBProvider* provider_ = nullptr;
  std::vector<DataSourceView*> views_;
  int current_row_ = 0;
  bool read_only_ = false;
  bool insert_allowed_ = true;
  bool delete_allowed_ = true;
};

}  // namespace memo::db
