#!/usr/bin/env bash
# End to end on the real Linux Bluetooth stack, without a radio: Debian's
# kernel (its Bluetooth stack and the virtual HCI driver) boots under qemu
# (TCG, no KVM needed), btvirt makes two virtual controllers that hear each
# other, a real bluetoothd runs on a private system bus, and e2e_probe (the
# engine on the BlueZ platform) lists both radios, finds the other one by
# inquiry with its name and class, reads its SDP records (bluetoothd's own and
# one published by another process with name, comment, class UUID and RFCOMM
# channel) and, after withdrawal, sees that record gone. Last, the main window
# on the same platform refreshes its local radios (e2e_refresh_stall), and the
# longest stall of its event loop is printed, next to the same event loop's
# pauses when idle. More checks: tools/bluez/e2e.d/ (see e2e-guest.sh).
#
#   bash tools/bluez/e2e.sh [build dir]     (default build/default; ~40 s)
#
# Needs (installed when missing, as root): qemu-system-x86, busybox-static;
# fetched with apt-get download and unpacked, never installed: the kernel
# image, bluez, bluez-test-tools. Everything goes to <build dir>/e2e.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$(pwd)
build=$(realpath "${1:-build/default}")
probe=$build/tools/bluez/e2e_probe
stall=$build/tools/bluez/e2e_refresh_stall
work=$build/e2e
start=$(date +%s)
say() { echo "e2e: $* ($(($(date +%s) - start)) s)"; }
fail() {
    echo "e2e: FAILED: $*" >&2
    exit 1
}

for p in "$probe" "$stall"; do
    [ -x "$p" ] || fail "$p is not built (cmake --build $build --target e2e_probe e2e_refresh_stall)"
done

tools/ensure-packages.sh --no-recommends qemu-system-x86 busybox-static

mkdir -p "$work/debs"
# The kernel that linux-image-amd64 currently stands for.
kernel=$(apt-cache depends linux-image-amd64 2> /dev/null | sed -n 's/.*Depends: \(linux-image-[0-9].*-amd64\)$/\1/p' | head -1)
[ -n "$kernel" ] || fail "no linux-image-amd64 in the package lists (apt-get update?)"
(
    cd "$work/debs"
    for p in "$kernel" bluez bluez-test-tools; do
        ls "${p}"_*.deb > /dev/null 2>&1 || apt-get download "$p" > /dev/null 2>&1 ||
            { echo "e2e: cannot download $p" >&2; exit 1; }
    done
)
for p in "$kernel" bluez bluez-test-tools; do
    [ -d "$work/$p" ] || dpkg -x "$work"/debs/"${p}"_*.deb "$work/$p"
done
version=${kernel#linux-image-}
vmlinuz=$work/$kernel/boot/vmlinuz-$version
modules=$work/$kernel/lib/modules/$version/kernel
say "kernel $version, bluez $(dpkg-deb -f "$work"/debs/bluez_*.deb Version)"

# The initramfs: busybox, the modules in load order, and an init that mounts
# the host's root over 9p and hands over to the guest script.
initrd=$work/initrd
rm -rf "$initrd"
mkdir -p "$initrd"/{bin,proc,sys,dev,host,lib/modules}
cp /bin/busybox "$initrd/bin/busybox"
order="crypto/ecc crypto/ecdh_generic crypto/ecb crypto/cmac crypto/af_alg crypto/algif_hash
       crypto/algif_skcipher net/rfkill/rfkill lib/crc16 net/bluetooth/bluetooth
       drivers/bluetooth/hci_vhci net/bluetooth/rfcomm/rfcomm drivers/virtio/virtio_ring
       drivers/virtio/virtio drivers/virtio/virtio_pci_modern_dev
       drivers/virtio/virtio_pci_legacy_dev drivers/virtio/virtio_pci fs/netfs/netfs
       fs/fscache/fscache net/9p/9pnet net/9p/9pnet_virtio fs/9p/9p"
names=""
for m in $order; do
    cp "$modules/$m.ko" "$initrd/lib/modules/"
    names="$names $(basename "$m")"
done
# The guest gets a fresh tmpfs over /tmp, unless the checkout itself lives
# under /tmp (as a CI clone may): then /tmp stays the host's, read-only, and
# the guest's scratch files go to /run/tmp instead.
tmp_setup="mount -t tmpfs tmp /host/tmp"
case "$root/" in
    /tmp/*) tmp_setup="mkdir -p /host/run/tmp; export TMPDIR=/run/tmp" ;;
esac
cat > "$initrd/init" << INIT
#!/bin/busybox sh
/bin/busybox --install -s /bin
mount -t proc proc /proc
mount -t sysfs sys /sys
mount -t devtmpfs dev /dev
for m in $names; do
    insmod /lib/modules/\$m.ko || echo "E2E: insmod \$m failed"
done
mount -t 9p -o trans=virtio,version=9p2000.L,ro,msize=262144 hostroot /host ||
    echo "E2E: cannot mount the host's root"
mount -t proc proc /host/proc
mount -t sysfs sys /host/sys
mount -t devtmpfs dev /host/dev
mount -t tmpfs run /host/run
$tmp_setup
echo "E2E: guest up after \$(cut -d' ' -f1 /proc/uptime) s"
chroot /host /bin/sh "$root/tools/bluez/e2e-guest.sh" "$probe" "$work/bluez" "$work/bluez-test-tools" "$stall" "$build"
sync
poweroff -f
echo o > /proc/sysrq-trigger
INIT
chmod +x "$initrd/init"
(cd "$initrd" && find . | busybox cpio -o -H newc 2> /dev/null | gzip -1) > "$work/initrd.gz"

say "booting"
log=$work/console.log
set +e
timeout 300 qemu-system-x86_64 -machine q35,accel=tcg -cpu max -smp 2 -m 1536 -nographic \
    -no-reboot -kernel "$vmlinuz" -initrd "$work/initrd.gz" \
    -append "console=ttyS0 quiet panic=-1 rdinit=/init" \
    -virtfs local,path=/,mount_tag=hostroot,security_model=none,readonly=on,multidevs=remap \
    < /dev/null 2>&1 | tr -d '\r' | tee "$log" | grep --line-buffered "E2E"
set -e
if grep -q "E2E RESULT: PASS" "$log"; then
    say "PASS"
    exit 0
fi
echo "e2e: the console's last lines:" >&2
tail -n 40 "$log" >&2
fail "see $log"
