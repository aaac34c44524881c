#!/usr/bin/env bash
# quillbox.exe under Wine against yardsticks under Wine, in one run, against one simulated
# printer (the Linux build's):
# - a 256 MiB retrieval by quillbox.exe (driven as a user drives it: list, select,
#   Retrieve, Save As; timed from the Save As answer until the copy is in place) against
#   bench_wine_recv.exe, a bare WinSock recv(2048) + fwrite loop: the ratio of their
#   throughputs (target: at least 60 %);
# - the time from starting quillbox.exe to its main dialog on the screen, against the
#   same for hello_win32.exe.
#
#   bench/wine/bench-wine.sh BUILD_WINDOWS_DIR PRINTER_SIM [MIB] [RUNS]
#
# Runs in the Wine environment of scripts/wine-env.sh (started here when DISPLAY is unset).
set -u
win=$(cd "$1" && pwd)
sim=$2
mib=${3:-256}
runs=${4:-3}
root=$(cd "$(dirname "$0")/../.." && pwd)
if [ -z "${DISPLAY:-}" ]; then
  # shellcheck source=scripts/wine-env.sh
  source "$root/scripts/wine-env.sh"
  qbx_wine_start || { echo "Wine could not be started"; exit 1; }
  trap qbx_wine_stop EXIT
fi
work=$(mktemp -d /tmp/qbx-bench-wine-XXXXXX)
simpid=""
apppid=""
cleanup() {
  [ -n "$apppid" ] && kill "$apppid" 2>/dev/null
  [ -n "$simpid" ] && kill "$simpid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap 'cleanup; command -v qbx_wine_stop >/dev/null && qbx_wine_stop' EXIT
now() { date +%s.%N; }
calc() { awk "BEGIN { printf \"%.6f\\n\", $1 }"; }
wait_for() {
  local n=$1
  shift
  for _ in $(seq 1 "$n"); do
    "$@" && return 0
    sleep 0.02
  done
  return 1
}
window() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1; }
has_window() { [ -n "$(window "$1")" ]; }
activate() {
  local w
  w=$(window "$1")
  [ -n "$w" ] && xdotool windowactivate --sync "$w" >/dev/null 2>&1
  sleep 0.2
}
winpath() { echo "Z:${1//\//\\}"; }
median() { sort -g | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : (a[NR/2] + a[NR/2+1]) / 2}'; }

# The store: one large scan for user 1234.
name="1234(001)(20240101120000).TIF"
mkdir -p "$work/store/DXR/Images"
head -c $((mib * 1048576)) /dev/urandom >"$work/store/DXR/Images/$name"
size=$((mib * 1048576))
for _ in 1 2 3 4 5; do
  port=$((20000 + RANDOM % 20000))
  "$sim" --root "$work/store" --port "$port" --quiet >"$work/sim.log" 2>&1 &
  simpid=$!
  wait_for 250 grep -q listening "$work/sim.log" && break
  kill "$simpid" 2>/dev/null
  simpid=""
done
[ -n "$simpid" ] || { echo "the simulated printer did not start"; exit 1; }

mkdir -p "$work/app" "$work/out"
cp "$win/src/quillbox.exe" "$work/app/"
printf '[NetInfo]\r\nRemoteIP=127.0.0.1\r\nRemotePort=%s\r\n[QBXConfig]\r\nAutoDelete=no\r\n' "$port" >"$work/app/Quillbox.ini"

bare_run() {
  rm -f "$work/bare.out"
  local line
  line=$(wine "$win/bench/wine/bench_wine_recv.exe" "$port" "DXR/Images/$name" "$size" "$(winpath "$work/bare.out")" | tr -d '\r' | grep RESULT)
  case "$line" in *ok=1*) ;; *) echo "bare run failed: $line" >&2; return 1 ;; esac
  cmp -s "$work/bare.out" "$work/store/DXR/Images/$name" || { echo "bare copy differs" >&2; return 1; }
  echo "$line" | sed 's/.*seconds=\([0-9.]*\).*/\1/'
}

copied() { [ "$(stat -c %s "$work/out/big.TIF" 2>/dev/null || echo 0)" -eq "$size" ] && ! ls "$work/out" | grep -q part; }

program_run() {
  rm -f "$work/out/"*
  (cd "$work/app" && exec wine quillbox.exe >/dev/null 2>&1) &
  apppid=$!
  wait_for 1500 has_window Quillbox || { echo "no main dialog" >&2; return 1; }
  activate Quillbox
  xdotool key alt+u
  xdotool type --delay 30 1234
  xdotool key Return
  wait_for 1500 has_window "Retrieve Scanned Files" || { echo "no file list" >&2; return 1; }
  activate "Retrieve Scanned Files"
  xdotool key alt+f space alt+r
  wait_for 500 has_window "Save As" || { echo "no Save As" >&2; return 1; }
  activate "Save As"
  xdotool type --delay 10 "$(winpath "$work/out/big.TIF")"
  local t0 t1
  t0=$(now)
  xdotool key Return
  wait_for 15000 copied || { echo "the copy did not complete" >&2; return 1; }
  t1=$(now)
  cmp -s "$work/out/big.TIF" "$work/store/DXR/Images/$name" || { echo "program copy differs" >&2; return 1; }
  kill "$apppid" 2>/dev/null
  wait "$apppid" 2>/dev/null
  apppid=""
  calc "$t1 - $t0"
}

start_run() {  # $1 exe, $2 window name
  local t0 t1
  t0=$(now)
  (cd "$work/app" && exec wine "$1" >/dev/null 2>&1) &
  apppid=$!
  wait_for 1500 has_window "$2" || { echo "no window $2" >&2; return 1; }
  t1=$(now)
  kill "$apppid" 2>/dev/null
  wait "$apppid" 2>/dev/null
  apppid=""
  sleep 0.5
  calc "$t1 - $t0"
}

wine cmd /c exit >/dev/null 2>&1  # a warm wineserver for every run
: >"$work/bare.t"
: >"$work/prog.t"
for i in $(seq 1 "$runs"); do
  bare_run >>"$work/bare.t" || exit 1
  program_run >>"$work/prog.t" || exit 1
done
: >"$work/start.t"
: >"$work/hello.t"
for i in $(seq 1 "$runs"); do
  start_run "$work/app/quillbox.exe" Quillbox >>"$work/start.t" || exit 1
  start_run "$win/bench/wine/hello_win32.exe" Hello >>"$work/hello.t" || exit 1
done
bare=$(median <"$work/bare.t")
prog=$(median <"$work/prog.t")
start=$(median <"$work/start.t")
hello=$(median <"$work/hello.t")
printf 'retrieval of %d MiB under Wine, median of %d runs each (seconds: bare %s, quillbox.exe %s)\n' "$mib" "$runs" \
  "$(tr '\n' ' ' <"$work/bare.t")" "$(tr '\n' ' ' <"$work/prog.t")"
printf '  bare WinSock loop  %8.1f MiB/s\n' "$(calc "$mib / $bare")"
printf '  quillbox.exe       %8.1f MiB/s\n' "$(calc "$mib / $prog")"
printf '  ratio              %8.1f %%   (target: at least 60 %%)\n' "$(calc "100 * $bare / $prog")"
printf 'time to the first window under Wine (warm wineserver), median of %d runs\n' "$runs"
printf '  hello_win32.exe    %8.3f s\n' "$hello"
printf '  quillbox.exe       %8.3f s   (main dialog)\n' "$start"
