# Sourced by scripts/test.sh (or by hand: `source scripts/wine-env.sh`) before the
# Windows tests run under Wine. Sets up, once per shell:
#  - a virtual display (Xvfb) with a window manager, unless QBX_WINE_DISPLAY names one
#    already (a hidden window without a window manager stalls Wine for 2 s each time);
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
_qbx_pids=()

qbx_wine_start() {
  mkdir -p "$(dirname "$WINEPREFIX")"
  : >"$_qbx_wine_log"
  if [ -n "${QBX_WINE_DISPLAY:-}" ]; then
    export DISPLAY=$QBX_WINE_DISPLAY
  else
    local n=${QBX_WINE_DISPLAY_NUMBER:-$((90 + RANDOM % 400))}
    while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >>"$_qbx_wine_log" 2>&1 </dev/null &
    _qbx_pids+=($!)
    export DISPLAY=":$n"
    for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
    if command -v openbox >/dev/null; then
      openbox >>"$_qbx_wine_log" 2>&1 </dev/null &
      _qbx_pids+=($!)
    elif command -v icewm >/dev/null; then
      icewm >>"$_qbx_wine_log" 2>&1 </dev/null &
      _qbx_pids+=($!)
    fi
  fi
  # The prefix, then a server that stays (-p) and the background services, all with
  # DISPLAY set (a server started without it breaks later dialogs) and detached.
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot --init >>"$_qbx_wine_log" 2>&1 </dev/null || return 1
  fi
  setsid wineserver -p >>"$_qbx_wine_log" 2>&1 </dev/null &
  setsid wine cmd /c exit >>"$_qbx_wine_log" 2>&1 </dev/null
  return 0
}

qbx_wine_stop() {
  wineserver -k >/dev/null 2>&1 </dev/null || true
  local p
  for p in "${_qbx_pids[@]}"; do kill "$p" 2>/dev/null || true; done
  _qbx_pids=()
}
