#!/usr/bin/env bash
# Builds one configuration: scripts/build.sh [plain|sanitize|windows]
#   plain -> build/, sanitize -> build-asan/, windows -> build-windows/ (cross-built with
#   mingw-w64: quillbox.exe, quillbox-cli.exe and the Windows tests, run under Wine).
set -euo pipefail
cd "$(dirname "$0")/.."
kind=${1:-plain}
launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
case "$kind" in
  plain) dir=build; extra=() ;;
  sanitize) dir=build-asan; extra=(-DQBX_SANITIZE=ON) ;;
  windows) dir=build-windows; extra=(-DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw64.cmake) ;;
  *) echo "usage: $0 [plain|sanitize|windows]" >&2; exit 2 ;;
esac
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" "${extra[@]}" >/dev/null
cmake --build "$dir" -j2
