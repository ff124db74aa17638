// What a person waits for: drives the real desktop program on an X server (Xvfb) with synthetic
// input (XTest) and times each action from the input event to the last repaint it caused, as the
// X server sees it (DAMAGE on the root window, which reports drawing into every window under it).
// bench/gui_times.sh builds and runs it.
//
//   memo_gui_probe --memo BIN --book DIR --work DIR [--rounds N] [--quiet-ms MS]
//                  [--timeout-ms MS] [--label NAME] [--size MEMOS]
//   memo_gui_probe --summarise SAMPLES
//
// DIR of --book holds a book ("c.mcn" with the account "test" / "kqzv", "a.mcn", "a.edt"); each
// round copies it into a fresh data directory under --work ($XDG_DATA_HOME/memo) with today's
// backup folder already made, starts the program, signs in and runs every action once, each
// right after a baseline action (one character typed into an edit box), and ends the program.
// Every measurement is printed as it is taken, one tab-separated line each (see Samples);
// --summarise turns such lines, from any number of runs, into the table.
//
// An action ends at the last damage report that is followed by a quiet period (--quiet-ms, 300 by
// default) in which the program neither drew nor used the processor (/proc/PID/task/*/stat), and
// the window the action leads to is there: a routine that works for longer than the quiet period
// before it draws anything is still waited for. Nothing is subtracted. The text cursor's blinking
// is not an action's repaint: a damaged rectangle no wider than a cursor (12 pixels) is ignored.
//
// The controls are found as a person finds them: windows by title, the login and follow-up
// windows by keyboard (each starts with the focus in its first box; Enter moves on, signs in,
// appends), the main window's boxes and buttons by their place in the window definition, below
// the menu bar, whose height is read off the screen. MEMO_PROBE_DEBUG=1 prints every damage
// report; a failed round leaves a screen shot (PPM) in --work.
//
// Exit status: 0 when every action of every round was seen to repaint; 1 when one timed out or
// drew nothing (the round ends there); 2 for bad usage or a missing X extension.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xdamage.h>
#include <X11/keysym.h>
#include <poll.h>
#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// The program under test, for the signal handler that ends it with the probe.
pid_t g_child = -1;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

struct Options {
  std::string memo;
  std::string book;
  std::string work;
  std::string label;
  std::string size;
  int rounds = 5;
  int quiet_ms = 300;
  int timeout_ms = 30000;
};

// Controls of the main window, in its client area (the definition's coordinates; the client area
// starts below the menu bar, whose height is found on the screen).
struct Spot {
  int x, y;
};
constexpr Spot kMemoTextBox{190, 407};   // 编辑框1, the new memo's text
constexpr Spot kQueryList{579, 409};     // 组合框2, the query's category
constexpr Spot kQueryButton{648, 407};   // 按钮记事查询
constexpr Spot kDeleteButton{404, 407};  // 按钮记事删除
constexpr Spot kGridFirstRows{15, 34};   // 表格1 at (1, 2): the row numbers of row 1
constexpr Spot kNeutral{20, 432};        // below the labels: nothing reacts to the pointer
constexpr int kMemoTextBoxTop = 398;

class Failure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// ------------------------------------------------------------------------------------------------
// The program under test: a child with its own data directory.

