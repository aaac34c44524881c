#!/usr/bin/env bash
# Builds one configuration: scripts/build.sh [plain|sanitize] -> build/ or build-asan/
set -euo pipefail
cd "$(dirname "$0")/.."
kind=${1:-plain}
case "$kind" in
  plain) dir=build; extra=() ;;
  sanitize) dir=build-asan; extra=(-DQBX_SANITIZE=ON) ;;
  *) echo "usage: $0 [plain|sanitize]" >&2; exit 2 ;;
esac
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${extra[@]}" >/dev/null
cmake --build "$dir" -j2
