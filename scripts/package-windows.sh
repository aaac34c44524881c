#!/usr/bin/env bash
# Makes the Windows packages from the cross-built programs:
#   build-windows/Quillbox-<version>-x64.msi  per-machine installer (wixl, data/windows/quillbox.wxs)
#   build-windows/Quillbox-<version>-x64.zip  the same files in a folder Quillbox/, for a user
#                                             without administrator rights
# The version is the project's (`project(Quillbox VERSION …)` in CMakeLists.txt, as for the .deb).
#   scripts/package-windows.sh [--bin DIR] [--version X.Y.Z] [--out DIR]
#     --bin DIR      package quillbox.exe and quillbox-cli.exe from DIR (a Windows build
#                    folder, or a folder holding both) instead of building them with
#                    `scripts/build.sh windows`
#     --version V    package as version V (a test makes a newer package to upgrade to)
#     --out DIR      write the packages into DIR (default build-windows)
set -euo pipefail
cd "$(dirname "$0")/.."
fail() { echo "package-windows: $*" >&2; exit 1; }

bin= version= out=build-windows
while [ $# -gt 0 ]; do
  case "$1" in
    --bin) bin=${2:?}; shift 2 ;;
    --version) version=${2:?}; shift 2 ;;
    --out) out=${2:?}; shift 2 ;;
    *) echo "usage: $0 [--bin DIR] [--version X.Y.Z] [--out DIR]" >&2; exit 2 ;;
  esac
done
for tool in wixl zip x86_64-w64-mingw32-strip; do
  command -v "$tool" >/dev/null || fail "$tool is missing (scripts/install-deps.sh installs it)"
done

if [ -z "$version" ]; then
  # shellcheck source=scripts/x11-env.sh
  source scripts/x11-env.sh
  version=$(qbx_version)
  [ -n "$version" ] || fail "no 'project(Quillbox VERSION …)' line in CMakeLists.txt"
fi
# Windows Installer compares major.minor.build, at most 255.255.65535.
IFS=. read -r major minor build rest <<<"$version"
[[ "$major" =~ ^[0-9]+$ && "$minor" =~ ^[0-9]+$ && "$build" =~ ^[0-9]+$ && -z "$rest" ]] ||
  fail "version '$version' is not MAJOR.MINOR.BUILD"
((major <= 255 && minor <= 255 && build <= 65535)) ||
  fail "version '$version' is too large for Windows Installer (at most 255.255.65535)"

if [ -z "$bin" ]; then
  scripts/build.sh windows
  bin=build-windows
fi
# The programs lie in the build folder's src/ and src/cli/, or in DIR itself.
declare -A exes
for exe in quillbox.exe quillbox-cli.exe; do
  for f in "$bin/$exe" "$bin/src/$exe" "$bin/src/cli/$exe"; do
    [ -f "$f" ] && { exes[$exe]=$f; break; }
  done
  [ -n "${exes[$exe]:-}" ] || fail "no $exe in $bin: build it first (scripts/build.sh windows)"
done

# The files to ship, laid out once for both packages. wixl finds its sources by
# paths relative to the folder it runs in.
mkdir -p "$out"
out=$(cd "$out" && pwd)
stage=$out/package
rm -rf "$stage"
mkdir -p "$stage/Quillbox"
for exe in quillbox.exe quillbox-cli.exe; do
  x86_64-w64-mingw32-strip -o "$stage/Quillbox/$exe" "${exes[$exe]}"
done
sed "s/@VERSION@/$version/" data/windows/README.txt.in | sed 's/$/\r/' >"$stage/Quillbox/README.txt"
cp src/res/icons/quillbox.ico "$stage/"

# What the installed files take, in KiB rounded up, for Apps & features' size.
size_kib=0
for f in "$stage"/Quillbox/*; do
  size_kib=$((size_kib + ($(stat -c %s "$f") + 1023) / 1024))
done

name=Quillbox-$version-x64
rm -f "$out/$name.msi" "$out/$name.zip"
(cd "$stage" && wixl --arch x64 -D Version="$version" -D BinDir=Quillbox -D DocDir=Quillbox \
  -D IconFile=quillbox.ico -D SizeKiB="$size_kib" -o "$out/$name.msi" "$OLDPWD/data/windows/quillbox.wxs")
(cd "$stage" && zip -q -X -r "$out/$name.zip" Quillbox)
echo "$out/$name.msi"
echo "$out/$name.zip"
