#!/usr/bin/env bash
# Makes DIR a small Debian 13 ("trixie") root holding Wine 10, for running the
# Windows build under a Wine newer than the machine's own (Debian 12 has Wine
# 8, whose Bluetooth and SDP functions are stubs). Nothing is installed on
# the machine itself: run programs in the root with tools/windows/wine.
#
#   tools/windows/wine-root.sh DIR       (root; mmdebstrap; ~25 s and ~1 GiB)
#
# An existing root made from the same package list is kept as it is.
set -euo pipefail
dir=${1:?usage: wine-root.sh DIR}
suite=trixie
mirror=${DEBIAN_MIRROR:-http://deb.debian.org/debian}
# wine64: the 64-bit loader and wineserver (the programs are 64-bit only).
# libdbus-1-3: Wine's Bluetooth driver talks to bluetoothd over D-Bus when a
# system bus is there; without it the driver reports no radio.
packages=(wine64 libwine libdbus-1-3)
stamp="$suite ${packages[*]}"

if [ -x "$dir/usr/lib/wine/wine64" ] && [ "$(cat "$dir/.wine-root" 2>/dev/null)" = "$stamp" ]; then
    echo "wine-root: $dir is up to date"
    exit 0
fi
[ "$(id -u)" -eq 0 ] || { echo "wine-root: needs root (chroot and mounts)" >&2; exit 1; }
rm -rf "$dir"
mkdir -p "$(dirname "$dir")"
# The essential variant: no apt, no recommends; documentation left out.
mmdebstrap --quiet --variant=essential --mode=root --include="$(IFS=,; echo "${packages[*]}")" \
    --dpkgopt='path-exclude=/usr/share/doc/*' --dpkgopt='path-exclude=/usr/share/man/*' \
    --dpkgopt='path-exclude=/usr/share/locale/*' \
    "$suite" "$dir" "$mirror"
echo "$stamp" >"$dir/.wine-root"
echo "wine-root: $dir: $("$(dirname "$0")/wine" --root "$dir" --version)"
