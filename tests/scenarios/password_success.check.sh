set -eu
. ./check_lib.sh
expect_records "$1/c.mcn" <<'END'
serial,deleted,帐号,密码
1,false,老板,四五六
END
expect_integrity "$1/c.mcn"
