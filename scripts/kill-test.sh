#!/usr/bin/env bash
# Kills burnhost with SIGKILL at random moments while acknowledged-protocol jobs run on the
# burn service simulator, and checks that every job ended once, burned once, with every reply
# confirmed and every resent reply unchanged. Usage: scripts/kill-test.sh [kills] [seed]
# (a hundred kills by default; the seed repeats a run's moments). CTest runs fifteen.
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=${BURN_BUILD_DIR:-build}
[ -f "$build_dir/CMakeCache.txt" ] || cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build_dir" -j"$(nproc)" --target tst_killrecovery

export BURN_KILLS=${1:-100}
[ -z "${2:-}" ] || export BURN_KILL_SEED=$2
exec "$build_dir/bin/tst_killrecovery" killedAtRandom
