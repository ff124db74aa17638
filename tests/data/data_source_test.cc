#include "data/data_source.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "db/engine_code.h"
#include "platform/headless/headless_backend.h"
#include "tests/support/test_util.h"

namespace memo::db {
namespace {

using testing::G;

struct Notice {
  ViewNotice kind;
  int first;
  int count;
  friend bool operator==(const Notice&, const Notice&) = default;
};

std::ostream& operator<<(std::ostream& out, const Notice& n) {
  return out << "{" << static_cast<int>(n.kind) << ", " << n.first << ", " << n.count << "}";
}

class RecordingView : public DataSourceView {
 public:
  void OnDataSourceNotice(ViewNotice notice, int first, int count) override {
    notices.push_back({notice, first, count});
  }
  void OnDataSourceGone() override { gone = true; }
  std::vector<Notice> notices;
  bool gone = false;
};

class DataSourceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = platform::InstallBackend(&backend_);
    path_ = dir_.File("a.mcn");
    testing::MustCreate(path_, testing::MemoTableFields());
  }
  void TearDown() override { platform::InstallBackend(previous_); }

  void Fill(int records) {
    auto handle = testing::MustOpen(path_);
    for (int i = 0; i < records; ++i) {
      std::string category = "c" + std::to_string(i);
      TypedValue values[] = {testing::TextCell(category)};
      ASSERT_EQ(handle->AddRecord(values, 1), kOk);
    }
  }

  // The data source bound to the table with `records` records and a recording view.
  void Bind(int records) {
    Fill(records);
    ASSERT_TRUE(provider_.Connect(path_));
    source_.Connect(&provider_);
    source_.AddView(&view_);
  }

  std::vector<std::string> Categories() {
    std::vector<std::string> out;
    for (int r = 0; r < source_.RowCount(); ++r) out.push_back(source_.CellText(r, 0));
    return out;
  }

  platform::HeadlessBackend backend_;
  platform::Backend* previous_ = nullptr;
  testing::TempDir dir_;
  std::string path_;
  DBProvider provider_;
  RecordingView view_;  // outlives source_, which tells it when it goes
  DataSource source_;
};

TEST_F(DataSourceTest, CellsOutsideTheTableReadAsEmpty) {
  Bind(2);
  EXPECT_EQ(source_.CellText(0, 0), "c0");
  EXPECT_EQ(source_.CellText(1, 0), "c1");
  EXPECT_EQ(source_.CellText(2, 0), "");
  EXPECT_EQ(source_.CellText(-1, 0), "");
  EXPECT_EQ(source_.CellText(0, 4), "");
  EXPECT_EQ(source_.CellText(0, -1), "");
  EXPECT_EQ(source_.ColumnCount(), 4);
  EXPECT_EQ(source_.ColumnName(2), G("记事"));
  EXPECT_EQ(source_.ColumnName(9), "");
  EXPECT_EQ(source_.ColumnType(1), static_cast<uint32_t>(kFieldDateTime));

  DataSource unconnected;
  EXPECT_EQ(unconnected.RowCount(), 0);
  EXPECT_EQ(unconnected.CellText(0, 0), "");
  EXPECT_FALSE(unconnected.SetCellText(0, 0, "x"));
}

TEST_F(DataSourceTest, SetCellTextWritesThroughAndTellsTheViews) {
  Bind(3);
  EXPECT_TRUE(source_.SetCellText(1, 0, G("资金")));
  EXPECT_EQ(source_.CellText(1, 0), G("资金"));
  EXPECT_EQ(view_.notices, (std::vector<Notice>{{ViewNotice::kCellsChanged, 1, 1}}));
  view_.notices.clear();
  EXPECT_FALSE(source_.SetCellText(3, 0, "x"));
  EXPECT_FALSE(source_.SetCellText(0, 4, "x"));
  EXPECT_TRUE(view_.notices.empty());
  // The write is in the file at once.
  auto other = testing::MustOpen(path_);
  other->set_current_record(1);
  EXPECT_EQ(testing::FieldText(other.get(), "分类"), G("资金"));
}

