# A memo table private to its owner, and an empty b.mcn beside an old b.edt: what a query stopped
# while it copied the memo table may leave.
set -eu
"$MCN" create "$1/a.mcn" 分类:text:10 时间:datetime 记事:memo 跟进:memo
"$MCN" add "$1/a.mcn" 客户 2014-07-01T08:00:00 一 ""
"$MCN" add "$1/a.mcn" 供应商 2014-07-02T08:00:00 二 ""
chmod 600 "$1/a.mcn"
chmod 640 "$1"/a.[eE][dD][tT]
: > "$1/b.mcn"
printf 'old' > "$1/b.edt"
chmod 666 "$1/b.mcn" "$1/b.edt"
