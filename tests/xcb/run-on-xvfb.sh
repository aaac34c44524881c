#!/usr/bin/env bash
# Runs a program on a private Xvfb display managed by openbox, on Qt's xcb platform:
# there the X server routes keys, clicks and the caption's close box as on a desktop.
# Exits 77 (reported as skipped) when Xvfb, openbox or xdotool is not installed.
set -u
for tool in Xvfb openbox xdotool xprop; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "skipped: $tool is not installed (scripts/install-deps.sh installs it)"
    exit 77
  fi
done
# shellcheck source=scripts/x11-env.sh
source "$(dirname "$0")/../../scripts/x11-env.sh"
trap qbx_x11_stop EXIT
# A display without a window manager is said plainly: the tests would only see windows
# that are never framed.
qbx_x11_start openbox
case $? in
  0) ;;
  2) echo "skipped: Xvfb did not start"; exit 77 ;;
  *) exit 1 ;;
esac
export QT_QPA_PLATFORM=xcb
"$@"
