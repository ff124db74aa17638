// What the grid writes for a person: an edited or pasted text that is no value of its column is
// refused with one message and the file keeps the old value; the unit's on_cell_editing sees the
// cell before it changes and can refuse the write; an unchanged text is not written at all.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/input.h"
#include "runtime/literal.h"
#include "tests/ui/grid/grid_test_util.h"
#include "ui/grid/grid.h"
#include "ui/grid/grid_cells_format.h"

namespace memo::ui::testing {
namespace {

namespace vk = platform::vk;
constexpr int kCtrl = platform::kShiftCtrl;

const char* kDateMessage = "日期格式不正确，例如 2014年7月10日9时5分 或 2014-07-10 09:05";

class GridUserWriteTest : public GridTest {
 protected:
  void SetUp() override {
    GridTest::SetUp();
    path_ = dir_.File("t.edb");
    WriteFixedTable(path_, 6);
    MakeGrid();
    window_->on_input = [this](platform::Control* target, const platform::InputEvent& event) {
      if (grid_ && target && target == grid_->editor()) return grid_->FilterEditorInput(event);
      return platform::InputDecision::Pass();
    };
    Connect(path_);
  }

  // Edits a cell in place as a person does: F2 on it, the text, Enter.
  void EditCell(int row, int column, const std::string& text) {
    Click(row, column);
    Key(vk::kF1 + 1);
    ASSERT_TRUE(grid_->editor_open());
    auto* editor = static_cast<platform::HeadlessEdit*>(grid_->editor());
    ASSERT_TRUE(window_->UserType(editor, text));
    ASSERT_TRUE(window_->UserKey(editor, vk::kReturn));
    ASSERT_FALSE(grid_->editor_open());
  }

  // The cell as the file holds it, through a provider of its own.
  std::string FileCell(int row, int column) {
    db::DBProvider check;
    EXPECT_TRUE(check.Connect(path_));
    return check.CellText(row - 1, column - 1);
  }

  std::vector<std::string> BoxTexts() {
    std::vector<std::string> texts;
    for (const platform::ShownBox& box : backend_.boxes()) texts.push_back(box.text_gbk);
    return texts;
  }

  std::string path_;
};

TEST_F(GridUserWriteTest, AMistypedDateOrNumberKeepsTheOldValueAndSaysWhy) {
  EditCell(2, 2, "abc");
  EXPECT_EQ(FileCell(2, 2), G("2014年7月11日"));
  EditCell(2, 3, "12a");
  EXPECT_EQ(FileCell(2, 3), "2");
  ASSERT_EQ(BoxTexts(), (std::vector<std::string>{G(kDateMessage), G("数字格式不正确")}));
  EXPECT_EQ(backend_.boxes()[0].title_gbk, G("温馨提示"));
  // Values of the columns are written; the empty text clears the date and zeroes the number.
  EditCell(2, 2, "2014-07-20 08:30");
  EditCell(2, 3, " -40 ");
  EXPECT_EQ(FileCell(2, 2), G("2014年7月20日8时30分"));
  EXPECT_EQ(FileCell(2, 3), "-40");
  EditCell(3, 2, "");
  EditCell(3, 3, "");
  EXPECT_EQ(FileCell(3, 2), "");
  EXPECT_EQ(FileCell(3, 3), "0");
  EXPECT_EQ(backend_.boxes().size(), 2u) << "no message for what was written";
}

TEST_F(GridUserWriteTest, APasteWritesTheCellsThatFitAndSaysOnceWhatItRefused) {
  CellBlock block;
  block.cells = {{"abc", "x7", "pasted"}, {"2014-08-01", "8", "pasted too"}};
  platform::ClipboardContent content;
  content.formats.emplace_back(kGridCellsFormat, EncodeGridCells(block));
  ASSERT_TRUE(backend_.SetClipboard(content));
  Click(4, 2);
  Key('V', kCtrl);
  EXPECT_EQ(FileCell(4, 2), G("2014年7月13日")) << "not a date: kept";
  EXPECT_EQ(FileCell(4, 3), "4") << "not a number: kept";
  EXPECT_EQ(FileCell(4, 4), "pasted");
  EXPECT_EQ(FileCell(5, 2), G("2014年8月1日"));
  EXPECT_EQ(FileCell(5, 3), "8");
  EXPECT_EQ(FileCell(5, 4), "pasted too");
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{G(kDateMessage)})) << "the first fault, once";
  EXPECT_EQ(Second(), (GridCell{5, 4}));
}

TEST_F(GridUserWriteTest, TheEditingHookSeesTheOldCellAndCanRefuse) {
  struct Call {
    int row, column;
    std::string text, cell_then;
  };
  std::vector<Call> calls;
  bool allow = false;
  grid_->on_cell_editing = [&](int row, int column, const std::string& text) {
    calls.push_back({row, column, text, grid_->CellText(row, column)});
    return allow;
  };
  EditCell(2, 4, G("新备注"));
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].row, 2);
  EXPECT_EQ(calls[0].column, 4);
  EXPECT_EQ(calls[0].text, G("新备注"));
  EXPECT_EQ(calls[0].cell_then, "note 2");
  EXPECT_EQ(FileCell(2, 4), "note 2") << "refused";
  EXPECT_TRUE(backend_.boxes().empty()) << "whoever refuses tells the user, not the grid";
  // A refused paste stops at the refused cell.
  CellBlock block;
  block.cells = {{"a", "b"}};
  platform::ClipboardContent content;
  content.formats.emplace_back(kGridCellsFormat, EncodeGridCells(block));
  ASSERT_TRUE(backend_.SetClipboard(content));
  Click(3, 1);
  Key('V', kCtrl);
  EXPECT_EQ(calls.size(), 2u) << "the second cell is not offered after the first was refused";
  EXPECT_EQ(FileCell(3, 1), "r3");
  // Allowed: written. A mistyped number never reaches the hook; an unchanged text neither.
  allow = true;
  EditCell(2, 4, G("新备注"));
  EXPECT_EQ(FileCell(2, 4), G("新备注"));
  EditCell(2, 3, "x");
  EditCell(2, 4, G("新备注"));
  EXPECT_EQ(calls.size(), 3u);
}

}  // namespace
}  // namespace memo::ui::testing
