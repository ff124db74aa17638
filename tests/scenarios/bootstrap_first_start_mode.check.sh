# The files of a first start are the user's alone: the accounts file holds the password.
set -eu
for f in c.mcn a.mcn a.edt; do
  mode=$(stat -c %a "$1/$f")
  if [ "$mode" != 600 ]; then echo "$f has mode $mode, expected 600" >&2; exit 1; fi
done
if ls "$1" | grep -q '~new'; then echo "a passing file was left behind" >&2; exit 1; fi
