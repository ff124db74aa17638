set -eu
mkdir "$1/a.mcn"
ln -s target.mcn "$1/c.mcn"
