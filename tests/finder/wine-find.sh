#!/usr/bin/env bash
# The Windows programs under Wine, where dnsapi has no DNS-SD browsing: quillbox-cli.exe
# printers enumerates the spooler's ports without error and finds nothing; quillbox.exe's
# Find Printer… opens Printers Found, which says none were found, and after Cancel the
# address typed by hand still leads to a listing.
#
#   wine-find.sh QUILLBOX_EXE QUILLBOX_CLI_EXE PRINTER_SIM OUTPUT_DIR
#
# Needs a display with a window manager and a Wine prefix whose wineserver runs with it
# (scripts/wine-env.sh makes both). Exits 77 (skipped) when a tool is missing.
set -u
exe=$(readlink -f "$1")
cli=$(readlink -f "$2")
sim=$(readlink -f "$3")
mkdir -p "$4"
out=$(readlink -f "$4")
for tool in wine xdotool import; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "skipped: $tool is not installed (scripts/install-deps.sh installs it)"
    exit 77
  fi
done
if [ -z "${DISPLAY:-}" ]; then
  echo "skipped: no display (run it through scripts/wine-env.sh)"
  exit 77
fi
mkdir -p "$out"
work=$(mktemp -d "$out/find-XXXXXX")
store=$work/store
app=$work/app
mkdir -p "$app"
simpid=""
apppid=""
cleanup() {
  [ -n "$apppid" ] && kill "$apppid" 2>/dev/null
  [ -n "$simpid" ] && kill "$simpid" 2>/dev/null
  wait 2>/dev/null
}
trap cleanup EXIT
fail() {
  echo "FAILED: $*"
  import -window root "$out/find-failure.png" 2>/dev/null && echo "screen: $out/find-failure.png"
  exit 1
}
# shellcheck source=scripts/x11-env.sh
source "$(dirname "$(readlink -f "$0")")/../../scripts/x11-env.sh"
# Windows by their whole title.
window() { qbx_find_window "^$1\$"; }
has_window() { [ -n "$(window "$1")" ]; }
no_window() { [ -z "$(window "$1")" ]; }
activate() {
  local w
  w=$(window "$1")
  [ -n "$w" ] || fail "no window \"$1\""
  qbx_activate "$w"
}

# The tool: the port enumeration runs, the missing browse call is no error.
listed=$(cd / && wine "$cli" printers --json 2>"$work/cli.err") || fail "quillbox-cli.exe printers failed: $(cat "$work/cli.err")"
[ "$(echo "$listed" | tr -d '\r\n ')" = "[]" ] || fail "quillbox-cli.exe printers found something under Wine: $listed"
grep -q "no printers found" "$work/cli.err" || fail "quillbox-cli.exe printers did not say none were found"
echo "ok: quillbox-cli.exe printers"

for _ in 1 2 3 4 5; do
  port=$((20000 + RANDOM % 20000))
  "$sim" --samples --root "$store" --port "$port" --quiet >"$work/sim.log" 2>&1 &
  simpid=$!
  qbx_wait_for 300 grep -q listening "$work/sim.log" && break
  kill "$simpid" 2>/dev/null
  wait "$simpid" 2>/dev/null
  simpid=""
done
[ -n "$simpid" ] || fail "the simulated printer did not start: $(cat "$work/sim.log")"

cp "$exe" "$app/quillbox.exe"
: >"$app/Quillbox.ini"
(cd "$app" && exec wine quillbox.exe >"$work/quillbox.log" 2>&1) &
apppid=$!
qbx_wait_for 300 has_window Quillbox || fail "the main dialog did not come up"
activate Quillbox
xdotool key alt+f
qbx_wait_for 100 has_window "Printers Found" || fail "Find Printer… did not open Printers Found"
# Both sources end at once here; the picture is taken once they have.
sleep 1
import -window "$(window "Printers Found")" "$out/wine-find-printer.png"
activate "Printers Found"
xdotool key Escape
qbx_wait_for 100 no_window "Printers Found" || fail "Cancel did not end Printers Found"
echo "ok: Printers Found under Wine"

# Manual entry still works.
activate Quillbox
xdotool key alt+p
xdotool type --delay 30 127.0.0.1
xdotool key alt+v ctrl+a
xdotool type --delay 30 "$port"
xdotool key alt+u
xdotool type --delay 50 1234
xdotool key Return
qbx_wait_for 200 has_window "Retrieve Scanned Files" || fail "the file list did not come up for the typed address"
echo "ok: manual entry after Printers Found"
activate "Retrieve Scanned Files"
xdotool key Escape
qbx_wait_for 100 has_window Quillbox || fail "the main dialog did not come back"
activate Quillbox
xdotool key alt+c
qbx_wait_for 200 sh -c "! kill -0 $apppid 2>/dev/null" || fail "quillbox.exe did not end"
apppid=""
