// The in-place editor: opened by clicking the selected cell again, committed by Enter or by the
// focus leaving it, cancelled by Esc; what it writes lands in the file.
#include <gtest/gtest.h>

#include <string>

#include "db/engine_code.h"
#include "platform/file.h"
#include "platform/input.h"
#include "platform/message_box.h"
#include "runtime/literal.h"
#include "tests/ui/grid/grid_test_util.h"
#include "ui/grid/grid.h"

namespace memo::ui::testing {
namespace {

namespace vk = platform::vk;

class GridEditorTest : public GridTest {
 protected:
  void SetUp() override {
    GridTest::SetUp();
    path_ = dir_.File("a.mcn");
    WriteMemoTable(path_, 20);
    MakeGrid();
    // What the window runtime does for an adopted control: its input goes to the grid alone.
    window_->on_input = [this](platform::Control* target, const platform::InputEvent& event) {
      if (grid_ && target && target == grid_->editor()) return grid_->FilterEditorInput(event);
      return platform::InputDecision::Pass();
    };
    grid_->on_editor_created = [this](platform::EditControl*) { ++created_; };
    Connect(path_);
  }

  platform::HeadlessEdit* Editor() { return static_cast<platform::HeadlessEdit*>(grid_->editor()); }

  void OpenOn(int row, int column) {
    Click(row, column);
    Click(row, column);
    ASSERT_TRUE(grid_->editor_open());
  }

  // The cell as the file holds it, read through a handle of its own.
  std::string FileCell(int row, const char* field) {
    auto handle = db::testing::MustOpen(path_);
    handle->set_current_record(row - 1);
    return db::testing::FieldText(handle.get(), field);
  }

