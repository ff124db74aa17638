// The main window's category lists over large tables: after signing in and after recording a
// memo, 组合框1 holds every distinct non-empty category in the order of its first memo and 组合框2
// holds "全部" followed by the same — exactly the lists that the plain protocol (every memo's
// category compared with every item in turn) gives, computed here from the file on its own. The
// tables have many more categories than a pass reads in the benchmark's table, GBK texts,
// categories cut to 10 bytes (some inside a character, some cut into one another), empty
// categories, categories of spaces, and new categories up to the very last memo.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/window_units.h"
#include "bench/app_session.h"
#include "db/create.h"
#include "db/database.h"
#include "db/engine_code.h"
#include "db/images.h"
#include "runtime/heap.h"
#include "tests/support/gbk.h"
#include "ui/controls/combo_box.h"
#include "ui/window/window_runtime.h"

namespace memo::app {
namespace {

namespace mw = main_window;
using bench::AppSession;

using ::memo::testing::G;

TypedValue Text(const std::string& text) {
  TypedValue value;
  value.tag = TypeTag::kText;
  value.SetPointer(text.c_str());
  return value;
}

// The category written with memo `i` of a table of `n` (before the engine cuts it to 10 bytes).
std::string CategoryOf(int i, int n) {
  if (i == n - 1) return G("最后一条的分类");  // a new category at the very last memo
  if (i % 11 == 0) return "";
  if (i % 13 == 0) return "   ";
  // New categories keep appearing all through the table: category k first at memo k * 700.
  const int distinct = i / 700 + 1;
  const int k = (i * 7919) % distinct;
  switch (k % 4) {
    case 0: return G("类别") + std::to_string(k);
    case 1: return "cat" + std::to_string(k);
    // 14 bytes: cut to 10, inside no character; the ones that share their first 10 bytes come out
    // as one category.
    case 2: return G("客户拜访记录") + std::to_string(k % 3);
    // One digit and characters: the cut falls after the lead byte of the fifth character.
    default: return std::to_string(k % 10) + G("资金借出借入") + std::to_string(k);
  }
}

class CategoryListsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/memo-lists-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }

  // The memo table of `n` memos (no memo texts: only the categories matter) and the carried
  // accounts file.
  void WriteTable(int n) {
    std::vector<db::FieldSpec> fields = {{G("分类"), db::kFieldText, 10},
                                         {G("时间"), db::kFieldDateTime, 0},
                                         {G("记事"), db::kFieldMemo, 0},
                                         {G("跟进"), db::kFieldMemo, 0}};
    ASSERT_EQ(db::CreateDatabase(dir_ + "/a.mcn", fields), db::kOk);
    std::unique_ptr<db::DatabaseHandle> handle;
    db::OpenOptions exclusive;
    exclusive.share = db::OpenShare::kDenyBoth;  // alone with the file: no locks while it fills
    ASSERT_EQ(db::DatabaseHandle::Open(dir_ + "/a.mcn", exclusive, &handle), db::kOk);
    for (int i = 0; i < n; ++i) {
      std::string category = CategoryOf(i, n);
      TypedValue values[2] = {Text(category), {}};
      values[1].tag = TypeTag::kDateTime;
      values[1].SetDouble(41830.375 + i / 1440.0);
      ASSERT_EQ(handle->AddRecord(values, 2), db::kOk);
    }
    std::string_view accounts = db::AccountsImageBytes();
    std::FILE* out = std::fopen((dir_ + "/c.mcn").c_str(), "wb");
    ASSERT_NE(out, nullptr);
    ASSERT_EQ(std::fwrite(accounts.data(), 1, accounts.size(), out), accounts.size());
    std::fclose(out);
  }

