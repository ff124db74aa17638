# A directory stands where the accounts file would go: it cannot be opened as a file, nor written.
set -eu
mkdir "$1/c.mcn"