class Program {
 public:
  Program(const std::string& binary, const std::string& xdg_data_home) {
    pid_ = fork();
    if (pid_ < 0) throw Failure("fork failed");
    if (pid_ > 0) g_child = pid_;
    if (pid_ == 0) {
      setenv("XDG_DATA_HOME", xdg_data_home.c_str(), 1);
      unsetenv("QT_QPA_PLATFORM");  // the real xcb backend, whatever the caller's tests use
      std::string log = xdg_data_home + "/memo.log";
      if (std::freopen(log.c_str(), "w", stdout) == nullptr) _exit(126);
      if (std::freopen(log.c_str(), "a", stderr) == nullptr) _exit(126);
      execl(binary.c_str(), binary.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
  }
  ~Program() { Stop(); }
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  pid_t pid() const { return pid_; }

  bool Running() {
    if (pid_ <= 0) return false;
    int status = 0;
    pid_t r = waitpid(pid_, &status, WNOHANG);
    if (r == pid_) {
      pid_ = -1;
      g_child = -1;
      return false;
    }
    return true;
  }

  // Waits up to `ms` for the program to end by itself, then ends it.
  void Stop(int ms = 0) {
    auto until = Clock::now() + std::chrono::milliseconds(ms);
    while (Running() && Clock::now() < until) usleep(10000);
    if (!Running()) return;
    kill(pid_, SIGTERM);
    until = Clock::now() + std::chrono::milliseconds(2000);
    while (Running() && Clock::now() < until) usleep(10000);
    if (!Running()) return;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
    g_child = -1;
  }

  // Processor time (ticks) and whether a thread is running or in a disk wait.
  struct Activity {
    unsigned long long ticks = 0;
    bool running = false;
  };
  Activity ReadActivity() const {
    Activity a;
    fs::path task = "/proc/" + std::to_string(pid_) + "/task";
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(task, ec)) {
      std::ifstream in(entry.path() / "stat");
      std::string line;
      if (!std::getline(in, line)) continue;
      auto close = line.rfind(')');
      if (close == std::string::npos) continue;
      std::istringstream rest(line.substr(close + 2));
      std::string state;
      rest >> state;
      std::string skip;
      for (int i = 0; i < 10; ++i) rest >> skip;  // fields 4 .. 13
      unsigned long long utime = 0, stime = 0;
      rest >> utime >> stime;
      a.ticks += utime + stime;
      if (state == "R" || state == "D") a.running = true;
    }
    return a;
  }

  // VmHWM of /proc/PID/status in kB (the peak resident set so far).
  long PeakKb() const {
    std::ifstream in("/proc/" + std::to_string(pid_) + "/status");
    std::string line;
    while (std::getline(in, line)) {
      if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
    }
    return -1;
  }

 private:
  pid_t pid_ = -1;
};

// ------------------------------------------------------------------------------------------------
// The X side: input, damage, the program's windows.

class Desk {
 public:
  explicit Desk(int quiet_ms) : quiet_(std::chrono::milliseconds(quiet_ms)) {
    display_ = XOpenDisplay(nullptr);
    if (!display_) throw Failure("cannot open the X display (is DISPLAY set?)");
    root_ = DefaultRootWindow(display_);
    int error_base = 0, major = 0, minor = 0;
    if (!XDamageQueryExtension(display_, &damage_event_, &error_base)) {
      throw Failure("the X server has no DAMAGE extension");
    }
    int event_base = 0;
    if (!XTestQueryExtension(display_, &event_base, &error_base, &major, &minor)) {
      throw Failure("the X server has no XTEST extension");
    }
    damage_ = XDamageCreate(display_, root_, XDamageReportRawRectangles);
    XSelectInput(display_, root_, SubstructureNotifyMask);
    XSync(display_, False);
    utf8_ = XInternAtom(display_, "UTF8_STRING", False);
    net_wm_name_ = XInternAtom(display_, "_NET_WM_NAME", False);
  }
  ~Desk() {
    if (display_) {
      XDamageDestroy(display_, damage_);
      XCloseDisplay(display_);
    }
  }

  void Watch(Program* program) { program_ = program; }

