#!/usr/bin/env bash
# quillbox.exe under Wine against the simulated printer (a Linux process on 127.0.0.1),
# driven with real X input (xdotool) as a user drives it: the listing, a retrieval with
# automatic deletion, a deletion, and a two-page scan saved as PDF (the type picked in
# the native Save As) with automatic deletion. Checks the copies on disk (the PDF with
# qpdf and pdfimages) and the printer's store.
#
#   quillbox-roads.sh QUILLBOX_EXE PRINTER_SIM OUTPUT_DIR
#
# Needs a display with a window manager and a Wine prefix whose wineserver runs with it
# (scripts/wine-env.sh makes both). Exits 77 (skipped) when a tool is missing.
set -u
exe=$1
sim=$2
out=$3
for tool in wine xdotool import gs qpdf pdfimages; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "skipped: $tool is not installed (scripts/install-deps.sh installs it)"
    exit 77
  fi
done
if [ -z "${DISPLAY:-}" ]; then
  echo "skipped: no display (run it through scripts/wine-env.sh)"
  exit 77
fi

# shellcheck source=scripts/x11-env.sh
source "$(dirname "$0")/../../scripts/x11-env.sh"
mkdir -p "$out"
work=$(mktemp -d "$out/roads-XXXXXX")
store=$work/store
app=$work/app
saved=$work/saved
mkdir -p "$app" "$saved"
QBX_SIM_PID=""
apppid=""
dpi_set=""
cleanup() {
  [ -n "$apppid" ] && kill "$apppid" 2>/dev/null
  [ -n "$dpi_set" ] && wine reg delete 'HKCU\Control Panel\Desktop' /v LogPixels /f >/dev/null 2>&1
  [ -n "$QBX_SIM_PID" ] && kill "$QBX_SIM_PID" 2>/dev/null
  wait 2>/dev/null
}
trap cleanup EXIT
fail() {
  echo "FAILED: $*"
  import -window root "$out/roads-failure.png" 2>/dev/null && echo "screen: $out/roads-failure.png"
  exit 1
}
wait_for() { qbx_wait_for "$@"; }
has_window() { [ -n "$(qbx_find_window "^$1\$")" ]; }
no_window() { [ -z "$(qbx_find_window "^$1\$")" ]; }
activate() {
  local w
  w=$(qbx_find_window "^$1\$")
  [ -n "$w" ] || fail "no window \"$1\""
  qbx_activate "$w"
}
# Windows by a title pattern (the pseudo-language's titles are found by the letters it
# leaves alone).
has_title() { [ -n "$(qbx_find_window "$1")" ]; }
no_title() { [ -z "$(qbx_find_window "$1")" ]; }
activate_title() {
  local w
  wait_for 100 has_title "$1"
  w=$(qbx_find_window "$1")
  [ -n "$w" ] || fail "no window titled like $1"
  qbx_activate "$w"
}
# From the main dialog (title pattern MAIN): the About box (ABOUT) photographed into
# PICTURE and closed, then the program ended with Close.
about_then_quit() { # about_then_quit MAIN ABOUT PICTURE
  activate_title "$1"
  xdotool key alt+a
  wait_for 100 has_title "$2" || fail "the About box did not come up ($3)"
  sleep 0.5
  import -window root "$out/$3"
  activate_title "$2"
  xdotool key Return
  wait_for 100 no_title "$2" || fail "the About box stayed ($3)"
  activate_title "$1"
  xdotool key alt+c
  wait_for 200 sh -c "! kill -0 $apppid 2>/dev/null" || fail "quillbox.exe did not end ($3)"
  apppid=""
}
# Presses the key $1 until the window $2 shows: the button it stands for is enabled only
# once the program has seen the selection, however long a loaded machine takes.
press_until() {
  for _ in $(seq 1 30); do
    xdotool key "$1"
    wait_for 20 has_window "$2" && return 0
  done
  return 1
}
images() { ls "$store/DXR/Images" | grep "^1234(" | sort; }
count_images() { images | wc -l; }
# True when the printer holds $1 scans of the user (looked at anew each time).
images_left() { [ "$(count_images)" -eq "$1" ]; }
# True when $1 whole copies (no temporary files) are in the save folder.
# Temporary files are hidden (".name.quillbox-….part"): looked for with -A.
copies_saved() { [ "$(ls "$saved" | grep -ci '\.tif$')" -eq "$1" ] && ! ls -A "$saved" | grep -q '\.part$'; }

# The printer, on a port of its own choosing.
qbx_sim_start "$sim" "$work/sim.log" --samples --root "$store" --quiet ||
  fail "the simulated printer did not start: $(cat "$work/sim.log")"
