# Three copies of the program append 100 follow-up entries each to the one memo at the same
# time. Each copy signs in and opens the memo's follow-up window while the others wait (signing
# in opens the files, which a busy record would refuse), then all three append together. Every
# entry is kept, each copy's in the order it typed them.
set -eu
. ./check_lib.sh
dir=$1
for copy in 甲 乙 丙; do
  script="$dir/append_$copy.script"
  {
    echo "clock 2014-07-10 10:00:00"
    echo "start"
    echo "type login 编辑框1 test"
    echo "type login 编辑框2 kqzv"
    echo "click login 按钮登陆"
    echo "choose 跟进"
    echo "cell main 表格1 1 3"
    echo "expect-open followup"
    echo "put-file ready_$copy x"
    echo "wait-file go"
    i=1
    while [ "$i" -le 100 ]; do
      echo "type followup 编辑框1 $copy$i"
      echo "key followup 编辑框1 Enter"
      echo "expect followup 编辑框1 8 \"\""
      i=$((i + 1))
    done
    echo "close followup"
  } > "$script"
done
pids=""
for copy in 甲 乙 丙; do
  "$MEMO_SCRIPT" --dir "$dir" "$dir/append_$copy.script" > "$dir/append_$copy.out" 2>&1 &
  pids="$pids $!"
  # The next copy starts once this one has signed in and opened the window.
  until [ -e "$dir/ready_$copy" ]; do
    if ! kill -0 "$!" 2> /dev/null; then cat "$dir/append_$copy.out"; exit 1; fi
    sleep 0.05
  done
done
: > "$dir/go"
failed=0
for pid in $pids; do
  wait "$pid" || failed=1
done
if [ "$failed" -ne 0 ]; then
  cat "$dir"/append_*.out
  echo "check: a copy of the program failed"
  exit 1
fi
# The log: the first entry, then 300 more; each copy's entries 1..100 in order.
"$MCN" dump --csv "$dir/a.mcn" | tr -d '\r' | sed -n 2p | awk -F',' '{print $6}' |
  sed 's/||特殊跟进条目分割||/\n/g' | sed 's/.*||特殊跟进时间分割||//' > "$dir/entries"
count=$(wc -l < "$dir/entries")
if [ "$count" -ne 301 ]; then
  echo "check: the log holds $count entries, expected 301"
  exit 1
fi
if [ "$(sed -n 1p "$dir/entries")" != "起头" ]; then
  echo "check: the first entry is not 起头"
  exit 1
fi
for copy in 甲 乙 丙; do
  grep "^$copy" "$dir/entries" > "$dir/entries_$copy" || true
  i=1
  while [ "$i" -le 100 ]; do echo "$copy$i"; i=$((i + 1)); done > "$dir/expected_$copy"
  if ! cmp -s "$dir/entries_$copy" "$dir/expected_$copy"; then
    echo "check: the entries of copy $copy are not $copy""1..$copy""100 in order:"
    diff "$dir/expected_$copy" "$dir/entries_$copy" | head -20
    exit 1
  fi
done
expect_integrity "$dir/a.mcn"
