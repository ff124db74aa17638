// The memo program on Qt, end to end, in a fresh run directory: the first start with the
// initialisation accepted, the sign-in, two memos recorded, a category query, the follow-up log
// opened from the grid's pop-up menu with two entries appended, the password changed, the
// introduction opened, every window closed and the program ending with code 0; then the files
// it left behind, read with the database engine. Every window is saved as a screenshot on the
// way (build folder, screenshots/).
//
// All input is real: QTest mouse and key clicks on the live windows' widgets, Chinese text
// committed as an input method commits it, menus opened by clicking, boxes answered by clicking.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QTest>
#include <QWidget>

#include <cmath>
#include <string>
#include <vector>

#include "app/entry.h"
#include "app/windows/program_routines.h"
#include "data/db_provider.h"
#include "db/database.h"
#include "platform/backend.h"
#include "platform/codec.h"
#include "platform/qt/qt_backend.h"
#include "runtime/program.h"
#include "tests/e2e/program_person.h"
#include "tests/e2e/step_driver.h"
#include "tests/support/gbk.h"
#include "tests/support/test_util.h"
#include "ui/advanced_grid/egrid.h"
#include "ui/data_units/data_units.h"
#include "ui/grid/grid.h"
#include "ui/window/window_runtime.h"

#ifndef MEMO_SCREENSHOT_DIR
#define MEMO_SCREENSHOT_DIR "screenshots"
#endif

namespace memo::e2e {
namespace {

using db::testing::FieldText;
using db::testing::MustOpen;
using db::testing::ScopedChdir;
using db::testing::TempDir;

constexpr uint32_t kLogin = ui::kLoginWindowId;
constexpr uint32_t kMain = ui::kMainWindowId;
constexpr uint32_t kFollowUp = ui::kFollowUpWindowId;
constexpr uint32_t kPassword = ui::kPasswordWindowId;
constexpr uint32_t kIntro = ui::kIntroWindowId;

// What the person types.
constexpr const char* kVisitCategory = "客户拜访";
constexpr const char* kVisitText = "明天上午给张经理回电话";
constexpr const char* kQuoteCategory = "报价单";
constexpr const char* kQuoteText = "给王先生发报价单 v2";
constexpr const char* kFirstEntry = "已电话确认，下周签约";
constexpr const char* kSecondEntry = "合同已寄出 EMS";
constexpr const char* kNewPassword = "memo-2024";

constexpr const char* kEntrySeparator = "||特殊跟进条目分割||";
constexpr const char* kTimeSeparator = "||特殊跟进时间分割||";

using ::memo::testing::G;

// The Qt backend with the executable placed in the test's run directory: the program makes
// that directory its current one and keeps its data files there.
class RunDirectoryBackend : public platform::qt::QtBackend {
 public:
  explicit RunDirectoryBackend(const std::string& dir) : executable_(dir + "/memo") {}
  std::string ExecutablePath() override { return executable_; }

