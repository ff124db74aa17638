// The initial letter of a Chinese character's pinyin, for the menu bar's keyboard letters: a
// caption without a marked letter is reached with Alt and the first letter of its first
// character's pinyin (帐号管理: Z).
//
// The level-1 characters of GB2312 (lead bytes 0xB0..0xD7) are ordered by their pinyin, so each
// initial letter covers one run of codes; the level-2 characters are ordered by radical and
// have no initial here, nor do the other characters of GBK.
#pragma once

#include <string_view>

namespace memo::ui {

// 'A'..'Z' (never I, U or V) for a level-1 character at the start of `text_gbk`; for an ASCII
// letter or digit its upper case; otherwise 0.
char PinyinInitial(std::string_view text_gbk);

}  // namespace memo::ui
