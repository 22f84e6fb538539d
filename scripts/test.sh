#!/usr/bin/env bash
# Installs what is missing, builds everything with AddressSanitizer and
# UndefinedBehaviorSanitizer in build-test/, runs the whole test suite, then every fuzz
# program for 30 s (BURN_FUZZ_SECONDS; 0 skips them).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

build_dir=${BURN_TEST_BUILD_DIR:-build-test}
cmake -S . -B "$build_dir" -DBURN_SANITIZE=ON -DBURN_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build_dir" -j"$(nproc)"

# Singletons that live until the process ends are not leaks; everything else is reported.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$PWD/scripts/lsan.supp}
(cd "$build_dir" && ctest --output-on-failure -j2 --timeout 600)

# Every fuzz program for a while (BURN_FUZZ_SECONDS each, 30 by default; 0 skips them),
# with the fuzz programs' own sanitizer settings.
fuzz_seconds=${BURN_FUZZ_SECONDS:-30}
[ "$fuzz_seconds" = 0 ] || env -u ASAN_OPTIONS -u UBSAN_OPTIONS -u LSAN_OPTIONS scripts/fuzz.sh "$fuzz_seconds"
