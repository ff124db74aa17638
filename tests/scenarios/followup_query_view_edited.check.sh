# a.mcn is as the other program left it: its memos have no log, and the refused edit is nowhere.
set -eu
. ./check_lib.sh
expect_records "$1/a.mcn" <<'END'
serial,deleted,分类,时间,记事,跟进
1,false,甲,2014-07-01T08:00:00,同一条,
2,false,乙,2014-07-01T08:00:00,另一条,
3,false,乙,2014-07-01T08:00:00,别人改的,
END
expect_records "$1/b.mcn" <<'END'
serial,deleted,分类,时间,记事,跟进
1,false,乙,2014-07-01T08:00:00,另一条,
2,false,乙,2014-07-01T08:00:00,同一条,2014年7月10日9时5分||特殊跟进时间分割||第一条||特殊跟进条目分割||2014年7月10日9时6分||特殊跟进时间分割||第二条
END
