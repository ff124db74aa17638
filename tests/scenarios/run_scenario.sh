#!/bin/sh
# Runs one scenario the way ctest does: a fresh run directory, prepared by the scenario's
# companion NAME.setup.sh when there is one, then memo-script with the trace on (ctest shows it
# only when the scenario fails), then the directory is removed.
#
# usage: run_scenario.sh MEMO_SCRIPT MCN NAME.script
# NAME.setup.sh is run with sh, the run directory as its only argument and MCN set to the built
# mcn, from the scenarios folder; a failing setup fails the scenario.
set -eu
memo_script=$1
mcn=$2
script=$3
dir=$(mktemp -d "${TMPDIR:-/tmp}/memo-scenario-XXXXXX")
trap 'rm -rf "$dir"' EXIT
setup="${script%.script}.setup.sh"
if [ -f "$setup" ]; then
  (cd "$(dirname "$setup")" && MCN="$mcn" sh "$setup" "$dir")
fi
"$memo_script" --trace --dir "$dir" "$script"
