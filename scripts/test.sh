#!/usr/bin/env bash
# Installs what is missing, checks the C++ format (scripts/check-format.sh), builds
# both configurations (plain, and with address and undefined-behaviour sanitizers),
# runs every test in each, cross-builds for Windows and runs those tests under Wine, checks the install tree and the .deb
# (scripts/check-install.sh) and the Windows packages under Wine
# (scripts/check-windows-package.sh), then fuzzes the listing parser and the
# upload-answer reader briefly. QBX_FUZZ_SECONDS sets the fuzzing time of both
# together (default 60, 0 skips it).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
export QT_QPA_PLATFORM=offscreen
status=0
# Each step says when it began, so a slow one shows in the log.
section() { echo "=== $* ($(date -u +%T))"; }
section format
scripts/check-format.sh || status=1
for kind in plain sanitize; do
  section "$kind build"
  scripts/build.sh "$kind"
  dir=build; [ "$kind" = sanitize ] && dir=build-asan
  section "$kind tests"
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir "$dir" --output-on-failure -j2 -LE wine || status=1
done
# --- Windows: cross-built with mingw-w64, its tests run under Wine on a virtual display
# (scripts/wine-env.sh); the road tests of quillbox-cli.exe and quillbox.exe run from
# the Linux build, which has the simulated printer.
section "windows build"
if scripts/build.sh windows; then
  section "windows tests under Wine"
  # shellcheck source=scripts/wine-env.sh
  source scripts/wine-env.sh
  if qbx_wine_start; then
    # Under Wine a test process now and then never ends after its last test passed
    # (Wine's process exit on a loaded machine, not the test): such a test is run once
    # more, and a second failure counts.
    ctest --test-dir build-windows --output-on-failure -j2 --repeat until-pass:2 || status=1
    cmake build -DQBX_WINDOWS_CLI="$PWD/build-windows/src/quillbox-cli.exe" \
      -DQBX_WINDOWS_QUILLBOX="$PWD/build-windows/src/quillbox.exe" >/dev/null &&
      cmake --build build --target test_cli_wine -j2 &&
      ctest --test-dir build --output-on-failure -j2 -L wine --repeat until-pass:2 || status=1
    qbx_wine_stop
  else
    echo "Wine could not be started (see build-windows/wine-env.log)"
    status=1
  fi
else
  status=1
fi
# --- Installing (desktop entry, metainfo, install tree, .deb, the packaged program)
# and the dialogs' frame buttons under a real window manager.
section "install and package checks"
scripts/check-install.sh build || status=1
section "dialog frames under a window manager"
timeout 180 scripts/check-decorations.sh build || status=1
# The Windows packages (.msi and .zip) from the Windows build, installed, upgraded and
# removed under Wine.
section "Windows packages under Wine"
timeout 600 scripts/check-windows-package.sh build-windows build || status=1
# ---
seconds=${QBX_FUZZ_SECONDS:-60}
if [ "$seconds" -gt 0 ] && [ -x fuzz/run-fuzz.sh ]; then
  section "fuzzing the listing parser and the upload-answer reader for ${seconds}s"
  fuzz/run-fuzz.sh "$seconds" || status=1
fi
exit $status
