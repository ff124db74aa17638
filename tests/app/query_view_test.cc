// DeleteMemo and AppendFollowUp while the main grid shows a category query: the memo is changed
// in the query copy and then searched for in the memo table by its category, time and text. The
// tables hold twins — memos with the same time and text in two categories — placed before and
// after the memo, first and last, so a search that stops at the wrong row, skips a row or matches
// on time and text alone changes the wrong memo.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/window_units.h"
#include "app/windows/program_routines.h"
#include "bench/app_session.h"
#include "data/cell_text.h"
#include "data/data_source.h"
#include "db/create.h"
#include "db/database.h"
#include "db/engine_code.h"
#include "db/images.h"
#include "platform/codec.h"
#include "platform/input.h"
#include "runtime/heap.h"
#include "tests/support/gbk.h"
#include "ui/window/property_numbers.h"
#include "ui/window/window_runtime.h"

namespace memo::app {
namespace {

using ui::property::kProviderFileName;

namespace mw = main_window;
namespace fu = followup;
using bench::AppSession;

using ::memo::testing::G;

struct Memo {
  std::string category;  // GBK
  double time = 0;
  std::string note;      // GBK
  std::string log;       // GBK
};

// 2014-07-10 09:00 plus `minutes`.
double At(int minutes) { return 41830.375 + minutes / 1440.0; }

TypedValue Text(const std::string& text) {
  TypedValue value;
  value.tag = TypeTag::kText;
  value.SetPointer(text.c_str());
  return value;
}

class QueryViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/memo-app-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }

  // The memo table in the run directory, and the carried accounts file.
  void WriteTable(const std::vector<Memo>& memos) {
    std::vector<db::FieldSpec> fields = {{G("分类"), db::kFieldText, 10},
                                         {G("时间"), db::kFieldDateTime, 0},
                                         {G("记事"), db::kFieldMemo, 0},
                                         {G("跟进"), db::kFieldMemo, 0}};
    ASSERT_EQ(db::CreateDatabase(dir_ + "/a.mcn", fields), db::kOk);
    std::unique_ptr<db::DatabaseHandle> handle;
    ASSERT_EQ(db::DatabaseHandle::Open(dir_ + "/a.mcn", db::OpenOptions{}, &handle), db::kOk);
    for (const Memo& memo : memos) {
      TypedValue values[4] = {Text(memo.category), {}, Text(memo.note), Text(memo.log)};
      values[1].tag = TypeTag::kDateTime;
      values[1].SetDouble(memo.time);
      ASSERT_EQ(handle->AddRecord(values, 4), db::kOk);
    }
    std::string_view accounts = db::AccountsImageBytes();
    std::FILE* out = std::fopen((dir_ + "/c.mcn").c_str(), "wb");
    ASSERT_NE(out, nullptr);
    ASSERT_EQ(std::fwrite(accounts.data(), 1, accounts.size(), out), accounts.size());
    std::fclose(out);
  }

  std::vector<Memo> ReadTable(const std::string& name) {
    std::vector<Memo> memos;
    std::unique_ptr<db::DatabaseHandle> handle;
    EXPECT_EQ(db::DatabaseHandle::Open(dir_ + "/" + name, db::OpenOptions{}, &handle), db::kOk);
    if (!handle) return memos;
    int32_t count = 0;
    EXPECT_EQ(handle->ReadRecordCount(&count), db::kOk);
    for (int32_t r = 0; r < count; ++r) {
      handle->set_current_record(r);
      Memo memo;
      std::string bytes;
      EXPECT_EQ(handle->ReadFieldBytes(0, &bytes), db::kOk);
      memo.category = bytes;
      TypedValue time;
      EXPECT_EQ(handle->ReadField(1, &time), db::kOk);
      memo.time = time.Double();
      EXPECT_EQ(handle->ReadFieldBytes(2, &memo.note), db::kOk);
      EXPECT_EQ(handle->ReadFieldBytes(3, &memo.log), db::kOk);
      memos.push_back(memo);
    }
    return memos;
  }

  // Signs in, then shows the query for the category at item `item` of 组合框2.
  void SignInAndQuery(AppSession& session, int item) {
    session.Then([&session] { session.Type(login::kWindow, login::kAccountBox, "test"); });
    session.Then([&session] { session.Type(login::kWindow, login::kPasswordBox, "kqzv"); });
    session.Then([&session] { session.Click(login::kWindow, login::kLoginButton); });
    session.Then([&session, item] {
      session.Select(mw::kWindow, mw::kQueryCombo, item);
      session.Click(mw::kWindow, mw::kQueryButton);
    });
  }

  // The grid row (from 1) of the memo with that time and text in the view shown now; 0 if none.
  static int RowOf(AppSession& session, double time, const std::string& note) {
    db::FieldDescriptor time_field;
    time_field.type = db::kFieldDateTime;
    TypedValue value;
    value.tag = TypeTag::kDateTime;
    value.SetDouble(time);
    const std::string time_text = db::CellTextOf(time_field, value);
    db::DataSource* source = session.MainDataSource();
    for (int r = 0; r < source->RowCount(); ++r) {
      if (source->CellText(r, 1) == time_text && source->CellText(r, 2) == note) return r + 1;
    }
    return 0;
  }

  static std::string ProviderFile() {
    TypedValue name = ui::ReadProperty(mw::kWindow, mw::kProvider, kProviderFileName, -1);
    std::string text = name.Pointer() ? static_cast<const char*>(name.Pointer()) : "";
    ReleaseValue(&name);
    return text;
  }

