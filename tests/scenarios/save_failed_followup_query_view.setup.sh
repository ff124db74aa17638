# Two memos with the same time and text in different categories (甲 first), and one more of 乙.
set -eu
"$MCN" create "$1/a.mcn" 分类:text:10 时间:datetime 记事:memo 跟进:memo
"$MCN" add "$1/a.mcn" 甲 2014-07-01T08:00:00 同一条 ""
"$MCN" add "$1/a.mcn" 乙 2014-07-01T08:00:00 另一条 ""
"$MCN" add "$1/a.mcn" 乙 2014-07-01T08:00:00 同一条 ""
