// The headless backend: answers and records, the message loop, time, and the windows a script
// drives.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/headless/headless_backend.h"
#include "platform/headless/headless_controls.h"
#include "platform/message_box.h"
#include "tests/support/test_support.h"

namespace memo::platform {
namespace {

using memo::testing::G;
using LoopExit = Backend::LoopExit;

class HeadlessBackendTest : public ::testing::Test {
 protected:
  HeadlessBackend backend_;
};

// --- Message boxes -------------------------------------------------------------------------------

TEST_F(HeadlessBackendTest, BoxesAreAnsweredInQueueOrderAndRecorded) {
  backend_.QueueBoxAnswer(kIdCancel);
  backend_.QueueBoxAnswer(kIdOk);
  EXPECT_EQ(backend_.ShowMessageBox("a", "t1", kMbOkCancel), kIdCancel);
  EXPECT_EQ(backend_.ShowMessageBox("b", "t2", kMbOkCancel | kMbIconQuestion), kIdOk);
  ASSERT_EQ(backend_.boxes().size(), 2u);
  EXPECT_EQ(backend_.boxes()[1].text_gbk, "b");
  EXPECT_EQ(backend_.boxes()[1].title_gbk, "t2");
  EXPECT_EQ(backend_.boxes()[1].style, kMbOkCancel | kMbIconQuestion);
}

TEST_F(HeadlessBackendTest, UnansweredBoxGetsOkOrItsOnlyButton) {
  EXPECT_EQ(backend_.ShowMessageBox("", "", kMbOkCancel), kIdOk);
  EXPECT_EQ(backend_.ShowMessageBox("", "", kMbOk), kIdOk);
  EXPECT_FALSE(backend_.boxes().back().answer_refused);
  // Yes/No has neither: it needs an answer; the default button is taken and the miss is flagged.
  EXPECT_EQ(backend_.ShowMessageBox("", "", kMbYesNo | kMbDefaultButton2), kIdNo);
  EXPECT_TRUE(backend_.boxes().back().answer_refused);
}

TEST_F(HeadlessBackendTest, CloseAnswersAsTheCloseControl) {
  backend_.QueueBoxAnswer(std::nullopt);
  EXPECT_EQ(backend_.ShowMessageBox("", "", kMbOkCancel), kIdCancel);
  backend_.QueueBoxAnswer(std::nullopt);
  EXPECT_EQ(backend_.ShowMessageBox("", "", kMbOk), kIdOk);
  EXPECT_FALSE(backend_.boxes().back().answer_refused);
  // Yes/No cannot be closed: the answer is refused and the default button taken.
  backend_.QueueBoxAnswer(std::nullopt);
  EXPECT_EQ(backend_.ShowMessageBox("", "", kMbYesNo), kIdYes);
  EXPECT_TRUE(backend_.boxes().back().answer_refused);
}

TEST_F(HeadlessBackendTest, AnswerThatTheBoxDoesNotOfferIsRefused) {
  backend_.QueueBoxAnswer(kIdCancel);
  EXPECT_EQ(backend_.ShowMessageBox("", "", kMbOk), kIdOk);
  EXPECT_TRUE(backend_.boxes().back().answer_refused);
  EXPECT_EQ(backend_.pending_box_answers(), 0u);
}

// --- Pop-up menus and the password dialog ------------------------------------------------------

TEST_F(HeadlessBackendTest, PopupPicksQueuedCaptionAndIsRecorded) {
  std::vector<MenuEntry> items(3);
  items[0].caption_gbk = G("跟进");
  items[0].command_id = 20001;
  items[1].separator = true;
  items[2].caption_gbk = "&Other";
  items[2].command_id = 20002;
  backend_.QueuePopupChoice("Other");
  EXPECT_EQ(backend_.TrackPopupMenu(nullptr, items, Point{13, 23}), 20002);
  EXPECT_EQ(backend_.TrackPopupMenu(nullptr, items, Point{1, 2}), 0);  // nothing queued: dismissed
  backend_.QueuePopupChoice("missing");
  EXPECT_EQ(backend_.TrackPopupMenu(nullptr, items, Point{1, 2}), 0);
  ASSERT_EQ(backend_.popups().size(), 3u);
  EXPECT_EQ(backend_.popups()[0].captions_gbk,
            (std::vector<std::string>{G("跟进"), "-", "&Other"}));
  EXPECT_EQ(backend_.popups()[0].position, (Point{13, 23}));
  EXPECT_TRUE(backend_.popups()[2].choice_missing);
  // A disabled item cannot be chosen.
  items[0].disabled = true;
  backend_.QueuePopupChoice(G("跟进"));
  EXPECT_EQ(backend_.TrackPopupMenu(nullptr, items, Point{}), 0);
}

TEST_F(HeadlessBackendTest, PasswordDialogAnswersOrCancels) {
  backend_.QueuePasswordAnswer(std::string("secret"));
  EXPECT_EQ(backend_.AskPassword("cap", "prompt"), std::optional<std::string>("secret"));
  EXPECT_EQ(backend_.AskPassword("cap", ""), std::nullopt);
  ASSERT_EQ(backend_.password_dialogs().size(), 2u);
  EXPECT_EQ(backend_.password_dialogs()[0].prompt_gbk, "prompt");
  EXPECT_TRUE(backend_.password_dialogs()[0].answered);
  EXPECT_FALSE(backend_.password_dialogs()[1].answered);
}

// --- The message loop ---------------------------------------------------------------------------

TEST_F(HeadlessBackendTest, PostedTasksRunAfterTheCurrentRoutineInOrder) {
  std::vector<std::string> log;
  backend_.PostTask([&] {
    log.push_back("a begins");
    backend_.PostTask([&] { log.push_back("c"); });
    log.push_back("a ends");
  });
  backend_.PostTask([&] {
    log.push_back("b");
    backend_.PostQuit(0);
  });
  EXPECT_EQ(backend_.RunLoop().exit, LoopExit::kQuit);
  EXPECT_EQ(log, (std::vector<std::string>{"a begins", "a ends", "b"}));
  // The quit ended the loop before "c"; the next loop runs it.
  EXPECT_EQ(backend_.pending_tasks(), 1u);
}

TEST_F(HeadlessBackendTest, QuitInANestedLoopEndsEveryLoopWithItsCode) {
  Backend::LoopResult inner;
  backend_.PostTask([&] {
    EXPECT_EQ(backend_.LoopDepth(), 1);
    backend_.PostTask([&] {
      EXPECT_EQ(backend_.LoopDepth(), 2);
      backend_.PostQuit(7);
    });
    inner = backend_.RunLoop();
  });
  Backend::LoopResult outer = backend_.RunLoop();
  EXPECT_EQ(inner.exit, LoopExit::kQuit);
  EXPECT_EQ(inner.code, 7);
  EXPECT_EQ(outer.exit, LoopExit::kQuit);
  EXPECT_EQ(outer.code, 7);
  EXPECT_EQ(backend_.LoopDepth(), 0);
  EXPECT_FALSE(backend_.pending_quit());  // the outermost loop took it
}

TEST_F(HeadlessBackendTest, EndLoopEndsOnlyThatLoopAndTheOnesInside) {
  std::vector<std::string> log;
  backend_.PostTask([&] {
    backend_.PostTask([&] { backend_.EndLoop(2); });
    Backend::LoopResult inner = backend_.RunLoop();
    log.push_back(inner.exit == LoopExit::kEnded ? "inner ended" : "inner other");
    backend_.PostTask([&] { backend_.PostQuit(3); });
  });
  Backend::LoopResult outer = backend_.RunLoop();
  EXPECT_EQ(log, std::vector<std::string>{"inner ended"});
  EXPECT_EQ(outer.exit, LoopExit::kQuit);
  EXPECT_EQ(outer.code, 3);

  // Ending the outer loop from inside the inner one ends both.
  backend_.PostTask([&] {
    backend_.PostTask([&] { backend_.EndLoop(1); });
    EXPECT_EQ(backend_.RunLoop().exit, LoopExit::kEnded);
  });
  EXPECT_EQ(backend_.RunLoop().exit, LoopExit::kEnded);
}

TEST_F(HeadlessBackendTest, QuitPostedBeforeTheLoopEndsItAtOnce) {
  bool ran = false;
  backend_.PostQuit(5);
  backend_.PostTask([&] { ran = true; });
  Backend::LoopResult result = backend_.RunLoop();
  EXPECT_EQ(result.code, 5);
  EXPECT_FALSE(ran);
}

TEST_F(HeadlessBackendTest, IdleWorkRunsWhenTheQueueIsEmptyAndTheDriverComesLast) {
  std::vector<std::string> log;
  int idle_left = 2;
  backend_.SetIdleHandler([&] {
    log.push_back("idle");
    return --idle_left > 0;  // asks once to be called again
  });
  int steps = 0;
  backend_.SetDriver([&] {
    log.push_back("driver");
    if (++steps == 1) backend_.PostTask([&] { log.push_back("task"); });
    return steps < 2;
  });
  EXPECT_EQ(backend_.RunLoop().exit, LoopExit::kStalled);
  EXPECT_EQ(log, (std::vector<std::string>{"idle", "idle", "driver", "task", "idle", "driver"}));
}

TEST_F(HeadlessBackendTest, LoopWithoutDriverStalls) {
  EXPECT_EQ(backend_.RunLoop().exit, LoopExit::kStalled);
  EXPECT_EQ(backend_.LoopDepth(), 0);
}

TEST_F(HeadlessBackendTest, TerminateUnwindsThroughLoops) {
  backend_.PostTask([&] {
    backend_.PostTask([&] { backend_.Terminate(-1); });
    backend_.RunLoop();
  });
  try {
    backend_.RunLoop();
    FAIL();
  } catch (const ProgramEnded& ended) {
    EXPECT_EQ(ended.code, -1);
  }
  EXPECT_EQ(backend_.LoopDepth(), 0);
}

// --- Time, mouse, clipboard -------------------------------------------------------------------

TEST_F(HeadlessBackendTest, TimeMovesOnlyWhenMoved) {
  LocalTime t;
  t.year = 2014;
  t.month = 7;
  t.day = 10;
  t.hour = 9;
  t.minute = 5;
  backend_.SetClock(t);
  EXPECT_EQ(backend_.Now(), t);
  EXPECT_EQ(backend_.TickCount(), 0u);
  std::vector<uint32_t> fired;
  int timer = backend_.StartTimer(100, [&] { fired.push_back(backend_.TickCount()); });
  backend_.Sleep(250);
  EXPECT_EQ(fired, (std::vector<uint32_t>{100, 200}));
  EXPECT_EQ(backend_.TickCount(), 250u);
  backend_.StopTimer(timer);
  backend_.AdvanceTime(1000);
  EXPECT_EQ(fired.size(), 2u);
  EXPECT_EQ(backend_.Now(), t);  // the clock stays where it was set
}

TEST_F(HeadlessBackendTest, ClipboardReplacesItsWholeContent) {
  ClipboardContent content;
  content.text_gbk = "a\tb";
  content.formats.emplace_back("MGridCells", std::string("\x01\x00\x02", 3));
  EXPECT_TRUE(backend_.SetClipboard(content));
  EXPECT_EQ(backend_.ClipboardText(), std::optional<std::string>("a\tb"));
  EXPECT_EQ(backend_.ClipboardData("MGridCells"),
            std::optional<std::string>(std::string("\x01\x00\x02", 3)));
  EXPECT_EQ(backend_.ClipboardData("Other"), std::nullopt);
  EXPECT_TRUE(backend_.SetClipboard(ClipboardContent{std::string("x"), {}}));
  EXPECT_EQ(backend_.ClipboardData("MGridCells"), std::nullopt);
}

TEST_F(HeadlessBackendTest, TextMetricsAreFixed) {
  FontSpec font;
  font.height = -12;
  EXPECT_EQ(backend_.MeasureText(font, "ab"), (Size{12, 12}));
  EXPECT_EQ(backend_.MeasureText(font, G("中文") + "\r\nx"), (Size{24, 24}));
}

// --- Windows and controls driven as a person would -------------------------------------------

class HeadlessWindowTest : public HeadlessBackendTest {
 protected:
  void SetUp() override {
    WindowStyle style;
    style.rect = Rect{50, 50, 300, 200};
    style.caption_gbk = G("登陆到备忘录");
    window_ = backend_.CreateWindow(style);
    window_->on_input = [this](Control* target, const InputEvent& event) {
      std::string who = target ? std::to_string(target->child_id()) : "window";
      inputs_.push_back(who + ":" + Name(event));
      if (filter_) return filter_(target, event);
      return InputDecision::Pass();
    };
    window_->Show(ShowMode::kNormal);
  }
  static std::string Name(const InputEvent& e) {
    switch (e.kind) {
      case InputKind::kLeftDown: return "down@" + std::to_string(e.x) + "," + std::to_string(e.y);
      case InputKind::kLeftUp: return "up";
      case InputKind::kKeyDown: return "keydown " + std::to_string(e.key);
      case InputKind::kKeyUp: return "keyup " + std::to_string(e.key);
      case InputKind::kChar: return "char " + std::to_string(e.key);
      case InputKind::kFocusGained: return "focus";
      case InputKind::kFocusLost: return "blur";
      default: return "other";
    }
  }
  ControlPlacement At(int child_id, Rect rect) {
    ControlPlacement placement;
    placement.child_id = child_id;
    placement.rect = rect;
    placement.tab_stop = true;
    return placement;
  }
  HeadlessWindow* headless() { return static_cast<HeadlessWindow*>(window_.get()); }

