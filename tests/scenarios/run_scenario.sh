#!/bin/sh
# Runs one scenario the way ctest does: a fresh run directory, prepared by the scenario's
# companion NAME.setup.sh when there is one, then memo-script with the trace on (ctest shows it
# only when the scenario fails), then NAME.rerun when there is one (the program's next start,
# over the same directory), then NAME.check.sh when there is one; then the directory is removed.
#
# usage: run_scenario.sh MEMO_SCRIPT MCN NAME.script
# NAME.setup.sh and NAME.check.sh are run with sh from the scenarios folder, the run directory as
# their only argument and MCN set to the built mcn (check_lib.sh has helpers for checks); the
# check also gets MEMO_SCRIPT, the built memo-script, to run further copies of the program over
# the directory. Any failing part fails the scenario.
set -eu
memo_script=$1
mcn=$2
script=$3
dir=$(mktemp -d "${TMPDIR:-/tmp}/memo-scenario-XXXXXX")
trap 'rm -rf "$dir"' EXIT
base="${script%.script}"
if [ -f "$base.setup.sh" ]; then
  (cd "$(dirname "$script")" && MCN="$mcn" sh "$base.setup.sh" "$dir")
fi
"$memo_script" --trace --dir "$dir" "$script"
if [ -f "$base.rerun" ]; then
  echo "--- the next start: $(basename "$base.rerun")"
  "$memo_script" --trace --dir "$dir" "$base.rerun"
fi
if [ -f "$base.check.sh" ]; then
  (cd "$(dirname "$script")" && MCN="$mcn" MEMO_SCRIPT="$memo_script" sh "$base.check.sh" "$dir")
fi
