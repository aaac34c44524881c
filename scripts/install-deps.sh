#!/usr/bin/env bash
# Installs what building, running and testing Quillbox needs on Debian 12 (run as root).
set -euo pipefail
packages=(
  build-essential cmake pkg-config
  qt6-base-dev qt6-base-private-dev libgl-dev
  libgtest-dev libgmock-dev
  ghostscript fonts-dejavu-core
  libcli11-dev
  clang libclang-rt-14-dev clang-format
  xvfb xauth openbox icewm xdotool x11-utils imagemagick
  desktop-file-utils appstream dpkg-dev
  # The Windows build (mingw-w64, GoogleTest's source) and its tests under Wine.
  g++-mingw-w64-x86-64-posix mingw-w64-tools googletest wine64 wine fonts-wine
  # The Windows packages (.msi, .zip) and their checks.
  wixl msitools zip unzip procps
  # Translations: the catalogues' checks, Qt's own texts in the user's language,
  # the screen-reader test (the accessibility bus and its Python client).
  gettext qt6-translations-l10n at-spi2-core python3-pyatspi
  # Finding printers: Avahi's client and libcups; the tests' private D-Bus and network
  # namespaces (the daemons avahi-daemon and cupsd are installed below, never started).
  libavahi-client-dev libcups2-dev dbus-daemon iproute2 util-linux
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The real mDNS test runs avahi-daemon inside network namespaces of its own, and the CUPS
# test a cupsd of its own; on this machine neither may start as a service: their install
# scripts would start them (and reload the host's D-Bus). A policy-rc.d that refuses every start keeps both from happening, and no
# recommended packages (libnss-mdns would edit nsswitch.conf).
daemons=()
for p in avahi-daemon avahi-utils cups-daemon cups-client; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || daemons+=("$p")
done
if [ ${#daemons[@]} -gt 0 ]; then
  echo "Installing, not started: ${daemons[*]}"
  policy=/usr/sbin/policy-rc.d
  saved=""
  if [ -e "$policy" ]; then saved=$(mktemp); cp -p "$policy" "$saved"; fi
  printf '#!/bin/sh\nexit 101\n' >"$policy"
  chmod 755 "$policy"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  status=0
  apt-get install -y -qq --no-install-recommends "${daemons[@]}" || status=$?
  if [ -n "$saved" ]; then mv "$saved" "$policy"; else rm -f "$policy"; fi
  [ "$status" -eq 0 ] || exit "$status"
fi