  // --- input ---
  void Key(const char* keysym_name, bool ctrl = false) {
    KeySym sym = XStringToKeysym(keysym_name);
    KeyCode code = XKeysymToKeycode(display_, sym);
    if (code == 0) throw Failure(std::string("no key code for ") + keysym_name);
    KeyCode control = XKeysymToKeycode(display_, XK_Control_L);
    if (ctrl) XTestFakeKeyEvent(display_, control, True, CurrentTime);
    XTestFakeKeyEvent(display_, code, True, CurrentTime);
    XTestFakeKeyEvent(display_, code, False, CurrentTime);
    if (ctrl) XTestFakeKeyEvent(display_, control, False, CurrentTime);
  }
  void Type(const std::string& text) {
    for (char c : text) {
      char name[2] = {c, 0};
      Key(c == ' ' ? "space" : name);
    }
  }
  void MoveTo(int x, int y) { XTestFakeMotionEvent(display_, -1, x, y, CurrentTime); }
  void Click(int x, int y) {
    MoveTo(x, y);
    XTestFakeButtonEvent(display_, 1, True, CurrentTime);
    XTestFakeButtonEvent(display_, 1, False, CurrentTime);
  }
  // Handles every event that came before the input to be timed, so that none is counted for it.
  void Drain() {
    XSync(display_, False);
    while (XPending(display_)) {
      XEvent event;
      XNextEvent(display_, &event);
    }
  }

  // Writes the screen as a PPM image (for finding out why a round failed).
  void Shot(const std::string& path) {
    XWindowAttributes a;
    XGetWindowAttributes(display_, root_, &a);
    XImage* image = XGetImage(display_, root_, 0, 0, a.width, a.height, AllPlanes, ZPixmap);
    if (!image) return;
    std::ofstream out(path, std::ios::binary);
    out << "P6\n" << a.width << " " << a.height << "\n255\n";
    for (int y = 0; y < a.height; ++y) {
      for (int x = 0; x < a.width; ++x) {
        unsigned long p = XGetPixel(image, x, y);
        char rgb[3] = {static_cast<char>(p >> 16), static_cast<char>(p >> 8), static_cast<char>(p)};
        out.write(rgb, 3);
      }
    }
    XDestroyImage(image);
  }

  // Sends what the calls above queued; the time of the input event is taken here.
  Clock::time_point Send() {
    Clock::time_point t = Clock::now();
    XFlush(display_);
    debug_from_ = t;
    return t;
  }

  // --- settling ---
  struct Outcome {
    bool repainted = false;  // settled, having drawn something
    bool drew = false;       // drew something, settled or not
    double ms = 0;           // input to the last damage
  };

  // Waits until the program has drawn, then been quiet (no damage, no processor time) for the
  // quiet period, and `ready` holds. Times out after `timeout_ms`.
  Outcome Settle(Clock::time_point input, int timeout_ms,
                 const std::function<bool()>& ready = nullptr, bool need_damage = true) {
    damage_count_ = 0;
    last_damage_ = input;
    Clock::time_point last_busy = input;
    Program::Activity before = program_ ? program_->ReadActivity() : Program::Activity{};
    const auto deadline = input + std::chrono::milliseconds(timeout_ms);
    while (true) {
      Pump(std::chrono::milliseconds(10));
      Clock::time_point now = Clock::now();
      if (program_) {
        Program::Activity a = program_->ReadActivity();
        if (a.running || a.ticks != before.ticks) last_busy = now;
        before = a;
        if (!program_->Running()) throw Failure("the program ended");
      }
      Clock::time_point quiet_since = std::max(last_damage_, last_busy);
      bool quiet = now - quiet_since >= quiet_;
      if (quiet && (!need_damage || damage_count_ > 0) && (!ready || ready())) {
        return Outcome{damage_count_ > 0, damage_count_ > 0, Ms(last_damage_ - input)};
      }
      if (now > deadline) return Outcome{false, damage_count_ > 0, Ms(now - input)};
    }
  }

  // Settles after an untimed step; a failure to settle is a failure of the run.
  void Calm(const char* what, int timeout_ms, const std::function<bool()>& ready = nullptr) {
    Outcome o = Settle(Clock::now(), timeout_ms, ready, false);
    (void)o;
    if (ready && !ready()) throw Failure(std::string("timed out waiting for ") + what);
  }

