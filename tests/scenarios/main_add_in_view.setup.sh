# Forty memos: more than the grid shows at once.
set -eu
"$MCN" create "$1/a.mcn" 分类:text:10 时间:datetime 记事:memo 跟进:memo
i=1
while [ $i -le 40 ]; do
  "$MCN" add "$1/a.mcn" 客户 2014-07-01T08:00:00 "第$i条" ""
  i=$((i + 1))
done
