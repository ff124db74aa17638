# Only 乙's memo "二" is gone.
set -eu
. ./check_lib.sh
expect_records "$1/a.mcn" <<'END'
serial,deleted,分类,时间,记事,跟进
1,false,甲,2014-07-01T08:00:00,一,j1
3,false,甲,2014-07-03T08:00:00,三,j2
4,false,乙,2014-07-04T08:00:00,四,y2
5,false,甲,2014-07-05T08:00:00,五,j3
6,false,乙,2014-07-06T08:00:00,六,y3
END
expect_integrity "$1/a.mcn"
