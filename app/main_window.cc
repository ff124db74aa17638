// The main window: the memo table in the grid, recording, deleting and querying memos, the
// category lists, and the menu that opens the other windows.
#include <string>
#include <utility>
#include <vector>

#include "app/app_support.h"
#include "app/program_state.h"
#include "app/query_copy.h"
#include "app/query_origins.h"
#include "app/routines.h"
#include "app/window_units.h"
#include "db/database.h"
#include "db/db_commands.h"
#include "db/engine_code.h"
#include "db/registry.h"
#include "platform/input.h"
#include "runtime/dispatch.h"
#include "runtime/file_commands.h"
#include "runtime/literal.h"
#include "runtime/routine.h"
#include "runtime/system_commands.h"
#include "runtime/text.h"
#include "runtime/text_commands.h"
#include "ui/window/property_numbers.h"
#include "ui/window/window_commands.h"

namespace memo::app {

namespace {

namespace mw = main_window;
using ui::property::kComboContent;
using ui::property::kComboCurrentIndex;
using ui::property::kEditContent;

const char* AllCategories() { return Gbk("全部"); }
const char* MemoTable() { return Gbk("a.mcn"); }
const char* QueryCopy() { return Gbk("b.mcn"); }
const char* MemoFileName() { return Gbk("a.edt"); }
// Read for every memo of the table (the category lists, the query's condition): interned once
// here, since even a remembered literal costs a comparison of its bytes on every lookup.
const char* CategoryField() {
  static const char* const field = Gbk("分类");
  return field;
}

void SelectFirst(uint32_t combo) { WriteInt(mw::kWindow, combo, kComboCurrentIndex, 0); }

// The record filter of the category query, called by the sort once per record of the memo table
// with that record current and served from memory: the record's "分类" equals `wanted`, the
// content of the query box.
//
// The box is read once per sort, not once per record: the sort runs no event and no other
// routine, so nothing can change the box while it runs. The field is read as the read-field
// command reads it — by the field's number, found once per sort, into one buffer kept across the
// records — instead of as a new text per record; a field that is not there or not text goes
// through the command, which reports it as it always did.
class CategoryMatches {
 public:
  CategoryMatches(db::DatabaseHandle* handle, const char* wanted)
      : handle_(handle), wanted_(NonNullText(wanted)) {
    const int field = handle->FindField(CategoryField());
    if (field >= 0 && handle->fields()[static_cast<size_t>(field)].type == db::kFieldText) {
      field_ = field;
    }
  }

  bool operator()() {
    if (field_ < 0) {
      TextOwner category(ReadTextField(CategoryField()));
      return SameText(category.get(), wanted_.c_str());
    }
    // A read that fails gives the empty text, as the command's does.
    if (handle_->ReadFieldBytes(field_, &category_) != db::kOk) category_.clear();
    return category_ == wanted_;
  }

