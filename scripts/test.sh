#!/usr/bin/env bash
# Installs what is missing, builds both configurations (plain, and with address and
# undefined-behaviour sanitizers), runs every test in each, then fuzzes the listing
# parser and the upload-answer reader briefly. QBX_FUZZ_SECONDS sets the fuzzing time
# of both together (default 60, 0 skips it).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
export QT_QPA_PLATFORM=offscreen
status=0
for kind in plain sanitize; do
  echo "=== $kind build"
  scripts/build.sh "$kind"
  dir=build; [ "$kind" = sanitize ] && dir=build-asan
  echo "=== $kind tests"
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir "$dir" --output-on-failure -j2 || status=1
done
seconds=${QBX_FUZZ_SECONDS:-60}
if [ "$seconds" -gt 0 ] && [ -x fuzz/run-fuzz.sh ]; then
  echo "=== fuzzing the listing parser and the upload-answer reader for ${seconds}s"
  fuzz/run-fuzz.sh "$seconds" || status=1
fi
exit $status
