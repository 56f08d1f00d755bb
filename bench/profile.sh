#!/usr/bin/env bash
# Instructions per iteration of one kvbench workload, counted by callgrind: repeatable on a busy
# machine where timings are not. Usage: bench/profile.sh BUILD_DIR WORKLOAD [ITERATIONS] [all]
#   bench/profile.sh build refresh/brush+visible/unchanged/run 5
# Leaves callgrind.out.<workload> in the current directory for callgrind_annotate.
#
# callgrind collects per thread, so the default count is the measuring thread's alone. Qt's raster
# engine hands the spans of large fills to its thread pool; "all" counts every thread instead: the
# whole program run with ITERATIONS and with none, the difference divided by ITERATIONS.
set -euo pipefail
build=${1:?build directory}
workload=${2:?workload name (kvbench --profile x lists them)}
iterations=${3:-10}
threads=${4:-}
out="callgrind.out.$(echo "$workload" | tr '/+ ' '___')"
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
totalOf() {
  callgrind_annotate "$1" 2> /dev/null | awk '/PROGRAM TOTALS/ {gsub(",", "", $1); print $1}'
}
if [ "$threads" = all ]; then
  for n in 0 "$iterations"; do
    valgrind --tool=callgrind --callgrind-out-file="$out.$n" \
      "$build/bin/kvbench" --profile "$workload" "$n" > /dev/null 2> "$out.$n.log"
  done
  total=$(($(totalOf "$out.$iterations") - $(totalOf "$out.0")))
  echo "$workload: $((total / iterations)) instructions per iteration, every thread ($out.$iterations)"
  exit 0
fi
valgrind --tool=callgrind --callgrind-out-file="$out" --collect-atstart=no \
  --toggle-collect='kvbench::profiledIteration*' \
  "$build/bin/kvbench" --profile "$workload" "$iterations" > /dev/null 2> "$out.log"
total=$(totalOf "$out")
echo "$workload: $((total / iterations)) instructions per iteration ($out)"
