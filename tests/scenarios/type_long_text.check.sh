# The memo holds every byte typed.
set -eu
. ./check_lib.sh
expected=$(awk 'BEGIN { for (i = 0; i < 2000; i++) printf "记事abc" }')
expect_records "$1/a.mcn" <<END
serial,deleted,分类,时间,记事,跟进
57,false,长文,2014-07-10T09:05:00,$expected,
END
expect_integrity "$1/a.mcn"