 private:
  std::string executable_;
};

// Today's date-time in the stored encoding: days since 30 December 1899, local time.
double NowAsDayNumber() {
  QDateTime now = QDateTime::currentDateTime();
  return static_cast<double>(QDate(1899, 12, 30).daysTo(now.date())) +
         now.time().msecsSinceStartOfDay() / 86400000.0;
}

struct StoredMemo {
  std::string category;
  double time = 0;
  std::string text;
  std::string log;
};

std::vector<StoredMemo> ReadMemos(const std::string& path) {
  std::vector<StoredMemo> memos;
  auto handle = MustOpen(path);
  if (!handle) return memos;
  int32_t count = 0;
  EXPECT_EQ(handle->ReadRecordCount(&count), 0);
  handle->MoveFirst();
  for (int32_t i = 0; i < count; ++i) {
    StoredMemo memo;
    memo.category = FieldText(handle.get(), "分类");
    memo.text = FieldText(handle.get(), "记事");
    memo.log = FieldText(handle.get(), "跟进");
    std::string time = FieldText(handle.get(), "时间");
    if (time.size() == sizeof(double)) memo.time = db::testing::F64At(time, 0);
    memos.push_back(memo);
    if (i + 1 < count) {
      EXPECT_EQ(handle->Skip(1), 0);
    }
  }
  return memos;
}

// The entries of a follow-up log as (time text, entry text).
std::vector<std::pair<std::string, std::string>> SplitLog(const std::string& log) {
  std::vector<std::pair<std::string, std::string>> entries;
  const std::string entry_separator = G(kEntrySeparator);
  const std::string time_separator = G(kTimeSeparator);
  size_t start = 0;
  while (!log.empty()) {
    size_t end = log.find(entry_separator, start);
    std::string entry = log.substr(start, end == std::string::npos ? end : end - start);
    size_t cut = entry.find(time_separator);
    if (cut == std::string::npos) {
      entries.emplace_back(entry, std::string());
    } else {
      entries.emplace_back(entry.substr(0, cut), entry.substr(cut + time_separator.size()));
    }
    if (end == std::string::npos) break;
    start = end + entry_separator.size();
  }
  return entries;
}

class MemoProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetProgramForTesting();
    ui::ResetWindowRuntimeForTesting();
    backend_ = std::make_unique<RunDirectoryBackend>(dir_.path());
    platform::InstallBackend(backend_.get());
  }
  void TearDown() override {
    ui::ResetWindowRuntimeForTesting();
    QApplication::processEvents();
    platform::InstallBackend(nullptr);
    ResetProgramForTesting();
    backend_.reset();
  }

  // Saves a window's screenshot and expects it written, with every shown control whole inside
  // the window's client area.
  void Shot(uint32_t window_id, const char* name) {
    QWidget* window = WindowWidgetOf(window_id);
    ASSERT_NE(window, nullptr) << name;
    QWidget* client = window->findChild<QWidget*>(QStringLiteral("client"));
    ASSERT_NE(client, nullptr) << name;
    for (QWidget* control : client->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
      if (control->isHidden()) continue;
      EXPECT_TRUE(client->rect().contains(control->geometry()))
          << name << ": " << control->metaObject()->className() << " at " << control->geometry().x()
          << "," << control->geometry().y() << " " << control->width() << "x" << control->height();
    }
    EXPECT_TRUE(SaveScreenshot(window, MEMO_SCREENSHOT_DIR, name)) << name;
  }

  TempDir dir_;
  std::unique_ptr<RunDirectoryBackend> backend_;
  StepDriver person_;
};

