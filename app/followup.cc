// The follow-up window: the log of the memo in the main grid's cursor row, newest entry first,
// the full text of a selected entry, and appending entries.
//
// The log is stored in the memo field "跟进": entries joined by the entry separator, each a time
// text, the time separator and the entry text.
#include "app/app_support.h"
#include "app/query_origins.h"
#include "app/routines.h"
#include "app/window_units.h"
#include "platform/input.h"
#include "runtime/array.h"
#include "runtime/dispatch.h"
#include "runtime/fatal.h"
#include "runtime/literal.h"
#include "runtime/system_commands.h"
#include "runtime/text.h"
#include "runtime/text_commands.h"
#include "ui/advanced_grid/egrid_cell_values.h"
#include "ui/advanced_grid/egrid_commands.h"
#include "ui/window/property_numbers.h"

namespace memo::app {

namespace {

namespace fu = followup;
using ui::property::kEditContent;
using ui::property::kEGridRows;

const char* EntrySeparator() { return Gbk("||特殊跟进条目分割||"); }
const char* TimeSeparator() { return Gbk("||特殊跟进时间分割||"); }

TypedValue GridRef() { return Ref(fu::kWindow, fu::kGrid, ui::unit_type::kEGrid); }

// Splits a text at a separator into an owned text array.
ArrayOwner Split(const char* text, const char* separator) {
  ArgList args{TextValue(NonNullText(text)), TextValue(separator)};
  TypedValue parts = CallCommand(SplitText, args);
  return ArrayOwner(TypeTag::kText | kArrayFlag, parts.Pointer());
}

void SetGridCell(int32_t row, int32_t column, const char* text) {
  ArgList args{GridRef(), IntValue(row), IntValue(column), IntValue(ui::egrid_content::kText),
               TextValue(NonNullText(text))};
  CallAddOnCommand(ui::EGridSetCell, args);
}

void FillFollowUpGrid() {
  {
    ArgList args{GridRef()};
    CallAddOnCommand(ui::EGridReset, args);
  }
  WriteInt(fu::kWindow, fu::kGrid, kEGridRows, 1);
  for (auto [column, width] : {std::pair{0, 170}, std::pair{1, 400}}) {
    ArgList args{GridRef(), IntValue(column), IntValue(width)};
    CallAddOnCommand(ui::EGridSetColumnWidth, args);
  }
  TextOwner log(CellText(GridCursorRow(), 4));
  ArrayOwner entries = Split(log.get(), EntrySeparator());
  int32_t count = static_cast<int32_t>(ArrayElementCount(entries.get()));
  for (int32_t i = 1; i <= count; ++i) {
    const char* entry = TextArrayElement(entries.get(), i);
    ArrayOwner parts = Split(entry, TimeSeparator());
    {
      ArgList args{GridRef(), Omitted(), IntValue(1)};
      CallAddOnCommand(ui::EGridInsertRow, args);
    }
    // An entry without a time separator (its text held the entry separator) shows whole in the
    // time column, with no entry text, instead of ending the program.
    int32_t part_count = static_cast<int32_t>(ArrayElementCount(parts.get()));
    const char* time = part_count >= 1 ? TextArrayElement(parts.get(), 1) : kEmptyText;
    const char* text = part_count >= 2 ? TextArrayElement(parts.get(), 2) : kEmptyText;
    SetGridCell(1, 0, time);
    SetGridCell(1, 1, text);
  }
}

// The log with one more entry: the current date-time, taken anew for every log built, and E.
char* WithEntry(const char* log, const char* entry) {
  ArgList args{CallDateTime(CurrentDateTime)};
  TextOwner time = CallText(ToText, args);
  if (SameText(log, kEmptyText)) return JoinTexts({time.get(), TimeSeparator(), entry});
  return JoinTexts({log, EntrySeparator(), time.get(), TimeSeparator(), entry});
}

enum class Appended { kDone, kNotThatMemo, kFailed };

// Appends the entry to the log of data-source row `row`. The log is read again and written back
// under the row's record lock: another program appending to the same memo between a read and a
// write of ours would otherwise lose its entry. With a key, the row must still show that memo
// once it is held (another program may have moved the memos since the row was found); with a
// serial too, its record must carry that serial.
// On failure `*code` is the engine's code of the step that failed.
Appended AppendToLog(int32_t row, const char* entry, int* code, const char* const* key = nullptr,
                     int32_t serial = 0) {
  if (!LockRow(row)) {
    *code = LastEngineCode();
    return Appended::kFailed;
  }
  Appended result = Appended::kDone;
  if ((key && !RowShowsMemo(row, key[0], key[1], key[2])) ||
      (serial != 0 && RowSerial(row) != serial)) {
    result = Appended::kNotThatMemo;
  } else {
    TextOwner log(CellText(row, 4));
    TextOwner updated(WithEntry(log.get(), entry));
    if (!SetCellText(row, 4, updated.get())) {
      *code = LastEngineCode();
      result = Appended::kFailed;
    }
  }
  UnlockRow(row);
  return result;
}

void AppendFollowUp() {
  TextOwner entry(ReadText(fu::kWindow, fu::kEntryBox, kEditContent));
  {
    ArgList args{TextValue(NonNullText(entry.get()))};
    TextOwner bare = CallText(RemoveAllSpaces, args);
    if (SameText(bare.get(), kEmptyText)) return;
  }
  TextOwner file(ProviderFile());
  int32_t row = GridCursorRow();
  // An entry that cannot be stored is said so and stays in its box. The grid writes through the
  // handle it opened earlier, so the file is opened anew first: one removed, write-protected or
  // held by another program since then refuses here instead of seeming to take the entry (or
  // seeming to have no memo, when its record count cannot be read).
  if (int code = ProbeForWriting(file.get()); code != 0) {
    ReportSaveFailure(file.get(), code);
    return;
  }
  // An empty view has no memo under the cursor (its row 1 reads as empty texts): the entry must
  // not go to a blank memo of the table that matches them.
  if (row < 1 || row > RowCount()) return;
  int code = 0;
  if (SameText(file.get(), Gbk("a.mcn"))) {
    if (AppendToLog(row, entry.get(), &code) != Appended::kDone) {
      ReportSaveFailure(file.get(), code);
      return;
    }
  } else {
    // The query view: the copy first, then the memo of the table with the same category, time
    // and text (time and text alone may name another category's memo).
    TextOwner category(CellText(row, 1));
    TextOwner time(CellText(row, 2));
    TextOwner text(CellText(row, 3));
    if (int probe = ProbeForWriting(Gbk("a.mcn")); probe != 0) {
      ReportSaveFailure(Gbk("a.mcn"), probe);
      return;
    }
    const int32_t origin = QueryRowOrigin(row);
    if (AppendToLog(row, entry.get(), &code) != Appended::kDone) {
      ReportSaveFailure(file.get(), code);
      return;
    }
    SetProviderFile(Gbk("a.mcn"));
    RefreshProvider();
    SaveDataSource();
    RefreshGrid();
    const char* const key[3] = {category.get(), time.get(), text.get()};
    bool failed = false;
    // The memo the row came from, when the query knows it and it checks out under its lock;
    // otherwise the table is searched.
    Appended appended = Appended::kNotThatMemo;
    if (const int32_t found = RowOfSerial(origin); found > 0) {
      appended = AppendToLog(found, entry.get(), &code, key, origin);
      failed = appended == Appended::kFailed;
    }
    int32_t count = appended == Appended::kNotThatMemo ? RowCount() : 0;
    for (int32_t i = 1; i <= count; ++i) {
      if (RowShowsMemo(i, category.get(), time.get(), text.get())) {
        const Appended result = AppendToLog(i, entry.get(), &code, key);
        if (result == Appended::kNotThatMemo) continue;
        failed = result == Appended::kFailed;
        break;
      }
    }
    // Back to the copy even when the table has no such memo (its text was edited in the grid,
    // say): the window names the copy's memo by the cursor row, and in the table that row is
    // another memo, whose log the window would then show and extend.
    SetProviderFile(Gbk("b.mcn"));
    if (failed) {
      // The copy has the entry, the table has not: said so, and the entry stays in its box to
      // be added again once the table can take it.
      FillFollowUpGrid();
      ReportSaveFailure(Gbk("a.mcn"), code);
      return;
    }
  }
  FillFollowUpGrid();
  WriteText(fu::kWindow, fu::kEntryBox, kEmptyText);
  Focus(fu::kWindow, fu::kEntryBox, ui::unit_type::kEditBox);
}

}  // namespace

void FollowUpWindowCreated(ui::EventCall&) {
  int32_t row = GridCursorRow();
  TextOwner time(CellText(row, 2));
  TextOwner category(CellText(row, 1));
  TextOwner title(
      JoinTexts({Gbk("跟进："), time.get(), Gbk("的"), category.get(), Gbk("的跟进信息")}));
  WriteText(fu::kWindow, fu::kWindowUnit, title.get());
  Focus(fu::kWindow, fu::kEntryBox, ui::unit_type::kEditBox);
  FillFollowUpGrid();
}

void ShowFollowUpEntry(ui::EventCall&) {
  ArgList row_args{GridRef()};
  int32_t row = CallInt(ui::EGridCurrentRow, row_args);
  ArgList column_args{GridRef()};
  int32_t column = CallInt(ui::EGridCurrentColumn, column_args);
  if (row == -1 || column == -1) return;
  ArgList cell_args{GridRef(), IntValue(row), IntValue(1)};
  TypedValue cell = CallAddOnCommand(ui::EGridGetCell, cell_args);
  if (cell.tag != TypeTag::kText) {
    ReleaseValue(&cell);
    ReportRuntimeError(RuntimeError::kTypeMismatch);
  }
  TextOwner text(static_cast<char*>(cell.Pointer()));
  WriteText(fu::kWindow, fu::kEntryView, text.get());
}

void AppendFollowUpClicked(ui::EventCall&) { AppendFollowUp(); }
void FollowUpEntryKey(ui::EventCall& call) {
  if (call.arg_count >= 1 && static_cast<int32_t>(call.args[0].low) == platform::vk::kReturn) {
    AppendFollowUp();
  }
}

}  // namespace memo::app
