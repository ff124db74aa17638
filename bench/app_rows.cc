// The application's rows: its routines end to end, through the real program (app::RunMemo) on the
// headless backend, driven by a person's input as memo-script drives it (bench/app_session.h),
// over memo tables of 100, 10 000 and 100 000 memos (bench/memo_tables.h).
//
// Each row times one action from the person's input (a click or a key) until the program has
// done everything it does for it and the grid it changed has been painted once (the headless
// backend paints nothing on its own, so one paint stands in for what a screen would show next).
// Whatever sets the action up (typing the inputs, picking a row or a category) and whatever puts
// the table back afterwards (through a second engine handle, as another program sharing the files
// would) is outside the timed span. Every row reports, per action, the file layer's system calls
// by kind (platform/file_calls.h) and the thread's CPU time.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "app/window_units.h"
#include "app/windows/program_routines.h"
#include "bench/app_session.h"
#include "bench/memo_tables.h"
#include "bench/workload.h"
#include "data/cell_text.h"
#include "data/data_source.h"
#include "db/database.h"
#include "db/engine_code.h"
#include "platform/codec.h"
#include "platform/input.h"
#include "runtime/value.h"
#include "ui/grid/grid.h"

namespace memo::bench {
namespace {

namespace mw = app::main_window;
namespace fu = app::followup;
namespace lg = app::login;

// Data-source columns (0-based) and the grid's (1-based).
constexpr int kTimeColumn = 1;
constexpr int kNoteColumn = 2;
constexpr int kFollowUpField = 3;

const std::string& Gbk8(const char* utf8) {
  static std::map<std::string, std::string> made;
  auto it = made.find(utf8);
  if (it == made.end()) it = made.emplace(utf8, Utf8ToGbk(utf8)).first;
  return it->second;
}

// Copies the memo table with `memos` memos into a run directory of its own for one row, with the
// carried accounts file ("test" / "kqzv"), made once and reused: every row puts the table back
// after each action. `prepare` (may be empty) changes the copy once, when it is made.
std::string RunDirectory(const std::string& row, int memos,
                         const std::function<bool(const std::string&)>& prepare = {}) {
  static std::map<std::string, std::string> made;
  const std::string key = row + "/" + std::to_string(memos);
  auto it = made.find(key);
  if (it != made.end()) return it->second;
  std::string dir;
  const std::string& table = MemoTable(memos);
  if (!table.empty()) {
    namespace fs = std::filesystem;
    std::string candidate = WorkPath("app_" + row + "_" + std::to_string(memos));
    std::error_code error;
    fs::remove_all(candidate, error);
    fs::create_directories(candidate, error);
    std::string memo_file = fs::path(table).replace_extension(".EDT").string();
    bool ok = !error && fs::copy_file(table, candidate + "/a.mcn", error) &&
              fs::copy_file(memo_file, candidate + "/a.edt", error) &&
              WriteAccountsFile(candidate + "/c.mcn");
    if (ok && prepare) ok = prepare(candidate);
    if (ok) dir = candidate;
    // The copies go to the disk now rather than while a row runs: the kernel's write-back would
    // take its time from the two cores the row is measured on.
    sync();
  }
  made.emplace(key, dir);
  return dir;
}

TypedValue Text(const std::string& text) {
  TypedValue value;
  value.tag = TypeTag::kText;
  value.SetPointer(text.c_str());
  return value;
}

std::unique_ptr<db::DatabaseHandle> OpenShared(const std::string& path) {
  std::unique_ptr<db::DatabaseHandle> handle;
  db::OpenOptions options;  // share mode 1, as the program's own handles
  if (db::DatabaseHandle::Open(path, options, &handle) != db::kOk) {
    throw SessionFailed{"cannot open " + path};
  }
  return handle;
}

// Puts memo `memo` of the generated table at the end of the file (as another program sharing
// it would add one).
void AppendMemo(const std::string& path, int memo) {
  std::unique_ptr<db::DatabaseHandle> handle = OpenShared(path);
  std::string category = MemoCategory(memo), note = MemoNote(memo), log = FollowUpLog(memo, 3);
  TypedValue values[4] = {Text(category), {}, Text(note), Text(log)};
  values[1].tag = TypeTag::kDateTime;
  values[1].SetDouble(MemoTime(memo));
  if (handle->AddRecord(values, 4) != db::kOk) throw SessionFailed{"cannot add to " + path};
}

// Writes the follow-up log of record `record` (0-based).
void WriteLog(const std::string& path, int record, const std::string& log) {
  std::unique_ptr<db::DatabaseHandle> handle = OpenShared(path);
  handle->set_current_record(record);
  if (handle->WriteField(kFollowUpField, Text(log)) != db::kOk)
    throw SessionFailed{"cannot write a log in " + path};
}

// The sum of the measured actions, reported per action when the row ends.
struct Tally {
  int actions = 0;
  ActionCost sum;

