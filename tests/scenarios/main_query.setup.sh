# A memo table with repeated categories and one memo without a category.
set -eu
"$MCN" create "$1/a.mcn" 分类:text:10 时间:datetime 记事:memo 跟进:memo
"$MCN" add "$1/a.mcn" 客户 2014-07-01T08:00:00 一 ""
"$MCN" add "$1/a.mcn" 供应商 2014-07-02T08:00:00 二 ""
"$MCN" add "$1/a.mcn" 客户 2014-07-03T08:00:00 三 ""
"$MCN" add "$1/a.mcn" "" 2014-07-04T08:00:00 四 ""
"$MCN" add "$1/a.mcn" 其他 2014-07-05T08:00:00 五 ""
"$MCN" add "$1/a.mcn" 供应商 2014-07-06T08:00:00 六 ""
