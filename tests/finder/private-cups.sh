#!/usr/bin/env bash
# A private CUPS server (its own configuration folder and port on 127.0.0.1) with queues
# added by lpadmin; quillbox-cli printers must list the network ones with their address
# and raw port, and leave out a queue that prints to no network address.
#   private-cups.sh QUILLBOX-CLI [DIALOG-TEST]
# DIALOG-TEST, when given, is run with CUPS_SERVER pointing at the server (the Find
# dialog's test). Exit 77 (skipped) when cupsd or lpadmin is missing.
set -euo pipefail
cli=$1
dialog_test=${2:-}
cupsd=$(command -v cupsd || echo /usr/sbin/cupsd)
lpadmin=$(command -v lpadmin || echo /usr/sbin/lpadmin)
if [ ! -x "$cupsd" ] || [ ! -x "$lpadmin" ]; then
  echo "private-cups: cupsd or lpadmin missing (scripts/install-deps.sh installs them); skipped"
  exit 77
fi

dir=$(mktemp -d /tmp/qbx-cups.XXXXXX)
chmod 755 "$dir"
pid=""
cleanup() {
  if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; fi
  rm -rf "$dir"
}
trap cleanup EXIT

port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
mkdir -p "$dir"/{conf,spool,cache,state,log,bin/backend}
# lpadmin only takes a device URI whose scheme has a backend; nothing is ever printed,
# so the private ones need do nothing.
for b in socket lpd ipp; do printf '#!/bin/sh\nexit 0\n' >"$dir/bin/backend/$b"; chmod 755 "$dir/bin/backend/$b"; done
cat >"$dir/conf/cupsd.conf" <<EOF
LogLevel warn
Listen 127.0.0.1:$port
Browsing No
WebInterface No
DefaultAuthType None
<Location />
  Order allow,deny
  Allow all
</Location>
<Location /admin>
  Order allow,deny
  Allow all
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
EOF
cat >"$dir/conf/cups-files.conf" <<EOF
User lp
Group lp
SystemGroup root
ServerRoot $dir/conf
RequestRoot $dir/spool
CacheDir $dir/cache
StateDir $dir/state
TempDir $dir/spool
ServerBin $dir/bin
DataDir /usr/share/cups
ErrorLog $dir/log/error_log
AccessLog $dir/log/access_log
PageLog $dir/log/page_log
EOF
"$cupsd" -f -c "$dir/conf/cupsd.conf" -s "$dir/conf/cups-files.conf" >"$dir/log/cupsd.out" 2>&1 &
pid=$!

export CUPS_SERVER=127.0.0.1:$port
for _ in $(seq 1 100); do
  lpstat -r 2>/dev/null | grep -q "is running" && break
  kill -0 "$pid" 2>/dev/null || { echo "private-cups: cupsd ended:"; cat "$dir"/log/*; exit 1; }
  sleep 0.1
done
"$lpadmin" -p FrontDesk -v socket://127.0.0.1:9109 -L "Hall" -E
"$lpadmin" -p OfficeIpp -v ipp://10.200.0.9/ipp/print -E
"$lpadmin" -p LocalFile -v file:///dev/null -E 2>/dev/null || true
# An IPv6 link-local address (its zone written %25 in the URI): the program connects over
# IPv4 only, so the queue is not offered.
"$lpadmin" -p SixLink -v 'socket://[fe80::1%25lo]:9100' -E
lpstat -v SixLink

out=$("$cli" printers --json)
echo "$out"
fail=0
expect() {
  if ! grep -qF -- "$1" <<<"$out"; then echo "private-cups: missing: $1"; fail=1; fi
}
expect '{"name":"FrontDesk","model":"Local Raw Printer","address":"127.0.0.1","port":9109,"found":["installed"]'
expect '"location":"Hall"'
expect '{"name":"OfficeIpp","model":"Local Raw Printer","address":"10.200.0.9","port":9100,"found":["installed"]'
if grep -q LocalFile <<<"$out"; then echo "private-cups: a queue to a file was listed"; fail=1; fi
if grep -q SixLink <<<"$out"; then echo "private-cups: a queue to an IPv6 address was listed"; fail=1; fi

text=$("$cli" printers)
echo "$text"
grep -qE '^FrontDesk +Local Raw Printer +127\.0\.0\.1:9109 +this computer$' <<<"$text" || {
  echo "private-cups: the text line of FrontDesk is wrong"
  fail=1
}

if [ -n "$dialog_test" ]; then
  timeout 120 env QBX_EXPECT_PRINTER="FrontDesk|127.0.0.1|9109" QBX_FIND_SHOT=installed "$dialog_test" --gtest_filter='FindDialog.*FromTheSystem*' || fail=1
fi
exit $fail