 private:
  db::DatabaseHandle* handle_;
  std::string wanted_;
  int field_ = -1;
  std::string category_;
};

// Sorts the current database into the query copy by "分类" (ascending, every field copied),
// keeping the records of the category `wanted`, and remembers which memo each record of the copy
// came from. Leaves the engine code in the last-error cell; true when the copy was written.
bool SortIntoQueryCopy(const char* wanted) {
  db::DatabaseHandle* handle = db::DatabaseRegistry::Instance().Current();
  if (handle == nullptr) {
    db::SetLastError(db::kNoCurrentDatabase);
    return false;
  }
  std::vector<int32_t> origins;
  db::SortRequest request;
  request.target = QueryCopy();
  request.key_names = {CategoryField()};
  request.ascending = {true};
  CategoryMatches matches(handle, wanted);
  request.condition = [&matches] { return matches(); };
  request.source_serials = &origins;
  const db::EngineCode code = handle->SortInto(request);
  db::SetLastError(code);
  if (code != db::kOk) return false;
  RememberQueryOrigins(std::move(origins));
  return true;
}

// The category of the scanned record goes into both lists unless 组合框1 holds it already. The
// passes i = 1 .. c + 1 over 组合框1's c items compare ScannedCategory with the text of item i - 1,
// the last pass with the empty text beyond the list, and the first equal text ends the routine;
// c + 1 misses add it. The list's find command makes the same comparisons inside the list, where
// no item is copied for them (the lists are searched once for every memo of the table): the
// category is added exactly when it is not empty and no item equals it.
void AddCategoryIfNew() {
  const char* category = ScannedCategory();
  if (SameText(category, kEmptyText)) return;  // the last pass's empty text
  if (ComboFind(mw::kWindow, mw::kCategoryCombo, category) >= 0) return;
  ComboAdd(mw::kWindow, mw::kCategoryCombo, category);
  ComboAdd(mw::kWindow, mw::kQueryCombo, category);
}

// Returns the engine code of opening the memo table (0 when it opened).
int FillCategoryLists() {
  SetProviderFile(kEmptyText);
  ComboClearItems(mw::kWindow, mw::kCategoryCombo);
  ComboClearItems(mw::kWindow, mw::kQueryCombo);
  ComboAdd(mw::kWindow, mw::kQueryCombo, AllCategories());
  const int opened = OpenDatabase(MemoTable()) ? 0 : LastEngineCode();
  int32_t count = RecordCount();
  for (int32_t i = 0; i < count; ++i) {
    SetScannedCategory(ReadTextField(CategoryField()));
    AddCategoryIfNew();
    SkipRecord();
  }
  CloseDatabase();
  SetProviderFile(MemoTable());
  return opened;
}

// Returns the engine code of opening the memo table (0 when it opened).
int RefreshMainWindow() {
  const int opened = FillCategoryLists();
  SetProviderFile(MemoTable());
  SelectFirst(mw::kCategoryCombo);
  SelectFirst(mw::kQueryCombo);
  WriteText(mw::kWindow, mw::kWindowUnit, Gbk("墨川软件之备忘录2.11"));
  return opened;
}

// Which of the pair an open of the memo table that failed with `code` could not use: the memo
// file for the memo file's own codes, and for a file-system failure when the table itself opens.
const char* UnusableFile(int code) {
  switch (code) {
    case db::kMemoReadFailed:
    case db::kMemoVersionMismatch:
    case db::kNotMemoFile:
    case db::kMemoAccessFailed: return MemoFileName();
    default: break;
  }
  if (code <= db::kCreateFailed && code >= db::kEndOfFile) {
    ArgList args{TextValue(MemoTable())};
    int32_t number = CallInt(OpenDiskFile, args);
    if (number != 0) {
      CloseDiskFile(number);
      return MemoFileName();
    }
  }
  return MemoTable();
}

// A memo table that cannot be used is named when the window opens, with the reason and what to
// run, instead of an empty grid that makes the memos look gone.
void TellUnusableMemoFiles(int code) {
  if (code == 0) return;
  const char* file = UnusableFile(code);
  TextOwner text(JoinTexts({Gbk("记事文件无法使用："), file, Gbk("\n"), db::EngineMessage(code),
                            Gbk("\n可用 mcn check a.mcn 检查，mcn repair a.mcn 修复。")}));
  Remind(text.get());
}

void QueryByCategory() {
  // Whatever the copy held is gone with the clear below.
  ForgetQueryOrigins();
  TextOwner run_directory = CallText(GetRunDirectory);
  TextOwner path(JoinTexts({run_directory.get(), Gbk("\\b.mcn")}));
  // A query copy that does not open, or does not clear, is made again from the memo table: a
  // query stopped while it copied may have left "b.mcn" without "b.edt", or an empty "b.mcn".
  bool cleared = false;
  if (OpenDatabase(path.get())) {
    cleared = ClearRecords();
    CloseDatabase();
  }
  if (!cleared) {
    SetProviderFile(kEmptyText);
    MakeQueryCopy(MemoTable(), MemoFileName(), QueryCopy(), Gbk("b.edt"));
    SetProviderFile(MemoTable());
    OpenDatabase(path.get());
    ClearRecords();
    CloseDatabase();
  }
  TextOwner wanted(ReadText(mw::kWindow, mw::kQueryCombo, kComboContent));
  if (SameText(wanted.get(), AllCategories())) {
    SetProviderFile(MemoTable());
  } else {
    SetProviderFile(kEmptyText);
    // A query that cannot build its copy says why and leaves every memo on show, instead of an
    // empty grid that looks like a category without memos.
    if (!OpenDatabase(MemoTable())) {
      ReportQueryFailure(MemoTable(), LastEngineCode());
      SetProviderFile(MemoTable());
    } else {
      MoveToFirstRecord();
      const bool sorted = SortIntoQueryCopy(wanted.get());
      const int code = LastEngineCode();
      CloseDatabase();
      if (!sorted) {
        ReportQueryFailure(code == db::kLockFailed ? MemoTable() : QueryCopy(), code);
        SetProviderFile(MemoTable());
      } else {
        SetProviderFile(QueryCopy());
      }
    }
  }
  SelectFirst(mw::kQueryCombo);
}

void AddMemo() {
  TextOwner typed_category(ReadText(mw::kWindow, mw::kCategoryCombo, kComboContent));
  TextOwner category;
  {
    ArgList args{TextValue(NonNullText(typed_category.get()))};
    category = CallText(RemoveAllSpaces, args);
  }
  TextOwner memo(ReadText(mw::kWindow, mw::kMemoBox, kEditContent));
  if (SameText(category.get(), kEmptyText) || SameText(memo.get(), kEmptyText)) {
    Remind(Gbk("记录事件和类型均不能为空"));
    return;
  }
  SelectFirst(mw::kQueryCombo);  // the query returns to every memo
  QueryByCategory();
  // A memo that could not be stored is said so, and its text stays in the box to try again.
  if (!OpenDatabase(MemoTable())) {
    ReportSaveFailure(MemoTable(), LastEngineCode());
    return;
  }
  ArgList values{TextValue(NonNullText(typed_category.get())), CallDateTime(CurrentDateTime),
                 TextValue(NonNullText(memo.get()))};
  const bool added = CallBool(db::AddRecordValues, values);
  const int code = LastEngineCode();
  CloseDatabase();
  if (!added) {
    SetProviderFile(MemoTable());
    ReportSaveFailure(MemoTable(), code);
    return;
  }
  SetProviderFile(MemoTable());
  WriteText(mw::kWindow, mw::kMemoBox, kEmptyText);
  Focus(mw::kWindow, mw::kMemoBox, ui::unit_type::kEditBox);
  RefreshMainWindow();
  // The new memo is the table's last row: the cursor goes there, so that it is in view.
  MoveToRow(RowCount());
}

void DeleteMemo() {
  TextOwner file(ProviderFile());
  int32_t row = GridCursorRow();
  // The grid writes through the handle it opened when it was pointed at the file, which may since
  // have been removed, write-protected or locked by another program: the file is opened anew
  // first, so that such a delete is refused and said so instead of seeming to work.
  if (int code = ProbeForWriting(file.get()); code != 0) {
    ReportSaveFailure(file.get(), code);
    return;
  }
  if (SameText(file.get(), MemoTable())) {
    if (!DeleteRow(row)) ReportSaveFailure(MemoTable(), LastEngineCode());
    return;
  }
  // The query view: the memo goes from the query copy, then from the memo table. It is found
  // there by its category, time and text: time and text alone may name another category's memo.
  // An empty view has no memo under the cursor (its row 1 reads as empty texts, and deleting it
  // succeeds without deleting anything): it must not cost the table a blank memo.
  if (row < 1 || row > RowCount()) return;
  TextOwner category(CellText(row, 1));
  TextOwner time(CellText(row, 2));
  TextOwner text(CellText(row, 3));
  if (int code = ProbeForWriting(MemoTable()); code != 0) {
    ReportSaveFailure(MemoTable(), code);
    return;
  }
  const int32_t origin = QueryRowOrigin(row);
  // A row that could not be deleted from the copy must not cost a memo of the table.
  if (!DeleteRow(row)) {
    ReportSaveFailure(QueryCopy(), LastEngineCode());
    return;
  }
  QueryRowDeleted();
  SetProviderFile(MemoTable());
  // The memo the row came from, when the query knows it: held under its record lock while it is
  // checked and deleted, so that no other program can move it in between. When it does not check
  // out, the table is searched.
  if (const int32_t found = RowOfSerial(origin); found > 0 && LockRow(found)) {
    const bool same =
        RowSerial(found) == origin && RowShowsMemo(found, category.get(), time.get(), text.get());
    const bool deleted = same && DeleteRow(found);
    const int code = LastEngineCode();
    UnlockRow(found);
    if (same) {
      if (!deleted) {
        ReportSaveFailure(MemoTable(), code);
        return;  // the grid stays on the table, which still holds the memo
      }
      SetProviderFile(QueryCopy());
      return;
    }
  }
  int32_t count = RowCount();
  for (int32_t i = 1; i <= count; ++i) {
    if (RowShowsMemo(i, category.get(), time.get(), text.get())) {
      if (!DeleteRow(i)) {
        ReportSaveFailure(MemoTable(), LastEngineCode());
        return;  // the grid stays on the table, which still holds the memo
      }
      SetProviderFile(QueryCopy());
      return;
    }
  }
}

void OpenDialog(uint32_t window_id) { OpenWindow(window_id, ui::WindowMode::kModal); }

}  // namespace

void MainWindowCreated(ui::EventCall&) { TellUnusableMemoFiles(RefreshMainWindow()); }
void AddMemoClicked(ui::EventCall&) { AddMemo(); }
void MemoTextKey(ui::EventCall& call) {
  if (call.arg_count >= 1 && static_cast<int32_t>(call.args[0].low) == platform::vk::kReturn) {
    AddMemo();
  }
}
void DeleteMemoClicked(ui::EventCall&) { DeleteMemo(); }
void QueryClicked(ui::EventCall&) { QueryByCategory(); }

void ShowGridMenu(ui::EventCall&) {
  if (GridCursorColumn() != 3) return;
  ArgList none;
  int32_t x = CallInt(GetMouseX, none) + 30;
  ArgList popup{Ref(mw::kWindow, mw::kWindowUnit, ui::unit_type::kWindow),
                Ref(mw::kWindow, mw::kGridMenu, ui::unit_type::kMenu), IntValue(x)};
  CallCommand(ui::PopupMenuCommand, popup);
}

void OpenFollowUp(ui::EventCall&) { OpenDialog(followup::kWindow); }
void OpenPasswordWindow(ui::EventCall&) { OpenDialog(password::kWindow); }
void OpenIntroduction(ui::EventCall&) { OpenDialog(intro::kWindow); }

}  // namespace memo::app
