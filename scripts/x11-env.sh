# Sourced (`source scripts/x11-env.sh`) by every script and test that needs a virtual
# display, drives windows, starts the simulated printer or reads the project's version:
#
#   qbx_x11_start [openbox|icewm]  a private Xvfb display with a window manager (openbox
#                     unless named; icewm honours the Motif hints). DISPLAY is set once
#                     the manager runs: it is waited for, however long a loaded machine
#                     takes, and started again if it died on the way. 2 when Xvfb did
#                     not start, 1 when no manager came up, each with what it said.
#                     The screen is QBX_X11_SCREEN (default 1280x1024x24).
#   qbx_x11_stop      ends what qbx_x11_start started (and only that).
#   qbx_wait_for TENTHS COMMAND...  runs COMMAND every tenth of a second until it
#                     succeeds; non-zero after TENTHS tries.
#   qbx_find_window PATTERN  the id of a visible window whose title matches the
#                     pattern, or nothing.
#   qbx_window PATTERN [TENTHS]  the same, waited for (default 30 s); non-zero when
#                     none came.
#   qbx_activate ID   raises the window and gives it the keyboard.
#   qbx_sim_start SIM LOG ARGS...  starts the simulated printer (its ARGS; on a port of
#                     its own choosing unless they say --port) with its output in LOG;
#                     sets QBX_SIM_PID, and QBX_SIM_PORT once it listens. Non-zero when
#                     it did not.
#   qbx_write_ini [--crlf] FILE PORT [LINE...]  writes a Quillbox.ini that reaches the
#                     printer on 127.0.0.1:PORT, then each LINE ("[Section]" or
#                     "Key=value"); --crlf: with Windows line ends.
#   qbx_version       the project's version, from project(Quillbox VERSION ...).
_qbx_x11_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
_qbx_x11_pids=()
_qbx_x11_dir=""

# True once a window manager has set its check window on the root.
_qbx_wm_up() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }

qbx_x11_start() {
  local wm=${1:-openbox} tool try pid
  for tool in Xvfb "$wm" xprop; do
    command -v "$tool" >/dev/null 2>&1 || { echo "$tool is not installed (scripts/install-deps.sh installs it)"; return 1; }
  done
  _qbx_x11_dir=$(mktemp -d)
  Xvfb -displayfd 3 -screen 0 "${QBX_X11_SCREEN:-1280x1024x24}" -nolisten tcp 3>"$_qbx_x11_dir/display" \
    >"$_qbx_x11_dir/xvfb.log" 2>&1 </dev/null &
  _qbx_x11_pids+=($!)
  if ! qbx_wait_for 200 test -s "$_qbx_x11_dir/display"; then
    echo "Xvfb did not start:"
    cat "$_qbx_x11_dir/xvfb.log"
    return 2
  fi
  export DISPLAY=":$(tr -d '\n' <"$_qbx_x11_dir/display")"
  local args=()
  [ "$wm" = openbox ] && args=(--sm-disable)
  for try in 1 2 3; do
    "$wm" "${args[@]}" >"$_qbx_x11_dir/wm.log" 2>&1 </dev/null &
    pid=$!
    for _ in $(seq 1 600); do
      _qbx_wm_up && break
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.05
    done
    if _qbx_wm_up; then
      _qbx_x11_pids+=("$pid")
      sleep 0.3  # a moment for the manager to take the screen over
      return 0
    fi
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
  done
  echo "the window manager $wm did not start on $DISPLAY:"
  cat "$_qbx_x11_dir/wm.log"
  return 1
}

qbx_x11_stop() {
  local i
  for ((i = ${#_qbx_x11_pids[@]} - 1; i >= 0; i--)); do kill "${_qbx_x11_pids[i]}" 2>/dev/null || true; done
  for i in "${_qbx_x11_pids[@]}"; do wait "$i" 2>/dev/null || true; done
  _qbx_x11_pids=()
  [ -n "$_qbx_x11_dir" ] && rm -rf "$_qbx_x11_dir"
  _qbx_x11_dir=""
}

qbx_wait_for() {
  local n=$1
  shift
  for _ in $(seq 1 "$n"); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}

qbx_find_window() { xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1 || true; }

qbx_window() {
  local id
  for _ in $(seq 1 "${2:-300}"); do
    id=$(qbx_find_window "$1")
    if [ -n "$id" ]; then
      echo "$id"
      return 0
    fi
    sleep 0.1
  done
  return 1
}

qbx_activate() {
  xdotool windowactivate --sync "$1" >/dev/null 2>&1 || xdotool windowfocus --sync "$1" >/dev/null 2>&1 || true
  sleep 0.3
}

qbx_sim_start() {
  local sim=$1 log=$2
  shift 2
  QBX_SIM_PORT=""
  local arg port=(--port 0)
  for arg in "$@"; do [ "$arg" = --port ] && port=(); done
  "$sim" "$@" "${port[@]}" >"$log" 2>&1 &
  QBX_SIM_PID=$!
  # It says its port once its sample scans are made and it listens.
  for _ in $(seq 1 300); do
    QBX_SIM_PORT=$(sed -n 's/.*listening on 127.0.0.1 port \([0-9]*\).*/\1/p' "$log")
    [ -n "$QBX_SIM_PORT" ] && return 0
    kill -0 "$QBX_SIM_PID" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}

qbx_write_ini() {
  local eol=$'\n' line
  if [ "$1" = --crlf ]; then
    eol=$'\r\n'
    shift
  fi
  local file=$1 port=$2
  shift 2
  {
    printf '[NetInfo]%sRemoteIP=127.0.0.1%sRemotePort=%s%s' "$eol" "$eol" "$port" "$eol"
    for line in "$@"; do printf '%s%s' "$line" "$eol"; done
  } >"$file"
}

qbx_version() { sed -n 's/^project(Quillbox VERSION \([0-9.]*\).*/\1/p' "$_qbx_x11_root/CMakeLists.txt"; }
