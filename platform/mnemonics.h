// Menu captions as a person reads them. One copy for both backends and memo-script, which all
// find a menu item by the caption a person sees.
#pragma once

#include <string>
#include <string_view>

namespace memo::platform {

// The caption as stored, without its mnemonic marks: every "&" goes and "&&" stands for one "&",
// and a trailing keyboard letter "(&Z)" that the menu bar adds to a caption marking none goes too.
// The trail byte of a GBK character is never a mark, even when it is the byte of "&" (the one
// lead-byte rule of platform/gbk.h: every byte from 0x80 up leads a pair).
std::string StripMnemonics(std::string_view caption_gbk);

}  // namespace memo::platform
