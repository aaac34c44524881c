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
# shellcheck source=scripts/x11-env.sh
source scripts/x11-env.sh
trap 'kill $QBX_SIM_PID 2>/dev/null || true' EXIT
# Where an Avahi daemon runs, the printer also announces itself (and listens on every
# interface, so the address announced reaches it), and Find Printer… in the main dialog
# lists it.
advertise=()
if command -v avahi-daemon >/dev/null && avahi-daemon --check 2>/dev/null; then
  advertise=(--advertise "Quillbox Demo Printer" --bind 0.0.0.0)
fi
qbx_sim_start build/tools/printer-sim/quillbox-printer-sim build/demo-printer.log --root "$store" --port "$port" \
  --samples "${advertise[@]}" || { cat build/demo-printer.log; exit 1; }
# Quillbox reads its settings next to the executable: point it at the printer once.
ini=build/src/Quillbox.ini
if ! grep -q '^RemoteIP=' "$ini" 2>/dev/null; then
  qbx_write_ini "$ini.printer" "$port"
  cat "$ini.printer" >>"$ini"
  rm -f "$ini.printer"
fi
echo "Simulated printer on 127.0.0.1:$port (store $store). Sample user IDs: 1234, 12345, 42."
build/src/quillbox
