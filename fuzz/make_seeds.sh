#!/usr/bin/env bash
# Rebuilds the committed seeds of the record_file target: the carried images, and the kind of
# files the mcn tests make (every field type, memo chains of several blocks, a freed block, a
# protected file, a deleted record, a damaged chain, a short file).
#   bash fuzz/make_seeds.sh MCN_BINARY FUZZ_RECORD_FILE_BINARY
set -euo pipefail
mcn=$(realpath "$1")
fuzzer=$(realpath "$2")
here=$(cd "$(dirname "$0")" && pwd)
seeds="$here/corpus/record_file"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$seeds"

MEMO_FUZZ_WRITE_IMAGE_SEEDS="$seeds" "$fuzzer" >/dev/null 2>&1 || true

pack() {  # pack NAME RECORD [MEMO]
  local name=$1; shift
  bash "$here/pack_seed.sh" "$@" >"$seeds/$name"
  REPAIR=1 bash "$here/pack_seed.sh" "$@" >"$seeds/${name}_repair"
  WRITE=1 bash "$here/pack_seed.sh" "$@" >"$seeds/${name}_write"
}

cd "$work"
"$mcn" create memo 分类:text:10 时间:datetime 记事:memo 跟进:memo >/dev/null
"$mcn" add memo 收款 2014-07-10T09:05:00 "$(printf '%.0sx' $(seq 1 1200))" "跟进一" >/dev/null
"$mcn" add memo 付款 "2014年7月10日9时5分" "短" "" >/dev/null
"$mcn" add memo 其他 2014-07-11 "$(printf '%.0sy' $(seq 1 600))" >/dev/null
pack memo_table memo.EDB memo.EDT

"$mcn" create all b:byte s:short i:int l:long f:float d:double ok:bool t:datetime 名称:text:10 \
  data:bytes 备注:memo >/dev/null
"$mcn" add all 7 -5 123456 99 1.5 0.1 真 2014-07-10 abc一二三 0x00ff10 备注文本 >/dev/null
"$mcn" add all 1 2 3 4 5 6 假 2000-01-01 x 0x "" >/dev/null
pack all_types all.EDB all.EDT

"$mcn" --password 秘密 create prot 名字:text:8 >/dev/null
"$mcn" --password 秘密 add prot 值 >/dev/null
pack protected prot.EDB

# A deleted record (serial negated) and a chain that loops back to its first block.
cp memo.EDB damaged.EDB
cp memo.EDT damaged.EDT
printf '\xfe\xff\xff\xff' | dd of=damaged.EDB bs=1 seek=$((404 + 30)) conv=notrunc status=none
printf '\x01\x00\x00\x00' | dd of=damaged.EDT bs=1 seek=$((3 * 512 + 4)) conv=notrunc status=none
pack damaged damaged.EDB damaged.EDT

# A record file cut inside its last record, and a memo file cut inside its last block.
head -c $(( $(stat -c %s memo.EDB) - 7 )) memo.EDB >short.EDB
head -c $(( $(stat -c %s memo.EDT) - 100 )) memo.EDT >short.EDT
pack short short.EDB short.EDT

ls "$seeds" | wc -l | xargs echo "seeds:"
