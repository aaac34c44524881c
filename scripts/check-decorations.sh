#!/usr/bin/env bash
# Runs Quillbox on a virtual X display under a window manager that honours the Motif
# hints (IceWM), walks to the main dialog, the About box, the file list and the
# progress dialog against the simulated printer, and checks the frame buttons the
# window manager allows each of them: never minimise or maximise, a close box for
# every dialog with a system menu, none for the progress dialog. Screenshots land in
# <build>/test-output/frames-*.png.
#   scripts/check-decorations.sh [build-folder]      (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(cd "${1:-build}" && pwd)
out=$build/test-output
mkdir -p "$out"
scratch=$(mktemp -d)
# shellcheck source=scripts/x11-env.sh
source scripts/x11-env.sh
cleanup() {
  [ -n "${app:-}" ] && kill "$app" 2>/dev/null
  [ -n "${QBX_SIM_PID:-}" ] && kill "$QBX_SIM_PID" 2>/dev/null
  qbx_x11_stop
  wait 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT
trap 'exit 1' INT TERM
fail() { echo "check-decorations: $*"; exit 1; }
for tool in Xvfb icewm xdotool xprop import; do
  command -v "$tool" >/dev/null || fail "$tool is missing (scripts/install-deps.sh installs it)"
done

QBX_X11_SCREEN=1024x768x24 qbx_x11_start icewm || fail "no display with a window manager"
qbx_sim_start "$build/tools/printer-sim/quillbox-printer-sim" "$scratch/sim.log" --root "$scratch/printer" --samples \
  --trickle 400/200 || fail "the simulated printer did not start"

mkdir -p "$scratch/app" "$scratch/saved"
cp "$build/src/quillbox" "$scratch/app/"
qbx_write_ini "$scratch/app/Quillbox.ini" "$QBX_SIM_PORT" "[QBXConfig]" "AutoDelete=no" "[MiscData]" \
  "SaveDir=$scratch/saved/"
export XDG_RUNTIME_DIR=$scratch/runtime XDG_CONFIG_HOME=$scratch/config
mkdir -p -m 700 "$XDG_RUNTIME_DIR"
QT_QPA_PLATFORM=xcb "$scratch/app/quillbox" >"$scratch/app.log" 2>&1 &
app=$!

# Waits for a visible window whose title starts with $1; prints its id.
window() {
  local id
  id=$(qbx_window "^$1" 150) || { cat "$scratch/app.log"; fail "no window '$1' appeared"; }
  sleep 0.5
  echo "$id"
}
# Checks the actions the window manager allows window $2 (titled $1); $3 = close|noclose.
check() {
  local actions
  actions=$(xprop -id "$2" _NET_WM_ALLOWED_ACTIONS)
  echo "$1: $(xprop -id "$2" _MOTIF_WM_HINTS | sed 's/.*= //') -> ${actions#*= }"
  [[ "$actions" != *MINIMIZE* && "$actions" != *MAXIMIZE* ]] || fail "$1 can be minimised or maximised"
  if [ "$3" = close ]; then
    [[ "$actions" == *_NET_WM_ACTION_CLOSE* ]] || fail "$1 has no close box"
  else
    [[ "$actions" != *_NET_WM_ACTION_CLOSE* ]] || fail "$1 has a close box"
  fi
  import -window root "$out/frames-$4.png"
}

main=$(window "Quillbox")
check "main dialog" "$main" close main
xdotool windowactivate --sync "$main" key alt+a
about=$(window "About Quillbox")
check "About box" "$about" close about
xdotool key Escape
sleep 0.5
xdotool windowactivate --sync "$main" key alt+u type 1234
xdotool key Return
list=$(window "Retrieve Scanned Files")
check "file list" "$list" close list
eval "$(xdotool getwindowgeometry --shell "$list")"
xdotool mousemove $((X + 60)) $((Y + 52)) click 1
sleep 0.3
xdotool key alt+r
window "Save As" >/dev/null
xdotool type scan.TIF
xdotool key Return
progress=$(window "Retrieving File")
check "progress dialog" "$progress" noclose progress
echo "check-decorations: all good"
