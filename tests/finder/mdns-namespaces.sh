#!/usr/bin/env bash
# A real mDNS exchange between two network namespaces joined by a veth pair. Each side
# has its own mount namespace with a private /run, its own system D-Bus and a real
# avahi-daemon (Avahi ignores loopback, hence the veth). The simulated printer announces
# itself on side A; on side B quillbox-cli printers --json must find it, and a listing
# through the name it announces (and through the address found) must work, as must one
# through the name saved in the settings beside an address where it no longer is.
#   mdns-namespaces.sh QUILLBOX-CLI PRINTER-SIM [DIALOG-TEST]
# DIALOG-TEST, when given, runs on side B on a private Xvfb display with a window
# manager: its Find dialog must show the printer (a picture of the screen goes to its
# test output folder), and a printer saved at a wrong address must be listed from the
# address it answers at, with OK pressed at once.
# Nothing runs in the machine's own namespaces; everything started is ended by its PID.
# Exit 77 (skipped) when the tools or the rights to make namespaces are missing.
set -euo pipefail
cli=$(readlink -f "$1")
sim=$(readlink -f "$2")
dialog_test=${3:+$(readlink -f "$3")}

for tool in unshare nsenter ip dbus-daemon avahi-daemon; do
  command -v "$tool" >/dev/null || [ -x "/usr/sbin/$tool" ] || {
    echo "mdns-namespaces: $tool missing (scripts/install-deps.sh installs it); skipped"
    exit 77
  }
done
avahi_daemon=$(command -v avahi-daemon || echo /usr/sbin/avahi-daemon)
if ! unshare --net --mount true 2>/dev/null; then
  echo "mdns-namespaces: cannot make network namespaces here (needs root); skipped"
  exit 77
fi

dir=$(mktemp -d /tmp/qbx-mdns.XXXXXX)
chmod 755 "$dir"
pids=()    # the daemons and programs started, ended first
holders=() # the processes that hold each side's namespaces
x11=""
cleanup() {
  local p
  [ -n "$x11" ] && qbx_x11_stop
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
  for p in "${holders[@]}"; do kill "$p" 2>/dev/null || true; done
  for p in "${holders[@]}"; do wait "$p" 2>/dev/null || true; done
  rm -rf "$dir"
}
trap cleanup EXIT

# One side: a holder process in new network and mount namespaces with a private /run;
# its PID is left in $side.
new_side() {
  unshare --net --mount --propagation private sleep 600 </dev/null >/dev/null 2>&1 &
  holders+=($!)
  local pid=$!
  for _ in $(seq 1 50); do
    [ "$(readlink /proc/$pid/ns/net)" != "$(readlink /proc/$$/ns/net)" ] && break
    sleep 0.05
  done
  nsenter -t "$pid" -m -- mount -t tmpfs -o mode=755 qbx-run /run
  nsenter -t "$pid" -m -- mkdir -p /run/dbus /run/avahi-daemon
  side=$pid
}
in_side() { # in_side PID COMMAND...
  local pid=$1
  shift
  nsenter -t "$pid" -n -m -- "$@"
}
# Starts COMMAND in a side in the background with its output in LOG. nsenter itself is
# started (not a subshell around it) and becomes COMMAND, so the PID kept in pids is
# the program's own and the clean-up ends it.
start_in_side() { # start_in_side PID LOG COMMAND...
  local pid=$1 log=$2
  shift 2
  nsenter -t "$pid" -n -m -- "$@" >"$log" 2>&1 </dev/null &
  pids+=($!)
}

new_side
a=$side
new_side
b=$side
# The veth pair is made inside side A and its peer moved straight into side B.
in_side "$a" ip link add qbxa type veth peer name qbxb netns "$b"
in_side "$a" ip addr add 10.213.7.1/24 dev qbxa
in_side "$b" ip addr add 10.213.7.2/24 dev qbxb
for side in "$a:qbxa" "$b:qbxb"; do
  in_side "${side%%:*}" ip link set lo up
  in_side "${side%%:*}" ip link set "${side#*:}" multicast on up
done

cat >"$dir/bus.conf" <<'EOF'
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <listen>unix:path=/run/dbus/system_bus_socket</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow own="*"/>
    <allow send_type="method_call"/>
    <allow send_destination="*"/>
    <allow receive_sender="*"/>
  </policy>
  <includedir>/usr/share/dbus-1/system.d</includedir>