before=$(count_images)
[ "$before" -ge 3 ] || fail "the sample store holds $before scans for user 1234"
# A two-page scan of a user of its own, from Ghostscript's fax device as the printer
# makes them, for the PDF road.
pdfscan=$store/DXR/Images/77\(001\)\(20261207093005\).TIF
printf '%%!PS\n/Helvetica findfont 30 scalefont setfont 72 600 moveto (one) show showpage\n%s\n' \
  '72 500 moveto (two) show 100 100 200 200 rectfill showpage' >"$work/pages.ps"
gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=tiffg4 -r100 "-sOutputFile=$pdfscan" "$work/pages.ps" ||
  fail "Ghostscript did not make the two-page scan"
# A second scan of that user stays on the printer: only the one picked goes.
otherscan=$store/DXR/Images/77\(002\)\(20261207100000\).TIF
cp "$store/DXR/Images/$(images | head -1)" "$otherscan"

# The program in a folder of its own, its settings beside it.
cp "$exe" "$app/quillbox.exe"
qbx_write_ini --crlf "$app/Quillbox.ini" "$QBX_SIM_PORT"
(cd "$app" && exec wine quillbox.exe >"$work/quillbox.log" 2>&1) &
apppid=$!
wait_for 300 has_window Quillbox || fail "the main dialog did not come up"
sleep 0.5
import -window root "$out/wine-main-dialog.png"

# Listing: the user ID, then OK (Enter).
activate Quillbox
xdotool key alt+u
xdotool type --delay 50 1234
xdotool key Return
wait_for 200 has_window "Retrieve Scanned Files" || fail "the file list did not come up"
sleep 0.5
import -window root "$out/wine-file-list.png"
echo "ok: listing"

