# A memo table private to its owner, a query copy that a query stopped while it copied left
# behind (b.mcn without b.edt), and the passing files of a sort stopped at its commit.
set -eu
"$MCN" create "$1/a.mcn" 分类:text:10 时间:datetime 记事:memo 跟进:memo
"$MCN" add "$1/a.mcn" 客户 2014-07-01T08:00:00 一 ""
"$MCN" add "$1/a.mcn" 供应商 2014-07-02T08:00:00 二 ""
"$MCN" add "$1/a.mcn" 客户 2014-07-03T08:00:00 三 ""
chmod 640 "$1/a.mcn"
chmod 600 "$1"/a.[eE][dD][tT]
cp "$1/a.mcn" "$1/b.mcn"
chmod 644 "$1/b.mcn"
printf 'half a copy' > "$1/b.mcn.~sort4711"
printf 'half a copy' > "$1/b.EDT.~sort4711"