</busconfig>
EOF
start_daemons() { # start_daemons PID NAME INTERFACE
  local pid=$1 name=$2 ifc=$3
  cat >"$dir/avahi-$name.conf" <<EOF
[server]
host-name=qbx-$name
use-ipv4=yes
use-ipv6=no
allow-interfaces=$ifc
enable-dbus=yes
[wide-area]
enable-wide-area=no
[publish]
publish-hinfo=no
publish-workstation=no
[reflector]
enable-reflector=no
EOF
  start_in_side "$pid" "$dir/dbus-$name.log" dbus-daemon --config-file="$dir/bus.conf" --nofork --nopidfile
  for _ in $(seq 1 100); do in_side "$pid" test -S /run/dbus/system_bus_socket && break; sleep 0.05; done
  start_in_side "$pid" "$dir/avahi-$name.log" "$avahi_daemon" -f "$dir/avahi-$name.conf" --no-drop-root --no-chroot \
    --no-rlimits
}
start_daemons "$a" a qbxa
start_daemons "$b" b qbxb

store="$dir/store"
start_in_side "$a" "$dir/sim.log" "$sim" --bind 0.0.0.0 --port 9100 --root "$store" --samples \
  --advertise "Quillbox Test Printer"

# The display for the dialogs comes up while the announcement is on its way. It runs
# beside the namespaces; side B reaches it through its socket in /tmp.
if [ -n "$dialog_test" ]; then
  source "$(dirname "$(readlink -f "$0")")/../../scripts/x11-env.sh"
  x11=1
  qbx_x11_start || { echo "mdns-namespaces: no display for the dialogs"; exit 1; }
fi

# The announcement comes about two seconds after the daemons start.
found=""
for _ in $(seq 1 15); do
  out=$(in_side "$b" "$cli" printers --wait 2 --json 2>/dev/null || true)
  if grep -qF '"name":"Quillbox Test Printer"' <<<"$out"; then found=$out; break; fi
done
fail=0
if [ -z "$found" ]; then
  echo "mdns-namespaces: side B did not find the printer; logs:"
  tail -n 20 "$dir"/*.log
  exit 1
fi
echo "$found"
for want in '"model":"Quillbox Simulated Scanner-Printer"' '"address":"10.213.7.1","port":9100' \
  '"found":["network"]' '"service":"Quillbox Test Printer"' '"uuid":"8d5c6f2e-51a0-4a4b-9a61-3b1f0c2d7e41"' \
  '"location":"Quillbox test bench"'; do
  grep -qF -- "$want" <<<"$found" || { echo "mdns-namespaces: missing $want"; fail=1; }
done

# A listing through the name the printer announces, and through the address found.
for target in "Quillbox Test Printer" "10.213.7.1:9100"; do
  if ! listing=$(in_side "$b" "$cli" list --printer "$target" --user 1234 --timeout 60 2>"$dir/list.err"); then
    echo "mdns-namespaces: listing through $target failed:"
    cat "$dir/list.err"
    fail=1
  elif ! grep -q "TIF" <<<"$listing"; then
    echo "mdns-namespaces: listing through $target shows no scans: $listing"
    fail=1
  fi
done

# Saved by its name at an address where it is no more: the tool lists it where it
# answers now, and says so.
printf '[NetInfo]\nRemoteIP=192.0.2.1\nRemotePort=3102\nServiceName=Quillbox Test Printer\n' >"$dir/moved.ini"
if ! listing=$(in_side "$b" "$cli" list --config "$dir/moved.ini" --user 1234 --timeout 60 2>"$dir/moved.err"); then
  echo "mdns-namespaces: listing through the saved name failed:"
  cat "$dir/moved.err"
  fail=1
elif ! grep -q "TIF" <<<"$listing" || ! grep -qF "answered on the network at 10.213.7.1:9100" "$dir/moved.err"; then
  echo "mdns-namespaces: the saved name did not lead to the new address: $listing $(cat "$dir/moved.err")"
  fail=1
fi

if [ -n "$dialog_test" ]; then
  in_side "$b" env DISPLAY="$DISPLAY" QT_QPA_PLATFORM=xcb QBX_EXPECT_PRINTER="Quillbox Test Printer|10.213.7.1|9100" \
    QBX_EXPECT_LISTING=1 QBX_FIND_SHOT=network "$dialog_test" \
    --gtest_filter='FindDialog.*FromTheSystem*' || fail=1
fi
exit $fail
