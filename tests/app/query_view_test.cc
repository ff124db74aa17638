// DeleteMemo and AppendFollowUp while the main grid shows a category query: the memo is changed
// in the query copy and then in the memo table, where it is found by the serial the query
// remembers for the row (checked before it is used) or else searched for by its category, time
// and text. The tables hold twins — memos with the same time and text in two categories, or in
// one — placed before and after the memo, first and last, so a search that stops at the wrong
// row, skips a row or matches on time and text alone changes the wrong memo; and another program
// changes the files between the query and the action (adds, packs, changes in place, clears,
// replaces the table or the copy), after which the memo the row came from is changed or, when it
// cannot be told, the search decides — never another memo, and nothing else is lost.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "app/app_support.h"
#include "app/query_origins.h"
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
  std::string note;  // GBK
  std::string log;   // GBK
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

  // Writes `memos` as a new memo table and gives it the names "a.mcn" and "a.edt" over the ones
  // there (as another program restoring a copy would): its serials count from 1 again.
  void ReplaceTable(const std::vector<Memo>& memos) {
    const std::string keep = dir_;
    dir_ = dir_ + "/other";
    std::filesystem::create_directory(dir_);
    WriteTable(memos);
    dir_ = keep;
    std::filesystem::rename(dir_ + "/other/a.EDT", dir_ + "/a.EDT");  // as WriteTable names it
    std::filesystem::rename(dir_ + "/other/a.mcn", dir_ + "/a.mcn");
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

  // Runs `change` in another process, as another program changing the files between two
  // actions, and waits for it; `change` returns false when it could not make the change.
  static void InAnotherProgram(const std::function<bool()>& change) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) _exit(change() ? 0 : 1);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the other program failed";
  }

  // A handle on a file of the run directory, shared as the program shares it.
  std::unique_ptr<db::DatabaseHandle> Open(const std::string& name) {
    std::unique_ptr<db::DatabaseHandle> handle;
    if (db::DatabaseHandle::Open(dir_ + "/" + name, db::OpenOptions{}, &handle) != db::kOk) {
      handle.reset();
    }
    return handle;
  }

  // Shows the query for item `item`, lets `between` change the files, then deletes grid row
  // `row` of the query view (whose log must be `log`, naming the memo meant). Returns the
  // provider's file afterwards.
  std::string DeleteQueryRow(int item, int row, const std::string& log,
                             const std::function<void()>& between = {}) {
    AppSession session(dir_);
    std::string shown_after;
    SignInAndQuery(session, item);
    session.Then([&] {
      ASSERT_EQ(session.MainDataSource()->CellText(row - 1, 3), log) << "not the memo meant";
      if (between) between();
      session.ClickMainCell(row, 1);
      session.Click(mw::kWindow, mw::kDeleteButton);
      shown_after = ProviderFile();
    });
    EXPECT_TRUE(session.Run()) << session.error();
    return shown_after;
  }

  // The same for a follow-up entry "回电" appended to grid row `row` of the query view.
  std::string FollowUpQueryRow(int item, int row, const std::string& log,
                               const std::function<void()>& between = {}) {
    AppSession session(dir_);
    platform::LocalTime now;
    now.year = 2014;
    now.month = 7;
    now.day = 11;
    now.hour = 10;
    now.minute = 30;
    session.backend().SetClock(now);
    std::string shown_after;
    SignInAndQuery(session, item);
    session.Then([&] {
      ASSERT_EQ(session.MainDataSource()->CellText(row - 1, 3), log) << "not the memo meant";
      if (between) between();
      session.ClickMainCell(row, 2);
      session.backend().QueuePopupChoice(G("跟进"));
      session.Then([&] {
        session.Type(fu::kWindow, fu::kEntryBox, G("回电"));
        session.Click(fu::kWindow, fu::kAppendButton);
        session.Close(fu::kWindow);
      });
      session.Key(mw::kWindow, mw::kGrid, platform::vk::kRight);
      shown_after = ProviderFile();
    });
    EXPECT_TRUE(session.Run()) << session.error();
    return shown_after;
  }

  // The logs of the memo table's records, in file order.
  std::vector<std::string> TableLogs() {
    std::vector<std::string> logs;
    for (const Memo& memo : ReadTable("a.mcn")) logs.push_back(memo.log);
    return logs;
  }

  std::string dir_;
};

// The entry FollowUpQueryRow appends to an empty log, and to the log "L".
const char kEntry[] = "2014年7月11日10时30分||特殊跟进时间分割||回电";
std::string Appended(const std::string& log) {
  return log.empty() ? G(kEntry) : log + G("||特殊跟进条目分割||") + G(kEntry);
}

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

// --- The memo the row came from -----------------------------------------------------------------

