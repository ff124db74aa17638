set -eu
ln -s /dev/null "$1/a.mcn"
