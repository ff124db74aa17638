# Memos of 甲 and 乙 in turn, and beside them a file of 乙's three memos in the layout of a query
# copy (serials 1 to 3, count 3, next serial 4: what a query for 甲 also writes).
set -eu
"$MCN" create "$1/a.mcn" 分类:text:10 时间:datetime 记事:memo 跟进:memo
"$MCN" add "$1/a.mcn" 甲 2014-07-01T08:00:00 一 j1
"$MCN" add "$1/a.mcn" 乙 2014-07-02T08:00:00 二 y1
"$MCN" add "$1/a.mcn" 甲 2014-07-03T08:00:00 三 j2
"$MCN" add "$1/a.mcn" 乙 2014-07-04T08:00:00 四 y2
"$MCN" add "$1/a.mcn" 甲 2014-07-05T08:00:00 五 j3
"$MCN" add "$1/a.mcn" 乙 2014-07-06T08:00:00 六 y3
"$MCN" create "$1/other.mcn" 分类:text:10 时间:datetime 记事:memo 跟进:memo
"$MCN" add "$1/other.mcn" 乙 2014-07-02T08:00:00 二 y1
"$MCN" add "$1/other.mcn" 乙 2014-07-04T08:00:00 四 y2
"$MCN" add "$1/other.mcn" 乙 2014-07-06T08:00:00 六 y3
for memo in "$1"/other.[eE][dD][tT]; do
  [ "$memo" = "$1/other.memo" ] || mv "$memo" "$1/other.memo"
done