TEST_F(DataSourceTest, DeleteClampsTheCountToTheRowsThatExist) {
  Bind(4);
  // Rows 3 and 4 of the program's numbering are 2 and 3 here: deleting 5 from the third row
  // removes those two only.
  EXPECT_TRUE(source_.DeleteRows(2, 5));
  EXPECT_EQ(Categories(), (std::vector<std::string>{"c0", "c1"}));
  ASSERT_FALSE(view_.notices.empty());
  EXPECT_EQ(view_.notices.front(), (Notice{ViewNotice::kFinishEditing, 0, 0}));
  EXPECT_EQ(view_.notices[1], (Notice{ViewNotice::kRowsDeleted, 2, 2}));
  view_.notices.clear();
  // Nothing left after the row: succeeds without change, and the views hear nothing.
  EXPECT_TRUE(source_.DeleteRows(2, 1));
  EXPECT_TRUE(source_.DeleteRows(7, 1));
  EXPECT_TRUE(source_.DeleteRows(0, 0));
  EXPECT_TRUE(view_.notices.empty());
  EXPECT_EQ(source_.RowCount(), 2);
  EXPECT_FALSE(source_.DeleteRows(-1, 1));
}

TEST_F(DataSourceTest, CurrentRowFollowsDeletionsAndInsertions) {
  Bind(6);
  ASSERT_TRUE(source_.MoveTo(3));
  // Inside the deleted range: the first deleted row becomes current.
  EXPECT_TRUE(source_.DeleteRows(2, 2));
  EXPECT_EQ(source_.current_row(), 2);
  EXPECT_EQ(source_.CellText(2, 0), "c4");
  // After the range: it moves up with its record.
  ASSERT_TRUE(source_.MoveTo(3));  // "c5"
  EXPECT_TRUE(source_.DeleteRows(0, 1));
  EXPECT_EQ(source_.current_row(), 2);
  EXPECT_EQ(source_.CellText(source_.current_row(), 0), "c5");
  // Before the range: unchanged.
  ASSERT_TRUE(source_.MoveTo(0));
  EXPECT_TRUE(source_.DeleteRows(1, 1));
  EXPECT_EQ(source_.current_row(), 0);
  // Deleting the last rows while on them: the current row stays inside the table.
  ASSERT_TRUE(source_.MoveTo(1));
  EXPECT_TRUE(source_.DeleteRows(1, 1));
  EXPECT_EQ(source_.RowCount(), 1);
  EXPECT_EQ(source_.current_row(), 0);
  // Inserting at the end while on the last row: at or after the insertion point, so it moves on
  // only when the current row was the end itself.
  view_.notices.clear();
  EXPECT_TRUE(source_.InsertRows(1, 2));
  EXPECT_EQ(source_.current_row(), 0);
  EXPECT_EQ(view_.notices.back(), (Notice{ViewNotice::kRowsInserted, 1, 2}));
}

TEST_F(DataSourceTest, InsertingAnywhereButTheEndFailsAndChangesNothing) {
  Bind(3);
  ASSERT_TRUE(source_.MoveTo(2));
  view_.notices.clear();
  EXPECT_FALSE(source_.InsertRows(1, 1));
  EXPECT_EQ(source_.RowCount(), 3);
  EXPECT_EQ(source_.current_row(), 2);
  for (const Notice& n : view_.notices) {
    EXPECT_NE(n.kind, ViewNotice::kRowsInserted);
    EXPECT_NE(n.kind, ViewNotice::kCurrentRowChanged);
  }
}

TEST_F(DataSourceTest, ReadOnlyRefusesEveryWrite) {
  Bind(2);
  source_.set_read_only(true);
  EXPECT_FALSE(source_.SetCellText(0, 0, "x"));
  EXPECT_FALSE(source_.InsertRows(2, 1));
  EXPECT_FALSE(source_.DeleteRows(0, 1));
  source_.Navigate(NavigationButton::kInsert);
  source_.Navigate(NavigationButton::kDelete);
  EXPECT_EQ(source_.RowCount(), 2);
  EXPECT_EQ(source_.CellText(0, 0), "c0");
  EXPECT_TRUE(backend_.boxes().empty());  // refused quietly, not failed
}

