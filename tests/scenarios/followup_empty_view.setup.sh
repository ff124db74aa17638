# A blank memo (empty category, the empty date, empty text) between two others.
set -eu
"$MCN" create "$1/a.mcn" 分类:text:10 时间:datetime 记事:memo 跟进:memo
"$MCN" add "$1/a.mcn" 甲 2014-07-01T08:00:00 一 ""
"$MCN" add "$1/a.mcn" "" "" "" ""
"$MCN" add "$1/a.mcn" 乙 2014-07-01T08:00:00 二 ""
