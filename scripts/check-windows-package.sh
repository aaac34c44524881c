#!/usr/bin/env bash
# Checks the Windows packages the way an administrator and a user meet them, under
# Wine on a virtual X display with a window manager:
#  - scripts/package-windows.sh makes the .msi and the .zip from the Windows build, and
#    a second .msi one version up; msiinfo shows the product name, version,
#    UpgradeCode, per-machine install and icon; the .zip holds the .msi's files;
#  - `msiexec /i … /qn` installs silently into Program Files\Quillbox, with an
#    "Apps & features" entry (version, publisher, icon) and a Start-menu shortcut that
#    starts the installed quillbox.exe, which shows its main dialog, the About box,
#    the file list and a retrieval's progress;
#  - the .zip's quillbox.exe keeps its settings beside itself;
#  - the installed quillbox-cli.exe lists the simulated printer's files (started from
#    the Linux build), first from options, then from the settings in
#    %APPDATA%\Quillbox, and nothing is written beside the programs;
#  - the newer .msi replaces the older in place, the older one then refuses to go on;
#  - `msiexec /x … /qn` removes everything it installed and leaves the settings.
# On the way the installed program's four dialogs are photographed into
# build-windows/test-output/windows-*.png (into docs/ with QBX_UPDATE_DOCS=1).
#   scripts/check-windows-package.sh [windows-build] [linux-build]   (default: build-windows build)
set -euo pipefail
cd "$(dirname "$0")/.."
winbuild=$(cd "${1:-build-windows}" && pwd)
linbuild=$(cd "${2:-build}" && pwd)
scratch=$(mktemp -d)
# shellcheck source=scripts/x11-env.sh
source scripts/x11-env.sh
cleanup() {
  if declare -F qbx_wine_stop >/dev/null; then qbx_wine_stop; fi
  [ -n "${QBX_SIM_PID:-}" ] && kill "$QBX_SIM_PID" 2>/dev/null
  wait 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT
trap 'exit 1' INT TERM
fail() {
  echo "check-windows-package: $*" >&2
  if [ -n "${DISPLAY:-}" ] && mkdir -p "$winbuild/test-output" && import -window root "$winbuild/test-output/package-failure.png" 2>/dev/null; then
    echo "the screen: $winbuild/test-output/package-failure.png" >&2
  fi
  exit 1
}
expect() { [ "$2" = "$3" ] || fail "$1 is '$2', not '$3'"; }
for tool in wine wineserver wixl msiinfo msiextract unzip Xvfb openbox xdotool import pgrep; do
  command -v "$tool" >/dev/null || fail "$tool is missing (scripts/install-deps.sh installs it)"
done
sim=$linbuild/tools/printer-sim/quillbox-printer-sim
[ -x "$sim" ] || fail "$sim is missing: build the Linux programs first"

echo "--- packages"
scripts/package-windows.sh --bin "$winbuild" --out "$winbuild" >"$scratch/package.log" ||
  { cat "$scratch/package.log"; fail "scripts/package-windows.sh failed"; }
msi=$(grep '\.msi$' "$scratch/package.log")
zip=$(grep '\.zip$' "$scratch/package.log")
version=$(qbx_version)
expect "the package" "$(basename "$msi")" "Quillbox-$version-x64.msi"
next=${version%.*}.$((${version##*.} + 1))
scripts/package-windows.sh --bin "$winbuild" --version "$next" --out "$scratch/next" >"$scratch/next.log" ||
  { cat "$scratch/next.log"; fail "scripts/package-windows.sh --version $next failed"; }
nextmsi=$scratch/next/Quillbox-$next-x64.msi
upgrade_code={$(sed -n 's/.*UpgradeCode="\([^"]*\)".*/\1/p' data/windows/quillbox.wxs)}

# Value of property $2 of package $1.
property() { msiinfo export "$1" Property | tr -d '\r' | awk -F'\t' -v k="$2" '$1 == k { print $2 }'; }
for row in "ProductName Quillbox" "Manufacturer Quillbox" "ProductVersion $version" "UpgradeCode $upgrade_code" \
           "ALLUSERS 1" "ARPPRODUCTICON quillbox.ico"; do
  set -- $row
  expect "$(basename "$msi") property $1" "$(property "$msi" "$1")" "$2"
done
expect "the newer package's version" "$(property "$nextmsi" ProductVersion)" "$next"
expect "the newer package's UpgradeCode" "$(property "$nextmsi" UpgradeCode)" "$upgrade_code"
[ "$(property "$msi" ProductCode)" != "$(property "$nextmsi" ProductCode)" ] ||
  fail "both packages have the same ProductCode"
msiinfo suminfo "$msi" | grep -qx 'Template: x64;1033' || fail "the package is not for 64-bit Windows"
# (Exporting a table with binary columns writes them into the current folder.)
(cd "$scratch" && msiinfo export "$msi" Icon) | grep -q '^quillbox.ico' || fail "the package carries no icon"
msiinfo export "$msi" Shortcut | tr -d '\r' | awk -F'\t' '$1 == "StartMenuShortcut" { print $2, $5, $9 }' |
  grep -qx 'ProgramMenuFolder \[INSTALLDIR\]quillbox.exe quillbox.ico' ||
  fail "the package's Start-menu shortcut is not quillbox.exe with its icon"
# The .zip holds what the .msi installs, byte for byte.
msiextract -C "$scratch/msi-files" "$msi" >/dev/null
unzip -q "$zip" -d "$scratch/zip-files"
shipped=$(cd "$scratch/zip-files/Quillbox" && ls | sort | xargs)
expect "the .zip's files" "$shipped" "README.txt quillbox-cli.exe quillbox.exe"
for f in $shipped; do
  installed=$(find "$scratch/msi-files" -name "$f" -type f)
  [ -n "$installed" ] || fail "the .msi lacks $f"
  cmp -s "$installed" "$scratch/zip-files/Quillbox/$f" || fail "$f differs between the .msi and the .zip"
done
echo "$(basename "$msi"), $(basename "$zip"): $shipped"

echo "--- Wine"
# A prefix of its own (the package is installed into it and removed again), on a
# virtual display with a window manager (scripts/wine-env.sh).
export HOME=$scratch/home QBX_WINEPREFIX=$scratch/prefix
mkdir -p "$HOME"
# shellcheck source=scripts/wine-env.sh
source scripts/wine-env.sh
qbx_wine_start || { cat "$_qbx_wine_log"; fail "Wine could not be started"; }
run() { wine "$@" </dev/null 2>>"$scratch/wine.log" | tr -d '\r'; }
winpath() { local p=${1//\//\\}; echo "Z:$p"; }
unixpath() { local p=${1//\\//}; echo "$WINEPREFIX/drive_c/${p#[Cc]:/}"; }
appdata=$(unixpath "$(run cmd /c echo %APPDATA%)")
programs=$WINEPREFIX/drive_c/Program\ Files/Quillbox
uninstall='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
# The keys of the Apps & features entries named Quillbox, one a line.
arp() { run reg query "$uninstall" /s | awk '/^HKEY/ { key = $0 } /DisplayName +REG_SZ +Quillbox$/ { print key }'; }
regvalue() { run reg query "$1" /v "$2" | sed -n "s/^ *$2 \{1,\}REG_[A-Z_]* \{1,\}//p"; }
# The Start-menu shortcut: the common Programs folder on Windows; Wine puts a
# per-machine package's shortcut into the user's.
shortcut() {
  local lnk
  for lnk in "$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Quillbox.lnk" \
             "$appdata/Microsoft/Windows/Start Menu/Programs/Quillbox.lnk"; do
    [ -f "$lnk" ] && { echo "$lnk"; return 0; }
  done
  return 0
}
# Waits for a visible window titled $1 (a pattern); prints its id.
window() {
  local id
  if id=$(qbx_window "$1"); then
    sleep 0.5
    echo "$id"
    return 0
  fi
  fail "no window '$1' appeared (shown: $(xdotool search --onlyvisible --name . 2>/dev/null |
    while read -r w; do printf "'%s' " "$(xdotool getwindowname "$w")"; done))"
}
installed_files() { (cd "$programs" && find . -mindepth 1 | sort | xargs); }

# Answers trickle in, so that the progress dialog stays long enough for its picture.
qbx_sim_start "$sim" "$scratch/sim.log" --root "$scratch/printer" --samples --trickle 400/200 ||
  fail "the simulated printer did not start"
port=$QBX_SIM_PORT

echo "--- silent install"
rc=0
run msiexec /i "$(winpath "$msi")" /qn /l*v "$(winpath "$scratch/install.log")" || rc=$?
[ "$rc" = 0 ] || { tail -20 "$scratch/install.log"; fail "msiexec /i ended with $rc"; }
expect "the installed files" "$(installed_files)" "./README.txt ./quillbox-cli.exe ./quillbox.exe"
for f in $shipped; do cmp -s "$programs/$f" "$scratch/zip-files/Quillbox/$f" || fail "installed $f differs"; done
entry=$(arp)
[ "$(echo "$entry" | grep -c .)" = 1 ] || fail "Apps & features has $(echo "$entry" | grep -c .) Quillbox entries"
expect "Apps & features' version" "$(regvalue "$entry" DisplayVersion)" "$version"
expect "Apps & features' publisher" "$(regvalue "$entry" Publisher)" "Quillbox"
# The size Apps & features shows: the installed files', in KiB, which the package hands
# the installer as ARPSIZE. Wine's installer writes ARPSIZE as the entry's "Size" and
# leaves EstimatedSize at 0; a non-zero EstimatedSize (reg prints it in hex) must agree.
kib=0
for f in $shipped; do kib=$((kib + ($(stat -c %s "$programs/$f") + 1023) / 1024)); done
expect "the package's ARPSIZE" "$(property "$msi" ARPSIZE)" "$kib"
expect "Apps & features' size" "$(regvalue "$entry" Size)" "$kib"
estimated=$(($(regvalue "$entry" EstimatedSize)))
[ "$estimated" = 0 ] || expect "Apps & features' estimated size" "$estimated" "$kib"
product=${entry##*\\}
[ "$product" = "$(property "$msi" ProductCode)" ] || fail "the entry $product is not the package's product"
# Apps & features shows the icon the installer keeps for the product.
icon=$(run reg query 'HKLM\Software\Classes\Installer\Products' /s |
  awk '/^HKEY/ { if (q) print icon; q = 0; icon = "" }
       /^ +ProductName +REG_SZ +Quillbox$/ { q = 1 }
       /^ +ProductIcon +REG_SZ/ { sub(/^ +ProductIcon +REG_SZ +/, ""); icon = $0 }
       END { if (q) print icon }')
[ -n "$icon" ] || fail "the installed product has no icon"
cmp -s "$(unixpath "$icon")" src/res/icons/quillbox.ico || fail "the product's icon $icon is not quillbox.ico"
lnk=$(shortcut)
[ -n "$lnk" ] || fail "no Start-menu shortcut Quillbox.lnk"
grep -qaF 'C:\Program Files\Quillbox\quillbox.exe' "$lnk" || fail "the shortcut does not point at quillbox.exe"
echo "installed: $(installed_files); entry $product, version $version; shortcut ${lnk#"$WINEPREFIX"/}"

echo "--- the installed programs"
cli="C:\\Program Files\\Quillbox\\quillbox-cli.exe"
run "$cli" list --printer "127.0.0.1:$port" --user 1234 >"$scratch/list.txt" || fail "quillbox-cli.exe list failed"
linux_cli=
for f in "$linbuild/src/quillbox-cli" "$linbuild/src/cli/quillbox-cli"; do [ -x "$f" ] && { linux_cli=$f; break; }; done
if [ -n "$linux_cli" ]; then
  "$linux_cli" list --printer "127.0.0.1:$port" --user 1234 >"$scratch/list-linux.txt"
  diff "$scratch/list-linux.txt" "$scratch/list.txt" || fail "quillbox-cli.exe lists otherwise than on Linux"
fi
[ "$(grep -c . "$scratch/list.txt")" -gt 0 ] || fail "quillbox-cli.exe listed nothing"
# An installed copy keeps the user's settings in %APPDATA%\Quillbox, never beside itself.
settings_path=$(run "C:\\Program Files\\Quillbox\\quillbox.exe" --settings-path | tr / '\\')
expect "the installed quillbox.exe's settings file" "$settings_path" "$(run cmd /c echo %APPDATA%)\\Quillbox\\Quillbox.ini"
mkdir -p "$appdata/Quillbox" "$scratch/saved"
qbx_write_ini --crlf "$appdata/Quillbox/Quillbox.ini" "$port" "[QBXConfig]" "AutoDelete=no" "[CommandLine]" "UserID=1234"
run "$cli" list >"$scratch/list-settings.txt" || fail "quillbox-cli.exe list does not read %APPDATA%\\Quillbox\\Quillbox.ini"
diff "$scratch/list.txt" "$scratch/list-settings.txt" || fail "quillbox-cli.exe lists otherwise from the settings"

# Started from its shortcut, as a user would, the program walks through its four
# dialogs; their pictures go to docs/ beside the Linux ones.
# They go to the Windows build's test-output/; with QBX_UPDATE_DOCS=1 to docs/ (commit them
# when they change), so a test run leaves the tree as it was.
shots="$winbuild/test-output"
[ "${QBX_UPDATE_DOCS:-0}" = 1 ] && shots=docs
mkdir -p "$shots"
shot() { import -window "$1" "$shots/windows-$2.png"; }
activate() { qbx_activate "$1"; }
gone() {
  for _ in $(seq 600); do xdotool search --onlyvisible --name "$1" >/dev/null 2>&1 || return 0; sleep 0.1; done
  fail "the window '$1' stayed"
}
run start "C:${lnk#"$WINEPREFIX"/drive_c}" || true
main=$(window '^Quillbox$')
shot "$main" main-dialog
activate "$main"
xdotool key alt+a
about=$(window '^About Quillbox$')
shot "$about" about
activate "$about"
xdotool key Escape
gone '^About Quillbox$'
activate "$main"
xdotool key alt+u
xdotool type --delay 50 1234
xdotool key Return
list=$(window '^Retrieve Scanned Files$')
activate "$list"
xdotool key alt+f
sleep 0.2
xdotool key space Down space
sleep 1  # only for the picture: the selection drawn
shot "$list" file-list
# Retrieve is enabled once the program has seen the selection: press it until Save As
# shows, however long a loaded machine takes.
for _ in $(seq 30); do
  xdotool key alt+r
  for _ in $(seq 20); do xdotool search --onlyvisible --name '^Save As$' >/dev/null 2>&1 && break 2; sleep 0.1; done
done
save=$(window '^Save As$')
activate "$save"
xdotool type --delay 20 "$(winpath "$scratch/saved")\\scan.TIF"
xdotool key Return
progress=$(window '^Retrieving')
sleep 2  # into the first copy
shot "$progress" progress
gone '^Retrieving'
[ -n "$(ls "$scratch/saved")" ] || fail "the retrieval saved nothing"
activate "$list"
xdotool key Escape
gone '^Retrieve Scanned Files$'
activate "$main"
xdotool key alt+c
gone '^Quillbox$'
for _ in $(seq 100); do pgrep -f 'Program Files.Quillbox.quillbox\.exe' >/dev/null || break; sleep 0.1; done
! pgrep -f 'Program Files.Quillbox.quillbox\.exe' >/dev/null || fail "quillbox.exe did not end after Close"
expect "the program folder after running both programs" "$(installed_files)" "./README.txt ./quillbox-cli.exe ./quillbox.exe"
cp "$appdata/Quillbox/Quillbox.ini" "$scratch/settings.ini"
# The portable copy, unpacked where its user can write, keeps its settings beside itself.
portable=$(run "$(winpath "$scratch/zip-files/Quillbox/quillbox.exe")" --settings-path | tr / '\\')
expect "the portable quillbox.exe's settings file" "$portable" "$(winpath "$scratch/zip-files/Quillbox")\\Quillbox.ini"
echo "quillbox.exe walked through its dialogs ($shots/windows-*.png); quillbox-cli.exe listed $(grep -c . "$scratch/list.txt") lines; the portable copy keeps its settings beside itself"

echo "--- upgrade to $next"
rc=0
run msiexec /i "$(winpath "$nextmsi")" /qn /l*v "$(winpath "$scratch/upgrade.log")" || rc=$?
[ "$rc" = 0 ] || { tail -20 "$scratch/upgrade.log"; fail "msiexec /i of $next ended with $rc"; }
entry=$(arp)
[ "$(echo "$entry" | grep -c .)" = 1 ] || fail "after the upgrade Apps & features has $(echo "$entry" | grep -c .) entries"
expect "Apps & features' version after the upgrade" "$(regvalue "$entry" DisplayVersion)" "$next"
expect "the README's first line" "$(head -1 "$programs/README.txt" | tr -d '\r')" "Quillbox $next for Windows"
expect "the installed files after the upgrade" "$(installed_files)" "./README.txt ./quillbox-cli.exe ./quillbox.exe"
rc=0
run msiexec /i "$(winpath "$msi")" /qn || rc=$?
[ "$rc" != 0 ] || fail "the older package installed over the newer one"
expect "the version after the older package was refused" "$(regvalue "$(arp)" DisplayVersion)" "$next"
echo "upgraded in place to $next; $version refused over it (msiexec ended with $rc)"

echo "--- uninstall"
rc=0
run msiexec /x "$(winpath "$nextmsi")" /qn /l*v "$(winpath "$scratch/uninstall.log")" || rc=$?
[ "$rc" = 0 ] || { tail -20 "$scratch/uninstall.log"; fail "msiexec /x ended with $rc"; }
[ ! -e "$programs" ] || fail "Program Files\\Quillbox is still there: $(installed_files)"
[ -z "$(shortcut)" ] || fail "the Start-menu shortcut is still there"
[ -z "$(arp)" ] || fail "Apps & features still lists Quillbox"
! run reg query 'HKLM\Software\Quillbox' >/dev/null || fail "HKLM\\Software\\Quillbox is still there"
cmp -s "$appdata/Quillbox/Quillbox.ini" "$scratch/settings.ini" || fail "the uninstall touched the user's settings"
echo "removed; the settings in %APPDATA%\\Quillbox stay"
echo "check-windows-package: all good"
