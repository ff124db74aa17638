# A record file under the accounts file's name, but without the field 帐号.
set -eu
"$MCN" create "$1/c.mcn" 用户:text:20 密码:text:40
"$MCN" add "$1/c.mcn" test kqzv
