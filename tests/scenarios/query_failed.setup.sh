# Two memos, to be left exactly as they are.
set -eu
"$MCN" create "$1/a.mcn" 分类:text:10 时间:datetime 记事:memo 跟进:memo
"$MCN" add "$1/a.mcn" 客户 2014-07-01T08:30:00 张三 ""
"$MCN" add "$1/a.mcn" 供应商 2014-07-02T09:00:00 李四 ""
