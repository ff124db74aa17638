set -eu
. ./check_lib.sh
expect_records "$1/c.mcn" <<'END'
serial,deleted,帐号,密码
1,false,abcdefghijklmnopqrst,0123456789012345678901234567890123456789
END
expect_integrity "$1/c.mcn"
