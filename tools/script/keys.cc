#include "tools/script/keys.h"

#include <cctype>

#include "platform/input.h"

namespace memo::script {

namespace {

struct NamedKey {
  const char* name;
  int key;
};

constexpr NamedKey kNamedKeys[] = {
    {"enter", platform::vk::kReturn},  {"esc", platform::vk::kEscape},
    {"tab", platform::vk::kTab},       {"up", platform::vk::kUp},
    {"down", platform::vk::kDown},     {"left", platform::vk::kLeft},
    {"right", platform::vk::kRight},   {"pageup", platform::vk::kPrior},
    {"pagedown", platform::vk::kNext}, {"home", platform::vk::kHome},
    {"end", platform::vk::kEnd},       {"space", platform::vk::kSpace},
    {"delete", platform::vk::kDelete}, {"backspace", platform::vk::kBack},
    {"insert", platform::vk::kInsert},
};

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

bool AllDigits(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// The key without modifiers.
bool ParseBareKey(std::string_view text, int* key) {
  std::string name = Lower(text);
  for (const NamedKey& named : kNamedKeys) {
    if (name == named.name) {
      *key = named.key;
      return true;
    }
  }
  if (name.size() >= 2 && name.size() <= 3 && name[0] == 'f' && AllDigits(name.substr(1))) {
    int n = std::stoi(name.substr(1));
    if (n >= 1 && n <= 12) {
      *key = platform::vk::kF1 + n - 1;
      return true;
    }
    return false;
  }
  if (name.size() == 1) {
    unsigned char c = static_cast<unsigned char>(name[0]);
    if (c >= 'a' && c <= 'z') {
      *key = c - 'a' + 'A';
      return true;
    }
    if (c >= '0' && c <= '9') {
      *key = c;
      return true;
    }
    return false;
  }
  if (AllDigits(name) && name.size() <= 3) {
    int n = std::stoi(name);
    if (n >= 10 && n <= 254) {
      *key = n;
      return true;
    }
  }
  return false;
}

}  // namespace

bool ParseKey(std::string_view text, KeyStroke* out, std::string* error) {
  KeyStroke stroke;
  std::string_view rest = text;
  for (;;) {
    size_t plus = rest.find('+');
    // A "+" at the very end would leave no key; "ctrl++" is not a key name.
    if (plus == std::string_view::npos || plus + 1 == rest.size()) break;
    std::string modifier = Lower(rest.substr(0, plus));
    int bit = modifier == "ctrl"    ? platform::kShiftCtrl
              : modifier == "shift" ? platform::kShiftShift
              : modifier == "alt"   ? platform::kShiftAlt
                                    : 0;
    if (bit == 0) {
      *error = "unknown modifier \"" + std::string(rest.substr(0, plus)) +
               "\" (known: ctrl, shift, alt)";
      return false;
    }
    if (stroke.shift & bit) {
      *error = "modifier " + modifier + " given twice";
      return false;
    }
    stroke.shift |= bit;
    rest.remove_prefix(plus + 1);
  }
  if (!ParseBareKey(rest, &stroke.key)) {
    *error = "unknown key \"" + std::string(rest) +
             "\" (Enter, Esc, Tab, arrows, PageUp, PageDown, Home, End, F1..F12, Space, "
             "Delete, Backspace, Insert, a letter or digit, or a virtual-key number 10..254)";
    return false;
  }
  *out = stroke;
  return true;
}

}  // namespace memo::script
