# The account 甲, and another accounts file with 乙 that replaces it while the program runs.
set -eu
"$MCN" create "$1/c.mcn" 帐号:text:20 密码:text:40
"$MCN" add "$1/c.mcn" 甲 一一
"$MCN" create "$1/other.mcn" 帐号:text:20 密码:text:40
"$MCN" add "$1/other.mcn" 乙 一一
