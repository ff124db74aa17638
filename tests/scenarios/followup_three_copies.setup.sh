# One memo, without follow-up entries yet.
set -eu
"$MCN" create "$1/a.mcn" 分类:text:10 时间:datetime 记事:memo 跟进:memo
"$MCN" add "$1/a.mcn" 客户 2014-07-01T08:00:00 张三来电 ""
