#!/usr/bin/env bash
# Packs a record file and its memo file into one fuzz input of the record_file target:
#   bash fuzz/pack_seed.sh RECORD_FILE [MEMO_FILE] > input
# Layout: u32 little-endian length L of the record file (bit 31 set asks the target to open with
# access 0, which allows the reader's repairs; bit 30 runs the writers too), L bytes of record
# file, then the memo file bytes. REPAIR=1 and WRITE=1 set the two bits.
set -euo pipefail
record=$1
memo=${2:-}
repair=${REPAIR:-0}
write=${WRITE:-0}
length=$(stat -c %s "$record")
[ "$repair" = 1 ] && length=$((length | 0x80000000))
[ "$write" = 1 ] && length=$((length | 0x40000000))
printf "$(printf '\\x%02x\\x%02x\\x%02x\\x%02x' $((length & 255)) $(((length >> 8) & 255)) \
  $(((length >> 16) & 255)) $(((length >> 24) & 255)))"
cat "$record"
[ -n "$memo" ] && cat "$memo"
exit 0
