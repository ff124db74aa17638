#include "platform/mnemonics.h"

#include <cctype>

#include "platform/gbk.h"

namespace memo::platform {

std::string StripMnemonics(std::string_view caption_gbk) {
  // The keyboard letter "(&Z)" the menu bar adds after a caption that marks none is no part of
  // the caption as stored.
  if (caption_gbk.size() > 4 && caption_gbk.substr(caption_gbk.size() - 4, 2) == "(&" &&
      caption_gbk.back() == ')' &&
      std::isalnum(static_cast<unsigned char>(caption_gbk[caption_gbk.size() - 2]))) {
    caption_gbk.remove_suffix(4);
  }
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
