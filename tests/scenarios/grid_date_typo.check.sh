# The memo's date is the empty date (mcn shows its day, 100-01-01), its text untouched.
set -eu
. ./check_lib.sh
expect_records "$1/a.mcn" <<'END'
serial,deleted,分类,时间,记事,跟进
1,false,客户,0100-01-01T00:00:00,张三来电,
END
expect_integrity "$1/a.mcn"
