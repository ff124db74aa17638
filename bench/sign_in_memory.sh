#!/usr/bin/env bash
# Peak memory of memo-script signing in over a memo table of MEMOS memos (default 100 000): the
# maximum resident set size that /usr/bin/time -v reports for the whole memo-script process
# (start, sign-in, the main window filled and shown, the program closed again).
#   bash bench/sign_in_memory.sh [BIN_DIR [MEMOS]]
set -euo pipefail

bin_dir=${1:-build/bench/bin}
memos=${2:-100000}
for tool in memo_bench memo-script; do
  if [ ! -x "$bin_dir/$tool" ]; then
    echo "sign_in_memory.sh: $bin_dir/$tool not found; build with: make bench" >&2
    exit 1
  fi
done

dir=$(mktemp -d "${MEMO_BENCH_DIR:-/tmp}/memo-sign-in-XXXXXX")
trap 'rm -rf "$dir"' EXIT
"$bin_dir/memo_bench" --make-run-directory "$dir" "$memos"
cat > "$dir/sign_in.script" <<'SCRIPT'
start
expect-no-box
type login 编辑框1 test
type login 编辑框2 kqzv
click login 按钮登陆
expect-closed login
expect-no-box
SCRIPT
/usr/bin/time -v "$bin_dir/memo-script" --dir "$dir" "$dir/sign_in.script" 2> "$dir/time.log"
kb=$(sed -n 's/^\s*Maximum resident set size (kbytes): //p' "$dir/time.log")
seconds=$(sed -n 's/^\s*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' "$dir/time.log")
echo "memo-script signing in over $memos memos: peak resident set $((kb / 1024)) MB ($kb kB), wall $seconds"
