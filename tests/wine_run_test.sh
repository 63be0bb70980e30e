#!/bin/bash
# cmake/wine_run.sh given a prefix without Wine's 32-bit half: it says so and
# fails, and the prefix keeps what earlier steps left in it.
# Usage: wine_run_test.sh SOURCE_DIR BUILD_DIR
set -u
prefix=$2/wine-run-prefix
rm -rf "$prefix"
mkdir -p "$prefix/drive_c/windows/system32"
touch "$prefix/system.reg"
echo 'an earlier step' >"$prefix/drive_c/earlier_step.txt"

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
output=$("$1/cmake/wine_run.sh" "$prefix" cmd /c exit 0 2>&1) && fail "the run did not fail"
grep -q "32-bit half" <<<"$output" || fail "no word of the 32-bit half: '$output'"
[ -f "$prefix/drive_c/earlier_step.txt" ] || fail "the prefix was deleted"
rm -rf "$prefix" "$prefix.lock"
exit $((failures > 0))
