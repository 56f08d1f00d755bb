#!/usr/bin/env bash
# Instructions per iteration of one kvbench workload, counted by callgrind: repeatable on a busy
# machine where timings are not. Usage: bench/profile.sh BUILD_DIR WORKLOAD [ITERATIONS]
#   bench/profile.sh build refresh/brush+visible/unchanged/run 5
# Leaves callgrind.out.<workload> in the current directory for callgrind_annotate.
set -euo pipefail
build=${1:?build directory}
workload=${2:?workload name (kvbench --profile x lists them)}
iterations=${3:-10}
out="callgrind.out.$(echo "$workload" | tr '/+ ' '___')"
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
valgrind --tool=callgrind --callgrind-out-file="$out" --collect-atstart=no \
  --toggle-collect='kvbench::profiledIteration*' \
  "$build/bin/kvbench" --profile "$workload" "$iterations" > /dev/null 2> "$out.log"
total=$(callgrind_annotate "$out" 2> /dev/null | awk '/PROGRAM TOTALS/ {gsub(",", "", $1); print $1}')
echo "$workload: $((total / iterations)) instructions per iteration ($out)"
