#!/usr/bin/env bash
# Checks the C++ sources against .clang-format and names every file that differs, with the number
# of lines that would change. Report-only by default (exit 0); with MEMO_FORMAT_STRICT=1 any
# difference, or a missing clang-format, fails (exit 1). Usage: scripts/check_format.sh [FILE...]
# (no files: every tracked *.cc and *.h).
set -uo pipefail
cd "$(dirname "$0")/.."
strict=${MEMO_FORMAT_STRICT:-0}
tool=${CLANG_FORMAT:-clang-format}

if ! command -v "$tool" > /dev/null 2>&1; then
  echo "check_format: $tool not found; nothing checked"
  [ "$strict" = 1 ] && exit 1
  exit 0
fi

if [ "$#" -gt 0 ]; then
  files=("$@")
else
  mapfile -t files < <(git ls-files '*.cc' '*.h' 2> /dev/null)
fi

differ=0
lines=0
for f in "${files[@]}"; do
  [ -f "$f" ] || continue
  n=$("$tool" --style=file "$f" | diff "$f" - | grep -c '^[<>]')
  if [ "$n" -gt 0 ]; then
    echo "  $f: $n lines differ"
    differ=$((differ + 1))
    lines=$((lines + n))
  fi
done

echo "check_format: ${#files[@]} files checked, $differ differ from .clang-format ($lines lines)"
if [ "$differ" -gt 0 ] && [ "$strict" = 1 ]; then exit 1; fi
exit 0
