set -eu
. ./check_lib.sh
expect_records "$1/a.mcn" <<'END'
serial,deleted,分类,时间,记事,跟进
1,false,客户,2014-07-01T08:00:00,一,
3,false,客户,2014-07-03T08:00:00,三,
4,false,,2014-07-04T08:00:00,四,
END
expect_records "$1/b.mcn" <<'END'
serial,deleted,分类,时间,记事,跟进
END
expect_integrity "$1/a.mcn"