  // The plain protocol over the file: each record's "分类" as the engine reads it, compared with
  // every item of the list so far and with the empty text; appended after c + 1 misses.
  std::vector<std::string> ReferenceList() {
    std::vector<std::string> list;
    std::unique_ptr<db::DatabaseHandle> handle;
    EXPECT_EQ(db::DatabaseHandle::Open(dir_ + "/a.mcn", db::OpenOptions{}, &handle), db::kOk);
    if (!handle) return list;
    int32_t count = 0;
    EXPECT_EQ(handle->ReadRecordCount(&count), db::kOk);
    for (int32_t r = 0; r < count; ++r) {
      handle->set_current_record(r);
      TypedValue value;
      EXPECT_EQ(handle->ReadField(0, &value), db::kOk);
      EXPECT_EQ(value.tag, TypeTag::kText);
      std::string category = value.Pointer() ? static_cast<const char*>(value.Pointer()) : "";
      ReleaseValue(&value);
      const size_t c = list.size();
      size_t misses = 0;
      for (size_t i = 1; i <= c + 1; ++i) {
        const std::string item = i - 1 < c ? list[i - 1] : std::string();
        if (item == category) break;
        if (++misses == c + 1) list.push_back(category);
      }
    }
    return list;
  }

  static std::vector<std::string> ListOf(uint32_t combo) {
    std::vector<std::string> items;
    ui::ComboBoxUnit* unit = ui::ComboBoxOf(ui::FindUnitObject(mw::kWindow, combo));
    EXPECT_NE(unit, nullptr);
    if (unit == nullptr) return items;
    for (const ui::ComboModel::Item& item : unit->model().items()) items.push_back(item.text);
    return items;
  }

  // Both lists as the main window shows them now, against the reference list.
  static void ExpectLists(const std::vector<std::string>& reference, const char* when) {
    std::vector<std::string> query = reference;
    query.insert(query.begin(), G("全部"));
    EXPECT_EQ(ListOf(mw::kCategoryCombo), reference) << when;
    EXPECT_EQ(ListOf(mw::kQueryCombo), query) << when;
  }

  static void SignIn(AppSession& session) {
    session.Then([&session] { session.Type(login::kWindow, login::kAccountBox, "test"); });
    session.Then([&session] { session.Type(login::kWindow, login::kPasswordBox, "kqzv"); });
    session.Then([&session] { session.Click(login::kWindow, login::kLoginButton); });
  }

  std::string dir_;
};

TEST_F(CategoryListsTest, SignInOverAHundredThousandMemosListsWhatThePlainProtocolLists) {
  WriteTable(100000);
  const std::vector<std::string> reference = ReferenceList();
  ASSERT_GT(reference.size(), 60u) << "far more categories than one pass of 21 items";
  EXPECT_EQ(reference.back(), G("最后一条的")) << "cut to 10 bytes";
  AppSession session(dir_);
  SignIn(session);
  session.Then([&] { ExpectLists(reference, "after signing in"); });
  EXPECT_TRUE(session.Run()) << session.error();
}

TEST_F(CategoryListsTest, RecordingAMemoListsItsCategoryOnceInItsPlace) {
  WriteTable(3000);
  const std::vector<std::string> before = ReferenceList();
  AppSession session(dir_);
  SignIn(session);
  // A category typed longer than the field: the lists show the form the engine stored, at the
  // end; then a category already listed, typed again: nothing changes.
  session.Then([&] {
    session.Type(mw::kWindow, mw::kCategoryCombo, G("新的很长的分类名"));
    session.Type(mw::kWindow, mw::kMemoBox, G("第一条"));
    session.Click(mw::kWindow, mw::kAddButton);
  });
  session.Then([&] {
    std::vector<std::string> expected = before;
    expected.push_back(G("新的很长的"));
    EXPECT_EQ(ReferenceList(), expected);
    ExpectLists(expected, "after the new category");
    std::string listed;
    for (const std::string& item : before) {
      if (item.rfind("cat", 0) == 0) listed = item;
    }
    ASSERT_FALSE(listed.empty());
    session.Type(mw::kWindow, mw::kCategoryCombo, listed);
    session.Type(mw::kWindow, mw::kMemoBox, G("第二条"));
    session.Click(mw::kWindow, mw::kAddButton);
  });
  session.Then([&] {
    std::vector<std::string> expected = before;
    expected.push_back(G("新的很长的"));
    EXPECT_EQ(ReferenceList(), expected);
    ExpectLists(expected, "after a listed category");
  });
  EXPECT_TRUE(session.Run()) << session.error();
}

}  // namespace
}  // namespace memo::app
