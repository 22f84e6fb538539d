#!/usr/bin/env bash
# Installs what is missing, builds, and burns the example job on the simulated Epson
# publisher: pubsim plays the publisher, burnhost runs the module, and the job goes
# from ApplyBurn to its final status. Leaves nothing running.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

scripts/install-deps.sh
cmake -S . -B build -DBURN_BUILD_BENCH=OFF >/dev/null
cmake --build build -j"$(nproc)" --target burnhost pubsim BurnModule win32_libos >/dev/null

demo=$(mktemp -d "${TMPDIR:-/tmp}/burndemo-XXXXXX")
export BURNMODULE_PUBLISHER_ROOT="$demo/publisher"
export BURNMODULE_TIME_SCALE=0.02   # a 60 s status poll becomes 1.2 s
export TMPDIR="$demo/tmp"
mkdir -p "$TMPDIR"

build/bin/pubsim --root "$BURNMODULE_PUBLISHER_ROOT" --step-ms 300 > "$demo/pubsim.log" &
pubsim_pid=$!
trap 'kill "$pubsim_pid" 2>/dev/null; wait "$pubsim_pid" 2>/dev/null || true' EXIT
until grep -q '^ready' "$demo/pubsim.log" 2>/dev/null; do sleep 0.1; done

echo "Burning examples/demo-job.json on the simulated Epson publisher:"
status=0
/usr/bin/python3 scripts/demo_job.py build/bin/burnhost "$demo/data" examples/demo-job.json || status=$?

orders="$BURNMODULE_PUBLISHER_ROOT/EPSON/TDBridge/Orders"
cat <<MSG

Where to look:
  order file       $orders/DEMO-0815.jdf
  label fields     $TMPDIR/BurnFileTemp/DEMO-0815/DEMO-0815.data
  what was burned  $orders/DEMO-0815.result.txt
  module log       build/bin/Log/burnhost/
MSG
echo
cat "$orders/DEMO-0815.result.txt" 2>/dev/null || true
exit "$status"