// Memos of one category that look alike (same time and text) but are two memos: each carries its
// own log. The query for 甲 (item 1) shows twin-1, twin-2 and "最后" in that order.
std::vector<Memo> TwinsOfOneCategory() {
  return {{G("甲"), At(1), G("同一时间的记事"), "twin-1"},
          {G("乙"), At(5), G("另一件"), "other"},
          {G("甲"), At(1), G("同一时间的记事"), "twin-2"},
          {G("甲"), At(9), G("最后一件"), "last"}};
}

TEST_F(QueryViewTest, DeletingTheSecondOfTwoLookalikesRemovesThatOne) {
  // The search by texts took the first look-alike of the table, twin-1, and left twin-2, whose
  // row had been deleted from the view.
  WriteTable(TwinsOfOneCategory());
  EXPECT_EQ(DeleteQueryRow(1, 2, "twin-2"), G("b.mcn"));
  EXPECT_EQ(TableLogs(), (std::vector<std::string>{"twin-1", "other", "last"}));
  std::vector<Memo> copy = ReadTable("b.mcn");
  ASSERT_EQ(copy.size(), 2u);
  EXPECT_EQ(copy[0].log, "twin-1");
}

TEST_F(QueryViewTest, AFollowUpOnTheSecondOfTwoLookalikesReachesThatOne) {
  WriteTable(TwinsOfOneCategory());
  EXPECT_EQ(FollowUpQueryRow(1, 2, "twin-2"), G("b.mcn"));
  EXPECT_EQ(TableLogs(), (std::vector<std::string>{"twin-1", "other", Appended("twin-2"), "last"}));
  std::vector<Memo> copy = ReadTable("b.mcn");
  ASSERT_EQ(copy.size(), 3u);
  EXPECT_EQ(copy[1].log, Appended("twin-2"));
  EXPECT_EQ(copy[0].log, "twin-1");
}

// Another program changes the memo table between the query and the deletion.

TEST_F(QueryViewTest, AMemoAddedAfterTheQueryDoesNotMisleadTheDeletion) {
  WriteTable(TwinsOfOneCategory());
  EXPECT_EQ(DeleteQueryRow(1, 2, "twin-2",
                           [&] {
                             InAnotherProgram([&] {
                               auto table = Open("a.mcn");
                               const std::string category = G("甲"), note = G("同一时间的记事"),
                                                 log = "twin-3";
                               TypedValue values[4] = {Text(category), {}, Text(note), Text(log)};
                               values[1].tag = TypeTag::kDateTime;
                               values[1].SetDouble(At(1));
                               return table && table->AddRecord(values, 4) == db::kOk;
                             });
                           }),
            G("b.mcn"));
  EXPECT_EQ(TableLogs(), (std::vector<std::string>{"twin-1", "other", "last", "twin-3"}));
}

TEST_F(QueryViewTest, RecordsMovedUpByAPackStillLeadToTheRowsMemo) {
  WriteTable(TwinsOfOneCategory());
  EXPECT_EQ(DeleteQueryRow(1, 2, "twin-2",
                           [&] {
                             InAnotherProgram([&] {
                               auto table = Open("a.mcn");
                               return table && table->PackRange(1, 1) == db::kOk;  // "other" goes
                             });
                           }),
            G("b.mcn"));
  EXPECT_EQ(TableLogs(), (std::vector<std::string>{"twin-1", "last"}));
  // The same for a follow-up, the first memo of the table packed away.
  WriteTable(TwinsOfOneCategory());
  EXPECT_EQ(FollowUpQueryRow(1, 2, "twin-2",
                             [&] {
                               InAnotherProgram([&] {
                                 auto table = Open("a.mcn");
                                 return table &&
                                        table->PackRange(0, 2) == db::kOk;  // twin-1 and "other" go
                               });
                             }),
            G("b.mcn"));
  EXPECT_EQ(TableLogs(), (std::vector<std::string>{Appended("twin-2"), "last"}));
}

TEST_F(QueryViewTest, AMemoChangedInPlaceIsLeftAlone) {
  // Its text no longer is the row's: it is not the memo the person deleted any more, and no other
  // memo shows the row's texts. The table keeps every memo; the grid stays on the table.
  WriteTable(Twins());
  EXPECT_EQ(DeleteQueryRow(2, 2, "",
                           [&] {
                             InAnotherProgram([&] {
                               auto table = Open("a.mcn");
                               if (!table) return false;
                               table->set_current_record(3);  // 甲's "最后一件"
                               const std::string note = G("改过的");
                               return table->WriteField(2, Text(note)) == db::kOk;
                             });
                           }),
            G("a.mcn"));
  std::vector<Memo> left = ReadTable("a.mcn");
  ASSERT_EQ(left.size(), 4u);
  EXPECT_EQ(left[3].note, G("改过的"));
  // A change the row does not show (the log) keeps it the same memo.
  WriteTable(TwinsOfOneCategory());
  EXPECT_EQ(DeleteQueryRow(1, 2, "twin-2",
                           [&] {
                             InAnotherProgram([&] {
                               auto table = Open("a.mcn");
                               if (!table) return false;
                               table->set_current_record(2);
                               const std::string log = "twin-2 called";
                               return table->WriteField(3, Text(log)) == db::kOk;
                             });
                           }),
            G("b.mcn"));
  EXPECT_EQ(TableLogs(), (std::vector<std::string>{"twin-1", "other", "last"}));
}