  // --- windows ---
  struct Found {
    Window window = 0;
    int x = 0, y = 0, width = 0, height = 0;
  };
  // The viewable top-level window whose title starts with `prefix` (UTF-8).
  std::optional<Found> FindWindow(const std::string& prefix) {
    Window root_return = 0, parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    std::optional<Found> result;
    if (!XQueryTree(display_, root_, &root_return, &parent, &children, &count)) return result;
    for (unsigned i = 0; i < count && !result; ++i) {
      XWindowAttributes attributes;
      if (!XGetWindowAttributes(display_, children[i], &attributes)) continue;
      if (attributes.map_state != IsViewable) continue;
      if (Title(children[i]).rfind(prefix, 0) != 0) continue;
      result = Found{children[i], attributes.x, attributes.y, attributes.width, attributes.height};
    }
    if (children) XFree(children);
    return result;
  }
  // A viewable override-redirect window (a pop-up menu or a drop-down list) bigger than 8x8.
  bool PopupShown() {
    Window root_return = 0, parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    bool shown = false;
    if (!XQueryTree(display_, root_, &root_return, &parent, &children, &count)) return false;
    for (unsigned i = 0; i < count; ++i) {
      XWindowAttributes a;
      if (!XGetWindowAttributes(display_, children[i], &a)) continue;
      if (a.map_state == IsViewable && a.override_redirect && a.width > 8 && a.height > 8) {
        shown = true;
      }
    }
    if (children) XFree(children);
    return shown;
  }

  // The height of the main window's menu bar: the top of the memo text box, found as the first
  // white row from the bottom up in a column through it, less its place in the client area.
  int MenuHeight(const Found& main) {
    XImage* image =
        XGetImage(display_, main.window, 0, 0, main.width, main.height, AllPlanes, ZPixmap);
    if (!image) throw Failure("cannot read the main window's pixels");
    const int x = kMemoTextBox.x;
    int y = main.height - 1;
    auto white = [&](int row) { return (XGetPixel(image, x, row) & 0xFFFFFF) == 0xFFFFFF; };
    while (y > 0 && !white(y)) --y;  // the margin below the box
    while (y > 0 && white(y)) --y;   // the box itself, up to its frame
    XDestroyImage(image);
    int top = y + 1;
    int menu = top - (kMemoTextBoxTop + 1);
    if (menu < 0 || menu > 80) throw Failure("cannot find the memo text box on the screen");
    return menu;
  }

  std::string Title(Window w) {
    Atom type = 0;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    std::string title;
    if (XGetWindowProperty(display_, w, net_wm_name_, 0, 1024, False, utf8_, &type, &format, &items,
                           &after, &data) == Success &&
        data) {
      title.assign(reinterpret_cast<char*>(data), items);
      XFree(data);
      return title;
    }
    char* name = nullptr;
    if (XFetchName(display_, w, &name) && name) {
      title = name;
      XFree(name);
    }
    return title;
  }

 private:
  void Pump(Clock::duration wait) {
    const auto until = Clock::now() + wait;
    while (true) {
      while (XPending(display_)) {
        XEvent event;
        XNextEvent(display_, &event);
        if (event.type == damage_event_ + XDamageNotify) {
          auto* d = reinterpret_cast<XDamageNotifyEvent*>(&event);
          // The blinking text cursor: a narrow rectangle in an edit box.
          if (debug_) {
            std::fprintf(stderr, "  damage %+.1f ms %dx%d+%d+%d\n", Ms(Clock::now() - debug_from_),
                         d->area.width, d->area.height, d->area.x, d->area.y);
          }
          if (d->area.width <= 12 && d->area.height <= 40) continue;
          last_damage_ = Clock::now();
          ++damage_count_;
        }
      }
      auto left = until - Clock::now();
      if (left <= Clock::duration::zero()) return;
      pollfd p{ConnectionNumber(display_), POLLIN, 0};
      poll(&p, 1, std::max(1, static_cast<int>(Ms(left))));
    }
  }

