# The last query (全部, before the memo was recorded) emptied b.mcn; a.mcn has the new memo at its
# end.
set -eu
. ./check_lib.sh
expect_records "$1/b.mcn" <<'END'
serial,deleted,分类,时间,记事,跟进
END
expect_records "$1/a.mcn" <<'END'
serial,deleted,分类,时间,记事,跟进
1,false,客户,2014-07-01T08:00:00,一,
2,false,供应商,2014-07-02T08:00:00,二,
3,false,客户,2014-07-03T08:00:00,三,
4,false,,2014-07-04T08:00:00,四,
5,false,其他,2014-07-05T08:00:00,五,
6,false,供应商,2014-07-06T08:00:00,六,
7,false,其他,2014-07-10T09:05:00,七,
END
expect_integrity "$1/b.mcn"
