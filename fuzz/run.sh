#!/usr/bin/env bash
# Runs every fuzz target of a KV_FUZZ build for a while, one after the other, on the seeds that
# fuzz_seeds writes from the examples plus what earlier runs found:
#
#   fuzz/run.sh BUILD_DIR SECONDS [TARGET...]
#
# Inputs a target keeps are in BUILD_DIR/fuzz-run/corpus/TARGET; a crash, a leak, a broken
# promise (kvfuzz::finding), a hang (an input running longer than FUZZ_TIMEOUT seconds), a single
# allocation above FUZZ_MALLOC_MB or a process above FUZZ_RSS_MB stops the target and leaves the
# input in BUILD_DIR/fuzz-run/findings/TARGET. Exits non-zero when any target found something.
#
# The timeout is generous because the build is unoptimised and sanitized: the largest drawing a
# record may legitimately ask for (a shaded pentagon of 32769 outlines) takes seconds there.
set -euo pipefail

build=${1:?usage: fuzz/run.sh BUILD_DIR SECONDS [TARGET...]}
seconds=${2:?usage: fuzz/run.sh BUILD_DIR SECONDS [TARGET...]}
shift 2
targets=("$@")
if [[ ${#targets[@]} -eq 0 ]]; then
  targets=(objects evaluator compiler projectjson kvs)
fi

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
build=$(cd "$build" && pwd)
work=$build/fuzz-run

timeout_s=${FUZZ_TIMEOUT:-30}
rss_mb=${FUZZ_RSS_MB:-2048}
malloc_mb=${FUZZ_MALLOC_MB:-256}

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:allocator_may_return_null=0}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$root/tests/lsan.supp}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

mkdir -p "$work"
seeds=$(mktemp -d "$work/seeds.XXXXXX")
trap 'rm -rf "$seeds"' EXIT
"$build/bin/fuzz_seeds" "$seeds" "$root"/examples/*.json

failed=()
for target in "${targets[@]}"; do
  binary=$build/bin/fuzz_$target
  corpus=$work/corpus/$target
  findings=$work/findings/$target
  mkdir -p "$corpus" "$findings"
  dict=()
  if [[ -f $here/$target.dict ]]; then
    dict=(-dict="$here/$target.dict")
  fi
  echo "== fuzz_$target: ${seconds}s"
  if "$binary" "${dict[@]}" -max_total_time="$seconds" -timeout="$timeout_s" \
      -rss_limit_mb="$rss_mb" -malloc_limit_mb="$malloc_mb" \
      -print_final_stats=1 -artifact_prefix="$findings/" \
      "$corpus" "$seeds/$target" > "$work/$target.log" 2>&1; then
    grep -E '^(Done|stat::number_of_executed_units|stat::peak_rss_mb)' "$work/$target.log" || true
  else
    failed+=("$target")
    tail -n 60 "$work/$target.log"
    echo "fuzz_$target found something; the input is in $findings"
  fi
done

if [[ ${#failed[@]} -gt 0 ]]; then
  echo "fuzz: findings in ${failed[*]}"
  exit 1
fi
echo "fuzz: ${#targets[@]} targets ran ${seconds}s each without a finding"
