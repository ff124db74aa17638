set -eu
. ./check_lib.sh
expect_mode "$1/c.mcn" 0600
expect_mode "$1/a.mcn" 0600
expect_mode "$1/a.edt" 0600
