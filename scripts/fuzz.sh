#!/usr/bin/env bash
# Builds the libFuzzer programs of fuzz/ with clang in build-fuzz/ and runs each for a
# while on a scratch copy of its corpus: scripts/fuzz.sh [seconds-per-target] [target...]
# (default 30 s, every target). Prints the inputs each ran; fails on any crash, timeout,
# leak or sanitizer report, leaving the input and the log under the scratch folder.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
seconds=${1:-30}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(fuzz_gateway fuzz_parsers fuzz_files fuzz_host fuzz_simulators fuzz_simservices)

scripts/install-deps.sh
CC=clang-14 CXX=clang++-14 cmake -S . -B build-fuzz -DBURN_FUZZ=ON -DBURN_BUILD_TESTS=OFF -DBURN_BUILD_BENCH=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz -j2 --target "${targets[@]}"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$root/fuzz/lsan.supp}

# New inputs go to the scratch copy, never into fuzz/corpus/. The fuzz programs change
# their working folder, so every path handed to them is absolute.
scratch=$(mktemp -d "${TMPDIR:-/tmp}/burnfuzz-run-XXXXXX")
failed=()
total=0
for target in "${targets[@]}"; do
  work=$scratch/$target
  mkdir -p "$work/corpus" "$work/artifacts"
  cp -r "fuzz/corpus/$target/." "$work/corpus/" 2>/dev/null || true
  log=$work/fuzz.log
  status=0
  "build-fuzz/bin/$target" "$work/corpus" -dict="$root/fuzz/burn.dict" -timeout=1 -rss_limit_mb=2048 \
    -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$work/artifacts/" >"$log" 2>&1 || status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  runs=${runs:-0}
  total=$((total + runs))
  if [ "$status" -ne 0 ] \
    || grep -qE 'ERROR: (AddressSanitizer|LeakSanitizer|libFuzzer)|runtime error:|SUMMARY: ' "$log"; then
    failed+=("$target")
    printf '%-18s %12s inputs  FAILED (exit %s): %s\n' "$target" "$runs" "$status" "$log"
    grep -E 'ERROR:|runtime error:|SUMMARY:|Test unit written' "$log" | head -5 | sed 's/^/    /'
  else
    printf '%-18s %12s inputs  ok\n' "$target" "$runs"
  fi
done
printf '%-18s %12s inputs\n' total "$total"

if [ ${#failed[@]} -gt 0 ]; then
  echo "Failed: ${failed[*]} (inputs and logs under $scratch)"
  exit 1
fi
rm -rf "$scratch"
