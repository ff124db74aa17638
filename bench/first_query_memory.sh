#!/usr/bin/env bash
# Peak memory of memo-script making the query copy in a directory without one: sign in over a memo
# table of MEMOS memos (default 100 000), then "查询" with "全部" picked (the first query there,
# which makes "b.mcn" and "b.edt" from the memo files and clears them). Prints the maximum resident
# set of the whole process (/usr/bin/time -v) beside that of signing in alone: the difference is
# what the first query adds to the program's peak.
#   bash bench/first_query_memory.sh [BIN_DIR [MEMOS]]
set -euo pipefail

bin_dir=${1:-build/bench/bin}
memos=${2:-100000}
for tool in memo_bench memo-script; do
  if [ ! -x "$bin_dir/$tool" ]; then
    echo "first_query_memory.sh: $bin_dir/$tool not found; build with: make bench" >&2
    exit 1
  fi
done

dir=$(mktemp -d "${MEMO_BENCH_DIR:-/tmp}/memo-first-query-XXXXXX")
trap 'rm -rf "$dir"' EXIT
mkdir "$dir/run"
"$bin_dir/memo_bench" --make-run-directory "$dir/run" "$memos"
cat > "$dir/sign_in.script" <<'SCRIPT'
start
expect-no-box
type login 编辑框1 test
type login 编辑框2 kqzv
click login 按钮登陆
expect-closed login
expect-no-box
SCRIPT
{ cat "$dir/sign_in.script"; printf '%s\n' 'click main 按钮记事查询' 'expect-file b.mcn' \
    'expect-no-box'; } > "$dir/first_query.script"

peak() {  # script -> "kB seconds"
  rm -f "$dir/run/b.mcn" "$dir/run/b.edt" "$dir/run/b.EDT"
  /usr/bin/time -v "$bin_dir/memo-script" --dir "$dir/run" "$1" 2> "$dir/time.log"
  local kb seconds
  kb=$(sed -n 's/^\s*Maximum resident set size (kbytes): //p' "$dir/time.log")
  seconds=$(sed -n 's/^\s*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' "$dir/time.log")
  echo "$kb $seconds"
}
read -r sign_in_kb sign_in_wall < <(peak "$dir/sign_in.script")
read -r query_kb query_wall < <(peak "$dir/first_query.script")
echo "memo-script over $memos memos, peak resident set:"
echo "  signing in:                      $((sign_in_kb / 1024)) MB ($sign_in_kb kB), wall $sign_in_wall"
echo "  signing in, then the first query: $((query_kb / 1024)) MB ($query_kb kB), wall $query_wall"
echo "  the first query adds:            $(((query_kb - sign_in_kb) / 1024)) MB ($((query_kb - sign_in_kb)) kB)"
