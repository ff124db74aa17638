# Helpers for NAME.check.sh scripts; source it with `. ./check_lib.sh` (they run from this
# folder, with MCN set to the built mcn).

# expect_records FILE: the live records of FILE as `mcn dump --csv` prints them (a heading row,
# then one row per record; the CSV's carriage returns dropped) must be exactly the lines given on
# standard input.
expect_records() {
  expected=$(cat)
  if ! raw=$("$MCN" dump "$1" --csv); then
    echo "check: mcn dump $1 failed" >&2
    return 1
  fi
  found=$(printf '%s' "$raw" | tr -d '\r')
  if [ "$found" != "$expected" ]; then
    echo "check: $(basename "$1") holds other records than expected" >&2
    echo "expected:" >&2
    printf '%s\n' "$expected" >&2
    echo "found:" >&2
    printf '%s\n' "$found" >&2
    return 1
  fi
}

# expect_integrity FILE: mcn check finds nothing wrong with FILE and its memo file.
expect_integrity() {
  if ! out=$("$MCN" check "$1" 2>&1); then
    echo "check: mcn check $1 failed:" >&2
    printf '%s\n' "$out" >&2
    return 1
  fi
}

# expect_mode FILE MODE: FILE's permission bits are MODE (octal, e.g. 0640) less the umask.
expect_mode() {
  want=$(printf '%o' $(( $2 & ~$(umask) )))
  got=$(stat -c %a "$1")
  if [ "$got" != "$want" ]; then
    echo "check: $(basename "$1") has mode $got, not $want" >&2
    return 1
  fi
}