  void Add(benchmark::State& state, const ActionCost& cost) {
    state.SetIterationTime(cost.wall);
    ++actions;
    sum.wall += cost.wall;
    sum.cpu += cost.cpu;
    const platform::FileCallCounts& c = cost.calls;
    platform::FileCallCounts& s = sum.calls;
    s.reads += c.reads;
    s.writes += c.writes;
    s.locks += c.locks;
    s.unlocks += c.unlocks;
    s.lock_tests += c.lock_tests;
    s.opens += c.opens;
    s.closes += c.closes;
    s.others += c.others;
  }

  void Report(benchmark::State& state) const {
    if (actions == 0) return;
    const double n = actions;
    const platform::FileCallCounts& s = sum.calls;
    state.counters["calls"] = static_cast<double>(s.Total()) / n;
    state.counters["reads"] = static_cast<double>(s.reads) / n;
    state.counters["writes"] = static_cast<double>(s.writes) / n;
    state.counters["locks"] = static_cast<double>(s.locks + s.unlocks) / n;
    state.counters["other"] = static_cast<double>(s.lock_tests + s.opens + s.closes + s.others) / n;
    state.counters["cpu_ms"] = sum.cpu * 1000 / n;
  }
};

// Runs a session for a row, reporting its failure or its tally.
void Finish(benchmark::State& state, AppSession& session, const Tally& tally) {
  platform::ResetFileCallCounts();
  platform::EnableFileCallCounting(true);
  bool ok = session.Run();
  platform::EnableFileCallCounting(false);
  if (!ok) {
    state.SkipWithError(session.error().c_str());
    return;
  }
  tally.Report(state);
}

void SignIn(AppSession& session) {
  session.Then([&session] { session.Type(lg::kWindow, lg::kAccountBox, "test"); });
  session.Then([&session] { session.Type(lg::kWindow, lg::kPasswordBox, "kqzv"); });
  session.Then([&session] {
    session.Click(lg::kWindow, lg::kLoginButton);
    if (!session.IsOpen(mw::kWindow)) throw SessionFailed{"signing in failed"};
  });
}

// The (time, text) cells the grid shows for memo `memo` of the generated table.
std::pair<std::string, std::string> MemoKey(int memo) {
  db::FieldDescriptor time_field;
  time_field.type = db::kFieldDateTime;
  TypedValue time;
  time.tag = TypeTag::kDateTime;
  time.SetDouble(MemoTime(memo));
  return {db::CellTextOf(time_field, time), MemoNote(memo)};
}

// The grid row (1-based) that shows the memo with that key, searched through the data source.
int FindRow(AppSession& session, const std::pair<std::string, std::string>& key) {
  db::DataSource* source = session.MainDataSource();
  const int rows = source->RowCount();
  for (int r = 0; r < rows; ++r) {
    if (source->CellText(r, kTimeColumn) == key.first &&
        source->CellText(r, kNoteColumn) == key.second) {
      return r + 1;
    }
  }
  throw SessionFailed{"the memo is not in the grid"};
}

int Memos(const benchmark::State& state) { return static_cast<int>(state.range(0)); }

// Repeats a main-window action as steps of the session until the row has run enough: `prepare`
// sets it up, `act` is the timed span (with the paint of the grid after it), `after` checks it and
// puts the table back. Then runs the session (Finish).
void RepeatMainAction(benchmark::State& state, AppSession& session, Tally& tally,
                      const std::function<void()>& prepare, const std::function<void()>& act,
                      const std::function<void()>& after) {
  ActionTimer timer;
  std::function<void()> loop = [&] {
    if (!state.KeepRunning()) return;
    prepare();
    timer.Start();
    act();
    session.Repaint(mw::kWindow, mw::kGrid);
    tally.Add(state, timer.Stop());
    after();
    session.Then(loop);
  };
  session.Then(loop);
  Finish(state, session, tally);
}

// --- The rows -------------------------------------------------------------------------------

// Sign-in until the main window is shown: Login, loading the main window, RefreshMainWindow
// (FillCategoryLists reads the category of every memo) and the first paint of the grid. Every
// sign-in is a fresh start of the program.
void AppSignIn(benchmark::State& state) {
  std::string dir = RunDirectory("sign_in", Memos(state));
  if (dir.empty()) return state.SkipWithError("making the run directory failed");
  Tally tally;
  ActionTimer timer;
  platform::ResetFileCallCounts();
  platform::EnableFileCallCounting(true);
  while (state.KeepRunning()) {
    AppSession session(dir);
    session.Then([&session] { session.Type(lg::kWindow, lg::kAccountBox, "test"); });
    session.Then([&session] { session.Type(lg::kWindow, lg::kPasswordBox, "kqzv"); });
    session.Then([&] {
      timer.Start();
      session.Click(lg::kWindow, lg::kLoginButton);
      session.Repaint(mw::kWindow, mw::kGrid);
      tally.Add(state, timer.Stop());
      if (!session.IsOpen(mw::kWindow)) throw SessionFailed{"signing in failed"};
    });
    if (!session.Run()) {
      state.SkipWithError(session.error().c_str());
      break;
    }
  }
  platform::EnableFileCallCounting(false);
  tally.Report(state);
}

// AddMemo: a category and a text typed, then "记录": the query reset to all memos, the record
// added, RefreshMainWindow. The new memo is deleted again afterwards (untimed).
void AppAddMemo(benchmark::State& state) {
  const int memos = Memos(state);
  std::string dir = RunDirectory("add_memo", memos);
  if (dir.empty()) return state.SkipWithError("making the run directory failed");
  AppSession session(dir);
  Tally tally;
  SignIn(session);
  // A first query makes the query copy "b.mcn", as any earlier run of the program has.
  session.Then([&] { session.Click(mw::kWindow, mw::kQueryButton); });
  RepeatMainAction(
      state, session, tally,
      [&] {
        session.Type(mw::kWindow, mw::kCategoryCombo, Gbk8("分类05"));
        session.Type(mw::kWindow, mw::kMemoBox, MemoNote(7));
      },
      [&] { session.Click(mw::kWindow, mw::kAddButton); },
      [&] {
        if (session.MainDataSource()->RowCount() != memos + 1) throw SessionFailed{"no memo added"};
        session.ClickMainCell(memos + 1, 1);
        session.Click(mw::kWindow, mw::kDeleteButton);
      });
}

// QueryByCategory for one category (a twentieth of the memos): the query copy cleared, the memo
// table sorted into it with the condition routine, the grid on the copy.
void AppQueryCategory(benchmark::State& state) {
  const int memos = Memos(state);
  std::string dir = RunDirectory("query", memos);
  if (dir.empty()) return state.SkipWithError("making the run directory failed");
  AppSession session(dir);
  Tally tally;
  SignIn(session);
  session.Then([&] { session.Click(mw::kWindow, mw::kQueryButton); });  // makes "b.mcn"
  RepeatMainAction(
      state, session, tally, [&] { session.Select(mw::kWindow, mw::kQueryCombo, 1); },
      [&] { session.Click(mw::kWindow, mw::kQueryButton); },
      [&] {
        if (session.MainDataSource()->RowCount() !=
            (memos + kTableCategories - 1) / kTableCategories)
          throw SessionFailed{"the query shows the wrong number of memos"};
      });
}

// The resident set now, and the most it has been since the last ResetPeakResident(), in bytes
// (/proc/self/status); 0 where the system does not say.
size_t ResidentBytes(const char* field) {
  std::FILE* status = std::fopen("/proc/self/status", "r");
  if (status == nullptr) return 0;
  char line[256];
  size_t kb = 0;
  const size_t length = std::strlen(field);
  while (std::fgets(line, sizeof line, status) != nullptr) {
    if (std::strncmp(line, field, length) == 0 && line[length] == ':') {
      kb = std::strtoull(line + length + 1, nullptr, 10);
      break;
    }
  }
  std::fclose(status);
  return kb * 1024;
}

// Makes the peak resident set the current one (Linux: "5" to /proc/self/clear_refs).
bool ResetPeakResident() {
  std::FILE* refs = std::fopen("/proc/self/clear_refs", "w");
  if (refs == nullptr) return false;
  const bool ok = std::fputs("5", refs) >= 0;
  return std::fclose(refs) == 0 && ok;
}

// QueryByCategory in a directory without a query copy — the first query there, or the first memo
// recorded there, whose first step is this query — with "全部" picked: "b.mcn" and "b.edt" made
// from the memo files and cleared, the grid on every memo. The copy is removed again before each
// action (untimed). Also reports how far the resident set rose above where it stood before the
// click (peak_mb), the most over the row's actions.
void AppFirstQuery(benchmark::State& state) {
  const int memos = Memos(state);
  std::string dir = RunDirectory("first_query", memos);
  if (dir.empty()) return state.SkipWithError("making the run directory failed");
  AppSession session(dir);
  Tally tally;
  SignIn(session);
  size_t resident_before = 0;
  double peak_rise = 0;
  RepeatMainAction(
      state, session, tally,
      [&] {
        namespace fs = std::filesystem;
        std::error_code ignored;
        for (const char* name : {"b.mcn", "b.edt", "b.EDT"}) fs::remove(dir + "/" + name, ignored);
        if (!ResetPeakResident()) throw SessionFailed{"the peak resident set cannot be reset"};
        resident_before = ResidentBytes("VmRSS");
      },
      [&] { session.Click(mw::kWindow, mw::kQueryButton); },
      [&] {
        const size_t peak = ResidentBytes("VmHWM");
        if (peak > resident_before) {
          peak_rise = std::max(peak_rise, static_cast<double>(peak - resident_before) / (1 << 20));
        }
        if (!std::filesystem::exists(dir + "/b.mcn")) throw SessionFailed{"no query copy made"};
        if (session.MainDataSource()->RowCount() != memos)
          throw SessionFailed{"the grid does not show every memo"};
      });
  state.counters["peak_mb"] = peak_rise;
}

// DeleteMemo in the view of all memos: the memo in the middle of the table (the records after it
// move up). A memo is added at the end again afterwards.
void AppDeleteMemo(benchmark::State& state) {
  const int memos = Memos(state);
  std::string dir = RunDirectory("delete", memos);
  if (dir.empty()) return state.SkipWithError("making the run directory failed");
  AppSession session(dir);
  Tally tally;
  SignIn(session);
  const int row = memos / 2 + 1;
  RepeatMainAction(
      state, session, tally, [&] { session.ClickMainCell(row, 1); },
      [&] { session.Click(mw::kWindow, mw::kDeleteButton); },
      [&] {
        if (session.MainDataSource()->RowCount() != memos - 1)
          throw SessionFailed{"nothing deleted"};
        AppendMemo(dir + "/a.mcn", row);
      });
}

// DeleteMemo in the query view: the memo goes from "b.mcn", then the memo table is searched for it
// row by row. The memo is the last of its category in the table, so the search reads nearly every
// row (the worst case). It is added at the end of the table again afterwards, which keeps it last.
void AppDeleteMemoQuery(benchmark::State& state) {
  const int memos = Memos(state);
  std::string dir = RunDirectory("delete_query", memos);
  if (dir.empty()) return state.SkipWithError("making the run directory failed");
  AppSession session(dir);
  Tally tally;
  SignIn(session);
  const int memo = memos - kTableCategories;  // the last memo of category 0 ("分类00")
  const std::pair<std::string, std::string> key = MemoKey(memo);
  RepeatMainAction(
      state, session, tally,
      [&] {
        session.Select(mw::kWindow, mw::kQueryCombo, 1);
        session.Click(mw::kWindow, mw::kQueryButton);
        session.ClickMainCell(FindRow(session, key), 1);
      },
      [&] { session.Click(mw::kWindow, mw::kDeleteButton); },
      [&] { AppendMemo(dir + "/a.mcn", memo); });
}

// OpenFollowUp: the cursor moved into the "记事" column with the Right key, the grid's menu
// answered with "跟进", the follow-up window loaded as a dialog, FollowUpWindowCreated with
// FillFollowUpGrid, and the log painted once. The span ends when the dialog's loop first waits
// for input; the dialog is closed again outside it.
// `loop` holds the loop step; it belongs to the caller and must outlive the session's run.
void OpenFollowUpLoop(benchmark::State& state, AppSession& session, Tally& tally,
                      ActionTimer& timer, int row, int expected_rows, std::function<void()>& loop) {
  loop = [&state, &session, &tally, &timer, row, expected_rows, &loop] {
    if (!state.KeepRunning()) return;
    session.ClickMainCell(row, 2);
    session.backend().QueuePopupChoice(Gbk8("跟进"));
    session.Then([&state, &session, &tally, &timer, expected_rows] {
      session.Repaint(fu::kWindow, fu::kGrid);
      tally.Add(state, timer.Stop());
      if (session.FollowUpRows() != expected_rows)
        throw SessionFailed{"the follow-up grid shows the wrong number of rows"};
      session.Close(fu::kWindow);
    });
    timer.Start();
    session.Key(mw::kWindow, mw::kGrid, platform::vk::kRight);
    if (session.IsOpen(fu::kWindow)) throw SessionFailed{"the follow-up window stayed open"};
    session.Then(loop);
  };
  session.Then(loop);
}

void AppOpenFollowUp(benchmark::State& state) {
  const int memos = Memos(state);
  std::string dir = RunDirectory("open_follow_up", memos);
  if (dir.empty()) return state.SkipWithError("making the run directory failed");
  AppSession session(dir);
  Tally tally;
  ActionTimer timer;
  SignIn(session);
  std::function<void()> loop;
  OpenFollowUpLoop(state, session, tally, timer, memos / 2 + 1, 4, loop);
  Finish(state, session, tally);
}

// The same for a memo whose log holds 1 000 entries (made once in the copy of the table).
constexpr int kLongLog = 1000;

void AppOpenFollowUpLongLog(benchmark::State& state) {
  const int memos = Memos(state);
  const int memo = memos / 2;
  std::string dir = RunDirectory("open_follow_up_1000", memos, [memo](const std::string& dir) {
    WriteLog(dir + "/a.mcn", memo, FollowUpLog(memo, kLongLog));
    return true;
  });
  if (dir.empty()) return state.SkipWithError("making the run directory failed");
  AppSession session(dir);
  Tally tally;
  ActionTimer timer;
  SignIn(session);
  std::function<void()> loop;
  OpenFollowUpLoop(state, session, tally, timer, memo + 1, kLongLog + 1, loop);
  Finish(state, session, tally);
}

// AppendFollowUp: an entry typed, then "跟进": the log read, the new log written through the data
// source, FillFollowUpGrid, the log painted once. The follow-up window stays open over all
// actions; the memo's log is put back to its three entries afterwards (untimed).
// `loop` as for OpenFollowUpLoop.
void AppendFollowUpLoop(benchmark::State& state, AppSession& session, Tally& tally,
                        ActionTimer& timer, std::function<void()> restore,
                        std::function<void()>& loop) {
  loop = [&state, &session, &tally, &timer, restore, &loop] {
    if (!state.KeepRunning()) {
      session.Close(fu::kWindow);
      return;
    }
    session.Type(fu::kWindow, fu::kEntryBox, Gbk8("客户回电，约定下周二上午十点面谈合同细节"));
    timer.Start();
    session.Click(fu::kWindow, fu::kAppendButton);
    session.Repaint(fu::kWindow, fu::kGrid);
    tally.Add(state, timer.Stop());
    restore();
    session.Then(loop);
  };
  session.Then(loop);
}

void AppAppendFollowUp(benchmark::State& state) {
  const int memos = Memos(state);
  std::string dir = RunDirectory("append_follow_up", memos);
  if (dir.empty()) return state.SkipWithError("making the run directory failed");
  AppSession session(dir);
  Tally tally;
  ActionTimer timer;
  SignIn(session);
  const int memo = memos / 2;
  std::function<void()> loop;
  session.Then([&] {
    session.ClickMainCell(memo + 1, 2);
    session.backend().QueuePopupChoice(Gbk8("跟进"));
    AppendFollowUpLoop(
        state, session, tally, timer, [&] { WriteLog(dir + "/a.mcn", memo, FollowUpLog(memo, 3)); },
        loop);
    session.Key(mw::kWindow, mw::kGrid, platform::vk::kRight);
  });
  Finish(state, session, tally);
}

// AppendFollowUp in the query view: written to "b.mcn", then the memo table is searched row by
// row for the memo and written there too. The memo is the last of its category in the table (the
// worst case: the search reads nearly every row).
void AppAppendFollowUpQuery(benchmark::State& state) {
  const int memos = Memos(state);
  std::string dir = RunDirectory("append_follow_up_query", memos);
  if (dir.empty()) return state.SkipWithError("making the run directory failed");
  AppSession session(dir);
  Tally tally;
  ActionTimer timer;
  SignIn(session);
  const int memo = memos - kTableCategories;
  std::function<void()> loop;
  session.Then([&] {
    std::pair<std::string, std::string> key = MemoKey(memo);
    session.Select(mw::kWindow, mw::kQueryCombo, 1);
    session.Click(mw::kWindow, mw::kQueryButton);
    const int row = FindRow(session, key);
    session.ClickMainCell(row, 2);
    session.backend().QueuePopupChoice(Gbk8("跟进"));
    AppendFollowUpLoop(
        state, session, tally, timer,
        [&dir, memo, row] {
          WriteLog(dir + "/a.mcn", memo, FollowUpLog(memo, 3));
          WriteLog(dir + "/b.mcn", row - 1, FollowUpLog(memo, 3));
        },
        loop);
    session.Key(mw::kWindow, mw::kGrid, platform::vk::kRight);
  });
  Finish(state, session, tally);
}

void PerTable(benchmark::internal::Benchmark* b) {
  b->Arg(100)
      ->Arg(10000)
      ->Arg(100000)
      ->Repetitions(3)
      ->Unit(benchmark::kMillisecond)
      ->UseManualTime()
      ->MinTime(0.2);
}

BENCHMARK(AppSignIn)->Name("app_sign_in")->Apply(PerTable);
BENCHMARK(AppAddMemo)->Name("app_add_memo")->Apply(PerTable);
BENCHMARK(AppQueryCategory)->Name("app_query_category")->Apply(PerTable);
BENCHMARK(AppFirstQuery)->Name("app_first_query")->Apply(PerTable);
BENCHMARK(AppDeleteMemo)->Name("app_delete_memo")->Apply(PerTable);
BENCHMARK(AppDeleteMemoQuery)->Name("app_delete_memo_query")->Apply(PerTable);
BENCHMARK(AppOpenFollowUp)->Name("app_open_follow_up")->Apply(PerTable);
BENCHMARK(AppOpenFollowUpLongLog)
    ->Name("app_open_follow_up_1000")
    ->Arg(10000)
    ->Repetitions(3)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->MinTime(0.2);
BENCHMARK(AppAppendFollowUp)->Name("app_append_follow_up")->Apply(PerTable);
BENCHMARK(AppAppendFollowUpQuery)->Name("app_append_follow_up_query")->Apply(PerTable);

}  // namespace
}  // namespace memo::bench
