#!/usr/bin/env bash
# Installs what is missing, checks the C++ format (scripts/check-format.sh), builds
# both configurations (plain, and with address and undefined-behaviour sanitizers),
# runs every test in each, checks the install tree and the .deb
# (scripts/check-install.sh) and the Windows packages under Wine
# (scripts/check-windows-package.sh), then fuzzes the listing parser and the
# upload-answer reader briefly. QBX_FUZZ_SECONDS sets the fuzzing time of both
# together (default 60, 0 skips it).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
export QT_QPA_PLATFORM=offscreen
status=0
echo "=== format"
scripts/check-format.sh || status=1
for kind in plain sanitize; do
  echo "=== $kind build"
  scripts/build.sh "$kind"
  dir=build; [ "$kind" = sanitize ] && dir=build-asan
  echo "=== $kind tests"
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir "$dir" --output-on-failure -j2 || status=1
done
# --- Installing (desktop entry, metainfo, install tree, .deb, the packaged program)
# and the dialogs' frame buttons under a real window manager.
echo "=== install and package checks"
scripts/check-install.sh build || status=1
echo "=== dialog frames under a window manager"
timeout 180 scripts/check-decorations.sh build || status=1
# The Windows packages (.msi and .zip) from the Windows build, installed, upgraded and
# removed under Wine.
echo "=== Windows packages under Wine"
if [ -f build-windows/quillbox.exe ] && [ -f build-windows/quillbox-cli.exe ]; then
  timeout 600 scripts/check-windows-package.sh build-windows build || status=1
else
  echo "skipped: no Windows build (build-windows/quillbox.exe, quillbox-cli.exe)"
fi
# ---
seconds=${QBX_FUZZ_SECONDS:-60}
if [ "$seconds" -gt 0 ] && [ -x fuzz/run-fuzz.sh ]; then
  echo "=== fuzzing the listing parser and the upload-answer reader for ${seconds}s"
  fuzz/run-fuzz.sh "$seconds" || status=1
fi
exit $status
