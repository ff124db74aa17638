#!/usr/bin/env bash
# mcn against the sqlite3 shell on the same rows: `mcn dump --csv` against `sqlite3 -csv`, and
# `mcn check` against `PRAGMA integrity_check`.
#
#   bash bench/mcn_vs_sqlite.sh MCN [ROUNDS] [MEMOS] [BASELINE_MCN]
#
# Builds a memo table of MEMOS records (default 100000) in the memo program's layout (category
# text of 10 bytes, time stamp, a memo text of about 200 bytes and a follow-up log of three
# entries) with `MCN create` and `MCN import`, and the same rows in an SQLite table with the
# peer benchmark's columns (cat TEXT, t REAL, note TEXT, follow TEXT). Then runs each command
# alternately for ROUNDS rounds (default 5), output to /dev/null, and prints the median wall time
# of each and the ratios. With BASELINE_MCN (an older mcn binary) its two commands join the
# rounds too, and their output is compared with MCN's, byte for byte.
# Scratch files go to MEMO_BENCH_DIR (default /tmp).
set -euo pipefail

mcn=${1:?usage: mcn_vs_sqlite.sh MCN [ROUNDS] [MEMOS] [BASELINE_MCN]}
rounds=${2:-5}
memos=${3:-100000}
baseline=${4:-}
command -v sqlite3 >/dev/null || { echo "sqlite3 is missing (scripts/deps.sh installs it)" >&2; exit 1; }

work=$(mktemp -d "${MEMO_BENCH_DIR:-/tmp}/mcn_vs_sqlite.XXXXXX")
trap 'rm -rf "$work"' EXIT

# The rows: memo i in category i mod 20, one second apart from 2014-07-10 09:00:00 (day number
# 41830.375), a memo text of about 200 bytes, and a log of three follow-up entries as the program
# writes them ("||特殊跟进条目分割||" between entries, "||特殊跟进时间分割||" after each date).
awk -v n="$memos" -v mcn_csv="$work/rows.csv" -v sql_csv="$work/rows_sql.csv" 'BEGIN {
  print "cat,t,note,follow" > mcn_csv
  for (i = 0; i < n; ++i) {
    cat = sprintf("分类%02d", i % 20)
    s = 9 * 3600 + i
    iso = sprintf("2014-07-%02d %02d:%02d:%02d", 10 + int(s / 86400), int(s % 86400 / 3600),
                  int(s % 3600 / 60), s % 60)
    day = sprintf("%.10f", 41830 + s / 86400)
    note = sprintf("备忘 %d：客户来电询问报价，约定下周再联系。", i)
    while (length(note) < 150) note = note " 第" i "号客户的说明文字"
    log_text = ""
    for (e = 0; e < 3; ++e) {
      if (e > 0) log_text = log_text "||特殊跟进条目分割||"
      log_text = log_text sprintf("2014年7月%d日||特殊跟进时间分割||called customer %d, entry %d",
                                  10 + e, i, e + 1)
    }
    printf "%s,%s,\"%s\",\"%s\"\n", cat, iso, note, log_text > mcn_csv
    printf "%s,%s,\"%s\",\"%s\"\n", cat, day, note, log_text > sql_csv
  }
}'

"$mcn" create "$work/book.mcn" cat:text:10 t:datetime note:memo follow:memo >/dev/null
"$mcn" import "$work/book.mcn" "$work/rows.csv" >/dev/null
sqlite3 "$work/book.db" <<EOF
CREATE TABLE memo(cat TEXT, t REAL, note TEXT, follow TEXT);
.mode csv
.import $work/rows_sql.csv memo
EOF
[ "$(sqlite3 "$work/book.db" 'SELECT count(*) FROM memo')" = "$memos" ] || {
  echo "the SQLite table did not take every row" >&2; exit 1; }

if [ -n "$baseline" ]; then
  "$mcn" dump "$work/book.mcn" --csv >"$work/dump_new.csv"
  "$baseline" dump "$work/book.mcn" --csv >"$work/dump_old.csv"
  cmp -s "$work/dump_new.csv" "$work/dump_old.csv" || { echo "dump --csv output differs from the baseline's" >&2; exit 1; }
  "$mcn" check "$work/book.mcn" >"$work/check_new.txt"
  "$baseline" check "$work/book.mcn" >"$work/check_old.txt"
  cmp -s "$work/check_new.txt" "$work/check_old.txt" || { echo "check output differs from the baseline's" >&2; exit 1; }
fi

# One run of a command, output discarded: "WALL CPU" in milliseconds (CPU = user + system). On a
# loaded machine the CPU times hold better than the wall times.
TIMEFORMAT='%3R %3U %3S'
run_times() {
  local t
  t=$( { time "$@" >/dev/null 2>&1; } 2>&1 )
  awk -v t="$t" 'BEGIN { split(t, p, " "); printf "%d %d\n", p[1] * 1000 + 0.5, (p[2] + p[3]) * 1000 + 0.5 }'
}

declare -A wall cpu
names=(mcn_dump sqlite_csv mcn_check sqlite_check)
[ -n "$baseline" ] && names+=(base_dump base_check)
run_named() {
  case $1 in
    mcn_dump) run_times "$mcn" dump "$work/book.mcn" --csv ;;
    sqlite_csv) run_times sqlite3 -csv "$work/book.db" 'SELECT * FROM memo' ;;
    mcn_check) run_times "$mcn" check "$work/book.mcn" ;;
    sqlite_check) run_times sqlite3 "$work/book.db" 'PRAGMA integrity_check' ;;
    base_dump) run_times "$baseline" dump "$work/book.mcn" --csv ;;
    base_check) run_times "$baseline" check "$work/book.mcn" ;;
  esac
}
for ((r = 0; r < rounds; ++r)); do
  for name in "${names[@]}"; do
    read -r w c < <(run_named "$name")
    wall[$name]+=" $w"
    cpu[$name]+=" $c"
  done
done

median() { tr ' ' '\n' | grep . | sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
declare -A wall_med cpu_med
for name in "${names[@]}"; do
  wall_med[$name]=$(echo "${wall[$name]}" | median)
  cpu_med[$name]=$(echo "${cpu[$name]}" | median)
done

echo "$memos records, $rounds rounds alternated; medians in ms (each round's wall time in brackets)"
printf '  %-13s %8s %8s\n' "" wall cpu
for name in "${names[@]}"; do
  printf '  %-13s %8s %8s   (%s )\n' "$name" "${wall_med[$name]}" "${cpu_med[$name]}" "${wall[$name]}"
done
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }'; }
compare() {  # label, ours, theirs
  printf '%-44s wall %sx  cpu %sx\n' "$1" "$(ratio "${wall_med[$2]}" "${wall_med[$3]}")" \
    "$(ratio "${cpu_med[$2]}" "${cpu_med[$3]}")"
}
compare "mcn dump --csv / sqlite3 -csv:" mcn_dump sqlite_csv
compare "mcn check / PRAGMA integrity_check:" mcn_check sqlite_check
if [ -n "$baseline" ]; then
  compare "baseline dump --csv / sqlite3 -csv:" base_dump sqlite_csv
  compare "baseline check / PRAGMA integrity_check:" base_check sqlite_check
fi
