set -eu
. ./check_lib.sh
# The entry reached the memo the row came from once, and only that memo.
expect_records "$1/a.mcn" <<'END'
serial,deleted,分类,时间,记事,跟进
1,false,甲,2014-07-01T08:00:00,同一条,
2,false,乙,2014-07-01T08:00:00,另一条,
3,false,乙,2014-07-01T08:00:00,同一条,2014年7月10日9时5分||特殊跟进时间分割||查询中跟进
END
expect_integrity "$1/a.mcn"
expect_integrity "$1/b.mcn"
