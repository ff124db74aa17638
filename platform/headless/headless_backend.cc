#include "platform/headless/headless_backend.h"

#include <algorithm>
#include <utility>

#include "platform/gbk.h"
#include "platform/message_box.h"
#include "platform/mnemonics.h"

namespace memo::platform {

namespace {

// The enabled, choosable item with that caption, depth first; null when none.
const MenuEntry* FindMenuItem(const std::vector<MenuEntry>& items, const std::string& caption) {
  for (const MenuEntry& item : items) {
    if (item.separator) continue;
    if (item.children.empty()) {
      if (!item.disabled && item.command_id != 0 && StripMnemonics(item.caption_gbk) == caption)
        return &item;
    } else if (!item.disabled) {
      if (const MenuEntry* found = FindMenuItem(item.children, caption)) return found;
    }
  }
  return nullptr;
}

// The character height of a font in the headless world's fixed metrics.
int CharHeight(const FontSpec& font) {
  if (font.height < 0) return -font.height;
  if (font.height > 0) return font.height;
  return 12;
}

}  // namespace

HeadlessBackend::HeadlessBackend() = default;

HeadlessBackend::~HeadlessBackend() {
  // Windows still alive belong to their owners; forget them so they do not call back.
  for (HeadlessWindow* window : windows_) window->backend_ = nullptr;
}

void HeadlessBackend::QueueBoxAnswer(std::optional<int> id) { box_answers_.push_back(id); }

void HeadlessBackend::QueuePopupChoice(std::string caption_gbk) {
  popup_choices_.push_back(std::move(caption_gbk));
}

void HeadlessBackend::QueuePasswordAnswer(std::optional<std::string> text_gbk) {
  password_answers_.push_back(std::move(text_gbk));
}

void HeadlessBackend::AdvanceTime(uint32_t milliseconds) {
  uint64_t target = ticks_ + milliseconds;
  // Fire due timers in time order; a tick may stop or start timers.
  for (;;) {
    auto next = timers_.end();
    for (auto it = timers_.begin(); it != timers_.end(); ++it) {
      if (it->second.due <= target && (next == timers_.end() || it->second.due < next->second.due))
        next = it;
    }
    if (next == timers_.end()) break;
    ticks_ = std::max(ticks_, next->second.due);
    next->second.due += static_cast<uint64_t>(next->second.interval);
    std::function<void()> tick = next->second.tick;
    tick();
  }
  ticks_ = target;
}

std::function<void()> HeadlessBackend::TakeTask() {
  std::lock_guard<std::mutex> lock(tasks_mutex_);
  if (tasks_.empty()) return nullptr;
  std::function<void()> task = std::move(tasks_.front());
  tasks_.pop_front();
  return task;
}

size_t HeadlessBackend::pending_tasks() const {
  std::lock_guard<std::mutex> lock(tasks_mutex_);
  return tasks_.size();
}

void HeadlessBackend::RunPendingTasks() {
  while (std::function<void()> task = TakeTask()) task();
}

std::optional<int> HeadlessBackend::pending_quit() const { return loops_.pending_quit(); }

std::unique_ptr<Window> HeadlessBackend::CreateWindow(const WindowStyle& style) {
  auto window = std::make_unique<HeadlessWindow>(this, style);
  windows_.push_back(window.get());
  return window;
}

int HeadlessBackend::TrackPopupMenu(Window* /*owner*/, const std::vector<MenuEntry>& items,
                                    Point screen) {
  ShownPopup shown;
  for (const MenuEntry& item : items) {
    shown.captions_gbk.push_back(item.separator ? std::string("-") : item.caption_gbk);
  }
  shown.position = screen;
  if (!popup_choices_.empty()) {
    shown.choice_gbk = std::move(popup_choices_.front());
    popup_choices_.pop_front();
    if (!shown.choice_gbk.empty()) {
      const MenuEntry* item = FindMenuItem(items, StripMnemonics(shown.choice_gbk));
      if (item) {
        shown.result = item->command_id;
      } else {
        shown.choice_missing = true;
      }
    }
  }
  popups_.push_back(shown);
  if (on_popup) on_popup(popups_.back());
  return shown.result;
}

int HeadlessBackend::ShowMessageBox(std::string_view text_gbk, std::string_view title_gbk,
                                    uint32_t style) {
  BoxLayout layout = DecodeBoxStyle(style);
  ShownBox shown;
  shown.title_gbk = title_gbk;
  shown.text_gbk = text_gbk;
  shown.style = style;
  // Without a queued answer a person presses OK, or the only button there is.
  std::optional<int> answer;
  if (!box_answers_.empty()) {
    std::optional<int> queued = box_answers_.front();
    box_answers_.pop_front();
    if (!queued) {
      answer = layout.close_result;
    } else if (std::find(layout.buttons.begin(), layout.buttons.end(), *queued) !=
               layout.buttons.end()) {
      answer = queued;
    }
  } else if (std::find(layout.buttons.begin(), layout.buttons.end(), kIdOk) !=
             layout.buttons.end()) {
    answer = kIdOk;
  } else if (layout.buttons.size() == 1) {
    answer = layout.buttons.front();
  }
  if (!answer) {
    // The queued answer cannot be given to this box (or nothing was queued for a box without OK):
    // answer as the close control would, else with the default button, and say so.
    // A box that has neither OK nor a single button needs a queued answer.
    shown.answer_refused = true;
    answer = layout.close_result ? *layout.close_result : layout.buttons[layout.default_index];
  }
  shown.result = *answer;
  boxes_.push_back(shown);
  if (on_box) on_box(boxes_.back());
  return shown.result;
}

std::optional<std::string> HeadlessBackend::AskPassword(std::string_view caption_gbk,
                                                        std::string_view prompt_gbk) {
  ShownPasswordDialog shown;
  shown.caption_gbk = caption_gbk;
  shown.prompt_gbk = prompt_gbk;
  std::optional<std::string> answer;
  if (!password_answers_.empty()) {
    answer = std::move(password_answers_.front());
    password_answers_.pop_front();
  }
  shown.answered = answer.has_value();
  password_dialogs_.push_back(shown);
  return answer;
}

bool HeadlessBackend::OpenHelp(std::string_view file_gbk, int topic) {
  help_opened_.emplace_back(std::string(file_gbk), topic);
  return true;
}

Backend::LoopResult HeadlessBackend::RunLoop() {
  const int depth = loops_.Enter();
  // Leaves this loop however it is left (ProgramEnded unwinds through here).
  struct FramePop {
    LoopNest* loops;
    int depth;
    ~FramePop() { loops->Leave(depth); }
  } pop{&loops_, depth};

  for (;;) {
    if (std::optional<int> quit = loops_.TakeQuit(depth)) {
      return LoopResult{LoopExit::kQuit, *quit};
    }
    if (loops_.ended(depth)) return LoopResult{LoopExit::kEnded, 0};
    if (std::function<void()> task = TakeTask()) {
      task();
      continue;
    }
    if (idle_) {
      std::function<bool()> idle = idle_;
      if (idle()) continue;
    }
    if (driver_) {
      std::function<bool()> driver = driver_;
      if (driver()) continue;
    }
    return LoopResult{LoopExit::kStalled, 0};
  }
}

void HeadlessBackend::EndLoop(int depth) { loops_.End(depth); }

void HeadlessBackend::PostQuit(int code) { loops_.PostQuit(code); }

void HeadlessBackend::PostTask(std::function<void()> task) {
  std::lock_guard<std::mutex> lock(tasks_mutex_);
  tasks_.push_back(std::move(task));
}

int HeadlessBackend::StartTimer(int interval_ms, std::function<void()> tick) {
  int id = next_timer_++;
  Timer timer;
  timer.interval = interval_ms > 0 ? interval_ms : 1;
  timer.due = ticks_ + static_cast<uint64_t>(timer.interval);
  timer.tick = std::move(tick);
  timers_.emplace(id, std::move(timer));
  return id;
}

void HeadlessBackend::StopTimer(int timer_id) { timers_.erase(timer_id); }

void HeadlessBackend::Terminate(int code) { throw ProgramEnded{code}; }

FontSpec HeadlessBackend::DefaultGuiFont() { return FontSpec{}; }

FontMetrics HeadlessBackend::MeasureFont(const FontSpec& font) {
  int h = CharHeight(font);
  FontMetrics metrics;
  metrics.height = h;
  metrics.ascent = h * 4 / 5;
  metrics.descent = h - metrics.ascent;
  metrics.average_char_width = (h + 1) / 2;
  return metrics;
}

// Fixed metrics: a single-byte character is half the character height wide (rounded up), a
// double-byte character the full height; every line is one character height.
Size HeadlessBackend::MeasureText(const FontSpec& font, std::string_view text_gbk) {
  int h = CharHeight(font);
  int half = (h + 1) / 2;
  int widest = 0, width = 0, lines = 1;
  for (size_t i = 0; i < text_gbk.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(text_gbk[i]);
    if (c == '\n') {
      widest = std::max(widest, width);
      width = 0;
      ++lines;
    } else if (c == '\r') {
      // part of a line break
    } else if (GbkCharSize(text_gbk, i) == 2) {
      width += h;
      ++i;
    } else {
      width += half;
    }
  }
  widest = std::max(widest, width);
  return Size{widest, lines * h};
}

bool HeadlessBackend::SetClipboard(ClipboardContent content) {
  clipboard_ = std::move(content);
  return true;
}

std::optional<std::string> HeadlessBackend::ClipboardText() {
  std::optional<std::string_view> text = clipboard_.Text();
  if (!text) return std::nullopt;
  return std::string(*text);
}

std::optional<std::string> HeadlessBackend::ClipboardData(std::string_view format_name) {
  for (const auto& [name, bytes] : clipboard_.formats) {
    if (name == format_name) return bytes;
  }
  return std::nullopt;
}

void HeadlessBackend::MoveFocus(Control* to) {
  if (focus_ == to) return;
  Control* from = focus_;
  focus_ = to;
  if (from) {
    if (HeadlessControlState* state = HeadlessStateOf(from)) {
      InputEvent lost;
      lost.kind = InputKind::kFocusLost;
      state->window()->Deliver(from, lost);
    }
  }
  // The focus may have moved again inside the focus-lost handling.
  if (to && focus_ == to) {
    if (HeadlessControlState* state = HeadlessStateOf(to)) {
      active_ = state->window();
      InputEvent gained;
      gained.kind = InputKind::kFocusGained;
      state->window()->Deliver(to, gained);
    }
  }
}

void HeadlessBackend::WindowDestroyed(HeadlessWindow* window) {
  windows_.erase(std::remove(windows_.begin(), windows_.end(), window), windows_.end());
  if (focus_) {
    HeadlessControlState* state = HeadlessStateOf(focus_);
    if (state && state->window() == window) focus_ = nullptr;
  }
  if (active_ == window) {
    active_ = nullptr;
    for (auto it = windows_.rbegin(); it != windows_.rend(); ++it) {
      if ((*it)->IsVisible()) {
        active_ = *it;
        break;
      }
    }
  }
}

bool HeadlessBackend::WindowAlive(uint64_t serial) const {
  return std::any_of(windows_.begin(), windows_.end(),
                     [serial](const HeadlessWindow* w) { return w->serial_ == serial; });
}

void HeadlessBackend::ControlDestroyed(Control* control) {
  if (focus_ == control) focus_ = nullptr;
}

}  // namespace memo::platform
