# An accounts file with the right fields and no record at all.
set -eu
"$MCN" create "$1/c.mcn" 帐号:text:20 密码:text:40
