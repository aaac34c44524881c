# Sourced by scripts/test.sh (or by hand: `source scripts/wine-env.sh`) before the
# Windows tests run under Wine. Sets up, once per shell:
#  - a virtual display (Xvfb) with a window manager, up before Wine starts
#    (scripts/x11-env.sh), unless QBX_WINE_DISPLAY names one already (a hidden window
#    without a window manager stalls Wine for 2 s each time);
#  - a Wine prefix of our own (build-windows/wineprefix), made with Mono and Gecko
#    turned off (no install prompts) and Wine's messages silenced;
#  - wineserver and Wine's background services started first, detached, with their
#    output sent to a log: they would otherwise hold on to the first test's output and
#    keep ctest waiting after every test.
# qbx_wine_stop ends what this started (and only that).
_qbx_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX=${QBX_WINEPREFIX:-$_qbx_root/build-windows/wineprefix}
export WINEDEBUG=-all
# winemenubuilder off: a shortcut made under Wine would otherwise become a .desktop file
# in the host user's own menu.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export WINEARCH=win64
_qbx_wine_log=$(dirname "$WINEPREFIX")/wine-env.log
# shellcheck source=scripts/x11-env.sh
source "$_qbx_root/scripts/x11-env.sh"

qbx_wine_start() {
  mkdir -p "$(dirname "$WINEPREFIX")"
  : >"$_qbx_wine_log"
  if [ -n "${QBX_WINE_DISPLAY:-}" ]; then
    export DISPLAY=$QBX_WINE_DISPLAY
  else
    local wm=openbox
    command -v openbox >/dev/null || wm=icewm
    qbx_x11_start "$wm" >>"$_qbx_wine_log" 2>&1 || return 1
  fi
  # The prefix, then a server that stays (-p) and the background services, all with
  # DISPLAY set (a server started without it breaks later dialogs) and detached.
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot --init >>"$_qbx_wine_log" 2>&1 </dev/null || return 1
  fi
  # The server must be ours, listening before any program starts: a program that finds
  # none starts a passing one, which ends with the last program, and a test program
  # that connects while it ends fails with "wine client error:…: recvmsg". wineserver
  # returns once its detached copy listens: 0, or 2 when a server of this prefix runs
  # already (wineboot's passing one: wait for it to end, then start ours).
  local try rc
  for try in 1 2 3; do
    rc=0
    setsid wineserver -p >>"$_qbx_wine_log" 2>&1 </dev/null || rc=$?
    [ "$rc" = 2 ] || break
    timeout 30 wineserver -w >>"$_qbx_wine_log" 2>&1 </dev/null || break  # still running: one that stays
  done
  [ "$rc" = 0 ] || [ "$rc" = 2 ] || return 1
  setsid wine cmd /c exit >>"$_qbx_wine_log" 2>&1 </dev/null
  return 0
}

qbx_wine_stop() {
  wineserver -k >/dev/null 2>&1 </dev/null || true
  qbx_x11_stop
}
