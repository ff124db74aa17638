# Accounts that fill the 20 bytes of the field, with no NUL after them: ten double-byte
# characters, and twenty letters.
set -eu
"$MCN" create "$1/c.mcn" 帐号:text:20 密码:text:40
"$MCN" add "$1/c.mcn" 一二三四五六七八九十 pw