  Display* display_ = nullptr;
  Window root_ = 0;
  int damage_event_ = 0;
  Damage damage_ = 0;
  Atom utf8_ = 0, net_wm_name_ = 0;
  Program* program_ = nullptr;
  Clock::duration quiet_;
  Clock::time_point last_damage_;
  int damage_count_ = 0;
  bool debug_ = std::getenv("MEMO_PROBE_DEBUG") != nullptr;
  Clock::time_point debug_from_;
};

// ------------------------------------------------------------------------------------------------
// One round: start, sign in, every action once.

const char kLoginTitle[] = "登陆到备忘录";
const char kMainTitle[] = "墨川软件之备忘录";
const char kFollowUpTitle[] = "跟进：";

// Every measurement goes to standard output as it is taken, one tab-separated line each:
//   sample  LABEL  SIZE  ACTION  MS  BASELINE_MS
//   memory  LABEL  SIZE  MB
// (--summarise reads these lines back, from any number of runs, and prints the table.)
struct Samples {
  std::string label;
  std::string size;
  std::map<std::string, double> baseline_ms;  // the last baseline taken before each action
  int failures = 0;

  void Action(const std::string& action, double ms) {
    std::printf("sample\t%s\t%s\t%s\t%.2f\t%.2f\n", label.c_str(), size.c_str(), action.c_str(), ms,
                baseline_ms.count(action) ? baseline_ms[action] : -1.0);
    std::fflush(stdout);
  }
  void Memory(double mb) {
    std::printf("memory\t%s\t%s\t%.1f\n", label.c_str(), size.c_str(), mb);
    std::fflush(stdout);
  }
};

class Round {
 public:
  Round(const Options& options, Desk& screen, Samples& samples, int number)
      : options_(options), screen_(screen), samples_(samples), number_(number) {}

  void Run() {
    fs::path home = fs::path(options_.work) / ("round" + std::to_string(number_));
    fs::remove_all(home);
    fs::path data = home / "memo";
    fs::create_directories(data);
    for (const char* name : {"c.mcn", "a.mcn", "a.edt"}) {
      fs::copy_file(fs::path(options_.book) / name, data / name);
    }
    // Today's backup is already made: every sign-in is an ordinary one, not the day's first.
    char day[16];
    std::time_t now = std::time(nullptr);
    std::strftime(day, sizeof day, "%Y-%m-%d", std::localtime(&now));
    fs::create_directories(data / "backups" / day);

    Program program(options_.memo, home.string());
    screen_.Watch(&program);
    try {
      Drive(program);
    } catch (...) {
      screen_.Shot(
          (fs::path(options_.work) / ("failed-round" + std::to_string(number_) + ".ppm")).string());
      screen_.Watch(nullptr);
      throw;
    }
    screen_.Watch(nullptr);
    program.Stop(3000);
    fs::remove_all(home);
  }

 private:
  void Drive(Program& program) {
    const int t = options_.timeout_ms;
    screen_.Calm("the login window", t,
                 [&] { return screen_.FindWindow(kLoginTitle).has_value(); });
    auto login = *screen_.FindWindow(kLoginTitle);
    screen_.MoveTo(login.x + 140, login.y + 70);  // over the label: nothing there reacts
    screen_.Send();
    screen_.Calm("the login window", t);

    // The account box has the focus: its first letter is the baseline.
    Baseline("sign-in", [&] { screen_.Type("t"); });
    screen_.Type("est");
    screen_.Key("Return");  // on to the password box
    screen_.Type("kqzv");
    screen_.Send();
    screen_.Calm("the password", t);
    Timed(
        "sign-in", [&] { screen_.Key("Return"); },
        [&] { return screen_.FindWindow(kMainTitle) && !screen_.FindWindow(kLoginTitle); });

    main_ = *screen_.FindWindow(kMainTitle);
    menu_ = screen_.MenuHeight(main_);
    Move(kNeutral);

    // The first query in this directory copies the memo files: its peak memory too.
    long peak_before = program.PeakKb();
    PickCategory(1);
    BaselineInMemoBox("first query (new directory)");
    Timed("first query (new directory)", [&] { ClickAt(kQueryButton); });
    long peak_after = program.PeakKb();
    if (peak_before > 0 && peak_after > 0) {
      samples_.Memory((peak_after - peak_before) / 1024.0);
    }

    PickCategory(1);
    BaselineInMemoBox("query one category");
    Timed("query one category", [&] { ClickAt(kQueryButton); });

    // The query view: the last memo of the category (the query keeps the table's order, so the
    // search for it in the memo table goes through nearly every row).
    BaselineInMemoBox("delete, one-category view");
    SelectRow(/*last=*/true);
    Timed("delete, one-category view", [&] { ClickAt(kDeleteButton); });

    FollowUp("one-category view", /*last=*/true);

    // Record a memo (the view returns to every memo), then delete it again.
    BaselineInMemoBox("record a memo");
    ClickAt(kMemoTextBox);
    screen_.Type("probe memo " + std::to_string(number_));
    screen_.Send();
    screen_.Calm("the memo text", t);
    Timed("record a memo", [&] { screen_.Key("Return"); });

    BaselineInMemoBox("delete, all memos");
    SelectRow(/*last=*/true);  // the memo just recorded
    Timed("delete, all memos", [&] { ClickAt(kDeleteButton); });

    FollowUp("all memos", /*last=*/false);

    // Esc in the main window ends the program.
    screen_.Key("Escape");
    screen_.Send();
  }