TEST_F(QueryViewTest, AClearedTableLosesNothingMore) {
  WriteTable(TwinsOfOneCategory());
  EXPECT_EQ(DeleteQueryRow(1, 2, "twin-2",
                           [&] {
                             InAnotherProgram([&] {
                               auto table = Open("a.mcn");
                               return table && table->ClearAll() == db::kOk;
                             });
                           }),
            G("a.mcn"));
  EXPECT_TRUE(ReadTable("a.mcn").empty());
  EXPECT_EQ(ReadTable("b.mcn").size(), 2u);
}

TEST_F(QueryViewTest, AReplacedTableIsSearchedByTexts) {
  // The memo table restored from elsewhere: its serials name other memos now. The serial the
  // query remembered leads to a memo with other texts, so the table is searched: the memo with
  // the row's texts goes, and no other.
  WriteTable(TwinsOfOneCategory());
  EXPECT_EQ(
      DeleteQueryRow(1, 3, "last",
                     [&] {
                       InAnotherProgram([&] {
                         ReplaceTable({{G("甲"), At(9), G("最后一件"), "last, restored"},
                                       {G("乙"), At(5), G("另一件"), "other, restored"},
                                       {G("甲"), At(3), G("第三件"), "third"},
                                       {G("甲"), At(1), G("同一时间的记事"), "twin, restored"}});
                         return true;
                       });
                     }),
      G("b.mcn"));
  EXPECT_EQ(TableLogs(), (std::vector<std::string>{"other, restored", "third", "twin, restored"}));
  // A follow-up likewise.
  WriteTable(TwinsOfOneCategory());
  EXPECT_EQ(
      FollowUpQueryRow(1, 3, "last",
                       [&] {
                         InAnotherProgram([&] {
                           ReplaceTable({{G("甲"), At(9), G("最后一件"), "last, restored"},
                                         {G("乙"), At(5), G("另一件"), "other, restored"},
                                         {G("甲"), At(3), G("第三件"), "third"},
                                         {G("甲"), At(1), G("同一时间的记事"), "twin, restored"}});
                           return true;
                         });
                       }),
      G("b.mcn"));
  EXPECT_EQ(TableLogs(), (std::vector<std::string>{Appended("last, restored"), "other, restored",
                                                   "third", "twin, restored"}));
}

TEST_F(QueryViewTest, AReplacedQueryCopyIsNotReadByTheOldQuerysSerials) {
  // After a first deletion the grid shows the query copy afresh; another program has meanwhile
  // put a copy of 乙's memos there, with the count and next serial the program expects of its
  // own copy. Row 1 then shows 乙's memo, whose serial in that copy the old query gave to one of
  // 甲's: 乙's memo must be the one deleted.
  WriteTable({{G("甲"), At(1), G("一"), "jia-1"},
              {G("乙"), At(2), G("二"), "yi-1"},
              {G("甲"), At(3), G("三"), "jia-2"},
              {G("乙"), At(4), G("四"), "yi-2"},
              {G("甲"), At(5), G("五"), "jia-3"},
              {G("乙"), At(6), G("六"), "yi-3"},
              {G("乙"), At(7), G("七"), "yi-4"}});
  AppSession session(dir_);
  SignInAndQuery(session, 1);  // 甲: jia-1, jia-2, jia-3
  session.Then([&] {
    InAnotherProgram([&] {
      auto table = Open("a.mcn");
      if (!table) return false;
      db::SortRequest request;  // 乙: yi-1 .. yi-4 (serials 1 to 4), then yi-1 packed away
      request.target = dir_ + "/b.mcn";
      request.key_names = {G("分类")};
      request.condition = [&] {
        std::string category;
        return table->ReadFieldBytes(0, &category) == db::kOk && category == G("乙");
      };
      if (table->SortInto(request) != db::kOk) return false;
      auto copy = Open("b.mcn");
      return copy && copy->PackRange(0, 1) == db::kOk;  // count 3, next serial 5
    });
    // The grid still reads the copy it opened: jia-1 goes from both files.
    session.ClickMainCell(1, 1);
    session.Click(mw::kWindow, mw::kDeleteButton);
    ASSERT_EQ(ProviderFile(), G("b.mcn"));
    ASSERT_EQ(session.MainDataSource()->RowCount(), 3);
    ASSERT_EQ(session.MainDataSource()->CellText(1, 3), "yi-3");
    session.ClickMainCell(2, 1);
    session.Click(mw::kWindow, mw::kDeleteButton);
  });
  ASSERT_TRUE(session.Run()) << session.error();
  EXPECT_EQ(TableLogs(), (std::vector<std::string>{"yi-1", "jia-2", "yi-2", "jia-3", "yi-4"}));
}

