#!/usr/bin/env bash
# What a person waits for: the real desktop program (the Qt build of memo) on a virtual X server
# (Xvfb), driven by synthetic key presses and clicks, each action timed from the input event to
# the last repaint it caused (the X DAMAGE extension). Books of 100, 10 000 and 100 000 memos.
#
#   bash bench/gui_times.sh [OPTIONS] [NAME=]BIN_DIR [[NAME=]BIN_DIR ...]
#
# BIN_DIR holds `memo` and `mcn` (an optimised build: `make bench` gives build/bench/bin). With
# several, their runs alternate round by round (before/after comparisons on a loaded machine);
# NAME labels a build in the table (default: the directory). Options:
#   --rounds N       rounds per size and build (default 5)
#   --sizes "A B"    book sizes in memos (default "100 10000 100000")
#   --quiet-ms MS    the quiet period that ends an action (default 300)
#   --samples FILE   also keep every sample there (tab-separated, one line each)
#   --summarise FILE...  only print the table of samples kept before (several runs together)
#   --smoke          one round over 100 memos, a quiet period of 150 ms, the probe built without
#                    optimisation; exit 77 (skipped) when Xvfb or the X headers are missing. The
#                    test suite runs this, to keep the script working.
# MEMO_BENCH_DIR chooses where the books and data directories go (default /tmp).
#
# Each round of a size starts the program in a fresh data directory holding a copy of the book,
# signs in and runs every action once, each right after a baseline action (one character typed
# into an edit box), so that the ratio action / baseline holds on a noisy machine. The table
# gives per size, action and build the median and the spread over the rounds, the baselines'
# median and the median of the per-round ratios. The probe is bench/gui/gui_probe.cc, compiled
# here. Needs: Xvfb, a C++ compiler, the headers of libX11, libXtst and libXdamage
# (`bash scripts/deps.sh` installs them).
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
rounds=5
sizes="100 10000 100000"
quiet_ms=300
samples_out=""
smoke=0
builds=()
summarise=()
while [ $# -gt 0 ]; do
  case "$1" in
    --rounds) rounds=$2; shift 2 ;;
    --sizes) sizes=$2; shift 2 ;;
    --quiet-ms) quiet_ms=$2; shift 2 ;;
    --samples) samples_out=$2; shift 2 ;;
    --summarise) shift; summarise=("$@"); break ;;
    --smoke) smoke=1; rounds=1; sizes=100; quiet_ms=150; shift ;;
    -h|--help) sed -n '2,26p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//'; exit 0 ;;
    -*) echo "gui_times.sh: unknown option $1" >&2; exit 2 ;;
    *) builds+=("$1"); shift ;;
  esac