  // Opens the follow-up window of the first or last row and appends an entry.
  void FollowUp(const std::string& view, bool last) {
    const int t = options_.timeout_ms;
    BaselineInMemoBox("open follow-up, " + view);
    SelectRow(last);
    screen_.Key("Right");
    screen_.Send();
    screen_.Calm("the grid's cursor", t);
    screen_.Key("Right");  // into the memo column: the grid's menu pops up
    screen_.Send();
    screen_.Calm("the grid's menu", t, [&] { return screen_.PopupShown(); });
    screen_.Key("Down");
    screen_.Send();
    screen_.Calm("the menu item", t);
    Timed(
        "open follow-up, " + view, [&] { screen_.Key("Return"); },
        [&] { return screen_.FindWindow(kFollowUpTitle).has_value(); });
    // The entry box has the focus.
    Baseline("append follow-up, " + view, [&] { screen_.Type("x"); });
    screen_.Type("ok");
    screen_.Send();
    screen_.Calm("the entry", t);
    Timed("append follow-up, " + view, [&] { screen_.Key("Return"); });
    screen_.Key("Escape");
    screen_.Send();
    screen_.Calm("the follow-up window to close", t,
                 [&] { return !screen_.FindWindow(kFollowUpTitle).has_value(); });
  }

  // Picks item `index` of the query list (0 is "全部").
  void PickCategory(int index) {
    const int t = options_.timeout_ms;
    ClickAt(kQueryList);
    screen_.Send();
    screen_.Calm("the query list", t, [&] { return screen_.PopupShown(); });
    screen_.Key("Home");
    for (int i = 0; i < index; ++i) screen_.Key("Down");
    screen_.Key("Return");
    screen_.Send();
    screen_.Calm("the query list to close", t, [&] { return !screen_.PopupShown(); });
    Move(kNeutral);
  }

  // Puts the grid's cursor on the first or the last row, in the first column.
  void SelectRow(bool last) {
    const int t = options_.timeout_ms;
    ClickAt(kGridFirstRows);
    screen_.Send();
    screen_.Calm("the grid", t);
    if (screen_.PopupShown()) {
      screen_.Key("Escape");
      screen_.Send();
      screen_.Calm("the grid's menu to close", t, [&] { return !screen_.PopupShown(); });
    }
    Move(kNeutral);
    screen_.Key(last ? "Next" : "Prior", /*ctrl=*/true);
    screen_.Key("Home");
    screen_.Send();
    screen_.Calm("the grid's cursor", t);
  }

  // One character typed into the memo text box (and taken back): the baseline of the main
  // window's actions.
  void BaselineInMemoBox(const std::string& action) {
    ClickAt(kMemoTextBox);
    Move(kNeutral);
    screen_.Send();
    screen_.Calm("the memo text box", options_.timeout_ms);
    Baseline(action, [&] { screen_.Type("x"); });
    screen_.Key("BackSpace");
    screen_.Send();
    screen_.Calm("the memo text box", options_.timeout_ms);
  }

