#!/usr/bin/env bash
# Runs the database benchmark and prints the comparison table at the end.
#   bash bench/run.sh BIN_DIR [Google Benchmark options, e.g. --benchmark_filter=memo]
# MEMO_BENCH_DIR=/some/dir chooses where the scratch files go (default: /tmp).
set -euo pipefail

bin_dir=${1:-build/bench/bin}
[ $# -gt 0 ] && shift
binary="$bin_dir/memo_bench"
if [ ! -x "$binary" ]; then
  echo "run.sh: $binary not found; build with: make bench" >&2
  exit 1
fi

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')"
echo "kernel:  $(uname -r); scratch files in ${MEMO_BENCH_DIR:-/tmp}"
echo
exec "$binary" --benchmark_display_aggregates_only=true --benchmark_color=false "$@"
