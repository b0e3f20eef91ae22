#!/bin/sh
# The guest half of tools/bluez/e2e.sh: runs inside the virtual machine,
# chrooted into the host's root (read-only over 9p, with /run and /tmp in
# memory). Starts a system bus, two virtual controllers and bluetoothd, then
# runs the probe: publish from one process, look from another, withdraw,
# look again. Ends with one line "E2E RESULT: PASS" or "E2E RESULT: FAIL".
#
#   e2e-guest.sh <e2e_probe> <extracted bluez> <extracted bluez-test-tools> <e2e_refresh_stall> \
#                <build dir>
#
# More checks go in tools/bluez/e2e.d/*.sh (see the README there): each runs,
# in name order, while the record is published on both radios, with this
# environment:
#   E2E_BUILD      the build directory (the programs under test are there)
#   E2E_BLUEZ      the extracted bluez package (its tools: $E2E_BLUEZ/usr/bin)
#   E2E_BTT        the extracted bluez-test-tools package
#   E2E_PROBE      e2e_probe
#   E2E_RADIO0/1   the addresses of hci0 and hci1 ("00:AA:01:00:00:00")
#   DBUS_SYSTEM_BUS_ADDRESS  the bus bluetoothd is on
# A check prints "E2E: ..." lines and exits non-zero to fail the run.
probe=$1
bluez=$2
btt=$3
stall=$4
here=$(dirname "$0")
export E2E_BUILD="$5" E2E_BLUEZ="$bluez" E2E_BTT="$btt" E2E_PROBE="$probe"
say() { echo "E2E: $*"; }
finish() {
    say "bluetoothd log (last lines):"
    tail -n 15 /run/bluetoothd.log 2>/dev/null | sed 's/^/E2E:   /'
    echo "E2E RESULT: $1"
    exit 0
}

export PATH=/usr/sbin:/usr/bin:/sbin:/bin
cat > /run/bus.conf <<'CONF'
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <listen>unix:path=/run/e2e-system-bus</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow own="*"/>
    <allow send_destination="*"/>
    <allow receive_sender="*"/>
  </policy>
</busconfig>
CONF
address=$(dbus-daemon --config-file=/run/bus.conf --fork --nopidfile --print-address) ||
    finish FAIL
export DBUS_SYSTEM_BUS_ADDRESS="$address"
bus() { busctl --address="$address" "$@"; }

"$btt/usr/bin/btvirt" -l2 > /run/btvirt.log 2>&1 &
i=0
until [ -e /sys/class/bluetooth/hci1 ]; do
    i=$((i + 1))
    [ $i -gt 100 ] && { say "btvirt made no controllers:"; cat /run/btvirt.log; finish FAIL; }
    sleep 0.1
done
say "virtual controllers: $(ls /sys/class/bluetooth | tr '\n' ' ')"

mkdir -p /run/btstate
cat > /run/main.conf <<'CONF'
[General]
Name = corvale-e2e
Class = 0x00010c
DiscoverableTimeout = 0
CONF
STATE_DIRECTORY=/run/btstate "$bluez/usr/libexec/bluetooth/bluetoothd" -n -d -f /run/main.conf \
    > /run/bluetoothd.log 2>&1 &
# Up once both adapters are there with their Adapter1 properties (an object
# path answers introspection before bluetoothd has registered the adapter).
adapter() { bus get-property org.bluez "/org/bluez/$1" org.bluez.Adapter1 Address > /dev/null 2>&1; }
i=0
until adapter hci0 && adapter hci1; do
    i=$((i + 1))
    [ $i -gt 150 ] && { say "bluetoothd did not come up"; finish FAIL; }
    sleep 0.2
done
# Both radios take connections: BlueZ keeps page scan off on a radio that is
# neither discoverable nor paired with anything, and the publisher reads the
# records of both radios.
bus set-property org.bluez /org/bluez/hci0 org.bluez.Adapter1 Powered b true &&
    bus set-property org.bluez /org/bluez/hci0 org.bluez.Adapter1 Discoverable b true &&
    bus set-property org.bluez /org/bluez/hci1 org.bluez.Adapter1 Alias s "Corvale Peer" &&
    bus set-property org.bluez /org/bluez/hci1 org.bluez.Adapter1 Powered b true &&
    bus set-property org.bluez /org/bluez/hci1 org.bluez.Adapter1 Discoverable b true ||
    finish FAIL
say "bluetoothd up; both radios powered and discoverable, hci1 as \"Corvale Peer\""

# The publisher holds its registration until its stdin ends.
mkfifo /run/hold
"$probe" publish < /run/hold > /run/publish.log 2>&1 &
publisher=$!
exec 3> /run/hold
i=0
until grep -q "published" /run/publish.log 2>/dev/null; do
    i=$((i + 1))
    if [ $i -gt 300 ] || ! kill -0 $publisher 2>/dev/null; then
        cat /run/publish.log
        finish FAIL
    fi
    sleep 0.2
done
cat /run/publish.log

for hci in hci0 hci1; do
    say "$hci class as bluetoothd has it now: $(bus get-property org.bluez /org/bluez/$hci org.bluez.Adapter1 Class)"
done
"$probe" present || { exec 3>&-; finish FAIL; }

# The checks of tools/bluez/e2e.d, while the record is still published.
radio() { bus get-property org.bluez "/org/bluez/$1" org.bluez.Adapter1 Address | tr -d '"' | cut -d' ' -f2; }
E2E_RADIO0=$(radio hci0)
E2E_RADIO1=$(radio hci1)
export E2E_RADIO0 E2E_RADIO1
for check in "$here"/e2e.d/*.sh; do
    [ -e "$check" ] || continue
    say "check $(basename "$check")"
    sh "$check" || { say "check $(basename "$check") failed"; exec 3>&-; finish FAIL; }
done

exec 3>&-
wait $publisher
publisher_rc=$?
grep withdrawn /run/publish.log
[ $publisher_rc -eq 0 ] || finish FAIL

"$probe" absent || finish FAIL

# The window's local refresh, both radios reading each other's records.
mkdir -p /run/home /run/xdg && chmod 700 /run/xdg
HOME=/run/home XDG_RUNTIME_DIR=/run/xdg QT_QPA_PLATFORM=offscreen "$stall" 2>/run/stall.log ||
    { tail -n 5 /run/stall.log; finish FAIL; }
finish PASS
