#include "platform/mnemonics.h"

#include "platform/gbk.h"

namespace memo::platform {

std::string StripMnemonics(std::string_view caption_gbk) {
  std::string out;
  for (size_t i = 0; i < caption_gbk.size(); ++i) {
    if (GbkCharSize(caption_gbk, i) == 2) {  // a GBK pair: its trail byte is never a mark
      out += caption_gbk[i];
      out += caption_gbk[++i];
      continue;
    }
    if (caption_gbk[i] == '&') {
      if (i + 1 < caption_gbk.size() && caption_gbk[i + 1] == '&') out += caption_gbk[++i];
      continue;
    }
    out += caption_gbk[i];
  }
  return out;
}

}  // namespace memo::platform