# Retrieval of the first two lines, deleted on the printer after their copies.
activate "Retrieve Scanned Files"
first=$(images | head -1)
xdotool key alt+f
sleep 0.2
xdotool key space Down space
press_until alt+r "Save As" || fail "Save As did not come up"
activate "Save As"
xdotool type --delay 20 "Z:${saved//\//\\}\\scan.TIF"
xdotool key Return
wait_for 300 images_left $((before - 2)) || fail "the retrieved scans are still on the printer ($(count_images) of $before left)"
wait_for 100 copies_saved 2 || fail "two copies expected in $saved: $(ls "$saved")"
for f in "$saved"/*; do
  [ -s "$f" ] || fail "empty copy $f"
  case "$f" in *.part) fail "a temporary file was left: $f" ;; esac
done
images | grep -qxF "$first" && fail "$first was retrieved but not deleted"
echo "ok: retrieval with automatic deletion"

# Deletion of the first line left, confirmed with Yes.
wait_for 100 no_window "Retrieving File" || fail "the progress dialog stayed"
wait_for 100 has_window "Retrieve Scanned Files" || fail "the file list went away after the retrieval"
activate "Retrieve Scanned Files"
left=$(images)
xdotool key alt+f
sleep 0.2
xdotool key space
press_until alt+t "Confirm File Deletion" || fail "no confirmation asked"
import -window root "$out/wine-confirm-delete.png"
activate "Confirm File Deletion"
xdotool key alt+y
wait_for 200 images_left $((before - 3)) || fail "the confirmed scan is still on the printer"
# One of the listed scans went, and nothing else changed.
[ "$(comm -13 <(echo "$left") <(images))" = "" ] || fail "a scan appeared on the printer"
echo "ok: deletion"

# The list is made anew after the deletion: wait for it.
wait_for 200 has_window "Retrieve Scanned Files" || fail "the file list did not come back after the deletion"
sleep 0.5

# The two-page scan of user 77, saved as PDF: the type picked in Save As's type box and
# a name typed without an extension. With automatic deletion on, the scan goes only
# once the PDF is in place.
activate "Retrieve Scanned Files"
xdotool key Escape
wait_for 100 has_window Quillbox || fail "the main dialog did not come back"
activate Quillbox
xdotool key alt+u
xdotool type --delay 50 77
xdotool key Return
wait_for 200 has_window "Retrieve Scanned Files" || fail "the file list of user 77 did not come up"
activate "Retrieve Scanned Files"
xdotool key alt+f
sleep 0.2
xdotool key space
press_until alt+r "Save As" || fail "Save As did not come up for the PDF"
activate "Save As"
xdotool key alt+t Down
sleep 0.5
import -window root "$out/wine-save-as-pdf.png"
xdotool key alt+n
xdotool type --delay 20 "Z:${saved//\//\\}\\report"
xdotool key Return
pdf=$saved/report.pdf
early=""
# True once the scan is gone from the printer; early is set when its PDF was not yet
# in place at that moment.
scan_deleted() {
  [ -e "$pdfscan" ] && return 1
  [ -s "$pdf" ] || early=yes
  return 0
}
wait_for 300 scan_deleted || fail "the scan saved as PDF is still on the printer ($(ls "$saved"))"
[ -z "$early" ] || fail "the scan was deleted on the printer before its PDF was in place"
[ -e "$otherscan" ] || fail "the scan that was not picked went from the printer"
wait_for 100 no_window "Retrieving File" || fail "the progress dialog stayed after the PDF"
check=$(qpdf --check "$pdf" 2>&1) || fail "qpdf finds $pdf unsound: $check"
# pdfimages -list: two header lines, then one line per image; each page is one strip.
pages=$(pdfimages -list "$pdf" | awk 'NR > 2 { print $1 }' | sort -u | tr '\n' ' ')
[ "$pages" = "1 2 " ] || fail "the PDF's images are on pages '$pages', not on 1 and 2: $(pdfimages -list "$pdf")"
compgen -G "$saved/.*.part" >/dev/null && fail "a temporary file was left in $saved"
echo "ok: a two-page scan saved as PDF with automatic deletion"

# Closing: the list, the About box with its animation, then the program.
wait_for 100 has_window "Retrieve Scanned Files" || fail "the file list went away after the PDF"
activate "Retrieve Scanned Files"
xdotool key Escape
wait_for 100 has_window Quillbox || fail "the main dialog did not come back"
about_then_quit '^Quillbox$' '^About Quillbox$' wine-about.png
echo "ok: all roads"

# The same dialogs in the pseudo-language (every text accented and 40 % longer, in
# brackets; the Alt keys stay), for a person to look at: wine-qps-*.png. The titles
# are found by the letters the pseudo-language leaves alone (b d f g h j k l m p q t v w x).
qps_main='^\[Q.*llb.*x ~+\]$'
qps_list='^\[.*t.*v.* .*d F.*l.* ~+\]$'
qps_confirm='^\[.*f.*m F.*l.* D.*l.*t.* ~+\]$'
qps_about='^\[.*b.*t Q.*llb.*x ~+\]$'
qbx_write_ini --crlf "$app/Quillbox.ini" "$QBX_SIM_PORT" "[QBXConfig]" "Language=qps"
(cd "$app" && exec wine quillbox.exe >"$work/quillbox-qps.log" 2>&1) &
apppid=$!
wait_for 300 has_title "$qps_main" || fail "the main dialog did not come up in the pseudo-language"
sleep 0.5
import -window root "$out/wine-qps-main-dialog.png"
activate_title "$qps_main"
xdotool key alt+u
xdotool type --delay 50 1234
xdotool key Return
wait_for 200 has_title "$qps_list" || fail "the file list did not come up in the pseudo-language"
sleep 0.5
import -window root "$out/wine-qps-file-list.png"
activate_title "$qps_list"
xdotool key alt+f
sleep 0.2
xdotool key space
for _ in $(seq 1 30); do
  xdotool key alt+t
  wait_for 20 has_title "$qps_confirm" && break
done
has_title "$qps_confirm" || fail "no confirmation asked in the pseudo-language"
sleep 0.5
import -window root "$out/wine-qps-confirm-delete.png"
activate_title "$qps_confirm"
xdotool key alt+n
wait_for 100 no_title "$qps_confirm" || fail "No did not close the question"
activate_title "$qps_list"
xdotool key Escape
wait_for 100 has_title "$qps_main" || fail "the main dialog did not come back in the pseudo-language"
about_then_quit "$qps_main" "$qps_about" wine-qps-about.png
[ "$(count_images)" -eq $((before - 3)) ] || fail "the printer's store changed in the pseudo-language run"
echo "ok: pseudo-language pictures"

# The About box's animation at 200 % (192 DPI): the frames drawn from their 64-pixel
# images (wine-about@2x.png). The prefix's DPI is set for this one start only.
wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 192 /f >/dev/null 2>&1 &&
  dpi_set=1 || fail "could not set the prefix's DPI"
qbx_write_ini --crlf "$app/Quillbox.ini" "$QBX_SIM_PORT"
(cd "$app" && exec wine quillbox.exe >"$work/quillbox-dpi.log" 2>&1) &
apppid=$!
wait_for 300 has_window Quillbox || fail "the main dialog did not come up at 192 DPI"
about_then_quit '^Quillbox$' '^About Quillbox$' wine-about@2x.png
wine reg delete 'HKCU\Control Panel\Desktop' /v LogPixels /f >/dev/null 2>&1
dpi_set=""
echo "ok: animation at 192 DPI"
