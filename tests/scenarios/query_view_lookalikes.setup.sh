# Two memos of 甲 that look alike (same time, same text) and differ only in their logs, with a
# memo of 乙 between them and one more of 甲 after.
set -eu
"$MCN" create "$1/a.mcn" 分类:text:10 时间:datetime 记事:memo 跟进:memo
"$MCN" add "$1/a.mcn" 甲 2014-07-01T08:00:00 同一条 第一个
"$MCN" add "$1/a.mcn" 乙 2014-07-01T08:00:00 另一条 ""
"$MCN" add "$1/a.mcn" 甲 2014-07-01T08:00:00 同一条 第二个
"$MCN" add "$1/a.mcn" 甲 2014-07-02T08:00:00 最后一条 ""