TEST_F(MemoProgramTest, FirstStartToEndThroughTheWindows) {
  // --- First start: the question, the login window filled in -----------------------------------
  person_.Then(
      "the initialisation question", [] { return BoxSaying("ID信息不存在是否初始化？"); },
      [] {
        QMessageBox* box = BoxSaying("ID信息不存在是否初始化？");
        EXPECT_EQ(box->windowTitle(), QString::fromUtf8("温馨提示"));
        EXPECT_EQ(box->buttons().size(), 2);
        EXPECT_TRUE(PressBoxButton(box, "确定"));
      });
  person_.Then(
      "the login window", [] { return WindowReady(kLogin); },
      [this] {
        EXPECT_EQ(ShownText(WidgetNamed(kLogin, "编辑框1")), "test");
        EXPECT_EQ(ShownText(WidgetNamed(kLogin, "编辑框2")), "kqzv");
        EXPECT_EQ(ShownText(WidgetNamed(kLogin, "透明标签1")),
                  "当前管理账号为初始状态！建议立即修改登陆信息");
        Shot(kLogin, "login");
        Click(WidgetNamed(kLogin, "按钮登陆"));
      });

  // --- Two memos: one by the button, one by Enter in the memo box
  // ---------------------------------
  person_.Then(
      "the main window", [] { return WindowReady(kMain) && WindowGone(kLogin); },
      [] {
        EXPECT_EQ(WindowWidgetOf(kMain)->windowTitle(), QString::fromUtf8("墨川软件之备忘录2.11"));
        EXPECT_EQ(GridNamed(kMain, "表格1")->DataRowCount(), 0);
        QWidget* category = WidgetNamed(kMain, "组合框1");
        Click(category);
        Type(category, kVisitCategory);
        QWidget* memo = WidgetNamed(kMain, "编辑框1");
        Click(memo);
        Type(memo, kVisitText);
        Click(WidgetNamed(kMain, "按钮记事添加"));
      });
  person_.Then(
      "the first memo in the grid",
      [] { return WindowReady(kMain) && GridNamed(kMain, "表格1")->DataRowCount() == 1; },
      [] {
        QWidget* memo = WidgetNamed(kMain, "编辑框1");
        EXPECT_EQ(ShownText(memo), "");  // emptied for the next memo
        QWidget* category = WidgetNamed(kMain, "组合框1");
        Click(category);
        QTest::keyClick(static_cast<QComboBox*>(category)->lineEdit(), Qt::Key_A,
                        Qt::ControlModifier);
        Type(category, kQuoteCategory);
        Click(memo);
        Type(memo, kQuoteText);
        PressEnter(memo);
      });
  person_.Then(
      "the second memo in the grid",
      [] { return WindowReady(kMain) && GridNamed(kMain, "表格1")->DataRowCount() == 2; },
      [this] {
        ui::Grid* grid = GridNamed(kMain, "表格1");
        EXPECT_EQ(grid->CellText(0, 1), G("分类"));
        EXPECT_EQ(grid->CellText(1, 1), G(kVisitCategory));
        EXPECT_EQ(grid->CellText(1, 3), G(kVisitText));
        EXPECT_EQ(grid->CellText(2, 1), G(kQuoteCategory));
        EXPECT_EQ(grid->CellText(2, 3), G(kQuoteText));
        auto* categories = qobject_cast<QComboBox*>(WidgetNamed(kMain, "组合框1"));
        ASSERT_EQ(categories->count(), 2);
        EXPECT_EQ(categories->itemText(0), QString::fromUtf8(kVisitCategory));
        EXPECT_EQ(categories->itemText(1), QString::fromUtf8(kQuoteCategory));
        auto* query = qobject_cast<QComboBox*>(WidgetNamed(kMain, "组合框2"));
        ASSERT_EQ(query->count(), 3);
        EXPECT_EQ(query->currentText(), QString::fromUtf8("全部"));
        Shot(kMain, "main");
        Click(query);  // drops the list
      });

  // --- The query for one category
  // -------------------------------------------------------------------
  person_.Then(
      "the dropped query list",
      [] {
        auto* query = qobject_cast<QComboBox*>(WidgetNamed(kMain, "组合框2"));
        return query && query->view()->isVisible();
      },
      [] {
        // With the list's own keys: a click on an item this soon after the list
        // opened is taken by the combo box for the end of the opening click.
        QAbstractItemView* list = qobject_cast<QComboBox*>(WidgetNamed(kMain, "组合框2"))->view();
        for (int i = 0; i < 3 && list->currentIndex().row() < 2; ++i) {
          QTest::keyClick(list, Qt::Key_Down);
        }
        EXPECT_EQ(list->currentIndex().data().toString(), QString::fromUtf8(kQuoteCategory));
        QTest::keyClick(list, Qt::Key_Return);
      });
  person_.Then(
      "the category picked",
      [] {
        auto* query = qobject_cast<QComboBox*>(WidgetNamed(kMain, "组合框2"));
        return WindowReady(kMain) && query->currentText() == QString::fromUtf8(kQuoteCategory);
      },
      [] { Click(WidgetNamed(kMain, "按钮记事查询")); });
  person_.Then(
      "the query result",
      [] {
        db::DBProvider* provider = ui::ProviderOfUnit(UnitNamed(kMain, "数据库提供者1"));
        return WindowReady(kMain) && provider->file_name() == "b.mcn";
      },
      [this] {
        ui::Grid* grid = GridNamed(kMain, "表格1");
        ASSERT_EQ(grid->DataRowCount(), 1);
        EXPECT_EQ(grid->CellText(1, 1), G(kQuoteCategory));
        EXPECT_EQ(ShownText(WidgetNamed(kMain, "组合框2")), "全部");
        Shot(kMain, "main_query");
        // The cursor moving into the memo text column pops up the grid's menu.
        platform::Rect cell = grid->CellClientRect(1, 3);
        ClickAt(GridViewportNamed(kMain, "表格1"),
                QPoint(cell.left + cell.width / 2, cell.top + cell.height / 2));
      });

  // --- The follow-up log, from the grid's pop-up menu
  // -------------------------------------------------
  person_.Then(
      "the grid's pop-up menu", [] { return MenuOffering("跟进"); },
      [] { EXPECT_TRUE(ClickMenuItem(MenuOffering("跟进"), "跟进")); });
  person_.Then(
      "the follow-up window", [] { return WindowReady(kFollowUp); },
      [] {
        ui::Grid* main_grid = GridNamed(kMain, "表格1");
        std::string title =
            "跟进：" + GbkToUtf8(main_grid->CellText(1, 2)) + "的" + kQuoteCategory + "的跟进信息";
        EXPECT_EQ(WindowWidgetOf(kFollowUp)->windowTitle().toStdString(), title);
        EXPECT_EQ(EGridNamed(kFollowUp, "高级表格1")->model().rows(), 1);
        QWidget* entry = WidgetNamed(kFollowUp, "编辑框1");
        EXPECT_TRUE(entry->hasFocus());
        Type(entry, kFirstEntry);
        Click(WidgetNamed(kFollowUp, "按钮添加跟进"));
      });
  person_.Then(
      "the first entry", [] { return EGridNamed(kFollowUp, "高级表格1")->model().rows() == 2; },
      [] {
        QWidget* entry = WidgetNamed(kFollowUp, "编辑框1");
        EXPECT_EQ(ShownText(entry), "");
        Type(entry, kSecondEntry);
        PressEnter(entry);
      });
  person_.Then(
      "the second entry", [] { return EGridNamed(kFollowUp, "高级表格1")->model().rows() == 3; },
      [] {
        ui::EGrid* log = EGridNamed(kFollowUp, "高级表格1");
        EXPECT_EQ(log->model().CellText(1, 1), G(kSecondEntry));  // newest on top
        EXPECT_EQ(log->model().CellText(2, 1), G(kFirstEntry));
        EXPECT_FALSE(log->model().CellText(2, 0).empty());
        std::optional<platform::Rect> cell = log->CellClientRect(2, 0);
        ASSERT_TRUE(cell.has_value());
        ClickAt(GridViewportNamed(kFollowUp, "高级表格1"),
                QPoint(cell->left + cell->width / 2, cell->top + cell->height / 2));
      });
  person_.Then(
      "the selected entry shown in full",
      [] { return ShownText(WidgetNamed(kFollowUp, "编辑框2")) == kFirstEntry; },
      [this] {
        Shot(kFollowUp, "followup");
        WindowWidgetOf(kFollowUp)->close();  // the close box
      });

  // --- The password change, from the menu bar
  // ---------------------------------------------------------
  person_.Then(
      "the main window again", [] { return WindowGone(kFollowUp) && WindowReady(kMain); },
      [] {
        db::DBProvider* provider = ui::ProviderOfUnit(UnitNamed(kMain, "数据库提供者1"));
        EXPECT_EQ(provider->file_name(), "b.mcn");
        EXPECT_TRUE(ClickMenuBarEntry(WindowWidgetOf(kMain), "帐号管理"));
      });
  person_.Then(
      "the account menu", [] { return MenuOffering("修改密码"); },
      [] { EXPECT_TRUE(ClickMenuItem(MenuOffering("修改密码"), "修改密码")); });
  person_.Then(
      "the password window", [] { return WindowReady(kPassword); },
      [this] {
        EXPECT_FALSE(WindowWidgetOf(kMain)->isEnabled());  // a dialog
        EXPECT_EQ(ShownText(WidgetNamed(kPassword, "透明标签6")), "test");
        EXPECT_EQ(ShownText(WidgetNamed(kPassword, "编辑框2")), "test");
        for (auto [box, text] : {std::pair{"编辑框1", "kqzv"}, std::pair{"编辑框3", kNewPassword},
                                 std::pair{"编辑框4", kNewPassword}}) {
          QWidget* widget = WidgetNamed(kPassword, box);
          Click(widget);
          Type(widget, text);
        }
        Shot(kPassword, "password");
        Click(WidgetNamed(kPassword, "按钮密码修改确认"));
      });
  person_.Then(
      "the change confirmed", [] { return BoxSaying("修改完成"); },
      [] { EXPECT_TRUE(PressBoxButton(BoxSaying("修改完成"), "确定")); });
  person_.Then(
      "the password window after the change", [] { return WindowReady(kPassword); },
      [] {
        EXPECT_EQ(ShownText(WidgetNamed(kPassword, "透明标签6")), "test");
        WindowWidgetOf(kPassword)->close();
      });

  // --- The introduction, then the end
  // ------------------------------------------------------------------
  person_.Then(
      "the main window before the introduction",
      [] { return WindowGone(kPassword) && WindowReady(kMain); },
      [] { EXPECT_TRUE(ClickMenuBarEntry(WindowWidgetOf(kMain), "关于软件")); });
  person_.Then(
      "the about menu", [] { return MenuOffering("软件介绍"); },
      [] { EXPECT_TRUE(ClickMenuItem(MenuOffering("软件介绍"), "软件介绍")); });
  person_.Then(
      "the introduction", [] { return WindowReady(kIntro); },
      [this] {
        EXPECT_EQ(WindowWidgetOf(kIntro)->windowTitle(), QString::fromUtf8("软件介绍"));
        EXPECT_EQ(ShownText(WidgetNamed(kIntro, "标签1")).rfind("软件名称:备忘录", 0), 0u);
        Shot(kIntro, "introduction");
        Click(WidgetNamed(kIntro, "按钮1"));
      });
  person_.Then(
      "the main window, last", [] { return WindowGone(kIntro) && WindowReady(kMain); },
      [] { WindowWidgetOf(kMain)->close(); });

  int code = -1;
  {
    ScopedChdir keep_directory(dir_.path());  // the program changes it; the test gets it back
    person_.Start();
    code = app::RunMemo();
  }
  EXPECT_EQ(code, 0);
  EXPECT_TRUE(person_.finished()) << "ended before: " << person_.waiting_for();
  EXPECT_TRUE(ui::LiveWindows().empty());

  // --- The files left behind
  // -----------------------------------------------------------------------
  const double now = NowAsDayNumber();
  std::vector<StoredMemo> memos = ReadMemos(dir_.File("a.mcn"));
  ASSERT_EQ(memos.size(), 2u);
  EXPECT_EQ(memos[0].category, G(kVisitCategory));
  EXPECT_EQ(memos[0].text, G(kVisitText));
  EXPECT_EQ(memos[0].log, "");
  EXPECT_EQ(memos[1].category, G(kQuoteCategory));
  EXPECT_EQ(memos[1].text, G(kQuoteText));
  for (const StoredMemo& memo : memos) {
    EXPECT_LT(std::fabs(memo.time - now), 1.0 / 24) << "stamped at " << memo.time;
  }
  auto entries = SplitLog(memos[1].log);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].second, G(kFirstEntry));
  EXPECT_EQ(entries[1].second, G(kSecondEntry));
  const std::string year = std::to_string(QDate::currentDate().year()) + G("年");
  EXPECT_EQ(entries[0].first.rfind(year, 0), 0u) << GbkToUtf8(entries[0].first);

  // The query copy holds the one memo, with the same log written through it.
  std::vector<StoredMemo> copy = ReadMemos(dir_.File("b.mcn"));
  ASSERT_EQ(copy.size(), 1u);
  EXPECT_EQ(copy[0].category, G(kQuoteCategory));
  auto copy_entries = SplitLog(copy[0].log);
  ASSERT_EQ(copy_entries.size(), 2u);
  EXPECT_EQ(copy_entries[1].second, G(kSecondEntry));

  auto accounts = MustOpen(dir_.File("c.mcn"));
  ASSERT_NE(accounts, nullptr);
  accounts->MoveFirst();
  EXPECT_EQ(FieldText(accounts.get(), "帐号"), "test");
  EXPECT_EQ(FieldText(accounts.get(), "密码"), kNewPassword);
}

}  // namespace
}  // namespace memo::e2e
