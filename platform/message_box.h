// Message boxes in the classic style-word terms: what a style word asks for, and what a box
// returns. Both backends decode the word here, so they agree on every style.
//
// Style word: low 4 bits the buttons (0 OK; 1 OK, Cancel; 2 Abort, Retry, Ignore; 3 Yes, No,
// Cancel; 4 Yes, No; 5 Retry, Cancel), bits 4-7 the icon (16 stop, 32 question, 48 warning,
// 64 information), bits 8-11 the default button (256 second, 512 third, 768 fourth), bits 12-13
// the modality (0 application, 4096 system, 8192 task).
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace memo::platform {

// Results: the button pressed.
constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;
constexpr int kIdAbort = 3;
constexpr int kIdRetry = 4;
constexpr int kIdIgnore = 5;
constexpr int kIdYes = 6;
constexpr int kIdNo = 7;

// Style bits.
constexpr uint32_t kMbOk = 0;
constexpr uint32_t kMbOkCancel = 1;
constexpr uint32_t kMbAbortRetryIgnore = 2;
constexpr uint32_t kMbYesNoCancel = 3;
constexpr uint32_t kMbYesNo = 4;
constexpr uint32_t kMbRetryCancel = 5;
constexpr uint32_t kMbIconStop = 16;
constexpr uint32_t kMbIconQuestion = 32;
constexpr uint32_t kMbIconWarning = 48;
constexpr uint32_t kMbIconInformation = 64;
constexpr uint32_t kMbDefaultButton2 = 256;
constexpr uint32_t kMbDefaultButton3 = 512;
constexpr uint32_t kMbDefaultButton4 = 768;
constexpr uint32_t kMbSystemModal = 4096;
constexpr uint32_t kMbTaskModal = 8192;

enum class BoxIcon { kNone, kStop, kQuestion, kWarning, kInformation };
enum class BoxModality { kApplication, kSystem, kTask };

// A style word decoded.
struct BoxLayout {
  std::vector<int> buttons;  // result ids, left to right
  int default_index = 0;     // index into buttons
  BoxIcon icon = BoxIcon::kNone;
  BoxModality modality = BoxModality::kApplication;
  // What the close control (and Esc) answers: Cancel when the box has one, the only button of a
  // one-button box; none otherwise (the close control is disabled then).
  std::optional<int> close_result;
};

// Decodes a style word. An unknown button code gives OK alone; a default beyond the last button
// falls back to the first; an unknown icon code shows none.
BoxLayout DecodeBoxStyle(uint32_t style);

// The caption of a button in the program's code page ("确定", "取消", ...), and the answer name
// scripts use for it ("OK", "Cancel", ...).
const char* ButtonCaptionUtf8(int id);
const char* ButtonName(int id);
// The result id of a script answer name (case-insensitive); nullopt when unknown. "close" is not
// a button: see BoxLayout::close_result.
std::optional<int> ButtonFromName(std::string_view name);

}  // namespace memo::platform
