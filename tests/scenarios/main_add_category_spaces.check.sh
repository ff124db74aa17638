set -eu
. ./check_lib.sh
expect_records "$1/a.mcn" <<'END'
serial,deleted,分类,时间,记事,跟进
57,false,大 客户,2014-07-10T09:05:00,内部有空格,
58,false," 客户",2014-07-10T09:05:00,前面有空格,
END
expect_records "$1/b.mcn" <<'END'
serial,deleted,分类,时间,记事,跟进
1,false,大 客户,2014-07-10T09:05:00,内部有空格,
END
