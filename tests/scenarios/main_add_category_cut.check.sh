# The stored categories are the cut forms, zero-padded: nothing of a split character is kept.
set -eu
. ./check_lib.sh
expect_records "$1/a.mcn" <<'END'
serial,deleted,分类,时间,记事,跟进
57,false,客户关系管,2014-07-10T09:05:00,整字截断,
58,false,a客户关系,2014-07-10T09:05:00,半字截断,
59,false,a客户关系,2014-07-10T09:05:00,再一条,
END
