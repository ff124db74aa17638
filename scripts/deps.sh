#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the benchmarks need, when they are missing.
# Idempotent: a machine that has everything returns at once without touching apt.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  qt6-base-dev qt6-qpa-plugins libgl-dev
  fonts-wqy-microhei
  libgtest-dev libgmock-dev libbenchmark-dev
  libssl-dev libsqlite3-dev sqlite3 libshp-dev
  clang libclang-rt-14-dev
  librsvg2-bin scdoc
  dpkg-dev fakeroot lintian desktop-file-utils appstream file
  clang-format
  # The desktop program on a virtual X server (bench/gui_times.sh and its smoke test in
  # `make test`): the server and the headers of its probe.
  xvfb libx11-dev libxtst-dev libxdamage-dev
)
# `--gui-bench` is still accepted: everything the desktop benchmark needs is in the list above.

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "deps: installing ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
  sudo_cmd=()
elif command -v sudo >/dev/null 2>&1; then
  sudo_cmd=(sudo)
else
  echo "deps: need root or sudo to install: ${missing[*]}" >&2
  exit 1
fi
# The frontend is set on apt's own command line: sudo's default policy drops the caller's
# environment, and an interactive debconf prompt would hang an unattended `make test`.
apt=("${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get)
"${apt[@]}" update -qq
"${apt[@]}" install -y -qq --no-install-recommends "${missing[@]}"