TEST_F(DataSourceTest, NavigationClampsAndTellsTheViewsToFinishFirst) {
  Bind(3);
  source_.Navigate(NavigationButton::kPrevious);  // already on the first row: nothing at all
  EXPECT_TRUE(view_.notices.empty());
  source_.Navigate(NavigationButton::kLast);
  EXPECT_EQ(source_.current_row(), 2);
  EXPECT_EQ(view_.notices, (std::vector<Notice>{{ViewNotice::kFinishEditing, 0, 0},
                                                {ViewNotice::kCurrentRowChanged, 2, 0}}));
  view_.notices.clear();
  source_.Navigate(NavigationButton::kNext);  // clamped to the last row: no move
  EXPECT_TRUE(view_.notices.empty());
  source_.Navigate(NavigationButton::kPrevious);
  EXPECT_EQ(source_.current_row(), 1);
  source_.Navigate(NavigationButton::kFirst);
  EXPECT_EQ(source_.current_row(), 0);
  EXPECT_FALSE(source_.MoveTo(-5));
  EXPECT_TRUE(source_.MoveTo(99));
  EXPECT_EQ(source_.current_row(), 2);
}

TEST_F(DataSourceTest, InsertAndDeleteButtons) {
  Bind(2);
  source_.Navigate(NavigationButton::kInsert);
  EXPECT_EQ(source_.RowCount(), 3);
  EXPECT_EQ(source_.current_row(), 2);
  EXPECT_EQ(source_.CellText(2, 0), "");

  ASSERT_TRUE(source_.MoveTo(0));
  view_.notices.clear();
  source_.Navigate(NavigationButton::kDelete);
  EXPECT_EQ(source_.RowCount(), 2);
  EXPECT_EQ(source_.current_row(), 0);
  EXPECT_EQ(source_.CellText(0, 0), "c1");
  EXPECT_EQ(view_.notices.back(), (Notice{ViewNotice::kCurrentRowChanged, 0, 0}));

  source_.set_insert_allowed(false);
  source_.set_delete_allowed(false);
  source_.Navigate(NavigationButton::kInsert);
  source_.Navigate(NavigationButton::kDelete);
  EXPECT_EQ(source_.RowCount(), 2);
  EXPECT_TRUE(backend_.boxes().empty());
}

TEST_F(DataSourceTest, FailedButtonsSayWhatFailed) {
  DBProvider unconnected;
  source_.Connect(&unconnected);
  source_.Navigate(NavigationButton::kInsert);
  ASSERT_EQ(backend_.boxes().size(), 1u);
  EXPECT_EQ(backend_.boxes()[0].text_gbk, G("插入新记录失败!"));
  EXPECT_EQ(backend_.boxes()[0].title_gbk, G("温馨提示"));
  source_.Connect(nullptr);
  source_.Navigate(NavigationButton::kDelete);
  ASSERT_EQ(backend_.boxes().size(), 2u);
  EXPECT_EQ(backend_.boxes()[1].text_gbk, G("删除记录失败!"));
}

TEST_F(DataSourceTest, AReconnectedProviderReplacesTheTable) {
  Bind(5);
  ASSERT_TRUE(source_.MoveTo(4));
  std::string other = dir_.File("b.mcn");
  testing::MustCreate(other, testing::MemoTableFields());
  {
    auto handle = testing::MustOpen(other);
    ASSERT_EQ(handle->AppendBlank(), kOk);
    ASSERT_EQ(handle->AppendBlank(), kOk);
  }
  view_.notices.clear();
  ASSERT_TRUE(provider_.Connect(other));
  EXPECT_EQ(view_.notices, (std::vector<Notice>{{ViewNotice::kFinishEditing, 0, 0},
                                                {ViewNotice::kTableReplaced, 0, 0}}));
  EXPECT_EQ(source_.current_row(), 1);  // clamped into the new table
  provider_.Disconnect();
  EXPECT_EQ(source_.current_row(), 0);
  EXPECT_EQ(source_.RowCount(), 0);
}

TEST_F(DataSourceTest, SaveIsANoticeToTheViews) {
  Bind(1);
  source_.Save();
  EXPECT_EQ(view_.notices, (std::vector<Notice>{{ViewNotice::kSave, 0, 0}}));
}

TEST_F(DataSourceTest, EitherSideMayGoFirst) {
  Fill(2);
  RecordingView view;
  {
    auto provider = std::make_unique<DBProvider>();
    ASSERT_TRUE(provider->Connect(path_));
    DataSource source;
    source.Connect(provider.get());
    source.AddView(&view);
    provider.reset();  // the provider goes first
    EXPECT_EQ(source.provider(), nullptr);
    EXPECT_EQ(source.RowCount(), 0);
    EXPECT_EQ(view.notices.back(), (Notice{ViewNotice::kTableReplaced, 0, 0}));
  }
  EXPECT_TRUE(view.gone);  // then the data source, which tells its views
}

}  // namespace
}  // namespace memo::db
