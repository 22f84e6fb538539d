#!/usr/bin/env bash
# Builds everything with gcc's coverage instrumentation, runs the whole test suite
# and reports line and branch coverage of our own code per folder, with an HTML
# report beside the build. See docs/coverage.md.
#
#   scripts/coverage.sh [--source DIR] [BUILD_DIR]
#
# DIR is the checkout to measure (default: this one); it needs the BURN_COVERAGE
# option. BUILD_DIR defaults to DIR/build-coverage.
set -euo pipefail

usage() { sed -n '6,9s/^# \{0,1\}//p' "$0"; }

script_dir=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$script_dir/.." && pwd)
build_dir=
while [ $# -gt 0 ]; do
  case "$1" in
    --source) [ $# -ge 2 ] || { usage >&2; exit 2; }; source_dir=$2; shift 2 ;;
    --source=*) source_dir=${1#--source=}; shift ;;
    -h|--help) usage; exit 0 ;;
    -*) usage >&2; exit 2 ;;
    *) [ -z "$build_dir" ] || { usage >&2; exit 2; }; build_dir=$1; shift ;;
  esac
done
source_dir=$(cd "$source_dir" && pwd)
build_dir=${build_dir:-$source_dir/build-coverage}
mkdir -p "$build_dir"
build_dir=$(cd "$build_dir" && pwd)

if ! grep -q 'BURN_COVERAGE' "$source_dir/CMakeLists.txt"; then
  echo "$source_dir/CMakeLists.txt has no BURN_COVERAGE option" >&2
  exit 2
fi

"$script_dir/install-deps.sh"
# gcovr runs gcov over the counters; the report needs nothing else.
if ! dpkg-query -W -f='${Status}' gcovr 2>/dev/null | grep -q "install ok installed"; then
  echo "Installing: gcovr"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends gcovr
fi

started=$(date +%s)
cmake -S "$source_dir" -B "$build_dir" -DBURN_COVERAGE=ON -DBURN_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug
cmake --build "$build_dir" -j2

# Counters add up across runs: start from zero so the report is this run's alone.
find "$build_dir" -name '*.gcda' -delete
# A test process that dies writes no counters: failed tests run once more, so one
# flaky crash does not show as lost coverage. The failure is still reported.
suite_status=0
first_status=0
(cd "$build_dir" && ctest --output-on-failure -j2 --timeout 600) || first_status=$?
if [ "$first_status" -ne 0 ]; then
  echo "Running the failed tests once more"
  (cd "$build_dir" && ctest --rerun-failed --output-on-failure --timeout 600) || suite_status=$?
fi

# Our own code only: the top-level folders below; the tests, the benchmarks, build
# trees, moc and autogen output and the system's headers (Qt's too) stay out.
report_dir=$build_dir/coverage
rm -rf "$report_dir"
mkdir -p "$report_dir"
root_re=$(/usr/bin/python3 -c 'import re, sys; print(re.escape(sys.argv[1]))' "$source_dir")
build_re=$(/usr/bin/python3 -c 'import re, sys; print(re.escape(sys.argv[1]))' "$build_dir")
# Branches of exception paths and of lines with no code of their own are the
# compiler's, not ours: counted, they drown the conditions written in the source.
# The moc units are read not at all: they add no line of ours, and gcov cannot
# resolve the header paths moc writes when the build tree is outside the checkout.
(cd "$build_dir" && gcovr --root "$source_dir" --object-directory "$build_dir" \
  --filter "$root_re/(module|source|include|common|platform|host|simulators)/" \
  --exclude "$root_re/(tests|bench)/" --exclude "$root_re/build[^/]*/" --exclude "$build_re/" \
  --exclude '.*_autogen/' --exclude '.*/moc_[^/]*' --exclude '.*\.moc$' \
  --exclude-directories '.*_autogen$' \
  --exclude-throw-branches --exclude-unreachable-branches \
  -j 2 \
  --json-summary-pretty --json-summary "$report_dir/summary.json" \
  --html-details "$report_dir/index.html")

/usr/bin/python3 - "$report_dir/summary.json" <<'EOF'
# One row per folder with files of its own; a "dir/**" row adds up a folder and its
# subfolders where that makes more than one part; then the total.
import json, os, sys
from collections import defaultdict

own = defaultdict(lambda: [0, 0, 0, 0])
for f in json.load(open(sys.argv[1]))["files"]:
    counts = own[os.path.dirname(f["filename"]) + "/"]
    for i, key in enumerate(("line_covered", "line_total", "branch_covered", "branch_total")):
        counts[i] += f[key]

def subtotal(prefix):
    total = [0, 0, 0, 0]
    for folder, counts in own.items():
        if folder.startswith(prefix):
            total = [a + b for a, b in zip(total, counts)]
    return total

folders = set(own)
for folder in own:
    parts = folder.rstrip("/").split("/")
    folders.update("/".join(parts[:i]) + "/" for i in range(1, len(parts)))

def parts_of(folder):
    children = [f for f in folders if f != folder and f.startswith(folder)
                and "/" not in f[len(folder):].rstrip("/")]
    return len(children) + (folder in own)

rows = []
for folder in sorted(folders):
    if folder in own:
        rows.append((folder, own[folder]))
    if parts_of(folder) > 1:
        rows.append((folder + "**", subtotal(folder)))
rows.append(("total", subtotal("")))

def percent(covered, total):
    return "%.1f" % (100.0 * covered / total) if total else "-"

width = max(len(name) for name, _ in rows)
line = "%-*s  %11s  %6s  %11s  %8s"
print()
print(line % (width, "folder", "lines", "line %", "branches", "branch %"))
for name, (lc, lt, bc, bt) in rows:
    if name == "total":
        print("-" * (width + 45))
    print(line % (width, name, "%d/%d" % (lc, lt), percent(lc, lt),
                  "%d/%d" % (bc, bt), percent(bc, bt)))
EOF

elapsed=$(( $(date +%s) - started ))
echo
echo "HTML report: $report_dir/index.html"
echo "Build, suite and report took $((elapsed / 60)) min $((elapsed % 60)) s"
if [ "$suite_status" -ne 0 ]; then
  echo "Tests failed twice (ctest exit $suite_status): the numbers miss what they did not reach" >&2
elif [ "$first_status" -ne 0 ]; then
  echo "Tests failed on the first run and passed on the second: see the ctest output above" >&2
fi
exit "$suite_status"
