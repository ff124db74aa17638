#include "platform/message_box.h"

#include <algorithm>
#include <cctype>

namespace memo::platform {

BoxLayout DecodeBoxStyle(uint32_t style) {
  BoxLayout layout;
  switch (style & 0xF) {
    case kMbOkCancel: layout.buttons = {kIdOk, kIdCancel}; break;
    case kMbAbortRetryIgnore: layout.buttons = {kIdAbort, kIdRetry, kIdIgnore}; break;
    case kMbYesNoCancel: layout.buttons = {kIdYes, kIdNo, kIdCancel}; break;
    case kMbYesNo: layout.buttons = {kIdYes, kIdNo}; break;
    case kMbRetryCancel: layout.buttons = {kIdRetry, kIdCancel}; break;
    default: layout.buttons = {kIdOk}; break;
  }
  switch (style & 0xF0) {
    case kMbIconStop: layout.icon = BoxIcon::kStop; break;
    case kMbIconQuestion: layout.icon = BoxIcon::kQuestion; break;
    case kMbIconWarning: layout.icon = BoxIcon::kWarning; break;
    case kMbIconInformation: layout.icon = BoxIcon::kInformation; break;
    default: layout.icon = BoxIcon::kNone; break;
  }
  int default_index = static_cast<int>((style >> 8) & 0xF);
  layout.default_index =
      default_index < static_cast<int>(layout.buttons.size()) ? default_index : 0;
  switch (style & 0x3000) {
    case kMbSystemModal: layout.modality = BoxModality::kSystem; break;
    case kMbTaskModal: layout.modality = BoxModality::kTask; break;
    default: layout.modality = BoxModality::kApplication; break;
  }
  if (std::find(layout.buttons.begin(), layout.buttons.end(), kIdCancel) != layout.buttons.end()) {
    layout.close_result = kIdCancel;
  } else if (layout.buttons.size() == 1) {
    layout.close_result = layout.buttons.front();
  }
  return layout;
}

const char* ButtonCaptionUtf8(int id) {
  switch (id) {
    case kIdOk: return "确定";
    case kIdCancel: return "取消";
    case kIdAbort: return "中止(&A)";
    case kIdRetry: return "重试(&R)";
    case kIdIgnore: return "忽略(&I)";
    case kIdYes: return "是(&Y)";
    case kIdNo: return "否(&N)";
    default: return "";
  }
}

const char* ButtonName(int id) {
  switch (id) {
    case kIdOk: return "OK";
    case kIdCancel: return "Cancel";
    case kIdAbort: return "Abort";
    case kIdRetry: return "Retry";
    case kIdIgnore: return "Ignore";
    case kIdYes: return "Yes";
    case kIdNo: return "No";
    default: return "";
  }
}

std::optional<int> ButtonFromName(std::string_view name) {
  for (int id = kIdOk; id <= kIdNo; ++id) {
    std::string_view candidate = ButtonName(id);
    if (candidate.size() == name.size() &&
        std::equal(name.begin(), name.end(), candidate.begin(), [](char a, char b) {
          return std::tolower(static_cast<unsigned char>(a)) ==
                 std::tolower(static_cast<unsigned char>(b));
        })) {
      return id;
    }
  }
  return std::nullopt;
}

}  // namespace memo::platform
