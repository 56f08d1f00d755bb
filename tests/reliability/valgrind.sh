#!/usr/bin/env bash
# The test suite under valgrind memcheck, run from a build directory (make valgrind):
#
#   bash tests/reliability/valgrind.sh [CTEST_ARGS...]
#
# Every test program runs under memcheck; an invalid read or write, a use of an uninitialised
# value, a mismatched free or a definite or indirect leak fails the test. The suppressions
# (tests/valgrind.supp) cover system libraries only. The plain build is used: valgrind and the
# sanitizers do not mix.
#
# somalloc=nouserintercepts: the test programs replace operator new themselves (to count
# allocations and to make one fail); valgrind must watch the allocator underneath, not replace
# theirs.
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)

options=(
  --error-exitcode=99
  --leak-check=full
  --show-leak-kinds=definite,indirect
  --errors-for-leak-kinds=definite,indirect
  --soname-synonyms=somalloc=nouserintercepts
  --suppressions="$root/tests/valgrind.supp"
  --num-callers=40
  --gen-suppressions=all
)

export QT_QPA_PLATFORM=offscreen
# Qt's regular expressions run JIT-compiled code that reads whole 16-byte words past a text's
# end by design; memcheck cannot tell that from a fault, so the interpreter runs instead.
export QT_ENABLE_REGEXP_JIT=0
rm -f Testing/Temporary/MemoryChecker.*.log
# plugin.exports runs cmake on the plug-in, not a program of ours. The live tests wait on a broker
# and a Modbus server within deadlines that a program ten times slower misses, and their fixtures
# are Python: they run under the sanitizers instead.
ctest -T memcheck -E '^(plugin\.exports|reliability\.limits)$' -LE '^live$' --output-on-failure \
  --overwrite MemoryCheckCommand="$(command -v valgrind)" \
  --overwrite "MemoryCheckCommandOptions=${options[*]}" "$@"
status=$?

# ctest names the defects; the logs say where they are.
shopt -s nullglob
for log in Testing/Temporary/MemoryChecker.*.log; do
  if grep -qE 'ERROR SUMMARY: [1-9]|definitely lost: [1-9]|indirectly lost: [1-9]' "$log"; then
    echo "==== $log"
    cat "$log"
  fi
done
exit $status