  std::string path_;
  int created_ = 0;
};

TEST_F(GridEditorTest, ClickingTheSelectedCellAgainOpensAnEditorOverIt) {
  Click(3, 3);
  EXPECT_FALSE(grid_->editor_open());
  Click(3, 3);
  ASSERT_TRUE(grid_->editor_open());
  platform::HeadlessEdit* editor = Editor();
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(editor->Text(), "memo 3");
  EXPECT_TRUE(editor->style().multi_line);
  EXPECT_NE(editor->style().border, 0);
  EXPECT_EQ(editor->background(), grid_->background());
  EXPECT_EQ(editor->parent(), canvas_);
  EXPECT_EQ(backend_.focus(), editor);
  int start = -1, length = -1;
  editor->GetSelection(&start, &length);
  EXPECT_EQ(start, 0);
  EXPECT_EQ(length, 6);  // the whole text, so that typing replaces it
  platform::Rect cell = grid_->layout().CellRect(3, 3);
  EXPECT_EQ(editor->Geometry().left, cell.left);
  EXPECT_EQ(editor->Geometry().top, cell.top);
  // At least the part of the cell in view (a memo column wider than what is left of the view
  // stays partly out of it, so that the columns to its left stay in view).
  EXPECT_GE(editor->Geometry().width,
            std::min(cell.right(), grid_->layout().client_size().width) - cell.left);
  EXPECT_GE(editor->Geometry().height, cell.height);
  EXPECT_EQ(created_, 1);
}

TEST_F(GridEditorTest, EnterWritesTheTextThroughToTheFile) {
  OpenOn(4, 3);
  ASSERT_TRUE(window_->UserType(Editor(), G("改过的记事")));
  ASSERT_TRUE(window_->UserKey(Editor(), vk::kReturn));
  EXPECT_FALSE(grid_->editor_open());
  EXPECT_FALSE(Editor()->IsVisible());
  EXPECT_EQ(backend_.focus(), canvas_);
  EXPECT_EQ(FileCell(4, "记事"), G("改过的记事"));  // Enter typed no line break into it
  EXPECT_EQ(grid_->CellText(4, 3), G("改过的记事"));
  // The next edit reuses the same control.
  OpenOn(5, 3);
  EXPECT_EQ(Editor()->Text(), "memo 5");
  EXPECT_EQ(created_, 1);
}

TEST_F(GridEditorTest, LosingTheFocusCommits) {
  platform::ControlPlacement placement;
  placement.rect = platform::Rect{450, 10, 80, 20};
  platform::Control* other = window_->CreateEdit(placement, platform::EditStyle{});
  OpenOn(2, 1);
  ASSERT_TRUE(window_->UserType(Editor(), G("新分类")));
  ASSERT_TRUE(window_->UserFocus(other));
  EXPECT_FALSE(grid_->editor_open());
  EXPECT_EQ(FileCell(2, "分类"), G("新分类"));
  EXPECT_EQ(backend_.focus(), other);  // the focus stays where it went
}

TEST_F(GridEditorTest, EscCancelsAndWritesNothing) {
  OpenOn(6, 3);
  ASSERT_TRUE(window_->UserType(Editor(), "discarded"));
  ASSERT_TRUE(window_->UserKey(Editor(), vk::kEscape));
  EXPECT_FALSE(grid_->editor_open());
  EXPECT_EQ(backend_.focus(), canvas_);
  EXPECT_EQ(FileCell(6, "记事"), "memo 6");
}

TEST_F(GridEditorTest, CtrlEnterBreaksTheLine) {
  OpenOn(7, 3);
  ASSERT_TRUE(window_->UserType(Editor(), "first"));
  ASSERT_TRUE(window_->UserKey(Editor(), vk::kReturn, platform::kShiftCtrl));
  EXPECT_TRUE(grid_->editor_open());
  ASSERT_TRUE(window_->UserKey(Editor(), 'S'));
  EXPECT_EQ(Editor()->Text(), "first\r\ns");
  ASSERT_TRUE(window_->UserKey(Editor(), vk::kReturn));
  EXPECT_EQ(FileCell(7, "记事"), "first\r\ns");
}

TEST_F(GridEditorTest, TheEditorGrowsWithItsTextWithinTheGrid) {
  OpenOn(2, 1);
  const platform::Rect before = Editor()->Geometry();
  ASSERT_TRUE(window_->UserType(Editor(), std::string(40, 'x')));
  const platform::Rect grown = Editor()->Geometry();
  EXPECT_GT(grown.width, before.width);
  EXPECT_LE(grown.right(), canvas_->ClientSize().width);
  ASSERT_TRUE(window_->UserKey(Editor(), vk::kReturn, platform::kShiftCtrl));
  ASSERT_TRUE(window_->UserKey(Editor(), 'Y'));
  EXPECT_GT(Editor()->Geometry().height, before.height);
}

TEST_F(GridEditorTest, NoEditorWhenReadOnlyOrAfterADrag) {
  source_.set_read_only(true);
  Click(3, 2);
  Click(3, 2);
  EXPECT_FALSE(grid_->editor_open());
  source_.set_read_only(false);
  // Pressed on the selected cell, dragged away and back: a drag, not a second click.
  Mouse(platform::InputKind::kLeftDown, CentreOf(3, 2));
  Mouse(platform::InputKind::kMouseMove, CentreOf(4, 2));
  Mouse(platform::InputKind::kMouseMove, CentreOf(3, 2));
  Mouse(platform::InputKind::kLeftUp, CentreOf(3, 2));
  EXPECT_FALSE(grid_->editor_open());
}

TEST_F(GridEditorTest, F2EditsTheCursorCell) {
  Click(5, 1);
  ASSERT_TRUE(window_->UserKey(canvas_, vk::kF1 + 1));
  ASSERT_TRUE(grid_->editor_open());
  EXPECT_EQ(grid_->editing_cell(), (GridCell{5, 1}));
  EXPECT_EQ(Editor()->Text(), "c5");
}

TEST_F(GridEditorTest, ClickingAnotherCellOrScrollingCommitsFirst) {
  OpenOn(2, 3);
  ASSERT_TRUE(window_->UserType(Editor(), "by click"));
  Click(8, 1);
  EXPECT_FALSE(grid_->editor_open());
  EXPECT_EQ(FileCell(2, "记事"), "by click");
  EXPECT_EQ(grid_->cursor(), (GridCell{8, 1}));

  OpenOn(3, 3);
  ASSERT_TRUE(window_->UserType(Editor(), "by scroll"));
  grid_->HandleScroll(platform::Orientation::kVertical, platform::ScrollAction::kLineDown, 0);
  EXPECT_FALSE(grid_->editor_open());
  EXPECT_EQ(FileCell(3, "记事"), "by scroll");
}

TEST_F(GridEditorTest, AReconnectedTableCancelsTheEdit) {
  OpenOn(2, 3);
  ASSERT_TRUE(window_->UserType(Editor(), "late"));
  // The provider switching files first tells the views to finish: the edit lands in the old file.
  ASSERT_TRUE(provider_.Connect(path_));
  EXPECT_FALSE(grid_->editor_open());
  EXPECT_EQ(FileCell(2, "记事"), "late");
}

// Another program holds every record's lock (all but the header's count) longer than any lock
// wait.
platform::File HoldRecords(const std::string& path) {
  platform::File file;
  EXPECT_EQ(platform::File::Open(path, platform::FileAccess::kRead, platform::FileShare::kDenyNone,
                                 platform::FileCreate::kOpenExisting, &file),
            platform::FileError::kNone);
  EXPECT_EQ(file.Lock(17, 0x7FFFFFFF - 17), platform::FileError::kNone);
  return file;
}

TEST_F(GridEditorTest, AWriteThatFailsIsSaidAndTheCellKeepsItsValue) {
  OpenOn(4, 3);
  ASSERT_TRUE(window_->UserType(Editor(), G("改过的记事")));
  {
    platform::File busy = HoldRecords(path_);
    ASSERT_TRUE(window_->UserKey(Editor(), vk::kReturn));
  }
  EXPECT_FALSE(grid_->editor_open());
  ASSERT_EQ(backend_.boxes().size(), 1u);
  EXPECT_EQ(backend_.boxes()[0].title_gbk, G("温馨提示"));
  EXPECT_EQ(backend_.boxes()[0].text_gbk, G("保存失败：") + path_ + "\n" + G("加锁失败"));
  EXPECT_EQ(backend_.boxes()[0].style & 0xF0, platform::kMbIconWarning);
  EXPECT_EQ(FileCell(4, "记事"), "memo 4");
  EXPECT_EQ(grid_->CellText(4, 3), "memo 4");
  // Once the file is free the same edit goes through, with no further box.
  OpenOn(4, 3);
  ASSERT_TRUE(window_->UserType(Editor(), G("改过的记事")));
  ASSERT_TRUE(window_->UserKey(Editor(), vk::kReturn));
  EXPECT_EQ(FileCell(4, "记事"), G("改过的记事"));
  EXPECT_EQ(backend_.boxes().size(), 1u);
}

}  // namespace
}  // namespace memo::ui::testing
