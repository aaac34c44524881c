#!/usr/bin/env bash
# Installs what is missing, builds, starts the simulated printer with sample scans and
# starts Quillbox ready to reach it. Ends the printer when Quillbox ends.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh plain
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "No display found: run this on a desktop session, or under a virtual one with: xvfb-run -a $0"
  exit 1
fi
store=${QBX_DEMO_STORE:-$PWD/build/demo-printer}
port=${QBX_DEMO_PORT:-3102}
mkdir -p "$store"
# Where an Avahi daemon runs, the printer also announces itself (and listens on every
# interface, so the address announced reaches it), and Find Printer… in the main dialog
# lists it.
advertise=()
if command -v avahi-daemon >/dev/null && avahi-daemon --check 2>/dev/null; then
  advertise=(--advertise "Quillbox Demo Printer" --bind 0.0.0.0)
fi
build/tools/printer-sim/quillbox-printer-sim --root "$store" --port "$port" --samples "${advertise[@]}" &
sim=$!
trap 'kill $sim 2>/dev/null || true' EXIT
sleep 1
# Quillbox reads its settings next to the executable: point it at the printer once.
ini=build/src/Quillbox.ini
if ! grep -q '^RemoteIP=' "$ini" 2>/dev/null; then
  printf '[NetInfo]\nRemoteIP=127.0.0.1\nRemotePort=%s\n' "$port" >> "$ini"
fi
echo "Simulated printer on 127.0.0.1:$port (store $store). Sample user IDs: 1234, 12345, 42."
build/src/quillbox
