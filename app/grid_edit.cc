// A user's edit of the main grid in the view of one category. That view shows the query copy
// "b.mcn", which the next query or "全部" rebuilds from "a.mcn": an edit written there alone would
// be gone then. So before the grid writes a cell it edited or pasted, the memo of "a.mcn" with the
// category, time and text the row shows (as before the edit, the key DeleteMemo and
// AppendFollowUp find memos by) takes the new text first; when "a.mcn" has no such memo, or
// cannot take the text, the edit is refused and the copy keeps its old value too.
#include "app/app_support.h"
#include "app/routines.h"
#include "runtime/dispatch.h"
#include "runtime/literal.h"
#include "runtime/text.h"

namespace memo::app {

namespace {

const char* MemoTable() { return Gbk("a.mcn"); }
const char* QueryCopy() { return Gbk("b.mcn"); }

}  // namespace

void CheckGridEdit(ui::EventCall& call) {
  if (call.arg_count < 3) return;
  TextOwner file(ProviderFile());
  // The view of every memo (or none): the grid writes the memo table itself.
  if (!SameText(file.get(), QueryCopy())) return;
  const int32_t row = static_cast<int32_t>(call.args[0].low);
  const int32_t column = static_cast<int32_t>(call.args[1].low);
  const char* text = call.args[2].tag == TypeTag::kText
                         ? static_cast<const char*>(call.args[2].Pointer())
                         : nullptr;
  if (row < 1 || row > RowCount()) return;
  TextOwner category(CellText(row, 1));
  TextOwner time(CellText(row, 2));
  TextOwner memo(CellText(row, 3));
  SetProviderFile(MemoTable());
  bool found = false;
  bool written = false;
  int code = 0;  // the engine's code of a failed write
  const int32_t count = RowCount();
  for (int32_t i = 1; i <= count; ++i) {
    if (RowShowsMemo(i, category.get(), time.get(), memo.get())) {
      found = true;
      written = SetCellText(i, column, NonNullText(text));
      if (!written) code = LastEngineCode();
      break;
    }
  }
  SetProviderFile(QueryCopy());
  call.has_result = true;
  call.result = BoolValue(written);
  if (!found) {
    Remind(Gbk("没有找到要修改的记事，请重新查询后再修改。"));
  } else if (!written) {
    ReportSaveFailure(MemoTable(), code);
  }
}

}  // namespace memo::app
