# Two memos with the same time and text in different categories (甲 first), and one more of 乙;
# x.mcn is the memo table as another program leaves it meanwhile: 乙's 同一条 became 别人改的.
set -eu
"$MCN" create "$1/a.mcn" 分类:text:10 时间:datetime 记事:memo 跟进:memo
"$MCN" add "$1/a.mcn" 甲 2014-07-01T08:00:00 同一条 ""
"$MCN" add "$1/a.mcn" 乙 2014-07-01T08:00:00 另一条 ""
"$MCN" add "$1/a.mcn" 乙 2014-07-01T08:00:00 同一条 ""
"$MCN" create "$1/x.mcn" 分类:text:10 时间:datetime 记事:memo 跟进:memo
"$MCN" add "$1/x.mcn" 甲 2014-07-01T08:00:00 同一条 ""
"$MCN" add "$1/x.mcn" 乙 2014-07-01T08:00:00 另一条 ""
"$MCN" add "$1/x.mcn" 乙 2014-07-01T08:00:00 别人改的 ""