// At 100 000 memos (20 categories, every memo's time and text its own): for rows all over the
// view of one category, the memo the query remembers for the row is the one the search by texts
// finds, and the query copy holds exactly the category's memos in table order.
TEST_F(QueryViewTest, AtAHundredThousandMemosTheRememberedMemoIsTheOneTheSearchFinds) {
  constexpr int kMemos = 100000;
  constexpr int kCategories = 20;
  auto category_of = [](int i) {
    char text[16];
    std::snprintf(text, sizeof text, "%s%02d", G("分类").c_str(), i % kCategories);
    return std::string(text);
  };
  WriteTable({});  // the accounts file, and the memo table made anew below
  {
    std::vector<db::FieldSpec> fields = {{G("分类"), db::kFieldText, 10},
                                         {G("时间"), db::kFieldDateTime, 0},
                                         {G("记事"), db::kFieldMemo, 0},
                                         {G("跟进"), db::kFieldMemo, 0}};
    ASSERT_EQ(db::CreateDatabase(dir_ + "/a.mcn", fields), db::kOk);
    std::unique_ptr<db::DatabaseHandle> handle;
    db::OpenOptions options;
    options.share = db::OpenShare::kDenyBoth;  // nobody else has it yet: no locks
    ASSERT_EQ(db::DatabaseHandle::Open(dir_ + "/a.mcn", options, &handle), db::kOk);
    for (int i = 0; i < kMemos; ++i) {
      const std::string category = category_of(i), note = "memo " + std::to_string(i);
      TypedValue values[3] = {Text(category), {}, Text(note)};
      values[1].tag = TypeTag::kDateTime;
      values[1].SetDouble(At(i));
      ASSERT_EQ(handle->AddRecord(values, 3), db::kOk);
    }
  }
  // Rows of the view (1-based) and the table rows the remembered serials lead to.
  std::vector<std::pair<int, int>> found;
  AppSession session(dir_);
  SignInAndQuery(session, 8);  // "分类07"
  session.Then([&] {
    ASSERT_EQ(ProviderFile(), G("b.mcn"));
    const int rows = session.MainDataSource()->RowCount();
    ASSERT_EQ(rows, kMemos / kCategories);
    std::vector<std::pair<int, int32_t>> origins;
    for (int row = 1; row <= rows; row += (row < 20 || row > rows - 20) ? 1 : 37) {
      origins.push_back({row, QueryRowOrigin(row)});
      ASSERT_NE(origins.back().second, 0) << "row " << row;
    }
    SetProviderFile(G("a.mcn").c_str());
    for (const auto& [row, origin] : origins) found.push_back({row, RowOfSerial(origin)});
  });
  ASSERT_TRUE(session.Run()) << session.error();

  // The search's answer: the first memo of the table with the row's category, time and text.
  std::vector<Memo> table = ReadTable("a.mcn");
  std::vector<Memo> copy = ReadTable("b.mcn");
  ASSERT_EQ(table.size(), static_cast<size_t>(kMemos));
  std::vector<Memo> expected_copy;
  for (const Memo& memo : table) {
    if (memo.category == category_of(7)) expected_copy.push_back(memo);
  }
  ASSERT_EQ(copy.size(), expected_copy.size());
  for (size_t i = 0; i < copy.size(); ++i) {
    ASSERT_EQ(copy[i].note, expected_copy[i].note) << "copy record " << i + 1;
    ASSERT_EQ(copy[i].time, expected_copy[i].time);
  }
  std::map<std::tuple<std::string, double, std::string>, int> first_row;
  for (size_t i = 0; i < table.size(); ++i) {
    first_row.emplace(std::make_tuple(table[i].category, table[i].time, table[i].note),
                      static_cast<int>(i) + 1);
  }
  ASSERT_GT(found.size(), 100u);
  for (const auto& [row, table_row] : found) {
    const Memo& shown = copy[static_cast<size_t>(row - 1)];
    auto it = first_row.find(std::make_tuple(shown.category, shown.time, shown.note));
    ASSERT_NE(it, first_row.end());
    EXPECT_EQ(table_row, it->second) << "row " << row;
  }
}

}  // namespace
}  // namespace memo::app
