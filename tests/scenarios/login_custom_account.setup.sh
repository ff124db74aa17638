# An accounts file with an account and a password in Chinese characters.
set -eu
"$MCN" create "$1/c.mcn" 帐号:text:20 密码:text:40
"$MCN" add "$1/c.mcn" 管理员 密码一二三
