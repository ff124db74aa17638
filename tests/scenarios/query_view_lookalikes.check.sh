# The first memo of 甲 is gone, the second holds the entry, the others are untouched.
set -eu
. ./check_lib.sh
expect_records "$1/a.mcn" <<'END'
serial,deleted,分类,时间,记事,跟进
2,false,乙,2014-07-01T08:00:00,另一条,
3,false,甲,2014-07-01T08:00:00,同一条,第二个||特殊跟进条目分割||2014年7月10日9时5分||特殊跟进时间分割||回电
4,false,甲,2014-07-02T08:00:00,最后一条,
END
expect_integrity "$1/a.mcn"
expect_integrity "$1/b.mcn"