done
[ ${#builds[@]} -gt 0 ] || builds=("build/bench/bin")

# A missing tool is an error, or in the smoke test a skip.
missing() {
  echo "gui_times.sh: $1" >&2
  if [ "$smoke" = 1 ]; then exit 77; fi
  exit 1
}
cxx=${CXX:-c++}
command -v "$cxx" >/dev/null 2>&1 || missing "no C++ compiler ($cxx) to build the probe"
for header in X11/Xlib.h X11/extensions/XTest.h X11/extensions/Xdamage.h; do
  [ -e "/usr/include/$header" ] ||
    missing "/usr/include/$header not found; install with: bash scripts/deps.sh"
done

if [ ${#summarise[@]} -eq 0 ]; then
  command -v Xvfb >/dev/null 2>&1 ||
    missing "Xvfb not found; install it with: bash scripts/deps.sh (Debian: xvfb)"
fi

names=()
dirs=()
[ ${#summarise[@]} -eq 0 ] || builds=()
for build in "${builds[@]}"; do
  if [[ "$build" == *=* ]]; then name=${build%%=*}; dir=${build#*=}; else name=$build; dir=$build; fi
  for tool in memo mcn; do
    if [ ! -x "$dir/$tool" ]; then
      echo "gui_times.sh: $dir/$tool not found; build with: make bench (or name a BIN_DIR)" >&2
      exit 1
    fi
  done
  names+=("$name")
  dirs+=("$(cd "$dir" && pwd)")
done

work=$(mktemp -d "${MEMO_BENCH_DIR:-/tmp}/memo-gui-XXXXXX")
xvfb_pid=""
probe_pid=""
cleanup() {
  if [ -n "$probe_pid" ]; then kill "$probe_pid" 2>/dev/null || true; wait "$probe_pid" 2>/dev/null || true; fi
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; wait "$xvfb_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

probe=$work/memo_gui_probe
optimise=-O2
[ "$smoke" = 1 ] && optimise=-O0
if ! "$cxx" -std=c++17 "$optimise" -o "$probe" "$here/gui/gui_probe.cc" -lXdamage -lXfixes -lXtst -lX11 \
    2> "$work/probe-build.log"; then
  cat "$work/probe-build.log" >&2
  echo "gui_times.sh: the probe does not build (see above)" >&2
  exit 1
fi

if [ ${#summarise[@]} -gt 0 ]; then
  cat "${summarise[@]}" > "$work/samples.tsv"
  "$probe" --summarise "$work/samples.tsv"
  exit
fi
mcn=${dirs[0]}/mcn

# The X server picks a free display itself and writes its number once it accepts clients.
exec 3> "$work/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset > "$work/xvfb.log" 2>&1 &
xvfb_pid=$!
exec 3>&-
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  kill -0 "$xvfb_pid" 2>/dev/null || { cat "$work/xvfb.log" >&2; echo "gui_times.sh: Xvfb did not start" >&2; exit 1; }
  sleep 0.1
done
[ -s "$work/display" ] || { echo "gui_times.sh: Xvfb did not start within 10 s" >&2; exit 1; }
export DISPLAY=:$(head -n1 "$work/display")

# A book: the account "test" / "kqzv" and MEMOS memos in five categories, one a minute, each
# text about 60 bytes in GBK, every tenth memo with a follow-up entry.
make_book() {
  local dir=$1 memos=$2
  mkdir -p "$dir"
  awk -v n="$memos" 'BEGIN {
    split("客户回访,资金借出,资金借入,工作安排,家庭事务", category, ",");
    print "分类,时间,记事,跟进";
    base = 1700000000;
    for (i = 0; i < n; i++) {
      t = base + i * 60;
      log_text = "";
      if (i % 10 == 0) log_text = strftime("%Y年%-m月%-d日%-H时%-M分", t + 3600) "||特殊跟进时间分割||已电话联系，对方同意";
      printf "%s,%s,第%06d号：联系客户确认合同条款与交货日期，下周前回复,%s\n",
             category[i % 5 + 1], strftime("%Y-%m-%d %H:%M:%S", t), i, log_text;
    }
  }' > "$dir/memos.csv"
  (cd "$dir" &&
    "$mcn" create a.mcn 分类:text:10 时间:datetime 记事:memo 跟进:memo > /dev/null &&
    "$mcn" import a.mcn memos.csv > /dev/null &&
    "$mcn" create c.mcn 帐号:text:20 密码:text:40 > /dev/null &&
    "$mcn" add c.mcn test kqzv > /dev/null) || { echo "gui_times.sh: cannot make the book of $memos memos" >&2; exit 1; }
  rm -f "$dir/memos.csv"
  # The program names the memo file "a.edt"; mcn made it as "a.EDT".
  if [ -e "$dir/a.EDT" ]; then mv "$dir/a.EDT" "$dir/a.edt"; fi
}
for size in $sizes; do
  make_book "$work/book-$size" "$size"
done

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')"
echo "load average at start: $(cut -d' ' -f1-3 /proc/loadavg); display $DISPLAY; $rounds rounds; quiet period $quiet_ms ms"

samples=$work/samples.tsv
: > "$samples"
failures=0
for round in $(seq "$rounds"); do
  for size in $sizes; do
    for i in "${!dirs[@]}"; do
      # A round at 100 000 memos takes a few seconds; a hung program is ended well before this.
      "$probe" --memo "${dirs[$i]}/memo" --book "$work/book-$size" --work "$work/run" \
          --rounds 1 --quiet-ms "$quiet_ms" --timeout-ms 60000 --label "${names[$i]}" \
          --size "$size" >> "$samples" 2> "$work/probe.err" &
      probe_pid=$!
      status=0
      wait "$probe_pid" || status=$?
      probe_pid=""
      if [ "$status" -ne 0 ]; then
        failures=$((failures + 1))
        echo "gui_times.sh: round $round, $size memos, ${names[$i]}: the probe failed ($status):" >&2
        cat "$work/probe.err" >&2
        # The screen as the probe left it, and the program's output, outlive the work folder.
        keep=${MEMO_BENCH_DIR:-/tmp}/memo-gui-failed-$$-$round-$size-$i
        mkdir -p "$keep"
        cp "$work/run/"failed-*.ppm "$work/run/"round*/memo.log "$keep/" 2>/dev/null || true
        echo "gui_times.sh: screen shot (PPM) and the program's output in $keep" >&2
      fi
    done
  done
  [ "$smoke" = 1 ] || echo "round $round of $rounds done ($(date -u +%H:%M:%S) UTC)" >&2
done
echo "load average at end: $(cut -d' ' -f1-3 /proc/loadavg)"
echo

[ -z "$samples_out" ] || cp "$samples" "$samples_out"
"$probe" --summarise "$samples" || failures=$((failures + 1))
if [ "$smoke" = 1 ]; then
  # Every action of the round was seen to repaint (the probe fails a round otherwise): ten
  # actions and the memory line.
  actions=$(grep -c '^sample' "$samples" || true)
  if [ "$actions" -ne 10 ] || ! grep -q '^memory' "$samples"; then
    echo "gui_times.sh: expected 10 timed actions and the memory line, got $actions" >&2
    failures=$((failures + 1))
  fi
fi
[ "$failures" -eq 0 ]