  std::unique_ptr<Window> window_;
  std::vector<std::string> inputs_;
  std::function<InputDecision(Control*, const InputEvent&)> filter_;
};

TEST_F(HeadlessWindowTest, ClickReachesTheFilterFirstThenTheButton) {
  ButtonStyle style;
  style.caption_gbk = G("登陆");
  ButtonControl* button = window_->CreateButton(At(100, Rect{118, 4, 48, 44}), style);
  int clicks = 0;
  button->on_click = [&] { ++clicks; };
  EXPECT_TRUE(headless()->UserClick(button));
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(inputs_, (std::vector<std::string>{"100:down@24,22", "100:focus", "100:up"}));
  EXPECT_TRUE(button->HasFocus());
  // A routine that swallows the release keeps the click from the button.
  filter_ = [](Control*, const InputEvent& e) {
    return e.kind == InputKind::kLeftUp ? InputDecision::Swallow() : InputDecision::Pass();
  };
  EXPECT_TRUE(headless()->UserClick(button));
  EXPECT_EQ(clicks, 1);
}

TEST_F(HeadlessWindowTest, DisabledWindowOrControlCannotBeReached) {
  ButtonControl* button = window_->CreateButton(At(100, Rect{0, 0, 10, 10}), ButtonStyle{});
  int clicks = 0;
  button->on_click = [&] { ++clicks; };
  window_->SetEnabled(false);
  EXPECT_FALSE(headless()->UserClick(button));
  EXPECT_FALSE(headless()->UserClose());
  window_->SetEnabled(true);
  button->SetEnabled(false);
  EXPECT_FALSE(headless()->UserClick(button));
  button->SetEnabled(true);
  button->SetVisible(false);
  EXPECT_FALSE(headless()->UserKey(button, vk::kSpace));
  EXPECT_EQ(clicks, 0);
  EXPECT_TRUE(inputs_.empty());
}

// The box itself applies no limit and no conversion (the runtime does); it reports the user's
// changes, never the program's.
TEST_F(HeadlessWindowTest, TypingInsertsWhatReachesTheBoxAndReportsOnlyUserChanges) {
  EditStyle style;
  style.text_gbk = "old";
  EditControl* edit = window_->CreateEdit(At(110, Rect{2, 6, 116, 19}), style);
  int changes = 0;
  edit->on_user_change = [&] { ++changes; };
  EXPECT_TRUE(headless()->UserType(edit, "ab" + G("中文")));
  EXPECT_EQ(edit->Text(), "ab" + G("中文"));
  EXPECT_EQ(changes, 4);
  edit->SetText("set");
  edit->SetSelection(0, -1);
  edit->ReplaceSelection("new");
  EXPECT_EQ(changes, 4);
  EXPECT_TRUE(headless()->UserType(edit, ""));
  EXPECT_EQ(edit->Text(), "");
  EXPECT_EQ(changes, 5);
}

// Ctrl+C, Ctrl+X and Ctrl+V reach the box as the characters 3, 24 and 22, as the classic
// keyboard translation types them, and work through the backend's clipboard.
TEST_F(HeadlessWindowTest, ClipboardKeysCopyCutAndPaste) {
  EditStyle style;
  style.text_gbk = "a" + G("中") + "b";
  auto* edit = static_cast<HeadlessEdit*>(window_->CreateEdit(At(110, Rect{0, 0, 99, 20}), style));
  int changes = 0;
  edit->on_user_change = [&] { ++changes; };
  edit->SetSelection(1, 2);
  EXPECT_TRUE(headless()->UserKey(edit, 'X', kShiftCtrl));
  EXPECT_EQ(edit->Text(), "ab");
  EXPECT_EQ(backend_.ClipboardText(), std::optional<std::string>(G("中")));
  edit->SetSelection(2, 0);
  EXPECT_TRUE(headless()->UserKey(edit, 'V', kShiftCtrl));
  EXPECT_EQ(edit->Text(), "ab" + G("中"));
  EXPECT_EQ(changes, 2);
  edit->SetSelection(0, 1);
  headless()->UserKey(edit, 'C', kShiftCtrl);
  EXPECT_EQ(backend_.ClipboardText(), std::optional<std::string>("a"));
  EXPECT_EQ(changes, 2);
  // The runtime can keep a paste from the box by swallowing its character.
  filter_ = [](Control*, const InputEvent& e) {
    return e.kind == InputKind::kChar && e.key == 22 ? InputDecision::Swallow()
                                                     : InputDecision::Pass();
  };
  edit->SetSelection(0, 0);
  headless()->UserKey(edit, 'V', kShiftCtrl);
  EXPECT_EQ(edit->Text(), "ab" + G("中"));
  // A password box gives nothing away.
  EditStyle password;
  password.password_char = '*';
  password.text_gbk = "secret";
  EditControl* secret = window_->CreateEdit(At(120, Rect{0, 30, 99, 20}), password);
  secret->SetSelection(0, -1);
  headless()->UserKey(secret, 'C', kShiftCtrl);
  EXPECT_EQ(backend_.ClipboardText(), std::optional<std::string>("a"));
}

TEST_F(HeadlessWindowTest, DropInsertsWithoutInputAndReports) {
  EditStyle style;
  style.text_gbk = G("中文");
  EditControl* edit = window_->CreateEdit(At(110, Rect{0, 0, 99, 20}), style);
  int changes = 0;
  edit->on_user_change = [&] { ++changes; };
  inputs_.clear();
  EXPECT_TRUE(headless()->UserDrop(edit, "x", 3));  // inside 文: dropped before it
  EXPECT_EQ(edit->Text(), G("中") + "x" + G("文"));
  EXPECT_EQ(changes, 1);
  EXPECT_TRUE(inputs_.empty());
  edit->SetReadOnly(true);
  headless()->UserDrop(edit, "y", 0);
  EXPECT_EQ(edit->Text(), G("中") + "x" + G("文"));
}

TEST_F(HeadlessWindowTest, FilterCanReplaceOrSwallowCharacters) {
  EditControl* edit = window_->CreateEdit(At(110, Rect{0, 0, 100, 20}), EditStyle{});
  filter_ = [](Control*, const InputEvent& e) {
    if (e.kind != InputKind::kChar) return InputDecision::Pass();
    if (e.key == 'x') return InputDecision::Swallow();
    if (e.key == 'a') return InputDecision::Replace('b');
    return InputDecision::Pass();
  };
  headless()->UserType(edit, "axc");
  EXPECT_EQ(edit->Text(), "bc");
}

TEST_F(HeadlessWindowTest, EnterKeyReachesTheRoutineAndStillTheBox) {
  EditStyle style;
  style.multi_line = true;
  EditControl* edit = window_->CreateEdit(At(110, Rect{0, 0, 100, 40}), style);
  inputs_.clear();
  EXPECT_TRUE(headless()->UserKey(edit, vk::kReturn));
  EXPECT_EQ(inputs_, (std::vector<std::string>{"110:focus", "110:keydown 13", "110:char 13",
                                               "110:keyup 13"}));
  EXPECT_EQ(edit->Text(), "\r\n");
}

TEST_F(HeadlessWindowTest, ReadOnlyAndPasswordBoxes) {
  EditStyle style;
  style.read_only = true;
  style.text_gbk = "keep";
  EditControl* read_only = window_->CreateEdit(At(110, Rect{0, 0, 100, 20}), style);
  headless()->UserType(read_only, "new");
  EXPECT_EQ(read_only->Text(), "keep");
  EditStyle password;
  password.password_char = '*';
  auto* secret =
      static_cast<HeadlessEdit*>(window_->CreateEdit(At(120, Rect{0, 30, 100, 20}), password));
  headless()->UserType(secret, "p" + G("码"));
  EXPECT_EQ(secret->Text(), "p" + G("码"));
  EXPECT_EQ(secret->Shown(), "**");
}

TEST_F(HeadlessWindowTest, FocusMovesWithLostBeforeGained) {
  EditControl* a = window_->CreateEdit(At(100, Rect{0, 0, 10, 10}), EditStyle{});
  EditControl* b = window_->CreateEdit(At(110, Rect{0, 20, 10, 10}), EditStyle{});
  a->SetFocus();
  inputs_.clear();
  b->SetFocus();
  EXPECT_EQ(inputs_, (std::vector<std::string>{"100:blur", "110:focus"}));
  EXPECT_EQ(window_->FocusedControl(), b);
  window_->DestroyControl(b);
  EXPECT_EQ(window_->FocusedControl(), nullptr);
}

TEST_F(HeadlessWindowTest, ComboReportsPicksAndShowsOnlyWhatItIsTold) {
  ComboStyle style;
  style.kind = ComboKind::kDropDownList;
  auto* combo =
      static_cast<HeadlessCombo*>(window_->CreateCombo(At(100, Rect{0, 0, 96, 160}), style));
  combo->InsertItem(0, G("资金借出"));
  combo->InsertItem(1, G("资金借入"));
  int picked = -2;
  combo->on_pick = [&](int index) { picked = index; };
  EXPECT_TRUE(headless()->UserSelect(combo, 1));
  EXPECT_EQ(picked, 1);
  EXPECT_EQ(combo->shown_current(), -1) << "the runtime decides what becomes current";
  EXPECT_FALSE(headless()->UserSelect(combo, 2));
  combo->ShowCurrent(1);
  EXPECT_EQ(combo->ShownText(), G("资金借入"));
  picked = -2;
  headless()->UserKey(combo, vk::kUp);
  EXPECT_EQ(picked, 0);
  headless()->UserType(combo, "z");
  EXPECT_EQ(picked, 0) << "no item starts with z";

  std::vector<MenuEntry> bar(1);
  bar[0].caption_gbk = G("帐号管理");
  bar[0].children.resize(1);
  bar[0].children[0].caption_gbk = G("修改密码");
  bar[0].children[0].command_id = 20004;
  window_->SetMenuBar(bar);
  int command = 0;
  window_->on_command = [&](int id) { command = id; };
  EXPECT_TRUE(headless()->UserMenu(20004));
  EXPECT_EQ(command, 20004);
  EXPECT_FALSE(headless()->UserMenu(20005));

  int close_requests = 0;
  window_->on_close_request = [&] { ++close_requests; };
  EXPECT_TRUE(headless()->UserClose());
  EXPECT_EQ(close_requests, 1);
  EXPECT_TRUE(window_->IsVisible());  // the backend never closes a window on its own
}

TEST_F(HeadlessWindowTest, RoutineThatDestroysTheWindowMidClickIsSafe) {
  ButtonControl* button = window_->CreateButton(At(100, Rect{0, 0, 10, 10}), ButtonStyle{});
  filter_ = [this](Control*, const InputEvent& e) {
    if (e.kind == InputKind::kLeftDown) window_.reset();
    return InputDecision::Pass();
  };
  HeadlessWindow* raw = headless();
  EXPECT_TRUE(raw->UserClick(button));
  EXPECT_EQ(window_, nullptr);
  EXPECT_TRUE(backend_.windows().empty());
}

TEST_F(HeadlessWindowTest, CanvasPaintsThroughTheRecordingPainter) {
  CanvasStyle style;
  style.vertical_scroll_bar = true;
  auto* canvas =
      static_cast<HeadlessCanvas*>(window_->CreateCanvas(At(100, Rect{0, 0, 200, 100}), style));
  EXPECT_EQ(canvas->ClientSize(), (Size{200 - 4 - 17, 100 - 4}));
  canvas->on_paint = [](Painter& painter, const Rect& dirty) {
    painter.FillRect(dirty, Rgb(255, 255, 255));
    painter.DrawText(Rect{0, 0, 50, 20}, "cell", TextFormat{});
  };
  canvas->RepaintNow();
  EXPECT_EQ(canvas->PaintedTexts(), std::vector<std::string>{"cell"});
  std::vector<InputEvent> seen;
  canvas->on_input = [&](const InputEvent& e) { seen.push_back(e); };
  headless()->UserClickAt(canvas, Point{30, 12}, kShiftShift);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].x, 30);
  EXPECT_EQ(seen[0].shift, kShiftShift);
}

TEST_F(HeadlessWindowTest, UpDownReportsArrowClicksThatReachIt) {
  UpDownStyle style;
  UpDownControl* spin = window_->CreateUpDown(At(120, Rect{100, 0, 16, 24}), style);
  std::vector<int> arrows;
  spin->on_arrow = [&](int delta) { arrows.push_back(delta); };
  EXPECT_TRUE(headless()->UserSpin(spin, +1));
  EXPECT_TRUE(headless()->UserSpin(spin, -1));
  EXPECT_EQ(arrows, (std::vector<int>{1, -1}));
  filter_ = [](Control*, const InputEvent& e) {
    return e.kind == InputKind::kLeftUp ? InputDecision::Swallow() : InputDecision::Pass();
  };
  headless()->UserSpin(spin, +1);
  EXPECT_EQ(arrows.size(), 2u);
  style.horizontal = true;
  UpDownControl* across = window_->CreateUpDown(At(130, Rect{0, 40, 32, 16}), style);
  across->on_arrow = [&](int delta) { arrows.push_back(delta); };
  filter_ = nullptr;
  headless()->UserSpin(across, -1);
  EXPECT_EQ(arrows.back(), -1);
}

}  // namespace
}  // namespace memo::platform
