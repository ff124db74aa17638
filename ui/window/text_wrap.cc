#include "ui/window/text_wrap.h"

#include <algorithm>
#include <unordered_map>

#include "platform/backend.h"
#include "platform/gbk.h"

namespace memo::ui {

namespace {

// Character widths, measured once per character and text: a memo of a few thousand bytes is
// wrapped with one measurement per distinct character.
class Measure {
 public:
  explicit Measure(const platform::FontSpec& font)
      : font_(font), backend_(platform::CurrentBackend()) {}

  int Width(std::string_view character) {
    if (!backend_) return 8;
    auto found = widths_.find(std::string(character));
    if (found != widths_.end()) return found->second;
    int width = backend_->MeasureText(font_, character).width;
    widths_.emplace(std::string(character), width);
    return width;
  }
  int LineHeight() {
    if (!backend_) return 16;
    return std::max(1, backend_->MeasureText(font_, "W").height);
  }

 private:
  platform::FontSpec font_;
  platform::Backend* backend_;
  std::unordered_map<std::string, int> widths_;
};

}  // namespace

std::string WrappedText::Joined() const {
  std::string text;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) text += "\r\n";
    text += lines[i];
  }
  return text;
}

WrappedText WrapText(const platform::FontSpec& font, std::string_view text, int width) {
  width = std::max(1, width);
  Measure measure(font);
  WrappedText wrapped;
  wrapped.line_height = measure.LineHeight();
  std::string line;
  int line_width = 0;
  size_t last_space = std::string::npos;  // in `line`: the byte after the last space
  int width_at_space = 0;
  auto finish = [&](std::string done, int done_width) {
    wrapped.widest = std::max(wrapped.widest, done_width);
    wrapped.lines.push_back(std::move(done));
  };
  for (size_t at = 0; at < text.size();) {
    const size_t size = std::max<size_t>(1, GbkCharSize(text, at));
    const std::string_view character = text.substr(at, size);
    at += size;
    if (character == "\r" && at < text.size() && text[at] == '\n') continue;
    if (character == "\r" || character == "\n") {
      finish(std::move(line), line_width);
      line.clear();
      line_width = 0;
      last_space = std::string::npos;
      continue;
    }
    const int w = measure.Width(character);
    if (!line.empty() && line_width + w > width) {
      if (last_space != std::string::npos && last_space < line.size()) {
        // Break after the last space; what follows it starts the next line.
        std::string rest = line.substr(last_space);
        line.resize(last_space);
        finish(std::move(line), width_at_space);
        line = std::move(rest);
        line_width -= width_at_space;
      } else {
        finish(std::move(line), line_width);
        line.clear();
        line_width = 0;
      }
      last_space = std::string::npos;
    }
    line.append(character);
    line_width += w;
    if (character == " ") {
      last_space = line.size();
      width_at_space = line_width;
    }
  }
  finish(std::move(line), line_width);
  return wrapped;
}

}  // namespace memo::ui
