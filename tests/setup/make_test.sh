#!/usr/bin/env bash
# Checks the build contract from the Makefile's own recipes (make -n: nothing runs), the README's
# opening and .ci/run. Usage: make_test.sh SOURCE_DIR
set -uo pipefail
root=$1
cd "$root" || exit 1
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
has() { grep -qF -- "$2" <<< "$1"; }

test_recipe=$(make -n test 2>&1) || fail "make -n test: $test_recipe"
run_recipe=$(make -n run 2>&1) || fail "make -n run: $run_recipe"

# make test: installs what is missing, then builds with both sanitizers in a folder of its own.
has "$test_recipe" "scripts/deps.sh" || fail "make test does not run deps.sh"
has "$test_recipe" "-DMEMO_SANITIZE=ON" || fail "make test builds without sanitizers"
has "$test_recipe" "ctest --test-dir build/test" || fail "make test does not run ctest in build/test"
grep -q 'fsanitize=address,undefined' CMakeLists.txt || fail "MEMO_SANITIZE is not ASan+UBSan"

# make run: installs what is missing, builds optimised into build/bin and starts memo from there.
has "$run_recipe" "scripts/deps.sh" || fail "make run does not run deps.sh"
has "$run_recipe" "-DCMAKE_BUILD_TYPE=Release" || fail "make run is not an optimised build"
has "$run_recipe" "-DMEMO_BIN_DIR=$root/build/bin" || fail "make run does not put programs in build/bin"
has "$run_recipe" "./build/bin/memo" || fail "make run does not start build/bin/memo"
release_dir=$(sed -n 's/.*cmake -S \. -B \([^ ]*\) -DCMAKE_BUILD_TYPE=Release.*/\1/p' <<< "$run_recipe" | head -1)
[ -n "$release_dir" ] && [ "$release_dir" != build/test ] ||
  fail "make run and make test share a build folder ($release_dir)"

# The README opens with the two commands; .ci/run runs make test.
first_commands=$(grep -E '^make ' README.md | head -2 | awk '{print $1, $2}' | tr '\n' ';')
[ "$first_commands" = "make run;make test;" ] || fail "README opens with: $first_commands"
grep -qx 'make test' .ci/run || fail ".ci/run does not run make test"
[ -x .ci/run ] || fail ".ci/run is not executable"
[ -x scripts/deps.sh ] || fail "scripts/deps.sh is not executable"

if [ "$failures" -ne 0 ]; then exit 1; fi
echo "make contract: all checks passed"
