#include "ui/advanced_grid/egrid_model.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>

namespace memo::ui {

namespace {

// The height of a row inserted into a grid that has no row 0 to copy it from.
constexpr int kInsertedRowHeight = 24;

int ClampSize(int size) { return std::clamp(size, 0, kEGridMaxCellSize); }

bool IsSpace(char c) { return c == ' ' || c == '\t'; }

// The number a text holds, by the rule of IsNumberText.
bool ParseNumber(std::string_view text, double* value) {
  size_t begin = 0, end = text.size();
  while (begin < end && IsSpace(text[begin])) ++begin;
  while (end > begin && IsSpace(text[end - 1])) --end;
  std::string_view body = text.substr(begin, end - begin);
  bool negative = false;
  if (!body.empty() && (body[0] == '+' || body[0] == '-')) {
    negative = body[0] == '-';
    body.remove_prefix(1);
  }
  // from_chars takes no sign of its own here, and no "inf", "nan" or hexadecimal forms.
  if (body.empty() || !(std::isdigit(static_cast<unsigned char>(body[0])) || body[0] == '.')) {
    return false;
  }
  double parsed = 0;
  auto [ptr, ec] =
      std::from_chars(body.data(), body.data() + body.size(), parsed, std::chars_format::general);
  if (ptr != body.data() + body.size()) return false;
  if (ec == std::errc::result_out_of_range) return false;
  if (ec != std::errc()) return false;
  *value = negative ? -parsed : parsed;
  return true;
}

}  // namespace

bool IsNumberText(std::string_view text) {
  double ignored;
  return ParseNumber(text, &ignored);
}

EGridModel::EGridModel(const EGridSettings& settings)
    : settings_(settings),
      row_height_(ClampSize(settings.row_height)),
      column_width_(ClampSize(settings.column_width)),
      grid_line_(settings.grid_line),
      background_(settings.background),
      selection_(settings.selection) {
  rows_.resize(static_cast<size_t>(std::clamp(settings.rows, 0, kEGridMaxRows)));
  for (Row& row : rows_) row.height = row_height_;
  columns_.resize(static_cast<size_t>(std::clamp(settings.columns, 0, kEGridMaxColumns)),
                  Column{column_width_});
  fixed_rows_ = std::clamp(settings.fixed_rows, 0, rows());
  fixed_columns_ = std::clamp(settings.fixed_columns, 0, columns());
  if (fixed_rows_ < rows() && fixed_columns_ < columns()) {
    focus_ = CellPos{fixed_rows_, fixed_columns_};
  }
  top_row_ = fixed_rows_;
  left_column_ = fixed_columns_;
}

bool EGridModel::Contains(int row, int column) const {
  return row >= 0 && row < rows() && column >= 0 && column < columns();
}

void EGridModel::Changed() {
  if (on_change) on_change();
}

void EGridModel::Normalise() {
  fixed_rows_ = std::clamp(fixed_rows_, 0, rows());
  fixed_columns_ = std::clamp(fixed_columns_, 0, columns());
  if (!focus_.none()) {
    if (fixed_rows_ >= rows() || fixed_columns_ >= columns()) {
      focus_ = CellPos{};
    } else {
      focus_.row = std::clamp(focus_.row, fixed_rows_, rows() - 1);
      focus_.column = std::clamp(focus_.column, fixed_columns_, columns() - 1);
    }
  }
  top_row_ = std::clamp(top_row_, fixed_rows_, std::max(fixed_rows_, rows() - 1));
  left_column_ = std::clamp(left_column_, fixed_columns_, std::max(fixed_columns_, columns() - 1));
}

// --- Shape -------------------------------------------------------------------------------------

bool EGridModel::SetRowCount(int count) {
  if (count <= 0 || count > kEGridMaxRows) return false;
  rows_.resize(static_cast<size_t>(count));
  for (Row& row : rows_) row.height = row_height_;
  Normalise();
  Changed();
  return true;
}

bool EGridModel::SetColumnCount(int count) {
  if (count <= 0 || count > kEGridMaxColumns) return false;
  columns_.resize(static_cast<size_t>(count));
  for (Column& column : columns_) column.width = column_width_;
  // Cells past the last column would come back if the count grew again.
  for (Row& row : rows_) {
    if (row.cells.size() > columns_.size()) row.cells.resize(columns_.size());
  }
  Normalise();
  Changed();
  return true;
}

bool EGridModel::SetFixedRows(int count) {
  if (count < 0 || count > rows()) return false;
  fixed_rows_ = count;
  Normalise();
  Changed();
  return true;
}

bool EGridModel::SetFixedColumns(int count) {
  if (count < 0 || count > columns()) return false;
  fixed_columns_ = count;
  Normalise();
  Changed();
  return true;
}

bool EGridModel::SetDefaultRowHeight(int height) {
  if (height < 0 || height > kEGridMaxCellSize) return false;
  row_height_ = height;
  for (Row& row : rows_) row.height = height;
  Changed();
  return true;
}

bool EGridModel::SetDefaultColumnWidth(int width) {
  if (width < 0 || width > kEGridMaxCellSize) return false;
  column_width_ = width;
  for (Column& column : columns_) column.width = width;
  Changed();
  return true;
}

bool EGridModel::SetColumnWidth(int column, int width) {
  if (column < 0 || column >= columns()) return false;
  columns_[static_cast<size_t>(column)].width = ClampSize(width);
  Changed();
  return true;
}

// --- Columns -----------------------------------------------------------------------------------

EGridColumnKind EGridModel::column_kind(int column) const {
  if (column < 0 || column >= columns()) return EGridColumnKind::kText;
  return columns_[static_cast<size_t>(column)].kind;
}

bool EGridModel::SetColumnKind(int column, EGridColumnKind kind) {
  if (column < 0 || column >= columns()) return false;
  columns_[static_cast<size_t>(column)].kind = kind;
  Changed();
  return true;
}

int EGridModel::column_decimals(int column) const {
  if (column < 0 || column >= columns()) return -1;
  return columns_[static_cast<size_t>(column)].decimals;
}

bool EGridModel::SetColumnNumberFormat(int column, int decimals) {
  if (column < 0 || column >= columns() || decimals < -1 || decimals > 9) return false;
  columns_[static_cast<size_t>(column)].decimals = decimals;
  Changed();
  return true;
}

void EGridModel::SetShowZeros(bool show) {
  show_zeros_ = show;
  Changed();
}

// --- Cells -------------------------------------------------------------------------------------

const EGridCell* EGridModel::Cell(int row, int column) const {
  if (!Contains(row, column)) return nullptr;
  const Row& r = rows_[static_cast<size_t>(row)];
  if (static_cast<size_t>(column) >= r.cells.size()) return nullptr;
  return &r.cells[static_cast<size_t>(column)];
}

std::string_view EGridModel::CellText(int row, int column) const {
  const EGridCell* cell = Cell(row, column);
  return cell ? std::string_view(cell->text) : std::string_view();
}

std::string EGridModel::DisplayText(int row, int column) const {
  const EGridCell* cell = Cell(row, column);
  if (!cell) return {};
  int decimals = column_decimals(column);
  if (decimals < 0 || IsFixed(row, column)) return cell->text;
  double value = 0;
  if (!ParseNumber(cell->text, &value)) return cell->text;
  if (value == 0 && !show_zeros_) return {};
  char buffer[512];
  int n = std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
  if (n < 0 || static_cast<size_t>(n) >= sizeof buffer) return cell->text;
  return std::string(buffer, static_cast<size_t>(n));
}

EGridCell& EGridModel::MutableCell(int row, int column) {
  Row& r = rows_[static_cast<size_t>(row)];
  if (static_cast<size_t>(column) >= r.cells.size())
    r.cells.resize(static_cast<size_t>(column) + 1);
  return r.cells[static_cast<size_t>(column)];
}

bool EGridModel::SetCellText(int row, int column, std::string_view text) {
  if (!Contains(row, column)) return false;
  if (!IsFixed(row, column)) {
    if (column_kind(column) != EGridColumnKind::kText) return false;
    if (column_decimals(column) >= 0 && !text.empty() && !IsNumberText(text)) return false;
  }
  MutableCell(row, column).text.assign(text);
  Changed();
  return true;
}

bool EGridModel::SetCellChecked(int row, int column, bool checked) {
  if (!Contains(row, column) || IsFixed(row, column)) return false;
  if (column_kind(column) != EGridColumnKind::kCheckBox) return false;
  MutableCell(row, column).checked = checked;
  Changed();
  return true;
}

bool EGridModel::SetCellPicture(int row, int column, std::string_view image_bytes) {
  if (!Contains(row, column) || IsFixed(row, column)) return false;
  if (column_kind(column) != EGridColumnKind::kPicture) return false;
  MutableCell(row, column).picture.assign(image_bytes);
  Changed();
  return true;
}

bool EGridModel::SetCellStyle(int row, int column, const EGridCellStyle& style) {
  if (!Contains(row, column)) return false;
  MutableCell(row, column).style = std::make_unique<EGridCellStyle>(style);
  Changed();
  return true;
}

// Rules of an inserted row:
//   - a grid with no rows and no fixed rows or columns first gets one fixed row and one fixed
//     column (its first row becomes the heading row);
//   - a grid without columns gets one;
//   - a position that is omitted, negative, inside the fixed rows or at or past the last row
//     appends;
//   - the row is as tall as row 0, or kInsertedRowHeight when there is no row 0;
//   - a focus cell at or below the position moves down with its row.
bool EGridModel::InsertRow(std::string_view heading, std::optional<int> position) {
  if (rows() >= kEGridMaxRows) return false;
  if (rows() == 0 && fixed_rows_ == 0 && fixed_columns_ == 0) {
    fixed_rows_ = 1;
    fixed_columns_ = 1;
  }
  if (columns() == 0) columns_.push_back(Column{column_width_});
  int at = rows();
  if (position && *position >= fixed_rows_ && *position < rows()) at = *position;
  int height = rows() > 0 ? rows_[0].height : kInsertedRowHeight;
  Row row{height, {}};
  if (!heading.empty()) {
    row.cells.resize(1);
    row.cells[0].text.assign(heading);
  }
  rows_.insert(rows_.begin() + at, std::move(row));
  if (!focus_.none() && focus_.row >= at) ++focus_.row;
  Normalise();
  Changed();
  return true;
}

void EGridModel::Reset() {
  for (Row& row : rows_) {
    row.cells.clear();
    row.height = ClampSize(settings_.row_height);
  }
  row_height_ = ClampSize(settings_.row_height);
  column_width_ = ClampSize(settings_.column_width);
  for (Column& column : columns_) column.width = column_width_;
  grid_line_ = settings_.grid_line;
  background_ = settings_.background;
  selection_ = settings_.selection;
  fixed_rows_ = settings_.fixed_rows;
  fixed_columns_ = settings_.fixed_columns;
  top_row_ = 0;
  left_column_ = 0;
  Normalise();
  Changed();
}

// --- Focus and scrolling -----------------------------------------------------------------------

bool EGridModel::SetFocus(CellPos cell) {
  if (!Contains(cell.row, cell.column) || IsFixed(cell.row, cell.column)) return false;
  if (focus_ != cell) {
    focus_ = cell;
    Changed();
  }
  return true;
}

void EGridModel::SetTopRow(int row) {
  int old = top_row_;
  top_row_ = row;
  Normalise();
  if (top_row_ != old) Changed();
}

void EGridModel::SetLeftColumn(int column) {
  int old = left_column_;
  left_column_ = column;
  Normalise();
  if (left_column_ != old) Changed();
}

}  // namespace memo::ui
