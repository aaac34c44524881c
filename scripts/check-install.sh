#!/usr/bin/env bash
# Checks Quillbox as a desktop program: the desktop entry and the AppStream metainfo
# validate, `cmake --install` lays out the expected tree, `cpack -G DEB` makes a
# package whose dependencies come from dpkg-shlibdeps, and the packaged program,
# unpacked into a scratch root, starts (offscreen), keeps its settings in the user's
# folder and writes nothing beside its executable.
#   scripts/check-install.sh [build-folder]      (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
id=$(sed -n 's/^set(QBX_APP_ID "\(.*\)")$/\1/p' CMakeLists.txt)
[ -n "$id" ] || { echo "check-install: no QBX_APP_ID in CMakeLists.txt"; exit 1; }
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "check-install: $*"; exit 1; }

cmake --build "$build" -j2 --target quillbox quillbox-printer-sim quillbox-cli >/dev/null

echo "--- install tree"
cmake --install "$build" --prefix "$scratch/stage" >/dev/null
for f in bin/quillbox bin/quillbox-printer-sim bin/quillbox-cli share/man/man1/quillbox-cli.1 \
         share/applications/$id.desktop share/metainfo/$id.metainfo.xml \
         share/icons/hicolor/scalable/apps/$id.svg share/man/man1/quillbox.1; do
  [ -f "$scratch/stage/$f" ] || fail "missing $f in the install tree"
done
for size in 16 24 32 48 64 128 256; do
  png=$scratch/stage/share/icons/hicolor/${size}x${size}/apps/$id.png
  [ -f "$png" ] || fail "missing the ${size}x${size} icon"
  # The PNG header's width and height must be the folder's size.
  dims=$(od -An -tu1 -j16 -N8 "$png" | awk '{print $3*256+$4 "x" $7*256+$8}')
  [ "$dims" = "${size}x${size}" ] || fail "the ${size}x${size} icon is $dims"
done

echo "--- desktop entry and metainfo"
desktop-file-validate "$scratch/stage/share/applications/$id.desktop"
appstreamcli validate --no-net "$scratch/stage/share/metainfo/$id.metainfo.xml"
grep -q "^Icon=$id$" "$scratch/stage/share/applications/$id.desktop" || fail "the entry names another icon"

echo "--- package"
rm -f "$build"/quillbox_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/quillbox_*.deb)
depends=$(dpkg-deb -f "$deb" Depends)
echo "$(basename "$deb"): Depends: $depends"
for lib in libqt6widgets6 libqt6gui6 libqt6core6 libstdc++6 libc6; do
  [[ "$depends" == *"$lib "* || "$depends" == *"$lib," || "$depends" == *"$lib" ]] || fail "Depends lacks $lib"
done
root=$scratch/root
dpkg -x "$deb" "$root"
for f in usr/bin/quillbox usr/bin/quillbox-printer-sim usr/bin/quillbox-cli usr/share/applications/$id.desktop \
         usr/share/icons/hicolor/48x48/apps/$id.png usr/share/metainfo/$id.metainfo.xml; do
  [ -f "$root/$f" ] || fail "the package lacks /$f"
done

echo "--- the packaged program"
export XDG_CONFIG_HOME=$scratch/config XDG_RUNTIME_DIR=$scratch/runtime
mkdir -p -m 700 "$XDG_RUNTIME_DIR"
settings=$("$root/usr/bin/quillbox" --settings-path)
[ "$settings" = "$XDG_CONFIG_HOME/quillbox/Quillbox.ini" ] || fail "settings path is '$settings'"
echo "settings: $settings"
before=$(ls -A "$root/usr/bin")
rc=0
QT_QPA_PLATFORM=offscreen timeout 3 "$root/usr/bin/quillbox" >"$scratch/run.log" 2>&1 || rc=$?
[ "$rc" = 124 ] || { cat "$scratch/run.log"; fail "the packaged program ended by itself (exit $rc) instead of running"; }
[ "$(ls -A "$root/usr/bin")" = "$before" ] || fail "the packaged program wrote beside its executable"
rc=0
timeout 2 "$root/usr/bin/quillbox-printer-sim" --root "$scratch/store" --port 0 --quiet >/dev/null 2>&1 || rc=$?
[ "$rc" = 124 ] || fail "the packaged simulator ended by itself (exit $rc) instead of running"
# The command-line tool needs no display and no Qt.
help=$(env -u DISPLAY -u QT_QPA_PLATFORM "$root/usr/bin/quillbox-cli" --help) || fail "the packaged quillbox-cli does not start"
[[ "$help" == *"($settings)"* ]] || fail "the packaged quillbox-cli does not read the dialogs' settings file $settings"
version=$(env -u DISPLAY -u QT_QPA_PLATFORM "$root/usr/bin/quillbox" --version) || fail "quillbox --version needs a display"
echo "version: $version"
if ldd "$root/usr/bin/quillbox-cli" | grep -qi qt6; then fail "the packaged quillbox-cli links Qt"; fi
echo "check-install: all good"
