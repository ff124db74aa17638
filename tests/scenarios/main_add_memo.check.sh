# The three memos are in a.mcn in the order they were recorded, with empty follow-up logs.
set -eu
. ./check_lib.sh
expect_records "$1/a.mcn" <<'END'
serial,deleted,分类,时间,记事,跟进
57,false,客户,2014-07-10T09:05:00,张三 来电，约下周见面,
58,false,供应商,2014-07-10T10:30:15,到货,
59,false,客户,2014-07-11T08:00:00,回访,
END
expect_integrity "$1/a.mcn"
