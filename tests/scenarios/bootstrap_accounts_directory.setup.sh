# A directory stands where the accounts file would go.
set -eu
mkdir "$1/c.mcn"
