# A memo whose log already holds three entries (oldest first), and one without a log.
set -eu
"$MCN" create "$1/a.mcn" 分类:text:10 时间:datetime 记事:memo 跟进:memo
"$MCN" add "$1/a.mcn" 客户 2014-07-01T08:30:00 张三 \
  "2014年7月2日10时||特殊跟进时间分割||第一次||特殊跟进条目分割||2014年7月3日10时||特殊跟进时间分割||第二次||特殊跟进条目分割||2014年7月4日10时||特殊跟进时间分割||第三次"
"$MCN" add "$1/a.mcn" 供应商 2014-07-02T09:00:00 李四 ""