  void Baseline(const std::string& action, const std::function<void()>& input) {
    screen_.Drain();
    Note("baseline " + action);
    input();
    Clock::time_point at = screen_.Send();
    Desk::Outcome o = screen_.Settle(at, options_.timeout_ms);
    if (!o.repainted) {
      std::fprintf(stderr, "round %d: the baseline before \"%s\" drew nothing\n", number_,
                   action.c_str());
      ++samples_.failures;
      return;
    }
    samples_.baseline_ms[action] = o.ms;
  }

  void Timed(const std::string& action, const std::function<void()>& input,
             const std::function<bool()>& ready = nullptr) {
    screen_.Drain();
    Note(action);
    input();
    Clock::time_point at = screen_.Send();
    Desk::Outcome o = screen_.Settle(at, options_.timeout_ms, ready);
    if (!o.repainted) {
      std::fprintf(stderr, "round %d: \"%s\" %s\n", number_, action.c_str(),
                   !o.drew             ? "drew nothing in time"
                   : ready && !ready() ? "did not reach its window in time"
                                       : "did not come to rest in time");
      ++samples_.failures;
      throw Failure("the round cannot go on");
    }
    samples_.Action(action, o.ms);
  }

  void Note(const std::string& what) {
    if (std::getenv("MEMO_PROBE_DEBUG")) std::fprintf(stderr, "%s\n", what.c_str());
  }

  void ClickAt(Spot spot) { screen_.Click(main_.x + spot.x, main_.y + menu_ + spot.y); }
  void Move(Spot spot) { screen_.MoveTo(main_.x + spot.x, main_.y + menu_ + spot.y); }

  const Options& options_;
  Desk& screen_;
  Samples& samples_;
  int number_;
  Desk::Found main_;
  int menu_ = 0;
};

// ------------------------------------------------------------------------------------------------

struct Spread {
  double median = 0, min = 0, max = 0;
};
Spread Summarise(std::vector<double> v) {
  Spread s;
  if (v.empty()) return s;
  std::sort(v.begin(), v.end());
  size_t n = v.size();
  s.median = n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
  s.min = v.front();
  s.max = v.back();
  return s;
}

std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> parts;
  std::string::size_type from = 0;
  while (true) {
    auto tab = line.find('\t', from);
    parts.push_back(line.substr(from, tab == std::string::npos ? std::string::npos : tab - from));
    if (tab == std::string::npos) return parts;
    from = tab + 1;
  }
}

std::string Number(double ms) {
  char text[32];
  std::snprintf(text, sizeof text, ms < 10 ? "%.1f" : "%.0f", ms);
  return text;
}

