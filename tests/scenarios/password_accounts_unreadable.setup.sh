# An accounts file without any account, to be copied over c.mcn while the program runs.
set -eu
"$MCN" create "$1/empty.mcn" 帐号:text:20 密码:text:40
