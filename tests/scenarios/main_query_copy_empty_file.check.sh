# The copy made again opens cleanly, empty, with the permission bits of the memo files.
set -eu
. ./check_lib.sh
expect_records "$1/b.mcn" <<'END'
serial,deleted,分类,时间,记事,跟进
END
expect_integrity "$1/b.mcn"
expect_mode "$1/b.mcn" 0600
expect_mode "$1/b.edt" 0640
