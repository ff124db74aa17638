# Two accounts: only the first one counts.
set -eu
"$MCN" create "$1/c.mcn" 帐号:text:20 密码:text:40
"$MCN" add "$1/c.mcn" first one
"$MCN" add "$1/c.mcn" second two
