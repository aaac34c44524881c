#!/usr/bin/env bash
# Runs a program on a private Xvfb display managed by openbox, on Qt's xcb platform:
# there the X server routes keys, clicks and the caption's close box as on a desktop.
# Exits 77 (reported as skipped) when Xvfb, openbox or xdotool is not installed.
set -u
for tool in Xvfb openbox xdotool; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "skipped: $tool is not installed (scripts/install-deps.sh installs it)"
    exit 77
  fi
done
tmp=$(mktemp -d)
xvfb=""
wm=""
cleanup() {
  [ -n "$wm" ] && kill "$wm" 2>/dev/null
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$tmp"
}
trap cleanup EXIT
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$tmp/display" >"$tmp/xvfb.log" 2>&1 &
xvfb=$!
for _ in $(seq 1 200); do [ -s "$tmp/display" ] && break; sleep 0.05; done
if [ ! -s "$tmp/display" ]; then
  echo "skipped: Xvfb did not start"; cat "$tmp/xvfb.log"
  exit 77
fi
export DISPLAY=":$(tr -d '\n' <"$tmp/display")"
# The window manager is up once it has set its check window on the root. A loaded
# machine may take a while; one that died on the way is started again, and a display
# without one is said plainly (the tests would only see windows that are never framed).
wm_up() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
for _try in 1 2 3; do
  openbox --sm-disable >"$tmp/openbox.log" 2>&1 &
  wm=$!
  for _ in $(seq 1 600); do
    wm_up && break
    kill -0 "$wm" 2>/dev/null || break
    sleep 0.05
  done
  wm_up && break
  kill "$wm" 2>/dev/null
  wait "$wm" 2>/dev/null
  wm=""
done
if ! wm_up; then
  echo "the window manager did not start on $DISPLAY:"; cat "$tmp/openbox.log"
  exit 1
fi
sleep 0.3
export QT_QPA_PLATFORM=xcb
"$@"
