set -eu
. ./check_lib.sh
expect_records "$1/a.mcn" <<'END'
serial,deleted,分类,时间,记事,跟进
1,false,客户,2014-07-01T08:30:00,张三,
2,false,供应商,2014-07-02T09:00:00,李四,
END
expect_integrity "$1/a.mcn"
