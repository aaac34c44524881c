#!/usr/bin/env bash
# Line coverage of the program's own code by the test suite (not part of scripts/test.sh).
#   scripts/coverage.sh [BUILD_DIR] [-- CTEST_ARGS...]
# Builds with gcov instrumentation into BUILD_DIR (default build-coverage/), runs the
# tests that need no Wine (or those CTEST_ARGS select, e.g. -- -R cli), and prints the
# share of lines run in each folder of src/ and tools/. It also writes
# BUILD_DIR/coverage/summary.json and a browsable BUILD_DIR/coverage/index.html, where
# the lines never run are marked.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=build-coverage
if [ $# -gt 0 ] && [ "$1" != "--" ]; then
  dir=$1
  shift
fi
[ "${1:-}" = "--" ] && shift
ctest_args=("$@")
[ ${#ctest_args[@]} -eq 0 ] && ctest_args=(-LE wine)

launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Debug "${launcher[@]}" \
  -DCMAKE_CXX_FLAGS="--coverage -O0" -DCMAKE_EXE_LINKER_FLAGS="--coverage" \
  -DCMAKE_SHARED_LINKER_FLAGS="--coverage" >/dev/null
cmake --build "$dir" -j2

# Counts from an earlier run would add to this one.
find "$dir" -name '*.gcda' -delete
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
ctest --test-dir "$dir" -j2 --output-on-failure "${ctest_args[@]}" || echo "coverage: some tests failed (figures below still count what ran)" >&2

out=$dir/coverage
mkdir -p "$out"
gcovr --root . --object-directory "$dir" --filter 'src/' --filter 'tools/' \
  --json-summary "$out/summary.json" --json-summary-pretty --html-details "$out/index.html" >/dev/null
python3 - "$out/summary.json" <<'EOF'
import json, os, sys
folders = {}
for f in json.load(open(sys.argv[1]))["files"]:
    d = os.path.dirname(f["filename"])
    total, covered = folders.get(d, (0, 0))
    folders[d] = (total + f["line_total"], covered + f["line_covered"])
print(f"{'folder':32} {'lines':>7} {'run':>7} {'share':>7}")
all_total = all_covered = 0
for d in sorted(folders):
    total, covered = folders[d]
    all_total += total
    all_covered += covered
    share = 100.0 * covered / total if total else 100.0
    print(f"{d:32} {total:7} {covered:7} {share:6.1f}%")
print(f"{'all':32} {all_total:7} {all_covered:7} {100.0 * all_covered / max(all_total, 1):6.1f}%")
EOF
echo "coverage: line by line in $out/index.html"
