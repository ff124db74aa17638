#!/usr/bin/env bash
# Runs scripts/deps.sh against stub dpkg-query, apt-get, sudo and id, and checks what it asked
# apt for. Usage: deps_test.sh PATH/TO/deps.sh
set -uo pipefail
deps=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# Stubs. dpkg-query reports a package installed when its name is listed in $work/installed.
mkdir -p "$work/bin"
cat > "$work/bin/dpkg-query" <<'STUB'
#!/usr/bin/env bash
name=${!#}
if grep -qx "$name" "$STUB_DIR/installed" 2>/dev/null; then
  printf 'install ok installed'
  exit 0
fi
exit 1
STUB
# apt-get records the frontend it would use and its arguments.
cat > "$work/bin/apt-get" <<'STUB'
#!/usr/bin/env bash
echo "frontend=${DEBIAN_FRONTEND:-unset} $*" >> "$STUB_DIR/apt.log"
STUB
# sudo resets the environment as its default policy does (env_reset), keeping PATH for the stubs.
cat > "$work/bin/sudo" <<'STUB'
#!/usr/bin/env bash
echo "sudo $1" >> "$STUB_DIR/apt.log"
exec env -i PATH="$PATH" STUB_DIR="$STUB_DIR" "$@"
STUB
cat > "$work/bin/id" <<'STUB'
#!/usr/bin/env bash
echo "$STUB_UID"
STUB
chmod +x "$work/bin/"*
export STUB_DIR=$work

# Runs deps.sh with the stubs first on PATH; $1 is the uid, $2 "sudo" or "nosudo".
run_deps() {
  : > "$work/apt.log"
  local path="$work/bin:$PATH"
  if [ "$2" = nosudo ]; then
    mkdir -p "$work/nosudo"
    for tool in dpkg-query apt-get id; do ln -sf "$work/bin/$tool" "$work/nosudo/$tool"; done
    # Keep the system's tools but hide any real sudo behind a missing one.
    path="$work/nosudo:$(printf '%s' "$PATH" | tr ':' '\n' | while read -r d; do
      [ -x "$d/sudo" ] || printf '%s:' "$d"; done)"
  fi
  STUB_UID=$1 PATH="$path" DEBIAN_FRONTEND= bash "$deps" "${@:3}" > "$work/out.log" 2>&1
}

# 1. Nothing installed, a user with sudo: update and install through sudo, non-interactively even
#    though sudo drops the caller's environment.
: > "$work/installed"
run_deps 1000 sudo || fail "deps.sh failed with sudo: $(cat "$work/out.log")"
grep -q '^sudo ' "$work/apt.log" || fail "apt was not run through sudo: $(cat "$work/apt.log")"
grep -q 'frontend=noninteractive update' "$work/apt.log" ||
  fail "apt-get update not non-interactive under sudo: $(cat "$work/apt.log")"
grep -q 'frontend=noninteractive install .*qt6-base-dev' "$work/apt.log" ||
  fail "apt-get install not non-interactive under sudo: $(cat "$work/apt.log")"
grep -q 'install .*libgtest-dev' "$work/apt.log" || fail "libgtest-dev not asked for"

# 2. Root: apt-get directly, without sudo.
run_deps 0 nosudo || fail "deps.sh failed as root: $(cat "$work/out.log")"
grep -q '^sudo ' "$work/apt.log" && fail "root went through sudo"
grep -q 'frontend=noninteractive install' "$work/apt.log" ||
  fail "root install not non-interactive: $(cat "$work/apt.log")"

# 3. Neither root nor sudo: a clear refusal, no apt.
if run_deps 1000 nosudo; then fail "deps.sh succeeded without root or sudo"; fi
grep -q 'root or sudo' "$work/out.log" || fail "no explanation: $(cat "$work/out.log")"
[ -s "$work/apt.log" ] && fail "apt ran without root or sudo"

# 4. Everything present: returns at once without touching apt (idempotent).
# The package list is whatever the script asked for when nothing was installed.
: > "$work/installed"
run_deps 0 nosudo
sed -n 's/.* install -y -qq --no-install-recommends //p' "$work/apt.log" | tr ' ' '\n' |
  grep -v '^$' > "$work/installed"
[ -s "$work/installed" ] || fail "no package list"
run_deps 1000 sudo || fail "deps.sh failed with everything installed: $(cat "$work/out.log")"
[ -s "$work/apt.log" ] && fail "apt ran although everything is installed: $(cat "$work/apt.log")"

# 5. Only the missing ones are asked for.
grep -v '^cmake$' "$work/installed" > "$work/installed.new" && mv "$work/installed.new" "$work/installed"
run_deps 0 nosudo || fail "deps.sh failed with one package missing"
grep -qE 'install -y -qq --no-install-recommends cmake$' "$work/apt.log" ||
  fail "not exactly the missing package: $(cat "$work/apt.log")"

# 6. The desktop benchmark's X server and probe headers (its smoke test runs in `make test`) and
#    the format checker come with everything else; the old `--gui-bench` flag still works.
: > "$work/installed"
run_deps 0 nosudo || fail "deps.sh failed as root"
grep -qE 'install .*clang-format.*xvfb.*libxtst-dev libxdamage-dev' "$work/apt.log" ||
  fail "the X server, probe headers or clang-format not asked for: $(cat "$work/apt.log")"
run_deps 0 nosudo --gui-bench || fail "deps.sh --gui-bench failed: $(cat "$work/out.log")"

if [ "$failures" -ne 0 ]; then exit 1; fi
echo "deps.sh: all checks passed"
