# The query copy holds the category's memos, as private as the memo files; nothing else is left.
set -eu
. ./check_lib.sh
expect_records "$1/b.mcn" <<'END'
serial,deleted,分类,时间,记事,跟进
1,false,客户,2014-07-01T08:00:00,一,
2,false,客户,2014-07-03T08:00:00,三,
END
expect_integrity "$1/b.mcn"
expect_mode "$1/b.mcn" 0640
expect_mode "$1/b.edt" 0600
left=$(ls "$1" | grep -c '~' || true)
if [ "$left" != 0 ]; then
  echo "check: passing files left: $(ls "$1")" >&2
  exit 1
fi
