set -eu
. ./check_lib.sh
expect_records "$1/a.mcn" <<'END'
serial,deleted,分类,时间,记事,跟进
1,false,甲,2014-07-01T08:00:00,一,
2,false,,0100-01-01T00:00:00,,
END
