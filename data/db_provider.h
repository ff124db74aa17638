// DBProvider: one record file shown as a table — one row per record slot (deleted records
// included), one column per field in field order. The provider opens the file for itself: its
// handle is never entered in the DatabaseRegistry and never becomes the current database, so the
// program may hold the same file open through the database commands at the same time; the two
// handles meet only through the file and its locks.
//
// Invariants:
//   - connected() exactly when handle_ is open; the column list belongs to that handle and is
//     empty while unconnected.
//   - Nothing about the rows is cached: the row count is re-read from the file header whenever it
//     is asked for, so records appended through another handle show at the next count.
//   - Every operation fails softly: a read error gives an empty cell, a failed write or structural
//     change returns false. A write or structural change leaves its engine code in the calling
//     thread's last-error cell, as a database command does (when unconnected: the code of the
//     open that failed, or -27), so that whoever asked for it can say why it failed.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "db/database.h"
#include "db/record_format.h"
#include "runtime/value.h"

namespace memo::db {

// One column of the table.
struct ProviderColumn {
  int field = 0;      // index of the field it shows
  std::string name;   // the field name (GBK)
  uint32_t type = 0;  // the field's FieldType
  int width = 0;      // initial width (InitialColumnWidth)
};

// Column widths are in units of the reference letter: (w + 1) * n + 27, with w the width of "W"
// in the font "宋体" of height 40, and n a character count by field type (short 7, integer 11,
// long and double 16, single 10, logical 3, date-time 26, text its declared length, memo 40, any
// other type 4), raised to the name's length + 1 when larger, and at most 100.
int InitialColumnWidth(const FieldDescriptor& field, int letter_width);
// w, measured through the installed data host (data/data_host.h); 20 (half the height, as a
// double-byte font's Latin letters are) when none is installed.
int ReferenceLetterWidth();
// The font the widths refer to.
constexpr int kReferenceFontHeight = 40;

// Told about changes of the whole table (the file it shows, or its column list).
class ProviderObserver {
 public:
  virtual ~ProviderObserver() = default;
  virtual void ProviderChanging() = 0;  // before the table is replaced
  virtual void ProviderChanged() = 0;   // after
  virtual void ProviderGone() = 0;      // the provider is being destroyed; forget it
};

class DBProvider {
 public:
  DBProvider();
  ~DBProvider();
  DBProvider(const DBProvider&) = delete;
  DBProvider& operator=(const DBProvider&) = delete;

  // Closes the file held, remembers `file_name` and opens it (access 0, share mode 1 — others may
  // read and write — the provider's password, no alias, no index files). An empty name leaves
  // the provider unconnected; so does a failed open. True when connected afterwards.
  bool Connect(std::string_view file_name);
  void Disconnect() { Connect(std::string_view()); }

  // The name last given to Connect (also when that open failed).
  const std::string& file_name() const { return file_name_; }
  bool connected() const { return handle_ != nullptr && handle_->IsOpen(); }
  // The open handle, or null (tests and tools).
  DatabaseHandle* handle() const { return handle_.get(); }

  const std::string& password() const { return password_; }
  void set_password(std::string password) { password_ = std::move(password); }

  // When clear, byte-set fields get no column. Changing it rebuilds the column list of a
  // connected table (the observers are told).
  bool show_byte_sets() const { return show_byte_sets_; }
  void set_show_byte_sets(bool show);

  // Record count of the file (0 unconnected or on a read failure, whose code is then left in the
  // last-error cell), read now.
  int RowCount();
  int ColumnCount() const { return static_cast<int>(columns_.size()); }
  // Null outside 0 .. ColumnCount() - 1.
  const ProviderColumn* Column(int column) const;

  // The cell (row and column 0-based) as text: "" when unconnected, out of range or unreadable.
  std::string CellText(int row, int column);
  // The cell as a typed value (blocks owned by the caller); false, and the empty value of the
  // field's type (or no value for a bad column), when it cannot be read.
  bool CellValue(int row, int column, TypedValue* out);

  // Writes the cell from a text, converted by the field type (cell_text.h). A missing text counts
  // as empty.
  bool SetCellFromText(int row, int column, std::string_view text);
  // Writes the bytes of a byte-set cell; any other column refuses.
  bool SetCellFromBytes(int row, int column, std::string_view bytes);

  // Holds the record lock of `row` across several reads and writes of its cells, which nest in
  // it (DatabaseHandle::LockRecord; waits for another holder for a while). Every LockRow needs
  // its UnlockRow; connecting to another file drops what is held. False when unconnected, the
  // row is not in the table, or the lock cannot be had / given back.
  bool LockRow(int row);
  bool UnlockRow(int row);

  // Appends `count` blank records one by one. Only `before` == the row count (the end) is
  // accepted; anything else fails and changes nothing. A count of 0 at the end succeeds.
  bool InsertRows(int before, int count);
  // Removes records first .. first + count - 1 from the file at once (later records move up).
  // A count of 0 succeeds without change; a first row outside the table fails; a count reaching
  // past the end removes to the end.
  bool DeleteRows(int first, int count);

  // Observers are not owned; each removes itself before it goes (or is told ProviderGone).
  void AddObserver(ProviderObserver* observer);
  void RemoveObserver(ProviderObserver* observer);

 private:
  void BuildColumns();
  // The handle positioned on `row` with the column's field index, or null.
  DatabaseHandle* Seek(int row, int column, int* field);
  // Leaves `code` in the last-error cell; true when it is kOk.
  bool Reported(EngineCode code);
  void NotifyChanging();
  void NotifyChanged();

  std::string file_name_;
  EngineCode open_error_ = kNoDatabaseOpen;  // the latest open's code (that one before any)
  std::string password_;
  bool show_byte_sets_ = false;
  std::unique_ptr<DatabaseHandle> handle_;
  std::vector<ProviderColumn> columns_;
  std::vector<ProviderObserver*> observers_;
};

}  // namespace memo::db