  // Deletes the memo (time, note) while the query for `item` is shown; returns the provider's
  // file afterwards.
  std::string DeleteInQueryView(int item, double time, const std::string& note) {
    AppSession session(dir_);
    std::string shown_after;
    SignInAndQuery(session, item);
    session.Then([&] {
      int row = RowOf(session, time, note);
      ASSERT_GT(row, 0) << "the memo is not in the query view";
      session.ClickMainCell(row, 1);
      session.Click(mw::kWindow, mw::kDeleteButton);
      shown_after = ProviderFile();
    });
    EXPECT_TRUE(session.Run()) << session.error();
    return shown_after;
  }

  std::string dir_;
};

// The twins are 乙 first and 甲 after it in the table; the query shows 甲 (item 2: "全部", "乙",
// "甲" in the order of their first memos).
std::vector<Memo> Twins() {
  return {{G("乙"), At(1), G("同一时间的记事"), ""},
          {G("乙"), At(5), G("另一件"), ""},
          {G("甲"), At(1), G("同一时间的记事"), ""},
          {G("甲"), At(9), G("最后一件"), ""}};
}

TEST_F(QueryViewTest, DeletingATwinRemovesTheOneOfTheQueriedCategory) {
  WriteTable(Twins());
  EXPECT_EQ(DeleteInQueryView(2, At(1), G("同一时间的记事")), G("b.mcn"));
  std::vector<Memo> left = ReadTable("a.mcn");
  ASSERT_EQ(left.size(), 3u);
  EXPECT_EQ(left[0].category, G("乙"));
  EXPECT_EQ(left[0].note, G("同一时间的记事"));
  EXPECT_EQ(left[1].note, G("另一件"));
  EXPECT_EQ(left[2].note, G("最后一件"));
  std::vector<Memo> copy = ReadTable("b.mcn");
  ASSERT_EQ(copy.size(), 1u);
  EXPECT_EQ(copy[0].note, G("最后一件"));
}

TEST_F(QueryViewTest, DeletingTheLastAndTheFirstMemoOfTheTable) {
  WriteTable(Twins());
  EXPECT_EQ(DeleteInQueryView(2, At(9), G("最后一件")), G("b.mcn"));
  ASSERT_EQ(ReadTable("a.mcn").size(), 3u);
  EXPECT_EQ(ReadTable("a.mcn").back().note, G("同一时间的记事"));
  EXPECT_EQ(DeleteInQueryView(1, At(1), G("同一时间的记事")), G("b.mcn"));
  std::vector<Memo> left = ReadTable("a.mcn");
  ASSERT_EQ(left.size(), 2u);
  EXPECT_EQ(left[0].note, G("另一件"));
  EXPECT_EQ(left[1].category, G("甲"));
  EXPECT_EQ(left[1].note, G("同一时间的记事"));
}

TEST_F(QueryViewTest, AMemoMissingFromTheTableLeavesItWholeAndTheGridOnIt) {
  // The copy holds a memo the table no longer has (another program removed it after the query).
  WriteTable(Twins());
  AppSession session(dir_);
  std::string shown_after;
  SignInAndQuery(session, 2);
  session.Then([&] {
    int row = RowOf(session, At(9), G("最后一件"));
    ASSERT_GT(row, 0);
    std::unique_ptr<db::DatabaseHandle> other;
    ASSERT_EQ(db::DatabaseHandle::Open(dir_ + "/a.mcn", db::OpenOptions{}, &other), db::kOk);
    ASSERT_EQ(other->PackRange(3, 1), db::kOk);
    session.ClickMainCell(row, 1);
    session.Click(mw::kWindow, mw::kDeleteButton);
    shown_after = ProviderFile();
  });
  ASSERT_TRUE(session.Run()) << session.error();
  EXPECT_EQ(shown_after, G("a.mcn"));
  EXPECT_EQ(ReadTable("a.mcn").size(), 3u);
  EXPECT_EQ(ReadTable("b.mcn").size(), 1u);
}

TEST_F(QueryViewTest, AFollowUpReachesBothCopiesOfTheQueriedTwinOnly) {
  WriteTable(Twins());
  AppSession session(dir_);
  platform::LocalTime now;
  now.year = 2014;
  now.month = 7;
  now.day = 11;
  now.hour = 10;
  now.minute = 30;
  session.backend().SetClock(now);
  std::string shown_after;
  SignInAndQuery(session, 2);
  session.Then([&] {
    int row = RowOf(session, At(1), G("同一时间的记事"));
    ASSERT_GT(row, 0);
    session.ClickMainCell(row, 2);
    session.backend().QueuePopupChoice(G("跟进"));
    session.Then([&] {
      session.Type(fu::kWindow, fu::kEntryBox, G("回电"));
      session.Click(fu::kWindow, fu::kAppendButton);
      EXPECT_EQ(session.FollowUpRows(), 2);
      session.Close(fu::kWindow);
    });
    session.Key(mw::kWindow, mw::kGrid, platform::vk::kRight);
    shown_after = ProviderFile();
  });
  ASSERT_TRUE(session.Run()) << session.error();
  EXPECT_EQ(shown_after, G("b.mcn"));
  const std::string entry = G("2014年7月11日10时30分||特殊跟进时间分割||回电");
  std::vector<Memo> table = ReadTable("a.mcn");
  ASSERT_EQ(table.size(), 4u);
  EXPECT_EQ(table[0].log, "") << "the twin of the other category";
  EXPECT_EQ(table[2].log, entry);
  EXPECT_EQ(table[3].log, "");
  int written = 0;
  for (const Memo& memo : ReadTable("b.mcn")) written += memo.log == entry;
  EXPECT_EQ(written, 1);
}

}  // namespace
}  // namespace memo::app
