#!/usr/bin/env bash
# Runs every fuzz target for the given time, starting from its committed seeds.
#   bash fuzz/run.sh BIN_DIR [SECONDS]
# New inputs go to <BIN_DIR>/../corpus/<target>/ (build/fuzz/corpus/<target>/ under make fuzz),
# crashes to <BIN_DIR>/../artifacts/<target>/.
# The exit code is non-zero when a target found a crash, leak or timeout.
set -uo pipefail

bin_dir=${1:-build/fuzz/bin}
seconds=${2:-60}
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
mkdir -p "$bin_dir"
out=$(cd "$bin_dir/.." && pwd)
status=0

for binary in "$bin_dir"/fuzz_*; do
  [ -x "$binary" ] || continue
  target=$(basename "$binary")
  target=${target#fuzz_}
  corpus="$out/corpus/$target"
  artifacts="$out/artifacts/$target"
  mkdir -p "$corpus" "$artifacts"
  seeds="$here/corpus/$target"
  echo "== $target: ${seconds}s, seeds from ${seeds#$root/}, new inputs in ${corpus#$root/}"
  log="$out/$target.log"
  "$binary" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=16384 \
    -print_final_stats=1 -artifact_prefix="$artifacts/" "$corpus" "$seeds" >"$log" 2>&1
  rc=$?
  grep -E "^(#[0-9]+ *DONE|Done [0-9]+ runs|stat::number_of_executed_units|stat::peak_rss_mb)" "$log" || true
  if [ $rc -ne 0 ]; then
    echo "== $target: FAILED (exit $rc); see $log"
    grep -m 20 -E "ERROR|SUMMARY|Test unit written" "$log" || true
    status=1
  else
    echo "== $target: no crash"
  fi
done
exit $status
