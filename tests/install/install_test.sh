#!/bin/sh
# Installs the build tree into a staging directory (DESTDIR) and checks the files a desktop
# program needs; with "package", also builds the Debian package from the same tree and checks it
# with dpkg-deb and lintian.
#   install_test.sh BUILD_DIR install|package
set -eu
build=$1
what=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

expected='./usr/bin/mcn
./usr/bin/memo
./usr/bin/memo-script
./usr/share/applications/memo.desktop
./usr/share/doc/memo/changelog.gz
./usr/share/doc/memo/copyright
./usr/share/icons/hicolor/256x256/apps/memo.png
./usr/share/icons/hicolor/scalable/apps/memo.svg
./usr/share/man/man1/mcn.1.gz
./usr/share/man/man1/memo-script.1.gz
./usr/share/man/man1/memo.1.gz
./usr/share/metainfo/invalid.memo.Memo.metainfo.xml'

case $what in
install)
  DESTDIR="$scratch/stage" cmake --install "$build" --prefix /usr > "$scratch/install.log"
  listed=$(cd "$scratch/stage" && find . -type f | LC_ALL=C sort)
  [ "$listed" = "$expected" ] || fail "installed files differ:
$listed"
  # The prefix is honoured.
  DESTDIR="$scratch/local" cmake --install "$build" --prefix /opt/memo > /dev/null
  [ -x "$scratch/local/opt/memo/bin/memo" ] || fail "no /opt/memo/bin/memo with --prefix /opt/memo"
  [ -f "$scratch/local/opt/memo/share/applications/memo.desktop" ] || fail "no desktop entry under the prefix"
  share="$scratch/stage/usr/share"
  desktop-file-validate "$share/applications/memo.desktop" || fail "desktop entry does not validate"
  grep -qx 'Name\[zh_CN\]=备忘录' "$share/applications/memo.desktop" || fail "no Chinese name"
  grep -qx 'Categories=Office;' "$share/applications/memo.desktop" || fail "not in Office"
  appstreamcli validate --no-net "$share/metainfo/invalid.memo.Memo.metainfo.xml" \
    || fail "metainfo does not validate"
  file "$share/icons/hicolor/256x256/apps/memo.png" | grep -q 'PNG image data, 256 x 256' \
    || fail "the PNG icon is not 256 x 256"
  for page in memo memo-script mcn; do
    zcat "$share/man/man1/$page.1.gz" | grep -q "^\.TH \"$page\" \"1\"" \
      || fail "$page.1.gz is not a manual page"
  done
  # The installed program, run from /usr/bin of the stage, keeps no book beside itself.
  HOME="$scratch/home" XDG_DATA_HOME= "$scratch/stage/usr/bin/memo" --help > "$scratch/help"
  grep -q "^Data directory: $scratch/home/.local/share/memo\$" "$scratch/help" \
    || fail "the installed memo does not use the data home: $(cat "$scratch/help")"
  ;;
package)
  cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/pkg" > "$scratch/cpack.log" 2>&1 \
    || { cat "$scratch/cpack.log"; fail "cpack failed"; }
  deb=$(ls "$scratch"/pkg/memo_*.deb)
  listed=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | LC_ALL=C sort)
  [ "$listed" = "$expected" ] || fail "packaged files differ:
$listed"
  depends=$(dpkg-deb -f "$deb" Depends)
  for lib in libqt6widgets6 libqt6network6 libqt6core6 libqt6gui6; do
    echo "$depends" | grep -q "$lib" || fail "Depends lacks $lib: $depends"
  done
  # lintian fails on errors only; its warnings are shown.
  if ! lintian --fail-on error --tag-display-limit 0 "$deb" > "$scratch/lintian.log" 2>&1; then
    cat "$scratch/lintian.log"
    fail "lintian finds errors"
  fi
  cat "$scratch/lintian.log"
  ;;
*)
  fail "usage: install_test.sh BUILD_DIR install|package"
  ;;
esac
echo "ok: $what"