// Reads the sample lines of `path` and prints one table row per size, action and label: the
// median and spread of the action, the median of the baselines taken right before it, and the
// median of the per-round ratios action / baseline (each round's pair was taken under the same
// load). Sizes, actions and labels keep the order of their first sample.
int PrintSummary(const std::string& path) {
  std::ifstream in(path);
  if (!in) {
    std::fprintf(stderr, "memo_gui_probe: cannot read %s\n", path.c_str());
    return 2;
  }
  struct Cell {
    std::vector<double> ms, baseline, ratio;
  };
  std::vector<std::string> sizes, actions, labels;
  auto note = [](std::vector<std::string>& order, const std::string& key) {
    if (std::find(order.begin(), order.end(), key) == order.end()) order.push_back(key);
  };
  std::map<std::string, Cell> cells;                  // size \t action \t label
  std::map<std::string, std::vector<double>> memory;  // size \t label
  std::string line;
  while (std::getline(in, line)) {
    auto f = SplitTabs(line);
    if (f.size() == 6 && f[0] == "sample") {
      note(labels, f[1]);
      note(sizes, f[2]);
      note(actions, f[3]);
      Cell& c = cells[f[2] + "\t" + f[3] + "\t" + f[1]];
      double ms = std::atof(f[4].c_str()), baseline = std::atof(f[5].c_str());
      c.ms.push_back(ms);
      if (baseline > 0) {
        c.baseline.push_back(baseline);
        c.ratio.push_back(ms / baseline);
      }
    } else if (f.size() == 4 && f[0] == "memory") {
      note(labels, f[1]);
      note(sizes, f[2]);
      memory[f[2] + "\t" + f[1]].push_back(std::atof(f[3].c_str()));
    }
  }
  if (cells.empty()) {
    std::fprintf(stderr, "memo_gui_probe: no samples in %s\n", path.c_str());
    return 1;
  }
  std::printf(
      "| memos | action | build | median ms | min–max ms | rounds | baseline ms | "
      "ratio to baseline |\n|---|---|---|---|---|---|---|---|\n");
  for (const auto& size : sizes) {
    for (const auto& action : actions) {
      for (const auto& label : labels) {
        auto it = cells.find(size + "\t" + action + "\t" + label);
        if (it == cells.end()) continue;
        Spread a = Summarise(it->second.ms), b = Summarise(it->second.baseline);
        Spread r = Summarise(it->second.ratio);
        std::printf("| %s | %s | %s | %s | %s–%s | %zu | %s | %.0fx |\n", size.c_str(),
                    action.c_str(), label.c_str(), Number(a.median).c_str(), Number(a.min).c_str(),
                    Number(a.max).c_str(), it->second.ms.size(), Number(b.median).c_str(),
                    r.median);
      }
    }
    for (const auto& label : labels) {
      auto it = memory.find(size + "\t" + label);
      if (it == memory.end()) continue;
      Spread m = Summarise(it->second);
      std::printf(
          "| %s | first query: peak memory above sign-in | %s | %.1f MB | %.1f–%.1f MB | "
          "%zu | | |\n",
          size.c_str(), label.c_str(), m.median, m.min, m.max, it->second.size());
    }
  }
  return 0;
}

void EndChild(int signal_number) {
  if (g_child > 0) kill(g_child, SIGKILL);
  _exit(128 + signal_number);
}

int Usage() {
  std::fprintf(stderr,
               "usage: memo_gui_probe --memo BIN --book DIR --work DIR [--rounds N] "
               "[--quiet-ms MS] [--timeout-ms MS] [--label NAME] [--size MEMOS]\n"
               "       memo_gui_probe --summarise SAMPLES\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--summarise") return PrintSummary(argv[2]);
  Options o;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= argc) throw Failure("missing value after " + a);
      return argv[++i];
    };
    try {
      if (a == "--memo")
        o.memo = value();
      else if (a == "--book")
        o.book = value();
      else if (a == "--work")
        o.work = value();
      else if (a == "--label")
        o.label = value();
      else if (a == "--size")
        o.size = value();
      else if (a == "--rounds")
        o.rounds = std::atoi(value().c_str());
      else if (a == "--quiet-ms")
        o.quiet_ms = std::atoi(value().c_str());
      else if (a == "--timeout-ms")
        o.timeout_ms = std::atoi(value().c_str());
      else
        return Usage();
    } catch (const Failure&) {
      return Usage();
    }
  }
  if (o.memo.empty() || o.book.empty() || o.work.empty() || o.rounds < 1 || o.quiet_ms < 1 ||
      o.timeout_ms < 1) {
    return Usage();
  }
  signal(SIGPIPE, SIG_IGN);
  signal(SIGTERM, EndChild);
  signal(SIGINT, EndChild);
  signal(SIGHUP, EndChild);

  Samples samples;
  samples.label = o.label.empty() ? "memo" : o.label;
  samples.size = o.size.empty() ? "?" : o.size;
  try {
    Desk screen(o.quiet_ms);
    fs::create_directories(o.work);
    for (int r = 1; r <= o.rounds; ++r) {
      try {
        Round(o, screen, samples, r).Run();
      } catch (const Failure& e) {
        std::fprintf(stderr, "memo_gui_probe: round %d failed: %s\n", r, e.what());
        ++samples.failures;
      }
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "memo_gui_probe: %s\n", e.what());
    return 2;
  }
  return samples.failures == 0 ? 0 : 1;
}
